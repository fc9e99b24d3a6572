// window_shots: writes the screenshots of the help (docs/screenshots) from the real window on a
// real X server: the window idle with rows, during a run (resized), at the end of a run, a failed
// row with its tooltip, with a menu open, with the list's popup menu open, and the options (with a
// custom folder kept), open-file (its filters), add-folder and About dialogs. Run it under an X
// server with a window manager: scripts/window-shots.sh.
//   window_shots FOLDER                   the help's screenshots
//   window_shots --desktop PREFIX FOLDER  the desktop shots (window_shots_desktop.cpp)
// Dialogs are not answered by a person: each scene is grabbed from the screen, then closed.
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QCursor>
#include <QToolTip>
#include <chrono>
#include <thread>
#include <QMenu>
#include <QScreen>
#include <QSettings>
#include <QTest>
#include <QTimer>

#include "app/frmAddFolder.h"
#include "app/frmMain.h"
#include "app/modWindow.h"
#include "controls/menu/wMenu.h"
#include "controls/menu/xMenu.h"
#include "files/modFuntions.h"

int RunDesktopShots(const std::string& prefix, const std::string& folder);

namespace app = quillane::app;
namespace fs = std::filesystem;

namespace {

std::string out;

void Pause(int ms = 150) { QTest::qWait(ms); }

// The screen's pixels under the main window (popups and dialogs over it included).
void Grab(const app::frmMain& w, const char* name, QRect extra = {}) {
  Pause();
  QRect area = w.frameGeometry();
  if (!extra.isNull()) area = area.united(extra);
  const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(),
                                                                    area.width(), area.height());
  const std::string path = out + "/" + name;
  if (!shot.save(QString::fromStdString(path)))
    std::fprintf(stderr, "window_shots: cannot write %s\n", path.c_str());
}

// Grabs the next modal dialog once it shows, then closes it.
void GrabModal(const app::frmMain& w, const char* name,
               std::function<void(QWidget*)> prepare = {}) {
  QTimer::singleShot(300, [&w, name, prepare] {
    QWidget* dialog = QApplication::activeModalWidget();
    if (!dialog) return;
    if (prepare) prepare(dialog);
    Grab(w, name, dialog->frameGeometry());
    dialog->close();
  });
}

QPoint Centre(const quillane::controls::MenuItem& item) {
  const auto& r = item.Rect();
  return QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

}  // namespace

int main(int argc, char** argv) {
  const bool desktop = argc == 4 && std::string(argv[1]) == "--desktop";
  if (argc != 2 && !desktop) {
    std::fprintf(stderr, "usage: window_shots <folder> | --desktop <prefix> <folder>\n");
    return 2;
  }
  QApplication application(argc, argv);
  if (desktop) return RunDesktopShots(argv[2], argv[3]);
  out = argv[1];
  fs::create_directories(out);
  const fs::path work = fs::temp_directory_path() / "quillane-shots";
  fs::remove_all(work);
  fs::create_directories(work / "Reports");
  const std::string source = QUILLANE_SOURCE_DIR;
  for (const char* name :
       {"examples/quarterly-sales.xls", "examples/staff-rota.xls", "examples/notes.xls",
        "tests/data/cli/three-sheets.xls", "tests/data/cli/twelve-sheets.xls"})
    fs::copy_file(source + "/" + name, work / "Reports" / fs::path(name).filename());
  fs::copy_file(source + "/tests/data/cli/not-a-workbook.xls", work / "Reports" / "damaged.xls");

  app::DialogHooks hooks;
  hooks.shellOpen = [](const std::string&) {};
  app::SetDialogHooks(hooks);
  app::SetSettingsPath((work / "settings.ini").string());
  app::frmMain w;
  w.SetLogPath((work / "run.log").string());
  w.move(20, 20);
  w.resize(1200, 640);
  w.show();
  Pause(400);
  for (const auto& entry : fs::directory_iterator(work / "Reports"))
    w.AddFiles(entry.path().string());
  w.lstItem->sortItems(0, Qt::AscendingOrder);
  w.lstItem->setSortingEnabled(false);
  w.ChangeFilesState();
  w.lstItem->setCurrentItem(w.Row(2));
  Grab(w, "main_idle.png");

  // The Tools menu open, "Convert Now" under the pointer.
  quillane::controls::xMenu* menu = w.xMenu1;
  const int tools = menu->KeyToIndex("mnuAction");
  QTest::mouseClick(menu, Qt::LeftButton, {}, Centre(menu->Item(tools)));
  Pause();
  if (quillane::controls::wMenu* popup = menu->Popup()) {
    QTest::mouseMove(popup, Centre(menu->Item(menu->KeyToIndex("mnuConverter"))));
    Grab(w, "menu_tools.png", popup->frameGeometry());
  }
  menu->CloseOpenMenu();
  Pause();

  // The list's popup menu over a row.
  w.ShowPopupAt(w.lstItem->visualItemRect(w.Row(3)).center());
  Pause();
  Grab(w, "popup_menu.png", w.mnuPopup->frameGeometry());
  w.mnuPopup->hide();

  // A custom folder chosen earlier stays chosen.
  fs::create_directories(work / "Pages");
  w.sCustomDir = (work / "Pages").string();
  w.bCustomDir = true;
  GrabModal(w, "options_dialog.png");
  w.ShowOptions();
  w.bCustomDir = false;
  w.sOutputDir.clear();

  // The open-file dialog with its list of filters open, in the folder of the last use.
  app::OpenSettings()->setValue(QStringLiteral("dialogs/openFolder"),
                                QString::fromStdString((work / "Reports").string()));
  app::SetDialogHooks({});
  QTimer::singleShot(600, [&w] {
    QWidget* dialog = QApplication::activeModalWidget();
    if (!dialog) return;
    auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    if (types) types->showPopup();
    Pause(300);
    QRect area = dialog->frameGeometry();
    if (types && types->view()) area = area.united(types->view()->window()->frameGeometry());
    Grab(w, "open_dialog_filters.png", area);
    if (types) types->hidePopup();
    dialog->close();
  });
  app::ShowOpenDialog(&w);
  app::SetDialogHooks(hooks);
  GrabModal(w, "add_folder_dialog.png", [&](QWidget* d) {
    static_cast<app::frmAddFolder*>(d)->txtSourcePath->setText(
        QString::fromStdString((work / "Reports").string()));
  });
  w.ShowAddFolder();
  GrabModal(w, "about_dialog.png");
  w.ShowAbout();

  // During a run, the window made smaller: one workbook at a time, each held a little so that
  // the run can be seen; grabbed while the third is converted.
  w.nJobs = 1;
  w.RunJobHook = [](size_t) { std::this_thread::sleep_for(std::chrono::milliseconds(700)); };
  w.StartConversion();
  w.resize(1000, 560);
  for (int i = 0; i < 400 && w.Panel(1).find("2/") == std::string::npos; ++i) Pause(10);
  Pause(200);
  Grab(w, "main_running.png");
  while (w.Busy()) Pause(20);
  Grab(w, "main_done.png");

  // The failed row's reason as its tooltip.
  for (int i = 1; i <= w.RowCount(); ++i) {
    QTreeWidgetItem* row = w.Row(i);
    if (row->text(app::colState) != QLatin1String("Failure")) continue;
    const QRect cell = w.lstItem->visualItemRect(row);
    const QPoint at = w.lstItem->viewport()->mapToGlobal(cell.center());
    // The pointer itself rests on the row, as a person's would: a tooltip shown away from it
    // is hidden at once.
    QCursor::setPos(at);
    QTest::mouseMove(w.lstItem->viewport(), cell.center());
    Pause(200);
    QToolTip::showText(at, row->toolTip(app::colState), w.lstItem->viewport(), cell, 10000);
    Pause(400);
    QRect tip;  // the tooltip's own window, grabbed whole where it passes the main window's edge
    for (QWidget* top : QApplication::topLevelWidgets()) {
      if (top->isVisible() && top->inherits("QTipLabel")) tip = top->frameGeometry();
    }
    Grab(w, "failure_tooltip.png", tip);
    QToolTip::hideText();
  }
  fs::remove_all(work);
  return 0;
}
