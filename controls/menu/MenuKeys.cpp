// The keyboard of the menu: the bar's access keys and keyboard mode, and the keys of its popups,
// as the platform's own menus take them.
#include <QApplication>
#include <QKeyEvent>
#include <QShortcut>

#include "controls/menu/wMenu.h"
#include "controls/menu/xMenu.h"

namespace quillane::controls {

namespace {

// The upper-case access character of a caption ("&File" gives "F"), or "".
std::string AccessKey(const std::string& caption) {
  const std::size_t q = caption.find('&');
  if (q == std::string::npos || q + 1 >= caption.size() || caption[q + 1] == '&') return {};
  std::string key = caption.substr(q + 1, 1);
  if (key[0] >= 'a' && key[0] <= 'z') key[0] = static_cast<char>(key[0] - 'a' + 'A');
  return key;
}

bool IsEnter(int key) {
  return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space;
}

}  // namespace

// --- the bar ----------------------------------------------------------------------------------

std::int32_t xMenu::RootByAccelerator(std::string_view key) const {
  std::string upper(key);
  for (char& ch : upper)
    if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
  for (std::int32_t i = 1; i <= Count(); ++i) {
    const MenuItem& item = items_[static_cast<std::size_t>(i - 1)];
    if (item.Ident == 0 && item.Visible && !upper.empty() && AccessKey(item.Caption) == upper)
      return i;
  }
  return 0;
}

void xMenu::BuildAccessKeys() {
  for (QObject* key : accessKeys_) delete key;
  accessKeys_.clear();
  auto add = [this](const QKeySequence& keys, std::function<void()> run) {
    auto* shortcut = new QShortcut(keys, this);
    shortcut->setContext(Qt::WindowShortcut);
    QObject::connect(shortcut, &QShortcut::activated, this, [this, run = std::move(run)] {
      altAlone_ = false;  // the Alt of Alt+letter, released after it, leaves the menu open
      run();
    });
    accessKeys_.push_back(shortcut);
  };
  add(QKeySequence(Qt::Key_F10), [this] {
    if (keyMode_) {
      LeaveKeyMode();
      return;
    }
    for (std::int32_t i = 1; i <= Count(); ++i)
      if (At(i)->Ident == 0 && At(i)->Visible) return EnterKeyMode(i, false);
  });
  for (std::int32_t i = 1; i <= Count(); ++i) {
    const std::string key = AccessKey(At(i)->Caption);
    if (At(i)->Ident != 0 || key.empty()) continue;
    add(QKeySequence(QStringLiteral("Alt+") + QString::fromStdString(key)),
        [this, i] { EnterKeyMode(i, true); });
  }
  if (!filterInstalled_) {
    // Alt pressed and released alone enters keyboard mode as well.
    qApp->installEventFilter(this);
    filterInstalled_ = true;
  }
}

void xMenu::EnterKeyMode(std::int32_t index, bool open) {
  if (!At(index) || QApplication::activeModalWidget()) return;
  if (!keyMode_) {
    QWidget* focus = QApplication::focusWidget();
    focusBefore_ = focus != this ? focus : nullptr;
    keyMode_ = true;
    gfx::AnnouncePart(this, -1, QAccessible::MenuStart);
  }
  setFocus(Qt::MenuBarFocusReason);
  if (hot_ != 0 && hot_ != index) DrawRootItem(hot_, 0);
  hot_ = index;
  DrawRootItem(index, 1);
  AnnounceHot();
  if (open) OpenFromKeys(index);
}

void xMenu::OpenFromKeys(std::int32_t index) {
  keepKeyMode_ = true;
  UnloadPopup();
  keepKeyMode_ = false;
  OpenFromPointer(index);
  DrawRootItem(index, 1);
  if (wMenu* popup = Popup()) {
    popup->MoveHot(1);
    popup->setFocus(Qt::PopupFocusReason);
  }
}

void xMenu::LeaveKeyMode() {
  if (!keyMode_) return;
  keyMode_ = false;
  UnloadPopup();
  gfx::AnnouncePart(this, -1, QAccessible::MenuEnd);
  menuOpen_ = false;
  if (hot_ != 0) DrawRootItem(hot_, 0);
  hot_ = 0;
  QPointer<QWidget> back = focusBefore_;
  focusBefore_ = nullptr;
  if (back && back->isVisible())
    back->setFocus(Qt::OtherFocusReason);
  else if (hasFocus())
    clearFocus();
}

void xMenu::StepRoot(std::int32_t step) {
  if (Count() == 0) return;
  std::int32_t i = hot_;
  for (std::int32_t n = 0; n < Count(); ++n) {
    i = (i - 1 + step + Count()) % Count() + 1;
    if (At(i)->Ident == 0 && At(i)->Visible) break;
  }
  const bool open = Popup() != nullptr;
  EnterKeyMode(i, false);
  if (open) OpenFromKeys(i);
}

void xMenu::BackToBar() {
  keepKeyMode_ = true;
  UnloadPopup();
  keepKeyMode_ = false;
  menuOpen_ = false;
  window()->activateWindow();
  if (keyMode_) EnterKeyMode(hot_, false);
}

void xMenu::keyPressEvent(QKeyEvent* event) {
  if (!keyMode_) return QWidget::keyPressEvent(event);
  const int key = event->key();
  if (key == Qt::Key_Left || key == Qt::Key_Right) {
    StepRoot(key == Qt::Key_Left ? -1 : 1);
  } else if (key == Qt::Key_Down || key == Qt::Key_Up || IsEnter(key)) {
    OpenFromKeys(hot_);
  } else if (key == Qt::Key_Escape) {
    LeaveKeyMode();
  } else if (const std::int32_t i = RootByAccelerator(event->text().toStdString())) {
    EnterKeyMode(i, true);
  }
  event->accept();
}

void xMenu::focusOutEvent(QFocusEvent* event) {
  QWidget::focusOutEvent(event);
  // The focus went elsewhere in the window (a click, Tab): keyboard mode ends unless a popup of
  // the bar took it.
  if (keyMode_ && !Popup() && event->reason() != Qt::ActiveWindowFocusReason &&
      event->reason() != Qt::PopupFocusReason)
    LeaveKeyMode();
}

bool xMenu::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type == QEvent::KeyPress || type == QEvent::KeyRelease || type == QEvent::ShortcutOverride) {
    auto* key = static_cast<QKeyEvent*>(event);
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != window() || key->isAutoRepeat()) return false;
    if (type == QEvent::ShortcutOverride && keyMode_ && key->key() == Qt::Key_Escape) {
      // In keyboard mode Esc is the bar's (it leaves the bar), not a shortcut of the window.
      key->accept();
      return true;
    }
    if (type != QEvent::KeyRelease) {
      altAlone_ = key->key() == Qt::Key_Alt && (key->modifiers() & ~Qt::AltModifier) == 0;
    } else if (key->key() == Qt::Key_Alt && altAlone_) {
      altAlone_ = false;
      if (keyMode_) {
        LeaveKeyMode();
      } else {
        for (std::int32_t i = 1; i <= Count(); ++i)
          if (At(i)->Ident == 0 && At(i)->Visible) {
            EnterKeyMode(i, false);
            break;
          }
      }
      return true;
    }
  } else if (type == QEvent::MouseButtonPress) {
    altAlone_ = false;
  }
  return false;
}

// --- the popups ---------------------------------------------------------------------------------

xMenu* wMenu::Bar() const {
  for (const QWidget* w = this; w; w = w->parentWidget())
    if (auto* bar = dynamic_cast<xMenu*>(const_cast<QWidget*>(w))) return bar;
  return nullptr;
}

void wMenu::SetHot(std::int32_t index) {
  if (index == hot_ || !IsListed(index)) return;
  if (hot_ != 0) DrawItem(hot_, 0);
  hot_ = index;
  DrawItem(index, -1);
  AnnounceHot();
  SendDescriptionEvent(At(index)->Description);
}

void wMenu::MoveHot(std::int32_t step) {
  const auto n = static_cast<std::int32_t>(list_.size());
  if (n == 0) return;
  std::int32_t at =
      static_cast<std::int32_t>(std::find(list_.begin(), list_.end(), hot_) - list_.begin());
  if (at == n) at = step > 0 ? -1 : n;
  for (std::int32_t k = 0; k < n; ++k) {
    at = (at + step + n) % n;
    const MenuItem* item = At(list_[static_cast<std::size_t>(at)]);
    if (item && !item->IsSeparator() && item->Visible) {
      SetHot(list_[static_cast<std::size_t>(at)]);
      return;
    }
  }
}

void wMenu::OpenChild(std::int32_t index) {
  const MenuItem* item = At(index);
  if (!item || !item->IsRoot || !item->Enabled) return;
  SetHot(index);
  ShowMenu(index);
  menuOpen_ = ChildPopup() != nullptr;
  if (wMenu* child = ChildPopup()) {
    child->MoveHot(1);
    child->setFocus(Qt::PopupFocusReason);
  }
}

void wMenu::Press(std::int32_t index) {
  if (!IsListed(index)) return;
  SetHot(index);
  At(index)->IsRoot ? OpenChild(index) : Choose(index);
}

void wMenu::keyPressEvent(QKeyEvent* event) {
  if (unloaded_) return;
  const int key = event->key();
  const MenuItem* hot = At(hot_);
  const bool firstLevel = ParentForm && ParentForm->Name() == "xMenu";
  event->accept();
  if (key == Qt::Key_Down || key == Qt::Key_Up) {
    MoveHot(key == Qt::Key_Down ? 1 : -1);
  } else if (key == Qt::Key_Home || key == Qt::Key_End) {
    if (hot_ != 0) DrawItem(hot_, 0);
    hot_ = 0;
    MoveHot(key == Qt::Key_Home ? 1 : -1);
  } else if ((key == Qt::Key_Right || IsEnter(key)) && hot && hot->IsRoot) {
    OpenChild(hot_);
  } else if (IsEnter(key) && hot) {
    Choose(hot_);
  } else if ((key == Qt::Key_Right || key == Qt::Key_Left) && firstLevel) {
    if (xMenu* bar = Bar()) bar->StepRoot(key == Qt::Key_Left ? -1 : 1);
  } else if (key == Qt::Key_Left || (key == Qt::Key_Escape && !firstLevel)) {
    if (auto* parent = dynamic_cast<wMenu*>(parentWidget())) {
      parent->menuOpen_ = false;
      Unload();
      parent->setFocus(Qt::PopupFocusReason);
    } else if (key == Qt::Key_Escape) {
      Unload();  // the popup of another control (a toolbar's chevron) just closes
    }
  } else if (key == Qt::Key_Escape) {
    if (xMenu* bar = Bar()) bar->BackToBar();
  } else if (key == Qt::Key_Alt) {
    xMenu* bar = Bar();
    ForceUnload();
    if (bar) bar->LeaveKeyMode();
  } else if (const std::int32_t j = FindByAccelerator(event->text().toStdString())) {
    Press(j);
  } else {
    event->ignore();
  }
}

}  // namespace quillane::controls
