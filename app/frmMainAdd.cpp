// The main window's adds: files chosen in the open dialog, dropped or named on the command line,
// and folders searched on a worker thread with the count in the status bar. What did not become a
// row is said: nothing found, or already listed.
#include <atomic>
#include <thread>

#include "app/frmMain.h"
#include "app/frmOptions.h"
#include "app/modWindow.h"
#include "convert/ConversionLog.h"
#include "files/Search.h"
#include "files/modFuntions.h"

namespace quillane::app {

bool frmMain::AskOptions() {
  sOutputDir = kCancelled;
  frmOptions dialog(this);
  dialog.exec();
  if (sOutputDir != kCancelled) return true;
  sOutputDir = bCustomDir ? sCustomDir : std::string();
  return false;
}

void frmMain::BrowseFiles() {
  const std::vector<std::string> chosen = ShowOpenDialog(this);
  if (chosen.empty()) return;
  if (!AskOptions()) return;
  AddFound(chosen, "");
}

void frmMain::AddDropped(const std::vector<std::string>& paths, bool ask) {
  if (Busy()) return;
  if (ask && !AskOptions()) return;
  std::vector<std::string> found, folders;
  for (const std::string& path : paths)
    (files::IsDirectory(path) ? folders : found).push_back(path);
  SearchAndAdd(std::move(found), std::move(folders), WorkbookPatterns(), true);
}

void frmMain::SearchAndAdd(std::vector<std::string> found, std::vector<std::string> folders,
                           std::vector<std::string> patterns, bool subfolders) {
  if (folders.empty()) {
    EndAdd(std::move(found), {});
    return;
  }
  // Folders are searched on a worker: one walk of each, every pattern at once.
  adding_ = true;
  addCancelled_ = false;
  SetPanel(2, "Now searching workbooks, please wait... (Esc or Stop cancels)");
  addThread_ = std::thread([this, found, folders, patterns, subfolders]() mutable {
    std::atomic<size_t> count{found.size()};
    files::SearchHooks hooks;
    hooks.keepGoing = [this] { return !addCancelled_.load(); };
    hooks.progress = [this, &count](const std::string& text) {
      if (text.empty() || (++count % 64) != 0) return;
      const std::string panel =
          "Now searching workbooks: " + std::to_string(count.load()) + " files so far...";
      QMetaObject::invokeMethod(
          this, [this, panel] { SetPanel(2, panel); }, Qt::QueuedConnection);
    };
    auto wanted = [&patterns](const std::string& path) {
      const std::string name = path.substr(path.find_last_of("/\\") + 1);
      for (const std::string& pattern : patterns)
        if (files::MatchesPattern(name, pattern)) return true;
      return false;
    };
    for (const std::string& folder : folders) {
      std::vector<std::string> all = subfolders ? files::SearchTree(folder, "*", hooks)
                                                : files::SearchFolder(folder, "*", hooks);
      for (std::string& path : all)
        if (wanted(path)) found.push_back(std::move(path));
    }
    QMetaObject::invokeMethod(
        this, [this, found, folders]() mutable { EndAdd(std::move(found), std::move(folders)); },
        Qt::QueuedConnection);
  });
}

void frmMain::EndAdd(std::vector<std::string> found, std::vector<std::string> folders) {
  if (addThread_.joinable()) addThread_.join();
  const bool cancelled = adding_ && addCancelled_;
  adding_ = false;
  std::string where;
  for (const std::string& folder : folders) where += (where.empty() ? "" : ", ") + folder;
  AddFound(found, where);
  if (cancelled)
    SetPanel(2, "The search was cancelled: " + std::to_string(found.size()) +
                    " workbooks found before it");
}

int frmMain::AddFound(const std::vector<std::string>& found, const std::string& where) {
  int added = 0, listed = 0;
  for (const std::string& path : found) {
    if (FileInList(path))
      ++listed;
    else
      added += AddFiles(path) ? 1 : 0;
  }
  ChangeFilesState();
  std::string said;
  if (found.empty() && !where.empty()) said = "No workbooks found in " + where;
  if (listed > 0) said = std::to_string(listed) + " already listed";
  if (listed > 0 && added > 0) said = std::to_string(added) + " added, " + said;
  SetPanel(2, said);
  if (!said.empty()) AppendLog(said);
  return added;
}

}  // namespace quillane::app
