// The main window with real key events where the focus is: the menu bar's access keys, the
// window's shortcuts from any widget, Esc's question during a run, the toolbar in the Tab order,
// Shift+F10 over the list, and the texts the keys show in the menus and tooltips.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include <QGroupBox>
#include <QMenu>
#include <QPlainTextEdit>

#include "WindowTestUtil.h"
#include "app/Commands.h"
#include "app/frmAbout.h"
#include "controls/hotlink/HotLink.h"
#include "controls/menu/wMenu.h"

namespace quillane::test {

namespace {

class WindowKeys : public WindowTest {
 protected:
  void Rows(const std::vector<std::string>& paths) {
    for (const std::string& p : paths) ASSERT_TRUE(w->AddFiles(p));
    w->ChangeFilesState();
  }
  void SetUp() override {
    WindowTest::SetUp();
    w->activateWindow();
    w->lstItem->setFocus();
    Settle();
  }
};

}  // namespace

TEST_F(WindowKeys, TheMenuBarByKeysRunsItsCommands) {
  Key(Qt::Key_O, Qt::AltModifier);  // Options
  controls::wMenu* popup = w->xMenu1->Popup();
  ASSERT_NE(popup, nullptr);
  EXPECT_EQ(popup->HotItem(), w->xMenu1->KeyToIndex("mnuLogfile"));
  Key(Qt::Key_Down);
  Key(Qt::Key_Down);
  Key(Qt::Key_Down);
  EXPECT_EQ(popup->HotItem(), w->xMenu1->KeyToIndex("mnuCompress"));
  Key(Qt::Key_Return);
  Settle(150);
  EXPECT_TRUE(w->xMenu1->ItemChecked("mnuCompress"));
  EXPECT_EQ(QApplication::focusWidget(), w->lstItem);
  // F10, Right to Edit, the access key of Invert Selection.
  Rows({Book("examples/notes.xls", "a.xls")});
  Key(Qt::Key_F10);
  Key(Qt::Key_Right);
  Key(Qt::Key_Down);
  Key(Qt::Key_I);
  Settle(150);
  EXPECT_EQ(w->Panel(1), "");
  EXPECT_FALSE(w->xMenu1->KeyMode());
  // Esc closes the menu back to the bar; the next leaves the bar, before the window's Esc.
  Key(Qt::Key_F, Qt::AltModifier);
  ASSERT_NE(w->xMenu1->Popup(), nullptr);
  Key(Qt::Key_Escape);
  EXPECT_EQ(w->xMenu1->Popup(), nullptr);
  EXPECT_TRUE(w->xMenu1->KeyMode());
  Key(Qt::Key_Escape);
  EXPECT_FALSE(w->xMenu1->KeyMode());
  EXPECT_EQ(QApplication::focusWidget(), w->lstItem);
}

TEST_F(WindowKeys, ShortcutsWorkFromAnyWidgetOfTheWindow) {
  Rows({Book("examples/notes.xls", "a.xls"), Book("examples/staff-rota.xls", "b.xls")});
  Key(Qt::Key_F1);
  w->txtLog->setFocus();
  Key(Qt::Key_F1);
  EXPECT_EQ(opened, (std::vector<std::string>(2, app::HelpPath())));
  // Ctrl+A ticks every row; in the log pane it is the pane's own Select All.
  w->lstItem->setFocus();
  app::SetItemChecked(w->lstItem, 1, false);
  w->ChangeFilesState();
  Key(Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(w->Panel(1), "2 Selected file(s)  ");
  // Del removes the highlighted row; Ctrl+O opens the file dialog (nothing chosen).
  w->lstItem->setCurrentItem(w->Row(1));
  Key(Qt::Key_Delete);
  EXPECT_EQ(w->RowCount(), 1);
  openFiles = {};
  Key(Qt::Key_O, Qt::ControlModifier);
  EXPECT_EQ(w->RowCount(), 1);
  // Ctrl+Shift+O: the add-folder dialog, cancelled.
  OnModal([](QWidget* d) { Press(d, "cmdCancel"); });
  Key(Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
  ASSERT_NE(w->AddFolderDialog(), nullptr);
  EXPECT_FALSE(w->AddFolderDialog()->isVisible());
  w->activateWindow();  // the offscreen platform gives the activation back to no window
  w->lstItem->setFocus();
  Settle();
  // Esc while idle does nothing (Stop is greyed); F5 converts; Ctrl+Q closes.
  Key(Qt::Key_Escape);
  EXPECT_TRUE(boxes.empty());
  w->lstItem->setFocus();
  Key(Qt::Key_F5);
  WaitIdle();
  EXPECT_EQ(State(1), "Done");
  w->lstItem->setFocus();
  Key(Qt::Key_Q, Qt::ControlModifier);
  EXPECT_FALSE(w->isVisible());
}

TEST_F(WindowKeys, EscDuringARunAsksFirstAndTheToolbarIsInTheTabOrder) {
  Rows({Book("examples/notes.xls", "a.xls"), Book("examples/staff-rota.xls", "b.xls")});
  // The run is held on its first workbook while Esc is pressed: Cancel, then OK.
  std::atomic<bool> release{false};
  w->nJobs = 1;
  w->RunJobHook = [&](size_t) {
    while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  };
  w->StartConversion();
  ASSERT_TRUE(w->bConverting);
  answers = {app::vbCancel};
  Key(Qt::Key_Escape);
  EXPECT_EQ(w->Panel(1).find("Stopping"), std::string::npos);
  Key(Qt::Key_Escape);
  EXPECT_EQ(w->Panel(1), "Stopping...");
  EXPECT_EQ(boxes, (std::vector<std::string>(2, "Do you want to cancel all running tasks ")));
  release = true;
  WaitIdle();
  w->RunJobHook = nullptr;
  // Shift+Tab from the list reaches the toolbar; Right, Right, Space: Remove.
  w->lstItem->setFocus();
  w->lstItem->setCurrentItem(w->Row(2));
  Key(Qt::Key_Backtab, Qt::ShiftModifier);
  ASSERT_EQ(QApplication::focusWidget(), w->xToolbar1);
  EXPECT_EQ(w->xToolbar1->FocusButton(), 1);
  Key(Qt::Key_Right);
  Key(Qt::Key_Right);
  Key(Qt::Key_Space);
  Settle(150);
  EXPECT_EQ(w->RowCount(), 1);
  // Shift+F10 over the list opens its popup menu on the current row.
  w->lstItem->setFocus();
  w->lstItem->setCurrentItem(w->Row(1));
  Key(Qt::Key_F10, Qt::ShiftModifier);
  ASSERT_TRUE(w->mnuPopup->isVisible());
  EXPECT_TRUE(w->mnuPopup->findChild<QAction*>(QStringLiteral("mnuRemove"))->isEnabled());
  EXPECT_EQ(w->mnuPopup->findChild<QAction*>(QStringLiteral("mnuRemove"))->shortcut(),
            QKeySequence(Qt::Key_Delete));
  w->mnuPopup->hide();
}

TEST_F(WindowKeys, TheAboutBoxLinksAreTabStopsThatEnterOpens) {
  std::vector<std::string> shelled;
  controls::HotLink::SetShellHook([&](const std::string& file) { shelled.push_back(file); });
  app::frmAbout about(w.get());
  about.show();
  about.activateWindow();
  about.findChild<QWidget*>(QStringLiteral("cmdOK"))->setFocus();
  Settle();
  // OK is the default button; Tab goes round OK, the web site, the mail address.
  Key(Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), about.HotLink1);
  Key(Qt::Key_Return);
  Key(Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), about.HotLink2);
  Key(Qt::Key_Space);
  EXPECT_EQ(shelled,
            (std::vector<std::string>{app::WebsiteAddress(), "mailto:" + app::SupportAddress()}));
  EXPECT_TRUE(about.isVisible());
  controls::HotLink::SetShellHook({});
}

}  // namespace quillane::test
