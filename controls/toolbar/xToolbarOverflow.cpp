// xToolbar: the overflow. When the bar is shorter than its buttons, the buttons that do not fit
// whole (with room for the chevron) are neither drawn nor hit; a chevron at the bar's end opens a
// menu popup of the same kind as the menu bar's, listing them with their enabled and checked
// states. Choosing one presses that button as a click would.
#include <QCoreApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QTimer>

#include "controls/menu/wMenu.h"
#include "controls/toolbar/xToolbar.h"
#include "gfx/basGDI.h"
#include "platform/Gdi.h"

namespace quillane::controls {

namespace p = quillane::platform;
namespace g = quillane::gfx;

namespace {

// The chevron's length along the bar.
constexpr int kChevronLength = 16;

}  // namespace

// The popup's opener: keeps the popup's items (one root, the hidden buttons below it), takes its
// choice and its closing, and lets Esc close it back to the bar.
class ToolbarOverflowMenu : public QObject, public MenuParent {
 public:
  explicit ToolbarOverflowMenu(xToolbar* bar) : bar_(bar) {}

  std::int32_t style = 0;
  std::int32_t highLight = 1;
  std::vector<MenuItem> items;
  QPointer<wMenu> popup;
  bool fromKeys = false;

  std::string Name() const override { return "xToolbar"; }
  void SendClickEvent(const std::string& key) override {
    // Pressed once the popup has gone, as a click on the bar would.
    const int index = std::atoi(key.c_str());
    QTimer::singleShot(0, bar_, [bar = bar_, index] { bar->ActivateButton(index); });
  }
  void SendDescriptionEvent(const std::string&) override {}
  bool MenuOpen() const override { return popup != nullptr; }
  void SetMenuOpen(bool) override {}
  void ForceUnload() override {}
  void PopupClosed(wMenu* closed) override {
    if (popup == closed) popup = nullptr;
    items[0].Expanded = false;
    bar_->PaintChevron();
    bar_->update();
    QAccessible::State changed;
    changed.expanded = true;
    bar_->AnnounceButton(bar_->ChevronIndex(), QAccessible::StateChanged, changed);
    // Closed from the keyboard, the focus goes back to the chevron.
    if (fromKeys)
      QTimer::singleShot(0, bar_, [bar = bar_] {
        bar->activateWindow();
        bar->setFocus(Qt::PopupFocusReason);
      });
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::ShortcutOverride || watched != popup ||
        static_cast<QKeyEvent*>(event)->key() != Qt::Key_Escape)
      return false;
    // Esc is the popup's own key here (it closes it), before any shortcut of the window.
    event->accept();
    return true;
  }

 private:
  xToolbar* bar_;
};

ToolbarOverflowMenu& xToolbar::OverflowMenu() {
  if (!overflowMenu_) overflowMenu_ = std::make_shared<ToolbarOverflowMenu>(this);
  return *overflowMenu_;
}

void xToolbar::SetOverflowMenuLook(std::int32_t style, std::int32_t highLight) {
  OverflowMenu().style = style;
  OverflowMenu().highLight = highLight;
}

wMenu* xToolbar::OverflowPopup() const {
  if (!overflowMenu_ || !overflowMenu_->popup || overflowMenu_->popup->Unloaded()) return nullptr;
  return overflowMenu_->popup.data();
}

QRect xToolbar::PartRect(int index) const {
  if (index == ChevronIndex()) return chevron_;
  const clsBSButton& b = *At(index);
  return QRect(static_cast<int>(b.ClientLeft), static_cast<int>(b.ClientTop),
               static_cast<int>(b.ClientWidth), static_cast<int>(b.ClientHeight));
}

void xToolbar::LayOutOverflow() {
  const std::int16_t before = laidOutFrom_;
  overflowFrom_ = 0;
  chevron_ = QRect();
  const bool horizontal = Horizontal();
  const int L = EdgeInset(0), Tn = EdgeInset(1), R = EdgeInset(2), B = EdgeInset(3);
  const float end = static_cast<float>(horizontal ? width() - R : height() - B);
  const auto farEdge = [horizontal](const clsBSButton& b) {
    return horizontal ? b.ClientLeft + b.ClientWidth : b.ClientTop + b.ClientHeight;
  };
  bool fits = true;
  for (int i = 1; i <= ButtonCount(); ++i)
    if (At(i)->Visible && farEdge(*At(i)) > end) fits = false;
  if (!fits) {
    const float limit = end - static_cast<float>(kChevronLength);
    for (int i = 1; i <= ButtonCount() && overflowFrom_ == 0; ++i)
      if (At(i)->Visible && farEdge(*At(i)) > limit) overflowFrom_ = static_cast<std::int16_t>(i);
    const clsBSButton& first = *At(overflowFrom_);
    const int from = g::RoundHalfEven(horizontal ? first.ClientLeft : first.ClientTop);
    const int at = g::RoundHalfEven(limit);
    // The hidden buttons' place is cleared to the bar's end (they were drawn over its frame
    // too), the frame drawn again, and the chevron takes the end.
    if (horizontal) {
      Fill(from, 0, width() - from, height(), backColor_);
      chevron_ = QRect(at, Tn, kChevronLength, height() - Tn - B);
    } else {
      Fill(0, from, width(), height() - from, backColor_);
      chevron_ = QRect(L, at, width() - L - R, kChevronLength);
    }
    PaintFrame();
    PaintChevron();
  }
  // The popup lists the buttons hidden when it opened: it closes when they change.
  laidOutFrom_ = overflowFrom_;
  if (before != overflowFrom_)
    if (wMenu* popup = OverflowPopup()) popup->Unload();
}

void xToolbar::PaintChevron() {
  if (chevron_.isEmpty()) return;
  const QRect& r = chevron_;
  Fill(r.left(), r.top(), r.width(), r.height(), backColor_);
  if (OverflowPopup())
    Rect3D(r.left(), r.top(), r.width() - 1, r.height() - 1, shadowColor_, highlightColor_);
  else if (chevronHot_ && enabled_)
    Rect3D(r.left(), r.top(), r.width() - 1, r.height() - 1, highlightColor_, shadowColor_);
  const p::OLE_COLOR ink = enabled_ ? textColor_ : textDisabledColor_;
  const int cx = r.left() + r.width() / 2, cy = r.top() + r.height() / 2;
  // Two arrowheads two pixels thick: pointing along the bar, past its end.
  for (int k = 0; k < 2; ++k)
    for (int t = 0; t < 2; ++t) {
      if (Horizontal()) {
        const int x = cx - 4 + k * 4 + t;
        Line(x, cy - 3, x + 3, cy, ink);
        Line(x + 3, cy, x - 1, cy + 4, ink);
      } else {
        const int y = cy - 4 + k * 4 + t;
        Line(cx - 3, y, cx, y + 3, ink);
        Line(cx, y + 3, cx + 4, y - 1, ink);
      }
    }
}

void xToolbar::SetChevronHot(bool hot) {
  if (hot == chevronHot_) return;
  chevronHot_ = hot;
  if (hot) {
    ArmToolTip(kChevronName);
    checkTimer_.start();  // the leave check takes the raised look away
  }
  PaintChevron();
  update();
}

void xToolbar::ShowOverflow(bool fromKeys) {
  if (!Overflowing()) return;
  if (wMenu* open = OverflowPopup()) {
    open->Unload();
    return;
  }
  ToolbarOverflowMenu& menu = OverflowMenu();
  menu.items.assign(1, MenuItem());
  menu.items[0].Caption = kChevronName;
  bool separate = false;
  for (int i = overflowFrom_; i <= ButtonCount(); ++i) {
    const clsBSButton& b = *At(i);
    if (!b.Visible) continue;
    if (b.Style == tbrSeparator) separate = menu.items.size() > 1;
    if (!Clickable(b.Style)) continue;
    if (separate) {
      menu.items.emplace_back().Caption = "-";
      menu.items.back().Ident = 1;
      separate = false;
    }
    std::string caption = ButtonName(b);
    if (Events.OverflowCaption)
      Events.OverflowCaption(static_cast<std::int16_t>(i), b.Key, caption);
    MenuItem& item = menu.items.emplace_back();
    item.Ident = 1;
    item.Name = std::to_string(i);
    item.Caption = caption;
    item.Description = b.ToolTipText;
    item.Enabled = b.Enabled && enabled_;
    item.Checked = b.Checked;
  }
  menu.items[0].IsRoot = menu.items.size() > 1;
  // Below a horizontal bar's chevron, beside a vertical one's.
  const QPoint corner = mapToGlobal(Horizontal() ? chevron_.bottomLeft() + QPoint(0, 1)
                                                 : chevron_.topRight() + QPoint(1, 0));
  auto* popup = new wMenu(this);
  popup->MenuTree = &menu.items;
  popup->ParentForm = &menu;
  popup->SetMenuFont(font_.Name(), font_.SizeUnits(), font_.Bold());
  popup->FilterIndex = 1;
  popup->LeftCorner = g::RoundHalfEven(corner.x() * static_cast<double>(p::TwipsPerPixelX()));
  popup->TopCorner = g::RoundHalfEven(corner.y() * static_cast<double>(p::TwipsPerPixelY()));
  popup->MenuStyle = menu.style;
  popup->OwnerWidth = chevron_.width();
  popup->HighLight = menu.highLight;
  popup->FillItems();
  popup->installEventFilter(&menu);
  menu.popup = popup;
  menu.fromKeys = fromKeys;
  popup->ShowModeless();
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  menu.items[0].Expanded = true;
  if (fromKeys && menu.popup) {
    popup->MoveHot(1);
    popup->setFocus(Qt::PopupFocusReason);
  }
  PaintChevron();
  update();
  QAccessible::State changed;
  changed.expanded = true;
  AnnounceButton(ChevronIndex(), QAccessible::StateChanged, changed);
}

}  // namespace quillane::controls
