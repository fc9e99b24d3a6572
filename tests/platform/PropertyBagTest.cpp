// The property bag: defaults not stored, keys without regard to case, conversions, and an exact
// round trip of every type through the text form.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include <QImage>

#include "platform/Gdi.h"
#include "platform/PropertyBag.h"

namespace p = quillane::platform;

namespace {

p::Picture TestBitmap() {
  QImage img(3, 2, QImage::Format_RGB32);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) img.setPixel(x, y, qRgb(x * 80, y * 200, 17 + x * y));
  return p::Picture::FromBitmap(p::CreateBitmapFromImage(img));
}

p::Picture TestIcon() {
  QImage img(2, 2, QImage::Format_ARGB32);
  img.setPixel(0, 0, qRgba(1, 2, 3, 0));
  img.setPixel(1, 0, qRgba(255, 0, 0, 255));
  img.setPixel(0, 1, qRgba(10, 20, 30, 77));
  img.setPixel(1, 1, qRgba(0, 0, 0, 255));
  return p::Picture::FromIcon(p::CreateIconFromImage(img));
}

}  // namespace

TEST(PropertyBag, DefaultsAreNotStoredAndKeysIgnoreCase) {
  p::PropertyBag bag;
  bag.WriteBool("DisabledText3D", true, true);
  bag.WriteInt32("TextColor", static_cast<std::int32_t>(0x80000008u),
                 static_cast<std::int32_t>(0x80000008u));
  bag.WriteString("ButtonCaption1", "", "");
  bag.WritePicture("ButtonPicture1", p::Picture());
  EXPECT_EQ(bag.Size(), 0u);
  bag.WriteInt16("ButtonCount", 3, 0);
  bag.WriteString("MenuCaption1", "File", "");
  EXPECT_TRUE(bag.Contains("buttoncount"));
  EXPECT_EQ(bag.ReadInt16("BUTTONCOUNT", 0), 3);
  EXPECT_EQ(bag.ReadString("menucaption1", ""), "File");
  EXPECT_EQ(bag.ReadBool("Missing", true), true);
  // Writing the default again removes the stored value; a rewrite keeps the first key's place.
  bag.WriteString("menucaption1", "", "");
  EXPECT_FALSE(bag.Contains("MenuCaption1"));
  bag.WriteInt16("BUTTONCOUNT", 4, 0);
  EXPECT_EQ(bag.Keys(), std::vector<std::string>{"ButtonCount"});
  EXPECT_THROW(bag.WriteInt16("Bad:Key", 1, 0), std::invalid_argument);
  EXPECT_THROW(bag.WriteInt16("", 1, 0), std::invalid_argument);
}

TEST(PropertyBag, StoredValuesOfAnotherTypeAreConverted) {
  p::PropertyBag bag;
  bag.WriteProperty("Text", std::string("12"));
  bag.WriteProperty("Flag", p::VbBool{true});
  bag.WriteProperty("Word", std::string("True"));
  bag.WriteProperty("Big", std::int32_t{70000});
  bag.WriteProperty("Half", 2.5f);
  bag.WriteProperty("Hex", std::string("&H8000000F&"));
  EXPECT_EQ(bag.ReadInt32("Text", 0), 12);
  EXPECT_EQ(bag.ReadInt16("Flag", 0), -1);
  EXPECT_TRUE(bag.ReadBool("Word", false));
  EXPECT_TRUE(bag.ReadBool("Text", false));
  EXPECT_EQ(bag.ReadInt16("Big", 7), 7);   // out of range: the default
  EXPECT_EQ(bag.ReadInt32("Half", 0), 2);  // half to even
  EXPECT_EQ(bag.ReadString("Flag", ""), "True");
  EXPECT_EQ(bag.ReadInt32("Hex", 0), static_cast<std::int32_t>(0x8000000Fu));
  EXPECT_EQ(bag.ReadFont("Text", p::StdFont("X", 9)).Name(), "X");
  EXPECT_TRUE(bag.ReadPicture("Text").IsNothing());
}

TEST(PropertyBag, TextFormRoundTripsEveryTypeExactly) {
  p::PropertyBag bag;
  bag.WriteProperty("Yes", p::VbBool{true});
  bag.WriteProperty("No", p::VbBool{false});
  bag.WriteProperty("Int", std::int16_t{-32768});
  bag.WriteProperty("Long", static_cast<std::int32_t>(0x8000000Fu));
  for (float f : {0.1f, -0.0f, 1e-45f, 3.4028235e38f, 16777217.0f, 8.25f,
                  std::numeric_limits<float>::infinity()}) {
    bag.WriteProperty("Single" + std::to_string(bag.Size()), f);
  }
  bag.WriteProperty("Text", std::string("a \"quoted\" line\nand\ttab\\ \x01\x7F caf\xC3\xA9"));
  p::StdFont font("Sans Serif", 9.7501);
  font.SetWeight(550);
  font.SetItalic(true);
  font.SetStrikethrough(true);
  font.SetCharset(255);
  bag.WriteProperty("Font", font);
  bag.WriteProperty("Picture", TestBitmap());
  bag.WriteProperty("Icon", TestIcon());
  bag.WriteProperty("NoPicture", p::Picture::Empty());
  const std::string text = bag.ToText();
  std::string error;
  const auto back = p::PropertyBag::FromText(text, &error);
  ASSERT_TRUE(back) << error;
  EXPECT_TRUE(*back == bag);
  EXPECT_EQ(back->ToText(), text);
  EXPECT_EQ(back->ReadFont("font", p::StdFont()).SizeUnits(), 97501);
  EXPECT_EQ(back->ReadFont("font", p::StdFont()).Weight(), 550);
  EXPECT_EQ(back->ReadPicture("Icon").Type(), p::PictureType::Icon);
  EXPECT_TRUE(back->ReadPicture("NoPicture").IsNothing());  // a key that holds no picture
  EXPECT_NE(text.find("Long: Long = -2147483633\n"), std::string::npos);
  EXPECT_NE(text.find("Yes: Boolean = True\n"), std::string::npos);
}

TEST(PropertyBag, BadTextIsRejectedWithItsLine) {
  std::string error;
  EXPECT_FALSE(p::PropertyBag::FromText("", &error));
  EXPECT_FALSE(p::PropertyBag::FromText("something else\n", &error));
  const std::string head = "Quillane property bag 1\n";
  for (const char* line :
       {"NoColon\n", "K: Integer = 40000\n", "K: Boolean = yes\n", "K: Long = 1x\n",
        "K: Unknown = 1\n", "K: String = \"open\n", "K: String = \"bad \\q\"\n",
        "K: Font = \"A\", 8\n", "K: Picture = Bitmap 2x2 !!!!\n", "K: Single = \n"}) {
    EXPECT_FALSE(p::PropertyBag::FromText(head + line, &error)) << line;
    EXPECT_EQ(error.rfind("line 2: ", 0), 0u) << error;
  }
  EXPECT_FALSE(p::PropertyBag::FromText(head + "A: Integer = 1\na: Integer = 2\n", &error));
  const auto ok = p::PropertyBag::FromText(head + "\r\nA: Integer = 1\r\n", &error);
  ASSERT_TRUE(ok) << error;
  EXPECT_EQ(ok->ReadInt16("a", 0), 1);
}
