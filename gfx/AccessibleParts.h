// What an owner-drawn control says to assistive technology. The control is one widget that draws
// its parts itself (the items of a menu bar or popup, the buttons of a toolbar); PartsAccessible
// gives the widget a role and each part an accessible child of its own, described on demand by
// the control, so the tree never goes stale. Announce and AnnounceState send the events of a part.
#pragma once

#include <functional>

#include <QAccessible>
#include <QAccessibleWidget>
#include <QRect>
#include <QString>

namespace quillane::gfx {

// One part as the control describes it now.
struct AccessiblePart {
  QAccessible::Role role = QAccessible::PushButton;
  QString name;
  QString description;
  QString shortcut;  // the keys that run it, as shown
  QAccessible::State state;
  QRect rect;  // in the widget's coordinates
};

struct AccessibleParts {
  QAccessible::Role role = QAccessible::ToolBar;
  std::function<QString()> name;                  // the widget's name (optional)
  std::function<int()> count;                     // the parts there are now
  std::function<AccessiblePart(int index)> part;  // index from 0
  std::function<void(int index)> press;           // the part's default action (optional)
  // The window a part has open (a menu item's popup), or null: that window is the part's one
  // child, and its parent is the part (optional).
  std::function<QWidget*(int index)> opened;
};

// Makes `describe(widget)` the accessible description of every widget for which it gives a role
// other than NoRole. Each control registers its describer once (the first one made).
void RegisterAccessibleParts(std::function<AccessibleParts(QWidget* widget)> describe);

// The widget's own accessible interface for a role and a name given now (a link, say), with
// `press` as its default action.
void RegisterAccessibleWidget(
    std::function<bool(QWidget* widget, QAccessible::Role& role, QString& name)> describe,
    std::function<void(QWidget* widget)> press);

// A part of `widget` took the focus (index from 0; -1: the widget itself), or changed state.
void AnnouncePart(QWidget* widget, int index, QAccessible::Event event);
void AnnounceState(QWidget* widget, int index, QAccessible::State changed);
// Sees every event the controls hand to Qt, before Qt does (tests: a platform without
// accessibility, such as offscreen, drops the events before any update handler sees them).
void SetAnnounceObserver(std::function<void(QAccessibleEvent* event)> observer);

}  // namespace quillane::gfx
