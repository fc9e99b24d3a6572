// The gallery: one PNG per drawing effect, written into the build folder (see README.md).
#include <gtest/gtest.h>

#include <functional>

#include <QDir>
#include <QFileInfo>
#include <QImage>

#include "gfx/ascMemoryBitmap.h"
#include "gfx/ascPaintEffects.h"
#include "gfx/basGDI.h"
#include "gfx/clsLogFont.h"
#include "platform/Colors.h"
#include "platform/Gdi.h"
#include "tests/platform/Surface.h"

namespace p = quillane::platform;
namespace g = quillane::gfx;
using quillane::test::Surface;

namespace {

constexpr p::OLE_COLOR kButtonFace = static_cast<p::OLE_COLOR>(0x8000000Fu);
constexpr p::OLE_COLOR kMagenta = 0xFF00FF;

// A 24 x 24 page with ruled lines and a red corner; magenta (bitmap) or transparent (icon) around.
QImage SampleImage(bool alpha) {
  QImage img(24, 24, QImage::Format_ARGB32);
  img.fill(alpha ? qRgba(0, 0, 0, 0) : qRgb(255, 0, 255));
  for (int y = 2; y < 22; ++y)
    for (int x = 4; x < 20; ++x) {
      QRgb c = qRgb(255, 255, 255);
      if (x == 4 || x == 19 || y == 2 || y == 21)
        c = qRgb(0, 0, 0);
      else if (y % 4 == 0 && x > 6 && x < 17)
        c = qRgb(40, 90, 200);
      else if (x + (21 - y) > 32)
        c = qRgb(220, 30, 30);
      img.setPixel(x, y, c);
    }
  return img;
}

void Save(const Surface& s, const std::string& name) {
  const QString dir = QStringLiteral(QUILLANE_GALLERY_DIR);
  QDir().mkpath(dir);
  const QImage img = p::GetBitmapImage(s.bitmap());
  const QString path = dir + "/" + QString::fromStdString(name) + ".png";
  ASSERT_TRUE(
      img.scaled(img.width() * 4, img.height() * 4, Qt::IgnoreAspectRatio, Qt::FastTransformation)
          .save(path, "PNG"))
      << path.toStdString();
  const QFileInfo info(path);
  EXPECT_TRUE(info.exists()) << path.toStdString();
  EXPECT_GT(info.size(), 0) << path.toStdString();
  EXPECT_EQ(QImage(path).size(), QSize(img.width() * 4, img.height() * 4));
}

Surface* Face(int w, int h) {
  auto* s = new Surface(w, h, static_cast<p::COLORREF>(g::TranslateColor(kButtonFace)));
  return s;
}

}  // namespace

TEST(Gallery, WritesOnePngPerEffect) {
  g::ascPaintEffects fx;
  const p::Picture bitmap = p::Picture::FromBitmap(p::CreateBitmapFromImage(SampleImage(false)));
  const p::Picture icon = p::Picture::FromIcon(p::CreateIconFromImage(SampleImage(true)));
  const std::size_t before = p::GdiObjectCount();
  const std::vector<std::pair<std::string, std::function<void(p::HDC)>>> effects = {
      {"bitmap_plain", [&](p::HDC dc) { fx.PaintStandardPicture(dc, bitmap, 4, 4, 24, 24); }},
      {"bitmap_transparent",
       [&](p::HDC dc) { fx.PaintTransparentPicture(dc, bitmap, 4, 4, 24, 24, 0, 0, kMagenta); }},
      {"bitmap_disabled",
       [&](p::HDC dc) { fx.PaintDisabledPicture(dc, bitmap, 4, 4, 24, 24, 0, 0, kMagenta); }},
      {"bitmap_disabled_own_colours",
       [&](p::HDC dc) {
         fx.PaintDisabledPictureEx(dc, 4, 4, 24, 24, bitmap, 0, 0, kMagenta,
                                   static_cast<p::OLE_COLOR>(0x80000014u),
                                   static_cast<p::OLE_COLOR>(0x80000010u));
       }},
      {"icon_plain", [&](p::HDC dc) { fx.PaintStandardPicture(dc, icon, 4, 4, 24, 24); }},
      {"icon_transparent",
       [&](p::HDC dc) { fx.PaintTransparentPicture(dc, icon, 4, 4, 24, 24, 0, 0, kMagenta); }},
      {"icon_disabled",
       [&](p::HDC dc) { fx.PaintDisabledPicture(dc, icon, 4, 4, 24, 24, 0, 0, kMagenta); }},
      {"checked_pattern",
       [&](p::HDC dc) {
         g::ascMemoryBitmap dither;
         dither.CreateByResource(std::string("DITHER"));
         p::SetBkColor(dc, static_cast<p::COLORREF>(g::TranslateColor(kButtonFace)));
         fx.PaintCheckedPattern(dc, dither.hdc(), 2, 2, 28, 28,
                                static_cast<p::OLE_COLOR>(0x80000014u));
         fx.PaintTransparentPicture(dc, bitmap, 4, 4, 24, 24, 0, 0, kMagenta);
       }},
      {"gradient_left_to_right",
       [](p::HDC dc) {
         g::DrawGradient(dc, 0, 0, 31, 32, p::RGB(255, 255, 255), p::RGB(30, 60, 160), 0, false);
       }},
      {"gradient_left_to_right_mirror",
       [](p::HDC dc) {
         g::DrawGradient(dc, 0, 0, 31, 32, p::RGB(255, 255, 255), p::RGB(30, 60, 160), 0, true);
       }},
      {"gradient_top_to_bottom",
       [](p::HDC dc) {
         g::DrawGradient(dc, 0, 0, 32, 31, p::RGB(255, 255, 255), p::RGB(30, 60, 160), 1, false);
       }},
      {"gradient_top_to_bottom_mirror",
       [](p::HDC dc) {
         g::DrawGradient(dc, 0, 0, 32, 31, p::RGB(255, 255, 255), p::RGB(30, 60, 160), 1, true);
       }},
      {"frames",
       [](p::HDC dc) {
         // Raised and sunken double borders as the toolbar draws them, and a filled frame.
         g::DrawFrame(dc, 1, 1, 14, 14, static_cast<p::OLE_COLOR>(0x80000014u),
                      static_cast<p::OLE_COLOR>(0x80000015u), -1);
         g::DrawFrame(dc, 2, 2, 12, 12, static_cast<p::OLE_COLOR>(0x80000016u),
                      static_cast<p::OLE_COLOR>(0x80000010u), -1);
         g::DrawFrame(dc, 17, 1, 14, 14, static_cast<p::OLE_COLOR>(0x80000015u),
                      static_cast<p::OLE_COLOR>(0x80000014u), -1);
         g::DrawFrame(dc, 18, 2, 12, 12, static_cast<p::OLE_COLOR>(0x80000010u),
                      static_cast<p::OLE_COLOR>(0x80000016u), -1);
         g::DrawFrame(dc, 4, 18, 24, 12, p::RGB(0, 0, 128), p::RGB(128, 0, 0),
                      static_cast<p::OLE_COLOR>(0x80000018u));
       }},
      {"cut_corner_polygon",
       [](p::HDC dc) {
         std::vector<p::POINT> pts;
         g::RoundRectPoints(pts, 2, 2, 29, 29);
         const p::HBRUSH brush = p::CreateSolidBrush(p::RGB(210, 210, 210));
         const p::HPEN pen = p::CreatePen(p::PS_SOLID, 1, p::RGB(150, 150, 190));
         const p::HGDIOBJ ob = p::SelectObject(dc, brush), op = p::SelectObject(dc, pen);
         p::Polygon(dc, pts.data(), static_cast<int>(pts.size()));
         p::SelectObject(dc, ob);
         p::SelectObject(dc, op);
         p::DeleteObject(brush);
         p::DeleteObject(pen);
       }},
      {"rotated_text",
       [](p::HDC dc) {
         g::clsLogFont font;
         font.SetLogFont(p::StdFont("Sans Serif", 8.25));
         font.SetRotation(90);
         const p::HGDIOBJ old = p::SelectObject(dc, font.handle());
         p::SetBkMode(dc, p::TRANSPARENT);
         p::TextOut(dc, 4, 44, "Quillane");
         p::SelectObject(dc, old);
         font.SetRotation(0);
         const p::HGDIOBJ old2 = p::SelectObject(dc, font.handle());
         g::DrawTextRect(dc, "Quill", 22, 0, 36, 48,
                         p::DT_CENTER | p::DT_VCENTER | p::DT_SINGLELINE);
         p::SelectObject(dc, old2);
       }},
  };
  for (const auto& [name, draw] : effects) {
    std::unique_ptr<Surface> s(
        Face(name == "rotated_text" ? 60 : 32, name == "rotated_text" ? 48 : 32));
    draw(s->dc());
    EXPECT_LT(s->Count(static_cast<p::COLORREF>(g::TranslateColor(kButtonFace))),
              s->width() * s->height())
        << name;
    Save(*s, name);
  }
  EXPECT_EQ(p::GdiObjectCount(), before);
}
