#pragma once
// frmTooltip: the library's one tooltip window, a borderless tooltip of the window it is shown for
// (its transient parent, so that the platform places it relative to that window) holding one label
// (lblTip) just below the pointer. It hides itself when the pointer touches it and when its 100 ms
// timer finds that the active window is no longer the one it was shown for.
#include <string>

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include "platform/StdFont.h"

namespace quillane::controls {

class frmTooltip : public QWidget {
 public:
  frmTooltip();
  ~frmTooltip() override;
  frmTooltip(const frmTooltip&) = delete;
  frmTooltip& operator=(const frmTooltip&) = delete;

  // lblTip: its caption, font and place in pixels (45 and 30 twips from the window's left and top).
  const std::string& LabelCaption() const { return caption_; }
  QRect LabelRect() const { return label_; }
  QWidget* OwnerWindow() const { return owner_; }

  void SetLabel(const std::string& caption, const platform::StdFont* font);
  // The window the tooltip is shown for, its transient parent.
  void SetOwnerWindow(QWidget* owner);
  // The window as drawn (frame, background and label).
  QImage Render() const;

 protected:
  void paintEvent(QPaintEvent* e) override;
  void enterEvent(QEnterEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;

 private:
  void OnTimer();

  std::string caption_ = "TipLabel";
  platform::StdFont font_;
  QRect label_;
  QPointer<QWidget> owner_;
  QTimer timer_;
};

// Shows text in the library's tooltip window below the pointer, kept on the screen, without
// activating it; remembers ownerWindow (the active window) and the toolbar it is shown for.
// False when it could not be shown.
bool ShowTooltip(const std::string& text, QWidget* ownerWindow, const platform::StdFont* font,
                 const void* toolbar = nullptr);
// Unloads the tooltip window if there is one.
void HideTooltip();
// The window while it exists, and the toolbar it was shown for.
frmTooltip* CurrentTooltip();
const void* TooltipOwner();

}  // namespace quillane::controls
