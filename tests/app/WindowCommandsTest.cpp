// The main window's commands: the stored designs, the deferred dispatch from real clicks on the
// menu bar and the toolbar, every command of the two tables and the popup menu, the task list
// operations, the options and add-folder dialogs, and files dropped on the list.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QUrl>

#include "WindowTestUtil.h"
#include "app/frmAbout.h"
#include "app/frmAddFolder.h"
#include "app/frmOptions.h"
#include "controls/menu/wMenu.h"
#include "files/modFuntions.h"

namespace quillane::test {

namespace {

void ClickOption(QRadioButton* option) {
  QTest::mouseClick(option, Qt::LeftButton, {}, QPoint(8, option->height() / 2));
}

class Window : public WindowTest {
 protected:
  // Chooses an item of the menu bar with real clicks: its top-level item, then the item itself.
  void Choose(const std::string& name) {
    controls::xMenu* menu = w->xMenu1;
    const int index = menu->KeyToIndex(name);
    int root = index;
    while (menu->Item(root).Ident > 0) --root;
    QTest::mouseClick(menu, Qt::LeftButton, {}, Centre(menu->Item(root)));
    Settle();
    ASSERT_NE(menu->Popup(), nullptr);
    QTest::mouseClick(menu->Popup(), Qt::LeftButton, {}, Centre(menu->Item(index)));
    Settle();
  }
  void ClickButton(int index) {
    controls::xToolbar* bar = w->xToolbar1;
    const QPoint at(
        static_cast<int>(bar->ButtonClientLeft(index) + bar->ButtonClientWidth(index) / 2),
        static_cast<int>(bar->ButtonClientTop(index) + bar->ButtonClientHeight(index) / 2));
    QTest::mouseMove(bar, at);
    QTest::mouseClick(bar, Qt::LeftButton, {}, at);
  }
  std::vector<std::string> ThreeBooks() {
    return {Book("examples/notes.xls", "a.xls"), Book("examples/staff-rota.xls", "b.xls"),
            Book("examples/quarterly-sales.xls", "c.xls")};
  }
  void Rows(const std::vector<std::string>& paths) {
    for (const std::string& p : paths) ASSERT_TRUE(w->AddFiles(p));
    w->ChangeFilesState();
  }
};

}  // namespace

TEST_F(Window, TheStoredDesignsGiveTheMenuAndTheToolbar) {
  controls::xMenu* menu = w->xMenu1;
  ASSERT_EQ(menu->Count(), 37);
  EXPECT_EQ(menu->Style(), 1);
  EXPECT_EQ(menu->HighLightStyle(), 0);
  EXPECT_EQ(menu->Spacing(), 18);
  // Captions, shortcuts and tooltips come from the window's one table of commands.
  EXPECT_EQ(menu->Item(menu->KeyToIndex("mnuRemovefile")).Caption, "&Remove File\tDel");
  EXPECT_EQ(menu->Item(menu->KeyToIndex("mnuAddFolder")).Caption, "Add F&older...\tCtrl+Shift+O");
  EXPECT_TRUE(menu->ItemChecked("mnuLogfile") && menu->ItemChecked("mnuCreateDir") &&
              menu->ItemChecked("mnuOverwrite"));
  EXPECT_FALSE(menu->ItemChecked("mnuCompress"));
  EXPECT_FALSE(menu->Item(menu->KeyToIndex("mnuStop")).Enabled);
  controls::xToolbar* bar = w->xToolbar1;
  ASSERT_EQ(bar->ButtonCount(), 10);
  EXPECT_EQ(bar->ButtonKey(5), "Extract");
  EXPECT_EQ(bar->ButtonToolTipText(5), "Convert the ticked workbooks (F5)");
  EXPECT_EQ(bar->ButtonCaption(2), "  Folder  ");
  EXPECT_EQ(bar->ButtonStyle(7), controls::tbrSeparator);
  EXPECT_FALSE(bar->ButtonEnabled(6));
  EXPECT_TRUE(bar->DoubleTopBorder() && bar->DoubleBottomBorder());
  EXPECT_EQ(w->Panel(3), "Total 0 Files");
  EXPECT_EQ(w->LogText(), "Ready...\n");
  EXPECT_EQ(w->windowTitle().toStdString(), "Quillane");
}

TEST_F(Window, RealClicksAreDeferredAndOnlyTheSecondOfTwoQuickOnesRuns) {
  Choose("mnuSall");
  Choose("mnuCompress");
  EXPECT_TRUE(w->Timer2.isActive());
  EXPECT_FALSE(w->xMenu1->ItemChecked("mnuCompress"));  // not inside the click
  Settle(150);
  EXPECT_TRUE(w->xMenu1->ItemChecked("mnuCompress"));
  EXPECT_EQ(w->Panel(3), "Total 0 Files");  // Select All never ran (it would have counted the rows)
  Choose("mnuCompress");
  Settle(150);
  EXPECT_FALSE(w->xMenu1->ItemChecked("mnuCompress"));
  // Toolbar: "Help" then "Homepage" within 100 ms opens only the web site.
  ClickButton(8);
  ClickButton(9);
  Settle(150);
  EXPECT_EQ(opened, (std::vector<std::string>{app::WebsiteAddress()}));
}

TEST_F(Window, EveryMenuAndToolbarCommandPath) {
  Rows(ThreeBooks());
  // Switches, help, addresses, the log.
  w->RunMenuCommand("mnuhelpfile");
  w->RunMenuCommand("mnuwebsite");
  w->RunMenuCommand("mnusupport");
  w->RunMenuCommand("mnuviewlog");  // no log yet: nothing
  std::ofstream(temp / "run.log") << "x";
  w->RunMenuCommand("mnuviewlog");
  w->RunToolbarCommand("help");
  w->RunToolbarCommand("home");
  w->RunToolbarCommand("email");
  w->RunToolbarCommand("stop");
  w->RunToolbarCommand("nothing");
  const std::string mail = "mailto:" + app::SupportAddress();
  EXPECT_EQ(opened, (std::vector<std::string>{app::HelpPath(), app::WebsiteAddress(), mail,
                                              temp / "run.log", app::HelpPath(),
                                              app::WebsiteAddress(), mail}));
  w->RunMenuCommand("mnuclearlog");
  EXPECT_EQ(w->LogText(), "");
  // Selection commands act on the check boxes.
  w->RunMenuCommand("mnuSnone");
  EXPECT_EQ(w->Panel(1), "");
  w->RunMenuCommand("mnuinvert");
  EXPECT_EQ(w->Panel(1), "3 Selected file(s)  ");
  // Move and remove act on the highlighted rows.
  w->lstItem->setCurrentItem(w->Row(1));
  w->RunMenuCommand("mnumovedown");
  EXPECT_EQ(w->Row(2)->text(0).toStdString(), temp / "a.xls");
  w->RunMenuCommand("mnumoveup");
  EXPECT_EQ(w->Row(1)->text(0).toStdString(), temp / "a.xls");
  w->RunToolbarCommand("remove");
  EXPECT_EQ(w->RowCount(), 2);
  w->Row(1)->setSelected(true);
  w->RunMenuCommand("mnuremovefile");
  EXPECT_EQ(w->RowCount(), 1);
  // The dialogs: Output, About (closed with a real click on OK).
  OnModal([](QWidget* d) { Press(d, "cmdCancel"); });
  w->RunMenuCommand("mnuoutput");
  OnModal([](QWidget* d) {
    EXPECT_EQ(d->objectName(), "frmAbout");
    Press(d, "cmdOK");
  });
  w->RunMenuCommand("mnuabout");
  // Add File and the toolbar's Add: the open-file dialog, then the options.
  openFiles = {Book("tests/data/cli/three-sheets.xls", "d.xls")};
  OnModal([](QWidget* d) { Press(d, "cmdOK"); });
  w->RunToolbarCommand("add");
  EXPECT_EQ(w->RowCount(), 2);
  // Extract starts the run.
  w->RunToolbarCommand("extract");
  WaitIdle();
  EXPECT_EQ(State(2), "Done");
  // Clear asks; Cancel keeps the rows.
  answers = {app::vbCancel};
  w->RunMenuCommand("mnuclear");
  EXPECT_EQ(w->RowCount(), 2);
  w->RunMenuCommand("mnuclear");
  EXPECT_EQ(w->RowCount(), 0);
  EXPECT_EQ(w->Panel(3), "Total 0 Files");
  EXPECT_EQ(boxes, (std::vector<std::string>(2, "Do you want to clear all tasks? ")));
  w->RunMenuCommand("mnuclear");  // empty: asks nothing
  EXPECT_EQ(boxes.size(), 2u);
  w->RunMenuCommand("mnuexit");
  EXPECT_FALSE(w->isVisible());
}

TEST_F(Window, ThePopupMenuEnablesItsRowItemsOnlyOverARowAndRunsMenuCommands) {
  Rows(ThreeBooks());
  const QRect row = w->lstItem->visualItemRect(w->Row(2));
  QTest::mouseClick(w->lstItem->viewport(), Qt::RightButton, {}, row.center());
  ASSERT_TRUE(w->mnuPopup->isVisible());
  auto action = [this](const char* name) {
    return w->mnuPopup->findChild<QAction*>(QString::fromLatin1(name));
  };
  EXPECT_TRUE(action("mnuRemove")->isEnabled());
  w->mnuPopup->hide();
  QTest::mouseClick(w->lstItem->viewport(), Qt::RightButton, {},
                    QPoint(5, w->lstItem->viewport()->height() - 3));
  EXPECT_FALSE(action("mnuRemove")->isEnabled());
  EXPECT_FALSE(action("mnuOutputDir")->isEnabled());
  w->mnuPopup->hide();
  action("mnuSelectNone")->trigger();
  EXPECT_EQ(w->Timer2Tag, "mnuSnone");
  Settle(150);
  EXPECT_EQ(w->Panel(1), "");
  action("mnuLog")->trigger();
  Settle(150);
  EXPECT_EQ(w->LogText(), "Ready...\n");
}

TEST_F(Window, TaskListRowsTargetsDuplicatesAndCheckBoxesThatTravel) {
  const std::vector<std::string> books = ThreeBooks();
  Book("examples/notes.xls", "sub/b.c.xls");
  EXPECT_TRUE(w->AddFiles(books[0]));
  EXPECT_FALSE(w->AddFiles(books[0]));              // already listed
  EXPECT_FALSE(w->AddFiles(temp / "missing.xls"));  // gone
  // Paths compare as the file system does: on Linux A.XLS is another file.
  std::filesystem::copy_file(books[0], temp / "A.XLS");
  EXPECT_TRUE(w->AddFiles(temp / "A.XLS"));
  w->sOutputDir = temp / "out";
  EXPECT_TRUE(w->AddFiles(temp / "sub/b.c.xls"));
  EXPECT_EQ(Target(1), temp / "a.htm");
  EXPECT_EQ(Target(3), temp / "out/b.c.htm");
  EXPECT_EQ(State(3), "Ready");
  // Moving the first row up and the last row down does nothing.
  w->lstItem->setCurrentItem(w->Row(1));
  w->MoveUp();
  EXPECT_EQ(w->Row(1)->text(0).toStdString(), books[0]);
  w->lstItem->setCurrentItem(w->Row(3));
  w->MoveDown();
  EXPECT_EQ(w->Row(3)->text(0).toStdString(), temp / "sub/b.c.xls");
  // A checked row moved past an unchecked one keeps its check box.
  app::SetItemChecked(w->lstItem, 2, false);
  w->lstItem->setCurrentItem(w->Row(1));
  QTest::keyClick(w->lstItem, Qt::Key_Right, Qt::ControlModifier);
  EXPECT_EQ(w->Row(2)->text(0).toStdString(), books[0]);
  EXPECT_TRUE(Checked(2));
  EXPECT_FALSE(Checked(1));
  // Delete removes the highlighted rows; F5 without rows checked asks for a task.
  w->lstItem->clearSelection();
  w->Row(1)->setSelected(true);
  QTest::keyClick(w->lstItem, Qt::Key_Delete);
  EXPECT_EQ(w->RowCount(), 2);
  EXPECT_EQ(w->Panel(3), "Total 2 Files");
  // Ticking the current row that shows the converted icon (Space) gives it the plain icon again.
  app::SetItemChecked(w->lstItem, 1, false);
  w->SetRowIcon(1, app::iconConverted);
  w->lstItem->setCurrentItem(w->Row(1));
  QTest::keyClick(w->lstItem, Qt::Key_Space);
  EXPECT_TRUE(Checked(1));
  EXPECT_EQ(w->RowIconOf(1), app::iconReady);
  // A row without any check box counts as checked.
  w->Row(1)->setData(0, Qt::CheckStateRole, QVariant());
  EXPECT_TRUE(Checked(1));
}

TEST_F(Window, DoubleClickRetargetsThroughTheOptionsDialogOrOpensAConvertedPage) {
  Rows({Book("examples/notes.xls", "src/a.xls")});
  w->Row(1)->setData(app::colTarget, app::kOutputRole,
                     QString::fromStdString(temp / "elsewhere/a.htm"));
  w->lstItem->setCurrentItem(w->Row(1));
  // The target lies outside the source's folder: the dialog comes preset with the target's folder,
  // without a folder browser.
  OnModal([&](QWidget* d) {
    auto* options = static_cast<app::frmOptions*>(d);
    EXPECT_TRUE(options->opnDir[1]->isChecked());
    EXPECT_EQ(options->txtPath->text().toStdString(), temp / "elsewhere/");
    options->txtPath->setText(QString::fromStdString(temp / "out"));
    Press(d, "cmdOK");
  });
  const QRect row = w->lstItem->visualItemRect(w->Row(1));
  QTest::mouseDClick(w->lstItem->viewport(), Qt::LeftButton, {}, row.center());
  Settle();
  EXPECT_TRUE(browsed.empty());
  // The missing folder is made when the user agrees.
  EXPECT_EQ(boxes, (std::vector<std::string>{"The output folder " + temp / "out" +
                                             " does not exist. Create it?"}));
  EXPECT_TRUE(std::filesystem::is_directory(temp / "out"));
  boxes.clear();
  EXPECT_EQ(Target(1), temp / "out/a.htm");
  EXPECT_EQ(w->sOutputDir, temp / "out");
  // Cancelled: the target stays.
  OnModal([](QWidget* d) { Press(d, "cmdCancel"); });
  w->RetargetSelected();
  EXPECT_EQ(Target(1), temp / "out/a.htm");
  // A converted row opens its first page, and the popup its folder.
  w->SetRowIcon(1, app::iconConverted);
  w->Row(1)->setData(app::colTarget, app::kFirstPageRole, QString::fromStdString(temp / "a_1.htm"));
  w->RetargetSelected();
  EXPECT_EQ(boxes, (std::vector<std::string>{"This row has no page yet: convert it first."}));
  std::ofstream(temp / "a_1.htm") << "page";
  w->RetargetSelected();
  EXPECT_EQ(opened, (std::vector<std::string>{temp / "a_1.htm"}));
  w->mnuPopup->findChild<QAction*>(QStringLiteral("mnuOpenFolder"))->trigger();
  EXPECT_EQ(opened.back(), temp / "out");
}

TEST_F(Window, OptionsDialogKeepsWhatWasConfirmedOnly) {
  OnModal([](QWidget* d) {
    auto* options = static_cast<app::frmOptions*>(d);
    options->Text1->setText("secret");
    options->txtSheets->setText("1,3");
    ClickOption(options->opnDir[1]);  // browser cancelled with an empty path
    EXPECT_TRUE(options->opnDir[0]->isChecked());
    EXPECT_FALSE(options->txtPath->isEnabled());
    Press(d, "cmdOK");
  });
  w->ShowOptions();
  EXPECT_EQ(browsed, (std::vector<std::string>{"Select output folder:"}));
  EXPECT_EQ(w->sPasswords, "secret");
  EXPECT_EQ(w->sSheets, "1,3");
  EXPECT_EQ(w->sOutputDir, "");
  OnModal([](QWidget* d) {
    auto* options = static_cast<app::frmOptions*>(d);
    EXPECT_EQ(options->Text1->text(), "secret");
    EXPECT_TRUE(options->opnDir[0]->isChecked());
    options->txtSheets->setText("9");
    Press(d, "cmdCancel");
  });
  w->ShowOptions();
  EXPECT_EQ(w->sSheets, "1,3");
}

TEST_F(Window, TheCustomFolderStaysChosenThePasswordIsMaskedAndTheJobCountIsKept) {
  folderAnswer = temp / "mine";
  answers = {app::vbCancel};  // not made: the dialog stays open
  OnModal([](QWidget* d) {
    auto* options = static_cast<app::frmOptions*>(d);
    EXPECT_EQ(options->Text1->echoMode(), QLineEdit::Password);
    QTest::mouseClick(options->chkShowPassword, Qt::LeftButton);
    EXPECT_EQ(options->Text1->echoMode(), QLineEdit::Normal);
    ClickOption(options->opnDir[1]);
    options->spnJobs->setValue(1);
    Press(d, "cmdOK");
    EXPECT_TRUE(d->isVisible());
    Press(d, "cmdOK");  // made now
  });
  w->ShowOptions();
  EXPECT_TRUE(std::filesystem::is_directory(temp / "mine"));
  EXPECT_EQ(w->Jobs(), 1);
  // The next add offers the same folder; OK without looking puts the pages there.
  openFiles = {Book("examples/notes.xls", "a.xls")};
  OnModal([](QWidget* d) {
    EXPECT_TRUE(static_cast<app::frmOptions*>(d)->opnDir[1]->isChecked());
    Press(d, "cmdOK");
  });
  w->BrowseFiles();
  EXPECT_EQ(Target(1), temp / "mine/a.htm");
}

TEST_F(Window, BrowseFilesSaysWhatWasAlreadyListedAndAddsNothingWhenCancelled) {
  const std::vector<std::string> books = ThreeBooks();
  Rows({books[1]});
  openFiles = books;
  OnModal([](QWidget* d) { Press(d, "cmdCancel"); });
  w->BrowseFiles();
  EXPECT_EQ(w->RowCount(), 1);
  folderAnswer = temp / "out";
  OnModal([](QWidget* d) {
    ClickOption(static_cast<app::frmOptions*>(d)->opnDir[1]);
    Press(d, "cmdOK");
  });
  w->BrowseFiles();
  ASSERT_EQ(w->RowCount(), 3);
  EXPECT_EQ(Target(2), temp / "out/a.htm");
  EXPECT_EQ(w->Row(2)->text(app::colTarget).toStdString(), temp / "out/a_1.htm");
  EXPECT_EQ(w->Panel(1), "3 Selected file(s)  ");
  EXPECT_EQ(w->Panel(2), "2 added, 1 already listed");
}

TEST_F(Window, AddFolderSearchesPatternByPatternAndAddsEachFileOnce) {
  Book("examples/notes.xls", "in/a.xls");
  Book("examples/notes.xls", "in/b.xlt");
  Book("examples/notes.xls", "in/deep/c.xls");
  Book("examples/notes.xls", "in/deep/d.ods");
  auto run = [&](const std::string& source, const char* pattern, bool sub) {
    OnModal([=](QWidget* d) {
      auto* dialog = static_cast<app::frmAddFolder*>(d);
      dialog->txtSourcePath->setText(QString::fromStdString(source));
      dialog->cobType->setCurrentText(QString::fromLatin1(pattern));
      dialog->chkSubFolder->setChecked(sub);
      Press(d, "cmdOK");
      if (d->isVisible()) Press(d, "cmdCancel");  // the empty source keeps the dialog open
    });
    w->RunMenuCommand("mnuaddfolder");
    WaitIdle();
  };
  run("", "*.xls", false);
  EXPECT_EQ(boxes, (std::vector<std::string>{"Source file path could not be empty!    "}));
  run(temp / "in", "*.xls;*.xlt;*.xlw", false);
  EXPECT_EQ(w->RowCount(), 2);
  EXPECT_EQ(w->Row(2)->text(0).toStdString(), temp / "in/b.xlt");
  run(temp / "in", "*.xls", false);  // only duplicates
  EXPECT_EQ(w->RowCount(), 2);
  EXPECT_EQ(w->Panel(2), "1 already listed");
  run(temp / "in/missing", "*.xls", false);
  EXPECT_EQ(w->Panel(2), "No workbooks found in " + temp / "in/missing");
  run(temp / "in", "*.xls", true);  // the whole tree now
  EXPECT_EQ(w->RowCount(), 3);
  EXPECT_EQ(w->Panel(3), "Total 3 Files");
  // Kept between uses.
  EXPECT_TRUE(w->AddFolderDialog()->chkSubFolder->isChecked());
  // The last choice of the list takes every format read.
  const QComboBox* types = w->AddFolderDialog()->cobType;
  run(temp / "in", types->itemText(types->count() - 1).toStdString().c_str(), true);
  EXPECT_EQ(w->RowCount(), 4);
  EXPECT_EQ(w->Row(4)->text(0).toStdString(), temp / "in/deep/d.ods");
  // A new window offers the last search again.
  w.reset();
  w = std::make_unique<frmMain>();
  app::frmAddFolder again(w.get());
  EXPECT_EQ(again.txtSourcePath->text().toStdString(), temp / "in");
  EXPECT_TRUE(again.chkSubFolder->isChecked());
  EXPECT_EQ(app::SplitPatterns(" *.xls ;;*.xlt"), (std::vector<std::string>{"*.xls", "*.xlt"}));
}

TEST_F(Window, ASearchIsCancelledByStopAndEverythingElseIsRefusedDuringIt) {
  for (int i = 0; i < 4; ++i) Book("examples/notes.xls", "in/s" + std::to_string(i) + "/a.xls");
  OnModal([&](QWidget* d) {
    auto* dialog = static_cast<app::frmAddFolder*>(d);
    dialog->txtSourcePath->setText(QString::fromStdString(temp / "in"));
    dialog->chkSubFolder->setChecked(true);
    Press(d, "cmdOK");
  });
  w->ShowAddFolder();
  ASSERT_TRUE(w->Adding());
  w->MenuItemClick("mnuClear");
  EXPECT_FALSE(w->Timer2.isActive());
  EXPECT_EQ(w->Panel(2), "Not while adding: press Esc or Stop to cancel the search");
  QTest::keyClick(w->lstItem, Qt::Key_Escape);
  WaitIdle();
  EXPECT_LE(w->RowCount(), 4);
  EXPECT_EQ(w->Panel(2).rfind("The search was cancelled: ", 0), 0u) << w->Panel(2);
  EXPECT_FALSE(w->AddFolderDialog()->isVisible());
}

TEST_F(Window, DroppedFilesAndFoldersAreAddedAfterTheOptionsDialog) {
  const std::string loose = Book("examples/notes.xls", "drop/a.xls");
  Book("examples/notes.xls", "drop/tree/b.xlw");
  Book("examples/notes.xls", "drop/tree/deeper/c.xlt");
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(QString::fromStdString(loose)),
                QUrl::fromLocalFile(QString::fromStdString(temp / "drop/tree"))});
  QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(w->lstItem->viewport(), &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  OnModal([](QWidget* d) { Press(d, "cmdOK"); });
  QApplication::sendEvent(w->lstItem->viewport(), &drop);
  Settle(50);
  WaitIdle();
  EXPECT_EQ(w->RowCount(), 3);
  EXPECT_EQ(w->Panel(1), "3 Selected file(s)  ");
}

}  // namespace quillane::test

namespace quillane::test {

TEST_F(Window, SettingsAreKeptButNeverThePassword) {
  w->RunMenuCommand("mnuoverwrite");
  w->RunMenuCommand("mnuLogfile");
  w->sSheets = "2-3";
  w->sPasswords = "secret";
  w->sCustomDir = temp / "out";
  w->bCustomDir = true;
  w->nJobs = 3;
  w->resize(700, 480);
  const bool overwrite = w->xMenu1->ItemChecked("mnuoverwrite");
  w->close();
  w.reset();
  EXPECT_EQ(ReadAll(temp / "settings.ini").find("secret"), std::string::npos);
  w = std::make_unique<frmMain>();
  EXPECT_EQ(w->xMenu1->ItemChecked("mnuoverwrite"), overwrite);
  EXPECT_FALSE(w->xMenu1->ItemChecked("mnuLogfile"));
  EXPECT_EQ(w->sSheets, "2-3");
  EXPECT_EQ(w->sPasswords, "");
  EXPECT_EQ(w->Jobs(), 3);
  EXPECT_EQ(w->size(), QSize(700, 480));
  // The kept folder applies to rows added without the dialog (the desktop's "Open with").
  const std::string book = Book("examples/notes.xls", "a.xls");
  char* argv[] = {const_cast<char*>("quillane"), const_cast<char*>("--window"),
                  const_cast<char*>(book.c_str()), const_cast<char*>("")};
  const std::vector<std::string> named = app::WindowArguments(4, argv);
  EXPECT_EQ(named, std::vector<std::string>{book});
  EXPECT_TRUE(app::WindowArguments(3, argv + 1).empty());  // not "--window" first
  w->AddDropped(named, false);
  WaitIdle();
  EXPECT_EQ(Target(1), temp / "out/a.htm");
}

TEST_F(Window, TheOpenDialogOffersAllWorkbooksFirst) {
  const std::string filter = app::OpenDialogFilter();
  EXPECT_EQ(filter.rfind("All workbooks (*.xls *.xlt *.xlw *.xlsx *.xlsm *.xltx *.xltm *.ods "
                         "*.ots *.fods);;",
                         0),
            0u)
      << filter;
  EXPECT_TRUE(app::IsWorkbookName("/a/B.XLSX"));
  EXPECT_FALSE(app::IsWorkbookName("/a.xls/b"));
  app::frmAddFolder dialog(w.get());
  EXPECT_EQ(dialog.cobType->currentText().toStdString(),
            "*.xls;*.xlt;*.xlw;*.xlsx;*.xlsm;*.xltx;*.xltm;*.ods;*.ots;*.fods");
}

}  // namespace quillane::test

namespace quillane::test {

// "quillane --window FILE" is the window (still up after a while), "quillane FILE" the command
// line.
TEST_F(Window, TheWindowArgumentOpensTheWindowAndOtherArgumentsRunTheCommandLine) {
  const std::string book = Book("examples/notes.xls", "a.xls");
  const std::string env = "QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME=" + temp / "config";
  const std::string quillane = std::string(QUILLANE_PATH);
  EXPECT_EQ(
      std::system(
          (env + " timeout 2 " + quillane + " --window " + book + " >/dev/null 2>&1").c_str()) >>
          8,
      124);
  EXPECT_EQ(std::system(
                (env + " " + quillane + " -l " + temp / "run.log" + " " + book + " >/dev/null 2>&1")
                    .c_str()) >>
                8,
            0);
  EXPECT_TRUE(std::filesystem::exists(temp / "a_1.htm"));
}

}  // namespace quillane::test
