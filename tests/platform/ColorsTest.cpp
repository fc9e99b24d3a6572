// Colour translation with the fixed system colour table, and the 16-colour palette.
#include <gtest/gtest.h>

#include "platform/Colors.h"
#include "platform/Gdi.h"

namespace p = quillane::platform;

TEST(Colors, TranslationFollowsTheFixedTableAndFailsOnBadValues) {
  auto tr = [](std::uint32_t v, p::HPALETTE pal = 0) -> std::int64_t {
    p::COLORREF out = 0x12345678;
    if (!p::OleTranslateColor(static_cast<p::OLE_COLOR>(v), pal, &out)) return -1;
    return out;
  };
  EXPECT_EQ(tr(0x8000000F), p::RGB(0xF0, 0xF0, 0xF0));  // button face
  EXPECT_EQ(tr(0x80000010), p::RGB(0xA0, 0xA0, 0xA0));  // button shadow
  EXPECT_EQ(tr(0x80000014), p::RGB(0xFF, 0xFF, 0xFF));  // 3-D highlight
  EXPECT_EQ(tr(0x80000016), p::RGB(0xE3, 0xE3, 0xE3));  // 3-D light
  EXPECT_EQ(tr(0x80000015), p::RGB(0x69, 0x69, 0x69));  // 3-D dark shadow
  EXPECT_EQ(tr(0x80000008), p::RGB(0, 0, 0));           // window text
  EXPECT_EQ(tr(0x80000011), p::RGB(0x6D, 0x6D, 0x6D));  // grey text
  EXPECT_EQ(tr(0x80000018), p::RGB(0xFF, 0xFF, 0xE1));  // info background
  EXPECT_EQ(tr(0x8000000D), p::RGB(0x33, 0x99, 0xFF));  // highlight
  EXPECT_EQ(tr(0x00123456), 0x00123456);                // plain colours unchanged
  EXPECT_EQ(tr(0x02123456), 0x00123456);                // palette-relative: the plain colour
  EXPECT_EQ(tr(0xFFFFFFFF), -1);                        // -1 is no colour
  EXPECT_EQ(tr(0x8000001F), -1);                        // past the table
  EXPECT_EQ(tr(0x80010005), -1);                        // stray bits
  EXPECT_EQ(tr(0x03000000), -1);
  EXPECT_EQ(tr(0x01000001), -1);  // a palette index needs a palette
  const p::HPALETTE pal = p::CreateHalftonePalette(p::GetDC(0));
  EXPECT_EQ(tr(0x01000009, pal), p::RGB(0, 0, 255));
  EXPECT_EQ(tr(0x01000100, pal), -1);
  EXPECT_EQ(tr(0x8000000F, pal),
            p::RGB(0xF0, 0xF0, 0xF0));  // palettes change nothing in true colour
  p::DeleteObject(pal);
  EXPECT_EQ(p::GetSysColor(p::COLOR_BTNFACE), p::RGB(0xF0, 0xF0, 0xF0));
  EXPECT_EQ(p::GetSysColor(99), 0u);
}

TEST(Colors, StandardSixteenColourPalette) {
  EXPECT_EQ(p::QBColor(0), p::RGB(0, 0, 0));
  EXPECT_EQ(p::QBColor(7), p::RGB(192, 192, 192));
  EXPECT_EQ(p::QBColor(8), p::RGB(128, 128, 128));
  EXPECT_EQ(p::QBColor(9), p::RGB(0, 0, 255));
  EXPECT_EQ(p::QBColor(13), 0xFF00FFu);
  EXPECT_EQ(p::QBColor(15), p::RGB(255, 255, 255));
  EXPECT_FALSE(p::QBColor(16));
  EXPECT_FALSE(p::QBColor(-1));
}
