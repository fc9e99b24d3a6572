// The floating window: mirror controls, clicks through them, the exclusive group, the move watch.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QApplication>
#include <QCursor>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <QWindow>

#include "controls/toolbar/wToolBar.h"
#include "tests/controls/toolbar/Bar.h"

using namespace quillane::test;
using quillane::controls::wToolBar;

TEST(ToolbarFloat, MirrorsClicksAndKeepsTheGroupExclusive) {
  QWidget container;
  container.resize(400, 100);
  auto bar = MakeBar(300, 24);
  bar->SetHWndContainer(&container);
  bar->show();
  EXPECT_EQ(bar->parentWidget(), &container);
  bar->move(7, 3);
  EXPECT_EQ(bar->CTLLeft(), 7);
  EXPECT_EQ(bar->CTLTop(), 3);
  bar->AddButtonEx("new", tb::tbrButton, SquarePicture(), "New");
  bar->AddButtonEx("sep", tb::tbrSeparator);
  for (const char* k : {"left", "centre", "right"}) bar->AddButtonEx(k, tb::tbrButtonGroup);
  bar->AddButtonEx("log", tb::tbrCheck);
  bar->SetButtonChecked("left", true);
  std::vector<std::string> clicks;
  bar->Events.ButtonClick = [&](std::int16_t i, const std::string& k) {
    clicks.push_back(std::to_string(i) + k);
  };
  std::vector<QPoint> restore;
  bar->Events.DockingWindow = [&](std::int32_t& x, std::int32_t& y) { restore.emplace_back(x, y); };
  container.show();

  bar->BringToWindow();
  wToolBar* w = bar->FloatingWindow();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w, wToolBar::Instance());
  EXPECT_EQ(w->windowHandle()->transientParent(), container.windowHandle());
  ASSERT_EQ(w->btn.size(), 1u);
  ASSERT_EQ(w->ch.size(), 4u);
  EXPECT_EQ(wToolBar::Tag(w->btn[0]), "new");
  EXPECT_EQ(w->FindChByKey("right"), 2);
  EXPECT_EQ(w->FindChByKey("nothing"), -1);
  EXPECT_TRUE(w->ch[0]->isChecked());
  EXPECT_TRUE(w->isVisible());
  EXPECT_TRUE(w->windowFlags() & Qt::WindowStaysOnTopHint);

  w->btn[0]->click();
  EXPECT_EQ(clicks, (std::vector<std::string>{"1new"}));
  clicks.clear();
  w->ch[1]->click();  // the middle group button: only it is clicked, the others lose their check
  EXPECT_EQ(clicks, (std::vector<std::string>{"4centre"}));
  EXPECT_FALSE(w->ch[0]->isChecked());
  EXPECT_TRUE(w->ch[1]->isChecked());
  EXPECT_FALSE(w->ch[2]->isChecked());
  clicks.clear();
  w->ch[3]->click();
  EXPECT_EQ(clicks, (std::vector<std::string>{"6log"}));

  // The move watch reports only when the window has moved.
  w->Tick();
  restore.clear();
  w->Tick();
  EXPECT_TRUE(restore.empty());
  QCursor::setPos(container.mapToGlobal(QPoint(30, 40)));
  w->move(w->x() + 25, w->y() + 5);
  w->Tick();
  ASSERT_EQ(restore.size(), 1u);
  EXPECT_EQ(restore[0], QPoint(30, 40));

  // Dragged by its client area.
  const QPoint start = w->pos();
  const QPoint grab = w->mapToGlobal(QPoint(w->width() - 3, w->height() - 3));
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(w->width() - 3, w->height() - 3),
                    QPointF(grab), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(w, &press);
  QMouseEvent drag(QEvent::MouseMove, QPointF(w->width() + 17, w->height() + 7),
                   QPointF(grab + QPoint(20, 10)), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(w, &drag);
  EXPECT_EQ(w->pos(), start + QPoint(20, 10));

  bar->HideWindow();
  EXPECT_EQ(wToolBar::Instance(), nullptr);
  EXPECT_EQ(bar->FloatingWindow(), nullptr);
}

TEST(ToolbarFloat, DestroyingTheBarTakesItsWindowsAlong) {
  auto bar = MakeBar(100, 24);
  bar->AddButtonEx("a");
  bar->BringToWindow();
  ASSERT_NE(wToolBar::Instance(), nullptr);
  bar.reset();
  EXPECT_EQ(wToolBar::Instance(), nullptr);
}
