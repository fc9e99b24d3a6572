// frmMain: the window's set-up and layout: the controls and their places, the stored designs of
// the menu bar and the toolbar, the task list's columns, the status bar and the list's popup menu.
#include <algorithm>
#include <iterator>
#include <numeric>
#include <cmath>
#include <functional>

#include <QApplication>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScreen>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include "app/Commands.h"
#include "app/frmMain.h"
#include "app/modWindow.h"
#include "controls/menu/xMenu.h"
#include "controls/toolbar/xToolbar.h"
#include "convert/ConversionLog.h"
#include "platform/Gdi.h"
#include "platform/PropertyBag.h"

namespace quillane::app {

namespace {

// Designed widths in twips, shown in pixels of the screen.
int TwipsX(int twips) { return static_cast<int>(std::lround(twips / platform::TwipsPerPixelX())); }

platform::PropertyBag ReadDesign(const char* name) {
  QFile file(QStringLiteral(":/quillane/designs/%1").arg(QLatin1String(name)));
  if (!file.open(QIODevice::ReadOnly)) return {};
  const QByteArray text = file.readAll();
  std::string error;
  auto bag =
      platform::PropertyBag::FromText(std::string_view(text.constData(), text.size()), &error);
  return bag ? *bag : platform::PropertyBag();
}

// The check boxes of the rows take no clicks while a run or an add is in progress.
class GuardedDelegate : public QStyledItemDelegate {
 public:
  explicit GuardedDelegate(frmMain* owner) : QStyledItemDelegate(owner), owner_(owner) {}
  bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override {
    if (owner_->Busy()) return false;
    return QStyledItemDelegate::editorEvent(event, model, option, index);
  }

 private:
  frmMain* owner_;
};

// The designed widths of the list's columns, in twips.
constexpr int kColumnTwips[] = {4851, 4851, 1764, 2822, 1235};

// The toolbar's place below the menu bar; it tells the window when its width changes.
class ToolbarDock : public QWidget {
 public:
  ToolbarDock(QWidget* parent, std::function<void()> resized)
      : QWidget(parent), resized_(std::move(resized)) {}

 protected:
  void resizeEvent(QResizeEvent* event) override {
    QWidget::resizeEvent(event);
    resized_();
  }

 private:
  std::function<void()> resized_;
};

}  // namespace

void TaskList::resizeEvent(QResizeEvent* event) {
  QTreeWidget::resizeEvent(event);
  // Size, date and state keep their designed widths and the two path columns share the rest,
  // down to a smallest width; past that the other three shrink too, to half their width, before
  // the list scrolls sideways.
  const int room = viewport()->width();
  const int fixed = TwipsX(kColumnTwips[colSize] + kColumnTwips[colDate] + kColumnTwips[colState]);
  const int smallest = TwipsX(1500);
  const int paths = std::max(2 * smallest, room - fixed);
  const double scale = std::clamp(static_cast<double>(room - paths) / fixed, 0.5, 1.0);
  for (const int c : {colSize, colDate, colState})
    setColumnWidth(c, static_cast<int>(TwipsX(kColumnTwips[c]) * scale));
  setColumnWidth(colSource, paths / 2);
  setColumnWidth(colTarget, paths - paths / 2);
}

void frmMain::FitToolbar() {
  // A floating toolbar sizes itself; a docked one is as long as its buttons, or as the window
  // allows, which shows its overflow chevron.
  QWidget* dock = xToolbar1->hWndContainer();
  if (!dock || xToolbar1->parentWidget() != dock || toolbarLength_ <= 0) return;
  const int room = std::max(dock->width() - xToolbar1->x(), 1);
  const int length = std::min(toolbarLength_, room);
  if (length != xToolbar1->width()) xToolbar1->resize(length, xToolbar1->height());
}

// --- window set-up ----------------------------------------------------------------------------

frmMain::frmMain() {
  setObjectName(QStringLiteral("frmMain"));
  setWindowTitle(QString::fromLatin1(kAppTitle));
  setWindowIcon(QIcon(QStringLiteral(":/quillane/icons/QUILLANE.png")));
  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  xMenu1 = new controls::xMenu(central);
  xMenu1->setObjectName(QStringLiteral("xMenu1"));
  auto* dock = new ToolbarDock(central, [this] { FitToolbar(); });
  xToolbar1 = new controls::xToolbar(dock, "xToolbar1");
  xToolbar1->setObjectName(QStringLiteral("xToolbar1"));
  xToolbar1->SetHWndContainer(dock);
  LoadDesigns();
  // A narrow window puts the menus that do not fit on a second row, as a desktop's own menu
  // bars do; the toolbar keeps one row and gives the buttons that do not fit a chevron.
  xMenu1->SetWraps(true);
  xToolbar1->SetOverflowMenuLook(xMenu1->Style(), xMenu1->HighLightStyle());
  xToolbar1->Events.OverflowCaption = [](std::int16_t, const std::string& key,
                                         std::string& caption) {
    if (const Command* c = FindCommand(key)) caption = MenuCaption(*c);
  };
  // Dragged along its place by the grip, the bar keeps within the window.
  xToolbar1->Events.DockingToolbar = [this](std::int32_t&, std::int32_t&) { FitToolbar(); };
  dock->setFixedHeight(xToolbar1->height());
  xToolbar1->move(0, 0);

  lstItem = new TaskList(this);
  BuildList();

  fraLog = new QGroupBox(QStringLiteral("Conversion Log"), central);
  auto* logLayout = new QVBoxLayout(fraLog);
  logLayout->setContentsMargins(6, 4, 6, 6);
  txtLog = new QPlainTextEdit(fraLog);
  txtLog->setObjectName(QStringLiteral("txtLog"));
  txtLog->setReadOnly(true);
  txtLog->setLineWrapMode(QPlainTextEdit::NoWrap);
  logLayout->addWidget(txtLog);
  fraLog->setMinimumHeight(110);

  pgbCompress = new QProgressBar(central);
  pgbCompress->setObjectName(QStringLiteral("pgbCompress"));
  pgbCompress->setTextVisible(false);
  pgbCompress->setFixedHeight(16);
  pgbCompress->hide();

  layout->addWidget(xMenu1);
  layout->addWidget(dock);
  auto* body = new QVBoxLayout();
  body->setContentsMargins(4, 4, 4, 2);
  body->setSpacing(4);
  // The list and the log pane share the height as 3 to 1; the list's path columns share the width.
  body->addWidget(lstItem, 3);
  body->addWidget(fraLog, 1);
  body->addWidget(pgbCompress);
  layout->addLayout(body, 1);
  setCentralWidget(central);
  BuildStatusBar();
  BuildPopup();
  BuildShortcuts();

  Timer1.setObjectName(QStringLiteral("Timer1"));
  Timer2.setObjectName(QStringLiteral("Timer2"));
  for (QTimer* t : {&Timer1, &Timer2}) {
    t->setInterval(100);
    t->setSingleShot(true);
  }
  connect(&Timer1, &QTimer::timeout, this, [this] { RunToolbarCommand(Timer1Tag); });
  connect(&Timer2, &QTimer::timeout, this, [this] { RunMenuCommand(Timer2Tag); });
  xMenu1->OnItemClick([this](const std::string& name) { MenuItemClick(name); });
  // An item's description shows in the wide middle panel while the item is under the pointer.
  xMenu1->OnItemDescription([this](const std::string& text) { SetPanel(2, text); });
  xToolbar1->Events.ButtonClick = [this](std::int16_t index, const std::string& key) {
    ToolbarButtonClick(index, key);
  };

  txtLog->setPlainText(QStringLiteral("Ready...\n"));
  // Conversions speak from the workers' threads: their notices are shown from the window's.
  convert::SetNoticeHook([this](const std::string& notice) {
    QMetaObject::invokeMethod(
        this, [this, notice] { AppendLog(notice); }, Qt::QueuedConnection);
  });
  resize(TwipsX(std::accumulate(std::begin(kColumnTwips), std::end(kColumnTwips), 0)) + 40, 560);
  LoadSettings();
  lstItem->setFocus();  // the list has the focus first; Shift+Tab reaches the toolbar
  // The first window fits the screen it opens on.
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    resize(size().boundedTo(screen->availableGeometry().size()));
}

frmMain::~frmMain() {
  Unload();
  // The workbooks in progress end before the window does; what they gave is logged.
  addCancelled_ = true;
  if (addThread_.joinable()) addThread_.join();
  if (pool_) {
    stopRun_ = true;
    pool_->Join();
    DrainRun();
  }
  convert::SetNoticeHook({});
  delete addFolder_.data();
}

void frmMain::LoadDesigns() {
  xMenu1->ReadProperties(ReadDesign("frmMain.xMenu1.bag"));
  xMenu1->Refresh();
  xToolbar1->ReadProperties(ReadDesign("frmMain.xToolbar1.bag"));
  // As placed on the window: tall enough for the pictures with their captions below, and as long
  // as its buttons (laid out on a long bar first), so that larger fonts keep every button.
  const int height = xToolbar1->PictureHeight() + QFontMetrics(xToolbar1->font()).height() + 22;
  xToolbar1->resize(4000, height);
  xToolbar1->Refresh();
  const int last = xToolbar1->ButtonCount();
  const float right = last > 0 ? xToolbar1->ButtonClientLeft(last) +
                                     xToolbar1->ButtonClientWidth(last) + xToolbar1->EdgeInset(2)
                               : 600.0f;
  toolbarLength_ = static_cast<int>(std::ceil(right)) + 2;
  xToolbar1->resize(toolbarLength_, height);
  xToolbar1->Refresh();
}

void frmMain::BuildList() {
  lstItem->setColumnCount(5);
  lstItem->setHeaderLabels({QStringLiteral("Source File"), QStringLiteral("Target File"),
                            QStringLiteral("File Size"), QStringLiteral("Modify Date"),
                            QStringLiteral("Converted")});
  for (int c = 0; c < 5; ++c) lstItem->setColumnWidth(c, TwipsX(kColumnTwips[c]));
  lstItem->headerItem()->setTextAlignment(colSize, Qt::AlignRight | Qt::AlignVCenter);
  lstItem->header()->setSectionsClickable(false);
  lstItem->header()->setStretchLastSection(false);
  lstItem->setRootIsDecorated(false);
  lstItem->setItemsExpandable(false);
  lstItem->setSortingEnabled(false);
  lstItem->setUniformRowHeights(true);
  // Long paths lose their middle, so that a page count at the end stays in sight.
  lstItem->setTextElideMode(Qt::ElideMiddle);
  lstItem->setSelectionMode(QAbstractItemView::ExtendedSelection);
  lstItem->setItemDelegate(new GuardedDelegate(this));
  EnableListCheckBoxes(lstItem);
}

void frmMain::BuildStatusBar() {
  const int widths[] = {4410, 11465, 2646};
  for (int i = 0; i < 3; ++i) {
    auto* label = new QLabel(this);
    label->setObjectName(QStringLiteral("stBarPanel%1").arg(i + 1));
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setFixedWidth(TwipsX(widths[i]));
    label->setMinimumWidth(0);
    statusBar()->addWidget(label, i == 1 ? 1 : 0);
    stBarPanel[i] = label;
  }
  stBarPanel[1]->setMinimumWidth(0);
  stBarPanel[1]->setMaximumWidth(TwipsX(widths[1]));
  stBarPanel[2]->setText(QStringLiteral("Total 0 Files"));
}

void frmMain::BuildPopup() {
  mnuPopup = new QMenu(this);
  mnuPopup->setObjectName(QStringLiteral("mnuPopup"));
  // The popup's own item names, and the command each runs ("" a separator).
  const std::pair<const char*, const char*> items[] = {{"mnuAdd", "mnuAddFile"},
                                                       {"mnuRemove", "mnuRemovefile"},
                                                       {"", ""},
                                                       {"mnuClearList", "mnuClear"},
                                                       {"", ""},
                                                       {"mnuSelectall", "mnuSall"},
                                                       {"mnuSelectNone", "mnuSnone"},
                                                       {"", ""},
                                                       {"mnuInvert", "mnuInvert"},
                                                       {"", ""},
                                                       {"mnuLog", "mnuclearlogs"},
                                                       {"", ""},
                                                       {"mnuOutputDir", "mnuOutput"},
                                                       {"", ""},
                                                       {"mnuOpenPage", "mnuOpenPage"},
                                                       {"mnuOpenFolder", "mnuOpenFolder"}};
  for (const auto& [name, command] : items) {
    const Command* c = FindCommand(command);
    if (!c) {
      mnuPopup->addSeparator();
      continue;
    }
    QAction* a = mnuPopup->addAction(QString::fromUtf8(c->caption));
    a->setObjectName(QString::fromLatin1(name));
    if (*c->shortcut) a->setShortcut(QKeySequence(QString::fromLatin1(c->shortcut)));
    a->setShortcutVisibleInContextMenu(true);
    // The row commands act at once on the row under the pointer; the rest are deferred.
    if (c == FindCommand("mnuOpenPage") || c == FindCommand("mnuOpenFolder"))
      connect(a, &QAction::triggered, this, [this, c] { c->run(*this, *c); });
    else
      connect(a, &QAction::triggered, this, [this, c] { MenuItemClick(c->name); });
    if (c == FindCommand("mnuRemovefile")) mnuRemove_ = a;
    if (c == FindCommand("mnuOutput")) mnuOutputDir_ = a;
    if (c == FindCommand("mnuOpenPage")) mnuOpenPage_ = a;
    if (c == FindCommand("mnuOpenFolder")) mnuOpenFolder_ = a;
  }
}

}  // namespace quillane::app
