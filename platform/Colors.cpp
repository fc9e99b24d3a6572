#include "platform/Colors.h"

#include <array>

#include "platform/Gdi.h"

namespace quillane::platform {
namespace {

constexpr COLORREF FromHex(std::uint32_t rgb) {
  return RGB(static_cast<int>((rgb >> 16) & 0xFF), static_cast<int>((rgb >> 8) & 0xFF),
             static_cast<int>(rgb & 0xFF));
}

// The platform's default ("classic" desktop theme) system colours, written here as RGB hex.
// Fixed so that every drawing is deterministic, whatever the desktop the program runs on.
constexpr std::array<COLORREF, kSysColorCount> kSysColors = {
    FromHex(0xC8C8C8),  //  0 scroll bar
    FromHex(0x000000),  //  1 desktop background
    FromHex(0x99B4D1),  //  2 active caption
    FromHex(0xBFCDDB),  //  3 inactive caption
    FromHex(0xF0F0F0),  //  4 menu
    FromHex(0xFFFFFF),  //  5 window
    FromHex(0x646464),  //  6 window frame
    FromHex(0x000000),  //  7 menu text
    FromHex(0x000000),  //  8 window text
    FromHex(0x000000),  //  9 caption text
    FromHex(0xB4B4B4),  // 10 active border
    FromHex(0xF4F7FC),  // 11 inactive border
    FromHex(0xABABAB),  // 12 application workspace
    FromHex(0x3399FF),  // 13 highlight
    FromHex(0xFFFFFF),  // 14 highlight text
    FromHex(0xF0F0F0),  // 15 button face
    FromHex(0xA0A0A0),  // 16 button shadow
    FromHex(0x6D6D6D),  // 17 grey text
    FromHex(0x000000),  // 18 button text
    FromHex(0x434E54),  // 19 inactive caption text
    FromHex(0xFFFFFF),  // 20 3-D highlight
    FromHex(0x696969),  // 21 3-D dark shadow
    FromHex(0xE3E3E3),  // 22 3-D light
    FromHex(0x000000),  // 23 tooltip text
    FromHex(0xFFFFE1),  // 24 tooltip background
    FromHex(0x000000),  // 25 (unassigned)
    FromHex(0x0066CC),  // 26 hot-tracked item
    FromHex(0xB9D1EA),  // 27 active caption gradient
    FromHex(0xD7E4F2),  // 28 inactive caption gradient
    FromHex(0x3399FF),  // 29 menu highlight
    FromHex(0xF0F0F0),  // 30 menu bar
};

constexpr std::array<COLORREF, 16> kQBColors = {
    RGB(0, 0, 0),       RGB(0, 0, 128),   RGB(0, 128, 0),   RGB(0, 128, 128),
    RGB(128, 0, 0),     RGB(128, 0, 128), RGB(128, 128, 0), RGB(192, 192, 192),
    RGB(128, 128, 128), RGB(0, 0, 255),   RGB(0, 255, 0),   RGB(0, 255, 255),
    RGB(255, 0, 0),     RGB(255, 0, 255), RGB(255, 255, 0), RGB(255, 255, 255),
};

}  // namespace

COLORREF GetSysColor(int index) {
  if (index < 0 || index >= kSysColorCount) return 0;
  return kSysColors[static_cast<std::size_t>(index)];
}

bool OleTranslateColor(OLE_COLOR color, HPALETTE hpal, COLORREF* out) {
  const auto value = static_cast<std::uint32_t>(color);
  const std::uint32_t kind = value >> 24;
  COLORREF result = 0;
  if (kind == 0x80) {
    if ((value & 0x00FFFF00u) != 0) return false;
    const int index = static_cast<int>(value & 0xFF);
    if (index >= kSysColorCount) return false;
    result = kSysColors[static_cast<std::size_t>(index)];
  } else if (kind == 0x00) {
    result = value;
  } else if (kind == 0x01) {
    if ((value & 0x00FF0000u) != 0) return false;
    auto entry = GetPaletteColor(hpal, static_cast<int>(value & 0xFFFF));
    if (!entry) return false;
    result = *entry;
  } else if (kind == 0x02) {
    result = value & 0x00FFFFFFu;
  } else {
    return false;
  }
  if (out) *out = result;
  return true;
}

std::optional<COLORREF> QBColor(int index) {
  if (index < 0 || index > 15) return std::nullopt;
  return kQBColors[static_cast<std::size_t>(index)];
}

}  // namespace quillane::platform
