// The window's layout at 200, 800, 1000, 1280 and 2560 pixels with real events: a narrow window's
// menu bar takes a second row and its toolbar a chevron whose popup reaches the hidden buttons by
// mouse, keys and assistive technology; wide windows keep one row and every button; the list's
// columns all stay in sight from 800 pixels up.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QCursor>
#include <QGroupBox>

#include "WindowTestUtil.h"
#include "app/Commands.h"
#include "controls/menu/wMenu.h"

namespace quillane::test {

namespace {

class WindowLayout : public WindowTest {
 protected:
  void Width(int width) {
    w->resize(width, 600);
    Settle();
  }
  // The item of the toolbar's overflow popup that runs a command, or null.
  static const controls::MenuItem* ItemOf(const controls::wMenu& popup, const char* key) {
    for (const std::int32_t j : popup.Listed())
      if ((*popup.MenuTree)[j - 1].Caption == app::MenuCaption(*app::FindCommand(key)))
        return &(*popup.MenuTree)[j - 1];
    return nullptr;
  }
  int Columns() const {
    int sum = 0;
    for (int c = 0; c < 5; ++c) sum += w->lstItem->columnWidth(c);
    return sum;
  }
};

}  // namespace

TEST_F(WindowLayout, ANarrowWindowReachesEveryMenuAndButton) {
  controls::xMenu* menu = w->xMenu1;
  controls::xToolbar* bar = w->xToolbar1;
  Width(200);
  // The menus that do not fit go to a second row of the bar, which grows to show it.
  const controls::MenuItem& file = menu->Item(menu->KeyToIndex("mnuFile"));
  const controls::MenuItem& help = menu->Item(menu->KeyToIndex("mnuhelp"));
  ASSERT_GT(menu->RowsFor(menu->width()), 1);
  EXPECT_GT(help.Rect().top, file.Rect().bottom - 1);
  EXPECT_LE(help.Rect().bottom, menu->height());
  EXPECT_LE(help.Rect().right, menu->width());
  QTest::mouseClick(menu, Qt::LeftButton, {}, Centre(help));
  Settle();
  ASSERT_NE(menu->Popup(), nullptr);
  EXPECT_EQ(menu->Popup()->FilterIndex, menu->KeyToIndex("mnuhelp"));
  QTest::mouseClick(menu, Qt::LeftButton, {}, Centre(help));  // closes it again
  Settle();
  EXPECT_EQ(menu->Popup(), nullptr);
  w->lstItem->setFocus();
  Key(Qt::Key_H, Qt::AltModifier);
  ASSERT_NE(menu->Popup(), nullptr);
  EXPECT_EQ(menu->Popup()->FilterIndex, menu->KeyToIndex("mnuhelp"));
  Key(Qt::Key_Left);  // along the bar, across its rows
  EXPECT_EQ(menu->Popup()->FilterIndex, menu->KeyToIndex("mnuOptions"));
  Key(Qt::Key_Right);
  EXPECT_EQ(menu->Popup()->FilterIndex, menu->KeyToIndex("mnuhelp"));
  Key(Qt::Key_Escape);
  Key(Qt::Key_Escape);

  // The toolbar ends inside the window with a chevron; Convert and what follows are behind it.
  ASSERT_TRUE(bar->Overflowing());
  EXPECT_LE(bar->x() + bar->width(), bar->parentWidget()->width());
  EXPECT_TRUE(bar->InOverflow(bar->KeyToIndex("Extract")));
  EXPECT_FALSE(bar->InOverflow(1));
  EXPECT_EQ(bar->IsWithinButton(bar->ButtonClientLeft("Extract") + 2, 10), 0);
  const QImage drawn = bar->SurfaceImage();
  bar->SetButtonEnabled("Extract", false);  // a hidden button is never drawn
  EXPECT_EQ(bar->SurfaceImage(), drawn);
  bar->SetButtonEnabled("Extract", true);
  // By mouse: the popup lists the hidden buttons' commands as the menus name them, Stop greyed.
  QTest::mouseClick(bar, Qt::LeftButton, {}, bar->ChevronRect().center());
  Settle();
  controls::wMenu* popup = bar->OverflowPopup();
  ASSERT_NE(popup, nullptr);
  for (const char* key : {"Extract", "stop", "Help", "home", "email"})
    ASSERT_NE(ItemOf(*popup, key), nullptr) << key;
  EXPECT_EQ(ItemOf(*popup, "Extract")->Name, std::to_string(bar->KeyToIndex("Extract")));
  EXPECT_FALSE(ItemOf(*popup, "stop")->Enabled);
  QTest::mouseClick(popup, Qt::LeftButton, {}, Centre(*ItemOf(*popup, "Help")));
  Settle(250);
  EXPECT_EQ(bar->OverflowPopup(), nullptr);
  EXPECT_EQ(opened, std::vector<std::string>{app::HelpPath()});

  // By keys: End reaches the chevron, Space opens it with its first item hot, Esc closes it back
  // to the chevron, Down opens it again and Enter runs the hot item.
  bar->setFocus(Qt::TabFocusReason);
  Key(Qt::Key_End);
  EXPECT_EQ(bar->FocusButton(), bar->ChevronIndex());
  Key(Qt::Key_Space);
  popup = bar->OverflowPopup();
  ASSERT_NE(popup, nullptr);
  EXPECT_EQ(popup->HotItem(), popup->Listed().front());
  Key(Qt::Key_Escape);
  Settle(50);
  EXPECT_EQ(bar->OverflowPopup(), nullptr);
  EXPECT_EQ(QApplication::focusWidget(), bar);
  Key(Qt::Key_Down);
  ASSERT_NE(bar->OverflowPopup(), nullptr);
  Key(Qt::Key_Down);  // Stop, greyed
  Key(Qt::Key_Down);  // Help
  Key(Qt::Key_Return);
  Settle(250);
  EXPECT_EQ(opened.size(), 2u);

  // Assistive technology: the hidden buttons are gone from the tree, the chevron is the last child.
  QAccessibleInterface* tree = QAccessible::queryAccessibleInterface(bar);
  ASSERT_NE(tree, nullptr);
  QAccessibleInterface* more = tree->child(tree->childCount() - 1);
  EXPECT_EQ(more->text(QAccessible::Name), QStringLiteral("More buttons"));
  EXPECT_EQ(more->role(), QAccessible::ButtonMenu);
  EXPECT_TRUE(more->state().hasPopup);
  EXPECT_EQ(tree->childCount(), bar->FirstOverflowButton());  // the buttons before it, and it
  // The popup stays while the same buttons are hidden, and the window may go with it open.
  QTest::mouseClick(bar, Qt::LeftButton, {}, bar->ChevronRect().center());
  ASSERT_NE(bar->OverflowPopup(), nullptr);
  EXPECT_EQ(more->child(0), QAccessible::queryAccessibleInterface(bar->OverflowPopup()));
  EXPECT_EQ(more->child(0)->parent(), more);
  bar->Refresh();
  EXPECT_NE(bar->OverflowPopup(), nullptr);
  w.reset();
}

TEST_F(WindowLayout, WideWindowsKeepOneRowAndEveryButton) {
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_LE(w->width(), screen.width());
  EXPECT_LE(w->height(), screen.height());
  controls::xToolbar* bar = w->xToolbar1;
  const float end = bar->ButtonClientLeft(10) + bar->ButtonClientWidth(10);
  for (const int width : {1280, 2560}) {
    Width(width);
    EXPECT_EQ(w->xMenu1->height(), w->xMenu1->sizeHint().height()) << width;
    EXPECT_FALSE(bar->Overflowing()) << width;
    EXPECT_TRUE(bar->ChevronRect().isEmpty()) << width;
    EXPECT_GE(bar->width(), end) << width;  // as long as its buttons, no longer
    EXPECT_LE(bar->width(), end + 12) << width;
    QAccessibleInterface* tree = QAccessible::queryAccessibleInterface(bar);
    EXPECT_EQ(tree->child(tree->childCount() - 1)->text(QAccessible::Name),
              QStringLiteral("Email"));
    EXPECT_NEAR(w->fraLog->height() * 3, w->lstItem->height(), 12) << width;
  }
  // Dragged by its grip towards the window's edge, the bar stops there with its chevron.
  QWidget* dock = bar->parentWidget();
  QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(4, 8));
  QCursor::setPos(dock->mapToGlobal(QPoint(dock->width() - 150, 8)));
  for (int waited = 0; waited < 2000 && bar->x() < dock->width() - 160; waited += 10)
    QTest::qWait(10);
  QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(4, 8));
  EXPECT_LE(bar->x() + bar->width(), dock->width());
  EXPECT_TRUE(bar->Overflowing());
}

TEST_F(WindowLayout, EveryColumnIsInSightFrom800PixelsUp) {
  const int state = w->lstItem->columnWidth(app::colState);
  const int date = w->lstItem->columnWidth(app::colDate);
  for (const int width : {800, 1000, 1280}) {
    Width(width);
    const int view = w->lstItem->viewport()->width();
    EXPECT_LE(Columns(), view) << width;
    EXPECT_GE(Columns(), view - 2) << width;
    EXPECT_EQ(w->lstItem->columnWidth(app::colState), state) << width;
    EXPECT_NEAR(w->lstItem->columnWidth(0), w->lstItem->columnWidth(1), 1) << width;
  }
  // Narrower, the path columns give way first; only then the others.
  Width(700);
  EXPECT_LT(w->lstItem->columnWidth(0), date);
  EXPECT_EQ(w->lstItem->columnWidth(app::colDate), date);
  Width(200);
  EXPECT_LT(w->lstItem->columnWidth(app::colDate), date);
  EXPECT_GE(w->lstItem->columnWidth(app::colDate), date / 2);
}

}  // namespace quillane::test
