// xToolbar: what the bar says to assistive technology. A tool bar whose children are its visible
// buttons and separators: the caption (else the tooltip or key) as name, the tooltip as
// description; disabled, checked, pressed, hot and focused states; Press as the action.
#include <mutex>

#include "controls/menu/wMenu.h"
#include "controls/toolbar/xToolbar.h"

namespace quillane::controls {

std::string xToolbar::ButtonName(const clsBSButton& b) {
  const std::string caption = QString::fromStdString(b.Caption).simplified().toStdString();
  if (!caption.empty()) return caption;
  return !b.ToolTipText.empty() ? b.ToolTipText : b.Key;
}

void xToolbar::RegisterAccessible() {
  static std::once_flag once;
  std::call_once(once, [] {
    gfx::RegisterAccessibleParts([](QWidget* widget) {
      if (auto* bar = dynamic_cast<xToolbar*>(widget)) return bar->Accessible();
      return gfx::AccessibleParts{QAccessible::NoRole, {}, {}, {}, {}, {}};
    });
  });
}

std::vector<int> xToolbar::AccessibleButtons() const {
  std::vector<int> shown;
  for (int i = 1; i <= ButtonCount(); ++i)
    if (At(i)->Visible && !InOverflow(i) &&
        (Clickable(At(i)->Style) || At(i)->Style == tbrSeparator))
      shown.push_back(i);
  if (Overflowing()) shown.push_back(ChevronIndex());
  return shown;
}

gfx::AccessibleParts xToolbar::Accessible() {
  gfx::AccessibleParts parts;
  parts.role = QAccessible::ToolBar;
  parts.name = [this] { return QString::fromStdString(title_.empty() ? name_ : title_); };
  parts.count = [this] { return static_cast<int>(AccessibleButtons().size()); };
  parts.part = [this](int index) {
    const int i = AccessibleButtons()[static_cast<std::size_t>(index)];
    gfx::AccessiblePart part;
    part.rect = PartRect(i);
    if (i == ChevronIndex()) {
      part.role = QAccessible::ButtonMenu;
      part.name = QString::fromLatin1(kChevronName);
      part.description = QStringLiteral("The buttons the bar has no room for");
      part.state.hasPopup = true;
      part.state.expanded = OverflowPopup() != nullptr;
      part.state.focusable = true;
      part.state.focused = hasFocus() && focusButton_ == i;
      return part;
    }
    const clsBSButton& b = *At(i);
    if (b.Style == tbrSeparator) {
      part.role = QAccessible::Separator;
      return part;
    }
    part.role = QAccessible::PushButton;
    part.name = QString::fromStdString(ButtonName(b));
    part.description = QString::fromStdString(b.ToolTipText);
    part.state.disabled = !b.Enabled;
    part.state.checkable = b.Style != tbrButton;
    part.state.checked = b.Checked;
    part.state.pressed = mouseDown_ && pressedButton_ == i;
    part.state.hotTracked = hotButton_ == i;
    part.state.focusable = b.Enabled;
    part.state.focused = hasFocus() && focusButton_ == i;
    return part;
  };
  parts.press = [this](int index) { ActivateButton(AccessibleButtons()[std::size_t(index)]); };
  parts.opened = [this](int index) -> QWidget* {
    return AccessibleButtons()[std::size_t(index)] == ChevronIndex() ? OverflowPopup() : nullptr;
  };
  return parts;
}

void xToolbar::AnnounceButton(int index, QAccessible::Event event, QAccessible::State changed) {
  const std::vector<int> shown = AccessibleButtons();
  for (std::size_t k = 0; k < shown.size(); ++k) {
    if (shown[k] != index) continue;
    if (event == QAccessible::StateChanged)
      gfx::AnnounceState(this, static_cast<int>(k), changed);
    else
      gfx::AnnouncePart(this, static_cast<int>(k), event);
  }
}

}  // namespace quillane::controls
