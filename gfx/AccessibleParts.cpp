#include "gfx/AccessibleParts.h"

#include <map>
#include <mutex>
#include <vector>

#include <QWidget>

namespace quillane::gfx {

namespace {

class PartsInterface;

// One part: asks its control for everything, every time.
class PartInterface : public QAccessibleInterface, public QAccessibleActionInterface {
 public:
  PartInterface(PartsInterface* parent, int index) : parent_(parent), index_(index) {}
  bool isValid() const override;
  QObject* object() const override { return nullptr; }
  QWindow* window() const override;
  QAccessibleInterface* parent() const override;
  // A part's one child is the window it has open, if any.
  QAccessibleInterface* child(int index) const override;
  int childCount() const override { return Opened() ? 1 : 0; }
  int indexOfChild(const QAccessibleInterface* child) const override {
    return child && child == this->child(0) ? 0 : -1;
  }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  QString text(QAccessible::Text t) const override;
  void setText(QAccessible::Text, const QString&) override {}
  QRect rect() const override;
  QAccessible::Role role() const override { return Part().role; }
  QAccessible::State state() const override { return Part().state; }
  void* interface_cast(QAccessible::InterfaceType type) override {
    return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this)
                                                : nullptr;
  }
  QStringList actionNames() const override;
  void doAction(const QString& action) override;
  QStringList keyBindingsForAction(const QString& action) const override;

 private:
  AccessiblePart Part() const;
  QWidget* Opened() const;
  PartsInterface* parent_;
  int index_;
};

class PartsInterface : public QAccessibleWidget {
 public:
  PartsInterface(QWidget* widget, AccessibleParts parts)
      : QAccessibleWidget(widget, parts.role), parts_(std::move(parts)) {}
  ~PartsInterface() override {
    for (const auto& [index, id] : children_) QAccessible::deleteAccessibleInterface(id);
  }
  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Name && parts_.name) return parts_.name();
    return QAccessibleWidget::text(t);
  }
  int childCount() const override { return parts_.count ? parts_.count() : 0; }
  QAccessibleInterface* child(int index) const override {
    if (index < 0 || index >= childCount()) return nullptr;
    auto found = children_.find(index);
    if (found == children_.end()) {
      auto* part = new PartInterface(const_cast<PartsInterface*>(this), index);
      found = children_.emplace(index, QAccessible::registerAccessibleInterface(part)).first;
    }
    return QAccessible::accessibleInterface(found->second);
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    for (const auto& [index, id] : children_)
      if (QAccessible::accessibleInterface(id) == child) return index;
    return -1;
  }
  QAccessibleInterface* childAt(int x, int y) const override {
    const QPoint at = widget()->mapFromGlobal(QPoint(x, y));
    for (int i = 0; i < childCount(); ++i)
      if (parts_.part(i).rect.contains(at)) return child(i);
    return nullptr;
  }
  AccessiblePart Part(int index) const {
    return index >= 0 && index < childCount() ? parts_.part(index) : AccessiblePart{};
  }
  bool Valid(int index) const { return index >= 0 && index < childCount(); }
  void Press(int index) const {
    if (parts_.press && Valid(index)) parts_.press(index);
  }
  bool CanPress() const { return static_cast<bool>(parts_.press); }
  QWidget* Widget() const { return widget(); }
  QWidget* Opened(int index) const {
    return parts_.opened && Valid(index) ? parts_.opened(index) : nullptr;
  }
  // A window opened by a part of its opener (a popup) has that part for its parent.
  QAccessibleInterface* parent() const override {
    QWidget* opener = widget()->isWindow() ? widget()->parentWidget() : nullptr;
    auto* parts = opener
                      ? dynamic_cast<PartsInterface*>(QAccessible::queryAccessibleInterface(opener))
                      : nullptr;
    for (int i = 0; parts && i < parts->childCount(); ++i)
      if (parts->Opened(i) == widget()) return parts->child(i);
    return QAccessibleWidget::parent();
  }

 private:
  AccessibleParts parts_;
  mutable std::map<int, QAccessible::Id> children_;
};

bool PartInterface::isValid() const { return parent_->isValid() && parent_->Valid(index_); }
QWindow* PartInterface::window() const { return parent_->window(); }
QAccessibleInterface* PartInterface::parent() const { return parent_; }
AccessiblePart PartInterface::Part() const { return parent_->Part(index_); }
QWidget* PartInterface::Opened() const { return parent_->Opened(index_); }
QAccessibleInterface* PartInterface::child(int index) const {
  QWidget* opened = index == 0 ? Opened() : nullptr;
  return opened ? QAccessible::queryAccessibleInterface(opened) : nullptr;
}

QString PartInterface::text(QAccessible::Text t) const {
  const AccessiblePart part = Part();
  switch (t) {
    case QAccessible::Name:
      return part.name;
    case QAccessible::Description:
      return part.description;
    case QAccessible::Accelerator:
      return part.shortcut;
    default:
      return {};
  }
}

QRect PartInterface::rect() const {
  const QRect r = Part().rect;
  return QRect(parent_->Widget()->mapToGlobal(r.topLeft()), r.size());
}

QStringList PartInterface::actionNames() const {
  const AccessiblePart part = Part();
  if (!parent_->CanPress() || part.role == QAccessible::Separator || part.state.disabled) return {};
  return {pressAction()};
}

void PartInterface::doAction(const QString& action) {
  if (action == pressAction() && !Part().state.disabled) parent_->Press(index_);
}

QStringList PartInterface::keyBindingsForAction(const QString&) const {
  const QString keys = Part().shortcut;
  return keys.isEmpty() ? QStringList() : QStringList{keys};
}

// A widget with its own role and name (a link), and a default action.
class NamedInterface : public QAccessibleWidget {
 public:
  NamedInterface(QWidget* widget, QAccessible::Role role, std::function<QString()> name,
                 std::function<void()> press)
      : QAccessibleWidget(widget, role), name_(std::move(name)), press_(std::move(press)) {}
  QString text(QAccessible::Text t) const override {
    return t == QAccessible::Name ? name_() : QAccessibleWidget::text(t);
  }
  QStringList actionNames() const override { return {pressAction()}; }
  void doAction(const QString& action) override {
    if (action == pressAction() && widget()->isEnabled()) press_();
  }

 private:
  std::function<QString()> name_;
  std::function<void()> press_;
};

using Describer = std::function<QAccessibleInterface*(QWidget*)>;

std::vector<Describer>& Describers() {
  static std::vector<Describer> list;
  return list;
}

QAccessibleInterface* Factory(const QString&, QObject* object) {
  auto* widget = qobject_cast<QWidget*>(object);
  if (!widget) return nullptr;
  for (const Describer& describe : Describers())
    if (QAccessibleInterface* found = describe(widget)) return found;
  return nullptr;
}

void Add(Describer describer) {
  static std::once_flag once;
  std::call_once(once, [] { QAccessible::installFactory(Factory); });
  Describers().push_back(std::move(describer));
}

}  // namespace

void RegisterAccessibleParts(std::function<AccessibleParts(QWidget* widget)> describe) {
  Add([describe = std::move(describe)](QWidget* widget) -> QAccessibleInterface* {
    AccessibleParts parts = describe(widget);
    if (parts.role == QAccessible::NoRole) return nullptr;
    return new PartsInterface(widget, std::move(parts));
  });
}

void RegisterAccessibleWidget(
    std::function<bool(QWidget* widget, QAccessible::Role& role, QString& name)> describe,
    std::function<void(QWidget* widget)> press) {
  Add([describe, press](QWidget* widget) -> QAccessibleInterface* {
    QAccessible::Role role = QAccessible::NoRole;
    QString name;
    if (!describe(widget, role, name)) return nullptr;
    QPointer<QWidget> guarded(widget);
    return new NamedInterface(
        widget, role,
        [describe, guarded] {
          QAccessible::Role r;
          QString n;
          if (guarded) describe(guarded, r, n);
          return n;
        },
        [press, guarded] {
          if (guarded) press(guarded);
        });
  });
}

namespace {

std::function<void(QAccessibleEvent*)>& Observer() {
  static std::function<void(QAccessibleEvent*)> observer;
  return observer;
}

void Send(QAccessibleEvent& event, int index) {
  if (index >= 0) event.setChild(index);
  if (Observer()) Observer()(&event);
  QAccessible::updateAccessibility(&event);
}

}  // namespace

void AnnouncePart(QWidget* widget, int index, QAccessible::Event event) {
  if (!widget) return;
  QAccessibleEvent e(widget, event);
  Send(e, index);
}

void AnnounceState(QWidget* widget, int index, QAccessible::State changed) {
  if (!widget) return;
  QAccessibleStateChangeEvent e(widget, changed);
  Send(e, index);
}

void SetAnnounceObserver(std::function<void(QAccessibleEvent* event)> observer) {
  Observer() = std::move(observer);
}

}  // namespace quillane::gfx
