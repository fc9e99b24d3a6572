// frmAddFolder: the dialog that searches a folder, optionally with its subfolders, for workbooks
// of a chosen pattern and adds what it finds to the task list. It is kept (hidden) between uses,
// so its fields stay as the user left them.
#pragma once

#include <string>
#include <vector>

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QToolButton;

namespace quillane::app {

class frmMain;

class frmAddFolder : public QDialog {
 public:
  explicit frmAddFolder(frmMain* owner);

  QComboBox* cobType = nullptr;
  QCheckBox* chkSubFolder = nullptr;
  QRadioButton* opnDir[2] = {nullptr, nullptr};
  QLineEdit* txtPath = nullptr;
  QToolButton* cmdBrowse = nullptr;
  QLineEdit* txtSourcePath = nullptr;
  QToolButton* cmdSourceDir = nullptr;
  QPushButton* cmdOK = nullptr;
  QPushButton* cmdCancel = nullptr;
  void OK();
  void Cancel();
  void BrowseSource();
  void BrowseOutput();

 protected:
  void showEvent(QShowEvent* event) override;
  void reject() override { Cancel(); }

 private:
  void OptionChanged();
  frmMain* owner_;
};

// The patterns of a pattern text: "*.xls;*.xlt;*.xlw" gives its three parts; blanks around a part
// are dropped, empty parts left out.
std::vector<std::string> SplitPatterns(const std::string& text);

}  // namespace quillane::app
