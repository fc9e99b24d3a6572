// frmMain: the main window. It holds the task list of workbooks, the owner-drawn menu bar and
// toolbar, the popup menu of the list, the status bar, the conversion log pane and the progress
// bar, and runs every command deferred through one of two 100 ms timers. A batch run converts the
// checked rows through the same ConvertWorkbook the command line uses.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <QTreeWidget>

#include <string>
#include <vector>

#include "app/frmAddFolder.h"
#include "convert/ConvertOptions.h"

class QGroupBox;
class QLabel;
class QMenu;
class QAction;
class QPlainTextEdit;
class QProgressBar;

namespace quillane::controls {
class xMenu;
class xToolbar;
}  // namespace quillane::controls

namespace quillane::app {

class frmMain;

// The task list: a report list whose list events go to the main window.
class TaskList : public QTreeWidget {
 public:
  explicit TaskList(frmMain* owner);

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  frmMain* owner_;
};

// Columns of the task list.
enum TaskColumn { colSource = 0, colTarget = 1, colSize = 2, colDate = 3, colState = 4 };
// The two row icons: converted since the program started, and not converted.
enum RowIcon { iconConverted = 1, iconReady = 2 };

class frmMain : public QMainWindow {
 public:
  frmMain();
  ~frmMain() override;

  // --- public state shared with the dialogs -----------------------------------------------------
  bool bConverting = false;
  std::string sOutputDir;  // empty: beside the source; "\" (kCancelled): the dialog was cancelled
  std::string sPasswords;
  std::string sSheets;
  static constexpr const char* kCancelled = "\\";

  // --- controls ----------------------------------------------------------------------------------
  controls::xMenu* xMenu1 = nullptr;
  controls::xToolbar* xToolbar1 = nullptr;
  TaskList* lstItem = nullptr;
  QMenu* mnuPopup = nullptr;
  QPlainTextEdit* txtLog = nullptr;
  QGroupBox* fraLog = nullptr;
  QProgressBar* pgbCompress = nullptr;
  QLabel* stBarPanel[3] = {nullptr, nullptr, nullptr};
  QTimer Timer1;
  QTimer Timer2;
  std::string Timer1Tag;
  std::string Timer2Tag;

  // --- task list (the rows are numbered from 1)
  // ----------------------------------------------------
  bool AddFiles(const std::string& path);
  bool FileInList(const std::string& path) const;
  void ChangeFilesState();
  void RemoveSelected();
  void ClearList();
  void SelectAll(bool checked);
  void InvertSelection();
  void MoveUp();
  void MoveDown();
  void RetargetSelected();  // the double-click on a row
  int RowCount() const;
  QTreeWidgetItem* Row(int row) const;
  int RowIconOf(int row) const;
  void SetRowIcon(int row, int icon);
  // Workbooks and folders given from outside (dropped from the file manager): files are added as
  // they are, folders are searched for the three workbook patterns with their subfolders. The
  // options dialog is asked first; nothing is added when it is cancelled. Returns the rows added.
  int AddDropped(const std::vector<std::string>& paths);

  // --- commands ------------------------------------------------------------------------------
  // What the menu control's ItemClick and the toolbar's ButtonClick do: guard, then defer.
  void MenuItemClick(const std::string& name);
  void ToolbarButtonClick(int index, const std::string& key);
  void RunMenuCommand(const std::string& name);
  void RunToolbarCommand(const std::string& key);
  void ShowPopupAt(const QPoint& listPos);
  void BrowseFiles();
  void ShowAddFolder();
  void ShowOptions();
  void ShowAbout();

  // --- the run ---------------------------------------------------------------------------------
  void StartConversion();
  void StopConversion();
  // The switches of the run from the menu's check marks and the window's state.
  convert::ConvertOptions RunOptions() const;
  // Where the run appends its log lines (DefaultLogPath unless a test says otherwise).
  std::string LogPath() const;
  void SetLogPath(std::string path) { logPath_ = std::move(path); }
  // Text of status bar panel 1 to 3.
  std::string Panel(int panel) const;
  void SetPanel(int panel, const std::string& text);
  std::string LogText() const;
  frmAddFolder* AddFolderDialog() const { return addFolder_; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildList();
  void BuildPopup();
  void BuildStatusBar();
  void LoadDesigns();
  void AppendLog(const std::string& line);
  void SetBusyPointer(bool busy);
  void SetRunCommands(bool running);
  void SwapRows(int i, int j);
  void Unload();

  QAction* mnuRemove_ = nullptr;
  QAction* mnuOutputDir_ = nullptr;
  QPointer<frmAddFolder> addFolder_;
  std::string logPath_;
  bool busyPointer_ = false;
  bool unloaded_ = false;
};

// Lower-cases ASCII letters.
std::string LowerCase(std::string text);

}  // namespace quillane::app
