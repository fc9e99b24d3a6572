// The batch run of the main window over repository workbooks: row states, icons, check boxes, the
// log pane and the log file, stopping, the guard against other commands, and closing during a run.
#include <gtest/gtest.h>

#include <QProgressBar>

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
  // Calls `during` once, from inside the run, when row `row` is taken up.
  void DuringRow(int row, std::function<void()> during) {
    files::SetDoEventsHook([this, row, during, done = false]() mutable {
      QCoreApplication::processEvents();
      if (!done && w->bConverting &&
          w->Panel(1) == "Now Converting ...     " + std::to_string(row - 1) + "/" +
                             std::to_string(w->RowCount())) {
        done = true;
        during();
      }
    });
  }
};

}  // namespace

TEST_F(WindowRun, ThreeRowsWithTheSecondFailingAndOneLogAppend) {
  AddRows(3, 2);
  w->StartConversion();
  EXPECT_EQ(State(1), "Done");
  EXPECT_EQ(State(2), "Failure");
  EXPECT_EQ(State(3), "Done");
  EXPECT_EQ(w->RowIconOf(1), app::iconConverted);
  EXPECT_EQ(w->RowIconOf(2), app::iconReady);
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
  EXPECT_EQ(std::count(pane.begin(), pane.end(), '\n'), 4);
  EXPECT_EQ(w->Panel(1), "");
  EXPECT_FALSE(w->bConverting);
  EXPECT_FALSE(w->pgbCompress->isVisible());
  EXPECT_TRUE(w->xToolbar1->ButtonEnabled(5));
  EXPECT_FALSE(w->xToolbar1->ButtonEnabled(6));
  EXPECT_FALSE(w->xMenu1->Item(w->xMenu1->KeyToIndex("mnuStop")).Enabled);
  // A second run without checked rows is refused.
  w->StartConversion();
  EXPECT_EQ(boxes, (std::vector<std::string>{"Please add a task first!"}));
}

TEST_F(WindowRun, StopDuringRowTwoOfFiveFinishesRowTwoAndKeepsTheRest) {
  AddRows(5);
  DuringRow(2, [this] {
    EXPECT_TRUE(w->xToolbar1->ButtonEnabled(6));
    EXPECT_FALSE(w->xToolbar1->ButtonEnabled(5));
    w->ToolbarButtonClick(6, "stop");
  });
  w->StartConversion();
  EXPECT_EQ(boxes, (std::vector<std::string>{"Do you want to cancel all runing tasks "}));
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
  DuringRow(2, [this] {
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
    answers = {app::vbCancel, app::vbCancel};
    w->MenuItemClick("mnuStop");       // Cancel: dropped
    w->ToolbarButtonClick(6, "stop");  // Cancel: the run goes on
    EXPECT_TRUE(w->bConverting);
    EXPECT_FALSE(w->Timer2.isActive());
    w->MenuItemClick("mnuStop");  // OK: deferred through Timer2
    EXPECT_EQ(w->Timer2Tag, "mnustop");
    Settle(150);
    EXPECT_FALSE(w->bConverting);
    EXPECT_EQ(w->Panel(1), "Stopping...");
  });
  w->StartConversion();
  EXPECT_EQ(boxes.size(), 3u);
  EXPECT_EQ(w->RowCount(), 3);
  EXPECT_EQ(State(2), "Done");
  EXPECT_EQ(State(3), "Ready");
}

TEST_F(WindowRun, ClosingDuringARunAsksAndWritesTheLogOfWhatWasDone) {
  AddRows(3);
  DuringRow(2, [this] {
    answers = {app::vbCancel};
    w->close();
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(w->bConverting);
    answers = {app::vbOK};
    w->close();
    EXPECT_FALSE(w->isVisible());
  });
  w->StartConversion();
  EXPECT_EQ(boxes, (std::vector<std::string>(
                       2, "Do you want to cancel all runing tasks and close the software? ")));
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
  w->StartConversion();
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
  w->StartConversion();
  EXPECT_EQ(State(1), "Done");
  EXPECT_TRUE(std::filesystem::exists(temp / "book1_2.htm"));
  EXPECT_FALSE(std::filesystem::exists(temp / "book1_1.htm"));
  EXPECT_FALSE(std::filesystem::exists(temp / "book1_2.files"));
  // Overwrite off: the second run skips the existing output with line 101.
  std::ofstream(temp / "book1.htm") << "old";
  app::SetItemChecked(w->lstItem, 1, true);
  w->ChangeFilesState();
  w->RunMenuCommand("mnuoverwrite");
  w->StartConversion();
  EXPECT_NE(w->LogText().find("  101, "), std::string::npos) << w->LogText();
}

}  // namespace quillane::test
