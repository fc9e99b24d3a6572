// The bar and its popups driven by real Qt mouse events on the offscreen platform: opening,
// switching and closing popups, choices, descriptions, the leave timer and clicks elsewhere.
#include <gtest/gtest.h>

#include <memory>

#include <QPointer>
#include <QWindow>
#include <QTest>

#include "controls/menu/wMenu.h"
#include "tests/controls/menu/MenuTestUtil.h"
#include "tests/controls/menu/SampleMenu.h"

namespace c = quillane::controls;
namespace p = quillane::platform;
using quillane::test::MoveTo;
using quillane::test::Settle;

namespace {

QPoint Centre(const c::MenuItem& item) {
  const p::RECT& r = item.Rect();
  return QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

// A window with the sample menu along its top, shown and active, recording the events.
struct MenuWindow {
  QWidget window;
  c::xMenu* menu;
  std::vector<std::string> clicks, descriptions;

  MenuWindow() {
    window.setGeometry(10, 10, 400, 200);
    menu = new c::xMenu(&window);
    quillane::test::FillSampleMenu(*menu);
    menu->setGeometry(0, 0, 400, menu->sizeHint().height());
    menu->Refresh();
    menu->OnItemClick([this](const std::string& key) { clicks.push_back(key); });
    menu->OnItemDescription([this](const std::string& text) { descriptions.push_back(text); });
    window.show();
    window.activateWindow();
    Settle();
  }
  ~MenuWindow() {
    if (menu) menu->CloseOpenMenu();
    Settle();
  }
  void Click(QWidget* widget, int item, Qt::MouseButton button = Qt::LeftButton) {
    QTest::mouseClick(widget, button, {}, Centre(menu->Item(item)));
    Settle();
  }
  // The chain File > Recent Folders.
  std::pair<c::wMenu*, c::wMenu*> OpenTwoLevels() {
    Click(menu, 1);
    c::wMenu* first = menu->Popup();
    EXPECT_NE(first, nullptr);
    if (!first) return {};
    Click(first, 5);
    return {first, first->ChildPopup()};
  }
  QRgb BarPixel(int item) const {
    return menu->Surface()->pixel(menu->Item(item).Rect().left, menu->Item(item).Rect().top) &
           0xFFFFFF;
  }
};

constexpr QRgb kPressed = 0x808080, kHot = 0xFFFFFF,
               kNormal = 0xF0F0F0;  // the style 0 frame's corner

}  // namespace

TEST(MenuInteraction, PressOpensMovingSwitchesAndASecondPressCloses) {
  MenuWindow w;
  w.Click(w.menu, 1);
  ASSERT_NE(w.menu->Popup(), nullptr);
  EXPECT_EQ(w.menu->Popup()->FilterIndex, 1);
  EXPECT_TRUE(w.menu->MenuOpen());
  EXPECT_TRUE(w.menu->Item(1).Expanded);
  EXPECT_EQ(w.BarPixel(1), kPressed);
  EXPECT_TRUE(w.clicks.empty());  // a top-level item opens its popup and is never chosen
  MoveTo(w.menu, Centre(w.menu->Item(13)));
  Settle();
  ASSERT_NE(w.menu->Popup(), nullptr);
  EXPECT_EQ(w.menu->Popup()->FilterIndex, 13);
  EXPECT_FALSE(w.menu->Item(1).Expanded);
  EXPECT_TRUE(w.menu->Item(13).Expanded);
  EXPECT_TRUE(w.menu->MenuOpen());
  EXPECT_EQ(w.BarPixel(1), kNormal);
  EXPECT_EQ(w.BarPixel(13), kPressed);  // the item whose popup is open shows pressed
  MoveTo(w.menu, QPoint(390, 5));       // off the items while open: nothing changes
  EXPECT_EQ(w.menu->HotItem(), 13);
  EXPECT_EQ(w.menu->Popup()->FilterIndex, 13);
  w.Click(w.menu, 13);
  EXPECT_EQ(w.menu->Popup(), nullptr);
  EXPECT_FALSE(w.menu->MenuOpen());
  EXPECT_FALSE(w.menu->Item(13).Expanded);
  EXPECT_EQ(w.BarPixel(13), kHot);
}

TEST(MenuInteraction, ALeafChoiceRaisesItemClickOnceAndClosesTheChain) {
  MenuWindow w;
  auto [first, second] = w.OpenTwoLevels();
  ASSERT_NE(second, nullptr);
  EXPECT_TRUE(first->MenuOpen());
  EXPECT_TRUE(w.menu->Item(5).Expanded);
  // A disabled item, a separator and an item with children raise nothing.
  w.Click(second, 10);
  EXPECT_EQ(first->ChildPopup(), second);
  w.Click(first, 4);  // the press closes the child popup first
  EXPECT_EQ(first->ChildPopup(), nullptr);
  EXPECT_FALSE(first->MenuOpen());
  w.Click(first, 5);
  second = first->ChildPopup();
  ASSERT_NE(second, nullptr);
  w.Click(first, 5);  // pressed again: closed and opened afresh
  ASSERT_NE(first->ChildPopup(), nullptr);
  EXPECT_NE(first->ChildPopup(), second);
  second = first->ChildPopup();
  EXPECT_TRUE(w.clicks.empty());
  w.Click(second, 7);
  EXPECT_EQ(w.clicks, std::vector<std::string>{"mnuRecent2"});
  EXPECT_EQ(w.menu->Popup(), nullptr);
  EXPECT_FALSE(w.menu->MenuOpen());
  for (int i = 1; i <= w.menu->Count(); ++i) EXPECT_FALSE(w.menu->Item(i).Expanded) << i;
}

TEST(MenuInteraction, DescriptionsOnEntryAndEmptyWhenTheBarsHotItemChanges) {
  MenuWindow w;
  MoveTo(w.menu, Centre(w.menu->Item(1)));
  EXPECT_EQ(w.descriptions, std::vector<std::string>{""});
  EXPECT_EQ(w.BarPixel(1), kHot);
  w.Click(w.menu, 1);
  c::wMenu* first = w.menu->Popup();
  ASSERT_NE(first, nullptr);
  MoveTo(first, Centre(w.menu->Item(2)));
  MoveTo(first, Centre(w.menu->Item(2)));  // no change, no event
  MoveTo(first, Centre(w.menu->Item(3)));
  EXPECT_EQ(first->HotItem(), 3);
  MoveTo(first, QPoint(1, 1));  // off every item: the hot item clears, nothing is sent
  EXPECT_EQ(first->HotItem(), 0);
  EXPECT_EQ(w.descriptions, (std::vector<std::string>{"", "Add workbooks to the list",
                                                      "Add every workbook of a folder"}));
  MoveTo(w.menu, Centre(w.menu->Item(13)));
  EXPECT_EQ(w.descriptions.back(), "");
}

// Through the platform, as a person's pointer: while popups are open every event goes to the
// newest one, which hands it to the popup or bar under the pointer.
TEST(MenuInteraction, PointerEventsReachThePartOfTheChainUnderThePointer) {
  MenuWindow w;
  auto [first, second] = w.OpenTwoLevels();
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(QApplication::activePopupWidget(), second);
  // Each popup is a transient of the window that opened it, placed from its opener's item.
  EXPECT_EQ(first->windowHandle()->transientParent(), w.window.windowHandle());
  EXPECT_EQ(second->windowHandle()->transientParent(), first->windowHandle());
  const c::MenuItem& file = w.menu->Item(1);
  EXPECT_EQ(first->geometry().topLeft() - w.window.geometry().topLeft(),
            QPoint(file.Rect().left, file.Rect().bottom));
  const c::MenuItem& recent = w.menu->Item(5);
  EXPECT_EQ(second->geometry().topLeft() - first->geometry().topLeft(),
            QPoint(recent.Rect().left + recent.Rect().right, recent.Rect().top));
  // A press on the first popup closes the second.
  QTest::mouseClick(first->windowHandle(), Qt::LeftButton, {}, Centre(w.menu->Item(4)));
  Settle();
  EXPECT_EQ(first->ChildPopup(), nullptr);
  ASSERT_EQ(w.menu->Popup(), first);
  // A move over another item of the bar opens its menu; a press on it closes the menu.
  QWindow* main = w.window.windowHandle();
  QTest::mouseMove(main, Centre(w.menu->Item(13)));
  Settle();
  ASSERT_NE(w.menu->Popup(), nullptr);
  EXPECT_EQ(w.menu->Popup()->FilterIndex, 13);
  QTest::mouseClick(main, Qt::LeftButton, {}, Centre(w.menu->Item(13)));
  Settle();
  EXPECT_EQ(w.menu->Popup(), nullptr);
  EXPECT_FALSE(w.menu->MenuOpen());
  // A press anywhere else (here the window below the bar) closes every level.
  std::tie(first, second) = w.OpenTwoLevels();
  ASSERT_NE(second, nullptr);
  QTest::mouseClick(main, Qt::LeftButton, {}, QPoint(380, 180));
  Settle();
  EXPECT_EQ(w.menu->Popup(), nullptr);
  EXPECT_FALSE(w.menu->MenuOpen());
  EXPECT_FALSE(w.menu->Item(1).Expanded);
  EXPECT_FALSE(w.menu->Item(5).Expanded);
  EXPECT_TRUE(w.clicks.empty());
}

TEST(MenuInteraction, ARightPressClosesOneLevelAndAPlatformCloseUnloads) {
  MenuWindow w;
  auto [first, second] = w.OpenTwoLevels();
  ASSERT_NE(second, nullptr);
  w.Click(second, 7, Qt::RightButton);
  EXPECT_EQ(first->ChildPopup(), nullptr);
  EXPECT_FALSE(first->MenuOpen());
  EXPECT_FALSE(w.menu->Item(5).Expanded);
  QTest::qWait(150);  // the parent popup stays
  ASSERT_EQ(w.menu->Popup(), first);
  w.Click(first, 2, Qt::RightButton);
  EXPECT_EQ(w.menu->Popup(), nullptr);
  EXPECT_FALSE(w.menu->MenuOpen());
  EXPECT_TRUE(w.clicks.empty());
  // Closed by the platform (a compositor's dismissal): unloaded all the same.
  std::tie(first, second) = w.OpenTwoLevels();
  ASSERT_NE(second, nullptr);
  first->close();
  Settle();
  EXPECT_EQ(w.menu->Popup(), nullptr);
  EXPECT_FALSE(w.menu->MenuOpen());
  EXPECT_FALSE(w.menu->Item(1).Expanded);
  EXPECT_FALSE(w.menu->Item(5).Expanded);
}

TEST(MenuInteraction, TheHotItemReturnsToNormalWithinOneTickAfterThePointerLeaves) {
  MenuWindow w;
  const QPoint over = Centre(w.menu->Item(1));
  QCursor::setPos(w.menu->mapToGlobal(over));
  MoveTo(w.menu, over);
  EXPECT_EQ(w.menu->HotItem(), 1);
  QTest::qWait(150);
  EXPECT_EQ(w.menu->HotItem(), 1);  // still over it
  QCursor::setPos(w.menu->mapToGlobal(QPoint(over.x(), 150)));
  QTest::qWait(130);
  EXPECT_EQ(w.menu->HotItem(), 0);
  EXPECT_EQ(w.BarPixel(1), kNormal);
  // While its popup is open the item stays pressed wherever the pointer goes.
  w.Click(w.menu, 1);
  QCursor::setPos(w.menu->mapToGlobal(QPoint(over.x(), 150)));
  QTest::qWait(130);
  EXPECT_EQ(w.menu->HotItem(), 1);
  EXPECT_EQ(w.BarPixel(1), kPressed);
}

TEST(MenuInteraction, TheChainClosesWhenItsBarGoesAway) {
  auto w = std::make_unique<MenuWindow>();
  auto [first, second] = w->OpenTwoLevels();
  ASSERT_NE(second, nullptr);
  QPointer<c::wMenu> a(first), b(second);
  delete w->menu;
  w->menu = nullptr;
  Settle();
  EXPECT_TRUE(a.isNull());
  EXPECT_TRUE(b.isNull());
  QTest::qWait(120);  // no watch tick reaches a popup of the deleted bar
  w->window.close();
}
