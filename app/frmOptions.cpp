#include "app/frmOptions.h"

#include <filesystem>
#include <system_error>

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QSpinBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/frmMain.h"
#include "app/modMain.h"
#include "app/modWindow.h"
#include "files/modFuntions.h"

namespace quillane::app {

QIcon FolderPicture() {
  QImage img(16, 16, QImage::Format_ARGB32);
  img.fill(Qt::transparent);
  QPainter p(&img);
  p.setPen(QColor(150, 110, 20));
  p.setBrush(QColor(245, 200, 80));
  p.drawRect(1, 4, 13, 9);
  p.drawRect(1, 2, 5, 2);
  p.end();
  return QIcon(QPixmap::fromImage(img));
}

QGroupBox* MakeOutputGroup(QWidget* parent, QRadioButton* (&opnDir)[2], QLineEdit*& txtPath,
                           QToolButton*& cmdBrowse) {
  auto* output = new QGroupBox(QStringLiteral("Output Directory"), parent);
  auto* grid = new QGridLayout(output);
  opnDir[0] = new QRadioButton(QStringLiteral("Same as Input Directory"), output);
  opnDir[1] = new QRadioButton(QStringLiteral("Custom Directory"), output);
  opnDir[0]->setObjectName(QStringLiteral("opnDir0"));
  opnDir[1]->setObjectName(QStringLiteral("opnDir1"));
  opnDir[0]->setChecked(true);
  txtPath = new QLineEdit(output);
  txtPath->setObjectName(QStringLiteral("txtPath"));
  txtPath->setEnabled(false);
  cmdBrowse = new QToolButton(output);
  cmdBrowse->setObjectName(QStringLiteral("cmdBrowse"));
  cmdBrowse->setIcon(FolderPicture());
  cmdBrowse->setEnabled(false);
  grid->addWidget(opnDir[0], 0, 0, 1, 2);
  grid->addWidget(opnDir[1], 1, 0, 1, 2);
  grid->addWidget(txtPath, 2, 0);
  grid->addWidget(cmdBrowse, 2, 1);
  return output;
}

frmOptions::frmOptions(frmMain* owner) : QDialog(owner), owner_(owner) {
  setObjectName(QStringLiteral("frmOptions"));
  setWindowTitle(QStringLiteral("Output Directory"));
  setWindowIcon(owner->windowIcon());
  auto* layout = new QVBoxLayout(this);

  auto* sheets = new QGroupBox(QStringLiteral("Spreadsheets"), this);
  auto* sheetsLayout = new QVBoxLayout(sheets);
  txtSheets = new QLineEdit(QString::fromStdString(owner->sSheets), sheets);
  txtSheets->setObjectName(QStringLiteral("txtSheets"));
  sheetsLayout->addWidget(txtSheets);
  sheetsLayout->addWidget(new QLabel(
      QStringLiteral("For example 1,3,4-5; leave it empty to convert all sheets."), sheets));
  layout->addWidget(sheets);

  layout->addWidget(MakeOutputGroup(this, opnDir, txtPath, cmdBrowse));

  auto* password = new QGroupBox(QStringLiteral("Password to Open"), this);
  auto* passwordLayout = new QVBoxLayout(password);
  Text1 = new QLineEdit(QString::fromStdString(owner->sPasswords), password);
  Text1->setObjectName(QStringLiteral("Text1"));
  Text1->setEchoMode(QLineEdit::Password);
  chkShowPassword = new QCheckBox(QStringLiteral("&Show"), password);
  chkShowPassword->setObjectName(QStringLiteral("chkShowPassword"));
  auto* passwordRow = new QHBoxLayout();
  passwordRow->addWidget(Text1, 1);
  passwordRow->addWidget(chkShowPassword);
  passwordLayout->addLayout(passwordRow);
  layout->addWidget(password);
  connect(chkShowPassword, &QCheckBox::toggled, this, [this](bool show) {
    Text1->setEchoMode(show ? QLineEdit::Normal : QLineEdit::Password);
  });

  auto* run = new QGroupBox(QStringLiteral("Conversion"), this);
  auto* runLayout = new QHBoxLayout(run);
  runLayout->addWidget(new QLabel(QStringLiteral("Workbooks converted at a &time:"), run));
  spnJobs = new QSpinBox(run);
  spnJobs->setObjectName(QStringLiteral("spnJobs"));
  spnJobs->setRange(1, static_cast<int>(kMaxJobs));
  spnJobs->setValue(owner->Jobs());
  spnJobs->setToolTip(QStringLiteral("1 converts one workbook after the other, in list order"));
  static_cast<QLabel*>(runLayout->itemAt(0)->widget())->setBuddy(spnJobs);
  runLayout->addWidget(spnJobs);
  runLayout->addStretch(1);
  layout->addWidget(run);

  auto* buttons = new QDialogButtonBox(this);
  QPushButton* ok = buttons->addButton(QStringLiteral("&OK"), QDialogButtonBox::AcceptRole);
  ok->setObjectName(QStringLiteral("cmdOK"));
  ok->setDefault(true);
  buttons->addButton(QStringLiteral("&Cancel"), QDialogButtonBox::RejectRole)
      ->setObjectName(QStringLiteral("cmdCancel"));
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, [this] { Confirm(); });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(opnDir[1], &QRadioButton::toggled, this, [this] { OptionChanged(); });
  connect(cmdBrowse, &QToolButton::clicked, this, [this] { Browse(); });
  setMinimumWidth(380);
  // The custom folder chosen last stays chosen until changed.
  txtPath->setText(QString::fromStdString(owner->sCustomDir));
  if (owner->bCustomDir) SelectCustomDirectory(owner->sCustomDir);
}

bool CheckOutputFolder(QWidget* owner, const std::string& folder) {
  if (folder.empty()) {
    MsgBox(owner, "Choose the output folder, or \"Same as Input Directory\".", vbInformation);
    return false;
  }
  if (files::IsDirectory(folder)) return true;
  std::error_code ec;
  if (std::filesystem::exists(folder, ec)) {
    MsgBox(owner, "The output folder " + folder + " is not a folder.", vbCritical);
    return false;
  }
  if (MsgBox(owner, "The output folder " + folder + " does not exist. Create it?",
             vbOKCancel | vbQuestion) != vbOK)
    return false;
  if (!std::filesystem::create_directories(folder, ec) && !files::IsDirectory(folder)) {
    MsgBox(owner, "The output folder " + folder + " could not be made: " + ec.message(),
           vbCritical);
    return false;
  }
  return true;
}

void frmOptions::OptionChanged() {
  const bool custom = opnDir[1]->isChecked();
  txtPath->setEnabled(custom);
  cmdBrowse->setEnabled(custom);
  if (custom && isVisible() && txtPath->text().isEmpty()) Browse();
}

void frmOptions::SelectCustomDirectory(const std::string& folder) {
  opnDir[1]->setChecked(true);
  txtPath->setText(QString::fromStdString(folder));
}

void frmOptions::Browse() {
  const std::string folder = BrowseForFolder(this, "Select output folder:", 64);
  if (!folder.empty())
    txtPath->setText(QString::fromStdString(folder));
  else if (txtPath->text().isEmpty())
    opnDir[0]->setChecked(true);
}

void frmOptions::Confirm() {
  const bool custom = opnDir[1]->isChecked();
  const std::string folder = txtPath->text().toStdString();
  if (custom && !CheckOutputFolder(this, folder)) return;
  owner_->bCustomDir = custom;
  if (custom) owner_->sCustomDir = folder;
  owner_->sOutputDir = custom ? folder : std::string();
  // Left at its value, the count stays "one per core" wherever the settings go.
  if (spnJobs->value() != owner_->Jobs()) owner_->nJobs = spnJobs->value();
  owner_->sPasswords = Text1->text().toStdString();
  owner_->sSheets = txtSheets->text().toStdString();
  accept();
}

}  // namespace quillane::app
