// Lines, rectangles, polygons, block transfers, the disabled look and icons.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "platform/Colors.h"
#include "platform/GdiInternal.h"

namespace quillane::platform {
namespace detail {

bool RasterizePolygon(const POINT* points, int count, int fillMode, int clipWidth, int clipHeight,
                      bool clip, std::vector<QRect>* spans) {
  spans->clear();
  if (!points || count < 3) return count >= 0 && (points || count == 0);
  constexpr int kLimit = 1 << 20;
  int minY = points[0].y, maxY = points[0].y;
  for (int i = 0; i < count; ++i) {
    if (std::abs(points[i].x) > kLimit || std::abs(points[i].y) > kLimit) return false;
    minY = std::min(minY, points[i].y);
    maxY = std::max(maxY, points[i].y);
  }
  if (clip) {
    minY = std::max(minY, 0);
    maxY = std::min(maxY, clipHeight);
  } else if (static_cast<std::int64_t>(maxY) - minY > (1 << 15)) {
    return false;
  }
  struct Crossing {
    double x;
    int dir;
  };
  std::vector<Crossing> xs;
  for (int y = minY; y < maxY; ++y) {
    xs.clear();
    for (int i = 0; i < count; ++i) {
      const POINT& a = points[i];
      const POINT& b = points[(i + 1) % count];
      if (a.y == b.y) continue;
      const int top = std::min(a.y, b.y), bottom = std::max(a.y, b.y);
      if (y < top || y >= bottom) continue;
      const double x = a.x + static_cast<double>(y - a.y) * (b.x - a.x) / (b.y - a.y);
      xs.push_back({x, b.y > a.y ? 1 : -1});
    }
    std::sort(xs.begin(), xs.end(), [](const Crossing& l, const Crossing& r) { return l.x < r.x; });
    auto addSpan = [&](double from, double to) {
      int x0 = static_cast<int>(std::ceil(from));
      int x1 = static_cast<int>(std::ceil(to));  // exclusive
      if (clip) {
        x0 = std::max(x0, 0);
        x1 = std::min(x1, clipWidth);
      }
      if (x1 > x0) spans->push_back(QRect(x0, y, x1 - x0, 1));
    };
    if (fillMode == WINDING) {
      int winding = 0;
      for (std::size_t i = 0; i + 1 < xs.size(); ++i) {
        winding += xs[i].dir;
        if (winding != 0) addSpan(xs[i].x, xs[i + 1].x);
      }
    } else {
      for (std::size_t i = 0; i + 1 < xs.size(); i += 2) addSpan(xs[i].x, xs[i + 1].x);
    }
  }
  return true;
}

}  // namespace detail

using namespace detail;

namespace {

struct Target {
  DcObj* dc = nullptr;
  BitmapObj* bmp = nullptr;
};

Target TargetOf(HDC hdc) {
  Target t;
  t.dc = Get<DcObj>(hdc);
  if (t.dc) t.bmp = DcBitmap(*t.dc);
  return t;
}

// A brush handle to a colour; nullopt for the null brush or a bad handle.
std::optional<COLORREF> BrushColor(HBRUSH hbr) {
  if (hbr >= 1 && hbr <= static_cast<HBRUSH>(kSysColorCount))
    return GetSysColor(static_cast<int>(hbr) - 1);
  auto* b = Get<BrushObj>(hbr);
  if (!b || b->null) return std::nullopt;
  return b->color;
}

void FillSpan(BitmapObj& bmp, int x0, int x1, int y, COLORREF color) {
  const int w = bmp.image.width();
  if (y < 0 || y >= bmp.image.height()) return;
  x0 = std::max(x0, 0);
  x1 = std::min(x1, w);
  if (bmp.format == BitmapObj::Format::Color) {
    auto* line = reinterpret_cast<QRgb*>(bmp.image.scanLine(y));
    std::fill(line + std::max(x0, 0), line + std::max(x1, x0), ToQRgb(color));
  } else {
    for (int x = x0; x < x1; ++x) WriteColor(bmp, x, y, color);
  }
}

void FillBox(BitmapObj& bmp, int left, int top, int right, int bottom, COLORREF color) {
  top = std::max(top, 0);
  bottom = std::min(bottom, bmp.image.height());
  for (int y = top; y < bottom; ++y) FillSpan(bmp, left, right, y, color);
}

// A pen with the context's drawing mode.
struct Ink {
  PenObj pen;
  bool xorMode = false;
};

Ink InkOf(const DcObj& dc, const PenObj& pen) { return Ink{pen, dc.rop2 == R2_XORPEN}; }

void PenPixel(BitmapObj& bmp, const Ink& ink, int x, int y) {
  if (x < 0 || y < 0 || x >= bmp.image.width() || y >= bmp.image.height()) return;
  if (!ink.xorMode) {
    WriteColor(bmp, x, y, ink.pen.color);
  } else if (bmp.format == BitmapObj::Format::Color) {
    WriteColor(bmp, x, y, (ReadColor(bmp, x, y) ^ ink.pen.color) & 0xFFFFFF);
  } else {
    const int bit = ReadBit(bmp, x, y) ^ (IsLight(ink.pen.color) ? 1 : 0);
    WriteColor(bmp, x, y, FromQRgb(bmp.image.color(bit)));
  }
}

// One pen dot: a square of the pen's width whose centre pixel is (x, y) (for an even width, the
// extra row and column lie above and to the left).
void PenDot(BitmapObj& bmp, const Ink& ink, int x, int y) {
  if (ink.pen.width <= 1) {
    PenPixel(bmp, ink, x, y);
    return;
  }
  const int lo = -(ink.pen.width / 2), hi = (ink.pen.width - 1) / 2;
  for (int dy = lo; dy <= hi; ++dy)
    for (int dx = lo; dx <= hi; ++dx) PenPixel(bmp, ink, x + dx, y + dy);
}

#ifdef __SIZEOF_INT128__
using Wide = __int128;
#else
using Wide = long double;
#endif

// ceil(a / b) for b > 0, without overflow for any line of 32-bit end points.
std::int64_t CeilDiv(Wide a, Wide b) {
#ifdef __SIZEOF_INT128__
  return static_cast<std::int64_t>(a >= 0 ? (a + b - 1) / b : -((-a) / b));
#else
  return static_cast<std::int64_t>(std::ceil(a / b));
#endif
}

// A line from (x0, y0) to (x1, y1), leaving out (x1, y1). Bresenham's choice of pixels: along the
// major axis step i is the pixel at minor offset ceil((2 * minor * i - major) / (2 * major)), so
// only the steps that can touch the bitmap are visited, however long the line.
void DrawLine(BitmapObj& bmp, const Ink& ink, int x0, int y0, int x1, int y1) {
  const PenObj& pen = ink.pen;
  if (pen.style == PS_NULL) return;
  const std::int64_t dx = std::llabs(static_cast<std::int64_t>(x1) - x0);
  const std::int64_t dy = std::llabs(static_cast<std::int64_t>(y1) - y0);
  const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
  const bool xMajor = dx >= dy;
  const std::int64_t major = xMajor ? dx : dy, minor = xMajor ? dy : dx;
  if (major == 0) return;
  const int margin = pen.width + 1;
  // Steps whose major coordinate lies within the bitmap (plus the pen's reach).
  const std::int64_t start = xMajor ? x0 : y0;
  const int dir = xMajor ? sx : sy;
  const std::int64_t lo = -margin, hi = static_cast<std::int64_t>(xMajor ? bmp.image.width()
                                                                         : bmp.image.height()) +
                                        margin;
  std::int64_t iFirst, iLast;  // inclusive
  if (dir > 0) {
    iFirst = lo - start;
    iLast = hi - start;
  } else {
    iFirst = start - hi;
    iLast = start - lo;
  }
  iFirst = std::max<std::int64_t>(iFirst, 0);
  iLast = std::min<std::int64_t>(iLast, major - 1);
  const std::int64_t minorStart = xMajor ? y0 : x0;
  const int minorDir = xMajor ? sy : sx;
  for (std::int64_t i = iFirst; i <= iLast; ++i) {
    const std::int64_t k = CeilDiv(Wide{2} * minor * i - major, Wide{2} * major);
    const std::int64_t a = start + dir * i, b = minorStart + minorDir * k;
    const std::int64_t px = xMajor ? a : b, py = xMajor ? b : a;
    if (px < -margin || py < -margin || px > bmp.image.width() + margin ||
        py > bmp.image.height() + margin)
      continue;
    PenDot(bmp, ink, static_cast<int>(px), static_cast<int>(py));
  }
}

std::uint32_t Rop3(std::uint8_t rop, std::uint32_t p, std::uint32_t s, std::uint32_t d) {
  std::uint32_t r = 0;
  for (int i = 0; i < 8; ++i) {
    if (rop & (1u << i)) r |= ((i & 4) ? p : ~p) & ((i & 2) ? s : ~s) & ((i & 1) ? d : ~d);
  }
  return r & 0xFFFFFFu;
}

constexpr std::uint32_t Expand(int bit) { return bit ? 0xFFFFFFu : 0u; }

// A pixel position from an origin and an offset, or nullopt when it lies outside the bitmap.
bool Inside(const BitmapObj& bmp, std::int64_t x, std::int64_t y) {
  return x >= 0 && y >= 0 && x < bmp.image.width() && y < bmp.image.height();
}

QImage ScaledIcon(const QImage& image, int w, int h) {
  if (image.width() == w && image.height() == h) return image;
  return image.scaled(w, h, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

}  // namespace

bool LineTo(HDC hdc, int x, int y) {
  Target t = TargetOf(hdc);
  if (!t.dc) return false;
  if (t.bmp) {
    if (auto* pen = Get<PenObj>(t.dc->pen))
      DrawLine(*t.bmp, InkOf(*t.dc, *pen), t.dc->pos.x, t.dc->pos.y, x, y);
  }
  t.dc->pos = POINT{x, y};
  return true;
}

bool Polyline(HDC hdc, const POINT* points, int count) {
  Target t = TargetOf(hdc);
  if (!t.dc || !points || count < 2) return false;
  if (t.bmp) {
    if (auto* pen = Get<PenObj>(t.dc->pen)) {
      for (int i = 0; i + 1 < count; ++i)
        DrawLine(*t.bmp, InkOf(*t.dc, *pen), points[i].x, points[i].y, points[i + 1].x,
                 points[i + 1].y);
    }
  }
  return true;
}

bool Rectangle(HDC hdc, int left32, int top32, int right32, int bottom32) {
  Target t = TargetOf(hdc);
  if (!t.dc) return false;
  if (!t.bmp) return true;
  std::int64_t left = left32, top = top32, right = right32, bottom = bottom32;
  if (right < left) std::swap(left, right);
  if (bottom < top) std::swap(top, bottom);
  auto* pen = Get<PenObj>(t.dc->pen);
  const auto brush = BrushColor(t.dc->brush);
  const bool outline = pen && pen->style != PS_NULL;
  // Everything is clipped to what can reach the bitmap before it becomes a pixel coordinate.
  const std::int64_t reach = (pen ? pen->width : 1) + 1;
  const std::int64_t w = t.bmp->image.width(), h = t.bmp->image.height();
  auto cx = [&](std::int64_t v) {
    return static_cast<int>(std::clamp<std::int64_t>(v, -reach, w + reach));
  };
  auto cy = [&](std::int64_t v) {
    return static_cast<int>(std::clamp<std::int64_t>(v, -reach, h + reach));
  };
  if (!outline) {
    if (brush) FillBox(*t.bmp, cx(left), cy(top), cx(right - 1), cy(bottom - 1), *brush);
    return true;
  }
  if (brush) FillBox(*t.bmp, cx(left + 1), cy(top + 1), cx(right - 1), cy(bottom - 1), *brush);
  if (right - left < 1 || bottom - top < 1) return true;
  const std::int64_t r = right - 1, b = bottom - 1;
  const Ink ink = InkOf(*t.dc, *pen);
  const bool topVisible = top >= -reach && top <= h + reach,
             bottomVisible = b != top && b >= -reach && b <= h + reach;
  const bool leftVisible = left >= -reach && left <= w + reach,
             rightVisible = r != left && r >= -reach && r <= w + reach;
  for (int x = cx(left); x <= cx(r); ++x) {
    if (topVisible) PenDot(*t.bmp, ink, x, static_cast<int>(top));
    if (bottomVisible) PenDot(*t.bmp, ink, x, static_cast<int>(b));
  }
  for (int y = cy(top + 1); y <= cy(b - 1); ++y) {
    if (leftVisible) PenDot(*t.bmp, ink, static_cast<int>(left), y);
    if (rightVisible) PenDot(*t.bmp, ink, static_cast<int>(r), y);
  }
  return true;
}

int FillRect(HDC hdc, const RECT* rect, HBRUSH hbr) {
  Target t = TargetOf(hdc);
  const auto color = BrushColor(hbr);
  if (!t.dc || !rect || (!color && !Get<BrushObj>(hbr))) return 0;
  if (t.bmp && color) FillBox(*t.bmp, rect->left, rect->top, rect->right, rect->bottom, *color);
  return 1;
}

bool Polygon(HDC hdc, const POINT* points, int count) {
  Target t = TargetOf(hdc);
  if (!t.dc || !points || count < 2) return false;
  if (!t.bmp) return true;
  if (const auto brush = BrushColor(t.dc->brush)) {
    std::vector<QRect> spans;
    if (!RasterizePolygon(points, count, t.dc->fillMode, t.bmp->image.width(),
                          t.bmp->image.height(), true, &spans)) {
      return false;
    }
    for (const QRect& s : spans) FillSpan(*t.bmp, s.left(), s.left() + s.width(), s.top(), *brush);
  }
  if (auto* pen = Get<PenObj>(t.dc->pen)) {
    for (int i = 0; i < count; ++i) {
      const POINT& a = points[i];
      const POINT& b = points[(i + 1) % count];
      DrawLine(*t.bmp, InkOf(*t.dc, *pen), a.x, a.y, b.x, b.y);
    }
  }
  return true;
}

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
  // Clip against the destination and, when used, the source.
  std::int64_t x0 = x, y0 = y, x1 = static_cast<std::int64_t>(x) + width,
               y1 = static_cast<std::int64_t>(y) + height;
  x0 = std::max<std::int64_t>(x0, 0);
  y0 = std::max<std::int64_t>(y0, 0);
  x1 = std::min<std::int64_t>(x1, db.image.width());
  y1 = std::min<std::int64_t>(y1, db.image.height());
  const std::int64_t ox = static_cast<std::int64_t>(xSrc) - x,
                     oy = static_cast<std::int64_t>(ySrc) - y;
  if (usesSource) {
    x0 = std::max<std::int64_t>(x0, -ox);
    y0 = std::max<std::int64_t>(y0, -oy);
    x1 = std::min<std::int64_t>(x1, s.bmp->image.width() - ox);
    y1 = std::min<std::int64_t>(y1, s.bmp->image.height() - oy);
  }
  if (x0 >= x1 || y0 >= y1) return true;
  const int w = static_cast<int>(x1 - x0), h = static_cast<int>(y1 - y0);

  using F = BitmapObj::Format;
  const F df = db.format;
  // Source values in the destination's terms, read before anything is written (the two may be
  // the same bitmap).
  std::vector<std::uint32_t> srcValues;
  if (usesSource) {
    const BitmapObj& sb = *s.bmp;
    srcValues.resize(static_cast<std::size_t>(w) * h);
    for (int j = 0; j < h; ++j) {
      for (int i = 0; i < w; ++i) {
        const int sx = static_cast<int>(x0 + i + ox), sy = static_cast<int>(y0 + j + oy);
        std::uint32_t v;
        if (df == F::Mono) {
          if (sb.format == F::Mono)
            v = Expand(ReadBit(sb, sx, sy));
          else
            v = Expand(ReadColor(sb, sx, sy) == (s.dc->bkColor & 0xFFFFFF));
        } else {
          COLORREF c;
          if (sb.format == F::Mono)
            c = ReadBit(sb, sx, sy) ? d.dc->bkColor : d.dc->textColor;
          else
            c = ReadColor(sb, sx, sy);
          c &= 0xFFFFFF;
          v = df == F::Dib ? Expand(NearestIndex(db.image, c)) : c;
        }
        srcValues[static_cast<std::size_t>(j) * w + i] = v;
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
    const int dy = static_cast<int>(y0 + j);
    for (int i = 0; i < w; ++i) {
      const int dx = static_cast<int>(x0 + i);
      const std::uint32_t sv = usesSource ? srcValues[static_cast<std::size_t>(j) * w + i] : 0;
      if (df == F::Color) {
        auto* line = reinterpret_cast<QRgb*>(db.image.scanLine(dy));
        const std::uint32_t dv = FromQRgb(line[dx]);
        line[dx] = ToQRgb(Rop3(rop3, pattern, sv, dv));
      } else {
        const std::uint32_t dv = Expand(ReadBit(db, dx, dy));
        const int bit = static_cast<int>(Rop3(rop3, pattern, sv, dv) & 1u);
        uchar* line = db.image.scanLine(dy);
        const uchar mask = static_cast<uchar>(0x80 >> (dx & 7));
        if (bit)
          line[dx >> 3] |= mask;
        else
          line[dx >> 3] &= static_cast<uchar>(~mask);
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
  const int iw = bmp ? bmp->image.width() : icon.width();
  const int ih = bmp ? bmp->image.height() : icon.height();
  const int w = width > 0 ? std::min(width, iw) : iw;
  const int h = height > 0 ? std::min(height, ih) : ih;
  if (!t.bmp) return true;
  if (!(flags & DSS_DISABLED)) {
    if (bmp) {
      for (int j = 0; j < h; ++j) {
        for (int i = 0; i < w; ++i) {
          COLORREF c = bmp->format == BitmapObj::Format::Mono
                           ? (ReadBit(*bmp, i, j) ? t.dc->bkColor : t.dc->textColor)
                           : ReadColor(*bmp, i, j);
          if (Inside(*t.bmp, std::int64_t{x} + i, std::int64_t{y} + j))
            WriteColor(*t.bmp, x + i, y + j, c & 0xFFFFFF);
        }
      }
      return true;
    }
    return DrawIconEx(hdc, x, y, handle, w, h, 0, 0, DI_NORMAL);
  }
  // The disabled look: which pixels are dark.
  std::vector<char> dark(static_cast<std::size_t>(w) * h, 0);
  for (int j = 0; j < h; ++j) {
    for (int i = 0; i < w; ++i) {
      bool isDark;
      if (bmp) {
        isDark = bmp->format == BitmapObj::Format::Mono ? ReadBit(*bmp, i, j) == 0
                                                        : ReadColor(*bmp, i, j) != 0xFFFFFF;
      } else {
        const QRgb p = icon.pixel(i, j);
        isDark = qAlpha(p) >= 128 && (p & 0xFFFFFFu) != 0xFFFFFFu;
      }
      dark[static_cast<std::size_t>(j) * w + i] = isDark;
    }
  }
  const COLORREF highlight = GetSysColor(COLOR_3DHIGHLIGHT);
  const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
  for (int pass = 0; pass < 2; ++pass) {
    const int off = pass == 0 ? 1 : 0;
    const COLORREF c = pass == 0 ? highlight : shadow;
    for (int j = 0; j < h; ++j)
      for (int i = 0; i < w; ++i)
        if (dark[static_cast<std::size_t>(j) * w + i] &&
            Inside(*t.bmp, std::int64_t{x} + i + off, std::int64_t{y} + j + off)) {
          WriteColor(*t.bmp, x + i + off, y + j + off, c);
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
  const QImage img = ScaledIcon(ic->image, w, h);
  const bool image = flags & DI_IMAGE, mask = flags & DI_MASK;
  for (int j = 0; j < h; ++j) {
    const auto* line = reinterpret_cast<const QRgb*>(img.constScanLine(j));
    for (int i = 0; i < w; ++i) {
      const QRgb p = line[i];
      if (!Inside(*t.bmp, std::int64_t{x} + i, std::int64_t{y} + j)) continue;
      if (image && mask)
        BlendPixel(*t.bmp, x + i, y + j, p);
      else if (image)
        WriteColor(*t.bmp, x + i, y + j, FromQRgb(p));
      else if (mask && qAlpha(p) >= 128)
        WriteColor(*t.bmp, x + i, y + j, 0);
    }
  }
  return true;
}

bool DrawIcon(HDC hdc, int x, int y, HICON icon) {
  return DrawIconEx(hdc, x, y, icon, 0, 0, 0, 0, DI_NORMAL);
}

}  // namespace quillane::platform
