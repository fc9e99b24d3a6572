// xToolbar: the keyboard. The bar is one stop of the Tab order; the arrows move between its
// buttons and Space or Enter presses the focused one, as the platform's toolbars do.
#include <QKeyEvent>
#include <QPainter>

#include "controls/toolbar/xToolbar.h"

namespace quillane::controls {

bool xToolbar::Focusable(int index) const {
  if (index == ChevronIndex()) return Overflowing();
  if (index < 1 || index > ButtonCount() || InOverflow(index)) return false;
  const clsBSButton& b = *At(index);
  return b.Enabled && b.Visible && Clickable(b.Style);
}

void xToolbar::SetFocusButton(std::int16_t index) {
  if (index != 0 && !Focusable(index)) return;
  focusButton_ = index;
  update();
  if (hasFocus() && index != 0) AnnounceButton(index, QAccessible::Focus);
}

void xToolbar::MoveFocus(int from, int step) {
  for (int i = from + step; i >= 1 && i <= ChevronIndex(); i += step)
    if (Focusable(i)) {
      SetFocusButton(static_cast<std::int16_t>(i));
      return;
    }
}

void xToolbar::keyPressEvent(QKeyEvent* e) {
  const bool horizontal = Horizontal();
  switch (e->key()) {
    case Qt::Key_Left:
    case Qt::Key_Up:
      if ((e->key() == Qt::Key_Left) != horizontal) return QWidget::keyPressEvent(e);
      MoveFocus(focusButton_, -1);
      break;
    case Qt::Key_Right:
    case Qt::Key_Down:
      if (e->key() == Qt::Key_Down && horizontal && focusButton_ == ChevronIndex()) {
        ShowOverflow(true);
        break;
      }
      if ((e->key() == Qt::Key_Right) != horizontal) return QWidget::keyPressEvent(e);
      MoveFocus(focusButton_, 1);
      break;
    case Qt::Key_Home:
      MoveFocus(0, 1);
      break;
    case Qt::Key_End:
      MoveFocus(ChevronIndex() + 1, -1);
      break;
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (!Focusable(focusButton_)) MoveFocus(0, 1);
      ActivateButton(focusButton_);
      break;
    default:
      return QWidget::keyPressEvent(e);
  }
  e->accept();
}

void xToolbar::focusInEvent(QFocusEvent* e) {
  QWidget::focusInEvent(e);
  if (!Focusable(focusButton_)) {
    focusButton_ = 0;
    MoveFocus(0, 1);
  } else {
    AnnounceButton(focusButton_, QAccessible::Focus);
  }
  update();
}

void xToolbar::focusOutEvent(QFocusEvent* e) {
  QWidget::focusOutEvent(e);
  update();
}

void xToolbar::paintEvent(QPaintEvent*) {
  QPainter painter(this);  // clipped to the area to repaint; it draws the image at its ratio
  if (const QImage* img = SurfaceBitmap()) painter.drawImage(QPointF(0, 0), *img);
  // The focus frame is drawn over the surface, never into it: the surface stays as the mouse
  // leaves it.
  if (hasFocus() && Focusable(focusButton_)) {
    const QRect r = PartRect(focusButton_).adjusted(2, 2, -3, -3);
    painter.setPen(QPen(Qt::black, 1, Qt::DotLine));
    painter.drawRect(r);
  }
}

}  // namespace quillane::controls
