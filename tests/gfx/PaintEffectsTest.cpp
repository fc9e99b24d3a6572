// ascPaintEffects: transparency by mask colour, the embossed look and its key colour, the checked
// pattern, tiling with clipping, and pictures that are empty.
#include <gtest/gtest.h>

#include <QImage>

#include "gfx/ascMemoryBitmap.h"
#include "gfx/ascPaintEffects.h"
#include "platform/Colors.h"
#include "platform/Gdi.h"
#include "platform/Host.h"
#include "platform/PropertyBag.h"
#include "tests/platform/Surface.h"

namespace p = quillane::platform;
namespace g = quillane::gfx;
using quillane::test::Surface;

namespace {

constexpr p::COLORREF M = 0xFF00FF, W = 0xFFFFFF, K = 0, R = p::RGB(255, 0, 0),
                      B = p::RGB(0, 0, 255), Y = p::RGB(255, 255, 0), G = p::RGB(0, 128, 0);

// Pictures from rows of characters: '.' magenta (the mask), '#' black, 'r' red, 'b' blue, 'w'
// white.
QImage Pixels(const std::vector<std::string>& rows) {
  QImage img(static_cast<int>(rows[0].size()), static_cast<int>(rows.size()),
             QImage::Format_ARGB32);
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) {
      QRgb c = qRgb(255, 0, 255);
      switch (rows[y][x]) {
        case '#':
          c = qRgb(0, 0, 0);
          break;
        case 'r':
          c = qRgb(255, 0, 0);
          break;
        case 'b':
          c = qRgb(0, 0, 255);
          break;
        case 'w':
          c = qRgb(255, 255, 255);
          break;
        case ' ':
          c = qRgba(0, 0, 0, 0);
          break;
      }
      img.setPixel(x, y, c);
    }
  return img;
}

p::Picture BitmapPicture(const std::vector<std::string>& rows) {
  return p::Picture::FromBitmap(p::CreateBitmapFromImage(Pixels(rows)));
}

const std::vector<std::pair<char, p::COLORREF>> kLegend = {{'.', M}, {'#', K}, {'r', R}, {'b', B},
                                                           {'w', W}, {'y', Y}, {'g', G}};

}  // namespace

TEST(PaintEffects, EmptyPicturesDrawNothingAnywhere) {
  g::ascPaintEffects fx;
  Surface s(6, 6, G);
  const std::size_t before = p::GdiObjectCount();
  for (const p::Picture& pic : {p::Picture(), p::Picture::Empty()}) {
    fx.PaintStandardPicture(s.dc(), pic, 0, 0, 6, 6);
    fx.PaintTransparentPicture(s.dc(), pic, 0, 0, 6, 6, 0, 0, M);
    fx.PaintDisabledPicture(s.dc(), pic, 0, 0, 6, 6, 0, 0, M);
    fx.PaintDisabledPictureEx(s.dc(), 0, 0, 6, 6, pic, 0, 0, M, W, K);
    EXPECT_THROW(fx.TileBitmapToHDC(s.dc(), pic, 0, 0, 2, 2, 0, 0, 6, 6), p::ComError);
  }
  EXPECT_EQ(s.Count(G), 36);
  EXPECT_EQ(p::GdiObjectCount(), before);
}

TEST(PaintEffects, StandardAndTransparentPicturesOfBitmaps) {
  g::ascPaintEffects fx;
  const p::Picture pic = BitmapPicture({"..r.", ".##.", "b..w"});
  Surface s(6, 5, G);
  fx.PaintStandardPicture(s.dc(), pic, 1, 1, 3, 2, 1, 1);  // the block at (1, 1), 3 x 2
  EXPECT_EQ(s.Map(kLegend),
            (std::vector<std::string>{"gggggg", "g##.gg", "g..wgg", "gggggg", "gggggg"}));
  s.Fill(G);
  const std::size_t before = p::GdiObjectCount();
  fx.PaintTransparentPicture(s.dc(), pic, 1, 1, 4, 3, 0, 0, static_cast<p::OLE_COLOR>(M));
  EXPECT_EQ(p::GdiObjectCount(), before);  // every bitmap and context made is deleted
  EXPECT_EQ(s.Map(kLegend),
            (std::vector<std::string>{"gggggg", "gggrgg", "gg##gg", "gbggwg", "gggggg"}));
  // Black source pixels stay black (not transparent) and a mask colour absent from the picture
  // copies everything.
  s.Fill(G);
  fx.PaintTransparentPicture(s.dc(), pic, 0, 0, 4, 3, 0, 0, Y);
  EXPECT_EQ(s.Map(kLegend)[1], ".##.gg");
}

TEST(PaintEffects, TransparentDrawingOfIconsAndMonochromeSources) {
  g::ascPaintEffects fx;
  const p::Picture icon =
      p::Picture::FromIcon(p::CreateIconFromImage(Pixels({" r ", "b b", " # "})));
  Surface s(4, 4, G);
  fx.PaintStandardPicture(s.dc(), icon, 0, 0, 3, 3);
  EXPECT_EQ(s.Map(kLegend), (std::vector<std::string>{"grgg", "bgbg", "g#gg", "gggg"}));
  s.Fill(G);
  fx.PaintTransparentPicture(s.dc(), icon, 1, 1, 3, 3, 0, 0, static_cast<p::OLE_COLOR>(M));
  EXPECT_EQ(s.Map(kLegend), (std::vector<std::string>{"gggg", "ggrg", "gbgb", "gg#g"}));
  // A monochrome source arrives in its own context's colours: 0 text, 1 background.
  const p::HDC monoDc = p::CreateCompatibleDC(0);
  const uint8_t rows[] = {0x80, 0, 0x40, 0};  // 2 x 2: (0,0) = 1, (1,1) = 1
  const p::HBITMAP mono = p::CreateBitmap(2, 2, 1, 1, rows);
  const p::HGDIOBJ old = p::SelectObject(monoDc, mono);
  p::SetTextColor(monoDc, B);
  p::SetBkColor(monoDc, M);
  s.Fill(G);
  fx.PaintTransparentDC(s.dc(), 0, 0, 2, 2, monoDc, 0, 0, static_cast<p::OLE_COLOR>(M));
  EXPECT_EQ(s.Map(kLegend)[0], "gbgg");
  EXPECT_EQ(s.Map(kLegend)[1], "bggg");
  p::SelectObject(monoDc, old);
  p::DeleteObject(mono);
  p::DeleteDC(monoDc);
}

TEST(PaintEffects, EmbossedLookUsesHighlightBelowRightAndShadowInPlace) {
  g::ascPaintEffects fx;
  // Dark pixels: '#' and 'r' (red is nearer black); white and the mask colour are light.
  const p::Picture pic = BitmapPicture({"#.w", ".r.", "..."});
  Surface s(5, 5, G);
  const std::size_t before = p::GdiObjectCount();
  fx.PaintDisabledPictureEx(s.dc(), 1, 1, 3, 3, pic, 0, 0, static_cast<p::OLE_COLOR>(M), Y, B);
  EXPECT_EQ(p::GdiObjectCount(), before);
  // The highlight of (1,1) falls at (2,2) inside; the one of (2,2) at (3,3); shadow wins where
  // both.
  EXPECT_EQ(s.Map(kLegend),
            (std::vector<std::string>{"ggggg", "gbggg", "ggbgg", "gggyg", "ggggg"}));
  // With white as the mask colour the pre-pass is skipped and each pixel goes to the nearer of
  // black and white: black and red are dark, magenta and white light.
  s.Fill(G);
  fx.PaintDisabledPictureEx(s.dc(), 1, 1, 3, 3, pic, 0, 0, static_cast<p::OLE_COLOR>(W), Y, B);
  EXPECT_EQ(s.at(1, 1), B);
  EXPECT_EQ(s.at(3, 1), G);
  EXPECT_EQ(s.at(2, 1), G);
}

TEST(PaintEffects, KeyColourAvoidsTheHighlightAndShadowColours) {
  g::ascPaintEffects fx;
  const p::Picture pic = BitmapPicture({"#..", "...", "..."});
  Surface s(4, 4, G);
  // Highlight black and shadow red: the key becomes blue, so the black highlight still shows.
  fx.PaintDisabledPictureEx(s.dc(), 0, 0, 3, 3, pic, 0, 0, static_cast<p::OLE_COLOR>(M), K, R);
  EXPECT_EQ(s.at(0, 0), R);
  EXPECT_EQ(s.at(1, 1), K);
  // Highlight black, shadow blue: key red; a background already in the key colour is kept.
  Surface t(4, 4, R);
  fx.PaintDisabledPictureEx(t.dc(), 0, 0, 3, 3, pic, 0, 0, static_cast<p::OLE_COLOR>(M), K, B);
  EXPECT_EQ(t.at(0, 0), B);
  EXPECT_EQ(t.at(1, 1), K);
  EXPECT_EQ(t.at(2, 2), R);
}

TEST(PaintEffects, DisabledPicturesUseThePlatformsDisabledDrawing) {
  g::ascPaintEffects fx;
  const p::COLORREF hi = p::GetSysColor(p::COLOR_3DHIGHLIGHT),
                    sh = p::GetSysColor(p::COLOR_BTNSHADOW);
  const std::vector<std::pair<char, p::COLORREF>> legend = {{'g', G}, {'H', hi}, {'S', sh}};
  // The mask colour turns white first, so it stays out of the embossed image.
  const p::Picture pic = BitmapPicture({"#.", ".r"});
  Surface s(4, 4, G);
  fx.PaintDisabledPicture(s.dc(), pic, 1, 0, 2, 2, 0, 0, static_cast<p::OLE_COLOR>(M));
  EXPECT_EQ(s.Map(legend), (std::vector<std::string>{"gSgg", "ggSg", "gggH", "gggg"}));
  const p::Picture icon = p::Picture::FromIcon(p::CreateIconFromImage(Pixels({"b ", " w"})));
  s.Fill(G);
  fx.PaintDisabledPicture(s.dc(), icon, 0, 0, 2, 2, 0, 0, static_cast<p::OLE_COLOR>(M));
  EXPECT_EQ(s.Map(legend), (std::vector<std::string>{"Sggg", "gHgg", "gggg", "gggg"}));
}

TEST(PaintEffects, CheckedPatternTilesTheDitherInTwoColours) {
  g::ascPaintEffects fx;
  g::ascMemoryBitmap dither;
  ASSERT_TRUE(dither.CreateByResource(std::string("DITHER")));
  Surface s(24, 10, G);
  p::SetBkColor(s.dc(), B);
  fx.PaintCheckedPattern(s.dc(), dither.hdc(), 1, 1, 20, 8, static_cast<p::OLE_COLOR>(0x80000014u));
  for (int y = 0; y < 10; ++y) {
    for (int x = 0; x < 24; ++x) {
      const bool inside = x >= 1 && x < 21 && y >= 1 && y < 9;
      const p::COLORREF want = !inside ? G : (((x - 1) + (y - 1)) % 2 == 0 ? B : W);
      ASSERT_EQ(s.at(x, y), want) << x << "," << y;
    }
  }
  EXPECT_EQ(p::GetTextColor(s.dc()), W);  // the pattern colour stays the text colour
  // Each tile restarts the source at its corner; the last column of tiles is cut.
  Surface src(8, 8, W);
  p::SetPixel(src.dc(), 0, 0, K);
  p::SetPixel(src.dc(), 5, 0, K);
  Surface t(20, 2, G);
  p::SetBkColor(t.dc(), Y);
  fx.PaintCheckedPattern(t.dc(), src.dc(), 0, 0, 14, 1, R);
  EXPECT_EQ(t.Map(kLegend)[0], "yrrrryrryrrrrygggggg");
  EXPECT_EQ(t.Map(kLegend)[1], "gggggggggggggggggggg");
}

TEST(PaintEffects, TileBitmapToHdcClipsAtTheRightAndBottom) {
  g::ascPaintEffects fx;
  const p::Picture pic = BitmapPicture({"#rb", "w#r", "bw#"});
  Surface s(10, 8, G);
  fx.TileBitmapToHDC(s.dc(), pic, 99, 99, 2, 2, 1, 1, 7, 5);  // lLeft and lTop are not used
  EXPECT_EQ(s.Map(kLegend),
            (std::vector<std::string>{"gggggggggg", "g#r#r#r#gg", "gw#w#w#wgg", "g#r#r#r#gg",
                                      "gw#w#w#wgg", "g#r#r#r#gg", "gggggggggg", "gggggggggg"}));
  s.Fill(G);
  fx.TileBitmapToHDC(s.dc(), pic, 0, 0, 0, 2, 0, 0, 10, 8);  // a zero step draws nothing
  EXPECT_EQ(s.Count(G), 80);
  // Tiles far outside the surface are skipped, not visited: tiles start at -1, 2, 5, ...
  fx.TileBitmapToHDC(s.dc(), pic, 0, 0, 3, 3, -1000000, -1000000, 2000000, 2000000);
  EXPECT_EQ(s.at(0, 0), K);
  EXPECT_EQ(s.at(1, 0), R);
  EXPECT_EQ(s.at(0, 1), W);
  EXPECT_EQ(s.at(2, 2), K);
  const p::Picture icon = p::Picture::FromIcon(p::CreateIconFromImage(Pixels({"#"})));
  try {
    fx.TileBitmapToHDC(s.dc(), icon, 0, 0, 1, 1, 0, 0, 1, 1);
    FAIL();
  } catch (const p::ComError& e) {
    EXPECT_EQ(e.Number(), 481);
    EXPECT_NE(e.Source().find(".ascPaintEffects:TileBitmapToHDC"), std::string::npos);
  }
}

TEST(PaintEffects, DensePicturesDrawTheirFinerBitmapAtHigherRatiosAndKeepThroughTheirText) {
  // The plain picture is all red; its finer drawing has one blue and one masked device pixel.
  QImage fine = Pixels({"rb.r", "rrrr", "rrrr", "rrrr"});
  fine.setDevicePixelRatio(2);
  p::PropertyBag bag;
  bag.WriteProperty("Picture",
                    p::Picture::FromBitmaps(p::CreateBitmapFromImage(Pixels({"rr", "rr"})),
                                            p::CreateBitmapFromImage(fine)));
  const auto back = p::PropertyBag::FromText(bag.ToText());
  ASSERT_TRUE(back);
  const p::Picture pic = back->ReadPicture("Picture");
  ASSERT_NE(pic.DenseHandle(), 0u);
  EXPECT_EQ(p::GetBitmapImage(pic.DenseHandle()).convertToFormat(QImage::Format_ARGB32), fine);

  g::ascPaintEffects fx;
  Surface one(4, 4, G), two(4, 4, G);
  p::SetBitmapRatio(two.bitmap(), 2);
  fx.PaintStandardPicture(one.dc(), pic, 1, 1, 2, 2);
  EXPECT_EQ(one.Map(kLegend), (std::vector<std::string>{"gggg", "grrg", "grrg", "gggg"}));
  fx.PaintTransparentPicture(two.dc(), pic, 1, 1, 2, 2, 0, 0, static_cast<p::OLE_COLOR>(M));
  const QImage* dev = p::BitmapImage(two.bitmap());
  EXPECT_EQ(p::FromQRgb(dev->pixel(2, 2)), R);
  EXPECT_EQ(p::FromQRgb(dev->pixel(3, 2)), B);
  EXPECT_EQ(p::FromQRgb(dev->pixel(4, 2)), G);  // the masked device pixel shows the ground
  EXPECT_EQ(p::FromQRgb(dev->pixel(5, 2)), R);
  EXPECT_EQ(p::FromQRgb(dev->pixel(6, 2)), G);
  // Between 1 and 2 the finer drawing is scaled smoothly, the mask colour kept out of the mixing.
  Surface mid(4, 4, G);
  p::SetBitmapRatio(mid.bitmap(), 1.5);
  fx.PaintTransparentPicture(mid.dc(), pic, 1, 1, 2, 2, 0, 0, static_cast<p::OLE_COLOR>(M));
  const QImage* m = p::BitmapImage(mid.bitmap());
  bool blended = false;
  for (int y = 2; y < 5; ++y)
    for (int x = 2; x < 5; ++x) {
      const QRgb c = m->pixel(x, y);
      EXPECT_EQ(qGreen(c), 0) << x << "," << y;  // all drawn, in red and blue alone
      blended |= qRed(c) > 0 && qBlue(c) > 0;
    }
  EXPECT_TRUE(blended);
}
