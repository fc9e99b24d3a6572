// Block transfers, the disabled look and icons.
#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/Colors.h"
#include "platform/GdiInternal.h"

namespace quillane::platform {

using namespace detail;

namespace {

std::uint32_t Rop3(std::uint8_t rop, std::uint32_t p, std::uint32_t s, std::uint32_t d) {
  std::uint32_t r = 0;
  for (int i = 0; i < 8; ++i) {
    if (rop & (1u << i)) r |= ((i & 4) ? p : ~p) & ((i & 2) ? s : ~s) & ((i & 1) ? d : ~d);
  }
  return r & 0xFFFFFFu;
}

constexpr std::uint32_t Expand(int bit) { return bit ? 0xFFFFFFu : 0u; }

// The device pixels of `dest`, part of the device range [destFrom, destTo) that a logical range
// covers in the destination, each mapped to the source pixel under its centre in the device range
// [srcFrom, srcTo) that the same logical range covers in the source. Ranges of one size go across
// one for one from their rounded starts, so at a fractional ratio no pixel is lost or doubled
// between bitmaps of the same ratio. -1 where the source pixel falls outside [0, limit).
std::vector<int> SourceIndexes(const Span& dest, std::int64_t destFrom, std::int64_t destTo,
                               std::int64_t srcFrom, std::int64_t srcTo, int limit) {
  std::vector<int> out(static_cast<std::size_t>(dest.size()));
  const std::int64_t dn = destTo - destFrom, sn = srcTo - srcFrom;
  for (int i = 0; i < dest.size(); ++i) {
    const std::int64_t k = dest.first + i - destFrom;
    const std::int64_t s =
        dn == sn || dn <= 0 ? srcFrom + k : srcFrom + (2 * k + 1) * sn / (2 * dn);
    out[static_cast<std::size_t>(i)] = s >= 0 && s < limit ? static_cast<int>(s) : -1;
  }
  return out;
}

bool Inside(const BitmapObj& bmp, std::int64_t x, std::int64_t y) {
  return x >= 0 && y >= 0 && x < bmp.image.width() && y < bmp.image.height();
}

// The icon's image at w x h device pixels: as it is when it has that size, otherwise scaled (with
// smoothing when drawn for a higher pixel density).
QImage ScaledIcon(const QImage& image, int w, int h, bool smooth) {
  if (image.width() == w && image.height() == h) return image;
  return image.scaled(w, h, Qt::IgnoreAspectRatio,
                      smooth ? Qt::SmoothTransformation : Qt::FastTransformation);
}

// A source value in the destination's terms.
std::uint32_t SourceValue(const Target& d, const Target& s, int sx, int sy) {
  using F = BitmapObj::Format;
  const BitmapObj& sb = *s.bmp;
  const F df = d.bmp->format;
  if (df == F::Mono) {
    if (sb.format == F::Mono) return Expand(ReadBit(sb, sx, sy));
    return Expand(ReadColor(sb, sx, sy) == (s.dc->bkColor & 0xFFFFFF));
  }
  COLORREF c;
  if (sb.format == F::Mono)
    c = ReadBit(sb, sx, sy) ? d.dc->bkColor : d.dc->textColor;
  else
    c = ReadColor(sb, sx, sy);
  c &= 0xFFFFFF;
  return df == F::Dib ? Expand(NearestIndex(d.bmp->image, c)) : c;
}

}  // namespace

bool BitBlt(HDC dest, int x, int y, int width, int height, HDC src, int xSrc, int ySrc,
            std::uint32_t rop) {
  Target d = TargetOf(dest);
  if (!d.dc) return false;
  const auto rop3 = static_cast<std::uint8_t>((rop >> 16) & 0xFF);
  const bool usesSource = ((rop3 >> 2) & 0x33) != (rop3 & 0x33);
  const bool usesPattern = ((rop3 >> 4) & 0x0F) != (rop3 & 0x0F);
  Target s;
  if (usesSource) {
    s = TargetOf(src);
    if (!s.dc) return false;
  }
  if (!d.bmp || (usesSource && !s.bmp)) return true;  // screen: nothing to draw on or read
  if (width <= 0 || height <= 0) return true;
  BitmapObj& db = *d.bmp;
  // Clip against the destination and, when used, the source, in logical pixels.
  std::int64_t x0 = x, y0 = y, x1 = static_cast<std::int64_t>(x) + width,
               y1 = static_cast<std::int64_t>(y) + height;
  x0 = std::max<std::int64_t>(x0, 0);
  y0 = std::max<std::int64_t>(y0, 0);
  x1 = std::min<std::int64_t>(x1, LogicalWidth(db));
  y1 = std::min<std::int64_t>(y1, LogicalHeight(db));
  const std::int64_t ox = static_cast<std::int64_t>(xSrc) - x,
                     oy = static_cast<std::int64_t>(ySrc) - y;
  if (usesSource) {
    x0 = std::max<std::int64_t>(x0, -ox);
    y0 = std::max<std::int64_t>(y0, -oy);
    x1 = std::min<std::int64_t>(x1, LogicalWidth(*s.bmp) - ox);
    y1 = std::min<std::int64_t>(y1, LogicalHeight(*s.bmp) - oy);
  }
  if (x0 >= x1 || y0 >= y1) return true;
  // The same area in the destination's device pixels, each mapped to a source device pixel.
  const Span cols = DeviceSpan(Ratio(db), x0, x1, db.image.width());
  const Span rows = DeviceSpan(Ratio(db), y0, y1, db.image.height());
  const int w = cols.size(), h = rows.size();
  if (w <= 0 || h <= 0) return true;

  using F = BitmapObj::Format;
  const F df = db.format;
  // Source values read before anything is written (the two may be the same bitmap); kNone where
  // the source has no pixel (values are at most 24 bits).
  constexpr std::uint32_t kNone = ~0u;
  std::vector<std::uint32_t> srcValues;
  if (usesSource) {
    const BitmapObj& sb = *s.bmp;
    const double rd = Ratio(db), rs = Ratio(sb);
    const auto sxs = SourceIndexes(cols, Dev(rd, x0), Dev(rd, x1), Dev(rs, x0 + ox),
                                   Dev(rs, x1 + ox), sb.image.width());
    const auto sys = SourceIndexes(rows, Dev(rd, y0), Dev(rd, y1), Dev(rs, y0 + oy),
                                   Dev(rs, y1 + oy), sb.image.height());
    srcValues.assign(static_cast<std::size_t>(w) * h, kNone);
    for (int j = 0; j < h; ++j) {
      for (int i = 0; i < w; ++i) {
        const int sx = sxs[static_cast<std::size_t>(i)], sy = sys[static_cast<std::size_t>(j)];
        if (sx >= 0 && sy >= 0)
          srcValues[static_cast<std::size_t>(j) * w + i] = SourceValue(d, s, sx, sy);
      }
    }
  }
  std::uint32_t pattern = 0;
  if (usesPattern) {
    const COLORREF p = BrushColor(d.dc->brush).value_or(0xFFFFFF);
    if (df == F::Color)
      pattern = p;
    else if (df == F::Mono)
      pattern = Expand(IsLight(p));
    else
      pattern = Expand(NearestIndex(db.image, p));
  }
  for (int j = 0; j < h; ++j) {
    const int dy = rows.first + j;
    for (int i = 0; i < w; ++i) {
      const int dx = cols.first + i;
      const std::size_t k = static_cast<std::size_t>(j) * w + i;
      if (usesSource && srcValues[k] == kNone) continue;
      const std::uint32_t sv = usesSource ? srcValues[k] : 0;
      if (df == F::Color) {
        auto* line = reinterpret_cast<QRgb*>(db.image.scanLine(dy));
        const std::uint32_t dv = FromQRgb(line[dx]);
        line[dx] = ToQRgb(Rop3(rop3, pattern, sv, dv));
      } else {
        const std::uint32_t dv = Expand(ReadBit(db, dx, dy));
        WriteBit(db, dx, dy, static_cast<int>(Rop3(rop3, pattern, sv, dv) & 1u));
      }
    }
  }
  return true;
}

bool DrawState(HDC hdc, HBRUSH, std::uintptr_t data, int x, int y, int width, int height,
               std::uint32_t flags) {
  Target t = TargetOf(hdc);
  if (!t.dc) return false;
  const std::uint32_t type = flags & 0x0F;
  const auto handle = static_cast<HGDIOBJ>(data);
  if (static_cast<std::uintptr_t>(handle) != data) return false;
  QImage icon;
  const BitmapObj* bmp = nullptr;
  if (type == DST_BITMAP) {
    bmp = Get<BitmapObj>(handle);
    if (!bmp) return false;
  } else if (type == DST_ICON) {
    auto* ic = Get<IconObj>(handle);
    if (!ic) return false;
    icon = ic->image;
  } else {
    return false;
  }
  const int iw = bmp ? LogicalWidth(*bmp) : icon.width();
  const int ih = bmp ? LogicalHeight(*bmp) : icon.height();
  const int w = width > 0 ? std::min(width, iw) : iw;
  const int h = height > 0 ? std::min(height, ih) : ih;
  if (!t.bmp) return true;
  if (!(flags & DSS_DISABLED) && !bmp) return DrawIconEx(hdc, x, y, handle, w, h, 0, 0, DI_NORMAL);
  // The picture's w x h logical pixels over the destination's device pixels.
  const double rd = Ratio(*t.bmp);
  const std::int64_t left = Dev(rd, x), top = Dev(rd, y);
  const int dw = static_cast<int>(Dev(rd, std::int64_t{x} + w) - left);
  const int dh = static_cast<int>(Dev(rd, std::int64_t{y} + h) - top);
  if (static_cast<std::int64_t>(dw) * dh > (std::int64_t{1} << 26)) return false;
  std::vector<int> sxs, sys;
  if (bmp) {
    const double rs = Ratio(*bmp);
    sxs = SourceIndexes(Span{static_cast<int>(left), static_cast<int>(left) + dw}, left, left + dw,
                        0, Dev(rs, w),
                        static_cast<int>(std::min<std::int64_t>(Dev(rs, w), bmp->image.width())));
    sys = SourceIndexes(Span{static_cast<int>(top), static_cast<int>(top) + dh}, top, top + dh, 0,
                        Dev(rs, h),
                        static_cast<int>(std::min<std::int64_t>(Dev(rs, h), bmp->image.height())));
  } else if (Scaled(*t.bmp)) {
    icon = ScaledIcon(icon, static_cast<int>(Dev(rd, iw)), static_cast<int>(Dev(rd, ih)), true);
  }
  if (!(flags & DSS_DISABLED)) {
    for (int j = 0; j < dh; ++j) {
      for (int i = 0; i < dw; ++i) {
        const int sx = sxs[static_cast<std::size_t>(i)], sy = sys[static_cast<std::size_t>(j)];
        if (sx < 0 || sy < 0 || !Inside(*t.bmp, left + i, top + j)) continue;
        const COLORREF c = bmp->format == BitmapObj::Format::Mono
                               ? (ReadBit(*bmp, sx, sy) ? t.dc->bkColor : t.dc->textColor)
                               : ReadColor(*bmp, sx, sy);
        WriteColor(*t.bmp, static_cast<int>(left + i), static_cast<int>(top + j), c & 0xFFFFFF);
      }
    }
    return true;
  }
  // The disabled look: which pixels are dark.
  std::vector<char> dark(static_cast<std::size_t>(dw) * dh, 0);
  for (int j = 0; j < dh; ++j) {
    for (int i = 0; i < dw; ++i) {
      bool isDark = false;
      if (bmp) {
        const int sx = sxs[static_cast<std::size_t>(i)], sy = sys[static_cast<std::size_t>(j)];
        if (sx >= 0 && sy >= 0)
          isDark = bmp->format == BitmapObj::Format::Mono ? ReadBit(*bmp, sx, sy) == 0
                                                          : ReadColor(*bmp, sx, sy) != 0xFFFFFF;
      } else if (i < icon.width() && j < icon.height()) {
        const QRgb p = icon.pixel(i, j);
        isDark = qAlpha(p) >= 128 && (p & 0xFFFFFFu) != 0xFFFFFFu;
      }
      dark[static_cast<std::size_t>(j) * dw + i] = isDark;
    }
  }
  const COLORREF highlight = GetSysColor(COLOR_3DHIGHLIGHT);
  const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
  for (int pass = 0; pass < 2; ++pass) {
    // The highlight lies one logical pixel right and down.
    const std::int64_t off = pass == 0 ? Dev(rd, 1) : 0;
    const COLORREF c = pass == 0 ? highlight : shadow;
    for (int j = 0; j < dh; ++j)
      for (int i = 0; i < dw; ++i)
        if (dark[static_cast<std::size_t>(j) * dw + i] &&
            Inside(*t.bmp, left + i + off, top + j + off)) {
          WriteColor(*t.bmp, static_cast<int>(left + i + off), static_cast<int>(top + j + off), c);
        }
  }
  return true;
}

bool DrawIconEx(HDC hdc, int x, int y, HICON icon, int width, int height, unsigned, HBRUSH,
                std::uint32_t flags) {
  Target t = TargetOf(hdc);
  auto* ic = Get<IconObj>(icon);
  if (!t.dc || !ic) return false;
  if (!t.bmp) return true;
  const int w = width > 0 ? width : ic->image.width();
  const int h = height > 0 ? height : ic->image.height();
  if (static_cast<std::int64_t>(w) * h > (std::int64_t{1} << 24)) return false;
  const std::int64_t left = Dev(*t.bmp, x), top = Dev(*t.bmp, y);
  const int dw = static_cast<int>(Dev(*t.bmp, std::int64_t{x} + w) - left);
  const int dh = static_cast<int>(Dev(*t.bmp, std::int64_t{y} + h) - top);
  const QImage img = ScaledIcon(ic->image, dw, dh, Scaled(*t.bmp));
  const bool image = flags & DI_IMAGE, mask = flags & DI_MASK;
  for (int j = 0; j < dh; ++j) {
    const auto* line = reinterpret_cast<const QRgb*>(img.constScanLine(j));
    for (int i = 0; i < dw; ++i) {
      const QRgb p = line[i];
      if (!Inside(*t.bmp, left + i, top + j)) continue;
      const int px = static_cast<int>(left + i), py = static_cast<int>(top + j);
      if (image && mask)
        BlendPixel(*t.bmp, px, py, p);
      else if (image)
        WriteColor(*t.bmp, px, py, FromQRgb(p));
      else if (mask && qAlpha(p) >= 128)
        WriteColor(*t.bmp, px, py, 0);
    }
  }
  return true;
}

bool DrawIcon(HDC hdc, int x, int y, HICON icon) {
  return DrawIconEx(hdc, x, y, icon, 0, 0, 0, 0, DI_NORMAL);
}

}  // namespace quillane::platform
