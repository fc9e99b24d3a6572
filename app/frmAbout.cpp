#include "app/frmAbout.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/modWindow.h"
#include "controls/hotlink/HotLink.h"
#include "platform/PropertyBag.h"

namespace quillane::app {

std::string VersionText() { return std::string("Version: ") + QUILLANE_VERSION; }

namespace {

QFrame* Line(QWidget* parent) {
  auto* line = new QFrame(parent);
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  return line;
}

controls::HotLink* Link(QWidget* parent, const char* name, const std::string& caption) {
  auto* link = new controls::HotLink(parent);
  link->setObjectName(QString::fromLatin1(name));
  platform::PropertyBag bag;
  bag.WriteString("Caption", caption, "");
  link->ReadProperties(bag);
  return link;
}

}  // namespace

frmAbout::frmAbout(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("frmAbout"));
  setWindowTitle(QStringLiteral("About..."));
  const QIcon icon(QStringLiteral(":/quillane/icons/QUILLANE.png"));
  setWindowIcon(icon);
  auto* layout = new QHBoxLayout(this);
  auto* picture = new QLabel(this);
  picture->setPixmap(icon.pixmap(32, 32));
  picture->setAlignment(Qt::AlignTop);
  layout->addWidget(picture);
  auto* column = new QVBoxLayout();
  layout->addLayout(column, 1);

  auto* title = new QLabel(QString::fromLatin1(kAppTitle), this);
  QFont titleFont(QStringLiteral("Arial"));
  titleFont.setPointSizeF(11.25);
  titleFont.setBold(true);
  title->setFont(titleFont);
  column->addWidget(title);
  column->addWidget(new QLabel(QString::fromStdString(VersionText()), this));
  column->addWidget(Line(this));
  auto* links = new QGridLayout();
  links->addWidget(new QLabel(QStringLiteral("Website:"), this), 0, 0);
  HotLink1 = Link(this, "HotLink1", WebsiteAddress());
  links->addWidget(HotLink1, 0, 1, Qt::AlignLeft);
  links->addWidget(new QLabel(QStringLiteral("Email:"), this), 1, 0);
  HotLink2 = Link(this, "HotLink2", SupportAddress());
  links->addWidget(HotLink2, 1, 1, Qt::AlignLeft);
  links->setColumnStretch(1, 1);
  column->addLayout(links);
  column->addWidget(Line(this));
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("cmdOK"));
  ok->setDefault(true);
  auto* buttons = new QHBoxLayout();
  buttons->addStretch(1);
  buttons->addWidget(ok);
  column->addLayout(buttons);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  HotLink1->Click = [this] { HotLink1->Shell(HotLink1->Caption(), "", "/", 1); };
  HotLink2->Click = [this] { HotLink2->Shell("mailto:" + HotLink2->Caption(), "", "/", 1); };
  setMinimumWidth(340);
  ok->setFocus();  // the links come next in the Tab order
}

}  // namespace quillane::app
