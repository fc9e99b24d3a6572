#include "controls/menu/MenuPaint.h"

#include <algorithm>
#include <string>
#include <vector>

#include "gfx/basGDI.h"
#include "platform/Colors.h"
#include "platform/Gdi.h"

namespace quillane::controls::paint {

namespace p = quillane::platform;
using gfx::RoundHalfEven;

namespace {

p::COLORREF Plain(OLE_COLOR color) { return static_cast<p::COLORREF>(gfx::TranslateColor(color)); }

// Selects a pen (and optionally a brush) for the lifetime of the object.
class Tools {
 public:
  Tools(HDC dc, OLE_COLOR pen, int width = 1) : dc_(dc) {
    pen_ = p::CreatePen(p::PS_SOLID, width, Plain(pen));
    oldPen_ = p::SelectObject(dc_, pen_);
  }
  ~Tools() {
    p::SelectObject(dc_, oldPen_);
    p::DeleteObject(pen_);
  }
  Tools(const Tools&) = delete;
  Tools& operator=(const Tools&) = delete;

 private:
  HDC dc_;
  p::HPEN pen_ = 0;
  p::HGDIOBJ oldPen_ = 0;
};

}  // namespace

OLE_COLOR QB(int index) { return static_cast<OLE_COLOR>(p::QBColor(index).value_or(0)); }

void Lines(HDC dc, OLE_COLOR color, std::initializer_list<p::POINT> points, int width) {
  if (points.size() < 2) return;
  Tools tools(dc, color, width);
  auto it = points.begin();
  p::MoveToEx(dc, it->x, it->y);
  for (++it; it != points.end(); ++it) p::LineTo(dc, it->x, it->y);
}

void Box(HDC dc, int l, int t, int r, int b, OLE_COLOR color) {
  Lines(dc, color, {{l, t}, {r, t}, {r, b}, {l, b}, {l, t}});
  // A box of one row or column has no segment that reaches its far corner.
  if (l == r || t == b) p::SetPixel(dc, r, b, Plain(color));
}

void FillBox(HDC dc, int l, int t, int r, int b, OLE_COLOR color) {
  if (r < l) std::swap(l, r);
  if (b < t) std::swap(t, b);
  const p::HBRUSH brush = p::CreateSolidBrush(Plain(color));
  const p::RECT rc{l, t, r + 1, b + 1};
  p::FillRect(dc, &rc, brush);
  p::DeleteObject(brush);
}

void RaisedGradient(HDC dc, int l, int t, int r, int b, OLE_COLOR c1, OLE_COLOR c2) {
  std::vector<std::int32_t> ramp(21);
  gfx::BlendColors(c1, c2, ramp);
  // A box narrower than 10 pixels would round the step to 0: one band per pixel then. Bands past
  // the 21st (the step rounded down) keep the last colour, and none reaches past the right edge.
  const int step = std::max(1, RoundHalfEven((static_cast<double>(r) - l) / 20.0));
  std::size_t band = 0;
  for (long long x = l; x <= r; x += step, ++band) {
    const int right = static_cast<int>(std::min<long long>(x + step, r));
    FillBox(dc, static_cast<int>(x), t, right, b, ramp[std::min(band, ramp.size() - 1)]);
  }
  Lines(dc, QB(kWhite), {{l + 1, t + 1}, {r - 1, t + 1}});
  Lines(dc, QB(kDarkGrey), {{r - 1, t + 1}, {r - 1, b - 1}, {l + 1, b - 1}});
  Lines(dc, QB(kWhite), {{l + 1, b - 1}, {l + 1, t + 1}});
}

int TextWidth(HDC dc, std::string_view text) {
  if (const std::size_t tab = text.find('\t'); tab != std::string_view::npos)
    return TextWidth(dc, text.substr(0, tab)) + kShortcutGap + TextWidth(dc, text.substr(tab + 1));
  p::SIZE size;
  return p::GetTextExtentPoint32(dc, text, &size) ? size.cx : 0;
}

int TextHeight(HDC dc, std::string_view text) {
  p::SIZE size;
  return p::GetTextExtentPoint32(dc, text, &size) ? size.cy : 0;
}

void Print(HDC dc, std::string_view text, float x, float y, OLE_COLOR color) {
  if (text.empty()) return;
  const p::COLORREF oldColor = p::SetTextColor(dc, Plain(color));
  const int oldMode = p::SetBkMode(dc, p::TRANSPARENT);
  p::TextOut(dc, RoundHalfEven(x), RoundHalfEven(y), text);
  p::SetBkMode(dc, oldMode);
  p::SetTextColor(dc, oldColor);
}

std::string ShownText(std::string_view caption) {
  std::string text(caption);
  if (!text.empty() && text.back() == '&') text.pop_back();
  if (const std::size_t amp = text.find('&'); amp != std::string::npos) text.erase(amp, 1);
  return text;
}

void PrintCaption(HDC dc, std::string_view caption, float x, float y, OLE_COLOR color,
                  int keysRight) {
  if (const std::size_t tab = caption.find('\t'); tab != std::string_view::npos) {
    const std::string_view keys = caption.substr(tab + 1);
    caption = caption.substr(0, tab);
    const float left =
        keysRight != kNoColumn
            ? static_cast<float>(keysRight - TextWidth(dc, keys))
            : x + static_cast<float>(TextWidth(dc, ShownText(caption)) + kShortcutGap);
    Print(dc, keys, left, y, color);
  }
  std::string text(caption);
  if (!text.empty() && text.back() == '&') text.pop_back();
  const std::size_t amp = text.find('&');
  if (amp == std::string::npos || amp + 1 >= text.size()) {
    if (amp != std::string::npos) text.erase(amp, 1);
    Print(dc, text, x, y, color);
    return;
  }
  text.erase(amp, 1);
  Print(dc, text, x, y, color);
  // The underlined character is one UTF-8 sequence.
  std::size_t end = amp + 1;
  while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) ++end;
  const int left =
      RoundHalfEven(x + static_cast<float>(TextWidth(dc, std::string_view(text).substr(0, amp))));
  const int width = TextWidth(dc, std::string_view(text).substr(amp, end - amp));
  const int row = RoundHalfEven(y + static_cast<float>(TextHeight(dc, "X")) - 1);
  if (width > 0) Lines(dc, QB(kBlack), {{left, row}, {left + width, row}});
}

}  // namespace quillane::controls::paint

namespace quillane::controls {

namespace p = quillane::platform;

MenuSurface::MenuSurface() {
  const p::HDC screen = p::GetDC(0);
  dc_ = p::CreateCompatibleDC(screen);
  p::ReleaseDC(0, screen);
}

MenuSurface::~MenuSurface() {
  SelectFont(0);
  if (bmp_ != 0) {
    p::SelectObject(dc_, oldBmp_);
    p::DeleteObject(bmp_);
  }
  p::DeleteDC(dc_);
}

void MenuSurface::Resize(int width, int height, p::OLE_COLOR fill, double ratio) {
  width = std::max(width, 1);
  height = std::max(height, 1);
  const p::HDC screen = p::GetDC(0);
  const p::HBITMAP bmp = p::CreateCompatibleBitmap(screen, width, height);
  p::ReleaseDC(0, screen);
  if (bmp == 0) return;
  // Drawn at the screen's pixel density; at a ratio of 1 the bitmap is the plain one.
  if (ratio > 0 && ratio != 1.0) p::SetBitmapRatio(bmp, ratio);
  const p::HDC tmp = p::CreateCompatibleDC(dc_);
  const p::HGDIOBJ tmpOld = p::SelectObject(tmp, bmp);
  paint::FillBox(tmp, 0, 0, width - 1, height - 1, fill);
  if (bmp_ != 0)
    p::BitBlt(tmp, 0, 0, std::min(width, width_), std::min(height, height_), dc_, 0, 0, p::SRCCOPY);
  p::SelectObject(tmp, tmpOld);
  p::DeleteDC(tmp);
  const p::HGDIOBJ previous = p::SelectObject(dc_, bmp);
  if (bmp_ != 0) {
    p::DeleteObject(bmp_);
  } else {
    oldBmp_ = previous;
  }
  bmp_ = bmp;
  width_ = width;
  height_ = height;
}

void MenuSurface::SelectFont(p::HFONT font) {
  if (fontSelected_) {
    p::SelectObject(dc_, oldFont_);
    fontSelected_ = false;
  }
  if (font != 0) {
    oldFont_ = p::SelectObject(dc_, font);
    fontSelected_ = oldFont_ != 0;
  }
}

const QImage* MenuSurface::image() const { return bmp_ != 0 ? p::BitmapImage(bmp_) : nullptr; }

}  // namespace quillane::controls
