#include "spreadsheet/publish/HtmlText.h"

#include <array>
#include <cstdint>

#include "support/Utf8.h"

namespace quillane::publish {

namespace {

using support::DecodeUtf8;

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

// The characters a page takes as they are, wherever they stand: printable ASCII but for those
// escaped and the first characters of the compaction's texts.
constexpr std::array<bool, 256> kPlain = [] {
  std::array<bool, 256> plain{};
  for (int c = 0x21; c < 0x7F; ++c) plain[c] = true;
  for (char c : {'&', '<', '>', '"', '\'', ';', 'm'}) plain[static_cast<uint8_t>(c)] = false;
  return plain;
}();

template <bool kAttribute>
void AppendEscaped(std::string& out, std::string_view text, bool breaks) {
  const size_t n = text.size();
  size_t i = 0;
  while (i < n) {
    size_t run = i;
    while (run < n && kPlain[static_cast<uint8_t>(text[run])]) ++run;
    if (run > i) {
      out.append(text.data() + i, run - i);
      i = run;
      continue;
    }
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

}  // namespace

void AppendHtmlText(std::string& out, std::string_view text, bool breaks) {
  AppendEscaped<false>(out, text, breaks);
}

void AppendHtmlAttribute(std::string& out, std::string_view text) {
  AppendEscaped<true>(out, text, false);
}

}  // namespace quillane::publish
