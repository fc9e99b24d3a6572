// The button model and the programming interface: indexes, moves, deletes, groups, errors.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QMouseEvent>

#include "controls/toolbar/clsBSButton.h"
#include "platform/Host.h"
#include "tests/controls/toolbar/Bar.h"

using namespace quillane::test;

namespace {

std::vector<std::string> Keys(tb::xToolbar& bar) {
  std::vector<std::string> keys;
  for (int i = 1; i <= bar.ButtonCount(); ++i) keys.push_back(bar.ButtonKey(i));
  return keys;
}

std::unique_ptr<tb::xToolbar> Lettered(const std::string& letters) {
  auto bar = MakeBar(300, 24);
  for (char c : letters) bar->AddButtonEx(std::string(1, c));
  return bar;
}

}  // namespace

TEST(ToolbarModel, KeyToIndexReadsNumbersThenKeys) {
  auto bar = MakeBar(200, 24);
  bar->AddButtonEx("open");
  bar->AddButtonEx("SAVE");
  EXPECT_EQ(bar->KeyToIndex("3"), 3);  // a number is not checked
  EXPECT_EQ(bar->KeyToIndex("save"), 2);
  EXPECT_EQ(bar->KeyToIndex("2nd"), 2);
  EXPECT_EQ(bar->KeyToIndex(0), 0);
  try {
    bar->KeyToIndex("print");
    FAIL() << "no error";
  } catch (const p::ComError& e) {
    EXPECT_EQ(e.Number(), 35601);
    EXPECT_EQ(e.Description(), "Element not found. Key is missing or illegal.");
    EXPECT_EQ(e.Source(), p::ExeName() + ".xToolbar:KeyToIndex");
  }
  // Per-button properties take keys too, and an index past the end is the bounds error.
  bar->SetButtonCaption("OPEN", "Open");
  EXPECT_EQ(bar->ButtonCaption(1), "Open");
  try {
    bar->ButtonCaption(3);
    FAIL() << "no error";
  } catch (const p::ComError& e) {
    EXPECT_EQ(e.Number(), 9);
  }
}

TEST(ToolbarModel, SwapAndDeleteKeepTheOrder) {
  auto bar = Lettered("ABCDE");
  EXPECT_EQ(bar->SwapButton(1, 4), 4);
  EXPECT_EQ(Keys(*bar), (std::vector<std::string>{"B", "C", "D", "A", "E"}));
  bar->SwapButton("e", 1);
  EXPECT_EQ(Keys(*bar), (std::vector<std::string>{"E", "B", "C", "D", "A"}));

  auto three = Lettered("ABC");
  int marks = 0;
  three->HostObject().SetPropertyChangedHandler(
      [&](const std::string& n) { marks += n == "ButtonCount"; });
  EXPECT_EQ(three->DeleteButton(2), 2);
  EXPECT_EQ(Keys(*three), (std::vector<std::string>{"A", "C"}));
  EXPECT_EQ(marks, 1);

  auto one = Lettered("A");
  EXPECT_EQ(one->DeleteButton("a"), 0);
  EXPECT_EQ(one->ButtonCount(), 0);
  EXPECT_EQ(one->IsWithinButton(5, 5), 0);
  try {
    one->DeleteButton(1);
    FAIL() << "no error";
  } catch (const p::ComError& e) {
    EXPECT_EQ(e.Number(), 380);
    EXPECT_EQ(e.Source(), p::ExeName() + ".xToolbar:DeleteButton");
  }
}

TEST(ToolbarModel, DesignModeShowsTheErrorInsteadOfRaisingIt) {
  auto bar = Lettered("A");
  std::string shown;
  bar->HostObject().SetUserMode(false);
  bar->HostObject().SetMessageBox(
      [&](const std::string&, const std::string& text) { shown = text; });
  EXPECT_EQ(bar->DeleteButton(5), -1);
  EXPECT_EQ(shown.rfind("An unexpected application error has occured!", 0), 0u) << shown;
  EXPECT_NE(shown.find("xToolbar:DeleteButton"), std::string::npos);
  bar->SetBackStyle(7);
  EXPECT_EQ(bar->BackStyle(), 1);
  EXPECT_NE(shown.find("xToolbar:BackStyle"), std::string::npos);
}

TEST(ToolbarModel, ForceClickRaisesFirstThenMovesTheGroupCheck) {
  auto bar = MakeBar(300, 24);
  for (int i = 0; i < 3; ++i) bar->AddButtonEx("g" + std::to_string(i + 1), tb::tbrButtonGroup);
  bar->AddButtonEx("chk", tb::tbrCheck);
  for (int i = 1; i <= 3; ++i) bar->SetButtonGroupID(i, 7);
  bar->SetButtonChecked(1, true);
  std::vector<std::string> log;
  bar->Events.ButtonClick = [&](std::int16_t i, const std::string& key) {
    log.push_back(key + " " + std::to_string(i) + " checked now " +
                  std::to_string(bar->CurrentGroupID(7)));
  };
  bar->ForceClick("g3");
  EXPECT_EQ(log, (std::vector<std::string>{"g3 3 checked now 1"}));
  EXPECT_EQ(bar->CurrentGroupID(7), 3);
  EXPECT_FALSE(bar->ButtonChecked(1));
  bar->ForceClick("chk");
  EXPECT_FALSE(bar->ButtonChecked("chk"));
  try {
    bar->ForceClick(9);
    FAIL() << "no error";
  } catch (const p::ComError& e) {
    EXPECT_EQ(e.Number(), 9);
    EXPECT_EQ(e.Description(), "Invalid Key or Index value");
    EXPECT_EQ(e.Source(), p::ExeName() + ".xToolbar:ForceClick");
  }
}

TEST(ToolbarModel, ButtonCheckedOnlyActsOnAChange) {
  auto bar = MakeBar(100, 24);
  bar->AddButton();
  bar->show();
  std::vector<std::string> marks;
  bar->HostObject().SetPropertyChangedHandler([&](const std::string& n) { marks.push_back(n); });
  // Scribble over the button: a repaint would clear it.
  const p::HBRUSH red = p::CreateSolidBrush(p::RGB(255, 0, 0));
  const p::RECT rc{4, 4, 8, 8};
  p::FillRect(bar->hdc(), &rc, red);
  p::DeleteObject(red);
  bar->SetButtonChecked(1, false);
  EXPECT_TRUE(marks.empty());
  EXPECT_EQ(Px(*bar, 5, 5), p::RGB(255, 0, 0));
  bar->SetButtonChecked(1, true);
  EXPECT_EQ(marks, (std::vector<std::string>{"ButtonChecked1"}));
  EXPECT_NE(Px(*bar, 5, 5), p::RGB(255, 0, 0));
}

TEST(ToolbarModel, DeletingTheHotButtonLeavesNoStaleIndex) {
  auto bar = Lettered("ABC");
  bar->show();
  QMouseEvent move(QEvent::MouseMove, QPointF(bar->ButtonClientLeft(3) + 3, 5), QPointF(),
                   Qt::NoButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(bar.get(), &move);
  ASSERT_EQ(bar->HotButton(), 3);
  bar->DeleteButton(3);
  EXPECT_EQ(bar->HotButton(), 0);
  // A checked button in its place is not taken for the hot one: it shows its checked pattern.
  bar->AddButtonEx("D", tb::tbrCheck, {}, "", 0xFF00FF, true, "", true);
  const int x = static_cast<int>(bar->ButtonClientLeft(3));
  EXPECT_GT(CountColour(bar->SurfaceImage(), kHighlight, QRect(x + 3, 5, 12, 12)), 60);
}

TEST(ToolbarModel, PictureSizesAndHitTestEdges) {
  auto bar = MakeBar(200, 24);
  bar->AddButtonEx("a", tb::tbrButton, SquarePicture(16, 12));
  bar->AddButtonEx("b", tb::tbrButton, SquarePicture(20, 10));
  bar->AddButtonEx("c");
  bar->SetButtonPictureDown(3, SquarePicture(8, 30));
  EXPECT_EQ(bar->PictureWidth(), 20);
  EXPECT_EQ(bar->PictureHeight(), 12);
  EXPECT_EQ(bar->PictureHeight(2), 30);
  EXPECT_EQ(bar->PictureWidth(1), 0);
  // Buttons are 20 x 20 from (2, 2): edges belong to the button, one beyond does not.
  EXPECT_EQ(bar->IsWithinButton(2, 2), 1);
  EXPECT_EQ(bar->IsWithinButton(21, 21), 1);
  EXPECT_EQ(bar->IsWithinButton(22, 21), 2);
  EXPECT_EQ(bar->IsWithinButton(1, 10), 0);
  EXPECT_EQ(bar->IsWithinButton(10, 22), 0);
  bar->SetButtonVisible(1, false);
  EXPECT_EQ(bar->IsWithinButton(2, 2), 2);
}

TEST(BSButton, PictureSlotsShareTheirPictures) {
  quillane::controls::clsBSButton b;
  QImage img(2, 2, QImage::Format_RGB32);
  const p::Picture pic = p::Picture::FromBitmap(p::CreateBitmapFromImage(img));
  b.SetAPicture(quillane::controls::clsBSButton::kOver, pic);
  EXPECT_TRUE(b.APicture(0).IsNothing());
  EXPECT_TRUE(b.APicture(1) == pic);  // a shared reference
  EXPECT_EQ(pic.UseCount(), 2);
  for (int bad : {-1, 3}) {
    try {
      b.APicture(bad);
      FAIL();
    } catch (const p::ComError& e) {
      EXPECT_EQ(e.Number(), 9);
    }
    EXPECT_THROW(b.SetAPicture(bad, pic), p::ComError);
  }
}
