// An estimate of how wide a text is drawn, for layout decided without a font at hand (how far
// cell text spills into empty cells, how much room a chart's labels need).
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "support/Utf8.h"

namespace quillane::support {

// Advance widths of the characters 32..126 in thousandths of an em, from the standard Helvetica
// metrics.
inline constexpr std::array<std::uint16_t, 95> kSansWidths = {
    278,  278, 355, 556, 556, 889, 667, 191, 333, 333, 389, 584, 278, 333, 278, 278,  // ' '../
    556,  556, 556, 556, 556, 556, 556, 556, 556, 556, 278, 278, 584, 584, 584, 556,  // 0..?
    1015, 667, 667, 722, 722, 667, 611, 778, 722, 278, 500, 667, 556, 833, 722, 778,  // @..O
    667,  778, 722, 667, 611, 722, 667, 944, 667, 667, 611, 278, 278, 278, 469, 556,  // P.._
    333,  556, 556, 500, 556, 556, 278, 556, 556, 222, 222, 500, 222, 833, 556, 556,  // `..o
    556,  556, 333, 500, 278, 556, 500, 722, 500, 500, 500, 334, 260, 334, 584};      // p..~

// Width of `text` in pixels drawn in a proportional sans-serif font of `px` pixels; a tab counts
// as a blank, ideographs as a full em, other non-ASCII characters as an average letter, bytes
// that are not UTF-8 as one such character each. Bold text is drawn wider.
inline double EstimateTextWidth(std::string_view text, double px, bool bold) {
  double units = 0;
  for (std::size_t i = 0; i < text.size();) {
    std::uint32_t cp = 0;
    std::size_t len = DecodeUtf8(text, i, cp);
    if (len == 0) {
      cp = 0xFFFD;
      len = 1;
    }
    i += len;
    if (cp >= 32 && cp <= 126) {
      units += kSansWidths[cp - 32];
    } else if (cp == '\t') {
      units += kSansWidths[0];
    } else if (cp >= 0x2E80) {
      units += 1000;  // ideographs and full-width forms
    } else if (cp >= 0x80) {
      units += 580;
    }
  }
  return units * px / 1000.0 * (bold ? 1.08 : 1.0);
}

}  // namespace quillane::support
