#include "app/modWindow.h"

#include <QApplication>
#include <QSettings>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QUrl>

#include "app/frmAddFolder.h"
#include "app/frmMain.h"
#include "files/modFuntions.h"
#include "spreadsheet/WorkbookFormats.h"

namespace quillane::app {

namespace {

DialogHooks& Hooks() {
  static DialogHooks hooks;
  return hooks;
}

std::string& SettingsPath() {
  static std::string path;
  return path;
}

}  // namespace

void SetDialogHooks(DialogHooks hooks) { Hooks() = std::move(hooks); }

std::unique_ptr<QSettings> OpenSettings() {
  if (!SettingsPath().empty())
    return std::make_unique<QSettings>(QString::fromStdString(SettingsPath()),
                                       QSettings::IniFormat);
  return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                     QString::fromLatin1(kAppTitle),
                                     QString::fromLatin1(kAppTitle));
}

void SetSettingsPath(const std::string& path) { SettingsPath() = path; }

int MsgBox(QWidget* owner, const std::string& text, int style, const std::string& title) {
  if (Hooks().msgBox) return Hooks().msgBox(text, style, title);
  QMessageBox box(owner);
  box.setWindowTitle(QString::fromStdString(title));
  box.setText(QString::fromStdString(text));
  const int icon = style & 0x70;
  box.setIcon(icon == vbCritical      ? QMessageBox::Critical
              : icon == vbQuestion    ? QMessageBox::Question
              : icon == vbInformation ? QMessageBox::Information
                                      : QMessageBox::NoIcon);
  if ((style & 0x7) == vbOKCancel) {
    QPushButton* ok = box.addButton(QMessageBox::Ok);
    QPushButton* cancel = box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(style & vbDefaultButton2 ? cancel : ok);
    box.setEscapeButton(cancel);
    box.exec();
    return box.clickedButton() == ok ? vbOK : vbCancel;
  }
  box.addButton(QMessageBox::Ok);
  box.exec();
  return vbOK;
}

std::string OpenDialogFilter() {
  using spreadsheet::WorkbookFamily;
  auto patterns = [](std::function<bool(WorkbookFamily)> in) {
    std::string text;
    for (const spreadsheet::WorkbookFormat& format : spreadsheet::kWorkbookFormats)
      if (in(format.family)) text += (text.empty() ? "*" : " *") + std::string(format.extension);
    return text;
  };
  std::string filter = "All workbooks (" + patterns([](WorkbookFamily) { return true; }) + ")";
  const char* names[] = {"Excel 97-2003 Workbooks", "Excel Workbooks", "OpenDocument Spreadsheets"};
  for (const spreadsheet::WorkbookFamilyName& family : spreadsheet::kWorkbookFamilies) {
    filter += ";;" + std::string(names[static_cast<int>(family.family)]) + " (" +
              patterns([&](WorkbookFamily f) { return f == family.family; }) + ")";
  }
  return filter + ";;All Files (*)";
}

const std::vector<std::string>& WorkbookPatterns() {
  static const std::vector<std::string> patterns = [] {
    std::vector<std::string> list;
    for (const spreadsheet::WorkbookFormat& format : spreadsheet::kWorkbookFormats)
      list.push_back("*" + std::string(format.extension));
    return list;
  }();
  return patterns;
}

bool IsWorkbookName(const std::string& path) {
  const size_t dot = path.find_last_of("./\\");
  if (dot == std::string::npos || path[dot] != '.') return false;
  const std::string extension = LowerCase(path.substr(dot));
  for (const spreadsheet::WorkbookFormat& format : spreadsheet::kWorkbookFormats)
    if (format.extension == extension) return true;
  return false;
}

std::vector<std::string> ShowOpenDialog(QWidget* owner) {
  if (Hooks().openDialog) return Hooks().openDialog();
  // The folder and the filter of the last use are offered again.
  const std::unique_ptr<QSettings> settings = OpenSettings();
  QString filter = settings->value(QStringLiteral("dialogs/openFilter")).toString();
  const QStringList chosen = QFileDialog::getOpenFileNames(
      owner, QString(), settings->value(QStringLiteral("dialogs/openFolder")).toString(),
      QString::fromStdString(OpenDialogFilter()), &filter);
  if (!chosen.isEmpty()) {
    settings->setValue(QStringLiteral("dialogs/openFolder"), QFileInfo(chosen[0]).absolutePath());
    settings->setValue(QStringLiteral("dialogs/openFilter"), filter);
  }
  std::vector<std::string> paths;
  for (const QString& path : chosen) paths.push_back(path.toStdString());
  return paths;
}

std::string BrowseForFolder(QWidget* owner, const std::string& title, int /*flags*/) {
  if (Hooks().browseForFolder) return Hooks().browseForFolder(title);
  const std::unique_ptr<QSettings> settings = OpenSettings();
  const QString key = QStringLiteral("dialogs/browseFolder");
  const QString folder = QFileDialog::getExistingDirectory(owner, QString::fromStdString(title),
                                                           settings->value(key).toString());
  if (!folder.isEmpty()) settings->setValue(key, folder);
  return folder.toStdString();
}

void ShellOpen(const std::string& target) {
  if (Hooks().shellOpen) {
    Hooks().shellOpen(target);
    return;
  }
  const QString text = QString::fromStdString(target);
  const bool address =
      text.startsWith(QLatin1String("mailto:")) || text.contains(QLatin1String("://"));
  QDesktopServices::openUrl(address ? QUrl(text) : QUrl::fromLocalFile(text));
}

void EnableListCheckBoxes(QTreeWidget* list) {
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->setAllColumnsShowFocus(true);
}

bool IsItemChecked(QTreeWidget* list, int row) {
  QTreeWidgetItem* item = list->topLevelItem(row - 1);
  if (!item) return false;
  const QVariant state = item->data(0, Qt::CheckStateRole);
  return !(state.isValid() && state.toInt() == Qt::Unchecked);
}

void SetItemChecked(QTreeWidget* list, int row, bool checked) {
  if (QTreeWidgetItem* item = list->topLevelItem(row - 1))
    item->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
}

std::string WebsiteAddress() { return QUILLANE_WEBSITE; }
std::string SupportAddress() { return QUILLANE_SUPPORT_MAIL; }

std::string HelpPath() {
  const std::string beside = files::AppPath() + "help/index.html";
  if (files::FileExists(beside)) return beside;
  const std::string installed = files::AppPath() + "../share/doc/quillane/help/index.html";
  if (files::FileExists(installed)) return installed;
  return beside;
}

std::vector<std::string> WindowArguments(int argc, char** argv) {
  std::vector<std::string> paths;
  if (argc < 2 || std::string(argv[1]) != "--window") return paths;
  for (int i = 2; i < argc; ++i) {
    const QString path = QString::fromLocal8Bit(argv[i]);
    if (path.isEmpty()) continue;
    // A file manager may hand over file: addresses instead of paths.
    const QUrl url(path);
    const QString local = url.isLocalFile() ? url.toLocalFile() : path;
    paths.push_back(QFileInfo(local).absoluteFilePath().toStdString());
  }
  return paths;
}

int WindowMain(int argc, char** argv) {
  if (argc > 0 && argv[0]) files::SetProgramPath(argv[0]);
  QApplication app(argc, argv);
  QApplication::setApplicationName(QString::fromLatin1(kAppTitle));
  frmMain window;
  window.show();
  // "Open with" from a file manager: the workbooks and folders go into the list as a drop does,
  // with the options kept from the last time.
  const std::vector<std::string> named = WindowArguments(argc, argv);
  if (!named.empty()) window.AddDropped(named, false);
  return QApplication::exec();
}

}  // namespace quillane::app
