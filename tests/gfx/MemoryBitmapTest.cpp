// ascMemoryBitmap.
#include <gtest/gtest.h>

#include <QImage>
#include <QTemporaryDir>

#include "gfx/ascMemoryBitmap.h"
#include "platform/Gdi.h"
#include "platform/Host.h"

namespace p = quillane::platform;
namespace g = quillane::gfx;

TEST(MemoryBitmap, LoadsTheDitherResourceIntoItsOwnContext) {
  const std::size_t before = p::GdiObjectCount();
  {
    g::ascMemoryBitmap mb;
    EXPECT_EQ(mb.hdc(), 0u);
    EXPECT_TRUE(mb.Picture().IsNothing());
    ASSERT_TRUE(mb.CreateByResource(std::string("dither")));
    EXPECT_EQ(mb.Width(), 8);
    EXPECT_EQ(mb.Height(), 8);
    EXPECT_NE(mb.hBmp(), 0u);
    EXPECT_EQ(p::GetCurrentObject(mb.hdc(), p::OBJ_BITMAP), mb.hBmp());
    EXPECT_EQ(p::GetPixel(mb.hdc(), 0, 0), 0x000000u);
    EXPECT_EQ(p::GetPixel(mb.hdc(), 1, 0), 0xFFFFFFu);
    EXPECT_EQ(p::GetPixel(mb.hdc(), 7, 7), 0x000000u);
    EXPECT_FALSE(mb.CreateByResource(std::string("NO_SUCH_BITMAP")));
    EXPECT_EQ(mb.hdc(), 0u);  // a new Create call empties it first
  }
  EXPECT_EQ(p::GdiObjectCount(), before);
}

TEST(MemoryBitmap, CreateByPictureTakesBitmapsOnly) {
  g::ascMemoryBitmap mb;
  EXPECT_FALSE(mb.CreateByPicture(p::Picture()));
  QImage img(5, 3, QImage::Format_RGB32);
  img.fill(qRgb(1, 2, 3));
  const p::Picture icon = p::Picture::FromIcon(p::CreateIconFromImage(img));
  try {
    mb.CreateByPicture(icon);
    FAIL() << "no error";
  } catch (const p::ComError& e) {
    EXPECT_EQ(e.Number(), 481);
    EXPECT_EQ(e.Description(), "Picture property must be of type Bitmap");
    EXPECT_EQ(e.Source(), p::ExeName() + ".ascMemoryBitmap:CreateByPicture");
  }
  const p::Picture bitmap = p::Picture::FromBitmap(p::CreateBitmapFromImage(img));
  ASSERT_TRUE(mb.CreateByPicture(bitmap));
  EXPECT_EQ(mb.Width(), 5);
  EXPECT_EQ(mb.Height(), 3);
  EXPECT_EQ(p::GetPixel(mb.hdc(), 4, 2), p::RGB(1, 2, 3));
  EXPECT_NE(mb.hBmp(), bitmap.Handle());  // its own copy
}

TEST(MemoryBitmap, PictureHandleIsDeletedExactlyOnce) {
  const std::size_t before = p::GdiObjectCount();
  p::Picture kept;
  {
    g::ascMemoryBitmap mb;
    ASSERT_TRUE(mb.CreateByResource(std::string("DITHER")));
    p::HBITMAP first;
    {
      const p::Picture pic = mb.Picture();
      ASSERT_EQ(pic.Type(), p::PictureType::Bitmap);
      first = pic.Handle();
      EXPECT_EQ(p::GetBitmapImage(first), p::GetBitmapImage(mb.hBmp()));
    }
    EXPECT_EQ(p::GetObjectType(first), 0);       // released with the picture
    EXPECT_EQ(p::GetPixel(mb.hdc(), 0, 0), 0u);  // the memory bitmap is still usable
    kept = mb.Picture();
    mb.ClearUp();
    EXPECT_EQ(mb.hdc(), 0u);
    EXPECT_EQ(mb.Width(), 0);
    EXPECT_EQ(p::GetObjectType(kept.Handle()), p::OBJ_BITMAP);  // outlives the memory bitmap
  }
  const p::HBITMAP h = kept.Handle();
  kept = p::Picture();
  EXPECT_EQ(p::GetObjectType(h), 0);
  EXPECT_FALSE(p::DeleteObject(h));
  EXPECT_EQ(p::GdiObjectCount(), before);
}

TEST(MemoryBitmap, CreateByFileReadsBitmapsAndRefusesTheRest) {
  QTemporaryDir dir;
  QImage img(4, 2, QImage::Format_RGB32);
  img.fill(qRgb(9, 8, 7));
  const QString bmp = dir.filePath("a.bmp"), ico = dir.filePath("a.ico");
  ASSERT_TRUE(img.save(bmp, "BMP"));
  ASSERT_TRUE(img.convertToFormat(QImage::Format_ARGB32).save(ico, "ICO"));
  g::ascMemoryBitmap mb;
  ASSERT_TRUE(mb.CreateByFile(bmp.toStdString()));
  EXPECT_EQ(mb.Width(), 4);
  EXPECT_EQ(p::GetPixel(mb.hdc(), 3, 1), p::RGB(9, 8, 7));
  EXPECT_FALSE(mb.CreateByFile(ico.toStdString()));
  EXPECT_FALSE(mb.CreateByFile(dir.filePath("missing.bmp").toStdString()));
  EXPECT_EQ(mb.hdc(), 0u);
}
