#include "app/frmMain.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScrollBar>
#include <QStatusBar>
#include <QUrl>
#include <QVBoxLayout>

#include "app/frmAbout.h"
#include "app/frmAddFolder.h"
#include "app/frmOptions.h"
#include "app/modWindow.h"
#include "controls/menu/xMenu.h"
#include "controls/toolbar/xToolbar.h"
#include "convert/ConversionLog.h"
#include "convert/ConvertWorkbook.h"
#include "files/Search.h"
#include "files/modFuntions.h"
#include "platform/Gdi.h"
#include "platform/PropertyBag.h"
#include "platform/Resources.h"

namespace quillane::app {

namespace {

// Designed widths in twips, shown in pixels of the screen.
int TwipsX(int twips) { return static_cast<int>(std::lround(twips / platform::TwipsPerPixelX())); }

QString Q(const std::string& text) { return QString::fromStdString(text); }
std::string S(const QString& text) { return text.toStdString(); }

// The two row pictures: a page with a green tick (converted) and a plain page (not converted).
QIcon RowPicture(int icon) {
  QImage img(16, 16, QImage::Format_ARGB32);
  img.fill(Qt::transparent);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing, icon == iconConverted);
  p.setPen(QColor(90, 90, 90));
  p.setBrush(Qt::white);
  p.drawRect(2, 1, 10, 13);
  p.setPen(QColor(30, 120, 60));
  for (int y = 4; y < 13; y += 3) p.drawLine(4, y, 10, y);
  if (icon == iconConverted) {
    p.setPen(QPen(QColor(20, 150, 40), 2.2));
    p.drawLine(QPointF(6, 10.5), QPointF(9, 13.5));
    p.drawLine(QPointF(9, 13.5), QPointF(15, 6));
  }
  p.end();
  return QIcon(QPixmap::fromImage(img));
}

platform::PropertyBag ReadDesign(const char* name) {
  QFile file(QStringLiteral(":/quillane/designs/%1").arg(QLatin1String(name)));
  if (!file.open(QIODevice::ReadOnly)) return {};
  const QByteArray text = file.readAll();
  std::string error;
  auto bag =
      platform::PropertyBag::FromText(std::string_view(text.constData(), text.size()), &error);
  return bag ? *bag : platform::PropertyBag();
}

// Paths compare as the platform's file system compares them: exactly on POSIX, without regard to
// case on Windows.
bool SamePath(const std::string& a, const std::string& b) {
#ifdef _WIN32
  return LowerCase(a) == LowerCase(b);
#else
  return a == b;
#endif
}

}  // namespace

std::string LowerCase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// --- the task list widget ---------------------------------------------------------------------

TaskList::TaskList(frmMain* owner) : QTreeWidget(owner), owner_(owner) {
  setObjectName(QStringLiteral("lstItem"));
  setAcceptDrops(true);
  setDropIndicatorShown(false);
}

void TaskList::mouseReleaseEvent(QMouseEvent* event) {
  QTreeWidget::mouseReleaseEvent(event);
  if (event->button() == Qt::RightButton) {
    if (!owner_->bConverting) owner_->ShowPopupAt(event->position().toPoint());
    return;
  }
  owner_->ChangeFilesState();
}

void TaskList::mouseDoubleClickEvent(QMouseEvent* event) {
  QTreeWidget::mouseDoubleClickEvent(event);
  if (event->button() == Qt::LeftButton) owner_->RetargetSelected();
}

void TaskList::keyReleaseEvent(QKeyEvent* event) {
  QTreeWidget::keyReleaseEvent(event);
  if (event->isAutoRepeat() || !currentItem()) return;
  const bool ctrl = event->modifiers() & Qt::ControlModifier;
  // During a run the rows stay where they are: the run walks them by position.
  const bool running = owner_->bConverting;
  switch (running && event->key() != Qt::Key_F5 ? 0 : event->key()) {
    case Qt::Key_Space:
      owner_->ChangeFilesState();
      break;
    case Qt::Key_Left:
      if (ctrl) owner_->MoveUp();
      break;
    case Qt::Key_Right:
      if (ctrl) owner_->MoveDown();
      break;
    case Qt::Key_Delete:
      owner_->RemoveSelected();
      break;
    case Qt::Key_F5:
      owner_->MenuItemClick("mnuConverter");
      break;
    default:
      break;
  }
  owner_->ChangeFilesState();
}

void TaskList::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls() && !owner_->bConverting) event->acceptProposedAction();
}

void TaskList::dragMoveEvent(QDragMoveEvent* event) {
  if (event->mimeData()->hasUrls() && !owner_->bConverting) event->acceptProposedAction();
}

void TaskList::dropEvent(QDropEvent* event) {
  if (owner_->bConverting) return;
  std::vector<std::string> paths;
  for (const QUrl& url : event->mimeData()->urls())
    if (url.isLocalFile()) paths.push_back(S(url.toLocalFile()));
  if (paths.empty()) return;
  event->acceptProposedAction();
  // The dialog of the add must not run inside the drop: the drag source is still waiting.
  QTimer::singleShot(0, owner_, [owner = owner_, paths] { owner->AddDropped(paths); });
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
  auto* dock = new QWidget(central);
  xToolbar1 = new controls::xToolbar(dock, "xToolbar1");
  xToolbar1->setObjectName(QStringLiteral("xToolbar1"));
  xToolbar1->SetHWndContainer(dock);
  LoadDesigns();
  xMenu1->setFixedHeight(xMenu1->sizeHint().height());
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
  fraLog->setFixedHeight(150);

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
  body->addWidget(lstItem, 1);
  body->addWidget(fraLog);
  body->addWidget(pgbCompress);
  layout->addLayout(body, 1);
  setCentralWidget(central);
  BuildStatusBar();
  BuildPopup();

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
  files::SetDoEventsHook([] { QCoreApplication::processEvents(QEventLoop::AllEvents, 50); });
  convert::SetNoticeHook([this](const std::string& notice) { AppendLog(notice); });
  resize(TwipsX(4851 * 2 + 1764 + 2822 + 1235) + 40, 560);
}

frmMain::~frmMain() {
  Unload();
  files::SetDoEventsHook({});
  convert::SetNoticeHook({});
  delete addFolder_.data();
}

void frmMain::LoadDesigns() {
  xMenu1->ReadProperties(ReadDesign("frmMain.xMenu1.bag"));
  xMenu1->Refresh();
  xToolbar1->ReadProperties(ReadDesign("frmMain.xToolbar1.bag"));
  // As placed on the window: tall enough for the pictures with their captions below; the bar's
  // auto-size gives its length.
  xToolbar1->resize(600,
                    xToolbar1->PictureHeight() + QFontMetrics(xToolbar1->font()).height() + 22);
  xToolbar1->Refresh();
}

void frmMain::BuildList() {
  lstItem->setColumnCount(5);
  lstItem->setHeaderLabels({QStringLiteral("Source File"), QStringLiteral("Target File"),
                            QStringLiteral("File Size"), QStringLiteral("Modify Date"),
                            QStringLiteral("Converted")});
  const int widths[] = {4851, 4851, 1764, 2822, 1235};
  for (int c = 0; c < 5; ++c) lstItem->setColumnWidth(c, TwipsX(widths[c]));
  lstItem->headerItem()->setTextAlignment(colSize, Qt::AlignRight | Qt::AlignVCenter);
  lstItem->header()->setSectionsClickable(false);
  lstItem->header()->setStretchLastSection(false);
  lstItem->setRootIsDecorated(false);
  lstItem->setItemsExpandable(false);
  lstItem->setSortingEnabled(false);
  lstItem->setUniformRowHeights(true);
  lstItem->setSelectionMode(QAbstractItemView::ExtendedSelection);
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
  stBarPanel[2]->setText(QStringLiteral("Total 0 File"));
}

void frmMain::BuildPopup() {
  mnuPopup = new QMenu(this);
  mnuPopup->setObjectName(QStringLiteral("mnuPopup"));
  auto add = [this](const char* name, const char* caption, auto action) {
    QAction* a = mnuPopup->addAction(QString::fromUtf8(caption));
    a->setObjectName(QString::fromLatin1(name));
    connect(a, &QAction::triggered, this, action);
    return a;
  };
  add("mnuAdd", "&Add", [this] { MenuItemClick("mnuaddfile"); });
  mnuRemove_ = add("mnuRemove", "&Remove", [this] { MenuItemClick("mnuRemoveFile"); });
  mnuPopup->addSeparator();
  add("mnuClearList", "&Clear List", [this] { MenuItemClick("mnuclear"); });
  mnuPopup->addSeparator();
  add("mnuSelectall", "&Select All", [this] { MenuItemClick("mnusall"); });
  add("mnuSelectNone", "S&elect None", [this] { MenuItemClick("mnusnone"); });
  mnuPopup->addSeparator();
  add("mnuInvert", "&Invert Selection", [this] { MenuItemClick("mnuinvert"); });
  mnuPopup->addSeparator();
  add("mnuLog", "C&lear Logs", [this] { txtLog->setPlainText(QStringLiteral("Ready...\n")); });
  mnuPopup->addSeparator();
  mnuOutputDir_ = add("mnuOutputDir", "Output &Directory...", [this] { ShowOptions(); });
}

// --- task list operations ---------------------------------------------------------------------

int frmMain::RowCount() const { return lstItem->topLevelItemCount(); }

QTreeWidgetItem* frmMain::Row(int row) const { return lstItem->topLevelItem(row - 1); }

int frmMain::RowIconOf(int row) const {
  QTreeWidgetItem* item = Row(row);
  return item ? item->data(colSource, Qt::UserRole).toInt() : 0;
}

void frmMain::SetRowIcon(int row, int icon) {
  QTreeWidgetItem* item = Row(row);
  if (!item) return;
  item->setData(colSource, Qt::UserRole, icon);
  item->setIcon(colSource, RowPicture(icon));
}

bool frmMain::FileInList(const std::string& path) const {
  for (int i = 1; i <= RowCount(); ++i)
    if (SamePath(S(Row(i)->text(colSource)), path)) return true;
  return false;
}

bool frmMain::AddFiles(const std::string& path) {
  if (!files::FileExists(path) || FileInList(path)) return false;
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  if (ec) {
    MsgBox(this, ec.message(), vbCritical, "Function: Addfiles");
    return false;
  }
  std::string target = files::ChangeExtension(path, ".htm");
  if (!sOutputDir.empty()) target = files::PlaceInFolder(target, sOutputDir);
  auto* item = new QTreeWidgetItem();
  item->setText(colSource, Q(path));
  item->setText(colTarget, Q(target));
  const auto bytes = static_cast<std::int32_t>(std::min<std::uintmax_t>(size, INT32_MAX));
  item->setText(colSize, Q(files::FormatFileSize(bytes)));
  item->setTextAlignment(colSize, Qt::AlignRight | Qt::AlignVCenter);
  item->setText(colDate,
                QLocale().toString(QFileInfo(Q(path)).lastModified(), QLocale::ShortFormat));
  item->setText(colState, QStringLiteral("Ready"));
  item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
  lstItem->addTopLevelItem(item);
  SetRowIcon(RowCount(), iconReady);
  SetItemChecked(lstItem, RowCount(), true);
  files::DoEvents();
  return true;
}

void frmMain::ChangeFilesState() {
  int checked = 0;
  QTreeWidgetItem* current = lstItem->currentItem();
  for (int i = 1; i <= RowCount(); ++i) {
    if (!IsItemChecked(lstItem, i)) continue;
    ++checked;
    if (Row(i) == current) SetRowIcon(i, iconReady);
  }
  SetPanel(3, "Total " + std::to_string(RowCount()) + " Files");
  SetPanel(1, checked > 0 ? std::to_string(checked) + " Selected file(s)  " : std::string());
}

void frmMain::RemoveSelected() {
  for (int i = RowCount(); i >= 1; --i)
    if (Row(i)->isSelected()) delete lstItem->takeTopLevelItem(i - 1);
  lstItem->viewport()->update();
  ChangeFilesState();
}

void frmMain::ClearList() {
  if (RowCount() == 0) return;
  if (MsgBox(this, "Do you want to clear all tasks? ", vbOKCancel | vbQuestion) != vbOK) return;
  lstItem->clear();
  ChangeFilesState();
}

void frmMain::SelectAll(bool checked) {
  for (int i = 1; i <= RowCount(); ++i) {
    SetItemChecked(lstItem, i, checked);
    SetRowIcon(i, iconReady);
  }
  ChangeFilesState();
}

void frmMain::InvertSelection() {
  for (int i = 1; i <= RowCount(); ++i) {
    SetItemChecked(lstItem, i, !IsItemChecked(lstItem, i));
    SetRowIcon(i, iconReady);
  }
  ChangeFilesState();
}

void frmMain::SwapRows(int i, int j) {
  const bool checkI = IsItemChecked(lstItem, i);
  const bool checkJ = IsItemChecked(lstItem, j);
  // The row itself moves: take it out and put it back at its neighbour's place.
  QTreeWidgetItem* item = lstItem->takeTopLevelItem(i - 1);
  lstItem->insertTopLevelItem(j - 1, item);
  lstItem->clearSelection();
  lstItem->setCurrentItem(item);
  item->setSelected(true);
  files::DoEvents();
  lstItem->viewport()->update();
  // The check boxes are given as the neighbours had them at their places, so that each travels
  // with its own row.
  SetItemChecked(lstItem, j, checkI);
  SetItemChecked(lstItem, i, checkJ);
  SetRowIcon(i, iconReady);
  SetRowIcon(j, iconReady);
}

void frmMain::MoveUp() {
  QTreeWidgetItem* current = lstItem->currentItem();
  if (!current) return;
  const int i = lstItem->indexOfTopLevelItem(current) + 1;
  if (i <= 1) return;
  SwapRows(i, i - 1);
}

void frmMain::MoveDown() {
  QTreeWidgetItem* current = lstItem->currentItem();
  if (!current) return;
  const int i = lstItem->indexOfTopLevelItem(current) + 1;
  if (i >= RowCount()) return;
  SwapRows(i, i + 1);
}

void frmMain::RetargetSelected() {
  QTreeWidgetItem* current = lstItem->currentItem();
  if (!current) return;
  const QList<QTreeWidgetItem*> highlighted = lstItem->selectedItems();
  if (highlighted.isEmpty()) return;
  // The first highlighted row in list order.
  QTreeWidgetItem* first = nullptr;
  for (int i = 1; i <= RowCount() && !first; ++i)
    if (Row(i)->isSelected()) first = Row(i);
  const std::string source = S(first->text(colSource));
  const std::string target = S(first->text(colTarget));
  sOutputDir = kCancelled;
  if (highlighted.size() < 2) {
    if (current->data(colSource, Qt::UserRole).toInt() == iconConverted) {
      ShellOpen(target);
      return;
    }
    auto folderOf = [](const std::string& path) {
      size_t cut = path.size();
      while (cut > 0 && !files::IsSeparator(path[cut - 1])) --cut;
      return path.substr(0, cut);
    };
    frmOptions dialog(this);
    if (target.find(folderOf(source)) == std::string::npos) {
      files::DoEvents();
      dialog.SelectCustomDirectory(folderOf(target));
    }
    dialog.exec();
  } else {
    frmOptions dialog(this);
    dialog.exec();
  }
  if (sOutputDir == kCancelled) return;
  for (int i = 1; i <= RowCount(); ++i) {
    QTreeWidgetItem* item = Row(i);
    if (!item->isSelected()) continue;
    std::string newTarget = files::ChangeExtension(S(item->text(colSource)), ".htm");
    if (!sOutputDir.empty()) newTarget = files::PlaceInFolder(newTarget, sOutputDir);
    item->setText(colTarget, Q(newTarget));
  }
}

int frmMain::AddDropped(const std::vector<std::string>& paths) {
  if (bConverting) return 0;
  sOutputDir = kCancelled;
  {
    frmOptions dialog(this);
    dialog.exec();
  }
  if (sOutputDir == kCancelled) return 0;
  int added = 0;
  for (const std::string& path : paths) {
    if (files::IsDirectory(path)) {
      for (const std::string& pattern : WorkbookPatterns())
        for (const std::string& found : files::SearchTree(path, pattern))
          added += AddFiles(found) ? 1 : 0;
    } else {
      added += AddFiles(path) ? 1 : 0;
    }
  }
  lstItem->viewport()->update();
  ChangeFilesState();
  return added;
}

// --- commands -----------------------------------------------------------------------------------

void frmMain::MenuItemClick(const std::string& name) {
  files::DoEvents();
  if (bConverting) {
    if (LowerCase(name) != "mnustop") return;
    if (MsgBox(this, "Do you want to cancel all runing tasks ", vbOKCancel | vbQuestion) ==
        vbCancel)
      return;
  }
  Timer2Tag = LowerCase(name);
  Timer2.start();
}

void frmMain::ToolbarButtonClick(int /*index*/, const std::string& key) {
  if (bConverting) {
    if (LowerCase(key) != "stop") return;
    if (MsgBox(this, "Do you want to cancel all runing tasks ", vbOKCancel | vbQuestion) !=
        vbCancel)
      StopConversion();
    return;
  }
  Timer1Tag = LowerCase(key);
  Timer1.start();
}

void frmMain::RunMenuCommand(const std::string& name) {
  Timer2.stop();
  const std::string n = LowerCase(name);
  // A command chosen just before a run started ticks during it: only Stop may run then.
  if (bConverting && n != "mnustop") return;
  if (n == "mnuconverter")
    StartConversion();
  else if (n == "mnustop")
    StopConversion();
  else if (n == "mnuaddfile")
    BrowseFiles();
  else if (n == "mnuaddfolder")
    ShowAddFolder();
  else if (n == "mnuremovefile")
    RemoveSelected();
  else if (n == "mnuclear")
    ClearList();
  else if (n == "mnuviewlog") {
    if (files::FileExists(LogPath())) ShellOpen(LogPath());
  } else if (n == "mnuclearlog")
    txtLog->clear();
  else if (n == "mnuexit")
    close();
  else if (n == "mnuoutput")
    ShowOptions();
  else if (n == "mnumoveup")
    MoveUp();
  else if (n == "mnumovedown")
    MoveDown();
  else if (n == "mnusall")
    SelectAll(true);
  else if (n == "mnusnone")
    SelectAll(false);
  else if (n == "mnuinvert")
    InvertSelection();
  else if (n == "mnulogfile" || n == "mnuoverwrite" || n == "mnucreatedir" || n == "mnucompress") {
    xMenu1->SetItemChecked(n, !xMenu1->ItemChecked(n));
  } else if (n == "mnuhelpfile")
    ShellOpen(HelpPath());
  else if (n == "mnuwebsite")
    ShellOpen(WebsiteAddress());
  else if (n == "mnusupport")
    ShellOpen("mailto:" + SupportAddress());
  else if (n == "mnuabout")
    ShowAbout();
}

void frmMain::RunToolbarCommand(const std::string& key) {
  Timer1.stop();
  const std::string k = LowerCase(key);
  if (bConverting) return;
  if (k == "add") {
    RunMenuCommand("mnuaddfile");
    files::DoEvents();
  } else if (k == "folder") {
    RunMenuCommand("mnuaddfolder");
    files::DoEvents();
  } else if (k == "remove")
    RemoveSelected();
  else if (k == "extract")
    StartConversion();
  else if (k == "help")
    ShellOpen(HelpPath());
  else if (k == "home")
    ShellOpen(WebsiteAddress());
  else if (k == "email")
    ShellOpen("mailto:" + SupportAddress());
}

void frmMain::ShowPopupAt(const QPoint& listPos) {
  const bool onRow = lstItem->itemAt(listPos) != nullptr;
  mnuRemove_->setEnabled(onRow);
  mnuOutputDir_->setEnabled(onRow);
  mnuPopup->popup(lstItem->viewport()->mapToGlobal(listPos));
}

void frmMain::BrowseFiles() {
  const std::vector<std::string> chosen = ShowOpenDialog(this);
  if (chosen.empty()) return;
  sOutputDir = kCancelled;
  {
    frmOptions dialog(this);
    dialog.exec();
  }
  if (sOutputDir == kCancelled) return;
  for (const std::string& path : chosen)
    if (!AddFiles(path)) break;
  lstItem->viewport()->update();
  files::DoEvents();
  ChangeFilesState();
}

void frmMain::ShowAddFolder() {
  if (!addFolder_) addFolder_ = new frmAddFolder(this);
  addFolder_->exec();
}

void frmMain::ShowOptions() {
  frmOptions dialog(this);
  dialog.exec();
}

void frmMain::ShowAbout() {
  frmAbout dialog(this);
  dialog.exec();
}

// --- the run -----------------------------------------------------------------------------------

std::string frmMain::Panel(int panel) const { return S(stBarPanel[panel - 1]->text()); }

void frmMain::SetPanel(int panel, const std::string& text) {
  stBarPanel[panel - 1]->setText(Q(text));
}

std::string frmMain::LogText() const { return S(txtLog->toPlainText()); }

std::string frmMain::LogPath() const {
  return logPath_.empty() ? convert::DefaultLogPath() : logPath_;
}

convert::ConvertOptions frmMain::RunOptions() const {
  convert::ConvertOptions options;
  options.Overwrite = xMenu1->ItemChecked("mnuoverwrite");
  options.CreateFilesDir = xMenu1->ItemChecked("mnuCreateDir");
  options.Compress = xMenu1->ItemChecked("mnuCompress");
  options.Password = sPasswords;
  options.SheetRange = sSheets;
  options.WriteLog = xMenu1->ItemChecked("mnuLogfile");
  options.LogPath = LogPath();
  return options;
}

void frmMain::AppendLog(const std::string& line) {
  const QString text = txtLog->toPlainText();
  txtLog->setPlainText(text.isEmpty() ? Q(line) : text + QLatin1Char('\n') + Q(line));
  txtLog->verticalScrollBar()->setValue(txtLog->verticalScrollBar()->maximum());
}

void frmMain::SetBusyPointer(bool busy) {
  if (busy == busyPointer_) return;
  busyPointer_ = busy;
  if (busy)
    QApplication::setOverrideCursor(Qt::WaitCursor);
  else
    QApplication::restoreOverrideCursor();
}

void frmMain::SetRunCommands(bool running) {
  xToolbar1->SetButtonEnabled(5, !running);
  xToolbar1->SetButtonEnabled(6, running);
  xMenu1->Item(xMenu1->KeyToIndex("mnuStop")).Enabled = running;
}

void frmMain::StartConversion() {
  const std::string panel1 = Panel(1);
  long m = 0;
  for (char c : panel1) {
    if (!std::isdigit(static_cast<unsigned char>(c)) || m > 1000000) break;
    m = m * 10 + (c - '0');
  }
  const int rows = RowCount();
  if (rows == 0 || m < 1) {
    MsgBox(this, "Please add a task first!", vbInformation);
    return;
  }
  bConverting = true;
  SetRunCommands(true);
  pgbCompress->setValue(0);
  pgbCompress->setMaximum(static_cast<int>((m + 2) * 10));
  pgbCompress->show();
  SetPanel(1, "Initializing ...");
  SetBusyPointer(true);
  files::DoEvents();
  lstItem->setSelectionMode(QAbstractItemView::SingleSelection);

  auto finish = [&](const convert::RunLog* runLog) {
    lstItem->setSelectionMode(QAbstractItemView::ExtendedSelection);
    convert::QuitExcel();
    pgbCompress->setValue(pgbCompress->maximum());
    files::DoEvents();
    if (runLog && xMenu1->ItemChecked("mnuLogfile") && !runLog->Empty()) {
      std::string error;
      if (!runLog->AppendTo(LogPath(), error))
        AppendLog("The log file could not be written: " + error);
    }
    txtLog->moveCursor(QTextCursor::End);
    txtLog->moveCursor(QTextCursor::StartOfLine);
    SetRunCommands(false);
    pgbCompress->hide();
    bConverting = false;
    SetBusyPointer(false);
    ChangeFilesState();
  };

  if (!convert::StartExcel()) {
    close();
    // Kept open by the user: the run ends here with every row as it was, not stuck running.
    finish(nullptr);
    return;
  }
  pgbCompress->setValue(10);
  SetPanel(1, "Now converting ...");
  files::DoEvents();

  convert::RunLog runLog;
  int k = 0;
  for (int i = 1; i <= RowCount(); ++i) {
    if (!bConverting) break;
    if (!IsItemChecked(lstItem, i)) continue;
    ++k;
    files::DoEvents();
    // The row may have gone while events ran (a window closed over it): take it from the list now.
    QTreeWidgetItem* item = Row(i);
    if (!item) break;
    const std::string source = S(item->text(colSource));
    const std::string target = S(item->text(colTarget));
    lstItem->setCurrentItem(item);
    lstItem->scrollToItem(item);
    convert::ConvertResult result;
    try {
      result = convert::ConvertWorkbook(source, target, RunOptions());
    } catch (const std::exception& error) {
      // Whatever escapes the conversion fails this row only, with its coded line.
      result.code = convert::LogCode::Failed;
      result.line = convert::Line103(source, error.what());
    }
    item = Row(i);
    if (item) {
      if (result.Converted()) {
        SetRowIcon(i, iconConverted);
        item->setText(colState, QStringLiteral("Done"));
      } else {
        item->setText(colState, QStringLiteral("Failure"));
      }
    }
    runLog.Gather(result.line);
    AppendLog(result.line);
    SetPanel(1, "Now Converting ...     " + std::to_string(k) + "/" + std::to_string(m));
    if (item) SetItemChecked(lstItem, i, false);
    pgbCompress->setValue(std::min(pgbCompress->maximum(), pgbCompress->value() + 10));
  }
  finish(&runLog);
}

void frmMain::StopConversion() {
  bConverting = false;
  SetPanel(1, "Stopping...");
  files::DoEvents();
  SetBusyPointer(false);
}

// --- closing -------------------------------------------------------------------------------------

void frmMain::closeEvent(QCloseEvent* event) {
  if (bConverting) {
    if (MsgBox(this, "Do you want to cancel all runing tasks and close the software? ",
               vbOKCancel | vbQuestion | vbDefaultButton2) == vbCancel) {
      event->ignore();
      return;
    }
    bConverting = false;
  }
  event->accept();
  Unload();
}

void frmMain::Unload() {
  if (unloaded_) return;
  unloaded_ = true;
  Timer1.stop();
  Timer2.stop();
  if (addFolder_) addFolder_->hide();
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w != this && w->isVisible() && LowerCase(S(w->objectName())) != "frmmain" &&
        !w->inherits("QMenu"))
      w->close();
}

}  // namespace quillane::app
