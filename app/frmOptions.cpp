#include "app/frmOptions.h"

#include <QDialogButtonBox>
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
#include "app/modWindow.h"

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
  sheetsLayout->addWidget(
      new QLabel(QStringLiteral("Exam: 1,3,4-5 , to convert all sheets let it blank."), sheets));
  layout->addWidget(sheets);

  layout->addWidget(MakeOutputGroup(this, opnDir, txtPath, cmdBrowse));

  auto* password = new QGroupBox(QStringLiteral("Password to Open"), this);
  auto* passwordLayout = new QVBoxLayout(password);
  Text1 = new QLineEdit(QString::fromStdString(owner->sPasswords), password);
  Text1->setObjectName(QStringLiteral("Text1"));
  passwordLayout->addWidget(Text1);
  layout->addWidget(password);

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
}

void frmOptions::OptionChanged() {
  const bool custom = opnDir[1]->isChecked();
  txtPath->setEnabled(custom);
  cmdBrowse->setEnabled(custom);
  if (custom && isVisible()) Browse();
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
  owner_->sOutputDir = opnDir[0]->isChecked() ? std::string() : txtPath->text().toStdString();
  owner_->sPasswords = Text1->text().toStdString();
  owner_->sSheets = txtSheets->text().toStdString();
  accept();
}

}  // namespace quillane::app
