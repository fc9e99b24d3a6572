// The keyboard of the bar with real key events: Tab reaches it, the arrows move between enabled
// buttons (separators and disabled buttons skipped), Space and Enter press, a check button toggles,
// and the focus frame is drawn over the surface, never into it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>

#include "tests/controls/toolbar/Bar.h"

using namespace quillane::test;

TEST(ToolbarKeys, TabArrowsSpaceEnterAndTheFocusFrame) {
  QWidget window;
  auto* before = new QLineEdit(&window);
  auto* bar = new tb::xToolbar(&window);
  bar->resize(300, 24);
  bar->SetDockingStyle(tb::tbdsLocked);
  bar->move(0, 30);
  bar->AddButtonEx("a");
  bar->AddButtonEx("", tb::tbrSeparator);
  bar->AddButtonEx("b", tb::tbrButton, {}, "", 0xFF00FF, true, "", false, false);  // disabled
  bar->AddButtonEx("c", tb::tbrCheck);
  std::vector<std::string> clicks;
  bar->Events.ButtonClick = [&](std::int16_t i, const std::string& k) {
    clicks.push_back(std::to_string(i) + k);
  };
  window.show();
  window.activateWindow();
  before->setFocus();
  QApplication::processEvents();
  const QImage rest = bar->SurfaceImage();
  QTest::keyClick(before, Qt::Key_Tab);
  ASSERT_EQ(QApplication::focusWidget(), bar);
  EXPECT_EQ(bar->FocusButton(), 1);
  QTest::keyClick(bar, Qt::Key_Right);
  EXPECT_EQ(bar->FocusButton(), 4);
  QTest::keyClick(bar, Qt::Key_Right);  // the last: stays
  EXPECT_EQ(bar->FocusButton(), 4);
  QTest::keyClick(bar, Qt::Key_Space);
  EXPECT_TRUE(bar->ButtonChecked(4));
  QTest::keyClick(bar, Qt::Key_Home);
  QTest::keyClick(bar, Qt::Key_Return);
  EXPECT_EQ(clicks, (std::vector<std::string>{"4c", "1a"}));
  // The frame is on the screen only: the surface is as it was, but for the checked button.
  EXPECT_EQ(bar->SurfaceImage().copy(0, 0, 30, 24), rest.copy(0, 0, 30, 24));
  // The dotted frame: black dots along the top of the focused button on the screen.
  const QRect top(static_cast<int>(bar->ButtonClientLeft(1)), 0,
                  static_cast<int>(bar->ButtonClientWidth(1)), 6);
  EXPECT_GT(CountColour(bar->grab().toImage(), 0, top), 2);
  QTest::keyClick(bar, Qt::Key_Tab);
  EXPECT_NE(QApplication::focusWidget(), bar);
  EXPECT_EQ(CountColour(bar->grab().toImage(), 0, top), 0);
}
