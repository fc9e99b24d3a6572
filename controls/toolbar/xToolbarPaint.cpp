// xToolbar: the surface, the layout (Refresh) and the painting of the frame, the grip and the
// buttons.
#include <algorithm>
#include <cmath>

#include "controls/toolbar/frmTooltip.h"
#include "controls/toolbar/xToolbar.h"
#include "gfx/basGDI.h"
#include "platform/Colors.h"
#include "platform/Gdi.h"

namespace quillane::controls {

namespace p = quillane::platform;
namespace g = quillane::gfx;

namespace {

constexpr std::uint32_t kCaptionFormat = p::DT_CENTER | p::DT_VCENTER | p::DT_SINGLELINE;  // 0x25
const p::OLE_COLOR kWhite = static_cast<p::OLE_COLOR>(*p::QBColor(15));
const p::OLE_COLOR kDarkGrey = static_cast<p::OLE_COLOR>(*p::QBColor(8));

int FloorHalf(int v) { return static_cast<int>(std::floor(v / 2.0)); }

// Selects a font into a context for the lifetime of the object.
class FontScope {
 public:
  FontScope(p::HDC dc, p::HFONT font) : dc_(dc), old_(font ? p::SelectObject(dc, font) : 0) {}
  ~FontScope() {
    if (old_) p::SelectObject(dc_, old_);
  }
  FontScope(const FontScope&) = delete;
  FontScope& operator=(const FontScope&) = delete;

 private:
  p::HDC dc_;
  p::HGDIOBJ old_;
};

}  // namespace

// --- surface ------------------------------------------------------------------------------------

void xToolbar::EnsureSurface() {
  // Never a zero-size surface: a 0 x 0 widget keeps a 1 x 1 bitmap.
  const int w = std::max(1, width()), h = std::max(1, height());
  // Drawn at the widget's device pixel ratio, so the bar is sharp on a dense screen.
  const double ratio = devicePixelRatioF();
  if (!dc_) dc_ = p::CreateCompatibleDC(0);
  if (bmp_) {
    p::BITMAP bm;
    if (p::GetObject(bmp_, &bm) && bm.bmWidth == w && bm.bmHeight == h &&
        p::GetBitmapRatio(bmp_) == ratio)
      return;
    p::SelectObject(dc_, oldBmp_);
    p::DeleteObject(bmp_);
    bmp_ = 0;
  }
  const p::HDC screen = p::GetDC(0);
  bmp_ = p::CreateCompatibleBitmap(screen, w, h);
  p::ReleaseDC(0, screen);
  if (ratio != 1.0) p::SetBitmapRatio(bmp_, ratio);
  oldBmp_ = p::SelectObject(dc_, bmp_);
}

void xToolbar::UpdateFonts() {
  surfaceFont_.SetLogFont(font_);
  rotatedFont_.SetLogFont(font_);
}

p::COLORREF xToolbar::Tr(p::OLE_COLOR c) const {
  return static_cast<p::COLORREF>(g::TranslateColor(c));
}

void xToolbar::Line(int x1, int y1, int x2, int y2, p::OLE_COLOR c) {
  const p::HPEN pen = p::CreatePen(p::PS_SOLID, 1, Tr(c));
  const p::HGDIOBJ old = p::SelectObject(dc_, pen);
  p::MoveToEx(dc_, x1, y1);
  p::LineTo(dc_, x2, y2);
  p::SelectObject(dc_, old);
  p::DeleteObject(pen);
}

// An outlined box whose corners (x1, y1) and (x2, y2) are both drawn.
void xToolbar::Box(int x1, int y1, int x2, int y2, p::OLE_COLOR c) {
  const p::HPEN pen = p::CreatePen(p::PS_SOLID, 1, Tr(c));
  const p::HGDIOBJ old = p::SelectObject(dc_, pen),
                   oldBrush = p::SelectObject(dc_, p::GetStockObject(p::NULL_BRUSH));
  p::Rectangle(dc_, std::min(x1, x2), std::min(y1, y2), std::max(x1, x2) + 1, std::max(y1, y2) + 1);
  p::SelectObject(dc_, old);
  p::SelectObject(dc_, oldBrush);
  p::DeleteObject(pen);
}

// Fills exactly w x h pixels from (x, y).
void xToolbar::Fill(int x, int y, int w, int h, p::OLE_COLOR c) {
  if (w <= 0 || h <= 0) return;
  const p::HBRUSH brush = p::CreateSolidBrush(Tr(c));
  const p::RECT rc{x, y, x + w, y + h};
  p::FillRect(dc_, &rc, brush);
  p::DeleteObject(brush);
}

// The 3-D rectangle: covers (x, y) to (x + w, y + h), top and left in a, bottom and right in b.
void xToolbar::Rect3D(int x, int y, int w, int h, p::OLE_COLOR a, p::OLE_COLOR b) {
  Line(x, y, x + w + 1, y, a);
  Line(x + w, y, x + w, y + h + 1, b);
  Line(x, y + h, x + w + 1, y + h, b);
  Line(x, y, x, y + h, a);
}

// The flat highlight: a polygon with cut corners over the button, filled, then outlined.
void xToolbar::FlatHighlight(int x, int y, int w, int h, bool pressed) {
  std::vector<p::POINT> pts;
  g::RoundRectPoints(pts, static_cast<float>(x), static_cast<float>(y),
                     static_cast<float>(x + w - 1), static_cast<float>(y + h - 1));
  const p::COLORREF fill = pressed ? p::RGB(210, 210, 210) : p::RGB(240, 240, 240);
  const p::COLORREF outline = pressed ? p::RGB(150, 150, 190) : p::RGB(200, 200, 200);
  const p::HBRUSH brush = p::CreateSolidBrush(fill);
  const p::HGDIOBJ oldBrush = p::SelectObject(dc_, brush);
  const p::HGDIOBJ oldPen = p::SelectObject(dc_, p::GetStockObject(p::NULL_PEN));
  p::Polygon(dc_, pts.data(), static_cast<int>(pts.size()));
  p::SelectObject(dc_, oldBrush);
  p::SelectObject(dc_, oldPen);
  p::DeleteObject(brush);
  const p::HPEN pen = p::CreatePen(p::PS_SOLID, 1, outline);
  const p::HGDIOBJ old = p::SelectObject(dc_, pen);
  p::MoveToEx(dc_, pts[0].x, pts[0].y);
  for (std::size_t i = 1; i < pts.size(); ++i) p::LineTo(dc_, pts[i].x, pts[i].y);
  p::SelectObject(dc_, old);
  p::DeleteObject(pen);
}

// --- layout -------------------------------------------------------------------------------------

std::int16_t xToolbar::EdgeInset(int side) const {
  int inset = 1 + (borders_[side] ? 1 : 0);
  if (borderStyle_ == tbbsFrame || borderStyle_ == tbbsInsetButton ||
      borderStyle_ == tbbsRaisedButton)
    ++inset;
  if (side == 1 && doubleTopBorder_) ++inset;
  if (side == 3 && doubleBottomBorder_) ++inset;
  return static_cast<std::int16_t>(inset);
}

bool xToolbar::CaptionShown(const clsBSButton& b) const {
  if (b.Caption.empty()) return false;
  return captionOptions_ == iftoShowLabels ||
         (captionOptions_ == iftoSelectedLabels && b.AlwaysShowCaption);
}

p::SIZE xToolbar::TextSize(const std::string& text, bool bold) {
  p::SIZE size;
  if (bold && !font_.Bold()) {
    p::StdFont f = font_;
    f.SetBold(true);
    g::clsLogFont boldFont;
    boldFont.SetLogFont(f);
    const FontScope scope(dc_, boldFont.handle());
    p::GetTextExtentPoint32(dc_, text, &size);
  } else {
    const FontScope scope(dc_, surfaceFont_.handle());
    p::GetTextExtentPoint32(dc_, text, &size);
  }
  return size;
}

void xToolbar::Refresh() { RefreshInternal(0); }

void xToolbar::RefreshInternal(int depth) {
  if (!redraw_) return;
  EnsureSurface();
  const int W = width(), H = height();
  p::SetBkColor(dc_, Tr(backColor_));
  Fill(-1, -1, W + 2, H + 2, backColor_);
  // The tooltip and its timer stop with every layout.
  HideTooltip();
  toolTipTimer_.stop();
  setToolTip(QString());
  PaintFrame();
  PaintGrip();

  const int L = EdgeInset(0), Tn = EdgeInset(1), R = EdgeInset(2), B = EdgeInset(3);
  const bool horizontal = Horizontal();
  float x = static_cast<float>(L), y = static_cast<float>(Tn);
  float T, length;
  if (horizontal) {
    x += static_cast<float>(gripWidth_);
    T = static_cast<float>(H - (Tn + B));
    length = static_cast<float>(W);
  } else {
    y += static_cast<float>(gripWidth_);
    T = static_cast<float>(W - (L + R));
    length = static_cast<float>(H);
  }
  float E = 0;
  for (int i = 1; i <= ButtonCount(); ++i) {
    clsBSButton& b = *At(i);
    if (!b.Visible) continue;
    float N;
    if (style_ == tbtsFixed) {
      N = fixedSize_;
    } else {
      if (b.Style == tbrPlaceholder && b.PlaceholderSize != 0)
        N = b.PlaceholderSize;
      else if (b.Style == tbrSeparator)
        N = 6;
      else
        N = T;
      if (CaptionShown(b)) {
        // Measured bold when checked captions turn bold, so checking never changes the size.
        const float tw = static_cast<float>(TextSize(b.Caption, boldOnChecked_).cx);
        if (!horizontal)
          N += tw + 3;
        else if (captionAlignment_ == ifcaCaptionOnTop || captionAlignment_ == ifcaCaptionOnBottom)
          N = std::max(N, tw + 8);
        else
          N += tw + 8;
      }
    }
    if (horizontal) {
      b.ClientLeft = x, b.ClientTop = y, b.ClientWidth = N, b.ClientHeight = T;
    } else {
      b.ClientLeft = x, b.ClientTop = y, b.ClientWidth = T, b.ClientHeight = N;
    }
    restingMark_ = Clickable(b.Style) && !b.Checked ? i : 0;
    PaintButton(i, false, false);
    if (buttonGap_ >= 4 && showSeparators_ && appearance_ == ifcaFlat) {
      const int h = buttonGap_ / 2 - 1;
      const int xi = g::RoundHalfEven(x), yi = g::RoundHalfEven(y), n = g::RoundHalfEven(N),
                t = g::RoundHalfEven(T);
      if (horizontal) {
        Line(xi + n + h, yi, xi + n + h, yi + t, shadowColor_);
        Line(xi + n + h + 1, yi, xi + n + h + 1, yi + t, highlightColor_);
      } else {
        Line(xi, yi + n + h, xi + t, yi + n + h, shadowColor_);
        Line(xi, yi + n + h + 1, xi + t, yi + n + h + 1, highlightColor_);
      }
    }
    if (horizontal) {
      x = x + N + buttonGap_;
      E = x + static_cast<float>(L);
    } else {
      y = y + N + buttonGap_ + static_cast<float>(Tn);
      E = y;
    }
  }
  restingMark_ = 0;
  if (autoSize_ && E != length && !autoSizeGuard_ && align_ == 0 && depth < 2) {
    autoSizeGuard_ = true;
    const int e = std::max(0, g::RoundHalfEven(E));
    if (horizontal)
      resize(e, height());
    else
      resize(width(), e);
    RefreshInternal(depth + 1);
    return;
  }
  LayOutOverflow();
  ApplyBackStyle();
  update();
}

void xToolbar::ApplyBackStyle() {
  if (backStyle_ != 0) return;
  // Every pixel still in the background colour lets the container show through.
  p::SetWindowRgn(this, p::CreateRgnFromBitmap(bmp_, Tr(backColor_)), true);
}

// --- frame and grip -----------------------------------------------------------------------------

void xToolbar::PaintFrame() {
  const int W = width(), H = height();
  switch (borderStyle_) {
    case tbbsInset:
    case tbbsRaised: {
      const p::OLE_COLOR tl = borderStyle_ == tbbsInset ? shadowColor_ : highlightColor_;
      const p::OLE_COLOR br = borderStyle_ == tbbsInset ? highlightColor_ : shadowColor_;
      if (borders_[1]) Line(0, 0, W - 1, 0, tl);
      if (borders_[0]) Line(0, 0, 0, H - 1, tl);
      if (borders_[2]) Line(W - 1, 0, W - 1, H - 1, br);
      if (borders_[3]) Line(0, H - 1, W, H - 1, br);
      break;
    }
    case tbbsFrame:
      Box(1, 1, W - 1, H - 1, highlightColor_);
      Box(0, 0, W - 2, H - 2, shadowColor_);
      break;
    case tbbsInsetButton:
      Rect3D(0, 0, W - 1, H - 1, shadowColor_, highlightColor_);
      Rect3D(1, 1, W - 3, H - 3, shadowDarkColor_, highlightDarkColor_);
      break;
    case tbbsRaisedButton:
      Rect3D(0, 0, W - 1, H - 1, highlightColor_, shadowDarkColor_);
      Rect3D(1, 1, W - 3, H - 3, highlightDarkColor_, shadowColor_);
      break;
    default:
      return;
  }
  // A double top or bottom border adds one line just inside the frame: a ridge on a raised
  // frame, a groove on a sunken one.
  const bool raised = borderStyle_ == tbbsRaised || borderStyle_ == tbbsRaisedButton;
  const int depth = borderStyle_ == tbbsInset || borderStyle_ == tbbsRaised ? 1 : 2;
  const bool always = borderStyle_ == tbbsInsetButton || borderStyle_ == tbbsRaisedButton;
  if (doubleTopBorder_ && (borders_[1] || always))
    Line(depth, depth, W - depth, depth, raised ? shadowColor_ : highlightColor_);
  if (doubleBottomBorder_ && (borders_[3] || always))
    Line(depth, H - 1 - depth, W - depth, H - 1 - depth, raised ? highlightColor_ : shadowColor_);
}

void xToolbar::PaintGrip() {
  if (dockingStyle_ == tbdsLocked) return;
  const int W = width(), H = height();
  const int L = EdgeInset(0), Tn = EdgeInset(1), R = EdgeInset(2), B = EdgeInset(3);
  const bool horizontal = Horizontal();
  // Across the bar the grip runs from `from` to `to` (exclusive); along it, it starts at `at`.
  const int at = horizontal ? L : Tn;
  const int from = horizontal ? Tn : L;
  const int to = horizontal ? H - B : W - R;
  auto point = [&](int along, int across, p::OLE_COLOR c) {
    if (horizontal)
      p::SetPixel(dc_, along, across, Tr(c));
    else
      p::SetPixel(dc_, across, along, Tr(c));
  };
  if (dockingStyle_ == tbdsOfficeXP) {
    for (int a = from + 4; a + 1 < to - 4 + 1; a += 4) {
      point(at + 5, a, kDarkGrey);
      point(at + 6, a + 1, kWhite);
    }
    return;
  }
  // Office 97: two raised bars, each three pixels wide.
  const int a0 = from + 2, a1 = to - 3;
  if (a1 <= a0) return;
  for (int bar : {at + 3, at + 6}) {
    if (horizontal)
      Rect3D(bar, a0, 2, a1 - a0, kWhite, kDarkGrey);
    else
      Rect3D(a0, bar, a1 - a0, 2, kWhite, kDarkGrey);
  }
}

// --- buttons ------------------------------------------------------------------------------------

void xToolbar::RefreshButton(const ButtonIndex& Index, bool ButtonLowered, bool ForceNoBorder) {
  if (!redraw_) return;
  const int i = Resolve(Index, "RefreshButton");
  if (i < 0) return;
  PaintButton(i, ButtonLowered, ForceNoBorder);
}

void xToolbar::PaintButton(int index, bool lowered, bool forceNoBorder) {
  if (!redraw_ || index < 1 || index > ButtonCount()) return;
  EnsureSurface();
  const clsBSButton& b = *At(index);
  if (!b.Visible || InOverflow(index)) return;
  const int x = g::RoundHalfEven(b.ClientLeft), y = g::RoundHalfEven(b.ClientTop);
  const int w = g::RoundHalfEven(b.ClientWidth), h = g::RoundHalfEven(b.ClientHeight);
  const bool hot = pointerButton_ != 0 && pointerButton_ == index;
  const bool design = !host_.UserMode();
  const bool disabled = !b.Enabled || !enabled_;
  p::SetBkColor(dc_, Tr(backColor_));

  // Erase.
  if (b.TemporaryPicture)
    effects_->PaintStandardPicture(dc_, b.TemporaryPicture, x, y, w, h);
  else
    Fill(x, y, w, h, backColor_);
  // Checked background.
  if (b.Checked && !hot && dither_.hdc())
    effects_->PaintCheckedPattern(dc_, dither_.hdc(), x, y, w, h, highlightColor_);
  const int o = lowered && mouseDown_ ? 2 : 1;

  // Border.
  const bool sunken = lowered || b.Checked;
  if (Clickable(b.Style)) {
    if (appearance_ == ifcaStandard) {
      if (sunken) {
        Rect3D(x, y, w - 1, h - 1, shadowDarkColor_, highlightColor_);
        Rect3D(x + 1, y + 1, w - 3, h - 3, shadowColor_, highlightDarkColor_);
      } else {
        Rect3D(x, y, w - 1, h - 1, highlightColor_, shadowDarkColor_);
        Rect3D(x + 1, y + 1, w - 3, h - 3, highlightDarkColor_, shadowColor_);
      }
    } else if (!sunken) {
      if ((!forceNoBorder && restingMark_ != index) || design) FlatHighlight(x, y, w, h, false);
    } else if ((!forceNoBorder && (restingMark_ != index || hot)) || solidChecked_ || b.Checked ||
               design) {
      if (solidChecked_) {
        Rect3D(x, y, w - 1, h - 1, shadowDarkColor_, highlightColor_);
        Rect3D(x + 1, y + 1, w - 3, h - 3, shadowColor_, highlightDarkColor_);
      } else {
        FlatHighlight(x, y, w, h, true);
      }
    }
  } else if (b.Style == tbrSeparator && appearance_ == ifcaFlat) {
    if (Horizontal()) {
      Line(x + 2, y, x + 2, y + h, shadowColor_);
      Line(x + 3, y, x + 3, y + h, highlightColor_);
    } else {
      Line(x, y + 2, x + w, y + 2, shadowColor_);
      Line(x, y + 3, x + w, y + 3, highlightColor_);
    }
  }

  // Picture.
  p::Picture pic = b.APicture(clsBSButton::kNormal);
  if (hot && b.APicture(clsBSButton::kOver)) pic = b.APicture(clsBSButton::kOver);
  if (sunken && b.APicture(clsBSButton::kDown)) pic = b.APicture(clsBSButton::kDown);
  const int pw = pic.WidthPixels(), ph = pic.HeightPixels();
  const bool caption = CaptionShown(b);
  const int L = EdgeInset(0), Tn = EdgeInset(1), R = EdgeInset(2), B = EdgeInset(3);
  int px = x + FloorHalf(w - pw) + o, py = y + FloorHalf(h - ph) + o;
  if (caption) {
    const int a = captionAlignment_;
    if (Horizontal()) {
      if (a == ifcaCaptionOnTop)
        py = y + h - ph - (B + 2) + o;
      else if (a == ifcaCaptionOnBottom)
        py = y + Tn + 2 + o;
      else if (a == ifcaCaptionOnLeft)
        px = x + w - pw - (R + 2) + o;
      else
        px = x + L + 4 + o;
    } else {
      // Standing on end the caption runs along the button: after the picture for "right" and
      // "bottom", before it for "left" and "top".
      if (a == ifcaCaptionOnTop || a == ifcaCaptionOnLeft)
        py = y + h - ph - (B + 2) + o;
      else
        py = y + Tn + 2 + o;
    }
  }
  if (pic && pic.Type() != p::PictureType::None) {
    if (disabled)
      effects_->PaintDisabledPicture(dc_, pic, px, py, pw, ph, 0, 0, b.MaskColor);
    else if (pic.Type() == p::PictureType::Bitmap && b.UseMaskColor)
      effects_->PaintTransparentPicture(dc_, pic, px, py, pw, ph, 0, 0, b.MaskColor);
    else
      effects_->PaintStandardPicture(dc_, pic, px, py, pw, ph);
  }

  if (caption) DrawCaption(b, x, y, w, h, o, pic ? pw : 0, disabled, hot);
  update(QRect(x - 1, y - 1, w + 3, h + 3));
}

void xToolbar::DrawCaption(const clsBSButton& b, int x, int y, int w, int h, int o, int pw,
                           bool disabled, bool hot) {
  const bool bold = b.Checked && boldOnChecked_ && !font_.Bold();
  g::clsLogFont boldFont;
  const bool horizontal = Horizontal();
  if (bold) {
    p::StdFont f = font_;
    f.SetBold(true);
    boldFont.SetRotation(horizontal ? 0.0f : 90.0f);
    boldFont.SetLogFont(f);
  }
  const p::HFONT font =
      bold ? boldFont.handle() : (horizontal ? surfaceFont_.handle() : rotatedFont_.handle());
  const p::SIZE ts = TextSize(b.Caption, bold || (b.Checked && boldOnChecked_));
  const int TW = ts.cx, TH = ts.cy;
  const FontScope scope(dc_, font);
  const int oldMode = p::SetBkMode(dc_, p::TRANSPARENT);
  const int L = EdgeInset(0), Tn = EdgeInset(1), B = EdgeInset(3);
  auto pass = [&](int d, p::OLE_COLOR colour) {
    p::SetTextColor(dc_, Tr(colour));
    if (horizontal) {
      float l = 0, t = 0, cw = 0, ch = 0;
      switch (captionAlignment_) {
        case ifcaCaptionOnTop:
          l = x + o + d, t = y + Tn + 2 + o + d, cw = w, ch = TH;
          break;
        case ifcaCaptionOnBottom:
          l = x + o + d, t = y + h - Tn - TH + o + d, cw = w, ch = TH;
          break;
        case ifcaCaptionOnLeft:
          l = x + L + 2 + o + d, t = y + o + d, cw = TW, ch = h + o;
          break;
        default:
          l = x + pw + 5 + L + 2 + o + d, t = y + o + d, cw = TW, ch = h + o;
          break;
      }
      g::DrawTextRect(dc_, b.Caption, l, t, cw, ch, kCaptionFormat);
      return;
    }
    // Vertical bar: the text reads upwards, centred across the button, beside the picture.
    const int ph = pw > 0 ? b.APicture(0).HeightPixels() : 0;
    const int cx = x + FloorHalf(w - TH) + o + d;
    int top;
    if (captionAlignment_ == ifcaCaptionOnTop || captionAlignment_ == ifcaCaptionOnLeft)
      top = y + h - (B + 2) - ph - (ph ? 2 : 0) - TW;
    else
      top = y + Tn + 2 + ph + (ph ? 2 : 0);
    p::SetTextAlign(dc_, p::TA_LEFT | p::TA_TOP);
    p::TextOut(dc_, cx, top + TW + o + d, b.Caption);
  };
  if (disabled) {
    if (disabledText3D_) {
      pass(1, highlightColor_);
      pass(0, shadowColor_);
    } else {
      pass(0, textDisabledColor_);
    }
  } else {
    pass(0, hotTracking_ && hot ? hotTrackingColor_ : textColor_);
  }
  p::SetBkMode(dc_, oldMode);
}

}  // namespace quillane::controls
