// Exact pixels of the bar in each style and state, and of popup items in each highlight style,
// checked, disabled, with a picture, as separators and with the child triangle.
#include <gtest/gtest.h>

#include "controls/menu/MenuPaint.h"
#include "controls/menu/wMenu.h"
#include "gfx/basGDI.h"
#include "platform/Colors.h"
#include "platform/Gdi.h"
#include "tests/controls/menu/MenuTestUtil.h"
#include "tests/controls/menu/SampleMenu.h"
#include "tests/platform/Surface.h"

namespace c = quillane::controls;
namespace p = quillane::platform;
using quillane::test::Settle;

namespace {

constexpr QRgb kFace = 0xF0F0F0, kWhite = 0xFFFFFF, kDark = 0x808080, kLight = 0xC0C0C0, kBlack = 0,
               kBlue = 0x0000FF, kInactive = 0xBFCDDB, kCaption = 0x4A4057;

QRgb Px(const QImage* image, int x, int y) { return image->pixel(x, y) & 0xFFFFFF; }

// The smallest box around the pixels of exactly this colour inside the rectangle.
QRect Ink(const QImage& image, const p::RECT& r, QRgb colour) {
  QRect box;
  for (int y = std::max(r.top, 0); y <= r.bottom && y < image.height(); ++y)
    for (int x = std::max(r.left, 0); x <= r.right && x < image.width(); ++x)
      if ((image.pixel(x, y) & 0xFFFFFF) == colour) box |= QRect(x, y, 1, 1);
  return box;
}

// Where the text lands when printed at (x, y) in the colour with the font of dc.
QRect ExpectedInk(p::HDC dc, const std::string& text, float x, float y, QRgb colour,
                  const p::RECT& r) {
  quillane::test::Surface ref(r.right + 40, r.bottom + 40, 0x123456);
  const p::HGDIOBJ old = p::SelectObject(ref.dc(), p::GetCurrentObject(dc, p::OBJ_FONT));
  c::paint::Print(ref.dc(), text, x, y, static_cast<p::OLE_COLOR>(p::FromQRgb(colour)));
  p::SelectObject(ref.dc(), old);
  return Ink(p::GetBitmapImage(ref.bitmap()), r, colour);
}

}  // namespace

TEST(MenuBarPaint, EachStyleAndState) {
  c::xMenu menu;
  menu.resize(200, 24);
  quillane::test::AddItems(menu, {{0, "mnuFile", "File"}, {0, "mnuEdit", "Edit"}});
  for (int style = 0; style < 4; ++style) {
    menu.SetStyle(style);
    menu.Refresh();
    const auto [L, T, R, B] = menu.Item(1).Rect();
    const QImage* img = menu.Surface();
    const float X = menu.Item(1).X, Y = menu.Item(1).Y;
    for (const int state : {0, 1, -1}) {
      SCOPED_TRACE(testing::Message() << "style " << style << " state " << state);
      menu.DrawRootItem(1, state);
      QRgb ink = kBlack;
      float dx = 0;
      switch (style) {
        case 0:
          EXPECT_EQ(Px(img, L, T), state == 0 ? kFace : state == 1 ? kWhite : kDark);
          EXPECT_EQ(Px(img, R, B), state == 0 ? kFace : state == 1 ? kDark : kWhite);
          EXPECT_EQ(Px(img, L + 1, T + 1), kFace);
          dx = state == -1 ? 1 : 0;
          break;
        case 1:
          EXPECT_EQ(Px(img, L, B), state == 0 ? kFace : kWhite);
          EXPECT_EQ(Px(img, L + 1, B), state == 0 ? kFace : state == 1 ? kWhite : kDark);
          EXPECT_EQ(Px(img, L + 2, T + 2), state == 1 ? 0xDCDCDC : kFace);
          EXPECT_EQ(Px(img, L + 1, T + 1), kFace);
          if (state == -1) {
            EXPECT_EQ(Px(img, R - 4, T), kWhite);  // the tab's slanting right edge
            EXPECT_EQ(Px(img, R - 3, T), kDark);
            EXPECT_EQ(Px(img, R - 1, T), kFace);
          }
          dx = state == -1 ? 1 : 0;
          break;
        case 2:
          EXPECT_EQ(Px(img, L, T), kFace);  // corners trimmed
          EXPECT_EQ(Px(img, R - 1, B), kFace);
          EXPECT_EQ(Px(img, L + 1, T + 1), state == 0 ? kFace : state == 1 ? 0xC7C7C7 : 0xF8F8F8);
          EXPECT_EQ(Px(img, R, (T + B) / 2), state == 0 ? kFace : Px(img, L, (T + B) / 2));
          ink = state == 1 ? kDark : kBlack;
          break;
        case 3:
          EXPECT_EQ(Px(img, L + 1, T + 1), kWhite);  // raised edge
          EXPECT_EQ(Px(img, R - 1, B - 1), kDark);
          EXPECT_EQ(Px(img, L + 2, T + 2), state == -1 ? 0xC6C6C6 : 0xF9F9F9);  // the second band
          ink = state == 1 ? kBlue : kBlack;
          break;
      }
      EXPECT_EQ(Ink(*img, {L, T, R, B}, ink),
                ExpectedInk(menu.hDC(), "File", X + dx, Y + dx, ink, {L, T, R, B}));
    }
  }
  // Menu mode draws a hot item pressed.
  menu.SetStyle(0);
  menu.SetMenuOpen(true);
  menu.DrawRootItem(2, 1);
  EXPECT_EQ(Px(menu.Surface(), menu.Item(2).Rect().left, menu.Item(2).Rect().top), kDark);
  // The whole bar of style 3 is one raised gradient; a box narrower than the 20 bands draws too.
  menu.SetMenuOpen(false);
  menu.SetStyle(3);
  menu.Refresh();
  EXPECT_EQ(Px(menu.Surface(), 1, 1), kWhite);
  EXPECT_EQ(Px(menu.Surface(), 199, 23), kDark);
  EXPECT_EQ(Px(menu.Surface(), 0, 0), 0xFCFCFC);
  menu.DrawBarGradient(150, 0, 155, 10, 0xFFFFFF, 0);
  EXPECT_EQ(Px(menu.Surface(), 152, 5), 0xD9D9D9);  // bands of one pixel: the third colour
}

TEST(MenuPopupPaint, HighlightStylesAndItemKinds) {
  c::xMenu menu;
  menu.resize(300, 24);
  quillane::test::FillSampleMenu(menu);
  menu.Refresh();
  menu.show();
  for (int style = 0; style < 4; ++style) {
    menu.SetStyle(style);
    for (int highlight = 0; highlight < 6; ++highlight) {
      SCOPED_TRACE(testing::Message() << "style " << style << " highlight " << highlight);
      menu.SetHighLightStyle(highlight);
      menu.ShowMenu(1);
      c::wMenu* popup = menu.Popup();
      ASSERT_NE(popup, nullptr);
      const QImage* img = popup->Surface();
      const QRgb back = style == 1 ? kWhite : kFace;
      const auto [L, T, R, B] = menu.Item(2).Rect();  // "&Add File", with a picture
      const c::MenuItem& add = menu.Item(2);
      popup->DrawItem(2, -1);
      const QRgb inner = Px(img, L + 1, T + 1);
      switch (highlight) {
        case 0:
          EXPECT_EQ(inner, kInactive);
          EXPECT_EQ(Px(img, L + 2, T + 17), back);
          break;
        case 1:
          EXPECT_EQ(Px(img, L + 20, T + 3), kInactive);
          break;
        case 2:
          EXPECT_EQ(Px(img, L + 1, T + 3), 0x818181);
          EXPECT_EQ(Px(img, R - 1, T + 3), kWhite);
          break;
        case 3:
          EXPECT_EQ(Px(img, L + 1, T + 3), 0x010180);
          break;
        case 4:
          EXPECT_EQ(Px(img, L + 20, T + 1), Px(img, L + 20, B - 1));
          EXPECT_EQ(Px(img, L + 20, T + 1), 0x8A8A8A);
          break;
        case 5:
          EXPECT_EQ(Px(img, L + 20, T + 1), 0xC8C8C8);
          break;
      }
      EXPECT_EQ(Px(img, L, T), style == 0 ? kDark : back);  // the sunken frame of style 0
      EXPECT_EQ(Px(img, R, B), style == 0 ? kWhite : back);
      const p::RECT textBox{28, T, R - 12, B};
      EXPECT_EQ(Ink(*img, textBox, kCaption),
                ExpectedInk(popup->hDC(), "Add File", add.X + 1, add.Y + 1, kCaption, textBox));
      EXPECT_EQ(Px(img, L + 1 + 8, T + 1 + 2), kWhite);  // the page picture at (L + 1, T + 1)
      // Back to normal: the picture at (L + 2, T + 2) with its magenta left out.
      popup->DrawItem(2, 0);
      EXPECT_EQ(Px(img, L + 2 + 8, T + 2 + 2), kWhite);
      EXPECT_EQ(Px(img, L + 3, T + 5),
                Px(img, L + 3, menu.Item(12).Rect().top + 5));  // as under Exit
      // The access character is underlined in black at the bottom row of the text cell.
      const int underline = static_cast<int>(add.Y) + c::paint::TextHeight(popup->hDC(), "X") - 1;
      const p::RECT above{28, T + 3, R - 12, underline - 1};
      EXPECT_EQ(Ink(*img, above, kBlack),
                ExpectedInk(popup->hDC(), "Add File", add.X, add.Y, kBlack, above));
      EXPECT_EQ(Px(img, 31, underline), kBlack);
      menu.CloseOpenMenu();
    }
  }
  Settle();
}

TEST(MenuPopupPaint, SeparatorsTrianglesChecksAndDisabledItems) {
  c::xMenu menu;
  menu.resize(300, 24);
  quillane::test::FillSampleMenu(menu);
  menu.Refresh();
  menu.show();
  for (int style = 0; style < 4; ++style) {
    SCOPED_TRACE(testing::Message() << "style " << style);
    menu.SetStyle(style);
    menu.SetHighLightStyle(1);
    menu.ShowMenu(1);
    c::wMenu* file = menu.Popup();
    const QImage* img = file->Surface();
    {  // separator (item 4)
      const auto [L, T, R, B] = menu.Item(4).Rect();
      const int y = T + quillane::gfx::RoundHalfEven((B - T) / 2.0);
      EXPECT_EQ(Px(img, L + 5, y), style == 1 ? kLight : kWhite);
      EXPECT_EQ(Px(img, R - 6, y - 1), style == 1 ? kWhite : kDark);
      EXPECT_EQ(Px(img, R - 5, y), style == 1 ? kWhite : Px(img, R - 5, y - 2));
      file->DrawItem(4, -1);  // never highlighted
      EXPECT_EQ(Px(img, L + 5, y), style == 1 ? kLight : kWhite);
    }
    {  // the item with children gets its triangle: black, dark grey when highlighted, light grey in
       // style 3
      const auto [L, T, R, B] = menu.Item(5).Rect();
      const int y = T + quillane::gfx::RoundHalfEven((B - T) / 2.0);
      EXPECT_EQ(Px(img, R - 7, y), style == 3 ? kLight : kBlack);
      file->DrawItem(5, -1);
      EXPECT_EQ(Px(img, R - 7, y), kDark);
    }
    if (style == 2) {
      EXPECT_EQ(Px(img, menu.Item(12).Rect().left, menu.Item(12).Rect().top + 2), kBlack);
    }
    menu.ShowMenu(18);  // Options: checked items, one of them disabled
    const QImage* opts = menu.Popup()->Surface();
    const auto [L, T, R, B] = menu.Item(19).Rect();
    EXPECT_EQ(Px(opts, L + 8, T + 10), kDark);  // the check mark, pen width 2
    EXPECT_EQ(Px(opts, L + 10, T + 14), kDark);
    menu.Popup()->DrawItem(19, -1);
    EXPECT_EQ(Px(opts, L + 10, T + 14), kBlack);
    EXPECT_EQ(Px(opts, L + 6, T + 8), kWhite);
    const c::MenuItem& keep = menu.Item(22);  // disabled and checked
    const p::RECT box{28, keep.Rect().top, keep.Rect().right - 12, keep.Rect().bottom + 2};
    if (style != 3) {  // (a band of the style 3 gradient is light grey too)
      EXPECT_EQ(Ink(*opts, box, kLight), ExpectedInk(menu.Popup()->hDC(), "Keep the .files Dir",
                                                     keep.X, keep.Y, kLight, box));
    }
    if (style == 0 || style == 3) {  // the embossed copy in white (the others draw on white)
      EXPECT_FALSE(Ink(*opts,
                       {28, keep.Rect().top + 2, keep.Rect().right - 12, keep.Rect().bottom - 2},
                       kWhite)
                       .isEmpty());
    }
    menu.Popup()->DrawItem(22, -1);  // disabled items never highlight
    EXPECT_EQ(Px(opts, keep.Rect().left + 20, keep.Rect().top + 3),
              Px(opts, keep.Rect().left + 20, keep.Rect().top + 3));
    EXPECT_EQ(Px(opts, keep.Rect().left + 8, keep.Rect().top + 10), kDark);
    menu.CloseOpenMenu();
  }
  Settle();
}

TEST(MenuPopupPaint, WindowBackgroundAndShape) {
  c::xMenu menu;
  menu.resize(300, 24);
  quillane::test::FillSampleMenu(menu);
  menu.Refresh();
  menu.show();
  menu.SetStyle(0);
  menu.ShowMenu(13);
  const QImage* img = menu.Popup()->Surface();
  const int W = img->width() - 1, H = img->height() - 1;
  EXPECT_EQ(Px(img, 0, 0), kWhite);
  EXPECT_EQ(Px(img, W, 0), kDark);
  EXPECT_EQ(Px(img, 0, H), kWhite);
  EXPECT_EQ(Px(img, W, H), kDark);
  menu.SetStyle(1);
  menu.ShowMenu(13);
  img = menu.Popup()->Surface();
  const int owner = menu.Item(13).Rect().right - menu.Item(13).Rect().left;
  EXPECT_EQ(Px(img, owner - 1, 0), kWhite);  // open where it meets its bar item
  EXPECT_EQ(Px(img, owner, 0), kDark);
  EXPECT_EQ(Px(img, 0, 1), kDark);
  EXPECT_EQ(Px(img, 24, 2), kFace);
  EXPECT_EQ(Px(img, 25, 2), kWhite);
  menu.SetStyle(2);
  menu.ShowMenu(13);
  const QRegion shape = menu.Popup()->mask();
  const p::RECT first = menu.Item(14).Rect(), second = menu.Item(15).Rect();
  EXPECT_TRUE(shape.contains(QPoint(0, first.top + 1)));
  EXPECT_FALSE(shape.contains(QPoint(10, first.top)));
  EXPECT_FALSE(shape.contains(QPoint(10, first.bottom - 1)));  // two transparent rows between items
  EXPECT_FALSE(shape.contains(QPoint(10, second.top)));
  EXPECT_TRUE(shape.contains(QPoint(10, second.top + 1)));
  menu.CloseOpenMenu();
  Settle();
}

TEST(MenuPopupPaint, ShortcutsStandRightAlignedInAColumnOfTheirOwn) {
  c::xMenu menu;
  menu.resize(300, 24);
  quillane::test::AddItems(menu, {{0, "mnuFile", "&File"},
                                  {1, "mnuAdd", "&Add\tCtrl+O"},
                                  {1, "mnuLong", "A much longer caption\tDel"}});
  menu.Refresh();
  menu.show();
  menu.ShowMenu(1);
  c::wMenu* popup = menu.Popup();
  ASSERT_NE(popup, nullptr);
  const QImage* img = popup->Surface();
  auto inkOf = [&](int index) {
    const auto [L, T, R, B] = menu.Item(index).Rect();
    return Ink(*img, p::RECT{L + 2, T + 2, R - 2, B - 3}, kBlack);
  };
  const QRect shortItem = inkOf(2), longItem = inkOf(3);
  const p::HDC dc = popup->hDC();
  // Both shortcuts end at the same column (glyphs may differ by their side bearing).
  EXPECT_NEAR(shortItem.right(), longItem.right(), 2);
  // The short caption's shortcut stands far to the right of it, not just after it.
  const int captionEnd = static_cast<int>(menu.Item(2).X) + c::paint::TextWidth(dc, "Add");
  const int keysWidth = c::paint::TextWidth(dc, "Ctrl+O");
  EXPECT_GT(shortItem.right() - keysWidth, captionEnd + c::paint::kShortcutGap);
  // The long caption and its shortcut keep the gap between them.
  EXPECT_GE(longItem.right() + 1 - c::paint::TextWidth(dc, "Del"),
            static_cast<int>(menu.Item(3).X) + c::paint::TextWidth(dc, "A much longer caption") +
                c::paint::kShortcutGap - 1);
  menu.CloseOpenMenu();
}
