// The program's resources, picture objects and sound playback.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include "platform/Gdi.h"
#include "platform/Host.h"
#include "platform/Picture.h"
#include "platform/Resources.h"
#include "platform/Sound.h"

namespace p = quillane::platform;

TEST(Resources, DitherIsAnEightByEightCheckerboardWithABlackCorner) {
  const auto data = p::LoadResourceData(p::RT_BITMAP, std::string("DITHER"));
  ASSERT_TRUE(data);
  ASSERT_GE(data->size(), 54);
  EXPECT_EQ(static_cast<unsigned char>((*data)[28]), 24);  // bits per pixel in the file header
  const p::HBITMAP bmp = p::LoadResourceBitmap(std::string("dither"));
  ASSERT_NE(bmp, 0u);
  const QImage img = p::GetBitmapImage(bmp);
  ASSERT_EQ(img.size(), QSize(8, 8));
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x)
      EXPECT_EQ(img.pixel(x, y) & 0xFFFFFFu, (x + y) % 2 == 0 ? 0u : 0xFFFFFFu);
  p::DeleteObject(bmp);
  EXPECT_FALSE(p::LoadResourceData(p::RT_BITMAP, std::string("NOPE")));
  EXPECT_EQ(p::LoadResourceBitmap(101), 0u);
  const p::Picture icon = p::LoadResPicture(std::string("Quillane"), p::RT_ICON);
  EXPECT_EQ(icon.Type(), p::PictureType::Icon);
  EXPECT_EQ(icon.WidthPixels(), 32);
}

TEST(Resources, ClickSoundsAreShortPcmWaves) {
  struct Want {
    const char* name;
    qsizetype bytes;
  };
  for (const Want& w : {Want{"BUTTON_CLICK", 1362}, Want{"page_click", 9266}}) {
    const auto wave = p::LoadResourceData(p::RT_WAVE, std::string(w.name));
    ASSERT_TRUE(wave) << w.name;
    const auto info = p::ParseWave(*wave);
    ASSERT_TRUE(info) << w.name;
    EXPECT_EQ(info->sampleRate, 22050);
    EXPECT_EQ(info->bitsPerSample, 16);
    EXPECT_EQ(info->channels, 1);
    EXPECT_EQ(info->dataSize, w.bytes);
  }
  // Bad waves are refused, and playback is silent when it cannot happen (headless: no device).
  EXPECT_FALSE(p::ParseWave(QByteArray("RIFF\x10\0\0\0WAVEfmt ", 16)));
  EXPECT_FALSE(p::PlayWaveAsync(QByteArray("garbage")));
  QElapsedTimer timer;
  timer.start();
  p::PlayWaveAsync(*p::LoadResourceData(p::RT_WAVE, std::string("BUTTON_CLICK")));
  p::PlayWaveAsync(*p::LoadResourceData(p::RT_WAVE, std::string("PAGE_CLICK")));
  QCoreApplication::processEvents();
  p::StopWave();
  p::Beep();
  EXPECT_LT(timer.elapsed(), 5000);
}

TEST(Pictures, SharedReferencesDeleteTheHandleOnceWhenTheLastGoes) {
  const std::size_t before = p::GdiObjectCount();
  const p::HBITMAP bmp = p::CreateCompatibleBitmap(p::GetDC(0), 5, 4);
  p::Picture a = p::Picture::FromBitmap(bmp);
  EXPECT_EQ(a.Type(), p::PictureType::Bitmap);
  EXPECT_EQ(a.Handle(), bmp);
  EXPECT_EQ(a.WidthPixels(), 5);
  EXPECT_EQ(a.Width(), 132);  // 5 px at 96 dpi in 0.01 mm
  {
    p::Picture b = a;
    EXPECT_EQ(a.UseCount(), 2);
    EXPECT_TRUE(a == b);
    a = p::Picture();
    EXPECT_EQ(p::GetObjectType(bmp), p::OBJ_BITMAP);  // b still holds it
  }
  EXPECT_EQ(p::GetObjectType(bmp), 0);
  EXPECT_EQ(p::GdiObjectCount(), before);
  EXPECT_TRUE(p::Picture::FromBitmap(0xBAD).IsNothing());
  const p::Picture none = p::Picture::Empty();
  EXPECT_FALSE(none.IsNothing());
  EXPECT_EQ(none.Type(), p::PictureType::None);
  EXPECT_EQ(none.Handle(), 0u);
}

TEST(Pictures, LoadedFromFilesAsBitmapsOrIcons) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  QImage img(4, 3, QImage::Format_RGB32);
  img.fill(qRgb(10, 20, 30));
  const QString bmpPath = dir.filePath("pic.bmp"), icoPath = dir.filePath("pic.ico"),
                badPath = dir.filePath("bad.bmp");
  ASSERT_TRUE(img.save(bmpPath, "BMP"));
  ASSERT_TRUE(img.convertToFormat(QImage::Format_ARGB32).save(icoPath, "ICO"));
  QFile bad(badPath);
  ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
  bad.write("not a picture");
  bad.close();
  const p::Picture bitmap = p::LoadPicture(bmpPath.toStdString());
  EXPECT_EQ(bitmap.Type(), p::PictureType::Bitmap);
  EXPECT_EQ(p::GetBitmapImage(bitmap.Handle()).pixel(3, 2), qRgb(10, 20, 30));
  EXPECT_EQ(p::LoadPicture(icoPath.toStdString()).Type(), p::PictureType::Icon);
  EXPECT_TRUE(p::LoadPicture("").IsNothing());
  try {
    p::LoadPicture(dir.filePath("missing.bmp").toStdString());
    FAIL();
  } catch (const p::ComError& e) {
    EXPECT_EQ(e.Number(), 53);
  }
  try {
    p::LoadPicture(badPath.toStdString());
    FAIL();
  } catch (const p::ComError& e) {
    EXPECT_EQ(e.Number(), 481);
  }
}
