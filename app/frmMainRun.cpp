// The main window's batch run: the checked rows are converted on the workers of an OrderedPool,
// each through ConvertWorkbook; the window's thread only records what they finish, in list order,
// so the window repaints and answers throughout.
#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScrollBar>

#include <algorithm>
#include <cstdio>

#include "app/frmMain.h"
#include "app/modMain.h"
#include "app/modWindow.h"
#include "controls/menu/xMenu.h"
#include "controls/toolbar/xToolbar.h"

namespace quillane::app {

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

std::string frmMain::Panel(int panel) const { return stBarPanel[panel - 1]->text().toStdString(); }

void frmMain::SetPanel(int panel, const std::string& text) {
  stBarPanel[panel - 1]->setText(Q(text));
}

std::string frmMain::LogText() const { return txtLog->toPlainText().toStdString(); }

std::string frmMain::LogPath() const {
  return logPath_.empty() ? convert::DefaultLogPath() : logPath_;
}

int frmMain::Jobs() const {
  return nJobs > 0 ? static_cast<int>(std::min<long>(nJobs, kMaxJobs)) : DefaultJobs();
}

convert::ConvertOptions frmMain::RunOptions() const {
  convert::ConvertOptions options;
  options.Overwrite = xMenu1->ItemChecked("mnuoverwrite");
  options.CreateFilesDir = xMenu1->ItemChecked("mnuCreateDir");
  options.Compress = xMenu1->ItemChecked("mnuCompress");
  options.Password = sPasswords;
  options.SheetRange = sSheets;
  options.WriteLog = xMenu1->ItemChecked("mnuLogfile");
  options.LogPath = LogPath();
  return options;
}

void frmMain::AppendLog(const std::string& line) {
  // One block more, not the whole text again: ten thousand lines cost what one does.
  txtLog->appendPlainText(Q(line));
}

void frmMain::SetBusyPointer(bool busy) {
  if (busy == busyPointer_) return;
  busyPointer_ = busy;
  if (busy)
    QApplication::setOverrideCursor(Qt::BusyCursor);
  else
    QApplication::restoreOverrideCursor();
}

void frmMain::SetRunCommands(bool running) {
  xToolbar1->SetButtonEnabled(5, !running);
  xToolbar1->SetButtonEnabled(6, running);
  xMenu1->Item(xMenu1->KeyToIndex("mnuStop")).Enabled = running;
}

void frmMain::StartConversion() {
  if (Busy()) return;
  long m = 0;
  for (int i = 1; i <= RowCount(); ++i) m += IsItemChecked(lstItem, i) ? 1 : 0;
  if (RowCount() == 0) {
    MsgBox(this, "Please add a task first!", vbInformation);
    return;
  }
  if (m < 1) {
    MsgBox(this, "No workbook is ticked: tick the rows to convert first.", vbInformation);
    return;
  }
  bConverting = true;
  SetRunCommands(true);
  pgbCompress->setValue(0);
  pgbCompress->setMaximum(static_cast<int>((m + 2) * 10));
  pgbCompress->show();
  SetPanel(1, "Initializing ...");
  SetPanel(2, "");
  SetBusyPointer(true);
  lstItem->setSelectionMode(QAbstractItemView::SingleSelection);
  runJobs_.clear();
  runLog_ = convert::RunLog();
  runRecorded_ = runConverted_ = runSkipped_ = runFailed_ = 0;
  runClock_.start();
  stopRun_ = false;
  pgbCompress->setValue(10);
  SetPanel(1, "Now Converting ...");
  for (int i = 1; i <= RowCount(); ++i) {
    if (!IsItemChecked(lstItem, i)) continue;
    QTreeWidgetItem* item = Row(i);
    runJobs_.push_back({item, item->text(colSource).toStdString(), OutputOf(i), {}});
  }
  runOptions_ = RunOptions();
  auto work = [this, pages = std::make_shared<convert::RunPages>()](size_t i) {
    RunJob& job = runJobs_[i];
    if (RunJobHook) RunJobHook(i);
    try {
      job.result = convert::ConvertWorkbook(job.source, job.target, runOptions_, *pages);
    } catch (const std::exception& error) {
      // Whatever escapes the conversion fails this row only, with its coded line.
      job.result.code = convert::LogCode::Failed;
      job.result.line = convert::Line103(job.source, error.what());
    }
  };
  auto changed = [this] {
    QMetaObject::invokeMethod(
        this, [this] { DrainRun(); }, Qt::QueuedConnection);
  };
  pool_ = std::make_unique<OrderedPool>(
      runJobs_.size(), static_cast<size_t>(Jobs()), work, [this] { return stopRun_.load(); },
      changed);
}

void frmMain::DrainRun() {
  if (!pool_) return;
  // Ended first: whatever finished before it is taken below.
  const bool ended = pool_->Ended();
  for (size_t job : pool_->TakeInOrder()) RecordRow(job);
  if (ended) FinishRun();
}

void frmMain::RecordRow(size_t job) {
  const RunJob& run = runJobs_[job];
  const convert::ConvertResult& result = run.result;
  QTreeWidgetItem* item = run.item;
  const int row = lstItem->indexOfTopLevelItem(item) + 1;
  ++runRecorded_;
  if (result.Converted()) {
    ++runConverted_;
    SetRowIcon(row, iconConverted);
    item->setToolTip(colState, QString());
    if (result.pages == 0) {
      item->setText(colState, QStringLiteral("No sheet"));
      item->setToolTip(colState, QStringLiteral("The sheet selection \"%1\" chose no sheet")
                                     .arg(Q(runOptions_.SheetRange)));
    } else {
      item->setText(colState, QStringLiteral("Done"));
      const std::string first = convert::PagePath(run.target, result.firstPage);
      item->setData(colTarget, kFirstPageRole, Q(first));
      item->setText(colTarget, result.pages > 1
                                   ? QStringLiteral("%1 (+%2)").arg(Q(first)).arg(result.pages - 1)
                                   : Q(first));
    }
  } else {
    ++(result.code == convert::LogCode::OutputExists ? runSkipped_ : runFailed_);
    SetRowIcon(row, iconFailed);
    item->setText(colState, QStringLiteral("Failure"));
    // The reason, as the log line gives it, shows over the row.
    const QString reason = Q(result.line).trimmed();
    for (int c = colSource; c <= colState; ++c) item->setToolTip(c, reason);
  }
  lstItem->setCurrentItem(item);
  lstItem->scrollToItem(item);
  runLog_.Gather(result.line);
  AppendLog(result.line);
  // The line keeps its text; the pane says beside it why no page came of it.
  if (result.Converted() && result.pages == 0)
    AppendLog("      " + item->toolTip(colState).toStdString() + ": " + run.source);
  SetPanel(1, "Now Converting ...     " + std::to_string(runRecorded_) + "/" +
                  std::to_string(runJobs_.size()));
  SetItemChecked(lstItem, row, false);
  pgbCompress->setValue(std::min(pgbCompress->maximum(), pgbCompress->value() + 10));
}

void frmMain::FinishRun() {
  pool_.reset();
  lstItem->setSelectionMode(QAbstractItemView::ExtendedSelection);
  pgbCompress->setValue(pgbCompress->maximum());
  if (xMenu1->ItemChecked("mnuLogfile") && !runLog_.Empty()) {
    std::string error;
    if (!runLog_.AppendTo(LogPath(), error))
      AppendLog("The log file could not be written: " + error);
  }
  if (!runJobs_.empty()) {
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.1f", runClock_.elapsed() / 1000.0);
    const std::string summary = std::to_string(runConverted_) + " converted, " +
                                std::to_string(runSkipped_) + " skipped, " +
                                std::to_string(runFailed_) + " failed in " + seconds + " s";
    const size_t left = runJobs_.size() - static_cast<size_t>(runRecorded_);
    AppendLog(left ? summary + " (stopped, " + std::to_string(left) + " not started)" : summary);
    SetPanel(2, left ? summary + " (stopped)" : summary);
  }
  runJobs_.clear();
  txtLog->moveCursor(QTextCursor::End);
  txtLog->moveCursor(QTextCursor::StartOfLine);
  SetRunCommands(false);
  pgbCompress->hide();
  bConverting = false;
  SetBusyPointer(false);
  ChangeFilesState();
}

void frmMain::StopConversion() {
  // No further workbook starts; those in progress finish and are recorded, then the run ends.
  stopRun_ = true;
  SetPanel(1, "Stopping...");
  SetBusyPointer(false);
}

}  // namespace quillane::app
