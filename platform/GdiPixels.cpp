// Pixels: reading and writing them by the bitmap's format, logical and device pixels, and the
// device pixel ratio of bitmaps.
#include <algorithm>
#include <cmath>

#include "platform/Colors.h"
#include "platform/GdiInternal.h"

namespace quillane::platform {
namespace detail {

std::int64_t Dev(double ratio, std::int64_t v) {
  if (ratio == 1.0) return v;
  return static_cast<std::int64_t>(std::floor(static_cast<double>(v) * ratio + 0.5));
}

int LogicalWidth(const BitmapObj& b) {
  const double r = Ratio(b);
  return r == 1.0 ? b.image.width() : static_cast<int>(std::lround(b.image.width() / r));
}

int LogicalHeight(const BitmapObj& b) {
  const double r = Ratio(b);
  return r == 1.0 ? b.image.height() : static_cast<int>(std::lround(b.image.height() / r));
}

double SaneRatio(double ratio) {
  if (!(ratio >= 1.0)) return 1.0;
  return std::min(ratio, 8.0);
}

bool IsLight(COLORREF c) { return GetRValue(c) + GetGValue(c) + GetBValue(c) >= 384; }

int NearestIndex(const QImage& dib, COLORREF color) {
  auto dist = [&](QRgb t) {
    const int dr = qRed(t) - GetRValue(color);
    const int dg = qGreen(t) - GetGValue(color);
    const int db = qBlue(t) - GetBValue(color);
    return dr * dr + dg * dg + db * db;
  };
  const auto ct = dib.colorTable();
  if (ct.size() < 2) return 0;
  return dist(ct[1]) < dist(ct[0]) ? 1 : 0;
}

COLORREF ReadColor(const BitmapObj& bmp, int x, int y) {
  if (bmp.format == BitmapObj::Format::Color) {
    return FromQRgb(reinterpret_cast<const QRgb*>(bmp.image.constScanLine(y))[x]);
  }
  return FromQRgb(bmp.image.color(ReadBit(bmp, x, y)));
}

int ReadBit(const BitmapObj& bmp, int x, int y) {
  const uchar* line = bmp.image.constScanLine(y);
  return (line[x >> 3] >> (7 - (x & 7))) & 1;
}

void WriteBit(BitmapObj& bmp, int x, int y, int bit) {
  uchar* line = bmp.image.scanLine(y);
  const uchar mask = static_cast<uchar>(0x80 >> (x & 7));
  if (bit)
    line[x >> 3] |= mask;
  else
    line[x >> 3] &= static_cast<uchar>(~mask);
}

void WriteColor(BitmapObj& bmp, int x, int y, COLORREF color) {
  if (x < 0 || y < 0 || x >= bmp.image.width() || y >= bmp.image.height()) return;
  switch (bmp.format) {
    case BitmapObj::Format::Color:
      reinterpret_cast<QRgb*>(bmp.image.scanLine(y))[x] = ToQRgb(color);
      break;
    case BitmapObj::Format::Mono:
      WriteBit(bmp, x, y, IsLight(color) ? 1 : 0);
      break;
    case BitmapObj::Format::Dib:
      WriteBit(bmp, x, y, NearestIndex(bmp.image, color));
      break;
  }
}

Span DeviceSpan(double ratio, std::int64_t from, std::int64_t to, int extent) {
  Span s;
  s.first = static_cast<int>(std::clamp<std::int64_t>(Dev(ratio, from), 0, extent));
  s.last = static_cast<int>(std::clamp<std::int64_t>(Dev(ratio, to), s.first, extent));
  return s;
}

COLORREF ReadLogical(const BitmapObj& bmp, int x, int y) {
  return ReadColor(bmp, static_cast<int>(Dev(bmp, x)), static_cast<int>(Dev(bmp, y)));
}

void WriteLogical(BitmapObj& bmp, int x, int y, COLORREF color) {
  if (!Scaled(bmp)) {
    WriteColor(bmp, x, y, color);
    return;
  }
  const Span xs = DeviceSpan(Ratio(bmp), x, std::int64_t{x} + 1, bmp.image.width());
  const Span ys = DeviceSpan(Ratio(bmp), y, std::int64_t{y} + 1, bmp.image.height());
  for (int j = ys.first; j < ys.last; ++j)
    for (int i = xs.first; i < xs.last; ++i) WriteColor(bmp, i, j, color);
}

void BlendPixel(BitmapObj& bmp, int x, int y, std::uint32_t argb) {
  const int a = static_cast<int>(argb >> 24);
  if (a == 0 || x < 0 || y < 0 || x >= bmp.image.width() || y >= bmp.image.height()) return;
  if (a == 255) {
    WriteColor(bmp, x, y, FromQRgb(argb));
    return;
  }
  const COLORREF d = ReadColor(bmp, x, y);
  auto mix = [a](int s, int dst) { return (s * a + dst * (255 - a) + 127) / 255; };
  WriteColor(bmp, x, y,
             RGB(mix(qRed(argb), GetRValue(d)), mix(qGreen(argb), GetGValue(d)),
                 mix(qBlue(argb), GetBValue(d))));
}

}  // namespace detail

using namespace detail;

COLORREF SetPixel(HDC hdc, int x, int y, COLORREF color) {
  auto* dc = Get<DcObj>(hdc);
  BitmapObj* b = dc ? DcBitmap(*dc) : nullptr;
  if (!b || x < 0 || y < 0 || x >= LogicalWidth(*b) || y >= LogicalHeight(*b)) return CLR_INVALID;
  WriteLogical(*b, x, y, color & 0xFFFFFF);
  return ReadLogical(*b, x, y);
}

COLORREF GetPixel(HDC hdc, int x, int y) {
  auto* dc = Get<DcObj>(hdc);
  BitmapObj* b = dc ? DcBitmap(*dc) : nullptr;
  if (!b || x < 0 || y < 0 || x >= LogicalWidth(*b) || y >= LogicalHeight(*b)) return CLR_INVALID;
  return ReadLogical(*b, x, y);
}

bool SetBitmapRatio(HBITMAP hbm, double ratio) {
  auto* b = Get<BitmapObj>(hbm);
  Object* o = Find(hbm);
  if (!b || o->stock) return false;
  ratio = SaneRatio(ratio);
  if (ratio == Ratio(*b)) return true;
  const int lw = LogicalWidth(*b), lh = LogicalHeight(*b);
  const std::int64_t dw = std::max<std::int64_t>(1, Dev(ratio, lw)),
                     dh = std::max<std::int64_t>(1, Dev(ratio, lh));
  if (dw > (1 << 20) || dh > (1 << 20) || !SizeOk(static_cast<int>(dw), static_cast<int>(dh)))
    return false;
  BitmapObj scaled;
  scaled.format = b->format;
  scaled.image = QImage(static_cast<int>(dw), static_cast<int>(dh), b->image.format());
  if (scaled.image.isNull()) return false;
  scaled.image.setColorTable(b->image.colorTable());
  scaled.image.setDevicePixelRatio(ratio);
  // Each new device pixel takes the old one under its centre.
  const double from = Ratio(*b);
  for (int y = 0; y < scaled.image.height(); ++y) {
    const int sy = std::min(b->image.height() - 1, static_cast<int>((y + 0.5) / ratio * from));
    for (int x = 0; x < scaled.image.width(); ++x) {
      const int sx = std::min(b->image.width() - 1, static_cast<int>((x + 0.5) / ratio * from));
      WriteColor(scaled, x, y, ReadColor(*b, sx, sy));
    }
  }
  b->image = std::move(scaled.image);
  return true;
}

double GetBitmapRatio(HBITMAP hbm) {
  auto* b = Get<BitmapObj>(hbm);
  return b ? Ratio(*b) : 1.0;
}

double GetDeviceRatio(HDC hdc) {
  auto* dc = Get<DcObj>(hdc);
  BitmapObj* b = dc ? DcBitmap(*dc) : nullptr;
  return b ? Ratio(*b) : 1.0;
}

}  // namespace quillane::platform
