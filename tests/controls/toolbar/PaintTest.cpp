// Exact pixels of the frame in every border style, the grips, and each button state in the
// standard and the flat appearance, in horizontal and vertical bars.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>

#include "tests/controls/toolbar/Bar.h"

using namespace quillane::test;

namespace {

constexpr p::COLORREF kHoverLine = p::RGB(200, 200, 200), kPressFill = p::RGB(210, 210, 210),
                      kPressLine = p::RGB(150, 150, 190), kGrey = 0x808080;

void Hover(tb::xToolbar& bar, int x, int y) {
  QMouseEvent move(QEvent::MouseMove, QPointF(x, y), QPointF(), Qt::NoButton, Qt::NoButton,
                   Qt::NoModifier);
  QApplication::sendEvent(&bar, &move);
}

struct Expect {
  int x, y;
  p::COLORREF c;
};

void Check(const tb::xToolbar& bar, const std::vector<Expect>& pixels, const char* what) {
  for (const auto& e : pixels)
    EXPECT_EQ(Px(bar, e.x, e.y), e.c) << what << " at (" << e.x << ", " << e.y << ")";
}

// A bar whose first button stands at (2, 2) and is 20 x 20, in either orientation.
std::unique_ptr<tb::xToolbar> OneButton(bool vertical, std::int32_t style = tb::tbrButton) {
  auto bar = vertical ? MakeBar(24, 60) : MakeBar(60, 24);
  bar->AddButtonEx("b", style);
  bar->AddButtonEx("s", tb::tbrSeparator);
  return bar;
}

}  // namespace

TEST(ToolbarPaint, FrameInEveryBorderStyle) {
  auto bar = MakeBar(40, 24);
  const p::COLORREF H = kHighlight, S = kShadow, D = kDark, L = kLight, F = kFace;
  bar->SetBorderStyle(tb::tbbsNone);
  Check(*bar, {{0, 0, F}, {39, 23, F}, {0, 12, F}}, "none");
  bar->SetBorderStyle(tb::tbbsRaised);
  Check(*bar, {{0, 0, H}, {38, 0, H}, {39, 0, S}, {0, 22, H}, {0, 23, S}, {39, 23, S}, {1, 1, F}},
        "raised");
  bar->SetBorderStyle(tb::tbbsInset);
  Check(*bar, {{0, 0, S}, {38, 0, S}, {39, 0, H}, {0, 22, S}, {0, 23, H}, {39, 23, H}, {1, 1, F}},
        "inset");
  bar->SetBorderTop(false);
  Check(*bar, {{5, 0, F}, {0, 0, S}, {0, 23, H}}, "inset without top");
  bar->SetBorderStyle(tb::tbbsFrame);  // forces the flags on again
  Check(*bar,
        {{0, 0, S},
         {38, 0, S},
         {39, 0, F},
         {1, 1, H},
         {38, 1, S},
         {1, 22, S},
         {1, 21, H},
         {0, 23, F},
         {39, 23, H},
         {39, 1, H},
         {2, 2, F}},
        "frame");
  bar->SetBorderStyle(tb::tbbsInsetButton);
  Check(*bar,
        {{0, 0, S},
         {39, 0, H},
         {0, 23, H},
         {39, 23, H},
         {1, 1, D},
         {38, 1, L},
         {1, 22, L},
         {1, 21, D},
         {2, 2, F}},
        "inset button");
  bar->SetBorderStyle(tb::tbbsRaisedButton);
  Check(
      *bar,
      {{0, 0, H}, {39, 0, D}, {0, 23, D}, {0, 22, H}, {1, 1, L}, {38, 1, S}, {1, 22, S}, {2, 2, F}},
      "raised button");
  // Double borders: a ridge inside a raised frame, a groove inside a sunken one.
  bar->SetBorderStyle(tb::tbbsRaised);
  bar->SetDoubleTopBorder(true);
  bar->SetDoubleBottomBorder(true);
  Check(*bar, {{0, 0, H}, {1, 1, S}, {38, 1, S}, {1, 22, H}, {0, 23, S}, {2, 2, F}},
        "raised double");
  bar->SetBorderStyle(tb::tbbsInsetButton);
  Check(*bar, {{1, 1, D}, {2, 2, H}, {37, 2, H}, {2, 21, S}, {1, 22, L}, {3, 3, F}},
        "inset button double");
}

TEST(ToolbarPaint, Grips) {
  auto bar = MakeBar(60, 24, tb::tbdsOfficeXP);
  Check(*bar,
        {{7, 6, kGrey},
         {8, 7, kHighlight},
         {7, 10, kGrey},
         {7, 14, kGrey},
         {7, 18, kFace},
         {7, 8, kFace}},
        "XP dots");
  bar->resize(24, 60);
  bar->Refresh();
  Check(*bar, {{6, 7, kGrey}, {7, 8, kHighlight}, {14, 7, kGrey}}, "XP dots, vertical");
  bar->resize(60, 24);
  bar->SetDockingStyle(tb::tbdsOffice97);
  Check(*bar,
        {{5, 4, kHighlight},
         {7, 4, kGrey},
         {6, 5, kFace},
         {5, 19, kGrey},
         {8, 4, kHighlight},
         {10, 10, kGrey}},
        "97 bars");
}

class ToolbarStates : public ::testing::TestWithParam<bool> {};

TEST_P(ToolbarStates, Standard) {
  auto bar = OneButton(GetParam());
  const p::COLORREF H = kHighlight, S = kShadow, D = kDark, L = kLight, F = kFace;
  Check(*bar,
        {{2, 2, H},
         {20, 2, H},
         {21, 2, D},
         {2, 21, D},
         {21, 21, D},
         {3, 3, L},
         {20, 3, S},
         {3, 20, S},
         {10, 10, F}},
        "resting");
  Hover(*bar, 10, 10);  // hot looks the same in the standard appearance
  Check(*bar, {{2, 2, H}, {21, 21, D}, {3, 3, L}}, "hot");
  bar->RefreshButton(1, true);
  Check(*bar, {{2, 2, D}, {21, 2, H}, {2, 21, H}, {3, 3, S}, {20, 3, L}, {3, 20, L}, {10, 10, F}},
        "lowered");
  // Checked: sunken, and the pattern (face and highlight by turns) while the pointer is elsewhere.
  bar->SetButtonStyle(1, tb::tbrCheck);
  bar->SetButtonChecked(1, true);
  Check(*bar, {{10, 10, F}}, "checked and hot");
  Hover(*bar, 50, 50);
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(bar.get(), &leave);
  Check(*bar, {{2, 2, D}, {3, 3, S}, {5, 5, F}, {6, 5, H}, {5, 6, H}, {6, 6, F}}, "checked");
  // Disabled: the picture embossed in the shadow colour, the caption 3-D or flat grey.
  auto pic = OneButton(GetParam());
  pic->SetButtonPicture(1, SquarePicture());
  Check(*pic, {{10, 10, 0x000000}, {5, 5, F}}, "picture");
  pic->SetButtonEnabled(1, false);
  Check(*pic, {{10, 10, S}, {6, 6, S}, {5, 5, F}}, "disabled picture");
}

TEST_P(ToolbarStates, Flat) {
  auto bar = OneButton(GetParam());
  bar->SetAppearance(tb::ifcaFlat);
  const bool vertical = GetParam();
  // The separator (second button, 6 long) is an etched line in the flat appearance.
  if (vertical)
    Check(*bar, {{5, 26, kShadow}, {5, 27, kHighlight}}, "separator");
  else
    Check(*bar, {{24, 5, kShadow}, {25, 5, kHighlight}}, "separator");
  Check(*bar, {{2, 2, kFace}, {4, 2, kFace}, {21, 10, kFace}}, "resting");
  Hover(*bar, 10, 10);
  Check(*bar,
        {{2, 2, kFace},
         {4, 2, kHoverLine},
         {19, 2, kHoverLine},
         {21, 10, kHoverLine},
         {20, 20, kHoverLine},
         {10, 10, kFace}},
        "hot");
  bar->RefreshButton(1, false, true);  // ForceNoBorder
  Check(*bar, {{4, 2, kFace}, {21, 10, kFace}}, "hot, no border");
  bar->RefreshButton(1, true);
  Check(*bar,
        {{2, 2, kFace},
         {4, 2, kPressLine},
         {2, 4, kPressLine},
         {10, 10, kPressFill},
         {20, 20, kPressLine}},
        "lowered");
  bar->SetButtonStyle(1, tb::tbrCheck);
  bar->SetButtonChecked(1, true);
  Hover(*bar, 50, 50);
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(bar.get(), &leave);
  Check(*bar, {{4, 2, kPressLine}, {10, 10, kPressFill}}, "checked");
  bar->SetSolidChecked(true);
  Check(*bar, {{2, 2, kDark}, {3, 3, kShadow}, {5, 5, kFace}, {6, 5, kHighlight}},
        "checked, solid");
  // Disabled: no border at rest, the picture embossed.
  bar->SetButtonChecked(1, false);
  bar->SetButtonPicture(1, SquarePicture());
  bar->SetButtonEnabled(1, false);
  Check(*bar, {{4, 2, kFace}, {21, 10, kFace}, {10, 10, kShadow}, {6, 6, kShadow}}, "disabled");
}

INSTANTIATE_TEST_SUITE_P(Orientations, ToolbarStates, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Vertical" : "Horizontal"; });

TEST(ToolbarPaint, Captions) {
  auto bar = MakeBar(120, 24);
  bar->AddButtonEx("a", tb::tbrButton, {}, "", 0xFF00FF, true, "Mmm", false, false);
  const QRect caption(2, 2, static_cast<int>(bar->ButtonClientWidth(1)), 20);
  const QImage img3d = bar->SurfaceImage();
  EXPECT_GT(CountColour(img3d, kShadow, caption.adjusted(3, 3, -3, -3)), 5);
  EXPECT_GT(CountColour(img3d, kHighlight, caption.adjusted(3, 3, -3, -3)), 5);
  bar->SetDisabledText3D(false);
  const QImage flat = bar->SurfaceImage();
  EXPECT_GT(CountColour(flat, kGreyText, caption.adjusted(3, 3, -3, -3)), 5);
  EXPECT_EQ(CountColour(flat, kShadow, caption.adjusted(3, 3, -3, -3)), 0);
  // Standing on end, the caption turns: it is taller than wide.
  auto v = MakeBar(24, 120);
  v->AddButtonEx("a", tb::tbrButton, {}, "", 0xFF00FF, true, "Mmmmmm");
  const QImage vi = v->SurfaceImage();
  int top = 999, bottom = -1, left = 999, right = -1;
  for (int y = 4; y < 116; ++y)
    for (int x = 4; x < 20; ++x)
      if (p::FromQRgb(vi.pixel(x, y)) == 0) {
        top = std::min(top, y), bottom = std::max(bottom, y), left = std::min(left, x),
        right = std::max(right, x);
      }
  ASSERT_GE(bottom, top);
  EXPECT_GT(bottom - top, 2 * (right - left));
}

TEST(ToolbarPaint, TransparentBackgroundAndEmptySurface) {
  QWidget container;
  auto bar = MakeBar(60, 24);
  bar->setParent(&container);
  bar->AddButton();
  bar->SetBackStyle(0);
  const QRegion mask = bar->mask();
  EXPECT_TRUE(mask.contains(QPoint(0, 0)));     // the frame
  EXPECT_TRUE(mask.contains(QPoint(2, 2)));     // the button's border
  EXPECT_FALSE(mask.contains(QPoint(40, 10)));  // background: the container shows through
  bar->SetBackStyle(1);
  EXPECT_TRUE(bar->mask().isEmpty());
  // A bar of no size still has a surface to draw on.
  bar->resize(0, 0);
  bar->Refresh();
  bar->RefreshButton(1);
  EXPECT_TRUE(bar->SurfaceImage().isNull());
}
