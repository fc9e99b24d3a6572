// Pixel rules of the drawing layer: lines, rectangles, polygons, block transfers between colour,
// monochrome and 1-bit section bitmaps, the disabled look, icons, text, regions and object
// lifetime.
#include <gtest/gtest.h>

#include <QImage>
#include <QRegion>
#include <QWidget>

#include "platform/Colors.h"
#include "platform/Gdi.h"
#include "tests/platform/Surface.h"

namespace p = quillane::platform;
using quillane::test::Surface;

namespace {

constexpr p::COLORREF W = 0xFFFFFF, K = 0x000000, R = p::RGB(255, 0, 0), B = p::RGB(0, 0, 255),
                      G = p::RGB(0, 128, 0);
const std::vector<std::pair<char, p::COLORREF>> kLegend = {
    {'.', W}, {'#', K}, {'r', R}, {'b', B}, {'g', G}};

void Line(p::HDC dc, p::HPEN pen, int x0, int y0, int x1, int y1) {
  const p::HGDIOBJ old = p::SelectObject(dc, pen);
  p::MoveToEx(dc, x0, y0);
  p::LineTo(dc, x1, y1);
  p::SelectObject(dc, old);
}

// A memory context holding a new bitmap; deletes both.
struct Mem {
  p::HDC dc;
  p::HBITMAP bmp;
  p::HGDIOBJ old;
  explicit Mem(p::HBITMAP b) : dc(p::CreateCompatibleDC(0)), bmp(b), old(p::SelectObject(dc, b)) {}
  ~Mem() {
    p::SelectObject(dc, old);
    p::DeleteObject(bmp);
    p::DeleteDC(dc);
  }
};

}  // namespace

TEST(Gdi, LinesLeaveOutTheirEndPointWithAnyPenWidth) {
  Surface s(8, 6);
  const p::HPEN pen = p::CreatePen(p::PS_SOLID, 1, K);
  Line(s.dc(), pen, 1, 1, 5, 1);  // horizontal
  Line(s.dc(), pen, 6, 1, 6, 4);  // vertical
  Line(s.dc(), pen, 1, 2, 4, 5);  // diagonal
  Line(s.dc(), pen, 0, 5, 0, 5);  // zero length: nothing
  EXPECT_EQ(s.Map(kLegend), (std::vector<std::string>{"........", ".####.#.", ".#....#.",
                                                      "..#...#.", "...#....", "........"}));
  p::POINT pos;
  p::GetCurrentPositionEx(s.dc(), &pos);
  EXPECT_EQ(pos, (p::POINT{0, 5}));
  p::DeleteObject(pen);

  Surface wide(8, 5);
  const p::HPEN pen2 = p::CreatePen(p::PS_SOLID, 2, R);
  Line(wide.dc(), pen2, 1, 2, 6, 2);
  EXPECT_EQ(wide.Map(kLegend),
            (std::vector<std::string>{"........", "rrrrrr..", "rrrrrr..", "........", "........"}));
  p::DeleteObject(pen2);
}

TEST(Gdi, XorPenShowsEveryPixelIsDrawnOnce) {
  Surface s(6, 3, K);
  const p::HPEN pen = p::CreatePen(p::PS_SOLID, 1, W);
  p::SetROP2(s.dc(), p::R2_XORPEN);
  const p::HGDIOBJ old = p::SelectObject(s.dc(), pen);
  p::MoveToEx(s.dc(), 0, 1);
  p::LineTo(s.dc(), 3, 1);
  p::LineTo(s.dc(), 5, 1);  // joins without painting (3, 1) twice
  p::SelectObject(s.dc(), old);
  p::DeleteObject(pen);
  EXPECT_EQ(s.Map(kLegend)[1], ".....#");
}

TEST(Gdi, RectanglesFollowInclusiveAndExclusiveEdges) {
  Surface s(7, 6);
  const p::HPEN pen = p::CreatePen(p::PS_SOLID, 1, K);
  const p::HBRUSH brush = p::CreateSolidBrush(R);
  p::HGDIOBJ oldPen = p::SelectObject(s.dc(), pen);
  p::HGDIOBJ oldBrush = p::SelectObject(s.dc(), brush);
  p::Rectangle(s.dc(), 1, 1, 6, 5);
  EXPECT_EQ(s.Map(kLegend), (std::vector<std::string>{".......", ".#####.", ".#rrr#.", ".#rrr#.",
                                                      ".#####.", "......."}));
  // The null pen fills one pixel less to the right and bottom.
  s.Fill(W);
  p::SelectObject(s.dc(), p::GetStockObject(p::NULL_PEN));
  p::Rectangle(s.dc(), 1, 1, 6, 5);
  EXPECT_EQ(s.Map(kLegend), (std::vector<std::string>{".......", ".rrrr..", ".rrrr..", ".rrrr..",
                                                      ".......", "......."}));
  p::SelectObject(s.dc(), oldPen);
  p::SelectObject(s.dc(), oldBrush);
  // FillRect leaves out the right column and the bottom row; brush 1 + n is system colour n.
  s.Fill(W);
  const p::RECT rc{1, 1, 6, 5};
  p::FillRect(s.dc(), &rc, brush);
  EXPECT_EQ(s.Map(kLegend)[4], ".rrrrr.");
  EXPECT_EQ(s.Map(kLegend)[5], ".......");
  const p::RECT one{0, 5, 1, 6};
  p::FillRect(s.dc(), &one, static_cast<p::HBRUSH>(p::COLOR_BTNFACE + 1));
  EXPECT_EQ(s.at(0, 5), p::RGB(0xF0, 0xF0, 0xF0));
  p::DeleteObject(pen);
  p::DeleteObject(brush);
}

TEST(Gdi, PolygonsFillByTheTopLeftRuleAndOutlineEveryVertex) {
  Surface s(8, 7);
  const p::HBRUSH brush = p::CreateSolidBrush(R);
  p::HGDIOBJ oldBrush = p::SelectObject(s.dc(), brush);
  p::HGDIOBJ oldPen = p::SelectObject(s.dc(), p::GetStockObject(p::NULL_PEN));
  const p::POINT square[] = {{1, 1}, {6, 1}, {6, 5}, {1, 5}};
  p::Polygon(s.dc(), square, 4);
  EXPECT_EQ(s.Count(R), 5 * 4);  // columns 1-5, rows 1-4
  EXPECT_EQ(s.at(1, 1), R);
  EXPECT_EQ(s.at(6, 1), W);
  EXPECT_EQ(s.at(1, 5), W);
  s.Fill(W);
  p::SelectObject(s.dc(), p::GetStockObject(p::BLACK_PEN));
  const p::POINT triangle[] = {{1, 1}, {6, 1}, {1, 6}};
  p::Polygon(s.dc(), triangle, 3);
  EXPECT_EQ(s.Map(kLegend),
            (std::vector<std::string>{"........", ".######.", ".#rrr#..", ".#rr#...", ".#r#....",
                                      ".##.....", ".#......"}));
  p::SelectObject(s.dc(), oldPen);
  p::SelectObject(s.dc(), oldBrush);
  p::DeleteObject(brush);
}

TEST(Gdi, BlockTransfersConvertBetweenColourAndMonochrome) {
  Surface src(4, 1);
  p::SetPixel(src.dc(), 0, 0, R);
  p::SetPixel(src.dc(), 1, 0, G);
  p::SetPixel(src.dc(), 2, 0, R);
  p::SetPixel(src.dc(), 3, 0, W);
  // Colour to monochrome: pixels equal to the source's background colour become 1 (white).
  Mem mono(p::CreateBitmap(4, 1, 1, 1, nullptr));
  p::SetBkColor(src.dc(), R);
  p::BitBlt(mono.dc, 0, 0, 4, 1, src.dc(), 0, 0, p::SRCCOPY);
  EXPECT_EQ(p::GetPixel(mono.dc, 0, 0), W);
  EXPECT_EQ(p::GetPixel(mono.dc, 1, 0), K);
  EXPECT_EQ(p::GetPixel(mono.dc, 2, 0), W);
  EXPECT_EQ(p::GetPixel(mono.dc, 3, 0), K);
  // Monochrome to colour: 0 takes the destination's text colour, 1 its background colour.
  Surface dst(4, 1);
  p::SetTextColor(dst.dc(), B);
  p::SetBkColor(dst.dc(), G);
  p::BitBlt(dst.dc(), 0, 0, 4, 1, mono.dc, 0, 0, p::SRCCOPY);
  EXPECT_EQ(dst.Map(kLegend)[0], "gbgb");
  // SRCAND, SRCPAINT and destination AND NOT source, per channel.
  Surface a(1, 1, p::RGB(0xF0, 0x0F, 0xAA)), b(1, 1, p::RGB(0x3C, 0x3C, 0x0F));
  p::BitBlt(a.dc(), 0, 0, 1, 1, b.dc(), 0, 0, p::SRCAND);
  EXPECT_EQ(a.at(0, 0), p::RGB(0x30, 0x0C, 0x0A));
  a.Fill(p::RGB(0xF0, 0x0F, 0xAA));
  p::BitBlt(a.dc(), 0, 0, 1, 1, b.dc(), 0, 0, p::SRCPAINT);
  EXPECT_EQ(a.at(0, 0), p::RGB(0xFC, 0x3F, 0xAF));
  a.Fill(p::RGB(0xF0, 0x0F, 0xAA));
  p::BitBlt(a.dc(), 0, 0, 1, 1, b.dc(), 0, 0, p::ROP_DSna);
  EXPECT_EQ(a.at(0, 0), p::RGB(0xC0, 0x03, 0xA0));
  // Clipping at both bitmaps' edges and copies within one bitmap.
  Surface row(5, 1);
  for (int x = 0; x < 5; ++x) p::SetPixel(row.dc(), x, 0, p::RGB(x, 0, 0));
  p::BitBlt(row.dc(), 1, 0, 10, 1, row.dc(), 0, 0, p::SRCCOPY);
  for (int x = 1; x < 5; ++x) EXPECT_EQ(row.at(x, 0), p::RGB(x - 1, 0, 0));
  EXPECT_TRUE(p::BitBlt(row.dc(), -3, 0, 2, 1, src.dc(), 0, 0, p::SRCCOPY));
}

TEST(Gdi, OneBitSectionsReadThroughAChangeableColourTable) {
  const p::RGBQUAD blackWhite[2] = {{0, 0, 0, 0}, {255, 255, 255, 0}};
  Mem dib(p::CreateDIBSection1(4, -1, blackWhite, nullptr));
  Surface src(4, 1);
  p::SetPixel(src.dc(), 0, 0, p::RGB(100, 100, 100));  // nearer black
  p::SetPixel(src.dc(), 1, 0, p::RGB(200, 200, 200));  // nearer white
  p::SetPixel(src.dc(), 2, 0, R);                      // nearer black
  p::SetPixel(src.dc(), 3, 0, p::RGB(255, 255, 0));    // nearer white
  p::BitBlt(dib.dc, 0, 0, 4, 1, src.dc(), 0, 0, p::SRCCOPY);
  Surface out(4, 1);
  p::BitBlt(out.dc(), 0, 0, 4, 1, dib.dc, 0, 0, p::SRCCOPY);
  EXPECT_EQ(out.Map(kLegend)[0], "#.#.");
  const p::RGBQUAD whiteBlack[2] = {{255, 255, 255, 0}, {0, 0, 0, 0}};
  EXPECT_EQ(p::SetDIBColorTable(dib.dc, 0, 2, whiteBlack), 2u);
  p::BitBlt(out.dc(), 0, 0, 4, 1, dib.dc, 0, 0, p::SRCCOPY);
  EXPECT_EQ(out.Map(kLegend)[0], ".#.#");
  // Into a monochrome bitmap it is a colour source: the source context's background (white) is 1.
  Mem mono(p::CreateBitmap(4, 1, 1, 1, nullptr));
  p::BitBlt(mono.dc, 0, 0, 4, 1, dib.dc, 0, 0, p::SRCCOPY);
  EXPECT_EQ(p::GetPixel(mono.dc, 0, 0), W);
  EXPECT_EQ(p::GetPixel(mono.dc, 1, 0), K);
}

TEST(Gdi, ContextsAndCompatibleBitmapsKeepThePlatformsRules) {
  const p::HDC screen = p::GetDC(0);
  const p::HDC mem = p::CreateCompatibleDC(screen);
  // A new memory context holds a 1 x 1 monochrome bitmap, so its compatible bitmaps are monochrome.
  EXPECT_EQ(p::GetDeviceCaps(mem, p::BITSPIXEL), 1);
  const p::HBITMAP monoBmp = p::CreateCompatibleBitmap(mem, 4, 4);
  const p::HBITMAP colourBmp = p::CreateCompatibleBitmap(screen, 4, 4);
  p::BITMAP bm;
  ASSERT_TRUE(p::GetObject(monoBmp, &bm));
  EXPECT_EQ(bm.bmBitsPixel, 1);
  ASSERT_TRUE(p::GetObject(colourBmp, &bm));
  EXPECT_EQ(bm.bmBitsPixel, 32);
  EXPECT_EQ(bm.bmWidth, 4);
  EXPECT_EQ(p::GetDeviceCaps(screen, p::LOGPIXELSY), 96);
  EXPECT_EQ(p::GetTextColor(mem), K);
  EXPECT_EQ(p::GetBkColor(mem), W);
  EXPECT_EQ(p::GetBkMode(mem), p::OPAQUE);
  EXPECT_EQ(p::SetBkMode(mem, p::TRANSPARENT), p::OPAQUE);
  EXPECT_EQ(p::SetMapMode(mem, 3), p::MM_TEXT);
  EXPECT_EQ(p::GetMapMode(mem), 3);
  // A bitmap sits in one context at a time and cannot be deleted while selected.
  const p::HDC other = p::CreateCompatibleDC(0);
  const p::HGDIOBJ old = p::SelectObject(mem, colourBmp);
  EXPECT_NE(old, 0u);
  EXPECT_EQ(p::SelectObject(other, colourBmp), 0u);
  EXPECT_FALSE(p::DeleteObject(colourBmp));
  EXPECT_EQ(p::SelectObject(mem, old), colourBmp);
  EXPECT_TRUE(p::DeleteObject(colourBmp));
  EXPECT_FALSE(p::DeleteObject(colourBmp));  // a deleted handle stays invalid
  EXPECT_TRUE(p::DeleteObject(monoBmp));
  EXPECT_TRUE(p::DeleteDC(other));
  EXPECT_TRUE(p::DeleteDC(mem));
  EXPECT_FALSE(p::DeleteDC(mem));
  EXPECT_TRUE(p::DeleteObject(p::GetStockObject(p::WHITE_BRUSH)));  // stock objects stay
  EXPECT_EQ(p::GetObjectType(p::GetStockObject(p::WHITE_BRUSH)), p::OBJ_BRUSH);
  // Halftone palettes select and realise without changing anything.
  const p::HPALETTE pal = p::CreateHalftonePalette(screen);
  Surface s(1, 1, R);
  const p::HPALETTE oldPal = p::SelectPalette(s.dc(), pal, false);
  EXPECT_NE(oldPal, 0u);
  EXPECT_EQ(p::RealizePalette(s.dc()), 0u);
  EXPECT_EQ(s.at(0, 0), R);
  EXPECT_FALSE(p::DeleteObject(pal));  // still selected
  EXPECT_EQ(p::SelectPalette(s.dc(), oldPal, false), pal);
  EXPECT_TRUE(p::DeleteObject(pal));
  p::ReleaseDC(0, screen);
}

TEST(Gdi, DisabledLookEmbossesDarkPixelsOfBitmapsAndIcons) {
  QImage img(3, 2, QImage::Format_RGB32);
  img.fill(Qt::white);
  img.setPixel(0, 0, qRgb(0, 0, 0));
  img.setPixel(1, 0, qRgb(255, 0, 0));  // not white: dark
  const p::HBITMAP bmp = p::CreateBitmapFromImage(img);
  const p::COLORREF hi = p::GetSysColor(p::COLOR_3DHIGHLIGHT),
                    sh = p::GetSysColor(p::COLOR_BTNSHADOW);
  Surface s(5, 4, G);
  ASSERT_TRUE(p::DrawState(s.dc(), 0, bmp, 1, 1, 0, 0, p::DST_BITMAP | p::DSS_DISABLED));
  const std::vector<std::pair<char, p::COLORREF>> legend = {{'g', G}, {'H', hi}, {'S', sh}};
  EXPECT_EQ(s.Map(legend), (std::vector<std::string>{"ggggg", "gSSgg", "ggHHg", "ggggg"}));
  QImage iconImage(2, 2, QImage::Format_ARGB32);
  iconImage.fill(Qt::transparent);
  iconImage.setPixel(0, 0, qRgba(0, 0, 255, 255));
  iconImage.setPixel(1, 1, qRgba(255, 255, 255, 255));  // white: light, left out
  const p::HICON icon = p::CreateIconFromImage(iconImage);
  s.Fill(G);
  ASSERT_TRUE(p::DrawState(s.dc(), 0, icon, 0, 0, 0, 0, p::DST_ICON | p::DSS_DISABLED));
  EXPECT_EQ(s.Map(legend)[0], "Sgggg");
  EXPECT_EQ(s.Map(legend)[1], "gHggg");
  EXPECT_FALSE(p::DrawState(s.dc(), 0, 0xDEAD, 0, 0, 0, 0, p::DST_ICON | p::DSS_DISABLED));
  // DrawIconEx blends by alpha and stretches.
  iconImage.setPixel(1, 0, qRgba(255, 0, 0, 128));
  const p::HICON icon2 = p::CreateIconFromImage(iconImage);
  s.Fill(W);
  p::DrawIconEx(s.dc(), 0, 0, icon2, 4, 4, 0, 0, p::DI_NORMAL);
  EXPECT_EQ(s.at(1, 1), B);
  EXPECT_EQ(s.at(2, 0), p::RGB(255, 127, 127));
  EXPECT_EQ(s.at(0, 3), W);
  p::DeleteObject(bmp);
  p::DestroyIcon(icon);
  p::DestroyIcon(icon2);
  EXPECT_FALSE(p::DestroyIcon(icon));
}

TEST(Gdi, TextIsPlacedByItsFormatAndDrawnWithoutAntialiasing) {
  Surface s(120, 40);
  p::SIZE ext;
  ASSERT_TRUE(p::GetTextExtentPoint32(s.dc(), "Quill", &ext));
  EXPECT_GT(ext.cx, 10);
  EXPECT_GT(ext.cy, 8);
  p::RECT calc{5, 5, 5, 5};
  EXPECT_EQ(p::DrawText(s.dc(), "Quill", &calc, p::DT_SINGLELINE | p::DT_CALCRECT), ext.cy);
  EXPECT_EQ(calc, (p::RECT{5, 5, 5 + ext.cx, 5 + ext.cy}));
  EXPECT_EQ(s.Count(W), 120 * 40);  // DT_CALCRECT draws nothing

  p::SetTextColor(s.dc(), R);
  p::SetBkMode(s.dc(), p::TRANSPARENT);
  p::RECT rc{0, 0, 120, 40};
  p::DrawText(s.dc(), "Quill", &rc, p::DT_CENTER | p::DT_VCENTER | p::DT_SINGLELINE);
  // Only the two colours: no antialiasing.
  EXPECT_EQ(s.Count(W) + s.Count(R), 120 * 40);
  int minX = 999, maxX = -1, minY = 999, maxY = -1;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 120; ++x)
      if (s.at(x, y) == R) {
        minX = std::min(minX, x);
        maxX = std::max(maxX, x);
        minY = std::min(minY, y);
        maxY = std::max(maxY, y);
      }
  ASSERT_GE(maxX, 0);
  // The text cell is centred (the ink lies within it).
  const int cellLeft = (120 - ext.cx) / 2, cellTop = (40 - ext.cy) / 2;
  EXPECT_GE(minX, cellLeft - 1);
  EXPECT_LE(maxX, cellLeft + ext.cx);
  EXPECT_GE(minY, cellTop);
  EXPECT_LE(maxY, cellTop + ext.cy);

  // Opaque mode fills the text cell with the background colour; "&&" shows one ampersand.
  s.Fill(W);
  p::SetBkMode(s.dc(), p::OPAQUE);
  p::SetBkColor(s.dc(), B);
  p::TextOut(s.dc(), 2, 3, "Q");
  p::SIZE q;
  p::GetTextExtentPoint32(s.dc(), "Q", &q);
  EXPECT_EQ(s.Count(B) + s.Count(R), q.cx * q.cy);
  EXPECT_EQ(s.at(2, 3), B);
  p::RECT amp{0, 0, 0, 0};
  p::DrawText(s.dc(), "a&&b", &amp, p::DT_SINGLELINE | p::DT_CALCRECT);
  p::SIZE plain;
  p::GetTextExtentPoint32(s.dc(), "a&b", &plain);
  EXPECT_EQ(amp.right, plain.cx);
}

TEST(Gdi, DrawTextBreaksLinesAndUnderlinesThePrefixedCharacter) {
  Surface s(80, 60);
  p::TEXTMETRIC tm;
  ASSERT_TRUE(p::GetTextMetrics(s.dc(), &tm));
  p::RECT two{0, 0, 0, 0};
  EXPECT_EQ(p::DrawText(s.dc(), "ab\r\ncd", &two, p::DT_CALCRECT), 2 * tm.tmHeight);
  p::RECT narrow{0, 0, 30, 0};
  EXPECT_EQ(p::DrawText(s.dc(), "word word word", &narrow, p::DT_WORDBREAK | p::DT_CALCRECT),
            3 * tm.tmHeight);
  // "&F" draws F and a line under it; "F" alone has no ink below the baseline.
  Surface plain(20, 20), prefixed(20, 20);
  p::RECT rc{0, 0, 20, 20};
  p::DrawText(plain.dc(), "F", &rc, p::DT_SINGLELINE);
  p::DrawText(prefixed.dc(), "&F", &rc, p::DT_SINGLELINE);
  int below = 0;
  for (int y = tm.tmAscent; y < 20; ++y)
    for (int x = 0; x < 20; ++x) {
      EXPECT_EQ(plain.at(x, y), W);
      below += prefixed.at(x, y) == K;
    }
  EXPECT_GT(below, 2);
  EXPECT_EQ(
      p::DrawText(prefixed.dc(), "&F", &rc, p::DT_SINGLELINE | p::DT_NOPREFIX | p::DT_CALCRECT),
      tm.tmHeight);
}

TEST(Gdi, FontsWithAnEscapementTurnTheText) {
  Surface s(60, 60);
  p::LOGFONT lf;
  lf.lfHeight = -12;
  lf.lfWeight = 700;
  lf.lfEscapement = 900;
  lf.lfCharSet = 0;
  const p::HFONT font = p::CreateFontIndirect(lf);
  p::LOGFONT back;
  ASSERT_TRUE(p::GetObject(font, &back));
  EXPECT_EQ(back.lfEscapement, 900);
  const p::HGDIOBJ old = p::SelectObject(s.dc(), font);
  p::SetBkMode(s.dc(), p::TRANSPARENT);
  p::TextOut(s.dc(), 10, 55, "IIIIII");
  int minX = 999, maxX = -1, minY = 999, maxY = -1;
  for (int y = 0; y < 60; ++y)
    for (int x = 0; x < 60; ++x)
      if (s.at(x, y) != W) {
        minX = std::min(minX, x);
        maxX = std::max(maxX, x);
        minY = std::min(minY, y);
        maxY = std::max(maxY, y);
      }
  ASSERT_GE(maxX, 0);
  EXPECT_GT(maxY - minY, 2 * (maxX - minX));  // runs upward
  EXPECT_LE(maxY, 55);
  EXPECT_GE(minX, 10);  // turned about its starting point: the cell lies right of it
  p::SelectObject(s.dc(), old);
  EXPECT_TRUE(p::DeleteObject(font));
}

TEST(Gdi, RegionsFromPolygonsUniteAndShapeWindows) {
  const p::POINT tri[] = {{0, 0}, {4, 0}, {0, 4}};
  const p::HRGN a = p::CreatePolygonRgn(tri, 3, p::ALTERNATE);
  const p::HRGN b = p::CreateRectRgn(10, 0, 12, 2);
  const p::HRGN u = p::CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(p::CombineRgn(u, a, b, p::RGN_OR), p::COMPLEXREGION);
  // The region holds the same pixels that Polygon fills.
  Surface s(13, 5);
  const p::HBRUSH brush = p::CreateSolidBrush(R);
  const p::HGDIOBJ ob = p::SelectObject(s.dc(), brush),
                   op = p::SelectObject(s.dc(), p::GetStockObject(p::NULL_PEN));
  p::Polygon(s.dc(), tri, 3);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(p::PtInRegion(u, x, y), s.at(x, y) == R) << x << "," << y;
  EXPECT_TRUE(p::PtInRegion(u, 11, 1));
  EXPECT_FALSE(p::PtInRegion(u, 12, 1));
  p::SelectObject(s.dc(), ob);
  p::SelectObject(s.dc(), op);
  p::DeleteObject(brush);
  QWidget window;
  window.resize(20, 10);
  QRegion expected;
  ASSERT_TRUE(p::GetRegion(u, &expected));
  ASSERT_TRUE(p::SetWindowRgn(&window, u, false));
  EXPECT_EQ(window.mask(), expected);
  EXPECT_FALSE(p::DeleteObject(u));  // the window took it over
  // The shape of a surface whose background colour is see-through.
  Surface face(4, 3, R);
  p::SetPixel(face.dc(), 1, 1, B);
  p::SetPixel(face.dc(), 2, 1, B);
  p::SetPixel(face.dc(), 1, 2, B);
  const p::HRGN shape = p::CreateRgnFromBitmap(face.bitmap(), R);
  QRegion got;
  ASSERT_TRUE(p::GetRegion(shape, &got));
  EXPECT_EQ(got, QRegion(1, 1, 2, 1) + QRegion(1, 2, 1, 1));
  p::DeleteObject(shape);
  EXPECT_EQ(p::CreateRgnFromBitmap(0xBAD, 0), 0u);
  p::DeleteObject(a);
  p::DeleteObject(b);
}

TEST(Gdi, DrawingFunctionsLeakNothingAndRefuseBadHandles) {
  const std::size_t before = p::GdiObjectCount();
  {
    Surface s(10, 10);
    const p::HPEN pen = p::CreatePen(p::PS_SOLID, 3, R);
    Line(s.dc(), pen, -2000000000, 5, 2000000000, 5);  // long lines and boxes stay quick
    EXPECT_EQ(s.at(9, 5), R);
    Line(s.dc(), pen, -2000000000, -2000000000, 2000000000, 2000000000);
    EXPECT_EQ(s.at(3, 3), R);
    const p::HGDIOBJ old = p::SelectObject(s.dc(), pen);
    p::Rectangle(s.dc(), -2000000000, 8, 2000000000, 2000000000);
    p::SelectObject(s.dc(), old);
    EXPECT_EQ(s.at(0, 8), R);
    // Coordinates at the ends of the 32-bit range neither wrap nor stall.
    p::SelectObject(s.dc(), pen);
    p::Rectangle(s.dc(), INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX);
    p::SelectObject(s.dc(), old);
    p::RECT far{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
    p::DrawText(s.dc(), "far", &far, p::DT_CENTER | p::DT_VCENTER | p::DT_SINGLELINE);
    p::DrawText(s.dc(), "far", &far, p::DT_CALCRECT);
    QImage img(2, 2, QImage::Format_ARGB32);
    img.fill(Qt::black);
    const p::HICON icon = p::CreateIconFromImage(img);
    EXPECT_TRUE(
        p::DrawState(s.dc(), 0, icon, INT32_MAX, INT32_MAX, 0, 0, p::DST_ICON | p::DSS_DISABLED));
    EXPECT_TRUE(p::DrawIconEx(s.dc(), INT32_MAX - 1, 0, icon, 0, 0, 0, 0, p::DI_NORMAL));
    p::DestroyIcon(icon);
    p::DeleteObject(pen);
  }
  EXPECT_EQ(p::GdiObjectCount(), before);
  EXPECT_FALSE(p::LineTo(0xBAD, 1, 1));
  EXPECT_FALSE(p::BitBlt(0xBAD, 0, 0, 1, 1, 0, 0, 0, p::SRCCOPY));
  EXPECT_EQ(p::CreateCompatibleBitmap(p::GetDC(0), -1, 5), 0u);
  EXPECT_EQ(p::CreateCompatibleBitmap(p::GetDC(0), 1 << 20, 1 << 20), 0u);
  EXPECT_EQ(p::GetPixel(0xBAD, 0, 0), p::CLR_INVALID);
}
