#pragma once
// Menus for the menu tests, built from one line per item.
#include <initializer_list>
#include <memory>
#include <string>

#include <QApplication>
#include <QEvent>
#include <QMouseEvent>
#include <QPointingDevice>

#include "controls/menu/xMenu.h"

namespace quillane::test {

struct ItemRow {
  int ident;
  std::string name;
  std::string caption;
};

inline void AddItems(controls::xMenu& menu, std::initializer_list<ItemRow> items) {
  for (const ItemRow& row : items) {
    controls::MenuItem item;
    item.Ident = row.ident;
    item.Name = row.name;
    item.Caption = row.caption;
    menu.AddItem(item);
  }
}

// Runs posted events, deferred deletions included.
inline void Settle() {
  QCoreApplication::processEvents();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// A real pointer move with no button down, delivered to the widget (the offscreen platform would
// give a move from QCursor::setPos to the first window under the point, not the topmost).
inline void MoveTo(QWidget* widget, QPoint pos) {
  QMouseEvent event(QEvent::MouseMove, QPointF(pos), QPointF(widget->mapToGlobal(pos)),
                    Qt::NoButton, Qt::NoButton, Qt::NoModifier,
                    QPointingDevice::primaryPointingDevice());
  QApplication::sendEvent(widget, &event);
}

}  // namespace quillane::test
