#include "gfx/basGDI.h"

#include <cmath>
#include <algorithm>
#include <limits>

#include "platform/Colors.h"
#include "platform/Gdi.h"

namespace quillane::gfx {

namespace p = quillane::platform;

std::int32_t RoundHalfEven(double value) {
  if (std::isnan(value)) return 0;
  const double r = std::nearbyint(value);  // the default rounding mode: nearest, ties to even
  if (r <= static_cast<double>(std::numeric_limits<std::int32_t>::min()))
    return std::numeric_limits<std::int32_t>::min();
  if (r >= static_cast<double>(std::numeric_limits<std::int32_t>::max()))
    return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(r);
}

std::int32_t TranslateColor(OLE_COLOR color, HPALETTE hpal) {
  p::COLORREF out = 0;
  if (!p::OleTranslateColor(color, hpal, &out)) return -1;
  return static_cast<std::int32_t>(out);
}

void BlendColors(OLE_COLOR c1, OLE_COLOR c2, std::vector<std::int32_t>& ramp) {
  if (ramp.empty()) return;
  auto plain = [](OLE_COLOR c) {
    if (c < 0) {
      const std::int32_t t = TranslateColor(c);
      if (t != -1) return t;
    }
    return c;
  };
  const auto a = static_cast<std::uint32_t>(plain(c1)), b = static_cast<std::uint32_t>(plain(c2));
  double r = a & 0xFF, g = (a >> 8) & 0xFF, bl = (a >> 16) & 0xFF;
  const double r2 = b & 0xFF, g2 = (b >> 8) & 0xFF, b2 = (b >> 16) & 0xFF;
  const auto n = static_cast<double>(ramp.size() - 1);
  const double dr = n == 0 ? 0 : (r2 - r) / n, dg = n == 0 ? 0 : (g2 - g) / n,
               db = n == 0 ? 0 : (b2 - bl) / n;
  auto clamp = [](double& v) {
    if (v > 255) v = 255;
    if (v < 0) v = 0;
  };
  for (std::size_t i = 0; i < ramp.size(); ++i) {
    r += dr;
    g += dg;
    bl += db;
    clamp(r);
    clamp(g);
    clamp(bl);
    ramp[i] = RoundHalfEven(r) + RoundHalfEven(g) * 256 + RoundHalfEven(bl) * 65536;
  }
}

namespace {

void Line(HDC dc, std::int32_t color, int x0, int y0, int x1, int y1) {
  const p::HPEN pen = p::CreatePen(p::PS_SOLID, 1, static_cast<p::COLORREF>(color));
  {
    const p::ScopedSelect selected(dc, pen);
    p::MoveToEx(dc, x0, y0);
    p::LineTo(dc, x1, y1);
  }
  p::DeleteObject(pen);
}

constexpr std::int64_t kMaxGradientLines = 65536;

// Coordinate sums saturate at the ends of the 32-bit range instead of wrapping.
int Sat(std::int64_t v) {
  return static_cast<int>(std::clamp<std::int64_t>(v, std::numeric_limits<std::int32_t>::min(),
                                                   std::numeric_limits<std::int32_t>::max()));
}

}  // namespace

void DrawGradient(HDC dc, int X1, int Y1, int X2, int Y2, OLE_COLOR c1, OLE_COLOR c2, int direction,
                  bool mirror) {
  if (direction == 0) {
    const std::int64_t n = static_cast<std::int64_t>(X2) - X1;
    if (n < 0 || n > kMaxGradientLines) return;
    std::vector<std::int32_t> ramp(static_cast<std::size_t>(n) + 1);
    BlendColors(c1, c2, ramp);
    for (std::int64_t i = 0; i <= n; ++i)
      Line(dc, ramp[static_cast<std::size_t>(i)], static_cast<int>(X1 + i), Y1,
           static_cast<int>(X1 + i), Y2);
    return;
  }
  if (direction != 1) return;
  const std::int64_t span = static_cast<std::int64_t>(Y2) - Y1;
  if (span < 0 || span > kMaxGradientLines) return;
  const std::int64_t n = mirror ? RoundHalfEven(static_cast<double>(span) * 0.5) : span;
  std::vector<std::int32_t> ramp(static_cast<std::size_t>(n) + 1);
  BlendColors(c1, c2, ramp);
  for (std::int64_t i = 0; i <= n; ++i)
    Line(dc, ramp[static_cast<std::size_t>(i)], X1, static_cast<int>(Y1 + i), X2,
         static_cast<int>(Y1 + i));
  if (mirror) {
    for (std::int64_t i = 0; i <= n; ++i)
      Line(dc, ramp[static_cast<std::size_t>(i)], X1, static_cast<int>(Y2 - i), X2,
           static_cast<int>(Y2 - i));
  }
}

void DrawFrame(HDC dc, int X, int Y, int W, int H, OLE_COLOR cTopLeft, OLE_COLOR cBottomRight,
               OLE_COLOR cFill) {
  if (cFill != -1) FillArea(dc, X, Y, W, H, cFill);
  const int right = Sat(std::int64_t{X} + W - 1), bottom = Sat(std::int64_t{Y} + H - 1);
  p::HPEN pen = p::CreatePen(p::PS_SOLID, 1, static_cast<p::COLORREF>(TranslateColor(cTopLeft)));
  {
    const p::ScopedSelect selected(dc, pen);
    p::MoveToEx(dc, right, Y);
    p::LineTo(dc, X, Y);
    p::LineTo(dc, X, bottom);
  }
  p::DeleteObject(pen);
  pen = p::CreatePen(p::PS_SOLID, 1, static_cast<p::COLORREF>(TranslateColor(cBottomRight)));
  {
    const p::ScopedSelect selected(dc, pen);
    p::LineTo(dc, right, bottom);
    p::LineTo(dc, right, Y);
  }
  p::DeleteObject(pen);
}

void FillArea(HDC dc, int X, int Y, int W, int H, OLE_COLOR color) {
  const p::HBRUSH brush = p::CreateSolidBrush(static_cast<p::COLORREF>(TranslateColor(color)));
  const p::RECT rc{X, Y, Sat(std::int64_t{X} + W - 1), Sat(std::int64_t{Y} + H - 1)};
  p::FillRect(dc, &rc, brush);
  p::DeleteObject(brush);
}

void DrawTextRect(HDC dc, std::string_view text, float X, float Y, float W, float H,
                  std::uint32_t flags) {
  const std::size_t nul = text.find('\0');
  if (nul != std::string_view::npos) text = text.substr(0, nul);
  p::RECT rc{RoundHalfEven(X), RoundHalfEven(Y), RoundHalfEven(static_cast<double>(X) + W),
             RoundHalfEven(static_cast<double>(Y) + H)};
  p::DrawText(dc, text, &rc, flags);
}

int RoundRectPoints(std::vector<POINT>& list, float X1, float Y1, float X2, float Y2) {
  list.clear();
  AddPoint(list, X1 + 2, Y1);
  AddPoint(list, X2 - 2, Y1);
  AddPoint(list, X2 - 1, Y1 + 1);
  AddPoint(list, X2, Y1 + 2);
  AddPoint(list, X2, Y2 - 2);
  AddPoint(list, X2 - 1, Y2 - 1);
  AddPoint(list, X2 - 2, Y2);
  AddPoint(list, X1 + 2, Y2);
  AddPoint(list, X1 + 1, Y2 - 1);
  AddPoint(list, X1, Y2 - 2);
  AddPoint(list, X1, Y1 + 2);
  AddPoint(list, X1 + 1, Y1 + 1);
  AddPoint(list, X1 + 2, Y1);
  return static_cast<int>(list.size()) - 1;
}

void AddPoint(std::vector<POINT>& list, float X, float Y) {
  list.push_back(POINT{RoundHalfEven(X), RoundHalfEven(Y)});
}

}  // namespace quillane::gfx
