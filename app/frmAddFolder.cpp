#include "app/frmAddFolder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QSettings>
#include <QVBoxLayout>

#include "app/frmMain.h"
#include "app/frmOptions.h"
#include "app/modWindow.h"
#include "files/Search.h"

namespace quillane::app {

std::vector<std::string> SplitPatterns(const std::string& text) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(';', start);
    if (end == std::string::npos) end = text.size();
    std::string part = text.substr(start, end - start);
    const size_t first = part.find_first_not_of(' ');
    const size_t last = part.find_last_not_of(' ');
    if (first != std::string::npos) parts.push_back(part.substr(first, last - first + 1));
    start = end + 1;
  }
  return parts;
}

frmAddFolder::frmAddFolder(frmMain* owner) : QDialog(owner), owner_(owner) {
  setObjectName(QStringLiteral("frmAddFolder"));
  setWindowTitle(QStringLiteral("Add Sub-Folder"));
  setWindowIcon(owner->windowIcon());
  auto* layout = new QVBoxLayout(this);

  auto* options = new QGroupBox(QStringLiteral("Options"), this);
  auto* optionsLayout = new QGridLayout(options);
  optionsLayout->addWidget(new QLabel(QStringLiteral("Source File Format: "), options), 0, 0);
  cobType = new QComboBox(options);
  cobType->setObjectName(QStringLiteral("cobType"));
  cobType->setEditable(true);
  cobType->addItems({QStringLiteral("*.xls"), QStringLiteral("*.xlt"), QStringLiteral("*.xlw"),
                     QStringLiteral("*.xls;*.xlt;*.xlw")});
  // The newer formats follow one by one (the list starts with the three above), then all.
  const std::vector<std::string>& patterns = WorkbookPatterns();
  QStringList every;
  for (size_t i = 0; i < patterns.size(); ++i) {
    if (i >= 3) cobType->addItem(QString::fromStdString(patterns[i]));
    every << QString::fromStdString(patterns[i]);
  }
  cobType->addItem(every.join(QLatin1Char(';')));
  // Every format read, unless the user chooses otherwise.
  cobType->setCurrentIndex(cobType->count() - 1);
  optionsLayout->addWidget(cobType, 0, 1);
  chkSubFolder = new QCheckBox(QStringLiteral("Include Sub-Folders"), options);
  chkSubFolder->setObjectName(QStringLiteral("chkSubFolder"));
  optionsLayout->addWidget(chkSubFolder, 1, 0, 1, 2);
  layout->addWidget(options);

  layout->addWidget(MakeOutputGroup(this, opnDir, txtPath, cmdBrowse));

  layout->addWidget(new QLabel(QStringLiteral("Source File Path:"), this));
  auto* sourceRow = new QHBoxLayout();
  txtSourcePath = new QLineEdit(this);
  txtSourcePath->setObjectName(QStringLiteral("txtSourcePath"));
  cmdSourceDir = new QToolButton(this);
  cmdSourceDir->setObjectName(QStringLiteral("cmdSourceDir"));
  cmdSourceDir->setIcon(FolderPicture());
  sourceRow->addWidget(txtSourcePath);
  sourceRow->addWidget(cmdSourceDir);
  layout->addLayout(sourceRow);

  auto* buttons = new QHBoxLayout();
  buttons->addStretch(1);
  cmdOK = new QPushButton(QStringLiteral("&OK"), this);
  cmdOK->setObjectName(QStringLiteral("cmdOK"));
  cmdOK->setDefault(true);
  cmdCancel = new QPushButton(QStringLiteral("&Cancel"), this);
  cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
  buttons->addWidget(cmdOK);
  buttons->addWidget(cmdCancel);
  layout->addLayout(buttons);

  connect(cmdOK, &QPushButton::clicked, this, [this] { OK(); });
  connect(cmdCancel, &QPushButton::clicked, this, [this] { Cancel(); });
  connect(cmdSourceDir, &QToolButton::clicked, this, [this] { BrowseSource(); });
  connect(cmdBrowse, &QToolButton::clicked, this, [this] { BrowseOutput(); });
  connect(opnDir[1], &QRadioButton::toggled, this, [this] { OptionChanged(); });
  setMinimumWidth(400);
  // The folder, the patterns and the subfolder switch of the last search, kept between starts.
  const std::unique_ptr<QSettings> settings = OpenSettings();
  txtSourcePath->setText(settings->value(QStringLiteral("addFolder/source")).toString());
  if (settings->contains(QStringLiteral("addFolder/patterns")))
    cobType->setCurrentText(settings->value(QStringLiteral("addFolder/patterns")).toString());
  chkSubFolder->setChecked(settings->value(QStringLiteral("addFolder/subfolders")).toBool());
}

void frmAddFolder::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  cmdOK->setEnabled(true);
}

void frmAddFolder::OptionChanged() {
  const bool custom = opnDir[1]->isChecked();
  txtPath->setEnabled(custom);
  cmdBrowse->setEnabled(custom);
  if (custom && isVisible()) BrowseOutput();
}

void frmAddFolder::BrowseSource() {
  const std::string folder = BrowseForFolder(this, "Select source folder:");
  if (!folder.empty()) txtSourcePath->setText(QString::fromStdString(folder));
}

void frmAddFolder::BrowseOutput() {
  const std::string folder = BrowseForFolder(this, "Select output folder:", 64);
  if (!folder.empty())
    txtPath->setText(QString::fromStdString(folder));
  else if (txtPath->text().isEmpty())
    opnDir[0]->setChecked(true);
}

void frmAddFolder::OK() {
  const std::string source = txtSourcePath->text().toStdString();
  if (source.empty()) {
    MsgBox(this, "Source file path could not be empty!    ", vbInformation);
    cmdSourceDir->setFocus();
    return;
  }
  std::string patternText = cobType->currentText().toStdString();
  if (patternText.empty()) patternText = WorkbookPatterns().front();
  const bool custom = opnDir[1]->isChecked();
  const std::string folder = txtPath->text().toStdString();
  if (custom && !CheckOutputFolder(this, folder)) return;
  owner_->sOutputDir = custom ? folder : std::string();
  const std::unique_ptr<QSettings> settings = OpenSettings();
  settings->setValue(QStringLiteral("addFolder/source"), txtSourcePath->text());
  settings->setValue(QStringLiteral("addFolder/patterns"), cobType->currentText());
  settings->setValue(QStringLiteral("addFolder/subfolders"), chkSubFolder->isChecked());
  hide();
  setResult(QDialog::Accepted);
  done(QDialog::Accepted);
  // The search runs in the background; the window shows its progress and can cancel it.
  owner_->SearchAndAdd({}, {source}, SplitPatterns(patternText), chkSubFolder->isChecked());
}

void frmAddFolder::Cancel() { done(QDialog::Rejected); }

}  // namespace quillane::app
