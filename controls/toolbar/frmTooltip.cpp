#include "controls/toolbar/frmTooltip.h"

#include <algorithm>

#include <QApplication>
#include <QCursor>
#include <QPainter>
#include <QScreen>
#include <QWindow>

#include "gfx/basGDI.h"
#include "gfx/clsLogFont.h"
#include "platform/Colors.h"
#include "platform/Gdi.h"

namespace quillane::controls {

namespace p = quillane::platform;
namespace g = quillane::gfx;

namespace {

frmTooltip* g_tip = nullptr;
const void* g_tipOwner = nullptr;
bool g_inTipEvent = false;

constexpr p::OLE_COLOR kInfoBack = static_cast<p::OLE_COLOR>(0x80000018u);
constexpr p::OLE_COLOR kInfoText = static_cast<p::OLE_COLOR>(0x80000017u);
constexpr p::OLE_COLOR k3DLight = static_cast<p::OLE_COLOR>(0x80000016u);
constexpr p::OLE_COLOR kDarkShadow = static_cast<p::OLE_COLOR>(0x80000015u);
constexpr int kWrapWidth = 320;  // long texts wrap at this width

p::COLORREF Tr(p::OLE_COLOR c) { return static_cast<p::COLORREF>(g::TranslateColor(c)); }

// A memory context with a colour bitmap for the duration of a drawing.
struct Canvas {
  Canvas(int w, int h, double ratio) {
    const p::HDC screen = p::GetDC(0);
    dc = p::CreateCompatibleDC(screen);
    bmp = p::CreateCompatibleBitmap(screen, std::max(1, w), std::max(1, h));
    p::ReleaseDC(0, screen);
    if (ratio != 1.0) p::SetBitmapRatio(bmp, ratio);
    old = p::SelectObject(dc, bmp);
  }
  ~Canvas() {
    p::SelectObject(dc, old);
    p::DeleteObject(bmp);
    p::DeleteDC(dc);
  }
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;
  p::HDC dc = 0;
  p::HBITMAP bmp = 0;
  p::HGDIOBJ old = 0;
};

}  // namespace

frmTooltip::frmTooltip()
    : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus) {
  setAttribute(Qt::WA_ShowWithoutActivating);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
  const float tx = p::TwipsPerPixelX(), ty = p::TwipsPerPixelY();
  label_ = QRect(g::RoundHalfEven(45 / tx), g::RoundHalfEven(30 / ty), 0, 0);
  timer_.setInterval(100);
  QObject::connect(&timer_, &QTimer::timeout, this, [this] { OnTimer(); });
  timer_.start();
}

frmTooltip::~frmTooltip() {
  timer_.stop();
  if (g_tip == this) {
    g_tip = nullptr;
    g_tipOwner = nullptr;
  }
}

void frmTooltip::SetLabel(const std::string& caption, const p::StdFont* font) {
  if (font) font_ = *font;
  caption_ = caption;
  // The label is as wide as the text, wrapped at a fixed width when it is long.
  g::clsLogFont lf;
  lf.SetLogFont(font_);
  Canvas c(1, 1, 1.0);
  const p::HGDIOBJ old = p::SelectObject(c.dc, lf.handle());
  p::RECT rc{0, 0, kWrapWidth, 0};
  p::DrawText(c.dc, caption_, &rc, p::DT_CALCRECT | p::DT_WORDBREAK | p::DT_NOPREFIX);
  p::SelectObject(c.dc, old);
  label_.setSize(QSize(rc.right - rc.left, rc.bottom - rc.top));
  update();
}

void frmTooltip::SetOwnerWindow(QWidget* owner) {
  owner_ = owner;
  if (!windowHandle()) create();
  QWindow* parent = owner ? owner->window()->windowHandle() : nullptr;
  windowHandle()->setTransientParent(parent);
}

QImage frmTooltip::Render() const {
  const int w = width(), h = height();
  Canvas c(w, h, devicePixelRatioF());
  const p::HBRUSH back = p::CreateSolidBrush(Tr(kInfoBack));
  const p::RECT all{0, 0, w, h};
  p::FillRect(c.dc, &all, back);
  p::DeleteObject(back);
  g::clsLogFont lf;
  lf.SetLogFont(font_);
  const p::HGDIOBJ old = p::SelectObject(c.dc, lf.handle());
  p::SetBkMode(c.dc, p::TRANSPARENT);
  p::SetTextColor(c.dc, Tr(kInfoText));
  p::RECT rc{label_.left(), label_.top(), label_.left() + label_.width(),
             label_.top() + label_.height()};
  p::DrawText(c.dc, caption_, &rc, p::DT_WORDBREAK | p::DT_NOPREFIX);
  p::SelectObject(c.dc, old);
  // The frame: top and left in the 3-D light colour, right and bottom in the dark shadow.
  g::DrawFrame(c.dc, 0, 0, w, h, k3DLight, kDarkShadow, -1);
  return p::GetBitmapImage(c.bmp);
}

void frmTooltip::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawImage(0, 0, Render());
}

// Inside its own handlers the window cannot be deleted at once; it goes when control returns to
// the event loop.
void frmTooltip::enterEvent(QEnterEvent*) {
  g_inTipEvent = true;
  HideTooltip();
  g_inTipEvent = false;
}

void frmTooltip::mouseMoveEvent(QMouseEvent*) {
  g_inTipEvent = true;
  HideTooltip();
  g_inTipEvent = false;
}

void frmTooltip::OnTimer() {
  if (QApplication::activeWindow() == owner_.data()) return;
  g_inTipEvent = true;
  HideTooltip();
  g_inTipEvent = false;
}

bool ShowTooltip(const std::string& text, QWidget* ownerWindow, const p::StdFont* font,
                 const void* toolbar) {
  const QPoint cursor = QCursor::pos();
  HideTooltip();
  auto* tip = new frmTooltip();
  g_tip = tip;
  g_tipOwner = toolbar;
  tip->SetLabel(text, font);
  tip->SetOwnerWindow(ownerWindow);
  const QRect label = tip->LabelRect();
  const int w = label.width() + 5, h = label.height() + 8;
  int left = cursor.x() - 2, top = cursor.y() + 18;
  const QScreen* screen = QGuiApplication::screenAt(cursor);
  if (!screen) screen = QGuiApplication::primaryScreen();
  if (screen) {
    const QRect area = screen->geometry();
    if (left + w > area.right() + 1) left = area.right() + 1 - w;
    if (top + h > area.bottom() + 1) top = area.bottom() + 1 - h;
  }
  tip->setGeometry(left, top, w, h);
  tip->show();
  tip->raise();
  return tip->isVisible();
}

void HideTooltip() {
  frmTooltip* tip = g_tip;
  if (!tip) return;
  g_tip = nullptr;
  g_tipOwner = nullptr;
  tip->hide();
  if (g_inTipEvent)
    tip->deleteLater();
  else
    delete tip;
}

frmTooltip* CurrentTooltip() { return g_tip; }
const void* TooltipOwner() { return g_tipOwner; }

}  // namespace quillane::controls
