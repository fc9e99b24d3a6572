// basGDI: colour ramps, gradients, frames, fills, text rectangles and the cut-corner outline.
#include <gtest/gtest.h>

#include "gfx/basGDI.h"
#include "platform/Colors.h"
#include "platform/Gdi.h"
#include "tests/platform/Surface.h"

namespace p = quillane::platform;
namespace g = quillane::gfx;
using quillane::test::Surface;

TEST(BasGdi, RoundingIsHalfToEvenAndTranslationFailsAsMinusOne) {
  EXPECT_EQ(g::RoundHalfEven(2.5), 2);
  EXPECT_EQ(g::RoundHalfEven(3.5), 4);
  EXPECT_EQ(g::RoundHalfEven(-2.5), -2);
  EXPECT_EQ(g::RoundHalfEven(1e300), INT32_MAX);
  EXPECT_EQ(g::TranslateColor(static_cast<p::OLE_COLOR>(0x8000000Fu)), 0xF0F0F0);
  EXPECT_EQ(g::TranslateColor(0x123456), 0x123456);
  EXPECT_EQ(g::TranslateColor(-1), -1);
  EXPECT_EQ(g::TranslateColor(static_cast<p::OLE_COLOR>(0x80000040u)), -1);
}

TEST(BasGdi, BlendColorsStepsBeforeStoringAndClamps) {
  std::vector<std::int32_t> ramp(256);
  g::BlendColors(p::RGB(0, 0, 0), p::RGB(255, 255, 255), ramp);
  EXPECT_EQ(ramp[0], static_cast<std::int32_t>(p::RGB(1, 1, 1)));
  EXPECT_EQ(ramp[127], static_cast<std::int32_t>(p::RGB(128, 128, 128)));
  EXPECT_EQ(ramp[255], static_cast<std::int32_t>(p::RGB(255, 255, 255)));  // clamped from 256
  std::vector<std::int32_t> same(5);
  g::BlendColors(0x204060, 0x204060, same);
  for (auto c : same) EXPECT_EQ(c, 0x204060);
  // Per channel: red falls, blue rises; n = 4 gives steps of -50 and +25 (ramp[1] = c1 + 2 steps).
  std::vector<std::int32_t> mixed(5);
  g::BlendColors(p::RGB(200, 10, 0), p::RGB(0, 10, 100), mixed);
  EXPECT_EQ(mixed[0], static_cast<std::int32_t>(p::RGB(150, 10, 25)));
  EXPECT_EQ(mixed[1], static_cast<std::int32_t>(p::RGB(100, 10, 50)));
  EXPECT_EQ(mixed[4],
            static_cast<std::int32_t>(p::RGB(0, 10, 125)));  // clamped at 0, one step past
  // Half steps round to even: 0 -> 5 over n = 2 gives 2.5 -> 2 and 5, then 7.5 -> 8.
  std::vector<std::int32_t> halves(3);
  g::BlendColors(0, p::RGB(5, 0, 0), halves);
  EXPECT_EQ(halves[0], 2);
  EXPECT_EQ(halves[1], 5);
  EXPECT_EQ(halves[2], 8);
  std::vector<std::int32_t> single(1);
  g::BlendColors(0x112233, 0x445566, single);
  EXPECT_EQ(single[0], 0x112233);
  // System colours are translated before they are split.
  std::vector<std::int32_t> sys(2);
  g::BlendColors(static_cast<p::OLE_COLOR>(0x8000000Fu), static_cast<p::OLE_COLOR>(0x8000000Fu),
                 sys);
  EXPECT_EQ(sys[1], 0xF0F0F0);
}

TEST(BasGdi, GradientsDrawOneLinePerColumnOrRow) {
  Surface s(8, 6, 0xFFFFFF);
  g::DrawGradient(s.dc(), 1, 1, 5, 4, 0, p::RGB(200, 0, 0), 0,
                  true);  // mirror ignored left to right
  std::vector<std::int32_t> ramp(5);
  g::BlendColors(0, p::RGB(200, 0, 0), ramp);
  for (int i = 0; i <= 4; ++i) {
    EXPECT_EQ(s.at(1 + i, 1), static_cast<p::COLORREF>(ramp[i]));
    EXPECT_EQ(s.at(1 + i, 3), static_cast<p::COLORREF>(ramp[i]));
    EXPECT_EQ(s.at(1 + i, 4), 0xFFFFFFu);  // the end point of each line is left out
  }
  EXPECT_EQ(s.at(6, 1), 0xFFFFFFu);
  // Top to bottom: rows Y1..Y2, each line without its right end.
  Surface v(6, 8, 0xFFFFFF);
  g::DrawGradient(v.dc(), 1, 1, 4, 6, p::RGB(0, 0, 250), 0, 1, false);
  std::vector<std::int32_t> vr(6);
  g::BlendColors(p::RGB(0, 0, 250), 0, vr);
  for (int i = 0; i <= 5; ++i) {
    EXPECT_EQ(v.at(1, 1 + i), static_cast<p::COLORREF>(vr[i]));
    EXPECT_EQ(v.at(3, 1 + i), static_cast<p::COLORREF>(vr[i]));
    EXPECT_EQ(v.at(4, 1 + i), 0xFFFFFFu);
  }
  EXPECT_EQ(v.at(1, 7), 0xFFFFFFu);
}

TEST(BasGdi, MirroredGradientMeetsInTheMiddleWithTheBottomHalfOnTop) {
  // Y2 - Y1 = 7: n = round(3.5) = 4; the top half covers rows 0..4, the bottom half rows 7..3, so
  // rows 3 and 4 are drawn twice and keep the bottom half's colours.
  Surface s(3, 8, 0xFFFFFF);
  g::DrawGradient(s.dc(), 0, 0, 2, 7, p::RGB(0, 0, 0), p::RGB(0, 200, 0), 1, true);
  std::vector<std::int32_t> r(5);
  g::BlendColors(p::RGB(0, 0, 0), p::RGB(0, 200, 0), r);
  const std::int32_t expected[8] = {r[0], r[1], r[2], r[4], r[3], r[2], r[1], r[0]};
  for (int y = 0; y < 8; ++y) EXPECT_EQ(s.at(0, y), static_cast<p::COLORREF>(expected[y])) << y;
  // Y2 - Y1 = 6: n = 3; only row 3 is shared, in the same colour from both sides.
  Surface e(3, 7, 0xFFFFFF);
  g::DrawGradient(e.dc(), 0, 0, 2, 6, p::RGB(0, 0, 0), p::RGB(0, 200, 0), 1, true);
  std::vector<std::int32_t> r3(4);
  g::BlendColors(p::RGB(0, 0, 0), p::RGB(0, 200, 0), r3);
  const std::int32_t ex3[7] = {r3[0], r3[1], r3[2], r3[3], r3[2], r3[1], r3[0]};
  for (int y = 0; y < 7; ++y) EXPECT_EQ(e.at(1, y), static_cast<p::COLORREF>(ex3[y])) << y;
}

TEST(BasGdi, DrawFramePaintsThePerimeterExactlyOnce) {
  // With an exclusive-or pen a pixel painted twice would return to black.
  Surface s(8, 7, 0x000000);
  p::SetROP2(s.dc(), p::R2_XORPEN);
  g::DrawFrame(s.dc(), 1, 1, 5, 4, p::RGB(255, 0, 0), p::RGB(0, 0, 255), -1);
  const std::vector<std::pair<char, p::COLORREF>> legend = {
      {'.', 0}, {'A', p::RGB(255, 0, 0)}, {'B', p::RGB(0, 0, 255)}};
  EXPECT_EQ(s.Map(legend), (std::vector<std::string>{"........", ".AAAAA..", ".A...B..", ".A...B..",
                                                     ".BBBBB..", "........", "........"}));
  // 2 x 2: top row in the first colour, bottom row in the second; 1 x 1 paints nothing.
  Surface t(4, 4, 0xFFFFFF);
  g::DrawFrame(t.dc(), 1, 1, 2, 2, p::RGB(255, 0, 0), p::RGB(0, 0, 255), -1);
  const std::vector<std::pair<char, p::COLORREF>> l2 = {
      {'.', 0xFFFFFF}, {'A', p::RGB(255, 0, 0)}, {'B', p::RGB(0, 0, 255)}};
  EXPECT_EQ(t.Map(l2), (std::vector<std::string>{"....", ".AA.", ".BB.", "...."}));
  Surface u(3, 3, 0xFFFFFF);
  g::DrawFrame(u.dc(), 1, 1, 1, 1, 0, 0, -1);
  EXPECT_EQ(u.Count(0xFFFFFF), 9);
  // A fill (a system colour here) covers the inside; the frame covers what the fill leaves out.
  Surface f(6, 5, 0x000000);
  g::DrawFrame(f.dc(), 0, 0, 6, 5, p::RGB(255, 0, 0), p::RGB(0, 0, 255),
               static_cast<p::OLE_COLOR>(0x8000000Fu));
  const std::vector<std::pair<char, p::COLORREF>> l3 = {
      {'.', 0}, {'A', p::RGB(255, 0, 0)}, {'B', p::RGB(0, 0, 255)}, {'f', 0xF0F0F0}};
  EXPECT_EQ(f.Map(l3),
            (std::vector<std::string>{"AAAAAA", "AffffB", "AffffB", "AffffB", "BBBBBB"}));
  EXPECT_EQ(p::GetCurrentObject(f.dc(), p::OBJ_PEN),
            p::GetStockObject(p::BLACK_PEN));  // pen restored
}

TEST(BasGdi, ExtremeRectanglesSaturateInsteadOfWrapping) {
  Surface s(4, 4, 0xFFFFFF);
  g::DrawFrame(s.dc(), INT32_MAX - 1, INT32_MAX - 1, INT32_MAX, INT32_MAX, 0, 0, 0x00FF00);
  g::FillArea(s.dc(), INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, 0x0000FF);
  g::DrawTextRect(s.dc(), "x", 3.0e38f, -3.0e38f, 3.0e38f, 3.0e38f, p::DT_CENTER);
  EXPECT_EQ(s.Count(0xFFFFFF), 16);
}

TEST(BasGdi, FillAreaLeavesOutTheRightColumnAndBottomRow) {
  Surface s(6, 5, 0xFFFFFF);
  const std::size_t before = p::GdiObjectCount();
  g::FillArea(s.dc(), 1, 1, 4, 3, p::RGB(0, 128, 0));
  EXPECT_EQ(p::GdiObjectCount(), before);  // the brush is deleted
  const std::vector<std::pair<char, p::COLORREF>> l = {{'.', 0xFFFFFF}, {'g', p::RGB(0, 128, 0)}};
  EXPECT_EQ(s.Map(l), (std::vector<std::string>{"......", ".ggg..", ".ggg..", "......", "......"}));
}

TEST(BasGdi, DrawTextRectRoundsItsRectangleAndStopsAtNul) {
  Surface a(60, 30), b(60, 30);
  p::SetBkMode(a.dc(), p::TRANSPARENT);
  p::SetBkMode(b.dc(), p::TRANSPARENT);
  g::DrawTextRect(a.dc(), std::string_view("Ab\0zzz", 6), 2.5f, 3.5f, 40.5f, 20.0f,
                  p::DT_CENTER | p::DT_VCENTER | p::DT_SINGLELINE);
  p::RECT rc{2, 4, 43, 24};  // 2.5 -> 2, 3.5 -> 4, 43.0 -> 43, 23.5 -> 24
  p::DrawText(b.dc(), "Ab", &rc, p::DT_CENTER | p::DT_VCENTER | p::DT_SINGLELINE);
  EXPECT_EQ(p::GetBitmapImage(a.bitmap()), p::GetBitmapImage(b.bitmap()));
  EXPECT_LT(a.Count(0xFFFFFF), 60 * 30);
}

TEST(BasGdi, RoundRectPointsTraceTheCutCornersClockwise) {
  std::vector<p::POINT> pts = {{99, 99}};
  EXPECT_EQ(g::RoundRectPoints(pts, 0, 0, 10, 10), 12);
  const std::vector<p::POINT> expected = {{2, 0}, {8, 0},  {9, 1},  {10, 2}, {10, 8},
                                          {9, 9}, {8, 10}, {2, 10}, {1, 9},  {0, 8},
                                          {0, 2}, {1, 1},  {2, 0}};
  EXPECT_EQ(pts, expected);
  std::vector<p::POINT> list;
  g::AddPoint(list, 2.5f, 3.5f);
  g::AddPoint(list, -0.5f, 1.5f);
  EXPECT_EQ(list, (std::vector<p::POINT>{{2, 4}, {0, 2}}));
  // Half-way coordinates round to even: 0.5 -> 0, 2.5 -> 2.
  g::RoundRectPoints(pts, 0.5f, 0.5f, 10.5f, 10.5f);
  EXPECT_EQ(pts[0], (p::POINT{2, 0}));
  EXPECT_EQ(pts[3], (p::POINT{10, 2}));
  // Filled and outlined as the flat highlight does: the outline closes on itself.
  Surface s(12, 12, 0xFFFFFF);
  g::RoundRectPoints(pts, 0, 0, 10, 10);
  const p::HBRUSH brush = p::CreateSolidBrush(p::RGB(240, 240, 240));
  const p::HPEN pen = p::CreatePen(p::PS_SOLID, 1, p::RGB(200, 200, 200));
  const p::HGDIOBJ ob = p::SelectObject(s.dc(), brush), op = p::SelectObject(s.dc(), pen);
  p::Polygon(s.dc(), pts.data(), static_cast<int>(pts.size()));
  p::SelectObject(s.dc(), ob);
  p::SelectObject(s.dc(), op);
  p::DeleteObject(brush);
  p::DeleteObject(pen);
  const std::vector<std::pair<char, p::COLORREF>> l = {
      {'.', 0xFFFFFF}, {'o', p::RGB(200, 200, 200)}, {'f', p::RGB(240, 240, 240)}};
  EXPECT_EQ(s.Map(l), (std::vector<std::string>{"..ooooooo...", ".offfffffo..", "offfffffffo.",
                                                "offfffffffo.", "offfffffffo.", "offfffffffo.",
                                                "offfffffffo.", "offfffffffo.", "offfffffffo.",
                                                ".offfffffo..", "..ooooooo...", "............"}));
}
