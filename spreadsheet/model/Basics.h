// Value types the workbook model, its charts and its conditional formats share: colours, borders,
// fonts and cell ranges.
#pragma once

#include <cstdint>
#include <string>

namespace quillane::model {

// 0xRRGGBB with its lightness (in the hue-lightness-saturation space) scaled by `mod` and raised
// by `off` (both fractions), as themes vary their colours.
uint32_t ScaleLightness(uint32_t rgb, double mod, double off);
// 0xRRGGBB lightened (tint > 0, towards white) or darkened (tint < 0) by a fraction of its
// lightness.
uint32_t ApplyTint(uint32_t rgb, double tint);

// A colour: 0xRRGGBB, or automatic (the page's choice: black text and lines, white fills).
struct Color {
  uint32_t rgb = 0;
  bool automatic = true;

  static constexpr Color Auto() { return {}; }
  static constexpr Color Rgb(uint32_t value) { return {value & 0xFFFFFF, false}; }
  // The colour, or `fallback` when it is automatic.
  constexpr uint32_t Or(uint32_t fallback) const { return automatic ? fallback : rgb; }
  bool operator==(const Color&) const = default;
};

// Border line styles: 0 none, 1 thin, 2 medium, 3 dashed, 4 dotted, 5 thick, 6 double, 7 hair,
// 8 medium dashed, 9 dash-dot, 10 medium dash-dot, 11 dash-dot-dot, 12 medium dash-dot-dot,
// 13 slanted dash-dot.
struct Border {
  uint8_t style = 0;
  Color color;
};

enum class Underline : uint8_t { None, Single, Double, SingleAccounting, DoubleAccounting };
enum class Script : uint8_t { None, Super, Sub };

struct Font {
  std::string name = "Arial";
  uint16_t height = 200;  // twips (1/20 point)
  uint16_t weight = 400;  // 700 is bold
  bool italic = false;
  bool strike = false;
  bool outline = false;
  bool shadow = false;
  Underline underline = Underline::None;
  Script script = Script::None;
  Color color;
  uint8_t family = 0;   // 1 roman, 2 swiss, 3 modern, 4 script, 5 decorative; 0 not given
  uint8_t charset = 0;  // the font's character set number, as fonts name it
};

struct Range {
  uint32_t firstRow = 0, lastRow = 0;  // inclusive
  uint16_t firstCol = 0, lastCol = 0;  // inclusive
};

}  // namespace quillane::model
