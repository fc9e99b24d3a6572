#pragma once
// Colour values: the system colour table, colour translation and the standard 16-colour palette.
#include <cstdint>
#include <optional>

#include "platform/Types.h"

namespace quillane::platform {

// System colour indexes (the low byte of a system colour value 0x800000nn).
enum SysColor : int {
  COLOR_SCROLLBAR = 0,
  COLOR_BACKGROUND = 1,
  COLOR_ACTIVECAPTION = 2,
  COLOR_INACTIVECAPTION = 3,
  COLOR_MENU = 4,
  COLOR_WINDOW = 5,
  COLOR_WINDOWFRAME = 6,
  COLOR_MENUTEXT = 7,
  COLOR_WINDOWTEXT = 8,
  COLOR_CAPTIONTEXT = 9,
  COLOR_ACTIVEBORDER = 10,
  COLOR_INACTIVEBORDER = 11,
  COLOR_APPWORKSPACE = 12,
  COLOR_HIGHLIGHT = 13,
  COLOR_HIGHLIGHTTEXT = 14,
  COLOR_BTNFACE = 15,
  COLOR_BTNSHADOW = 16,
  COLOR_GRAYTEXT = 17,
  COLOR_BTNTEXT = 18,
  COLOR_INACTIVECAPTIONTEXT = 19,
  COLOR_BTNHIGHLIGHT = 20,
  COLOR_3DHIGHLIGHT = 20,
  COLOR_3DDKSHADOW = 21,
  COLOR_3DLIGHT = 22,
  COLOR_INFOTEXT = 23,
  COLOR_INFOBK = 24,
  COLOR_HOTLIGHT = 26,
  COLOR_GRADIENTACTIVECAPTION = 27,
  COLOR_GRADIENTINACTIVECAPTION = 28,
  COLOR_MENUHILIGHT = 29,
  COLOR_MENUBAR = 30,
};
constexpr int kSysColorCount = 31;

// The fixed system colour table (see Colors.cpp for the values). Out-of-range indexes give 0.
COLORREF GetSysColor(int index);

// Translates a colour value to a plain colour reference, as the OLE colour translation does:
//  - 0x00bbggrr: unchanged;
//  - 0x800000nn: the system colour nn from the fixed table (nn 0 to 30, other bits clear);
//  - 0x0100iiii: entry iiii of the palette hpal (which must be a valid palette);
//  - 0x02bbggrr: the palette-relative colour, taken as the plain colour 0x00bbggrr.
// Every surface here is true colour, so a palette never changes a plain or system colour; the
// result is always a plain 0x00bbggrr. Anything else fails (returns false, *out untouched).
bool OleTranslateColor(OLE_COLOR color, HPALETTE hpal, COLORREF* out);

// The standard 16-colour palette: 0 black, 7 light grey, 8 dark grey, 9 light blue, 13 light
// magenta, 15 white. An index outside 0 to 15 gives std::nullopt.
std::optional<COLORREF> QBColor(int index);

// 0xAARRGGBB (Qt) from a colour reference (only its low 24 bits count), opaque.
constexpr std::uint32_t ToQRgb(COLORREF c) {
  return 0xFF000000u | ((c & 0xFFu) << 16) | (c & 0xFF00u) | ((c >> 16) & 0xFFu);
}
// A colour reference from 0xAARRGGBB (alpha ignored).
constexpr COLORREF FromQRgb(std::uint32_t argb) {
  return ((argb >> 16) & 0xFFu) | (argb & 0xFF00u) | ((argb & 0xFFu) << 16);
}

}  // namespace quillane::platform
