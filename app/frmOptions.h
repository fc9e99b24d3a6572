// frmOptions: the modal dialog for the output folder of rows being added or retargeted, the sheet
// selection and the password. It stores its results in the main window's public state; a caller
// that needs to know whether it was confirmed sets sOutputDir to "\" before showing it.
#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QSpinBox;
class QRadioButton;
class QToolButton;

class QGroupBox;

namespace quillane::app {

class frmMain;

class frmOptions : public QDialog {
 public:
  explicit frmOptions(frmMain* owner);

  // Chooses "Custom Directory" with this folder before the dialog is shown (no folder browser).
  void SelectCustomDirectory(const std::string& folder);

  QLineEdit* txtSheets = nullptr;
  QRadioButton* opnDir[2] = {nullptr, nullptr};
  QLineEdit* txtPath = nullptr;
  QToolButton* cmdBrowse = nullptr;
  QLineEdit* Text1 = nullptr;  // the password, masked unless "Show" is ticked
  QCheckBox* chkShowPassword = nullptr;
  QSpinBox* spnJobs = nullptr;  // workbooks converted at a time

  void Browse();
  void Confirm();

 private:
  void OptionChanged();
  frmMain* owner_;
};

// Whether a custom output folder can be used: an existing folder, or a missing one the user agrees
// to have made (asked in a message box). Says what is wrong otherwise.
bool CheckOutputFolder(QWidget* owner, const std::string& folder);

// A small folder picture for the browse buttons of the dialogs.
QIcon FolderPicture();

// The "Output Directory" group both dialogs show: "Same as Input Directory", "Custom Directory",
// the path and its browse button (path and button disabled until the custom choice is made).
QGroupBox* MakeOutputGroup(QWidget* parent, QRadioButton* (&opnDir)[2], QLineEdit*& txtPath,
                           QToolButton*& cmdBrowse);

}  // namespace quillane::app
