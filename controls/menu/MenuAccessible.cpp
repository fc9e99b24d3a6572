// What the bar and its popups say to assistive technology: a menu bar and popup menus whose
// children are their items (name, shortcut, description; checked, disabled, has-popup, expanded,
// focused), and the events of the keyboard's moves.
#include <mutex>

#include "controls/menu/wMenu.h"
#include "controls/menu/xMenu.h"
#include "gfx/AccessibleParts.h"

namespace quillane::controls {

namespace {

// The caption as shown, split into the name and the shortcut written after a tab (or a run of
// blanks).
void SplitCaption(const std::string& caption, QString& name, QString& shortcut) {
  const std::string shown = paint::ShownText(caption);
  std::size_t gap = shown.find('\t');
  if (gap == std::string::npos) gap = shown.find("   ");
  name = QString::fromStdString(shown.substr(0, gap)).trimmed();
  shortcut =
      gap == std::string::npos ? QString() : QString::fromStdString(shown.substr(gap)).trimmed();
}

gfx::AccessiblePart ItemPart(const MenuItem& item, bool hot, bool focus) {
  gfx::AccessiblePart part;
  part.role = item.IsSeparator() ? QAccessible::Separator : QAccessible::MenuItem;
  if (!item.IsSeparator()) SplitCaption(item.Caption, part.name, part.shortcut);
  part.description = QString::fromStdString(item.Description);
  part.state.disabled = !item.Enabled;
  part.state.checkable = item.Checked;
  part.state.checked = item.Checked;
  part.state.hasPopup = item.IsRoot;
  part.state.expanded = item.Expanded;
  part.state.focusable = !item.IsSeparator();
  part.state.hotTracked = hot;
  part.state.focused = hot && focus;
  const platform::RECT& r = item.Rect();
  part.rect = QRect(r.left, r.top, r.right - r.left + 1, r.bottom - r.top + 1);
  return part;
}

void Register() {
  static std::once_flag once;
  std::call_once(once, [] {
    gfx::RegisterAccessibleParts([](QWidget* widget) {
      if (auto* bar = dynamic_cast<xMenu*>(widget)) return bar->Accessible();
      if (auto* popup = dynamic_cast<wMenu*>(widget)) return popup->Accessible();
      return gfx::AccessibleParts{QAccessible::NoRole, {}, {}, {}, {}, {}};
    });
  });
}

}  // namespace

void xMenu::RegisterAccessible() { Register(); }

std::vector<std::int32_t> xMenu::RootItems() const {
  std::vector<std::int32_t> roots;
  for (std::int32_t i = 1; i <= Count(); ++i)
    if (At(i)->Ident == 0 && At(i)->Visible) roots.push_back(i);
  return roots;
}

gfx::AccessibleParts xMenu::Accessible() {
  gfx::AccessibleParts parts;
  parts.role = QAccessible::MenuBar;
  parts.count = [this] { return static_cast<int>(RootItems().size()); };
  parts.part = [this](int index) {
    const std::int32_t i = RootItems()[static_cast<std::size_t>(index)];
    return ItemPart(*At(i), hot_ == i, keyMode_ && hasFocus());
  };
  parts.press = [this](int index) {
    EnterKeyMode(RootItems()[static_cast<std::size_t>(index)], true);
  };
  parts.opened = [this](int index) -> QWidget* {
    wMenu* popup = Popup();
    return popup && popup->FilterIndex == RootItems()[static_cast<std::size_t>(index)] ? popup
                                                                                       : nullptr;
  };
  return parts;
}

void xMenu::AnnounceHot() {
  const std::vector<std::int32_t> roots = RootItems();
  for (std::size_t k = 0; k < roots.size(); ++k)
    if (roots[k] == hot_) gfx::AnnouncePart(this, static_cast<int>(k), QAccessible::Focus);
}

gfx::AccessibleParts wMenu::Accessible() {
  gfx::AccessibleParts parts;
  parts.role = QAccessible::PopupMenu;
  parts.name = [this] {
    const MenuItem* owner = At(FilterIndex);
    return owner ? QString::fromStdString(paint::ShownText(owner->Caption)) : QString();
  };
  parts.count = [this] { return static_cast<int>(list_.size()); };
  parts.part = [this](int index) {
    const std::int32_t j = list_[static_cast<std::size_t>(index)];
    return ItemPart(*At(j), hot_ == j, hasFocus());
  };
  parts.press = [this](int index) { Press(list_[static_cast<std::size_t>(index)]); };
  parts.opened = [this](int index) -> QWidget* {
    wMenu* child = ChildPopup();
    return child && child->FilterIndex == list_[static_cast<std::size_t>(index)] ? child : nullptr;
  };
  return parts;
}

void wMenu::AnnounceHot() {
  for (std::size_t k = 0; k < list_.size(); ++k)
    if (list_[k] == hot_) gfx::AnnouncePart(this, static_cast<int>(k), QAccessible::Focus);
}

}  // namespace quillane::controls
