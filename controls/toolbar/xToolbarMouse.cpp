// xToolbar: mouse interaction, groups, the click sound, the leave check, tooltips and the grip
// drag.
#include <QApplication>
#include <QCursor>
#include <QEnterEvent>
#include <QMouseEvent>

#include "controls/toolbar/frmTooltip.h"
#include "controls/toolbar/xToolbar.h"
#include "gfx/basGDI.h"
#include "platform/Resources.h"
#include "platform/Sound.h"

namespace quillane::controls {

namespace p = quillane::platform;
namespace g = quillane::gfx;

namespace {

std::int16_t ButtonCode(Qt::MouseButtons b) {
  std::int16_t code = 0;
  if (b & Qt::LeftButton) code |= 1;
  if (b & Qt::RightButton) code |= 2;
  if (b & Qt::MiddleButton) code |= 4;
  return code;
}

std::int16_t ShiftCode(Qt::KeyboardModifiers m) {
  std::int16_t code = 0;
  if (m & Qt::ShiftModifier) code |= 1;
  if (m & Qt::ControlModifier) code |= 2;
  if (m & Qt::AltModifier) code |= 4;
  return code;
}

}  // namespace

// --- Qt events ----------------------------------------------------------------------------------

void xToolbar::mousePressEvent(QMouseEvent* e) {
  // The chevron opens (or closes) its popup at once, as a menu does.
  if (e->button() == Qt::LeftButton && chevron_.contains(e->position().toPoint())) {
    HideOwnTooltip();
    ShowOverflow(false);
    return;
  }
  surfacePressed_ = e->button() == Qt::LeftButton;
  DoMouseDown(ButtonCode(e->button()), ShiftCode(e->modifiers()),
              static_cast<float>(e->position().x()), static_cast<float>(e->position().y()));
}

void xToolbar::mouseMoveEvent(QMouseEvent* e) {
  DoMouseMove(ButtonCode(e->buttons()), ShiftCode(e->modifiers()),
              static_cast<float>(e->position().x()), static_cast<float>(e->position().y()));
}

void xToolbar::mouseReleaseEvent(QMouseEvent* e) {
  const QPoint pos = e->position().toPoint();
  DoMouseUp(ButtonCode(e->button()), ShiftCode(e->modifiers()),
            static_cast<float>(e->position().x()), static_cast<float>(e->position().y()));
  // The surface's own click: a left press and release on the control, unless a button click
  // has just been handled. The suppression lasts for this release only, so a button clicked with
  // the right mouse button does not swallow a later click.
  if (e->button() == Qt::LeftButton && surfacePressed_ && rect().contains(pos) && !suppressClick_ &&
      Events.Click)
    Events.Click();
  suppressClick_ = false;
  surfacePressed_ = false;
}

void xToolbar::mouseDoubleClickEvent(QMouseEvent* e) {
  // The second press of a double click raises DblClick instead of MouseDown.
  if (e->button() == Qt::LeftButton && Events.DblClick) Events.DblClick();
}

void xToolbar::enterEvent(QEnterEvent*) {}

void xToolbar::leaveEvent(QEvent*) {
  // The leave notification does at once what the check timer would do later.
  OnCheckTimer();
}

bool xToolbar::PointerOverWindow() const {
  return isVisible() && rect().contains(mapFromGlobal(QCursor::pos()));
}

void xToolbar::HideOwnTooltip() {
  toolTipTimer_.stop();
  if (CurrentTooltip() && TooltipOwner() == this) HideTooltip();
}

// --- handlers -----------------------------------------------------------------------------------

bool xToolbar::InGripArea(float x, float y) const {
  if (dockingStyle_ == tbdsLocked) return false;
  if (Horizontal()) return x >= 0 && x < 10 && y >= 0 && y < static_cast<float>(height());
  return y >= 0 && y < 10 && x >= 0 && x < static_cast<float>(width());
}

void xToolbar::RepaintAtRest(int index) {
  if (index < 1 || index > ButtonCount()) return;
  PaintButton(index, false, true);
}

void xToolbar::StopToolTip() {
  toolTipTimer_.stop();
  HideTooltip();
  checkTimer_.start();
  setToolTip(QString());
}

void xToolbar::ArmToolTip(const std::string& text) {
  if (!text.empty() && showToolTips_ && host_.UserMode()) {
    pendingToolTip_ = text;
    toolTipTimer_.start();
  } else {
    toolTipTimer_.stop();
    setToolTip(QString());
  }
}

void xToolbar::DoMouseDown(std::int16_t button, std::int16_t shift, float x, float y) {
  mouseDown_ = true;
  if (InGripArea(x, y)) {
    grabX_ = x;
    grabY_ = y;
    dragTimer_.start();
  }
  pressedButton_ = hotButton_;
  hotButton_ = 0;
  StopToolTip();
  DoMouseMove(button, shift, x, y);
  if (Events.MouseDown) Events.MouseDown(button, shift, x, y);
}

void xToolbar::DoMouseMove(std::int16_t button, std::int16_t shift, float x, float y) {
  mouseX_ = x;
  mouseY_ = y;
  if (dragTimer_.isActive()) return;
  const std::int16_t idx = IsWithinButton(x, y);
  pointerButton_ = PointerOverWindow() ? idx : std::int16_t{0};
  if (idx == 0) {
    if (hotButton_ != 0) {
      RepaintAtRest(hotButton_);
      hotButton_ = 0;
      checkTimer_.stop();
    }
    const bool overChevron = pointerButton_ == 0 && PointerOverWindow() &&
                             chevron_.contains(QPoint(static_cast<int>(x), static_cast<int>(y)));
    if (!overChevron) {
      toolTipTimer_.stop();
      HideTooltip();
      setToolTip(QString());
    }
    SetChevronHot(overChevron);
    if (Events.MouseMove) Events.MouseMove(button, shift, x, y);
    return;
  }
  SetChevronHot(false);
  if (idx == hotButton_) return;
  const clsBSButton& b = *At(idx);
  const bool clickable = Clickable(b.Style);
  if (!clickable) {
    toolTipTimer_.stop();
    HideTooltip();
    setToolTip(QString());
  } else {
    ArmToolTip(b.ToolTipText);
  }
  RepaintAtRest(hotButton_);
  const std::string key = b.Key;
  if (b.Enabled && clickable) {
    PaintButton(idx, mouseDown_, false);
    checkTimer_.start();
    hotButton_ = idx;
    if (Events.ButtonMouseOver) Events.ButtonMouseOver(idx, key);
  } else if (b.Enabled) {
    hotButton_ = idx;
  } else {
    hotButton_ = idx;
    if (Events.ButtonMouseOver) Events.ButtonMouseOver(idx, key);
  }
  if (hotButton_ > ButtonCount()) hotButton_ = 0;  // the handler deleted buttons
}

void xToolbar::OnCheckTimer() {
  if (dragTimer_.isActive()) return;
  if (PointerOverWindow()) {
    if (hotButton_ == 0 && !chevronHot_) checkTimer_.stop();
    return;
  }
  // The pointer has left the bar: its tooltip goes with it.
  HideOwnTooltip();
  SetChevronHot(false);
  mouseX_ = mouseY_ = 0;
  pointerButton_ = 0;
  RepaintAtRest(hotButton_);
  hotButton_ = 0;
  checkTimer_.stop();
  toolTipTimer_.stop();
}

void xToolbar::PlayClickSound() {
  if (!playSounds_) return;
  const auto wave = p::LoadResourceData(p::RT_WAVE, std::string("BUTTON_CLICK"));
  if (!wave || wave->size() < 2) return;
  clickSound_ = *wave;
  p::PlayWaveAsync(clickSound_);
}

void xToolbar::RaiseButtonClick(int index) {
  PlayClickSound();
  suppressClick_ = true;
  if (Events.ButtonClick) Events.ButtonClick(static_cast<std::int16_t>(index), At(index)->Key);
}

void xToolbar::DoMouseUp(std::int16_t button, std::int16_t shift, float x, float y) {
  if (dragTimer_.isActive()) {
    dragTimer_.stop();
    Refresh();
    mouseDown_ = false;
    hotButton_ = pressedButton_;
    StopToolTip();
    return;
  }
  if (!mouseDown_) return;
  mouseDown_ = false;
  hotButton_ = pressedButton_ <= ButtonCount() ? pressedButton_ : std::int16_t{0};
  StopToolTip();
  if (Events.MouseUp) Events.MouseUp(button, shift, x, y);
  const int idx = IsWithinButton(x, y);
  if (idx == 0) {
    if (button == 2 && Events.RightClick) Events.RightClick();
    return;
  }
  PaintButton(idx, false, false);
  clsBSButton& b = *At(idx);
  if (b.Enabled && b.Style == tbrButton && button != 1) {
    bool cancelBeep = false;
    if (Events.ButtonRightClick)
      Events.ButtonRightClick(static_cast<std::int16_t>(idx), b.Key, cancelBeep);
    if (!cancelBeep) p::Beep();
    return;
  }
  if (b.Enabled && Clickable(b.Style))
    ActivateButton(idx);
  else
    RepaintAtRest(idx);
  StopToolTip();
}

void xToolbar::ActivateButton(int idx) {
  if (idx == ChevronIndex()) return ShowOverflow(true);
  if (idx < 1 || idx > ButtonCount() || !At(idx)->Enabled || !Clickable(At(idx)->Style)) return;
  const std::int32_t style = At(idx)->Style;
  const std::string key = At(idx)->Key;
  const auto stillThere = [&] { return idx <= ButtonCount(); };
  bool cancel = false;
  if (Events.BeforeButtonClick)
    Events.BeforeButtonClick(static_cast<std::int16_t>(idx), key, cancel);
  if (!stillThere() || (cancel && style == tbrButton)) return;
  if (style == tbrCheck) {
    At(idx)->Checked = !At(idx)->Checked;
  } else if (style == tbrButtonGroup) {
    for (int j = idx; j >= 1 && At(j)->Style == tbrButtonGroup; --j) {
      At(j)->Checked = false;
      RepaintAtRest(j);
    }
    for (int j = idx; j <= ButtonCount() && At(j)->Style == tbrButtonGroup; ++j) {
      At(j)->Checked = false;
      RepaintAtRest(j);
    }
    At(idx)->Checked = true;
  }
  if (style != tbrButton) {
    PaintButton(idx, false, false);
    QAccessible::State changed;
    changed.checked = true;
    AnnounceButton(idx, QAccessible::StateChanged, changed);
  }
  if (cancel) return;
  RaiseButtonClick(idx);
}

// --- tooltips -----------------------------------------------------------------------------------

void xToolbar::OnToolTipTimer() {
  if (dragTimer_.isActive()) return;
  StopToolTip();
  // Shown only while the pointer is still over the button it was armed for.
  if (!PointerOverWindow()) return;
  const QPoint at = mapFromGlobal(QCursor::pos());
  if (hotButton_ != 0 && IsWithinButton(float(at.x()), float(at.y())) != hotButton_) return;
  if (!ShowTooltip(pendingToolTip_, QApplication::activeWindow(), &toolTipFont_, this))
    setToolTip(QString::fromStdString(pendingToolTip_));
}

// --- grip drag ----------------------------------------------------------------------------------

void xToolbar::OnDragTimer() {
  if (!mouseDown_ || !container_) return;
  const QPoint client = container_->mapToGlobal(QPoint(0, 0));
  const QPoint cursor = QCursor::pos();
  const int cx = CTLLeft(), cy = CTLTop();
  const bool moved = [&] {
    if (Horizontal()) {
      const int nx = cursor.x() - client.x() - g::RoundHalfEven(grabX_);
      if (nx == cx || nx < 0) return false;
      move(x() + (nx - cx), y());
    } else {
      const int ny = cursor.y() - client.y() - g::RoundHalfEven(grabY_);
      if (ny == cy || ny < 0) return false;
      move(x(), y() + (ny - cy));
    }
    return true;
  }();
  if (moved) Refresh();
  std::int32_t X = cursor.x() - client.x(), Y = cursor.y() - client.y();
  if (Events.DockingToolbar) Events.DockingToolbar(X, Y);
}

}  // namespace quillane::controls
