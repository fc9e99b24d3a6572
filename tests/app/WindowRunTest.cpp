// The batch run of the main window over repository workbooks: row states, icons, check boxes, the
// log pane and the log file, stopping, the guard against other commands, and closing during a run.
#include <gtest/gtest.h>

#include <QMenu>
#include <QProgressBar>

#include <condition_variable>
#include <mutex>

#include "WindowTestUtil.h"
#include "files/modFuntions.h"

namespace quillane::test {

namespace {

class WindowRun : public WindowTest {
 protected:
  // Rows of good workbooks, with `bad` (1-based) not a workbook.
  void AddRows(int count, int bad = 0) {
    for (int i = 1; i <= count; ++i) {
      const std::string name = "book" + std::to_string(i) + ".xls";
      ASSERT_TRUE(w->AddFiles(
          Book(i == bad ? "tests/data/cli/not-a-workbook.xls" : "tests/data/cli/three-sheets.xls",
               name)));
    }
    w->ChangeFilesState();
  }
  // One workbook at a time; `during` runs on the window's thread while the worker holds row
  // `row` (1-based, all rows checked), then the run goes on and the test waits for its end.
  void RunWith(int row, std::function<void()> during) {
    w->nJobs = 1;
    std::mutex mutex;
    std::condition_variable cv;
    bool held = false, released = false;
    w->RunJobHook = [&](size_t job) {
      if (static_cast<int>(job) != row - 1) return;
      std::unique_lock lock(mutex);
      held = true;
      cv.wait(lock, [&] { return released; });
    };
    w->StartConversion();
    for (int i = 0; i < 20000; ++i) {
      std::lock_guard lock(mutex);
      if (held) break;
      QTest::qWait(1);
    }
    Settle(20);
    during();
    {
      std::lock_guard lock(mutex);
      released = true;
    }
    cv.notify_all();
    WaitIdle();
    w->RunJobHook = nullptr;
  }
  void Run() {
    w->StartConversion();
    WaitIdle();
  }
};

}  // namespace

TEST_F(WindowRun, ThreeRowsWithTheSecondFailingAndOneLogAppend) {
  AddRows(3, 2);
  Run();
  EXPECT_EQ(State(1), "Done");
  EXPECT_EQ(State(2), "Failure");
  EXPECT_EQ(State(3), "Done");
  EXPECT_EQ(w->RowIconOf(1), app::iconConverted);
  EXPECT_EQ(w->RowIconOf(2), app::iconFailed);
  // The reason shows over the failed row; the Target column names the pages written.
  EXPECT_NE(w->Row(2)->toolTip(app::colState).toStdString().find("103, "), std::string::npos);
  EXPECT_EQ(w->Row(1)->text(app::colTarget).toStdString(), temp / "book1_1.htm (+2)");
  for (int i = 1; i <= 3; ++i) EXPECT_FALSE(Checked(i));
  EXPECT_TRUE(std::filesystem::exists(temp / "book1_1.htm"));
  EXPECT_TRUE(std::filesystem::exists(temp / "book3_3.htm"));
  const std::string log = ReadAll(temp / "run.log");
  ASSERT_EQ(std::count(log.begin(), log.end(), '\n'), 3);
  EXPECT_EQ(log.substr(log.size() - 2), "\r\n");
  EXPECT_NE(log.find("  100, Successfully convert " + temp / "book1.xls"), std::string::npos);
  EXPECT_NE(log.find("  103, "), std::string::npos);
  const std::string pane = w->LogText();
  EXPECT_EQ(pane.rfind("Ready...\n\n", 0), 0u);
  EXPECT_EQ(std::count(pane.begin(), pane.end(), '\n'), 5);
  EXPECT_NE(pane.find("\n2 converted, 0 skipped, 1 failed in "), std::string::npos) << pane;
  EXPECT_EQ(w->Panel(2).rfind("2 converted, 0 skipped, 1 failed in ", 0), 0u);
  EXPECT_EQ(w->Panel(1), "");
  EXPECT_FALSE(w->bConverting);
  EXPECT_FALSE(w->pgbCompress->isVisible());
  EXPECT_TRUE(w->xToolbar1->ButtonEnabled(5));
  EXPECT_FALSE(w->xToolbar1->ButtonEnabled(6));
  EXPECT_FALSE(w->xMenu1->Item(w->xMenu1->KeyToIndex("mnuStop")).Enabled);
  // A second run without checked rows is refused.
  w->StartConversion();
  EXPECT_EQ(boxes,
            (std::vector<std::string>{"No workbook is ticked: tick the rows to convert first."}));
}

TEST_F(WindowRun, StopDuringRowTwoOfFiveFinishesRowTwoAndKeepsTheRest) {
  AddRows(5);
  RunWith(2, [this] {
    EXPECT_TRUE(w->xToolbar1->ButtonEnabled(6));
    EXPECT_FALSE(w->xToolbar1->ButtonEnabled(5));
    w->ToolbarButtonClick(6, "stop");
  });
  EXPECT_EQ(boxes, (std::vector<std::string>{"Do you want to cancel all running tasks "}));
  EXPECT_EQ(State(1), "Done");
  EXPECT_EQ(State(2), "Done");
  for (int i = 3; i <= 5; ++i) {
    EXPECT_EQ(State(i), "Ready");
    EXPECT_TRUE(Checked(i));
  }
  EXPECT_EQ(w->Panel(1), "3 Selected file(s)  ");
}

TEST_F(WindowRun, TheGuardIgnoresCommandsAndAsksBeforeStopping) {
  AddRows(3);
  RunWith(2, [this] {
    EXPECT_EQ(State(1), "Done");  // recorded while row 2 is converted: the window answers
    w->MenuItemClick("mnuAddFile");
    w->ToolbarButtonClick(3, "Remove");
    EXPECT_FALSE(w->Timer1.isActive());
    EXPECT_FALSE(w->Timer2.isActive());
    // Commands chosen just before the run tick during it and are ignored, so are list keys.
    w->RunMenuCommand("mnuclear");
    w->RunToolbarCommand("remove");
    w->Row(3)->setSelected(true);
    QTest::keyClick(w->lstItem, Qt::Key_Delete);
    EXPECT_EQ(w->RowCount(), 3);
    // Double-click, popup, drop and the check boxes are refused too.
    w->lstItem->setCurrentItem(w->Row(3));
    w->RetargetSelected();
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    const QRect box = w->lstItem->visualItemRect(w->Row(3));
    QTest::mouseClick(w->lstItem->viewport(), Qt::LeftButton, {}, box.topLeft() + QPoint(8, 8));
    EXPECT_TRUE(Checked(3));
    QTest::mouseClick(w->lstItem->viewport(), Qt::RightButton, {}, box.center());
    EXPECT_FALSE(w->mnuPopup->isVisible());
    w->AddDropped({temp / "book1.xls"}, false);
    EXPECT_FALSE(w->Adding());
    answers = {app::vbCancel, app::vbCancel};
    w->MenuItemClick("mnuStop");       // Cancel: dropped
    w->ToolbarButtonClick(6, "stop");  // Cancel: the run goes on
    EXPECT_TRUE(w->bConverting);
    EXPECT_FALSE(w->Timer2.isActive());
    w->MenuItemClick("mnuStop");  // OK: deferred through Timer2
    EXPECT_EQ(w->Timer2Tag, "mnuStop");
    Settle(150);
    // The workbook in progress finishes before the run ends.
    EXPECT_TRUE(w->bConverting);
    EXPECT_EQ(w->Panel(1), "Stopping...");
  });
  EXPECT_EQ(boxes.size(), 3u);
  EXPECT_EQ(w->RowCount(), 3);
  EXPECT_EQ(State(2), "Done");
  EXPECT_EQ(State(3), "Ready");
}

TEST_F(WindowRun, ClosingDuringARunAsksAndWritesTheLogOfWhatWasDone) {
  AddRows(3);
  RunWith(2, [this] {
    answers = {app::vbCancel};
    w->close();
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(w->bConverting);
    answers = {app::vbOK};
    w->close();
    EXPECT_FALSE(w->isVisible());
  });
  EXPECT_EQ(boxes, (std::vector<std::string>(
                       2, "Do you want to cancel all running tasks and close the software? ")));
  EXPECT_EQ(State(2), "Done");
  EXPECT_EQ(State(3), "Ready");
  const std::string log = ReadAll(temp / "run.log");
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 2);
}

TEST_F(WindowRun, WithoutTheLogSwitchThePaneStillShowsEveryLineAndSkippedRowsStay) {
  AddRows(3);
  app::SetItemChecked(w->lstItem, 2, false);
  w->ChangeFilesState();
  w->RunMenuCommand("mnuLogfile");
  EXPECT_FALSE(w->xMenu1->ItemChecked("mnuLogfile"));
  // The target of row 3 vanished: the run marks it and goes on.
  std::filesystem::remove(temp / "book3.xls");
  Run();
  EXPECT_FALSE(std::filesystem::exists(temp / "run.log"));
  EXPECT_EQ(State(1), "Done");
  EXPECT_EQ(State(2), "Ready");
  EXPECT_EQ(w->RowIconOf(2), app::iconReady);
  EXPECT_EQ(State(3), "Failure");
  EXPECT_NE(w->LogText().find("  102, "), std::string::npos);
  EXPECT_NE(w->LogText().find("  100, "), std::string::npos);
}

TEST_F(WindowRun, SwitchesAndTheOptionsReachTheConversion) {
  AddRows(1);
  w->sSheets = " 2 ";
  w->RunMenuCommand("mnucompress");
  w->RunMenuCommand("mnuCreateDir");
  const convert::ConvertOptions options = w->RunOptions();
  EXPECT_TRUE(options.Compress);
  EXPECT_FALSE(options.CreateFilesDir);
  EXPECT_TRUE(options.Overwrite);
  Run();
  EXPECT_EQ(State(1), "Done");
  EXPECT_TRUE(std::filesystem::exists(temp / "book1_2.htm"));
  EXPECT_FALSE(std::filesystem::exists(temp / "book1_1.htm"));
  EXPECT_FALSE(std::filesystem::exists(temp / "book1_2.files"));
  // Overwrite off: the second run skips the workbook whose page exists with line 101.
  app::SetItemChecked(w->lstItem, 1, true);
  w->ChangeFilesState();
  w->RunMenuCommand("mnuoverwrite");
  Run();
  EXPECT_NE(w->LogText().find("  101, "), std::string::npos) << w->LogText();
  EXPECT_EQ(w->Panel(2).rfind("0 converted, 1 skipped, 0 failed", 0), 0u);
  // A selection that chooses no sheet is said in the row and the pane; the log line stays.
  w->sSheets = "9";
  w->RunMenuCommand("mnuoverwrite");
  app::SetItemChecked(w->lstItem, 1, true);
  w->ChangeFilesState();
  Run();
  EXPECT_EQ(State(1), "No sheet");
  EXPECT_NE(w->LogText().find("The sheet selection \"9\" chose no sheet: " + temp / "book1.xls"),
            std::string::npos);
}

}  // namespace quillane::test
