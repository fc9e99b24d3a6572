// The bar on a screen of twice the density (run by CTest with QT_SCALE_FACTOR=2; skipped at 1):
// its surface has the screen's device pixels and its frame lines are whole, sharp device rows.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

#include "tests/controls/toolbar/Bar.h"

using namespace quillane::test;

TEST(DenseScreen, TheBarDrawsSharpLinesAtTheScreensRatio) {
  auto bar = MakeBar(40, 24);
  bar->show();
  if (bar->devicePixelRatioF() != 2.0) GTEST_SKIP() << "needs a screen at ratio 2";
  bar->SetBorderStyle(tb::tbbsFrame);
  const QImage all = bar->SurfaceImage();
  EXPECT_EQ(all.devicePixelRatio(), 2.0);
  ASSERT_EQ(all.size(), QSize(80, 48));
  // The frame of the 1x pixel test, each line two device pixels thick with nothing in between.
  auto dev = [&](int x, int y) { return p::FromQRgb(all.pixel(x, y)); };
  for (int x = 0; x < 76; ++x) {
    EXPECT_EQ(dev(x, 0), kShadow) << x;
    EXPECT_EQ(dev(x, 1), kShadow) << x;
  }
  for (int x = 4; x < 76; ++x) {
    EXPECT_EQ(dev(x, 2), kHighlight) << x;
    EXPECT_EQ(dev(x, 3), kHighlight) << x;
    EXPECT_EQ(dev(x, 4), kFace) << x;
  }
  EXPECT_EQ(dev(78, 0), kFace);
  EXPECT_EQ(dev(79, 47), kHighlight);
}

// Run by CTest on a plain screen beside one of twice the density (skipped on any other desk).
TEST(DenseScreen, TheBarMovedToAScreenOfAnotherDensityIsDrawnAgainAtIt) {
  const QList<QScreen*> screens = QGuiApplication::screens();
  if (screens.size() != 2 || screens[0]->devicePixelRatio() == screens[1]->devicePixelRatio())
    GTEST_SKIP() << "needs two screens of different densities";
  auto bar = MakeBar(40, 24);
  bar->move(screens[0]->geometry().topLeft() + QPoint(20, 20));
  bar->show();
  QCoreApplication::processEvents();
  bar->windowHandle()->setScreen(screens[1]);
  QCoreApplication::processEvents();
  EXPECT_EQ(bar->SurfaceImage().devicePixelRatio(), screens[1]->devicePixelRatio());
}
