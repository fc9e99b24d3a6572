#include "app/frmMain.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QRadioButton>
#include <QUrl>

#include "app/Commands.h"
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
#include "platform/Resources.h"

namespace quillane::app {

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }
std::string S(const QString& text) { return text.toStdString(); }

// The row pictures: a page with a green tick (converted), a plain page (not converted) and a page
// with a red cross (failed), drawn at 16 pixels and again at 32 for dense screens.
QPixmap RowPixmap(int icon, int scale) {
  QImage img(16 * scale, 16 * scale, QImage::Format_ARGB32);
  img.fill(Qt::transparent);
  img.setDevicePixelRatio(scale);
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
  } else if (icon == iconFailed) {
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(200, 30, 30));
    p.drawEllipse(QRectF(7, 7, 9, 9));
    p.setPen(QPen(Qt::white, 1.6));
    p.drawLine(QPointF(9.5, 9.5), QPointF(13.5, 13.5));
    p.drawLine(QPointF(13.5, 9.5), QPointF(9.5, 13.5));
  }
  p.end();
  return QPixmap::fromImage(img);
}

QIcon RowPicture(int icon) {
  QIcon picture(RowPixmap(icon, 1));
  picture.addPixmap(RowPixmap(icon, 2));
  return picture;
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
    if (!owner_->Busy()) owner_->ShowPopupAt(event->position().toPoint());
    return;
  }
  owner_->ChangeFilesState();
}

void TaskList::mouseDoubleClickEvent(QMouseEvent* event) {
  QTreeWidget::mouseDoubleClickEvent(event);
  if (event->button() == Qt::LeftButton) owner_->RetargetSelected();
}

void TaskList::keyPressEvent(QKeyEvent* event) {
  // Shift+F10 and the Menu key open the popup menu over the current row.
  if ((event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier) ||
      event->key() == Qt::Key_Menu) {
    QTreeWidgetItem* current = currentItem();
    if (!owner_->Busy())
      owner_->ShowPopupAt(current ? visualItemRect(current).center() : QPoint(4, 4));
    return;
  }
  QTreeWidget::keyPressEvent(event);
}

void TaskList::keyReleaseEvent(QKeyEvent* event) {
  QTreeWidget::keyReleaseEvent(event);
  if (event->isAutoRepeat() || !currentItem()) return;
  // Del, F5 and Ctrl+Left/Right are the window's shortcuts; Space ticks the row. During a run or
  // an add the rows stay as they are.
  if (event->key() == Qt::Key_Space && !owner_->Busy()) owner_->ChangeFilesState();
  owner_->ChangeFilesState();
}

void TaskList::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls() && !owner_->Busy()) event->acceptProposedAction();
}

void TaskList::dragMoveEvent(QDragMoveEvent* event) {
  if (event->mimeData()->hasUrls() && !owner_->Busy()) event->acceptProposedAction();
}

void TaskList::dropEvent(QDropEvent* event) {
  if (owner_->Busy()) return;
  std::vector<std::string> paths;
  for (const QUrl& url : event->mimeData()->urls())
    if (url.isLocalFile()) paths.push_back(S(url.toLocalFile()));
  if (paths.empty()) return;
  event->acceptProposedAction();
  // The dialog of the add must not run inside the drop: the drag source is still waiting.
  QTimer::singleShot(0, owner_, [owner = owner_, paths] { owner->AddDropped(paths); });
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
  static const QIcon pictures[] = {RowPicture(iconConverted), RowPicture(iconReady),
                                   RowPicture(iconFailed)};
  item->setIcon(colSource, pictures[std::clamp(icon, 1, 3) - 1]);
}

// Paths compare as the platform's file system compares them: exactly on POSIX, without regard to
// case on Windows.
std::string frmMain::ListKey(const std::string& path) {
#ifdef _WIN32
  return LowerCase(path);
#else
  return path;
#endif
}

bool frmMain::FileInList(const std::string& path) const {
  return listed_.count(ListKey(path)) != 0;
}

std::string frmMain::OutputOf(int row) const {
  QTreeWidgetItem* item = Row(row);
  return item ? S(item->data(colTarget, kOutputRole).toString()) : std::string();
}

std::string frmMain::FirstPageOf(int row) const {
  QTreeWidgetItem* item = Row(row);
  return item ? S(item->data(colTarget, kFirstPageRole).toString()) : std::string();
}

// The Target column names the first page the row will write; once converted, the first page it
// wrote and how many more there are.
void frmMain::SetTarget(QTreeWidgetItem* item, const std::string& output) {
  item->setData(colTarget, kOutputRole, Q(output));
  item->setData(colTarget, kFirstPageRole, QVariant());
  item->setText(colTarget, Q(convert::PagePath(output, 1)));
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
  SetTarget(item, target);
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
  listed_.insert(ListKey(path));
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
    if (Row(i)->isSelected()) {
      listed_.erase(ListKey(S(Row(i)->text(colSource))));
      delete lstItem->takeTopLevelItem(i - 1);
    }
  lstItem->viewport()->update();
  ChangeFilesState();
}

void frmMain::ClearList() {
  if (RowCount() == 0) return;
  if (MsgBox(this, "Do you want to clear all tasks? ", vbOKCancel | vbQuestion) != vbOK) return;
  lstItem->clear();
  listed_.clear();
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
  const std::string target = S(first->data(colTarget, kOutputRole).toString());
  if (highlighted.size() < 2 && current->data(colSource, Qt::UserRole).toInt() == iconConverted) {
    OpenPage();
    return;
  }
  if (Busy()) return;
  sOutputDir = kCancelled;
  if (highlighted.size() < 2) {
    auto folderOf = [](const std::string& path) {
      size_t cut = path.size();
      while (cut > 0 && !files::IsSeparator(path[cut - 1])) --cut;
      return path.substr(0, cut);
    };
    frmOptions dialog(this);
    if (target.find(folderOf(source)) == std::string::npos)
      dialog.SelectCustomDirectory(folderOf(target));
    else
      dialog.opnDir[0]->setChecked(true);
    dialog.exec();
  } else {
    frmOptions dialog(this);
    dialog.exec();
  }
  if (sOutputDir == kCancelled) {
    sOutputDir = bCustomDir ? sCustomDir : std::string();
    return;
  }
  for (int i = 1; i <= RowCount(); ++i) {
    QTreeWidgetItem* item = Row(i);
    if (!item->isSelected()) continue;
    std::string newTarget = files::ChangeExtension(S(item->text(colSource)), ".htm");
    if (!sOutputDir.empty()) newTarget = files::PlaceInFolder(newTarget, sOutputDir);
    SetTarget(item, newTarget);
  }
}

void frmMain::OpenPage() {
  QTreeWidgetItem* current = lstItem->currentItem();
  if (!current) return;
  const std::string page = S(current->data(colTarget, kFirstPageRole).toString());
  if (!page.empty() && files::FileExists(page)) {
    ShellOpen(page);
  } else {
    MsgBox(this, "This row has no page yet: convert it first.", vbInformation);
  }
}

void frmMain::OpenOutputFolder() {
  QTreeWidgetItem* current = lstItem->currentItem();
  if (!current) return;
  const std::string folder =
      S(QFileInfo(current->data(colTarget, kOutputRole).toString()).absolutePath());
  if (files::IsDirectory(folder))
    ShellOpen(folder);
  else
    MsgBox(this, "The output folder " + folder + " does not exist.", vbInformation);
}

// --- commands -----------------------------------------------------------------------------------

bool frmMain::Allowed(const std::string& command) {
  const Command* c = FindCommand(command);
  if (!Busy() || (c && c == FindCommand("mnuStop"))) return true;
  SetPanel(2, bConverting ? "Not while converting: stop the run first"
                          : "Not while adding: press Esc or Stop to cancel the search");
  return false;
}

void frmMain::MenuItemClick(const std::string& name) {
  const Command* c = FindCommand(name);
  if (!c || !Allowed(name)) return;
  if (adding_) {
    CancelAdd();
    return;
  }
  if (bConverting) {
    if (MsgBox(this, "Do you want to cancel all running tasks ", vbOKCancel | vbQuestion) ==
        vbCancel)
      return;
  }
  Timer2Tag = c->name;
  Timer2.start();
}

void frmMain::ToolbarButtonClick(int /*index*/, const std::string& key) {
  const Command* c = FindCommand(key);
  if (!c || !Allowed(key)) return;
  if (adding_) {
    CancelAdd();
    return;
  }
  if (bConverting) {
    if (MsgBox(this, "Do you want to cancel all running tasks ", vbOKCancel | vbQuestion) !=
        vbCancel)
      StopConversion();
    return;
  }
  Timer1Tag = c->key;
  Timer1.start();
}

void frmMain::RunMenuCommand(const std::string& name) {
  Timer2.stop();
  // A command chosen just before a run or an add started ticks during it: only Stop may run then.
  const Command* c = FindCommand(name);
  if (c && Allowed(name)) c->run(*this, *c);
}

void frmMain::RunToolbarCommand(const std::string& key) {
  Timer1.stop();
  const Command* c = FindCommand(key);
  if (c && *c->key && Allowed(key)) c->run(*this, *c);
}

void frmMain::Shortcut(const Command& command) {
  // A command whose menu item is greyed (Stop while idle) takes no key either.
  const int index = xMenu1->KeyToIndex(command.name);
  if (index > 0 && !xMenu1->Item(index).Enabled && !adding_) return;
  if (!Allowed(command.name)) return;
  // A key acts at once; during an add or a run it can only be Stop, which asks first.
  if (adding_) {
    CancelAdd();
  } else if (bConverting) {
    if (MsgBox(this, "Do you want to cancel all running tasks ", vbOKCancel | vbQuestion) !=
        vbCancel)
      StopConversion();
  } else {
    command.run(*this, command);
  }
}

void frmMain::BuildShortcuts() {
  for (const Command& c : Commands()) {
    if (!*c.shortcut) continue;
    auto* action = new QAction(this);
    action->setObjectName(QString::fromLatin1(c.name));
    action->setShortcut(QKeySequence(QString::fromLatin1(c.shortcut)));
    action->setShortcutContext(Qt::WindowShortcut);
    connect(action, &QAction::triggered, this, [this, &c] { Shortcut(c); });
    addAction(action);
  }
}

void frmMain::ShowPopupAt(const QPoint& listPos) {
  const bool onRow = lstItem->itemAt(listPos) != nullptr;
  mnuRemove_->setEnabled(onRow);
  mnuOutputDir_->setEnabled(onRow);
  mnuOpenPage_->setEnabled(onRow);
  mnuOpenFolder_->setEnabled(onRow);
  mnuPopup->popup(lstItem->viewport()->mapToGlobal(listPos));
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

// --- closing -------------------------------------------------------------------------------------

void frmMain::keyPressEvent(QKeyEvent* event) {
  // Esc cancels a search in progress wherever the focus is.
  if (event->key() == Qt::Key_Escape && adding_) {
    CancelAdd();
    return;
  }
  QMainWindow::keyPressEvent(event);
}

void frmMain::closeEvent(QCloseEvent* event) {
  if (bConverting) {
    if (MsgBox(this, "Do you want to cancel all running tasks and close the software? ",
               vbOKCancel | vbQuestion | vbDefaultButton2) == vbCancel) {
      event->ignore();
      return;
    }
    // The workbooks in progress finish (the process ends after the last of them), no other starts.
    StopConversion();
  }
  CancelAdd();
  event->accept();
  Unload();
}

void frmMain::Unload() {
  if (unloaded_) return;
  unloaded_ = true;
  SaveSettings();
  Timer1.stop();
  Timer2.stop();
  if (addFolder_) addFolder_->hide();
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w != this && w->isVisible() && LowerCase(S(w->objectName())) != "frmmain" &&
        !w->inherits("QMenu"))
      w->close();
}

}  // namespace quillane::app
