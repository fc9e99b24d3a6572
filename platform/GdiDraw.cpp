// Lines, rectangles and polygons.
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

std::optional<COLORREF> BrushColor(HBRUSH hbr) {
  if (hbr >= 1 && hbr <= static_cast<HBRUSH>(kSysColorCount))
    return GetSysColor(static_cast<int>(hbr) - 1);
  auto* b = Get<BrushObj>(hbr);
  if (!b || b->null) return std::nullopt;
  return b->color;
}

Target TargetOf(HDC hdc) {
  Target t;
  t.dc = Get<DcObj>(hdc);
  if (t.dc) t.bmp = DcBitmap(*t.dc);
  return t;
}

}  // namespace detail

using namespace detail;

namespace {

// Device pixels [x0, x1) of device row y.
void FillDeviceSpan(BitmapObj& bmp, std::int64_t x0, std::int64_t x1, std::int64_t y,
                    COLORREF color) {
  const int w = bmp.image.width();
  if (y < 0 || y >= bmp.image.height()) return;
  const int from = static_cast<int>(std::max<std::int64_t>(x0, 0));
  const int to = static_cast<int>(std::min<std::int64_t>(x1, w));
  if (bmp.format == BitmapObj::Format::Color) {
    auto* line = reinterpret_cast<QRgb*>(bmp.image.scanLine(static_cast<int>(y)));
    std::fill(line + from, line + std::max(to, from), ToQRgb(color));
  } else {
    for (int x = from; x < to; ++x) WriteColor(bmp, x, static_cast<int>(y), color);
  }
}

// Logical pixels [left, right) x [top, bottom).
void FillBox(BitmapObj& bmp, int left, int top, int right, int bottom, COLORREF color) {
  const std::int64_t x0 = Dev(bmp, left), x1 = Dev(bmp, right);
  const std::int64_t y0 = std::max<std::int64_t>(Dev(bmp, top), 0),
                     y1 = std::min<std::int64_t>(Dev(bmp, bottom), bmp.image.height());
  for (std::int64_t y = y0; y < y1; ++y) FillDeviceSpan(bmp, x0, x1, y, color);
}

// A pen with the context's drawing mode.
struct Ink {
  PenObj pen;
  bool xorMode = false;
};

Ink InkOf(const DcObj& dc, const PenObj& pen) { return Ink{pen, dc.rop2 == R2_XORPEN}; }

void PenDevicePixel(BitmapObj& bmp, const Ink& ink, std::int64_t x, std::int64_t y) {
  if (x < 0 || y < 0 || x >= bmp.image.width() || y >= bmp.image.height()) return;
  const int px = static_cast<int>(x), py = static_cast<int>(y);
  if (!ink.xorMode) {
    WriteColor(bmp, px, py, ink.pen.color);
  } else if (bmp.format == BitmapObj::Format::Color) {
    WriteColor(bmp, px, py, (ReadColor(bmp, px, py) ^ ink.pen.color) & 0xFFFFFF);
  } else {
    const int bit = ReadBit(bmp, px, py) ^ (IsLight(ink.pen.color) ? 1 : 0);
    WriteColor(bmp, px, py, FromQRgb(bmp.image.color(bit)));
  }
}

// The device pixels of logical pixel (x, y).
void PenPixel(BitmapObj& bmp, const Ink& ink, int x, int y) {
  if (!Scaled(bmp)) {
    PenDevicePixel(bmp, ink, x, y);
    return;
  }
  if (x < 0 || y < 0 || x >= LogicalWidth(bmp) || y >= LogicalHeight(bmp)) return;
  const Span xs = DeviceSpan(Ratio(bmp), x, std::int64_t{x} + 1, bmp.image.width());
  const Span ys = DeviceSpan(Ratio(bmp), y, std::int64_t{y} + 1, bmp.image.height());
  for (int j = ys.first; j < ys.last; ++j)
    for (int i = xs.first; i < xs.last; ++i) PenDevicePixel(bmp, ink, i, j);
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

// The pixels of a line from (x0, y0) to (x1, y1), leaving out (x1, y1), handed to `plot`.
// Bresenham's choice of pixels: along the major axis step i is the pixel at minor offset
// ceil((2 * minor * i - major) / (2 * major)), so only the steps that can touch the width x height
// area (plus the margin) are visited, however long the line.
template <typename Plot>
void LinePixels(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1, int width,
                int height, int margin, Plot plot) {
  const std::int64_t dx = x1 > x0 ? x1 - x0 : x0 - x1;
  const std::int64_t dy = y1 > y0 ? y1 - y0 : y0 - y1;
  const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
  const bool xMajor = dx >= dy;
  const std::int64_t major = xMajor ? dx : dy, minor = xMajor ? dy : dx;
  if (major == 0) return;
  // Steps whose major coordinate lies within the area (plus the pen's reach).
  const std::int64_t start = xMajor ? x0 : y0;
  const int dir = xMajor ? sx : sy;
  const std::int64_t lo = -margin, hi = static_cast<std::int64_t>(xMajor ? width : height) + margin;
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
    if (px < -margin || py < -margin || px > width + margin || py > height + margin) continue;
    plot(static_cast<int>(px), static_cast<int>(py));
  }
}

void DrawLine(BitmapObj& bmp, const Ink& ink, int x0, int y0, int x1, int y1) {
  const PenObj& pen = ink.pen;
  if (pen.style == PS_NULL) return;
  if (Scaled(bmp) && x0 != x1 && y0 != y1) {
    // An oblique line is drawn at the device's resolution with a square dot as wide as the pen,
    // so it comes out smooth rather than in logical steps.
    const double r = Ratio(bmp);
    const std::int64_t n = std::max<std::int64_t>(1, Dev(r, pen.width));
    const std::int64_t first = Dev(r, -(pen.width / 2));
    LinePixels(Dev(r, x0), Dev(r, y0), Dev(r, x1), Dev(r, y1), bmp.image.width(),
               bmp.image.height(), static_cast<int>(n - first + 1), [&](int px, int py) {
                 for (std::int64_t j = 0; j < n; ++j)
                   for (std::int64_t i = 0; i < n; ++i)
                     PenDevicePixel(bmp, ink, px + first + i, py + first + j);
               });
    return;
  }
  LinePixels(x0, y0, x1, y1, LogicalWidth(bmp), LogicalHeight(bmp), pen.width + 1,
             [&](int px, int py) { PenDot(bmp, ink, px, py); });
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
  const std::int64_t w = LogicalWidth(*t.bmp), h = LogicalHeight(*t.bmp);
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
    // Filled at the device's resolution: the corners scaled, the same top-left rule.
    std::vector<POINT> scaled;
    if (Scaled(*t.bmp)) {
      constexpr std::int64_t kFar = std::int64_t{1} << 21;  // past RasterizePolygon's limit
      for (int i = 0; i < count; ++i)
        scaled.push_back(
            POINT{static_cast<int>(std::clamp(Dev(*t.bmp, points[i].x), -kFar, kFar)),
                  static_cast<int>(std::clamp(Dev(*t.bmp, points[i].y), -kFar, kFar))});
    }
    std::vector<QRect> spans;
    if (!RasterizePolygon(scaled.empty() ? points : scaled.data(), count, t.dc->fillMode,
                          t.bmp->image.width(), t.bmp->image.height(), true, &spans)) {
      return false;
    }
    for (const QRect& s : spans)
      FillDeviceSpan(*t.bmp, s.left(), s.left() + s.width(), s.top(), *brush);
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

}  // namespace quillane::platform
