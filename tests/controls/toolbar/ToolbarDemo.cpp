// toolbar_demo: a window to try every state of the toolbar by hand. A horizontal bar of ten
// buttons and a vertical bar; switches for appearance, border style, caption options and
// alignment; a button that floats the bar (it docks again when the pointer, dragging the floating
// window, comes back over the top of the window). With --screenshot FILE it writes the window as a
// PNG file and ends.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "controls/toolbar/xToolbar.h"
#include "tests/controls/toolbar/Pictures.h"

namespace tb = quillane::controls;
using quillane::test::DrawnPicture;

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget window;
  window.setWindowTitle("Toolbar demo");
  window.resize(760, 360);

  QWidget* dock = new QWidget(&window);
  dock->setGeometry(0, 0, 760, 40);
  auto* bar = new tb::xToolbar(dock, "xToolbar1");
  bar->SetHWndContainer(dock);
  bar->setGeometry(0, 0, 520, 30);
  bar->AddButtonEx("new", tb::tbrButton, DrawnPicture(0), "New workbook list", 0xFF00FF, true,
                   "New");
  bar->AddButtonEx("open", tb::tbrButton, DrawnPicture(5), "Add files");
  bar->AddButtonEx("log", tb::tbrCheck, DrawnPicture(3), "Write the log", 0xFF00FF, true, "Log");
  bar->AddButtonEx("sep1", tb::tbrSeparator);
  bar->AddButtonEx("left", tb::tbrButtonGroup, DrawnPicture(3), "Align left", 0xFF00FF, true, "",
                   true);
  bar->AddButtonEx("centre", tb::tbrButtonGroup, DrawnPicture(3), "Align centre");
  bar->AddButtonEx("right", tb::tbrButtonGroup, DrawnPicture(3), "Align right");
  bar->AddButtonEx("space", tb::tbrPlaceholder, {}, "", 0xFF00FF, true, "", false, true, 16);
  bar->AddButtonEx("stop", tb::tbrButton, DrawnPicture(4), "Stop (disabled)", 0xFF00FF, true,
                   "Stop", false, false);
  bar->AddButtonEx("run", tb::tbrButton, DrawnPicture(2), "Convert now", 0xFF00FF, true, "Convert");
  bar->SetCaptionOptions(tb::iftoSelectedLabels);
  for (int i : {1, 3, 9, 10}) bar->SetButtonAlwaysShowCaption(i, true);

  auto* side = new tb::xToolbar(&window, "xToolbar2");
  side->setGeometry(720, 50, 30, 220);
  for (int i = 0; i < 6; ++i) {
    if (i == 2)
      side->AddButtonEx("vsep", tb::tbrSeparator);
    else
      side->AddButtonEx("v" + std::to_string(i), tb::tbrButton, DrawnPicture(i),
                        "Vertical " + std::to_string(i));
  }
  side->AddButtonEx("vc", tb::tbrCheck, {}, "", 0xFF00FF, true, "Check", true);

  auto* log = new QLabel("Events appear here.", &window);
  log->setGeometry(10, 290, 580, 60);
  log->setWordWrap(true);
  for (tb::xToolbar* t : {bar, side}) {
    t->Events.ButtonClick = [log, t](std::int16_t i, const std::string& key) {
      log->setText(QString("%1: ButtonClick %2 \"%3\"")
                       .arg(QString::fromStdString(t->Name()))
                       .arg(i)
                       .arg(QString::fromStdString(key)));
    };
    t->Events.ButtonRightClick = [log](std::int16_t i, const std::string&, bool&) {
      log->setText(QString("ButtonRightClick %1 (beep)").arg(i));
    };
  }

  auto* controls = new QWidget(&window);
  controls->setGeometry(10, 60, 690, 220);
  auto* form = new QVBoxLayout(controls);
  auto combo = [&](const char* label, QStringList items, int current, auto apply) {
    auto* row = new QHBoxLayout();
    row->addWidget(new QLabel(label));
    auto* c = new QComboBox();
    c->addItems(items);
    c->setCurrentIndex(current);
    QObject::connect(c, &QComboBox::currentIndexChanged, [=](int v) {
      for (tb::xToolbar* t : {bar, side}) apply(t, v);
    });
    row->addWidget(c, 1);
    form->addLayout(row);
  };
  combo("Appearance", {"Standard", "Flat"}, 0, [](tb::xToolbar* t, int v) { t->SetAppearance(v); });
  combo("Border style", {"None", "Inset", "Raised", "Frame", "Inset button", "Raised button"}, 2,
        [](tb::xToolbar* t, int v) { t->SetBorderStyle(v); });
  combo("Caption options", {"No labels", "Show labels", "Selected labels"}, 2,
        [](tb::xToolbar* t, int v) { t->SetCaptionOptions(v); });
  combo("Caption alignment", {"On top", "On bottom", "On left", "On right"}, 3,
        [](tb::xToolbar* t, int v) { t->SetCaptionAlignment(v); });
  combo("Docking style", {"Locked", "Office 97", "Office XP"}, 2,
        [](tb::xToolbar* t, int v) { t->SetDockingStyle(v); });
  auto* switches = new QHBoxLayout();
  auto check = [&](const char* label, auto apply) {
    auto* c = new QCheckBox(label);
    QObject::connect(c, &QCheckBox::toggled, [=](bool v) {
      for (tb::xToolbar* t : {bar, side}) apply(t, v);
    });
    switches->addWidget(c);
  };
  check("Solid checked", [](tb::xToolbar* t, bool v) { t->SetSolidChecked(v); });
  check("Bold on checked", [](tb::xToolbar* t, bool v) { t->SetBoldOnChecked(v); });
  check("Hot tracking", [](tb::xToolbar* t, bool v) { t->SetHotTracking(v); });
  check("Separators (gap 6)", [](tb::xToolbar* t, bool v) {
    t->SetButtonGap(v ? 6 : 0);
    t->SetShowSeparators(v);
  });
  check("Double borders", [](tb::xToolbar* t, bool v) {
    t->SetDoubleTopBorder(v);
    t->SetDoubleBottomBorder(v);
  });
  form->addLayout(switches);
  auto* floatButton = new QPushButton("Float the bar");
  form->addWidget(floatButton);
  QObject::connect(floatButton, &QPushButton::clicked, [bar] {
    bar->BringToWindow();
    bar->hide();
  });
  // Dock again when the floating window is dragged back over the top strip of the window.
  bar->Events.DockingWindow = [bar](std::int32_t& x, std::int32_t& y) {
    if (y >= 0 && y < 40 && x >= 0 && x < 760) {
      bar->HideWindow();
      bar->show();
    }
  };
  window.show();
  // --screenshot FILE: writes the window as a PNG file and ends (works on the offscreen platform).
  const QStringList args = app.arguments();
  const qsizetype at = args.indexOf("--screenshot");
  if (at >= 0 && at + 1 < args.size()) {
    const QString file = args[at + 1];
    QTimer::singleShot(200, &window, [&window, file] {
      window.grab().save(file);
      QApplication::quit();
    });
  }
  return app.exec();
}
