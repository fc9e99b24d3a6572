#pragma once
// wToolBar: the top-level window in which a toolbar floats. It mirrors the toolbar's buttons by
// key (btn: push buttons, ch: check boxes), can be dragged by its client area, and keeps telling
// the toolbar where the pointer is relative to the toolbar's home container.
#include <string>
#include <vector>

#include <QPointer>
#include <QRect>
#include <QTimer>
#include <QWidget>

class QAbstractButton;
class QCheckBox;
class QPushButton;

namespace quillane::controls {

class xToolbar;

class wToolBar : public QWidget {
 public:
  wToolBar();
  ~wToolBar() override;
  wToolBar(const wToolBar&) = delete;
  wToolBar& operator=(const wToolBar&) = delete;

  // The toolbar this window floats for.
  QPointer<xToolbar> CurrentUC;

  // Mirror controls; each one's Tag is the key of the toolbar button it stands for.
  std::vector<QPushButton*> btn;
  std::vector<QCheckBox*> ch;
  QPushButton* AddBtn(const std::string& tag);
  QCheckBox* AddCh(const std::string& tag);
  static std::string Tag(const QAbstractButton* control);

  // The index of the first check box whose Tag is the key (exact comparison); -1 when none.
  int FindChByKey(const std::string& key) const;
  // The window-moved check of the 1 ms timer (also callable directly).
  void Tick();
  // Places the mirror controls in one flow, buttons first.
  void LayoutControls();
  // The height that the flow needs at the present width.
  int FlowHeight() const;

  // The one open floating window of the program, or nullptr.
  static wToolBar* Instance();

 protected:
  void resizeEvent(QResizeEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;

 private:
  void BtnClick(std::size_t n);
  void ChClick(std::size_t n);

  std::string guard_;
  QRect last_;
  QTimer Timer1;
  QPoint grab_;
};

}  // namespace quillane::controls
