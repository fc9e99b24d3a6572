#pragma once
// Drawing steps shared by the menu bar and its popups, in the control's own conventions: boxes and
// filled boxes include both corner points, lines leave out their end point, and captions print
// with their access character underlined.
#include <initializer_list>
#include <string_view>

#include <QImage>

#include "platform/Types.h"

namespace quillane::controls::paint {

using platform::HDC;
using platform::OLE_COLOR;

// A colour of the standard 16-colour palette.
OLE_COLOR QB(int index);
// Palette colours the menu uses by number.
inline constexpr int kBlack = 0, kDarkBlue = 1, kLightGrey = 7, kDarkGrey = 8, kLightBlue = 9,
                     kWhite = 15;
inline constexpr OLE_COLOR kButtonFace = static_cast<OLE_COLOR>(0x8000000Fu);
inline constexpr OLE_COLOR kWindow = static_cast<OLE_COLOR>(0x80000005u);
inline constexpr OLE_COLOR kWindowText = static_cast<OLE_COLOR>(0x80000008u);
inline constexpr OLE_COLOR kInactiveCaption = static_cast<OLE_COLOR>(0x80000003u);

// A pen of the colour (system colours translated) along the points, each segment leaving out its
// end point.
void Lines(HDC dc, OLE_COLOR color, std::initializer_list<platform::POINT> points, int width = 1);
// The outline of the box with corners (l, t) and (r, b), both included.
void Box(HDC dc, int l, int t, int r, int b, OLE_COLOR color);
// The box with corners (l, t) and (r, b) filled, both included.
void FillBox(HDC dc, int l, int t, int r, int b, OLE_COLOR color);
// A ramp of 21 colours from c1 to c2 in bands of (r - l) / 20 pixels across the box, then a raised
// edge one pixel inside it (white top and left, dark grey bottom and right).
void RaisedGradient(HDC dc, int l, int t, int r, int b, OLE_COLOR c1, OLE_COLOR c2);

// A popup item's caption may carry its shortcut after a tab ("&Open...\tCtrl+O"), as platform
// menus write it: the shortcut then stands in a column of its own, right-aligned.
inline constexpr int kShortcutGap = 24;  // pixels at least between a caption and its shortcut

// Text measures in the context's font, in pixels. A caption with a shortcut measures as the
// caption, the gap and the shortcut.
int TextWidth(HDC dc, std::string_view text);
int TextHeight(HDC dc, std::string_view text);
// Prints text at (x, y) (the top-left of its cell) in the colour, transparently.
void Print(HDC dc, std::string_view text, float x, float y, OLE_COLOR color);
// Prints a caption: an "&" that is the last character is dropped; the first other "&" is left out
// and the character after it underlined in black at the bottom row of the text cell. A shortcut
// after a tab ends at x = keysRight, or follows the caption after the gap when keysRight is
// kNoColumn.
inline constexpr int kNoColumn = -1 << 30;
void PrintCaption(HDC dc, std::string_view caption, float x, float y, OLE_COLOR color,
                  int keysRight = kNoColumn);
// The caption as PrintCaption shows it: without the "&" of its access character.
std::string ShownText(std::string_view caption);

}  // namespace quillane::controls::paint

namespace quillane::controls {

// A drawing surface for a widget: a memory context holding a colour bitmap of the widget's size,
// drawn on by the control and shown by its paint event.
class MenuSurface {
 public:
  MenuSurface();
  ~MenuSurface();
  MenuSurface(const MenuSurface&) = delete;
  MenuSurface& operator=(const MenuSurface&) = delete;

  // A new bitmap of the size (at least 1 x 1) filled with the colour, the old contents copied in,
  // at the device pixel ratio of the widget that shows it (its screen's).
  void Resize(int width, int height, platform::OLE_COLOR fill, double ratio);
  // Selects the font handle (owned by the caller) for text; 0 selects the context's own font.
  void SelectFont(platform::HFONT font);
  platform::HDC dc() const { return dc_; }
  int width() const { return width_; }
  int height() const { return height_; }
  // The pixels (null when there is no bitmap yet).
  const QImage* image() const;

 private:
  platform::HDC dc_ = 0;
  platform::HBITMAP bmp_ = 0;
  platform::HGDIOBJ oldBmp_ = 0;
  platform::HGDIOBJ oldFont_ = 0;
  bool fontSelected_ = false;
  int width_ = 0;
  int height_ = 0;
};

}  // namespace quillane::controls
