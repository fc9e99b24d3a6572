// frmMain: the main window. It holds the task list of workbooks, the owner-drawn menu bar and
// toolbar, the popup menu of the list, the status bar, the conversion log pane and the progress
// bar, and runs every command deferred through one of two 100 ms timers. A batch run converts the
// checked rows on worker threads through the same ConvertWorkbook and ordered pool the command
// line uses; the window's own thread only records what they finish.
#pragma once

#include <QElapsedTimer>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <QTreeWidget>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

#include "app/OrderedPool.h"
#include "app/frmAddFolder.h"
#include "convert/ConversionLog.h"
#include "convert/ConvertOptions.h"
#include "convert/ConvertWorkbook.h"

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
struct Command;

// The task list: a report list whose list events go to the main window.
class TaskList : public QTreeWidget {
 public:
  explicit TaskList(frmMain* owner);

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  frmMain* owner_;
};

// Columns of the task list.
enum TaskColumn { colSource = 0, colTarget = 1, colSize = 2, colDate = 3, colState = 4 };
// The row icons: converted since the program started, not converted, and failed in the last run.
enum RowIcon { iconConverted = 1, iconReady = 2, iconFailed = 3 };
// Where a row keeps its output path (the page names come from it) and its first page written.
inline constexpr int kOutputRole = Qt::UserRole + 1;
inline constexpr int kFirstPageRole = Qt::UserRole + 2;

class frmMain : public QMainWindow {
 public:
  frmMain();
  ~frmMain() override;

  // --- public state shared with the dialogs -----------------------------------------------------
  bool bConverting = false;
  int nJobs = 0;  // workbooks converted at a time; 0: one per core
  // Called on a worker just before it converts the run's job (0-based), for tests to hold it.
  std::function<void(size_t)> RunJobHook;
  std::string sOutputDir;   // empty: beside the source; "\" (kCancelled): the dialog was cancelled
  std::string sCustomDir;   // the custom output folder chosen last, kept until changed
  bool bCustomDir = false;  // the options put new rows' pages into sCustomDir
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
  // The output path a row converts to, and the first page it wrote (empty before).
  std::string OutputOf(int row) const;
  std::string FirstPageOf(int row) const;
  void OpenPage();          // the first page of the current row, with the desktop's browser
  void OpenOutputFolder();  // the folder of the current row's pages
  int RowCount() const;
  QTreeWidgetItem* Row(int row) const;
  int RowIconOf(int row) const;
  void SetRowIcon(int row, int icon);
  // Workbooks and folders given from outside (dropped, or named on the command line): files are
  // added as they are, folders are searched for every workbook format with their subfolders on a
  // worker thread, with the count in the status bar; Stop or Esc cancels the search. With
  // `ask`, the options dialog comes first and nothing is added when it is cancelled.
  void AddDropped(const std::vector<std::string>& paths, bool ask = true);
  // Adds `found`, then what a search of `folders` (with their subfolders when asked) finds that
  // matches one of `patterns`; the search runs on a worker thread.
  void SearchAndAdd(std::vector<std::string> found, std::vector<std::string> folders,
                    std::vector<std::string> patterns, bool subfolders);
  // Adds found workbooks as rows and says what did not become one: none found in `where`, or
  // some already listed. Returns the rows added.
  int AddFound(const std::vector<std::string>& found, const std::string& where);
  // A run or an add is in progress: commands that change the list, the options or the switches
  // are refused.
  bool Busy() const { return bConverting || adding_; }
  bool Adding() const { return adding_; }
  void CancelAdd() { addCancelled_ = true; }

  // --- commands ------------------------------------------------------------------------------
  // What the menu control's ItemClick and the toolbar's ButtonClick do: guard, then defer.
  void MenuItemClick(const std::string& name);
  void ToolbarButtonClick(int index, const std::string& key);
  void RunMenuCommand(const std::string& name);
  // The one guard of every command: during a run or an add only Stop passes; anything else is
  // refused with a word in the status bar. `command` is in lower case.
  bool Allowed(const std::string& command);
  void RunToolbarCommand(const std::string& key);
  // A command's shortcut pressed anywhere in the window: as a click on its menu item.
  void Shortcut(const Command& command);
  void ShowPopupAt(const QPoint& listPos);
  void BrowseFiles();
  void ShowAddFolder();
  void ShowOptions();
  // The options dialog before an add; false (and the kept output folder) when it is cancelled.
  bool AskOptions();
  void ShowAbout();

  // --- the run ---------------------------------------------------------------------------------
  void StartConversion();
  void StopConversion();
  // The workbooks converted at a time by the next run.
  int Jobs() const;
  // The switches of the run from the menu's check marks and the window's state.
  convert::ConvertOptions RunOptions() const;
  // Where the run appends its log lines (DefaultLogPath unless a test says otherwise).
  std::string LogPath() const;
  void SetLogPath(std::string path) { logPath_ = std::move(path); }
  // Text of status bar panel 1 to 3.
  std::string Panel(int panel) const;
  void SetPanel(int panel, const std::string& text);
  std::string LogText() const;
  // Adds a line at the end of the log pane.
  void AppendLogLine(const std::string& line) { AppendLog(line); }
  frmAddFolder* AddFolderDialog() const { return addFolder_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void BuildList();
  void BuildPopup();
  void BuildShortcuts();
  void BuildStatusBar();
  void LoadDesigns();
  // The docked toolbar as long as its buttons, or as the window allows.
  void FitToolbar();
  void AppendLog(const std::string& line);
  void SetBusyPointer(bool busy);
  void SetRunCommands(bool running);
  void SwapRows(int i, int j);
  void Unload();
  void LoadSettings();
  void SaveSettings() const;
  void SetTarget(QTreeWidgetItem* item, const std::string& output);
  static std::string ListKey(const std::string& path);
  // The run: records what the workers finished, in list order, and ends the run after the last.
  void DrainRun();
  void RecordRow(size_t job);
  void FinishRun();
  void EndAdd(std::vector<std::string> found, std::vector<std::string> folders);

  // One checked row of the run and what its conversion gave.
  struct RunJob {
    QTreeWidgetItem* item = nullptr;
    std::string source, target;
    convert::ConvertResult result;
  };
  std::vector<RunJob> runJobs_;
  convert::ConvertOptions runOptions_;
  std::unique_ptr<OrderedPool> pool_;
  std::atomic<bool> stopRun_{false};
  convert::RunLog runLog_;
  int runRecorded_ = 0, runConverted_ = 0, runSkipped_ = 0, runFailed_ = 0;
  QElapsedTimer runClock_;

  bool adding_ = false;
  std::atomic<bool> addCancelled_{false};
  std::thread addThread_;
  std::unordered_set<std::string> listed_;  // the sources of the rows, as ListKey spells them

  QAction* mnuRemove_ = nullptr;
  QAction* mnuOutputDir_ = nullptr;
  QAction* mnuOpenPage_ = nullptr;
  QAction* mnuOpenFolder_ = nullptr;
  QPointer<frmAddFolder> addFolder_;
  std::string logPath_;
  bool busyPointer_ = false;
  int toolbarLength_ = 0;  // the docked toolbar's length with every button shown
  bool unloaded_ = false;
};

// Lower-cases ASCII letters.
std::string LowerCase(std::string text);

}  // namespace quillane::app
