#include "spreadsheet/chart/SvgText.h"

#include <cmath>
#include <cstdio>

#include "support/Utf8.h"

namespace quillane::chart {

namespace {

using support::DecodeUtf8;

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

}  // namespace quillane::chart
