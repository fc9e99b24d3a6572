// The desktop shots: the window as a desktop shows it (an X server with a window manager, or a
// Wayland compositor), every scene opened by keys sent to the program as a person would type them:
//   <prefix>-menu.png     a two-level menu (the menu control's sample) with its focused item
//   <prefix>-filemenu.png the main window's File menu with its focused item
//   <prefix>-tooltip.png  a toolbar button's tooltip, the pointer resting on the button
//   <prefix>-toolbar.png  the toolbar with a focused button
//   <prefix>-about.png    the About box with a focused link
// Where the program may read the screen (X11) a shot is the screen's pixels under its windows;
// where it may not (Wayland), the command in QUILLANE_SHOT_COMMAND takes the compositor's own
// screenshot into the file named as its argument. scripts/window-shots.sh runs both.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include <QApplication>
#include <QCursor>
#include <QProcess>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include "app/frmMain.h"
#include "app/modWindow.h"
#include "controls/hotlink/HotLink.h"
#include "controls/menu/wMenu.h"
#include "controls/toolbar/frmTooltip.h"
#include "controls/toolbar/xToolbar.h"
#include "tests/controls/menu/SampleMenu.h"

namespace app = quillane::app;
namespace c = quillane::controls;
namespace fs = std::filesystem;

namespace {

std::string folder, prefix;

void Pause(int ms = 200) { QTest::qWait(ms); }

// Runs the command in environment variable `name` with `args`, the program answering its display
// server meanwhile; false when the variable is not set.
bool Run(const char* name, const QStringList& args) {
  const char* command = std::getenv(name);
  if (!command) return false;
  QStringList words = QProcess::splitCommand(QString::fromLocal8Bit(command));
  if (words.isEmpty()) return false;
  const QString program = words.takeFirst();
  QProcess process;
  process.start(program, words + args);
  while (process.state() != QProcess::NotRunning) Pause(50);
  if (process.exitCode() != 0) std::fprintf(stderr, "window_shots: %s failed\n", command);
  return true;
}

// A key pressed and released: typed through the display server when QUILLANE_KEY_COMMAND says
// how (as a person's, with the input serial a Wayland popup needs), else sent to the focus.
void Key(QWidget* to, int key, Qt::KeyboardModifiers mods = {}) {
  static const std::map<int, const char*> names = {
      {Qt::Key_F, "f"},         {Qt::Key_Down, "Down"}, {Qt::Key_Up, "Up"},
      {Qt::Key_Right, "Right"}, {Qt::Key_Left, "Left"}, {Qt::Key_Escape, "Escape"},
      {Qt::Key_Tab, "Tab"},     {Qt::Key_Alt, "alt"}};
  const QString name = QString::fromLatin1(names.at(key));
  const bool alt = (mods & Qt::AltModifier) && key != Qt::Key_Alt;
  if (!Run("QUILLANE_KEY_COMMAND", {alt ? "alt+" + name : name})) {
    QWidget* focus = QApplication::focusWidget();
    QTest::keyClick(focus ? focus : to, static_cast<Qt::Key>(key), mods);
  }
  Pause(150);
}

// Where the program last saw the pointer (QCursor::pos() knows nothing on Wayland).
struct PointerWatch : QObject {
  QPoint last;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::MouseMove || event->type() == QEvent::Enter)
      last = static_cast<QSinglePointEvent*>(event)->globalPosition().toPoint();
    return false;
  }
};

// The pointer onto `local` of `widget`: moved through the display server when
// QUILLANE_POINTER_COMMAND says how (given x and y in the screen's pixels), else set in the
// program. A Wayland client knows no window's place on the screen: the pointer goes to the screen's
// centre first, over the window, and where the window sees it tells where the window is.
void PointTo(QWidget* widget, QPoint local) {
  const QPoint target = widget->mapToGlobal(local);
  const qreal ratio = widget->devicePixelRatioF();
  auto px = [ratio](QPoint p) {
    return QStringList{QString::number(qRound(p.x() * ratio)),
                       QString::number(qRound(p.y() * ratio))};
  };
  const QPoint centre = widget->screen()->geometry().center();
  PointerWatch watch;
  qApp->installEventFilter(&watch);
  const bool moved = Run("QUILLANE_POINTER_COMMAND", px(centre - QPoint(5, 5))) &&
                     Run("QUILLANE_POINTER_COMMAND", px(centre));
  Pause(300);
  qApp->removeEventFilter(&watch);
  if (moved) {
    const QPoint offset = centre - watch.last;  // the screen's place of the program's origin
    Run("QUILLANE_POINTER_COMMAND", px(target - QPoint(3, 0) + offset));
    Pause(100);
    Run("QUILLANE_POINTER_COMMAND", px(target + offset));
  } else {
    QCursor::setPos(target);
    QTest::mouseMove(widget, local - QPoint(3, 0));
    QTest::mouseMove(widget, local);
  }
  Pause(100);
}

// The screen's pixels over `area` (logical coordinates; every visible window of the program
// when empty), or the compositor's screenshot.
void Shot(const char* what, QRect area = {}) {
  Pause(400);
  const std::string path = folder + "/" + prefix + "-" + what + ".png";
  if (Run("QUILLANE_SHOT_COMMAND", {QString::fromStdString(path)})) return;
  if (area.isNull())
    for (QWidget* top : QApplication::topLevelWidgets())
      if (top->isVisible()) area = area.united(top->frameGeometry());
  QScreen* screen = QGuiApplication::primaryScreen();
  area = area.adjusted(-8, -8, 8, 8).intersected(screen->geometry());
  const QPixmap shot = screen->grabWindow(0, area.x(), area.y(), area.width(), area.height());
  if (!shot.save(QString::fromStdString(path)))
    std::fprintf(stderr, "window_shots: cannot write %s\n", path.c_str());
}

// A window holding the menu control's sample menu, File > Recent Folders opened by keys.
void SampleMenuShot() {
  QWidget window;
  window.setWindowTitle(QStringLiteral("Menu"));
  window.setGeometry(40, 40, 420, 240);
  auto* menu = new c::xMenu(&window);
  quillane::test::FillSampleMenu(*menu);
  menu->Item(1).Caption = "&File";
  menu->setGeometry(0, 0, 420, menu->sizeHint().height());
  menu->Refresh();
  window.show();
  if (!QTest::qWaitForWindowExposed(&window)) return;
  window.activateWindow();
  Pause(400);
  Key(&window, Qt::Key_F, Qt::AltModifier);
  for (int key : {Qt::Key_Down, Qt::Key_Down, Qt::Key_Right, Qt::Key_Down}) Key(&window, key);
  Shot("menu");
  menu->CloseOpenMenu();
  Pause();
}

// A point of toolbar button `index` along the bar's middle, a little in from its left.
QPoint ButtonPoint(const c::xToolbar& bar, int index) {
  return QPoint(static_cast<int>(bar.ButtonClientLeft(index)) + 12, bar.height() / 2);
}

void MainWindowShots(app::frmMain& w) {
  // The File menu by keyboard, its third item focused.
  Key(&w, Qt::Key_F, Qt::AltModifier);
  Key(&w, Qt::Key_Down);
  Key(&w, Qt::Key_Down);
  Shot("filemenu");
  Key(&w, Qt::Key_Alt, Qt::AltModifier);  // Alt closes the menu and leaves the bar
  // The pointer rests on the second toolbar button until its tooltip shows.
  c::xToolbar* bar = w.xToolbar1;
  PointTo(bar, ButtonPoint(*bar, 2));
  for (int i = 0; i < 30 && !c::CurrentTooltip(); ++i) Pause(100);
  Shot("tooltip");
  PointTo(w.lstItem->viewport(), QPoint(60, 60));
  c::HideTooltip();
  // The toolbar reached with Tab, an arrow to its next button.
  w.lstItem->setFocus(Qt::OtherFocusReason);
  for (int i = 0; i < 8 && !bar->hasFocus(); ++i) Key(&w, Qt::Key_Tab);
  Key(bar, Qt::Key_Right);
  Shot("toolbar");
  // The About box, Tab until a link has the focus.
  QTimer::singleShot(600, [] {
    QWidget* about = QApplication::activeModalWidget();
    if (!about) return;
    for (int i = 0; i < 8 && !dynamic_cast<c::HotLink*>(QApplication::focusWidget()); ++i)
      Key(about, Qt::Key_Tab);
    Shot("about");
    about->close();
  });
  w.ShowAbout();
}

}  // namespace

int RunDesktopShots(const std::string& shotPrefix, const std::string& outFolder) {
  folder = outFolder;
  prefix = shotPrefix;
  fs::create_directories(folder);
  const fs::path work = fs::temp_directory_path() / "quillane-desktop-shots";
  fs::remove_all(work);
  fs::create_directories(work);
  app::SetSettingsPath((work / "settings.ini").string());
  SampleMenuShot();
  app::frmMain w;
  w.SetLogPath((work / "run.log").string());
  w.move(20, 20);
  w.resize(900, 560);
  w.show();
  if (!QTest::qWaitForWindowExposed(&w)) return 1;
  w.activateWindow();
  Pause(500);
  for (const char* name : {"examples/quarterly-sales.xls", "examples/staff-rota.xls"})
    w.AddFiles(std::string(QUILLANE_SOURCE_DIR) + "/" + name);
  w.ChangeFilesState();
  MainWindowShots(w);
  fs::remove_all(work);
  return 0;
}
