// What the main window keeps between starts, in the desktop's usual place for settings: its size
// and place, the switches, the options with their folder and the job count. Never the password.
// Without settings (a first start) everything is as designed.
#include <QSettings>

#include "app/frmMain.h"
#include "app/modWindow.h"
#include "controls/menu/xMenu.h"

namespace quillane::app {

namespace {

// The menu's switches, by their item names.
constexpr const char* kSwitches[] = {"mnuoverwrite", "mnuCreateDir", "mnuCompress", "mnuLogfile"};

}  // namespace

void frmMain::LoadSettings() {
  const std::unique_ptr<QSettings> settings = OpenSettings();
  if (settings->contains(QStringLiteral("window/geometry")))
    restoreGeometry(settings->value(QStringLiteral("window/geometry")).toByteArray());
  for (const char* name : kSwitches) {
    const QString key = QStringLiteral("switches/%1").arg(QLatin1String(name)).toLower();
    if (settings->contains(key)) xMenu1->SetItemChecked(name, settings->value(key).toBool());
  }
  sSheets = settings->value(QStringLiteral("options/sheets")).toString().toStdString();
  sCustomDir = settings->value(QStringLiteral("options/customFolder")).toString().toStdString();
  bCustomDir =
      settings->value(QStringLiteral("options/useCustomFolder")).toBool() && !sCustomDir.empty();
  sOutputDir = bCustomDir ? sCustomDir : std::string();
  nJobs = std::max(0, settings->value(QStringLiteral("options/jobs"), 0).toInt());
}

void frmMain::SaveSettings() const {
  const std::unique_ptr<QSettings> settings = OpenSettings();
  settings->setValue(QStringLiteral("window/geometry"), saveGeometry());
  for (const char* name : kSwitches) {
    settings->setValue(QStringLiteral("switches/%1").arg(QLatin1String(name)).toLower(),
                       xMenu1->ItemChecked(name));
  }
  settings->setValue(QStringLiteral("options/sheets"), QString::fromStdString(sSheets));
  settings->setValue(QStringLiteral("options/customFolder"), QString::fromStdString(sCustomDir));
  settings->setValue(QStringLiteral("options/useCustomFolder"), bCustomDir);
  settings->setValue(QStringLiteral("options/jobs"), nJobs);
}

}  // namespace quillane::app
