// Layout: insets, lengths per style and caption option, orientation, auto-size and its guard.
#include <gtest/gtest.h>

#include "tests/controls/toolbar/Bar.h"

using namespace quillane::test;

namespace {

struct Rect {
  float l, t, w, h;
  friend bool operator==(const Rect&, const Rect&) = default;
};
std::ostream& operator<<(std::ostream& os, const Rect& r) {
  return os << "(" << r.l << ", " << r.t << ", " << r.w << ", " << r.h << ")";
}
Rect R(tb::xToolbar& bar, int i) {
  return {bar.ButtonClientLeft(i), bar.ButtonClientTop(i), bar.ButtonClientWidth(i),
          bar.ButtonClientHeight(i)};
}

int TextWidth(tb::xToolbar& bar, const std::string& text) {
  // The width layout uses: the bar's own font on its own surface.
  p::SIZE s;
  quillane::gfx::clsLogFont f;
  f.SetLogFont(bar.Font());
  const p::HGDIOBJ old = p::SelectObject(bar.hdc(), f.handle());
  p::GetTextExtentPoint32(bar.hdc(), text, &s);
  p::SelectObject(bar.hdc(), old);
  return s.cx;
}

}  // namespace

TEST(ToolbarLayout, InsetsGripAndPlainLengths) {
  auto bar = MakeBar(300, 24);
  bar->AddButtonEx("pic", tb::tbrButton, SquarePicture());
  bar->AddButtonEx("sep", tb::tbrSeparator);
  bar->AddButtonEx("ph", tb::tbrPlaceholder, {}, "", 0xFF00FF, true, "", false, true, 9);
  bar->AddButtonEx("ph0", tb::tbrPlaceholder);
  for (int side = 0; side < 4; ++side) EXPECT_EQ(bar->EdgeInset(side), 2);
  EXPECT_EQ(R(*bar, 1), (Rect{2, 2, 20, 20}));
  EXPECT_EQ(R(*bar, 2), (Rect{22, 2, 6, 20}));
  EXPECT_EQ(R(*bar, 3), (Rect{28, 2, 9, 20}));
  EXPECT_EQ(R(*bar, 4), (Rect{37, 2, 20, 20}));
  bar->SetDockingStyle(tb::tbdsOfficeXP);
  EXPECT_EQ(R(*bar, 1).l, 14);
  bar->SetButtonGap(3);
  EXPECT_EQ(R(*bar, 2).l, 14 + 20 + 3);

  // Two-pixel borders and double borders add to the insets; a cleared flag takes one away.
  bar->SetBorderStyle(tb::tbbsRaisedButton);
  bar->SetDoubleTopBorder(true);
  bar->SetBorderBottom(false);
  EXPECT_EQ(bar->EdgeInset(1), 4);
  EXPECT_EQ(bar->EdgeInset(3), 2);
  EXPECT_EQ(R(*bar, 1).t, 4);
  EXPECT_EQ(R(*bar, 1).h, 24 - 4 - 2);
  // The etched frame forces every border flag on.
  bar->SetBorderStyle(tb::tbbsFrame);
  EXPECT_TRUE(bar->BorderBottom());
  bar->SetBorderLeft(false);
  EXPECT_TRUE(bar->BorderLeft());
}

TEST(ToolbarLayout, FixedStyleAndCaptionOptions) {
  auto bar = MakeBar(400, 24);
  bar->AddButtonEx("a", tb::tbrButton, SquarePicture(), "", 0xFF00FF, true, "Open");
  bar->AddButtonEx("b", tb::tbrButton, SquarePicture(), "", 0xFF00FF, true, "Save");
  bar->AddButtonEx("s", tb::tbrSeparator);
  bar->SetButtonAlwaysShowCaption(2, true);
  const float open = static_cast<float>(TextWidth(*bar, "Open")),
              save = static_cast<float>(TextWidth(*bar, "Save"));
  ASSERT_GT(open, 10);
  // Captions on the right (the default) make room for the text beside the picture.
  EXPECT_EQ(R(*bar, 1).w, 20 + open + 8);
  bar->SetCaptionOptions(tb::iftoNoLabels);
  EXPECT_EQ(R(*bar, 1).w, 20);
  EXPECT_EQ(R(*bar, 2).w, 20);
  bar->SetCaptionOptions(tb::iftoSelectedLabels);
  EXPECT_EQ(R(*bar, 1).w, 20);
  EXPECT_EQ(R(*bar, 2).w, 20 + save + 8);
  // Captions under the picture need the text's width only.
  bar->SetCaptionAlignment(tb::ifcaCaptionOnBottom);
  EXPECT_EQ(R(*bar, 2).w, std::max(20.0f, save + 8));
  bar->SetStyle(tb::tbtsFixed);
  bar->SetFixedSize(33);
  for (int i = 1; i <= 3; ++i) EXPECT_EQ(R(*bar, i).w, 33) << i;
}

TEST(ToolbarLayout, BoldOnCheckedMeasuresBold) {
  auto bar = MakeBar(400, 24);
  bar->AddButtonEx("a", tb::tbrCheck, {}, "", 0xFF00FF, true, "Wide caption");
  const float plain = R(*bar, 1).w;
  bar->SetBoldOnChecked(true);
  const float bold = R(*bar, 1).w;
  EXPECT_GT(bold, plain);
  bar->SetButtonChecked(1, true);
  bar->Refresh();
  EXPECT_EQ(R(*bar, 1).w, bold);
}

TEST(ToolbarLayout, OrientationAndVerticalSteps) {
  auto square = MakeBar(30, 30);
  EXPECT_TRUE(square->Horizontal());
  auto bar = MakeBar(24, 200);
  EXPECT_TRUE(bar->Vertical());
  bar->AddButtonEx("a", tb::tbrButton, SquarePicture());
  bar->AddButtonEx("b", tb::tbrSeparator);
  bar->AddButtonEx("c", tb::tbrButton, SquarePicture(), "", 0xFF00FF, true, "Go");
  EXPECT_EQ(R(*bar, 1), (Rect{2, 2, 20, 20}));
  // A vertical step includes the top inset.
  EXPECT_EQ(R(*bar, 2), (Rect{2, 24, 20, 6}));
  EXPECT_EQ(R(*bar, 3), (Rect{2, 32, 20, 20 + static_cast<float>(TextWidth(*bar, "Go")) + 3}));
  bar->SetHorizontal(true);
  EXPECT_EQ(bar->width(), 200);
  EXPECT_EQ(bar->height(), 24);
  EXPECT_EQ(R(*bar, 2), (Rect{22, 2, 6, 20}));
}

TEST(ToolbarLayout, AutoSizeAndItsGuard) {
  auto bar = MakeBar(300, 24);
  bar->AddButtonEx("a");
  bar->AddButtonEx("b");
  bar->SetAutoSize(true);
  EXPECT_EQ(bar->width(), 2 + 20 + 20 + 2);
  EXPECT_TRUE(bar->AutoSizeGuard());
  bar->AddButtonEx("c");  // clears the guard after its layout ...
  EXPECT_FALSE(bar->AutoSizeGuard());
  bar->Refresh();  // ... so the next one fits the bar again
  EXPECT_EQ(bar->width(), 2 + 60 + 2);

  // No visible buttons: shrunk to nothing once, then left alone until a button comes.
  for (int i = 1; i <= 3; ++i) bar->SetButtonVisible(i, false);
  EXPECT_EQ(bar->width(), 64);  // the guard is still set
  bar->SetButtonGap(0);
  EXPECT_EQ(bar->width(), 0);
  bar->resize(50, 24);
  bar->Refresh();
  EXPECT_EQ(bar->width(), 50);

  // Aligned to an edge of the container: no auto-size, and the property refuses.
  auto aligned = MakeBar(300, 24);
  aligned->SetAlign(1);
  EXPECT_THROW(aligned->SetAutoSize(true), p::ComError);
  EXPECT_FALSE(aligned->AutoSize());
}

TEST(ToolbarLayout, ButtonsThatDoNotFitGoBehindTheChevronInEitherOrientation) {
  for (const bool vertical : {false, true}) {
    auto bar = vertical ? MakeBar(24, 60) : MakeBar(60, 24);
    for (const char* key : {"a", "b", "c", "d"}) bar->AddButtonEx(key);
    // 20-pixel buttons from 2 (a column's steps are 2 pixels longer): two fit before the
    // chevron's 16 pixels at the end of a row, one in a column.
    ASSERT_TRUE(bar->Overflowing()) << vertical;
    EXPECT_EQ(bar->FirstOverflowButton(), vertical ? 2 : 3) << vertical;
    const QRect chevron = bar->ChevronRect();
    EXPECT_EQ(vertical ? chevron.bottom() : chevron.right(), 57) << vertical;
    EXPECT_EQ(bar->IsWithinButton(vertical ? 10 : 44, vertical ? 44 : 10), 0) << vertical;
    // The chevron is drawn with the text colour; the hidden buttons' place keeps the face.
    EXPECT_GT(CountColour(bar->SurfaceImage(), 0x000000, chevron), 4) << vertical;
    bar->resize(vertical ? 24 : 200, vertical ? 200 : 24);
    bar->Refresh();
    EXPECT_FALSE(bar->Overflowing()) << vertical;
    EXPECT_TRUE(bar->ChevronRect().isEmpty()) << vertical;
  }
}
