#pragma once
// Menus for the menu tests, built from one line per item.
#include <initializer_list>
#include <memory>
#include <string>

#include <QCoreApplication>
#include <QEvent>

#include "controls/menu/xMenu.h"

namespace quillane::test {

struct ItemSpec {
  int ident;
  std::string name;
  std::string caption;
};

inline void AddItems(controls::xMenu& menu, std::initializer_list<ItemSpec> items) {
  for (const ItemSpec& spec : items) {
    controls::MenuItem item;
    item.Ident = spec.ident;
    item.Name = spec.name;
    item.Caption = spec.caption;
    menu.AddItem(item);
  }
}

// Runs posted events, deferred deletions included.
inline void Settle() {
  QCoreApplication::processEvents();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

}  // namespace quillane::test
