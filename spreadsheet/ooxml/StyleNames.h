// The names SpreadsheetML gives fill patterns, border lines and underlines, as the model numbers
// them: for the styles part's cell formats and for the formats conditional formats apply.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "spreadsheet/model/Basics.h"

namespace quillane::ooxml {

// The border style number (see model::Border) of a style name: 0 (none) when empty, thin for
// names it does not know.
inline uint8_t BorderNumber(std::string_view v) {
  static constexpr std::array<std::string_view, 14> kNames = {"none",
                                                              "thin",
                                                              "medium",
                                                              "dashed",
                                                              "dotted",
                                                              "thick",
                                                              "double",
                                                              "hair",
                                                              "mediumDashed",
                                                              "dashDot",
                                                              "mediumDashDot",
                                                              "dashDotDot",
                                                              "mediumDashDotDot",
                                                              "slantDashDot"};
  for (size_t i = 0; i < kNames.size(); ++i) {
    if (v == kNames[i]) return static_cast<uint8_t>(i);
  }
  return v.empty() ? 0 : 1;
}

// The pattern number (see model::CellStyle) of a fill's patternType; `unknown` for names it does
// not know.
inline uint8_t PatternNumber(std::string_view v, uint8_t unknown) {
  static constexpr std::array<std::string_view, 19> kNames = {
      "none",           "solid",           "mediumGray",    "darkGray",  "lightGray",
      "darkHorizontal", "darkVertical",    "darkDown",      "darkUp",    "darkGrid",
      "darkTrellis",    "lightHorizontal", "lightVertical", "lightDown", "lightUp",
      "lightGrid",      "lightTrellis",    "gray125",       "gray0625"};
  for (size_t i = 0; i < kNames.size(); ++i) {
    if (v == kNames[i]) return static_cast<uint8_t>(i);
  }
  return unknown;
}

// The underline of a "u" element's val.
inline model::Underline UnderlineOf(std::string_view v) {
  return v == "double"             ? model::Underline::Double
         : v == "singleAccounting" ? model::Underline::SingleAccounting
         : v == "doubleAccounting" ? model::Underline::DoubleAccounting
         : v == "none"             ? model::Underline::None
                                   : model::Underline::Single;
}

}  // namespace quillane::ooxml
