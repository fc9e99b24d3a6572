#include "spreadsheet/publish/HtmlText.h"

#include <array>

namespace quillane::publish {

namespace {

// Decodes one UTF-8 sequence at text[i]; returns its length (0 when the bytes are not valid
// UTF-8) and the code point.
size_t DecodeUtf8(std::string_view text, size_t i, uint32_t& cp) {
  const auto b0 = static_cast<uint8_t>(text[i]);
  if (b0 < 0x80) {
    cp = b0;
    return 1;
  }
  size_t len = b0 >= 0xF0 ? 4 : b0 >= 0xE0 ? 3 : b0 >= 0xC0 ? 2 : 0;
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

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Texts that the compaction of pages replaces anywhere in a page, and the character at which
// each is broken up.
bool StartsCompactionTrigger(std::string_view text, size_t i) {
  static constexpr std::string_view kBorder = ";border-top:none";
  static constexpr std::string_view kHeight = "mso-height-source:userset;";
  if (text[i] == ';') return text.substr(i, kBorder.size()) == kBorder;
  if (text[i] == 'm') return text.substr(i, kHeight.size()) == kHeight;
  return false;
}

// A character of two to four bytes at `i` (or a byte that starts none): returns the bytes read.
size_t AppendNonAscii(std::string& out, std::string_view text, size_t i) {
  uint32_t cp = 0;
  const size_t len = DecodeUtf8(text, i, cp);
  if (len == 0) {
    out += "\xEF\xBF\xBD";
    return 1;
  }
  if (cp == 0xA0) {
    out += "&nbsp;";
  } else if ((cp >= 0x80 && cp < 0xA0) || cp == 0xFFFE || cp == 0xFFFF) {
    // C1 controls and non-characters are not allowed in a page.
  } else {
    out.append(text.data() + i, len);
  }
  return len;
}

// The blank or tab at `i`: a blank alone between two non-blanks stays; any other blank is
// protected.
template <bool kAttribute>
void AppendBlank(std::string& out, std::string_view text, size_t i) {
  const size_t n = text.size();
  const bool alone = i > 0 && i + 1 < n && !IsBlank(text[i - 1]) && !IsBlank(text[i + 1]) &&
                     text[i - 1] != '\n' && text[i + 1] != '\n' && text[i + 1] != '\r' &&
                     !out.empty() && out.back() != ' ';
  if (alone) {
    out += ' ';
  } else if constexpr (kAttribute) {
    out += (!out.empty() && out.back() == ' ') ? "&#32;" : " ";
  } else {
    // In a run, end with a breakable blank when a word follows, so long text can wrap.
    const bool lastBeforeWord = i > 0 && i + 1 < n && !IsBlank(text[i + 1]) &&
                                text[i + 1] != '\n' && text[i + 1] != '\r' && !out.empty() &&
                                out.back() != ' ';
    out += lastBeforeWord ? " " : "&nbsp;";
  }
}

template <bool kAttribute>
void AppendEscaped(std::string& out, std::string_view text, bool breaks) {
  const size_t n = text.size();
  size_t i = 0;
  while (i < n) {
    const char c = text[i];
    const auto u = static_cast<uint8_t>(c);
    if (u >= 0x80) {
      i += AppendNonAscii(out, text, i);
      continue;
    }
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      case '\r':
        break;
      case '\n':
        if constexpr (kAttribute) {
          out += "&#10;";
        } else if (breaks) {
          out += "<br>";
        } else if (!out.empty() && out.back() != ' ') {
          out += ' ';
        } else {
          out += "&nbsp;";
        }
        break;
      case ' ':
      case '\t':
        AppendBlank<kAttribute>(out, text, i);
        break;
      default:
        if (u < 0x20 || u == 0x7F) break;  // control characters are not allowed in a page
        if (StartsCompactionTrigger(text, i)) {
          // ";border-top:none" keeps its ';' and loses the match at the 'b'.
          if (c == ';') {
            out += ";&#98;";
            ++i;
          } else {
            out += "&#109;";
          }
        } else {
          out += c;
        }
        break;
    }
    ++i;
  }
}

// Advance widths of the characters 32..126 in thousandths of an em.
constexpr std::array<uint16_t, 95> kWidths = {
    278,  278, 355, 556, 556, 889, 667, 191, 333, 333, 389, 584, 278, 333, 278, 278,  // ' '../
    556,  556, 556, 556, 556, 556, 556, 556, 556, 556, 278, 278, 584, 584, 584, 556,  // 0..?
    1015, 667, 667, 722, 722, 667, 611, 778, 722, 278, 500, 667, 556, 833, 722, 778,  // @..O
    667,  778, 722, 667, 611, 722, 667, 944, 667, 667, 611, 278, 278, 278, 469, 556,  // P.._
    333,  556, 556, 500, 556, 556, 278, 556, 556, 222, 222, 500, 222, 833, 556, 556,  // `..o
    556,  556, 333, 500, 278, 556, 500, 722, 500, 500, 500, 334, 260, 334, 584};      // p..~

}  // namespace

void AppendHtmlText(std::string& out, std::string_view text, bool breaks) {
  AppendEscaped<false>(out, text, breaks);
}

void AppendHtmlAttribute(std::string& out, std::string_view text) {
  AppendEscaped<true>(out, text, false);
}

bool IsPlainHtmlText(std::string_view text) {
  for (char c : text) {
    const auto u = static_cast<uint8_t>(c);
    if (u <= 0x20 || u >= 0x7F || c == '&' || c == '<' || c == '>' || c == '"' || c == '\'' ||
        c == ';' || c == 'm') {
      return false;
    }
  }
  return true;
}

double EstimateTextWidth(std::string_view text, double px, bool bold) {
  double units = 0;
  for (size_t i = 0; i < text.size();) {
    uint32_t cp = 0;
    size_t len = DecodeUtf8(text, i, cp);
    if (len == 0) {
      cp = 0xFFFD;
      len = 1;
    }
    i += len;
    if (cp >= 32 && cp <= 126) {
      units += kWidths[cp - 32];
    } else if (cp == '\t') {
      units += 278;
    } else if (cp >= 0x2E80) {
      units += 1000;  // ideographs and full-width forms
    } else if (cp >= 0x80) {
      units += 580;
    }
  }
  return units * px / 1000.0 * (bold ? 1.08 : 1.0);
}

}  // namespace quillane::publish
