// menu_demo: a window with the menu bar in a chosen style and highlight style, to try it by hand.
//   menu_demo [style 0-3] [highlight style 0-5]
// Choices are listed in the window; checked items toggle; "Exit" closes the window.
#include <cstdlib>

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "tests/controls/menu/SampleMenu.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const int style = argc > 1 ? std::atoi(argv[1]) : 0;
  const int highlight = argc > 2 ? std::atoi(argv[2]) : 1;
  QWidget window;
  window.setWindowTitle(
      QStringLiteral("menu_demo: style %1, highlight style %2").arg(style).arg(highlight));
  auto* layout = new QVBoxLayout(&window);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  auto* menu = new quillane::controls::xMenu(&window);
  quillane::test::FillSampleMenu(*menu);
  menu->SetSpacing(18);
  menu->SetStyle(style);
  menu->SetHighLightStyle(highlight);
  menu->setFixedHeight(menu->sizeHint().height());
  auto* log = new QPlainTextEdit(&window);
  log->setReadOnly(true);
  auto* status = new QLabel(QStringLiteral("Ready"), &window);
  layout->addWidget(menu);
  layout->addWidget(log, 1);
  layout->addWidget(status);
  menu->OnItemDescription(
      [status](const std::string& text) { status->setText(QString::fromStdString(text)); });
  menu->OnItemClick([&](const std::string& key) {
    log->appendPlainText(QStringLiteral("ItemClick(\"%1\")").arg(QString::fromStdString(key)));
    const int index = menu->KeyToIndex(key);
    if (menu->Item(index).Checked || key == "mnuCompress")
      menu->SetItemChecked(key, !menu->ItemChecked(key));
    // As the main window does, the command runs after the event, not inside it.
    if (key == "mnuExit") QMetaObject::invokeMethod(&window, &QWidget::close, Qt::QueuedConnection);
  });
  window.resize(560, 360);
  window.show();
  menu->Refresh();
  return app.exec();
}
