// The item tree, the bar's layout, the popup's layout and placement, and the lookup rules.
#include <gtest/gtest.h>

#include <QDialog>
#include <QGuiApplication>
#include <QScreen>

#include "controls/menu/MenuPaint.h"
#include "controls/menu/wMenu.h"
#include "gfx/basGDI.h"
#include "platform/Gdi.h"
#include "tests/controls/menu/MenuTestUtil.h"

namespace c = quillane::controls;
namespace p = quillane::platform;
using quillane::test::AddItems;
using quillane::test::Settle;

namespace {

int Width(const c::xMenu& menu, const char* text) { return c::paint::TextWidth(menu.hDC(), text); }
int Height(const c::xMenu& menu) { return c::paint::TextHeight(menu.hDC(), "A"); }

}  // namespace

TEST(MenuTree, ChildrenAreTheItemsExactlyOneLevelDown) {
  c::xMenu menu;
  AddItems(menu, {{0, "mnuFile", "File"},
                  {2, "deep", "Deep"},
                  {0, "mnuEdit", "Edit"},
                  {1, "a", "A"},
                  {2, "a1", "A1"},
                  {1, "b", "B"},
                  {0, "mnuLast", "Last"}});
  menu.Refresh();
  EXPECT_FALSE(menu.HasChildren(1));  // an item two levels down, then a sibling
  EXPECT_TRUE(menu.HasChildren(3));
  EXPECT_TRUE(menu.HasChildren(4));
  EXPECT_FALSE(menu.HasChildren(7));
  EXPECT_FALSE(menu.HasChildren(99));
  const bool roots[] = {false, false, true, true, false, false, false};
  const int parents[] = {0, 0, 0, 3, 4, 3, 0};
  for (int i = 1; i <= 7; ++i) {
    EXPECT_EQ(menu.Item(i).IsRoot, roots[i - 1]) << i;
    EXPECT_EQ(menu.Item(i).RootIndex, parents[i - 1]) << i;
  }
  EXPECT_THROW(menu.Item(8), p::ComError);
}

TEST(MenuBar, LaysOutVisibleTopLevelItemsFromHalfTheSpacing) {
  c::xMenu menu;
  menu.resize(400, 24);
  AddItems(menu, {{0, "mnuFile", "File"},
                  {1, "mnuOpen", "Open"},
                  {0, "mnuHidden", "Hidden"},
                  {0, "mnuEdit", "Edit"}});
  menu.Item(3).Visible = false;
  menu.SetSpacing(18);
  menu.Refresh();
  const int h = Height(menu), wFile = Width(menu, "File");
  EXPECT_EQ(menu.Item(1).X, 18);
  EXPECT_EQ(menu.Item(1).Y, 4);
  EXPECT_EQ(menu.Item(1).Rect(), (p::RECT{9, 2, 9 + 18 + wFile, 6 + h}));
  // The invisible item takes no room: Edit starts where it would have started.
  EXPECT_EQ(menu.Item(4).Rect().left, 9 + 18 + wFile);
  EXPECT_EQ(menu.Item(3).Rect(), p::RECT{});
  EXPECT_EQ(menu.HitTestRoot(9, 2), 1);
  EXPECT_EQ(menu.HitTestRoot(30, 50), 0);
  EXPECT_EQ(menu.HitTestRoot(0, 0), 0);  // not the invisible item, whose rectangle is empty
  // Half the spacing rounds half to even: 6.5 -> 6 and 5.5 -> 6.
  for (const int spacing : {13, 11}) {
    menu.SetSpacing(spacing);
    menu.Refresh();
    EXPECT_EQ(menu.Item(1).Rect().left, 6) << spacing;
    EXPECT_FLOAT_EQ(menu.Item(1).X, 6 + spacing / 2.0f) << spacing;
    EXPECT_EQ(menu.Item(4).Rect().left, 6 + spacing + wFile) << spacing;
  }
}

TEST(MenuLookup, KeyToIndexAndItemCheckedFollowNamesWithoutCase) {
  p::SetExeName("quillane");
  c::xMenu menu;
  AddItems(menu,
           {{0, "mnuFile", "File"}, {1, "mnuCompress", "Compress"}, {1, "MNUcompress", "Again"}});
  EXPECT_EQ(menu.KeyToIndex("3"), 3);
  EXPECT_EQ(menu.KeyToIndex("7"), 7);  // a number is returned unchanged
  EXPECT_EQ(menu.KeyToIndex("2.5"), 2);
  EXPECT_EQ(menu.KeyToIndex("mnufile"), 1);
  EXPECT_EQ(menu.KeyToIndex("0"), 0);
  try {
    menu.KeyToIndex("mnuNothing");
    FAIL() << "no error";
  } catch (const p::ComError& e) {
    EXPECT_EQ(e.Number(), 35601);
    EXPECT_EQ(e.Description(), "Element not found. Key is missing or illegal.");
    EXPECT_EQ(e.Source(), "quillane.xMenu:KeyToIndex");
  }
  EXPECT_THROW(menu.KeyToIndex("40000"), p::ComError);  // beyond a 16-bit index
  menu.SetItemChecked("MNUCOMPRESS", true);
  EXPECT_TRUE(menu.Item(2).Checked);
  EXPECT_FALSE(menu.Item(3).Checked);  // the first of that name only
  EXPECT_TRUE(menu.ItemChecked("mnuCOMPRESS"));
  menu.SetItemChecked("mnuUnknown", true);
  EXPECT_FALSE(menu.ItemChecked("mnuUnknown"));
}

TEST(MenuPopup, ListsVisibleChildrenAndSizesTheWindowInTwips) {
  c::xMenu menu;
  menu.move(40, 30);
  menu.resize(300, 24);
  AddItems(menu, {{0, "mnuFile", "File"},
                  {1, "mnuSave", "S&ave"},
                  {1, "mnuGone", "Gone"},
                  {1, "mnuBar", "-"},
                  {1, "mnuAnd", "A && B"},
                  {1, "mnuExit", "Exit&"},
                  {2, "mnuSub", "Sub"},
                  {0, "mnuEmpty", "Empty"},
                  {1, "mnuHidden", "Hidden"}});
  menu.Item(3).Visible = false;
  menu.Item(9).Visible = false;
  menu.Refresh();
  menu.show();
  menu.ShowMenu(1);
  c::wMenu* popup = menu.Popup();
  ASSERT_NE(popup, nullptr);
  EXPECT_TRUE(menu.Item(1).Expanded);
  EXPECT_EQ(popup->Listed(), (std::vector<std::int32_t>{2, 4, 5, 6}));
  const int h = Height(menu);
  int widest = 0;
  for (const char* caption : {"S&ave", "-", "A && B", "Exit&"})
    widest = std::max(widest, 35 + Width(menu, caption));
  EXPECT_EQ(popup->geometry(),
            QRect(menu.mapToGlobal(QPoint(menu.Item(1).Rect().left, menu.Item(1).Rect().bottom)),
                  QSize(widest + 30, 4 * (h + 6) + 4 + 8)));
  EXPECT_EQ(popup->LeftCorner, popup->geometry().left() * 15);  // 96 pixels per inch
  EXPECT_EQ(menu.Item(5).Rect(), (p::RECT{3, 4 + 2 * (h + 6), widest + 27, 4 + 3 * (h + 6)}));
  EXPECT_EQ(menu.Item(5).X, 30);
  EXPECT_EQ(menu.Item(5).Y, 6 + 2 * (h + 6));
  EXPECT_EQ(menu.Item(2).Accelerator, "A");
  EXPECT_EQ(menu.Item(5).Accelerator, "&");
  EXPECT_EQ(menu.Item(6).Accelerator, "");
  EXPECT_EQ(popup->FindByAccelerator("a"), 2);
  EXPECT_EQ(popup->HitTestItem(3, 4 + 2 * (h + 6)), 4);  // shared edges belong to the earlier item
  // The child popup opens at the parent's right edge, its first item 4 pixels below the parent
  // item.
  popup->ShowMenu(6);
  c::wMenu* child = popup->ChildPopup();
  ASSERT_NE(child, nullptr);
  EXPECT_EQ(child->geometry().left(), popup->geometry().right() + 1);
  EXPECT_EQ(child->mapToGlobal(QPoint(0, menu.Item(7).Rect().top)).y(),
            popup->mapToGlobal(QPoint(0, menu.Item(6).Rect().top)).y() + 4);
  EXPECT_EQ(child->OwnerWidth, 0);
  // A top-level item whose only child is invisible opens an empty popup of 30 x 8 pixels.
  menu.ShowMenu(8);
  ASSERT_NE(menu.Popup(), nullptr);
  EXPECT_FALSE(menu.Item(1).Expanded);
  EXPECT_EQ(menu.Popup()->size(), QSize(30, 8));
  EXPECT_TRUE(menu.Popup()->Listed().empty());
  menu.CloseOpenMenu();
  EXPECT_EQ(menu.Popup(), nullptr);
  EXPECT_FALSE(menu.Item(8).Expanded);
  Settle();
}

TEST(MenuPopup, RefusedOverAModalWindowAndKeptOnTheScreen) {
  p::SetExeName("quillane");
  c::xMenu menu;
  AddItems(menu, {{0, "mnuFile", "File"}, {1, "mnuA", "A long caption to make the popup wide"}});
  menu.resize(200, 24);
  menu.Refresh();
  menu.move(QGuiApplication::primaryScreen()->availableGeometry().right() - 20, 0);
  menu.show();
  {
    QDialog dialog;
    dialog.setModal(true);
    dialog.show();
    try {
      menu.ShowMenu(1);
      FAIL() << "no error";
    } catch (const p::ComError& e) {
      EXPECT_EQ(e.Number(), 35607);
      EXPECT_EQ(e.Description(), "Can't show menu on modal forms.");
      EXPECT_EQ(e.Source(), "quillane.xMenu:ShowMenu");
    }
    EXPECT_EQ(menu.Popup(), nullptr);
    EXPECT_FALSE(menu.Item(1).Expanded);
  }
  menu.ShowMenu(1);
  ASSERT_NE(menu.Popup(), nullptr);
  EXPECT_TRUE(
      QGuiApplication::primaryScreen()->availableGeometry().contains(menu.Popup()->geometry()));
  menu.CloseOpenMenu();
  Settle();
}
