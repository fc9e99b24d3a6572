#include "controls/hotlink/HotLink.h"

#include <cmath>
#include <mutex>

#include <QDesktopServices>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QUrl>

#include "gfx/AccessibleParts.h"
#include "platform/Colors.h"
#include "platform/Gdi.h"

namespace quillane::controls {

namespace p = quillane::platform;

namespace {

std::function<void(const std::string&)>& ShellHook() {
  static std::function<void(const std::string&)> hook;
  return hook;
}

QFont ToQFont(const p::StdFont& font) {
  QFont f(QString::fromStdString(font.Name()));
  f.setPointSizeF(font.Size() > 0 ? font.Size() : 8.25);
  f.setBold(font.Bold());
  f.setItalic(font.Italic());
  f.setUnderline(font.Underline());
  f.setStrikeOut(font.Strikethrough());
  return f;
}

QColor ToQColor(p::OLE_COLOR color) {
  p::COLORREF rgb = 0;
  p::OleTranslateColor(color, 0, &rgb);
  return QColor::fromRgb(p::ToQRgb(rgb));
}

int PixelsX(float twips) { return static_cast<int>(std::lround(twips / p::TwipsPerPixelX())); }
int PixelsY(float twips) { return static_cast<int>(std::lround(twips / p::TwipsPerPixelY())); }

int ShiftState(Qt::KeyboardModifiers m) {
  return (m & Qt::ShiftModifier ? 1 : 0) | (m & Qt::ControlModifier ? 2 : 0) |
         (m & Qt::AltModifier ? 4 : 0);
}

int ButtonOf(Qt::MouseButtons b) {
  return (b & Qt::LeftButton ? 1 : 0) | (b & Qt::RightButton ? 2 : 0) |
         (b & Qt::MiddleButton ? 4 : 0);
}

// The control's own pointer: a hand.
const QCursor& LinkCursor() {
  static const QCursor cursor(Qt::PointingHandCursor);
  return cursor;
}

}  // namespace

HotLink::HotLink(QWidget* parent, p::Host* host)
    : QWidget(parent),
      ownHost_(host ? nullptr : std::make_unique<p::Host>()),
      host_(host ? host : ownHost_.get()) {
  setObjectName(QStringLiteral("HotLink"));
  setAutoFillBackground(true);
  label_ = new QLabel(this);
  label_->setObjectName(QStringLiteral("lblCaption"));
  label_->move(PixelsX(30), PixelsY(30));
  label_->installEventFilter(this);
  setMouseTracking(true);
  setFocusPolicy(Qt::TabFocus);
  // A link to assistive technology: its caption as name, Click as its action.
  static std::once_flag once;
  std::call_once(once, [] {
    gfx::RegisterAccessibleWidget(
        [](QWidget* widget, QAccessible::Role& role, QString& name) {
          auto* link = dynamic_cast<HotLink*>(widget);
          if (!link) return false;
          role = QAccessible::Link;
          name = QString::fromStdString(link->Caption());
          return true;
        },
        [](QWidget* widget) {
          if (auto* link = dynamic_cast<HotLink*>(widget); link && link->Click) link->Click();
        });
  });
  timer_.setInterval(500);
  connect(&timer_, &QTimer::timeout, this, [this] { hover_ = false; });
  InitProperties();
}

HotLink::~HotLink() = default;

void HotLink::SetShellHook(std::function<void(const std::string& file)> hook) {
  ShellHook() = std::move(hook);
}

void HotLink::InitProperties() {
  mouseP_ = true;
  hoverFont_ = host_->AmbientFont();
  defFont_ = host_->AmbientFont();
  hoverColor_ = 0xFF0000;
  caption_ = kDefaultCaption;
  normalColor_ = 0;
  label_->setFont(ToQFont(defFont_));
  label_->setText(QString::fromStdString(caption_));
  SetBackColor(backColor_);
  ApplyLook(false);
  ApplyPointer();
  ResizeToLabel();
}

void HotLink::ReadProperties(const p::PropertyBag& bag) {
  mouseP_ = bag.ReadBool("MouseP", true);
  QWidget::setEnabled(bag.ReadBool("Enabled", true));
  hoverColor_ = bag.ReadInt32("HoverColor", 0xFF0000);
  backColor_ = bag.ReadInt32("BackColor", static_cast<p::OLE_COLOR>(0x8000000F));
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, ToQColor(backColor_));
  setPalette(palette);
  label_->setPalette(palette);
  caption_ = bag.ReadString("Caption", kDefaultCaption);
  autoSize_ = bag.ReadBool("AutoSize", true);
  normalColor_ = bag.ReadInt32("NormalColor", 0);
  hoverFont_ = bag.ReadFont("HoverFont", host_->AmbientFont());
  defFont_ = bag.ReadFont("DefFont", host_->AmbientFont());
  label_->setFont(ToQFont(defFont_));
  label_->setText(QString::fromStdString(caption_));
  mousePointer_ = mouseP_ ? 99 : 0;
  ApplyPointer();
  ApplyLook(false);
  ResizeToLabel();
  if (host_->UserMode()) timer_.start();
}

void HotLink::WriteProperties(p::PropertyBag& bag) const {
  bag.WriteBool("MouseP", mouseP_, true);
  bag.WriteBool("Enabled", isEnabled(), true);
  bag.WriteInt32("HoverColor", hoverColor_, 0xFF0000);
  bag.WriteInt32("BackColor", backColor_, static_cast<p::OLE_COLOR>(0x8000000F));
  bag.WriteString("Caption", caption_, kDefaultCaption);
  bag.WriteBool("AutoSize", autoSize_, true);
  bag.WriteInt32("NormalColor", normalColor_, 0);
  bag.WriteFont("HoverFont", hoverFont_, host_->AmbientFont());
  bag.WriteFont("DefFont", defFont_, host_->AmbientFont());
}

void HotLink::SetCaption(const std::string& value) {
  caption_ = value;
  label_->setText(QString::fromStdString(value));
  ResizeToLabel();
  Changed("Caption");
}

void HotLink::SetNormalColor(p::OLE_COLOR value) {
  normalColor_ = value;
  ApplyLook(false);
  Changed("NormalColor");
}

void HotLink::SetHoverColor(p::OLE_COLOR value) {
  hoverColor_ = value;
  Changed("HoverColor");
}

void HotLink::SetDefFont(const p::StdFont& value) {
  defFont_ = value;
  Changed("Font");
}

void HotLink::SetHoverFont(const p::StdFont& value) {
  hoverFont_ = value;
  Changed("HoverFont");
}

void HotLink::SetBackColor(p::OLE_COLOR value) {
  backColor_ = value;
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, ToQColor(value));
  setPalette(palette);
  Changed("BackColor");
}

void HotLink::SetAutoSize(bool value) {
  autoSize_ = value;
  ResizeToLabel();
  Changed("AutoSize");
}

void HotLink::SetMouseP(bool value) {
  mouseP_ = value;  // the pointer follows when the properties are read again
  Changed("MouseP");
}

void HotLink::SetEnabled(bool value) {
  QWidget::setEnabled(value);
  Changed("Enabled");
}

void HotLink::Shell(const std::string& file, const std::string& /*parameters*/,
                    const std::string& /*directory*/, std::int32_t /*showCommand*/) {
  if (ShellHook()) {
    ShellHook()(file);
    return;
  }
  const QString text = QString::fromStdString(file);
  const QUrl url = QFileInfo::exists(text) ? QUrl::fromLocalFile(text) : QUrl::fromUserInput(text);
  QDesktopServices::openUrl(url);
}

void HotLink::ApplyLook(bool hover) {
  QPalette palette = label_->palette();
  palette.setColor(QPalette::WindowText, ToQColor(hover ? hoverColor_ : normalColor_));
  label_->setPalette(palette);
  label_->setFont(ToQFont(hover ? hoverFont_ : defFont_));
  label_->setText(QString::fromStdString(caption_));
  ResizeToLabel();
}

void HotLink::ApplyPointer() {
  if (mousePointer_ == 99) {
    setCursor(LinkCursor());
    label_->setCursor(LinkCursor());
  } else {
    unsetCursor();
    label_->unsetCursor();
  }
}

void HotLink::ResizeToLabel() {
  if (!autoSize_) return;
  label_->adjustSize();
  resize(label_->width() + PixelsX(40), label_->height() + PixelsY(40));
  updateGeometry();
}

void HotLink::HandleMouseMove(int button, int shift, float x, float y) {
  if (MouseMove) MouseMove(button, shift, x, y);
  const bool inside = x >= 0 && x <= width() && y >= 0 && y <= height();
  if (!inside) return Leave();
  Enter();
}

void HotLink::Enter() {
  if (hover_) return;
  hover_ = true;
  if (MouseEnter) MouseEnter();
  // While another window holds the pointer (a drag, an open popup) the look stays normal.
  const QWidget* holder = QWidget::mouseGrabber();
  if (!holder || holder == this) ApplyLook(true);
}

void HotLink::Leave() {
  hover_ = false;
  if (MouseExist) MouseExist();
  ApplyLook(false);
}

// The pointer may come onto the label first, whose moves are not the control's: the enter event
// comes to the control all the same.
void HotLink::enterEvent(QEnterEvent* event) {
  QWidget::enterEvent(event);
  Enter();
}

void HotLink::leaveEvent(QEvent* event) {
  QWidget::leaveEvent(event);
  Leave();
}

void HotLink::mouseMoveEvent(QMouseEvent* event) {
  const QPointF pos = event->position();
  HandleMouseMove(ButtonOf(event->buttons()), ShiftState(event->modifiers()),
                  static_cast<float>(pos.x()), static_cast<float>(pos.y()));
}

void HotLink::mousePressEvent(QMouseEvent* event) {
  pressed_ = event->button() == Qt::LeftButton;
  if (MouseDown)
    MouseDown(ButtonOf(event->button()), ShiftState(event->modifiers()),
              static_cast<float>(event->position().x()), static_cast<float>(event->position().y()));
}

void HotLink::mouseReleaseEvent(QMouseEvent* event) {
  const QPointF pos = event->position();
  if (MouseUp)
    MouseUp(ButtonOf(event->button()), ShiftState(event->modifiers()), static_cast<float>(pos.x()),
            static_cast<float>(pos.y()));
  const bool click =
      pressed_ && event->button() == Qt::LeftButton && rect().contains(pos.toPoint());
  pressed_ = false;
  if (click && Click) Click();
}

bool HotLink::eventFilter(QObject* watched, QEvent* event) {
  // A click on the label is a click on the control; moves over the label are not its own.
  if (watched == label_ && event->type() == QEvent::MouseButtonPress) {
    auto* e = static_cast<QMouseEvent*>(event);
    pressed_ = e->button() == Qt::LeftButton;
    return true;
  }
  if (watched == label_ && event->type() == QEvent::MouseButtonRelease) {
    auto* e = static_cast<QMouseEvent*>(event);
    const bool click = pressed_ && e->button() == Qt::LeftButton &&
                       label_->rect().contains(e->position().toPoint());
    pressed_ = false;
    if (click && Click) Click();
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

void HotLink::keyPressEvent(QKeyEvent* event) {
  const int key = event->key();
  if (key != Qt::Key_Return && key != Qt::Key_Enter && key != Qt::Key_Space)
    return QWidget::keyPressEvent(event);
  event->accept();
  if (Click) Click();
}

void HotLink::paintEvent(QPaintEvent* event) {
  QWidget::paintEvent(event);
  if (!hasFocus()) return;
  QPainter painter(this);
  painter.setPen(QPen(palette().color(QPalette::WindowText), 1, Qt::DotLine));
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void HotLink::focusInEvent(QFocusEvent* event) {
  QWidget::focusInEvent(event);
  update();
}

void HotLink::focusOutEvent(QFocusEvent* event) {
  QWidget::focusOutEvent(event);
  update();
}

}  // namespace quillane::controls
