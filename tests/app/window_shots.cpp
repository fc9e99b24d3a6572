// window_shots: writes the screenshots of the help (docs/screenshots) from the real window on a
// real X server: the window idle with rows, during a run, with a menu open, with the list's popup
// menu open, and the options, add-folder and About dialogs. Run it under Xvfb:
//   xvfb-run -s "-screen 0 1280x800x24" build/dev/tests/app/window_shots docs/screenshots
// Dialogs are not answered by a person: each scene is grabbed from the screen, then closed.
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include "app/frmAddFolder.h"
#include "app/frmMain.h"
#include "app/modWindow.h"
#include "controls/menu/wMenu.h"
#include "controls/menu/xMenu.h"
#include "files/modFuntions.h"

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
  if (argc != 2) {
    std::fprintf(stderr, "usage: window_shots <folder>\n");
    return 2;
  }
  QApplication application(argc, argv);
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

  // The Tools menu open, "Convert Now !" under the pointer.
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

  GrabModal(w, "options_dialog.png");
  w.ShowOptions();
  GrabModal(w, "add_folder_dialog.png", [&](QWidget* d) {
    static_cast<app::frmAddFolder*>(d)->txtSourcePath->setText(
        QString::fromStdString((work / "Reports").string()));
  });
  w.ShowAddFolder();
  GrabModal(w, "about_dialog.png");
  w.ShowAbout();

  // During a run: grabbed while the third workbook is taken up.
  bool grabbed = false;
  quillane::files::SetDoEventsHook([&] {
    QCoreApplication::processEvents();
    if (!grabbed && w.Panel(1).find("2/") != std::string::npos) {
      grabbed = true;
      Grab(w, "main_running.png");
    }
  });
  w.StartConversion();
  Grab(w, "main_done.png");
  quillane::files::SetDoEventsHook({});
  fs::remove_all(work);
  return 0;
}
