// Mouse interaction with real Qt mouse events on the offscreen platform: clicks, checks, groups,
// right clicks, cancelling, the surface click, leaving, tooltips and the grip drag.
#include <gtest/gtest.h>

#include <QCursor>
#include <QEnterEvent>
#include <QTest>
#include <QWindow>

#include "controls/toolbar/frmTooltip.h"
#include "tests/controls/toolbar/Bar.h"

using namespace quillane::test;

namespace {

// A shown bar with a log of its events.
struct Live {
  explicit Live(int w = 300, int h = 24) : bar(MakeBar(w, h)) {
    auto& e = bar->Events;
    e.ButtonClick = [this](std::int16_t i, const std::string& k) {
      log.push_back("click " + std::to_string(i) + k);
    };
    e.ButtonRightClick = [this](std::int16_t i, const std::string&, bool& cancelBeep) {
      log.push_back("right " + std::to_string(i));
      cancelBeep = cancelBeeps;
    };
    e.BeforeButtonClick = [this](std::int16_t i, const std::string&, bool& cancel) {
      log.push_back("before " + std::to_string(i));
      cancel = cancelClicks;
    };
    e.Click = [this] { log.push_back("Click"); };
    e.RightClick = [this] { log.push_back("RightClick"); };
    e.MouseUp = [this](std::int16_t b, std::int16_t, float, float) {
      log.push_back("up " + std::to_string(b));
    };
  }
  void Show() {
    bar->move(0, 0);
    bar->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(bar.get()));
    log.clear();
  }
  // The centre of button i.
  QPoint At(int i) const {
    return QPoint(static_cast<int>(bar->ButtonClientLeft(i) + bar->ButtonClientWidth(i) / 2),
                  static_cast<int>(bar->ButtonClientTop(i) + bar->ButtonClientHeight(i) / 2));
  }
  // The pointer itself moves too (the offscreen platform's moves leave QCursor where it was).
  void Move(QPoint at) {
    QCursor::setPos(bar->mapToGlobal(at));
    QTest::mouseMove(bar.get(), at);
  }
  void Click(int i, Qt::MouseButton b = Qt::LeftButton) {
    QTest::mouseMove(bar.get(), At(i));
    QTest::mouseClick(bar.get(), b, Qt::NoModifier, At(i));
  }
  std::unique_ptr<tb::xToolbar> bar;
  std::vector<std::string> log;
  bool cancelBeeps = true, cancelClicks = false;
};

using Log = std::vector<std::string>;

}  // namespace

TEST(ToolbarMouse, ReleaseDecidesWhichButtonIsClicked) {
  Live t;
  for (const char* k : {"a", "b", "c"}) t.bar->AddButtonEx(k);
  t.bar->AddButtonEx("off", tb::tbrButton, {}, "", 0xFF00FF, true, "", false, false);
  t.Show();
  QTest::mouseMove(t.bar.get(), t.At(2));
  QTest::mousePress(t.bar.get(), Qt::LeftButton, Qt::NoModifier, t.At(2));
  QTest::mouseMove(t.bar.get(), t.At(3));
  QTest::mouseRelease(t.bar.get(), Qt::LeftButton, Qt::NoModifier, t.At(3));
  EXPECT_EQ(t.log, (Log{"up 1", "before 3", "click 3c"}));
  // Pressed beside the buttons, released on one: that one is clicked.
  t.log.clear();
  QTest::mousePress(t.bar.get(), Qt::LeftButton, Qt::NoModifier, QPoint(250, 10));
  QTest::mouseRelease(t.bar.get(), Qt::LeftButton, Qt::NoModifier, t.At(1));
  EXPECT_EQ(t.log, (Log{"up 1", "before 1", "click 1a"}));
  // A disabled button only gives MouseUp; an empty part of the bar gives the surface Click.
  t.log.clear();
  t.Click(4);
  EXPECT_EQ(t.log, (Log{"up 1", "Click"}));
  t.log.clear();
  QTest::mouseClick(t.bar.get(), Qt::LeftButton, Qt::NoModifier, QPoint(250, 10));
  EXPECT_EQ(t.log, (Log{"up 1", "Click"}));
  t.log.clear();
  QTest::mouseClick(t.bar.get(), Qt::RightButton, Qt::NoModifier, QPoint(250, 10));
  EXPECT_EQ(t.log, (Log{"up 2", "RightClick"}));
}

TEST(ToolbarMouse, RightClicksAndCancel) {
  Live t;
  t.bar->AddButtonEx("push");
  t.bar->AddButtonEx("chk", tb::tbrCheck);
  t.Show();
  t.Click(1, Qt::RightButton);
  EXPECT_EQ(t.log, (Log{"up 2", "right 1"}));
  t.log.clear();
  t.Click(2, Qt::RightButton);  // a check button toggles with either button
  EXPECT_EQ(t.log, (Log{"up 2", "before 2", "click 2chk"}));
  EXPECT_TRUE(t.bar->ButtonChecked(2));
  // Cancel: the check still turns, but no sound and no click.
  t.cancelClicks = true;
  t.log.clear();
  t.Click(2);
  EXPECT_EQ(t.log, (Log{"up 1", "before 2", "Click"}));
  EXPECT_FALSE(t.bar->ButtonChecked(2));
  t.log.clear();
  t.Click(1);
  EXPECT_EQ(t.log, (Log{"up 1", "before 1", "Click"}));
}

TEST(ToolbarMouse, GroupRunStopsAtASeparator) {
  Live t;
  t.bar->AddButtonEx("p");
  for (int i = 2; i <= 4; ++i) t.bar->AddButtonEx("g" + std::to_string(i), tb::tbrButtonGroup);
  t.bar->AddButtonEx("sep", tb::tbrSeparator);
  for (int i = 6; i <= 7; ++i) t.bar->AddButtonEx("g" + std::to_string(i), tb::tbrButtonGroup);
  for (int i : {2, 4, 6, 7}) t.bar->SetButtonChecked(i, true);
  t.Show();
  t.Click(3);
  EXPECT_EQ(t.log,
            (Log{"up 1", "before 3", "click 3g3"}));  // no surface Click after a button click
  const std::vector<bool> expected = {false, false, true, false, false, true, true};
  for (int i = 1; i <= 7; ++i)
    EXPECT_EQ(t.bar->ButtonChecked(i), expected[static_cast<std::size_t>(i - 1)]) << i;
}

TEST(ToolbarMouse, HoverLookGoesWhenThePointerLeaves) {
  Live t;
  t.bar->SetAppearance(tb::ifcaFlat);
  t.bar->AddButtonEx("a");
  int overs = 0;
  t.bar->Events.ButtonMouseOver = [&](std::int16_t, const std::string&) { ++overs; };
  t.Show();
  QTest::mouseMove(t.bar.get(), t.At(1));
  EXPECT_EQ(t.bar->HotButton(), 1);
  EXPECT_EQ(overs, 1);
  EXPECT_EQ(Px(*t.bar, 10, 2), p::RGB(200, 200, 200));
  QTest::mouseMove(t.bar.get(), t.At(1) + QPoint(1, 1));  // same button: nothing new
  EXPECT_EQ(overs, 1);
  QEvent leave(QEvent::Leave);  // what the platform sends when the pointer leaves the window
  QApplication::sendEvent(t.bar.get(), &leave);  // but the pointer is still over the bar
  EXPECT_EQ(t.bar->HotButton(), 1);
  QCursor::setPos(t.bar->mapToGlobal(QPoint(5, 60)));
  QApplication::sendEvent(t.bar.get(), &leave);
  EXPECT_EQ(t.bar->HotButton(), 0);
  EXPECT_EQ(Px(*t.bar, 10, 2), kFace);
  EXPECT_EQ(t.bar->MouseX(), 0);
}

TEST(ToolbarMouse, TheChevronRisesUnderThePointerWithItsTooltip) {
  Live t;
  t.bar->resize(60, 24);
  for (const char* key : {"a", "b", "c", "d"}) t.bar->AddButtonEx(key);
  t.Show();
  ASSERT_TRUE(t.bar->Overflowing());
  const QRect chevron = t.bar->ChevronRect();
  t.Move(chevron.center());
  EXPECT_TRUE(t.bar->ChevronHot());
  EXPECT_EQ(Px(*t.bar, chevron.left(), chevron.top()), kHighlight);  // raised
  EXPECT_EQ(Px(*t.bar, chevron.right(), chevron.bottom()), kShadow);
  QTest::qWait(1150);
  auto* tip = quillane::controls::CurrentTooltip();
  ASSERT_NE(tip, nullptr);
  EXPECT_EQ(tip->LabelCaption(), "More buttons");
  // Off the bar: the look and the tooltip go.
  QCursor::setPos(t.bar->mapToGlobal(QPoint(5, 80)));
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(t.bar.get(), &leave);
  EXPECT_FALSE(t.bar->ChevronHot());
  EXPECT_EQ(Px(*t.bar, chevron.left(), chevron.top()), kFace);
  EXPECT_EQ(quillane::controls::CurrentTooltip(), nullptr);
}

TEST(ToolbarMouse, TooltipAfterOneSecondHiddenByPress) {
  Live t;
  t.bar->AddButtonEx("a", tb::tbrButton, {}, "Open a workbook");
  t.bar->AddButtonEx("b");  // no tooltip text: arms nothing
  t.Show();
  QTest::mouseMove(t.bar.get(), t.At(2));
  QTest::qWait(1150);
  EXPECT_EQ(quillane::controls::CurrentTooltip(), nullptr);
  QTest::mouseMove(t.bar.get(), t.At(1));
  QTest::qWait(500);
  EXPECT_EQ(quillane::controls::CurrentTooltip(), nullptr);
  QTest::qWait(650);
  auto* tip = quillane::controls::CurrentTooltip();
  ASSERT_NE(tip, nullptr);
  EXPECT_TRUE(tip->isVisible());
  EXPECT_EQ(tip->LabelCaption(), "Open a workbook");
  EXPECT_EQ(tip->width(), tip->LabelRect().width() + 5);
  EXPECT_EQ(tip->height(), tip->LabelRect().height() + 8);
  const QImage img = tip->Render();
  EXPECT_EQ(p::FromQRgb(img.pixel(0, 0)), kLight);
  EXPECT_EQ(p::FromQRgb(img.pixel(img.width() - 1, img.height() - 1)), kDark);
  EXPECT_EQ(p::FromQRgb(img.pixel(1, 1)), 0xE1FFFFu);
  QTest::mousePress(t.bar.get(), Qt::LeftButton, Qt::NoModifier, t.At(1));
  EXPECT_EQ(quillane::controls::CurrentTooltip(), nullptr);
  QTest::mouseRelease(t.bar.get(), Qt::LeftButton, Qt::NoModifier, t.At(1));
  // With ShowToolTips off nothing is armed.
  t.bar->SetShowToolTips(false);
  QTest::mouseMove(t.bar.get(), t.At(2));
  QTest::mouseMove(t.bar.get(), t.At(1));
  QTest::qWait(1150);
  EXPECT_EQ(quillane::controls::CurrentTooltip(), nullptr);
}

TEST(ToolbarMouse, TheTooltipGoesWhenThePointerLeavesOrTheBarResizes) {
  Live t;
  t.bar->AddButtonEx("a", tb::tbrButton, {}, "Open a workbook");
  t.Show();
  // The bar's tooltip on the screen while the pointer rests on its button.
  auto tip = [&] {
    t.Move(t.At(1));
    return quillane::controls::ShowTooltip("Open a workbook", nullptr, nullptr, t.bar.get());
  };
  ASSERT_TRUE(tip());
  // A quick move off the bar: no move event over the empty part, only the pointer elsewhere.
  QCursor::setPos(t.bar->mapToGlobal(QPoint(5, 80)));
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(t.bar.get(), &leave);
  EXPECT_EQ(quillane::controls::CurrentTooltip(), nullptr);
  ASSERT_TRUE(tip());
  QApplication::sendEvent(t.bar.get(), &leave);  // the pointer is still on the bar: it stays
  EXPECT_NE(quillane::controls::CurrentTooltip(), nullptr);
  t.bar->resize(t.bar->width() + 10, t.bar->height());
  EXPECT_EQ(quillane::controls::CurrentTooltip(), nullptr);
  // Armed, then the pointer leaves before the second is up: nothing shows.
  t.Move(QPoint(t.bar->width() - 2, 2));
  t.Move(t.At(1));
  QCursor::setPos(t.bar->mapToGlobal(QPoint(5, 80)));
  QTest::qWait(1150);
  EXPECT_EQ(quillane::controls::CurrentTooltip(), nullptr);
}

TEST(ToolbarMouse, TooltipStaysOnTheScreen) {
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  QCursor::setPos(screen.left() + 100, screen.top() + 100);  // just below the pointer
  ASSERT_TRUE(quillane::controls::ShowTooltip("tip", nullptr, nullptr));
  EXPECT_EQ(quillane::controls::CurrentTooltip()->pos(),
            QPoint(screen.left() + 98, screen.top() + 118));
  QCursor::setPos(screen.right() - 3, screen.bottom() - 3);
  ASSERT_TRUE(quillane::controls::ShowTooltip("A rather long tooltip text", nullptr, nullptr));
  auto* tip = quillane::controls::CurrentTooltip();
  ASSERT_NE(tip, nullptr);
  EXPECT_EQ(tip->geometry().right(), screen.right());
  EXPECT_EQ(tip->geometry().bottom(), screen.bottom());
  quillane::controls::HideTooltip();
  EXPECT_EQ(quillane::controls::CurrentTooltip(), nullptr);
}

TEST(ToolbarMouse, TheTooltipIsATransientOfItsWindowPlacedFromItsPointer) {
  QWidget owner;
  owner.setGeometry(50, 60, 300, 200);
  owner.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
  QCursor::setPos(owner.mapToGlobal(QPoint(40, 30)));
  ASSERT_TRUE(quillane::controls::ShowTooltip("tip", &owner, nullptr));
  const QWidget* tip = quillane::controls::CurrentTooltip();
  EXPECT_EQ(tip->windowHandle()->transientParent(), owner.windowHandle());
  EXPECT_EQ(tip->geometry().topLeft() - owner.geometry().topLeft(), QPoint(38, 48));
  quillane::controls::HideTooltip();
}

TEST(ToolbarMouse, GripDragSlidesTheBarAlongItsRow) {
  QWidget container;
  container.resize(400, 60);
  Live t;
  t.bar->SetDockingStyle(tb::tbdsOfficeXP);
  t.bar->AddButtonEx("a");
  t.bar->SetHWndContainer(&container);
  t.bar->move(10, 5);
  container.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&container));
  std::vector<QPoint> docking;
  t.bar->Events.DockingToolbar = [&](std::int32_t& x, std::int32_t& y) {
    docking.emplace_back(x, y);
  };
  QTest::mousePress(t.bar.get(), Qt::LeftButton, Qt::NoModifier, QPoint(4, 8));
  ASSERT_TRUE(t.bar->DragActive());
  QCursor::setPos(container.mapToGlobal(QPoint(64, 40)));
  // The drag follows the pointer on a timer: on a loaded machine it may take a while to tick.
  for (int waited = 0; waited < 2000 && t.bar->x() != 60; waited += 10) QTest::qWait(10);
  EXPECT_EQ(t.bar->x(), 60);
  EXPECT_EQ(t.bar->y(), 5);  // never across the row
  ASSERT_FALSE(docking.empty());
  EXPECT_EQ(docking.back(), QPoint(64, 40));
  QTest::mouseRelease(t.bar.get(), Qt::LeftButton, Qt::NoModifier, QPoint(4, 8));
  EXPECT_FALSE(t.bar->DragActive());
  EXPECT_TRUE(std::find(t.log.begin(), t.log.end(), "up 1") ==
              t.log.end());  // no MouseUp after a drag
  // A locked bar has no grip: the same press starts no drag.
  t.bar->SetDockingStyle(tb::tbdsLocked);
  QTest::mousePress(t.bar.get(), Qt::LeftButton, Qt::NoModifier, QPoint(4, 8));
  EXPECT_FALSE(t.bar->DragActive());
  QTest::mouseRelease(t.bar.get(), Qt::LeftButton, Qt::NoModifier, QPoint(4, 8));
}

TEST(ToolbarMouse, TooltipGoesWithItsWindowAndItsToolbar) {
  // Shown for a window that is not (or no longer) the active one: gone within 100 ms.
  QWidget other;
  ASSERT_TRUE(quillane::controls::ShowTooltip("tip", &other, nullptr));
  QTest::qWait(150);
  EXPECT_EQ(quillane::controls::CurrentTooltip(), nullptr);
  // Touched by the pointer: gone.
  ASSERT_TRUE(quillane::controls::ShowTooltip("tip", QApplication::activeWindow(), nullptr));
  QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
  QApplication::sendEvent(quillane::controls::CurrentTooltip(), &enter);
  EXPECT_EQ(quillane::controls::CurrentTooltip(), nullptr);
  QTest::qWait(1);
  // Shown for a toolbar that is then destroyed: gone with it.
  auto bar = MakeBar(100, 24);
  ASSERT_TRUE(
      quillane::controls::ShowTooltip("tip", QApplication::activeWindow(), nullptr, bar.get()));
  ASSERT_NE(quillane::controls::CurrentTooltip(), nullptr);
  bar.reset();
  EXPECT_EQ(quillane::controls::CurrentTooltip(), nullptr);
}
