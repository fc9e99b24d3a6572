// The stored design: keys, order, defaults, and an exact round trip.
#include <gtest/gtest.h>

#include "tests/controls/toolbar/Bar.h"

using namespace quillane::test;

namespace {

// Ten buttons: push, check, a group of three, separator, placeholder, disabled, hidden, captioned.
void Design(tb::xToolbar& bar) {
  bar.SetButtonGap(4);
  bar.SetAppearance(tb::ifcaFlat);
  bar.SetBorderStyle(tb::tbbsInsetButton);
  bar.SetDoubleBottomBorder(true);
  bar.SetTitle("Main bar");
  bar.SetFixedSize(1.5f);
  bar.SetHotTracking(true);
  bar.SetCaptionAlignment(tb::ifcaCaptionOnBottom);
  p::StdFont f("DejaVu Sans", 9);
  f.SetBold(true);
  bar.SetFont(f);
  bar.AddButtonEx("new", tb::tbrButton, SquarePicture(16, 16, qRgb(10, 20, 200)), "New \"book\"");
  bar.AddButtonEx("log", tb::tbrCheck, SquarePicture(), "Log", 0x00FF00, false, "Log", true);
  for (int i = 0; i < 3; ++i)
    bar.AddButtonEx("g" + std::to_string(i), tb::tbrButtonGroup, SquarePicture());
  bar.AddButtonEx("sep", tb::tbrSeparator);
  bar.AddButtonEx("ph", tb::tbrPlaceholder, {}, "", 0xFF00FF, true, "", false, true, 12.5f);
  bar.AddButtonEx("off", tb::tbrButton, SquarePicture(), "", 0xFF00FF, true, "", false, false);
  bar.AddButtonEx("hid", tb::tbrButton, {}, "", 0xFF00FF, true, "", false, true, 0, false);
  bar.AddButtonEx("cap", tb::tbrButton, {}, "Line one\nline two", 0xFF00FF, true, "Caption");
  bar.SetButtonPictureOver(1, SquarePicture(16, 16, qRgb(200, 0, 0)));
  QImage icon(8, 8, QImage::Format_ARGB32);
  icon.fill(qRgba(0, 128, 0, 255));
  bar.SetButtonPictureDown(1, p::Picture::FromIcon(p::CreateIconFromImage(icon)));
  bar.SetButtonDescription(10, "kept, never shown");
  bar.SetButtonAlwaysShowCaption(10, true);
  for (int i = 3; i <= 5; ++i) bar.SetButtonGroupID(i, 2);
}

}  // namespace

TEST(ToolbarPersist, TenButtonDesignRoundTripsExactly) {
  auto bar = MakeBar(400, 28);
  Design(*bar);
  p::PropertyBag bag;
  bar->WriteProperties(bag);
  const std::string text = bag.ToText();
  const auto parsed = p::PropertyBag::FromText(text);
  ASSERT_TRUE(parsed);

  auto copy = MakeBar(400, 28);
  copy->ReadProperties(*parsed);
  p::PropertyBag again;
  copy->WriteProperties(again);
  EXPECT_EQ(again.ToText(), text);
  EXPECT_EQ(copy->ButtonCount(), 10);
  EXPECT_EQ(copy->ButtonToolTipText(1), "New \"book\"");
  EXPECT_EQ(copy->ButtonPictureDown(1).Type(), p::PictureType::Icon);
  EXPECT_EQ(copy->Title(), "Main bar");
  // Same design, same pixels.
  EXPECT_EQ(copy->SurfaceImage(), bar->SurfaceImage());

  // Keys in the written order; per-button keys carry the index; defaults are left out.
  const auto keys = bag.Keys();
  const std::vector<std::string> head = {"FixedSize", "BorderStyle", "DoubleBottomBorder",
                                         "Font",      "Appearance",  "ButtonCount"};
  std::size_t at = 0;
  for (const auto& k : keys)
    if (at < head.size() && k == head[at]) ++at;
  EXPECT_EQ(at, head.size());
  EXPECT_TRUE(bag.Contains("ButtonWidth7"));
  EXPECT_FALSE(bag.Contains("ButtonPlaceholderWidth7"));
  EXPECT_FALSE(bag.Contains("ButtonCaption1"));
  EXPECT_TRUE(bag.Contains("ButtonCaption2"));
  EXPECT_EQ(bag.ReadInt16("ButtonGroupID4", 0), 2);
  EXPECT_EQ(keys.back(), "ButtonAlwaysShowCaption10");  // its group ID is the default
}

TEST(ToolbarPersist, MissingKeysReadAsDefaults) {
  p::PropertyBag bag;
  bag.WriteProperty("ButtonCount", std::int16_t{0});
  bag.WriteProperty("DockStyle", std::int16_t{0});
  auto bar = MakeBar(100, 24, tb::tbdsOfficeXP);
  bar->SetBorderStyle(tb::tbbsNone);
  bar->AddButton();
  bar->ReadProperties(bag);
  EXPECT_EQ(bar->ButtonCount(), 0);
  EXPECT_EQ(bar->GripWidth(), 0);
  EXPECT_EQ(bar->BorderStyle(), tb::tbbsRaised);
  EXPECT_EQ(bar->Title(), bar->Name());
  EXPECT_EQ(bar->CaptionAlignment(), tb::ifcaCaptionOnRight);
  p::PropertyBag out;
  bar->WriteProperties(out);
  EXPECT_EQ(out.Keys(), (std::vector<std::string>{"ButtonCount", "DockStyle"}));
}
