// The window side's shell, dialog and list helpers: message boxes, the open-file dialog, the
// folder browser, opening documents with the desktop, the check boxes of the task list, and the
// start of window mode. Every dialog goes through a replaceable function so that tests can answer
// it without a person at the screen.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QSettings;
class QTreeWidget;
class QWidget;

namespace quillane::app {

// The application title every message box of the program carries.
inline constexpr const char* kAppTitle = "Quillane";

// Message box buttons and icons, with the values the program's boxes are described by.
enum MsgStyle : int {
  vbOKOnly = 0,
  vbOKCancel = 1,
  vbCritical = 16,
  vbQuestion = 32,
  vbInformation = 64,
  vbDefaultButton2 = 256,
};
enum MsgResult : int { vbOK = 1, vbCancel = 2 };

// Shows a modal message box; returns vbOK or vbCancel.
int MsgBox(QWidget* owner, const std::string& text, int style,
           const std::string& title = kAppTitle);
// The open-file dialog with multiple selection and the workbook filter: the chosen paths, or none
// when the user cancelled.
std::vector<std::string> ShowOpenDialog(QWidget* owner);
// The folder browser: the chosen folder, or the empty text when the user cancelled.
std::string BrowseForFolder(QWidget* owner, const std::string& title, int flags = 0);
// Opens a file or an address (http:, mailto:) with the desktop's program for it.
void ShellOpen(const std::string& target);

// Replaces the dialogs above (tests answer them); an empty function restores the real one.
struct DialogHooks {
  std::function<int(const std::string& text, int style, const std::string& title)> msgBox;
  std::function<std::vector<std::string>()> openDialog;
  std::function<std::string(const std::string& title)> browseForFolder;
  std::function<void(const std::string& target)> shellOpen;
};
void SetDialogHooks(DialogHooks hooks);

// The filter of the open-file dialog, in the dialog's own syntax.
std::string OpenDialogFilter();
// The file patterns of every workbook format read: the .xls family, then the newer formats.
const std::vector<std::string>& WorkbookPatterns();
// Whether a file name has the extension of a workbook format read (any case).
bool IsWorkbookName(const std::string& path);

// The program's settings: in the desktop's usual place, or in the file SetSettingsPath names (tests
// give each window a file of its own; the empty path restores the usual place).
std::unique_ptr<QSettings> OpenSettings();
void SetSettingsPath(const std::string& path);

// The task list's check boxes; rows are numbered from 1.
void EnableListCheckBoxes(QTreeWidget* list);
// True unless the row's check box is exactly unchecked: a row without a check box counts as
// checked.
bool IsItemChecked(QTreeWidget* list, int row);
void SetItemChecked(QTreeWidget* list, int row, bool checked);

// The product's addresses (build settings).
std::string WebsiteAddress();
std::string SupportAddress();
// The program's HTML help: beside the program, or in the installed data folder.
std::string HelpPath();

// The workbooks and folders named after "--window" (made absolute against the current folder);
// none when the first argument is not "--window".
std::vector<std::string> WindowArguments(int argc, char** argv);

// Window mode: the main window until it is gone, with the
// workbooks and folders of "--window FILE..." in its task list. Returns the process's exit status.
int WindowMain(int argc, char** argv);

}  // namespace quillane::app
