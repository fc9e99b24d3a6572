// The stored design: keys, order and defaults, and an exact round trip of a whole menu.
#include <gtest/gtest.h>

#include <QImage>

#include "platform/Gdi.h"
#include "tests/controls/menu/MenuTestUtil.h"

namespace c = quillane::controls;
namespace p = quillane::platform;

namespace {

p::Picture SmallPicture(int seed, bool icon) {
  QImage img(16, 16, QImage::Format_ARGB32);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x)
      img.setPixel(x, y,
                   qRgba((x * 16 + seed) & 255, (y * 16) & 255, seed & 255, (x + y) % 3 ? 255 : 0));
  return icon ? p::Picture::FromIcon(p::CreateIconFromImage(img))
              : p::Picture::FromBitmap(p::CreateBitmapFromImage(img));
}

// A design of 37 items: 6 top-level items with children and grandchildren, separators, pictures,
// checked, disabled and hidden items, descriptions and mask colours.
void FillDesign(c::xMenu& menu) {
  for (int n = 1; n <= 37; ++n) {
    c::MenuItem item;
    item.Ident = n == 1 ? 0 : (n % 6 == 1 ? 0 : (n % 6 == 4 ? 2 : 1));
    item.Name = "mnuItem" + std::to_string(n);
    item.Caption = n % 5 == 3 ? "-" : "Item &" + std::to_string(n) + (n % 4 == 0 ? " && more" : "");
    item.Enabled = n % 7 != 2;
    item.Checked = n % 3 == 2;
    item.Visible = n != 20;
    item.UseMaskColor = n % 8 != 5;
    item.MaskColor = n % 9 == 4 ? 0x00FF00 : 0xFF00FF;
    if (n % 2 == 0) item.Description = "Does \"" + std::to_string(n) + "\"";
    if (n % 3 != 1) item.SetAPicture(SmallPicture(n, n % 3 == 0));
    menu.AddItem(item);
  }
  menu.Item(1).Caption = "File";
  menu.Item(1).Name = "mnuFile";
  menu.Item(1).Description.clear();
  menu.Item(1).SetAPicture(p::Picture());
}

}  // namespace

TEST(MenuDesign, RoundTripOfThirtySevenItemsIsExact) {
  c::xMenu first;
  FillDesign(first);
  first.SetStyle(2);
  first.SetHighLightStyle(4);
  first.SetSpacing(18);
  p::StdFont font("Serif", 9.75);
  first.SetItemsFont(font);
  p::PropertyBag bag;
  first.WriteProperties(bag);
  const std::string text = bag.ToText();
  std::string error;
  const auto parsed = p::PropertyBag::FromText(text, &error);
  ASSERT_TRUE(parsed) << error;
  c::xMenu second;
  second.ReadProperties(*parsed);
  ASSERT_EQ(second.Count(), 37);
  EXPECT_EQ(second.Style(), 2);
  EXPECT_EQ(second.HighLightStyle(), 4);
  EXPECT_EQ(second.ItemsFont(), font);
  p::PropertyBag again;
  second.WriteProperties(again);
  EXPECT_EQ(again.ToText(), text);
  // The tree is rebuilt from the order and the levels alone.
  EXPECT_TRUE(second.Item(1).IsRoot);
  EXPECT_EQ(second.Item(4).RootIndex, 3);

  // Keys, in writing order; defaults are left out.
  const std::vector<std::string> keys = bag.Keys();
  EXPECT_EQ(std::vector<std::string>(keys.begin(), keys.begin() + 6),
            (std::vector<std::string>{"Spacing", "Style", "HighLightStyle", "ItemCount",
                                      "ItemsFont", "MenuCaption1"}));
  EXPECT_EQ(keys[6], "MenuName1");     // item 1 stores its caption and name only
  EXPECT_EQ(keys[7], "MenuEnabled2");  // item 2 is disabled and checked, in the order of the keys
  EXPECT_EQ(keys[8], "MenuChecked2");
  EXPECT_TRUE(bag.Contains("MenuEnabled9"));
  EXPECT_FALSE(bag.Contains("MenuMaskColor2"));  // magenta is the default
  EXPECT_TRUE(bag.Contains("MenuMaskColor4"));
  EXPECT_TRUE(second.Item(2).Checked);
  EXPECT_FALSE(second.Item(2).Enabled);
  EXPECT_EQ(second.Item(2).APicture().Type(), p::PictureType::Bitmap);
}

TEST(MenuDesign, ItemCountDecidesHowManyItemsAreRead) {
  p::PropertyBag bag;
  bag.WriteString("MenuCaption1", "File", "");
  bag.WriteInt32("MenuIdent2", 1, 0);
  c::xMenu menu;
  quillane::test::AddItems(menu, {{0, "old", "Old"}});
  menu.ReadProperties(bag);
  EXPECT_EQ(menu.Count(), 0);  // no ItemCount: the stored items are not read
  EXPECT_EQ(menu.Spacing(), 12);
  EXPECT_EQ(menu.HighLightStyle(), 1);
  bag.WriteInt32("ItemCount", 1, 0);
  menu.ReadProperties(bag);
  ASSERT_EQ(menu.Count(), 1);
  EXPECT_EQ(menu.Item(1).Caption, "File");
  EXPECT_TRUE(menu.Item(1).Enabled);
  EXPECT_EQ(menu.Item(1).MaskColor, 0xFF00FF);
  // A damaged count: negative reads nothing, a huge one stops at the largest index, 32767.
  bag.WriteInt32("ItemCount", -5, 0);
  menu.ReadProperties(bag);
  EXPECT_EQ(menu.Count(), 0);
  bag.WriteInt32("ItemCount", 2147483647, 0);
  menu.ReadProperties(bag);
  EXPECT_EQ(menu.Count(), 32767);
}
