// xToolbar: floating in a window of its own (wToolBar) and the container it is placed on.
#include <QCheckBox>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QPushButton>
#include <QWindow>

#include "controls/toolbar/wToolBar.h"
#include "controls/toolbar/xToolbar.h"
#include "gfx/basGDI.h"
#include "platform/Colors.h"
#include "platform/Gdi.h"

namespace quillane::controls {

namespace p = quillane::platform;
namespace g = quillane::gfx;

// --- floating and re-parenting ------------------------------------------------------------------

void xToolbar::SetHWndContainer(QWidget* container) {
  container_ = container;
  if (container && parentWidget() != container) {
    const bool shown = isVisible();
    setParent(container);
    if (shown) show();
  }
}

std::int32_t xToolbar::CTLLeft() const {
  if (!container_) return x();
  return mapToGlobal(QPoint(0, 0)).x() - container_->mapToGlobal(QPoint(0, 0)).x();
}

std::int32_t xToolbar::CTLTop() const {
  if (!container_) return y();
  return mapToGlobal(QPoint(0, 0)).y() - container_->mapToGlobal(QPoint(0, 0)).y();
}

namespace {

// The picture as an image for a mirror control, the mask colour made transparent.
QIcon MirrorIcon(const p::Picture& pic, p::OLE_COLOR mask, bool useMask) {
  if (!pic) return {};
  QImage img;
  if (pic.Type() == p::PictureType::Icon) {
    img = p::GetIconImage(pic.Handle());
  } else if (pic.Type() == p::PictureType::Bitmap) {
    img = p::GetBitmapImage(pic.Handle()).convertToFormat(QImage::Format_ARGB32);
    const QRgb key = p::ToQRgb(static_cast<p::COLORREF>(g::TranslateColor(mask)));
    if (useMask)
      for (int yy = 0; yy < img.height(); ++yy)
        for (int xx = 0; xx < img.width(); ++xx)
          if ((img.pixel(xx, yy) | 0xFF000000u) == key) img.setPixel(xx, yy, 0);
  }
  return img.isNull() ? QIcon() : QIcon(QPixmap::fromImage(img));
}

}  // namespace

wToolBar* xToolbar::FloatingWindow() const {
  wToolBar* w = wToolBar::Instance();
  return w && w->CurrentUC.data() == this ? w : nullptr;
}

void xToolbar::BringToWindow() {
  mouseDown_ = false;
  HideWindow();
  auto* w = new wToolBar();
  w->setAttribute(Qt::WA_DeleteOnClose);
  w->CurrentUC = this;
  w->setWindowTitle(QString::fromStdString(title_));
  for (int i = 1; i <= ButtonCount(); ++i) {
    const clsBSButton& b = *At(i);
    QAbstractButton* control = nullptr;
    if (b.Style == tbrButton) {
      control = w->AddBtn(b.Key);
    } else if (b.Style == tbrCheck || b.Style == tbrButtonGroup) {
      QCheckBox* c = w->AddCh(b.Key);
      const QSignalBlocker block(c);
      c->setChecked(b.Checked);
      control = c;
    }
    if (!control) continue;
    const QIcon icon = MirrorIcon(b.APicture(0), b.MaskColor, b.UseMaskColor);
    if (!icon.isNull())
      control->setIcon(icon);
    else
      control->setText(QString::fromStdString(b.Caption.empty() ? b.Key : b.Caption));
    control->setToolTip(QString::fromStdString(b.ToolTipText));
    control->setEnabled(b.Enabled);
  }
  // Placed where the bar is on its container's window, with the bar's size (taller when the
  // mirror controls need more rows).
  const QPoint at = mapToGlobal(QPoint(0, 0));
  // A tool window of the bar's window: kept above it, and where the platform places windows
  // itself (Wayland), placed by the platform.
  if (!w->windowHandle()) w->winId();
  w->windowHandle()->setTransientParent(window()->windowHandle());
  w->setGeometry(at.x(), at.y(), std::max(1, width()), std::max(1, height()));
  w->LayoutControls();
  if (w->FlowHeight() > w->height()) w->resize(w->width(), w->FlowHeight());
  w->show();
  w->raise();
}

void xToolbar::HideWindow() {
  if (wToolBar* w = FloatingWindow()) delete w;
}

void xToolbar::SendClick(std::int16_t Index, const std::string& Key) {
  if (Events.ButtonClick) Events.ButtonClick(Index, Key);
}

void xToolbar::SendRestoreEvent(std::int32_t /*Mode*/, std::int32_t X, std::int32_t Y) {
  if (Events.DockingWindow) Events.DockingWindow(X, Y);
}

}  // namespace quillane::controls
