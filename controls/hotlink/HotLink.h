// HotLink: a label that behaves as a link. While the mouse is over it the text takes the hover
// colour and font, until the pointer leaves the control (its leave event: no pointer grab); a
// 500 ms timer clears the hover flag so that MouseEnter is raised again on the next move. Shell
// opens a document or address with the desktop. The design lives in the host's property bag.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include <QLabel>
#include <QTimer>
#include <QWidget>

#include "platform/Host.h"
#include "platform/PropertyBag.h"
#include "platform/StdFont.h"
#include "platform/Types.h"

namespace quillane::controls {

class HotLink : public QWidget {
 public:
  static constexpr const char* kDefaultCaption = "https://quillane.example.org/";

  // A new instance placed at design time (InitProperties). The host defaults to one of its own.
  explicit HotLink(QWidget* parent = nullptr, platform::Host* host = nullptr);
  ~HotLink() override;

  // --- properties ---------------------------------------------------------------------------
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& value);
  platform::OLE_COLOR NormalColor() const { return normalColor_; }
  void SetNormalColor(platform::OLE_COLOR value);
  platform::OLE_COLOR HoverColor() const { return hoverColor_; }
  void SetHoverColor(platform::OLE_COLOR value);
  const platform::StdFont& DefFont() const { return defFont_; }
  void SetDefFont(const platform::StdFont& value);
  const platform::StdFont& HoverFont() const { return hoverFont_; }
  void SetHoverFont(const platform::StdFont& value);
  platform::OLE_COLOR BackColor() const { return backColor_; }
  void SetBackColor(platform::OLE_COLOR value);
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool value);
  bool MouseP() const { return mouseP_; }
  void SetMouseP(bool value);
  bool Enabled() const { return isEnabled(); }
  void SetEnabled(bool value);

  // Opens `file` with the desktop's program for it (an address with the browser or mail program).
  // The result of the shell is not reported.
  void Shell(const std::string& file, const std::string& parameters, const std::string& directory,
             std::int32_t showCommand);
  // Replaces what Shell does (tests); an empty function restores the desktop's opener.
  static void SetShellHook(std::function<void(const std::string& file)> hook);

  // --- events --------------------------------------------------------------------------------
  std::function<void()> MouseExist;
  std::function<void()> Click;
  std::function<void(int button, int shift, float x, float y)> MouseDown;
  std::function<void(int button, int shift, float x, float y)> MouseMove;
  std::function<void(int button, int shift, float x, float y)> MouseUp;
  std::function<void()> MouseEnter;

  // --- design ---------------------------------------------------------------------------------
  void InitProperties();
  void ReadProperties(const platform::PropertyBag& bag);
  void WriteProperties(platform::PropertyBag& bag) const;

  // --- state, for the host and tests -----------------------------------------------------------
  bool Hovered() const { return hover_; }
  QLabel* lblCaption() const { return label_; }
  QTimer& Timer1() { return timer_; }
  // The pointer the control shows: 99 (its own) or 0 (the default).
  int MousePointer() const { return mousePointer_; }
  // The mouse-move rule with x and y in the control's pixels (what a move event runs).
  void HandleMouseMove(int button, int shift, float x, float y);
  // Layouts keep the size the control gave itself.
  QSize sizeHint() const override { return size(); }
  QSize minimumSizeHint() const override { return size(); }

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  // The link is a stop of the Tab order: Enter or Space raise Click, the focus shows a dotted
  // frame around the text.
  void keyPressEvent(QKeyEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  void ApplyLook(bool hover);
  // The pointer is on the control: MouseEnter and the hover look, once until Leave or the timer.
  void Enter();
  // The pointer is off the control: MouseExist and the normal look.
  void Leave();
  void ApplyPointer();
  void ResizeToLabel();
  void Changed(const char* key) const { host_->PropertyChanged(key); }

  std::unique_ptr<platform::Host> ownHost_;
  platform::Host* host_;
  QLabel* label_;
  QTimer timer_;
  std::string caption_ = kDefaultCaption;
  platform::OLE_COLOR normalColor_ = 0;
  platform::OLE_COLOR hoverColor_ = 0xFF0000;
  platform::StdFont defFont_;
  platform::StdFont hoverFont_;
  platform::OLE_COLOR backColor_ = static_cast<platform::OLE_COLOR>(0x8000000F);
  bool autoSize_ = true;
  bool mouseP_ = true;
  bool hover_ = false;
  bool pressed_ = false;
  int mousePointer_ = 99;
};

}  // namespace quillane::controls
