// Drawing into bitmaps made for dense screens: calls speak of logical pixels, edges fall on whole
// device pixels with no seam at fractional ratios, blits map between ratios, and text and oblique
// edges are drawn at the device's resolution rather than doubled.
#include <gtest/gtest.h>

#include <QImage>
#include <QRegion>

#include "platform/Colors.h"
#include "platform/Gdi.h"
#include "tests/platform/Surface.h"

namespace p = quillane::platform;
using quillane::test::Surface;

namespace {

constexpr p::COLORREF kWhite = 0xFFFFFF, kBlack = 0, kRed = 0x0000FF, kBlue = 0xFF0000;

QRgb Dev(const Surface& s, int x, int y) { return p::BitmapImage(s.bitmap())->pixel(x, y); }
p::COLORREF DevRef(const Surface& s, int x, int y) { return p::FromQRgb(Dev(s, x, y)); }

void Fill(const Surface& s, int l, int t, int r, int b, p::COLORREF c) {
  const p::HBRUSH brush = p::CreateSolidBrush(c);
  const p::RECT rc{l, t, r, b};
  p::FillRect(s.dc(), &rc, brush);
  p::DeleteObject(brush);
}

// Whether some aligned 2 x 2 block of device pixels inside the box holds two colours: the drawing
// is finer than its logical pixels.
bool FinerThanLogical(const QImage& image, const QRect& box) {
  for (int y = box.top() & ~1; y + 1 <= box.bottom(); y += 2)
    for (int x = box.left() & ~1; x + 1 <= box.right(); x += 2) {
      const QRgb c = image.pixel(x, y);
      if (image.pixel(x + 1, y) != c || image.pixel(x, y + 1) != c ||
          image.pixel(x + 1, y + 1) != c)
        return true;
    }
  return false;
}

}  // namespace

TEST(DenseBitmaps, LinesAndFillsCoverWholeDevicePixels) {
  Surface s(10, 10, kWhite);
  ASSERT_TRUE(p::SetBitmapRatio(s.bitmap(), 2));
  p::BITMAP bm;
  ASSERT_TRUE(p::GetObject(s.bitmap(), &bm));
  EXPECT_EQ(bm.bmWidth, 10);
  EXPECT_EQ(p::BitmapImage(s.bitmap())->width(), 20);
  EXPECT_EQ(p::BitmapImage(s.bitmap())->devicePixelRatio(), 2.0);
  // A one-pixel line is two device rows, sharp on both sides, its end point still left out.
  p::MoveToEx(s.dc(), 1, 3);
  p::LineTo(s.dc(), 8, 3);
  for (int x = 0; x < 20; ++x) {
    const bool on = x >= 2 && x < 16;
    EXPECT_EQ(DevRef(s, x, 6), on ? kBlack : kWhite) << x;
    EXPECT_EQ(DevRef(s, x, 7), on ? kBlack : kWhite) << x;
    EXPECT_EQ(DevRef(s, x, 5), kWhite);
    EXPECT_EQ(DevRef(s, x, 8), kWhite);
  }
  EXPECT_EQ(p::GetPixel(s.dc(), 7, 3), kBlack);
  EXPECT_EQ(p::GetPixel(s.dc(), 8, 3), kWhite);
  // A window shape from the bitmap is in logical pixels.
  QRegion shape;
  const p::HRGN rgn = p::CreateRgnFromBitmap(s.bitmap(), kWhite);
  ASSERT_TRUE(p::GetRegion(rgn, &shape));
  EXPECT_EQ(shape, QRegion(1, 3, 7, 1));
  p::DeleteObject(rgn);

  // At 1.5 neighbouring boxes share their edge: no seam and no overlap between them.
  Surface f(10, 4, kWhite);
  ASSERT_TRUE(p::SetBitmapRatio(f.bitmap(), 1.5));
  EXPECT_EQ(p::BitmapImage(f.bitmap())->width(), 15);
  for (int x = 0; x < 9; x += 3) Fill(f, x, 0, x + 3, 4, x % 2 ? kBlue : kRed);
  for (int x = 0; x < 15; ++x) {
    const p::COLORREF expected = x < 5 ? kRed : x < 9 ? kBlue : x < 14 ? kRed : kWhite;
    EXPECT_EQ(DevRef(f, x, 2), expected) << x;
  }
}

TEST(DenseBitmaps, BlitsMapBetweenRatiosAndObliqueEdgesAreFine) {
  // A plain 2 x 2 checker blitted into a bitmap at 2: each pixel becomes a 2 x 2 block.
  Surface plain(2, 2, kWhite);
  p::SetPixel(plain.dc(), 0, 0, kRed);
  p::SetPixel(plain.dc(), 1, 1, kRed);
  Surface dense(6, 6, kWhite);
  p::SetBitmapRatio(dense.bitmap(), 2);
  p::BitBlt(dense.dc(), 1, 1, 2, 2, plain.dc(), 0, 0, p::SRCCOPY);
  for (int y = 2; y < 6; ++y)
    for (int x = 2; x < 6; ++x)
      EXPECT_EQ(DevRef(dense, x, y), (x < 4) == (y < 4) ? kRed : kWhite) << x << "," << y;
  // Between two bitmaps at 2 the device pixels go across one for one.
  Surface other(6, 6, kWhite);
  p::SetBitmapRatio(other.bitmap(), 2);
  p::BitmapImage(other.bitmap())->setPixel(1, 0, 0xFF0000FFu);
  p::BitBlt(dense.dc(), 3, 3, 3, 3, other.dc(), 0, 0, p::SRCCOPY);
  EXPECT_EQ(DevRef(dense, 7, 6), p::FromQRgb(0xFF0000FFu));
  EXPECT_EQ(DevRef(dense, 6, 6), kWhite);
  // At 1.5 a block moved by a logical pixel (not a whole number of device pixels) keeps all of
  // its device pixels.
  Surface from(2, 2, kRed), to(4, 4, kWhite);
  p::SetBitmapRatio(from.bitmap(), 1.5);
  p::SetBitmapRatio(to.bitmap(), 1.5);
  p::BitBlt(to.dc(), 1, 1, 2, 2, from.dc(), 0, 0, p::SRCCOPY);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 6; ++x)
      EXPECT_EQ(DevRef(to, x, y), x >= 2 && x < 5 && y >= 2 && y < 5 ? kRed : kWhite) << x << y;

  // An oblique edge steps by device pixels, not by logical ones.
  Surface tri(12, 12, kWhite);
  p::SetBitmapRatio(tri.bitmap(), 2);
  const p::POINT corners[3] = {{1, 1}, {11, 1}, {1, 8}};
  const p::HBRUSH brush = p::CreateSolidBrush(kBlue);
  const p::HGDIOBJ oldBrush = p::SelectObject(tri.dc(), brush);
  const p::HGDIOBJ oldPen = p::SelectObject(tri.dc(), p::GetStockObject(p::NULL_PEN));
  p::Polygon(tri.dc(), corners, 3);
  p::SelectObject(tri.dc(), oldPen);
  p::SelectObject(tri.dc(), oldBrush);
  p::DeleteObject(brush);
  EXPECT_EQ(DevRef(tri, 2, 2), kBlue);
  EXPECT_TRUE(FinerThanLogical(*p::BitmapImage(tri.bitmap()), QRect(2, 2, 20, 14)));
  // Lines too.
  Surface line(8, 8, kWhite);
  p::SetBitmapRatio(line.bitmap(), 2);
  p::MoveToEx(line.dc(), 0, 0);
  p::LineTo(line.dc(), 6, 4);
  EXPECT_EQ(DevRef(line, 0, 0), kBlack);
  EXPECT_TRUE(FinerThanLogical(*p::BitmapImage(line.bitmap()), QRect(0, 0, 16, 16)));
}

TEST(DenseBitmaps, TextIsDrawnAtTheDevicesResolution) {
  p::LOGFONT lf;
  lf.lfHeight = -11;
  const p::HFONT font = p::CreateFontIndirect(lf);
  auto draw = [&](Surface& s) {
    const p::HGDIOBJ old = p::SelectObject(s.dc(), font);
    p::SetBkMode(s.dc(), p::TRANSPARENT);
    p::TextOut(s.dc(), 2, 2, "Hag");
    p::SelectObject(s.dc(), old);
  };
  Surface one(40, 20, kWhite), two(40, 20, kWhite);
  p::SetBitmapRatio(two.bitmap(), 2);
  draw(one);
  draw(two);
  auto ink = [](const QImage& image) {
    QRect box;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x)
        if ((image.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF) box |= QRect(x, y, 1, 1);
    return box;
  };
  const QRect a = ink(*p::BitmapImage(one.bitmap())), b = ink(*p::BitmapImage(two.bitmap()));
  ASSERT_FALSE(a.isEmpty());
  // The same place and size in logical pixels, with detail no doubled picture has.
  EXPECT_NEAR(b.left(), 2 * a.left(), 2);
  EXPECT_NEAR(b.right(), 2 * a.right() + 1, 3);
  EXPECT_NEAR(b.top(), 2 * a.top(), 2);
  EXPECT_NEAR(b.bottom(), 2 * a.bottom() + 1, 3);
  EXPECT_TRUE(FinerThanLogical(*p::BitmapImage(two.bitmap()), b));
  p::DeleteObject(font);
}
