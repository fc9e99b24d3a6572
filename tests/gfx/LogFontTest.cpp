// clsLogFont: the logical-font record made from a description and an angle, and the handle rules.
#include <gtest/gtest.h>

#include "gfx/clsLogFont.h"
#include "platform/Gdi.h"

namespace p = quillane::platform;
namespace g = quillane::gfx;

namespace {

p::LOGFONT Record(const g::clsLogFont& f) {
  p::LOGFONT lf;
  EXPECT_TRUE(p::GetObject(f.handle(), &lf));
  return lf;
}

}  // namespace

TEST(LogFont, RotationMakesATrueTypeRecordAndDropsTheOemCharset) {
  p::StdFont font("Sans Serif", 8.25);
  font.SetCharset(255);
  font.SetItalic(true);
  g::clsLogFont lf;
  EXPECT_EQ(lf.handle(), 0u);
  lf.SetLogFont(font);
  p::LOGFONT r = Record(lf);
  EXPECT_EQ(r.lfHeight, -11);  // 8.25 pt at 96 dpi
  EXPECT_EQ(r.lfEscapement, 0);
  EXPECT_EQ(r.lfCharSet, 255);
  EXPECT_EQ(r.lfOutPrecision, 0);
  EXPECT_EQ(r.lfQuality, 2);
  EXPECT_EQ(r.lfItalic, 1);
  EXPECT_STREQ(r.lfFaceName, "Sans Serif");
  lf.SetRotation(90);
  r = Record(lf);
  EXPECT_EQ(r.lfCharSet, 0);
  EXPECT_EQ(r.lfOutPrecision, 7);
  EXPECT_EQ(r.lfEscapement, 900);
  EXPECT_EQ(r.lfOrientation, 900);
  lf.SetRotation(360);
  r = Record(lf);
  EXPECT_EQ(r.lfCharSet, 255);
  EXPECT_EQ(r.lfOutPrecision, 0);
  EXPECT_EQ(r.lfEscapement, 3600);
  lf.SetRotation(0.25f);  // rounds to 0 degrees: not turned, 2 tenths (0.25 * 10 = 2.5 -> 2)
  r = Record(lf);
  EXPECT_EQ(r.lfEscapement, 2);
  EXPECT_EQ(r.lfOutPrecision, 0);
}

TEST(LogFont, HandleIsRemadeOnlyOnChangeAndDeletedWhenReplaced) {
  const std::size_t before = p::GdiObjectCount();
  {
    g::clsLogFont lf;
    lf.SetRotation(90);  // no description: no handle
    EXPECT_EQ(lf.handle(), 0u);
    p::StdFont font("Serif", 12);
    font.SetWeight(550);  // not bold, yet the copy keeps the weight
    lf.SetLogFont(font);
    const p::HFONT first = lf.handle();
    ASSERT_NE(first, 0u);
    EXPECT_EQ(lf.LogFont()->Weight(), 550);
    EXPECT_EQ(Record(lf).lfWeight, 550);
    EXPECT_EQ(Record(lf).lfEscapement, 900);
    EXPECT_EQ(Record(lf).lfHeight, -16);
    lf.SetRotation(90);
    EXPECT_EQ(lf.handle(), first);  // same angle: same handle
    lf.SetRotation(45);
    EXPECT_NE(lf.handle(), first);
    EXPECT_EQ(p::GetObjectType(first), 0);  // the old handle is gone
    const p::HFONT second = lf.handle();
    lf.SetLogFont(std::nullopt);
    EXPECT_EQ(lf.handle(), 0u);
    EXPECT_FALSE(lf.LogFont());
    EXPECT_EQ(p::GetObjectType(second), 0);
    lf.SetLogFont(font);
    EXPECT_EQ(p::GdiObjectCount(), before + 1);
  }
  EXPECT_EQ(p::GdiObjectCount(), before);  // destruction deletes the handle
}
