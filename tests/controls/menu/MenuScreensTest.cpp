// A bar and its popup on a desk of two screens, one plain and one of twice the density (run by
// CTest with the offscreen platform set up so; skipped elsewhere): each is drawn at the density of
// its own screen, not the densest one's, so the plain screen gets no scaled-down drawing.
#include <gtest/gtest.h>

#include <algorithm>

#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

#include "controls/menu/wMenu.h"
#include "tests/controls/menu/MenuTestUtil.h"
#include "tests/controls/menu/SampleMenu.h"

namespace c = quillane::controls;

TEST(MixedScreens, EachBarAndPopupDrawsAtItsOwnScreensDensity) {
  const QList<QScreen*> screens = QGuiApplication::screens();
  const auto at = [&](double ratio) {
    return std::count_if(screens.begin(), screens.end(),
                         [&](QScreen* s) { return s->devicePixelRatio() == ratio; });
  };
  if (screens.size() != 2 || at(1.0) != 1 || at(2.0) != 1)
    GTEST_SKIP() << "needs a plain screen and one at ratio 2";
  for (QScreen* screen : screens) {
    SCOPED_TRACE(screen->name().toStdString());
    c::xMenu menu;
    menu.setScreen(screen);
    menu.setGeometry(QRect(screen->geometry().topLeft() + QPoint(20, 20), QSize(300, 24)));
    quillane::test::FillSampleMenu(menu);
    menu.Refresh();
    menu.show();
    quillane::test::Settle();
    const double ratio = screen->devicePixelRatio();
    ASSERT_EQ(menu.devicePixelRatioF(), ratio);
    EXPECT_EQ(menu.Surface()->devicePixelRatio(), ratio);
    EXPECT_EQ(menu.Surface()->width(), static_cast<int>(menu.width() * ratio));
    menu.ShowMenu(1);
    c::wMenu* popup = menu.Popup();
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->Surface()->devicePixelRatio(), ratio);
    menu.CloseOpenMenu();
  }
}

TEST(MixedScreens, ABarMovedToAScreenOfAnotherDensityIsDrawnAgainAtIt) {
  const QList<QScreen*> screens = QGuiApplication::screens();
  if (screens.size() != 2 || screens[0]->devicePixelRatio() == screens[1]->devicePixelRatio())
    GTEST_SKIP() << "needs two screens of different densities";
  c::xMenu menu;
  menu.setGeometry(QRect(screens[0]->geometry().topLeft() + QPoint(20, 20), QSize(300, 24)));
  quillane::test::FillSampleMenu(menu);
  menu.Refresh();
  menu.show();
  quillane::test::Settle();
  menu.windowHandle()->setScreen(screens[1]);
  quillane::test::Settle();
  EXPECT_EQ(menu.Surface()->devicePixelRatio(), screens[1]->devicePixelRatio());
  EXPECT_EQ(menu.Surface()->width(), static_cast<int>(300 * screens[1]->devicePixelRatio()));
}
