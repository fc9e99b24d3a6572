// The hyperlink label: its stored design, the hover rule (no pointer grab: the leave event ends
// it), the timer that clears the hover flag, auto-size and the pointer.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QWindow>

#include "controls/hotlink/HotLink.h"

namespace c = quillane::controls;
namespace p = quillane::platform;

namespace {

struct Shown {
  QWidget window;
  c::HotLink* link;
  std::vector<std::string> events;
  Shown() {
    window.resize(300, 100);
    link = new c::HotLink(&window);
    link->move(20, 20);
    link->ReadProperties(p::PropertyBag());
    link->MouseEnter = [this] { events.push_back("enter"); };
    link->MouseExist = [this] { events.push_back("exit"); };
    link->Click = [this] { events.push_back("click"); };
    window.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
  }
  QColor TextColor() const { return link->lblCaption()->palette().color(QPalette::WindowText); }
};

}  // namespace

TEST(HotLink, DesignRoundTripLeavesDefaultsOutAndReportsFontAsFont) {
  c::HotLink link;
  p::PropertyBag empty;
  link.WriteProperties(empty);
  EXPECT_EQ(empty.Size(), 0u);
  std::vector<std::string> changed;
  link.ReadProperties(empty);
  p::Host host;
  c::HotLink hosted(nullptr, &host);
  host.SetPropertyChangedHandler([&](const std::string& key) { changed.push_back(key); });
  hosted.SetCaption("mailto:x@example.org");
  hosted.SetHoverColor(0x00FF00);
  hosted.SetDefFont(p::StdFont("Serif", 10));
  hosted.SetMouseP(false);
  EXPECT_EQ(changed, (std::vector<std::string>{"Caption", "HoverColor", "Font", "MouseP"}));
  p::PropertyBag bag;
  hosted.WriteProperties(bag);
  EXPECT_EQ(bag.Keys(), (std::vector<std::string>{"MouseP", "HoverColor", "Caption", "DefFont"}));
  c::HotLink read;
  read.ReadProperties(bag);
  EXPECT_EQ(read.Caption(), "mailto:x@example.org");
  EXPECT_EQ(read.DefFont().Name(), "Serif");
  EXPECT_EQ(read.MousePointer(), 0);  // MouseP false: the default pointer, from the next read on
  EXPECT_EQ(hosted.MousePointer(), 99);
}

TEST(HotLink, AutoSizeFollowsTheCaptionWithFortyTwipsEachWay) {
  c::HotLink link;
  link.SetCaption("a much longer caption than before");
  EXPECT_EQ(link.width(), link.lblCaption()->width() + 3);  // 40 twips at 15 twips a pixel
  EXPECT_EQ(link.height(), link.lblCaption()->height() + 3);
  const int wide = link.width();
  link.SetCaption("x");
  EXPECT_LT(link.width(), wide);
}

TEST(HotLink, HoverWithoutGrabEdgesCountAndLeavingRestores) {
  Shown s;
  c::HotLink* link = s.link;
  link->HandleMouseMove(0, 0, static_cast<float>(link->width()),
                        static_cast<float>(link->height()));  // the edge
  EXPECT_TRUE(link->Hovered());
  EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
  EXPECT_EQ(s.TextColor(), QColor(0, 0, 255));
  link->HandleMouseMove(0, 0, 5, 5);
  EXPECT_EQ(s.events, (std::vector<std::string>{"enter"}));
  // The timer clears the flag: the next move inside enters again, the look stays.
  QTest::qWait(600);
  EXPECT_FALSE(link->Hovered());
  link->HandleMouseMove(0, 0, 5, 5);
  EXPECT_EQ(s.events.size(), 2u);
  EXPECT_EQ(s.TextColor(), QColor(0, 0, 255));
  link->HandleMouseMove(0, 0, -1, 5);
  EXPECT_EQ(s.events.back(), "exit");
  EXPECT_EQ(s.TextColor(), QColor(0, 0, 0));
  // Through the platform: the pointer onto the link and off it again, into the window.
  QWindow* window = s.window.windowHandle();
  QTest::mouseMove(window, link->geometry().center());
  EXPECT_EQ(s.events.back(), "enter");
  EXPECT_EQ(s.TextColor(), QColor(0, 0, 255));
  QTest::mouseMove(window, QPoint(290, 90));
  EXPECT_EQ(s.events.back(), "exit");
  EXPECT_FALSE(link->Hovered());
  EXPECT_EQ(s.TextColor(), QColor(0, 0, 0));
  QTest::mouseClick(link->lblCaption(), Qt::LeftButton);
  EXPECT_EQ(s.events.back(), "click");
}

TEST(HotLink, EnteringWhileAnotherWindowHoldsTheCaptureKeepsTheNormalLook) {
  Shown s;
  QWidget other(&s.window);
  other.setGeometry(200, 0, 50, 50);
  other.show();
  other.grabMouse();
  s.link->HandleMouseMove(0, 0, 3, 3);
  EXPECT_EQ(s.events, (std::vector<std::string>{"enter"}));
  EXPECT_EQ(QWidget::mouseGrabber(), &other);
  EXPECT_EQ(s.TextColor(), QColor(0, 0, 0));
  other.releaseMouse();
}

TEST(HotLink, ShellHandsTheAddressToTheDesktop) {
  std::vector<std::string> opened;
  c::HotLink::SetShellHook([&](const std::string& file) { opened.push_back(file); });
  c::HotLink link;
  link.Shell("mailto:" + link.Caption(), "", "/", 1);
  c::HotLink::SetShellHook({});
  EXPECT_EQ(opened,
            (std::vector<std::string>{"mailto:" + std::string(c::HotLink::kDefaultCaption)}));
}
