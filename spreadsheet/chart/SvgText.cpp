#include "spreadsheet/chart/SvgText.h"

#include <array>
#include <cmath>
#include <cstdio>

namespace quillane::chart {

namespace {

// The length of the UTF-8 sequence at `i` and its code point, or 0 when it is not UTF-8.
size_t DecodeUtf8(std::string_view text, size_t i, uint32_t& cp) {
  const auto b0 = static_cast<uint8_t>(text[i]);
  if (b0 < 0x80) {
    cp = b0;
    return 1;
  }
  const size_t len = b0 >= 0xF0 ? 4 : b0 >= 0xE0 ? 3 : b0 >= 0xC0 ? 2 : 0;
  if (len == 0 || b0 > 0xF4 || i + len > text.size()) return 0;
  cp = b0 & (0x7F >> len);
  for (size_t k = 1; k < len; ++k) {
    const auto b = static_cast<uint8_t>(text[i + k]);
    if ((b & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b & 0x3F);
  }
  static constexpr uint32_t kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return len;
}

constexpr std::array<uint16_t, 95> kWidths = {
    278,  278, 355, 556, 556, 889, 667, 191, 333, 333, 389, 584, 278, 333, 278, 278,  // ' '../
    556,  556, 556, 556, 556, 556, 556, 556, 556, 556, 278, 278, 584, 584, 584, 556,  // 0..?
    1015, 667, 667, 722, 722, 667, 611, 778, 722, 278, 500, 667, 556, 833, 722, 778,  // @..O
    667,  778, 722, 667, 611, 722, 667, 944, 667, 667, 611, 278, 278, 278, 469, 556,  // P.._
    333,  556, 556, 500, 556, 556, 278, 556, 556, 222, 222, 500, 222, 833, 556, 556,  // `..o
    556,  556, 333, 500, 278, 556, 500, 722, 500, 500, 500, 334, 260, 334, 584};      // p..~

}  // namespace

void AppendXmlText(std::string& out, std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    const char c = text[i];
    switch (c) {
      case '&':
        out += "&amp;";
        ++i;
        continue;
      case '<':
        out += "&lt;";
        ++i;
        continue;
      case '>':
        out += "&gt;";
        ++i;
        continue;
      case '"':
        out += "&quot;";
        ++i;
        continue;
      case '\'':
        out += "&#39;";
        ++i;
        continue;
      default:
        break;
    }
    uint32_t cp = 0;
    const size_t len = DecodeUtf8(text, i, cp);
    if (len == 0) {
      out += "\xEF\xBF\xBD";
      ++i;
      continue;
    }
    // XML 1.0 allows tab, line feed and carriage return of the controls, and no non-characters
    // U+FFFE and U+FFFF; a line break inside a chart text is drawn as a blank.
    if (cp == '\t' || cp == '\n' || cp == '\r') {
      out += ' ';
    } else if (cp >= 0x20 && cp != 0xFFFE && cp != 0xFFFF) {
      out.append(text.substr(i, len));
    }
    i += len;
  }
}

void AppendNumber(std::string& out, double value) {
  if (!std::isfinite(value)) value = 0;
  long long hundredths = std::llround(value * 100);
  if (hundredths < 0) {
    out += '-';
    hundredths = -hundredths;
  }
  char buf[32];
  const long long whole = hundredths / 100, frac = hundredths % 100;
  int n = frac == 0        ? std::snprintf(buf, sizeof buf, "%lld", whole)
          : frac % 10 == 0 ? std::snprintf(buf, sizeof buf, "%lld.%lld", whole, frac / 10)
                           : std::snprintf(buf, sizeof buf, "%lld.%02lld", whole, frac);
  if (n > 0) out.append(buf, static_cast<size_t>(n));
}

void AppendColor(std::string& out, uint32_t rgb) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "#%06X", rgb & 0xFFFFFF);
  out += buf;
}

double TextWidth(std::string_view text, double px, bool bold) {
  double units = 0;
  for (size_t i = 0; i < text.size();) {
    uint32_t cp = 0;
    size_t len = DecodeUtf8(text, i, cp);
    if (len == 0) {
      cp = 0xFFFD;
      len = 1;
    }
    i += len;
    if (cp >= 32 && cp <= 126)
      units += kWidths[cp - 32];
    else if (cp >= 0x2E80)
      units += 1000;  // ideographs and full-width forms
    else if (cp >= 0x80)
      units += 580;
  }
  return units * px / 1000.0 * (bold ? 1.08 : 1.0);
}

}  // namespace quillane::chart
