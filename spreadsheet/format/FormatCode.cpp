// The parser of number-format codes.
//
// Order of work: Compile splits a code into sections at ';' outside quotes, brackets and escapes
// (four at most); ParseSection turns each into tokens (literals, placeholders, date and time
// codes, brackets for colours, conditions, locales and elapsed time); Classify decides what the
// section formats (text, date, number, General, literal) and lays it out: FinishDate finds minutes
// and fractions of a second, FinishNumber the integer, decimal, exponent and fraction parts and
// what each comma does.
// Invariants: literal text sits in one token between two others (AddLit merges); a section
// replaced by the system date or time keeps only its colour and condition; tokens that mean
// nothing in a section's kind become text.
// Bounds: one pass over the code per section; repeat counts are capped at 20 and fixed
// denominators at nine digits.
#include "spreadsheet/format/FormatCode.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstring>

#include "support/Ascii.h"

namespace quillane::format {

std::size_t Utf8Len(std::string_view s, std::size_t i) {
  unsigned char c = static_cast<unsigned char>(s[i]);
  std::size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 1;
  if (i + len > s.size()) len = s.size() - i;
  for (std::size_t k = 1; k < len; ++k)
    if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return k;
  return len;
}

char32_t DecodeUtf8(std::string_view s, std::size_t i, std::size_t len) {
  unsigned char c = static_cast<unsigned char>(s[i]);
  if (len == 1) return c;
  char32_t v = c & (0x7F >> len);
  for (std::size_t k = 1; k < len; ++k)
    v = (v << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
  return v;
}

int CountDigits(const std::vector<Token>& t, int a, int b) {
  int n = 0;
  for (int i = a; i < b; ++i) n += IsDigitTok(t[i].kind);
  return n;
}

namespace {

void AddLit(std::vector<Token>& t, std::string_view s) {
  if (!t.empty() && t.back().kind == Tok::Lit) {
    t.back().text.append(s);
  } else {
    t.push_back({Tok::Lit, 0, std::string(s)});
  }
}

constexpr std::string_view kLongDate = "dddd, mmmm dd, yyyy";
constexpr std::string_view kLongTime = "h:mm:ss AM/PM";

void ParseSection(std::string_view s, Section& sec);

// The locale of a [$-...] tag is Japanese: "ja-JP" (with or without a suffix) or a locale number
// whose low 16 bits are 0x411 (the bits above choose a calendar).
bool IsJapanese(std::string_view loc) {
  if (loc.size() >= 5 && support::HasNoCase(loc, 0, "ja-jp") && (loc.size() == 5 || loc[5] == '-'))
    return true;
  unsigned long id = 0;
  auto r = std::from_chars(loc.data(), loc.data() + loc.size(), id, 16);
  return !loc.empty() && r.ec == std::errc() && r.ptr == loc.data() + loc.size() &&
         (id & 0xFFFF) == 0x411;
}

// Handles one [...] element: colour, condition, currency or locale tag, elapsed time. The system
// date and time tags replace the tokens of the section (replaced is set).
void ParseBracket(std::string_view body, Section& sec, std::vector<Token>& t, bool& replaced) {
  static constexpr std::array<std::string_view, 8> kColors = {"black", "white",  "red",     "green",
                                                              "blue",  "yellow", "magenta", "cyan"};
  for (std::size_t i = 0; i < kColors.size(); ++i) {
    if (support::EqualsNoCase(body, kColors[i])) {
      sec.color = static_cast<int>(8 + i);
      return;
    }
  }
  if (body.size() > 5 && support::HasNoCase(body, 0, "color")) {
    int n = 0;
    auto r = std::from_chars(body.data() + 5, body.data() + body.size(), n);
    if (r.ec == std::errc() && r.ptr == body.data() + body.size() && n >= 1 && n <= 56)
      sec.color = n + 7;
    return;
  }
  if (!body.empty() && (body[0] == '<' || body[0] == '>' || body[0] == '=')) {
    std::size_t i = 1;
    Cmp c = Cmp::None;
    if (body[0] == '<') {
      if (body.size() > 1 && body[1] == '=')
        c = Cmp::Le, i = 2;
      else if (body.size() > 1 && body[1] == '>')
        c = Cmp::Ne, i = 2;
      else
        c = Cmp::Lt;
    } else if (body[0] == '>') {
      if (body.size() > 1 && body[1] == '=')
        c = Cmp::Ge, i = 2;
      else
        c = Cmp::Gt;
    } else {
      c = Cmp::Eq;
    }
    while (i < body.size() && body[i] == ' ') ++i;
    double v = 0;
    auto r = std::from_chars(body.data() + i, body.data() + body.size(), v);
    if (r.ec == std::errc()) {
      sec.cmp = c;
      sec.cmpValue = v;
    }
    return;
  }
  if (!body.empty() && body[0] == '$') {
    // [$sym-locale]: the symbol is shown; the locale is ignored except the system date and time.
    std::string_view rest = body.substr(1);
    std::size_t dash = rest.find('-');
    std::string_view sym = dash == std::string_view::npos ? rest : rest.substr(0, dash);
    std::string_view loc =
        dash == std::string_view::npos ? std::string_view() : rest.substr(dash + 1);
    const bool sysDate =
        support::EqualsNoCase(loc, "F800") || support::EqualsNoCase(loc, "x-sysdate");
    const bool sysTime =
        support::EqualsNoCase(loc, "F400") || support::EqualsNoCase(loc, "x-systime");
    if (IsJapanese(loc)) sec.eras = true;
    if (sym.empty() && (sysDate || sysTime)) {
      Section repl;
      ParseSection(sysDate ? kLongDate : kLongTime, repl);
      t = std::move(repl.tokens);
      replaced = true;
      return;
    }
    if (!sym.empty()) AddLit(t, sym);
    return;
  }
  // Elapsed time: [h], [hh], [m], [mm], [s], [ss].
  if (!body.empty()) {
    char c = support::AsciiLower(body[0]);
    bool same = true;
    for (char x : body) same = same && support::AsciiLower(x) == c;
    if (same && (c == 'h' || c == 'm' || c == 's')) {
      Tok k = c == 'h' ? Tok::ElapsedH : c == 'm' ? Tok::ElapsedM : Tok::ElapsedS;
      t.push_back({k, static_cast<uint8_t>(std::min<std::size_t>(body.size(), 20)), {}});
      return;
    }
  }
  // Anything else ([DBNum1], [natnum], ...) is ignored.
}

// After the system date or time has replaced the section, the rest is skipped but for a colour
// or condition: returns the position after the element at `i`.
std::size_t SkipReplaced(std::string_view s, std::size_t i, Section& sec) {
  const char c = s[i];
  if (c == '[') {
    std::size_t close = s.find(']', i + 1);
    if (close == std::string_view::npos) return s.size();
    std::vector<Token> ignored;
    bool again = false;
    std::string_view body = s.substr(i + 1, close - i - 1);
    if (!body.empty() && body[0] != '$') ParseBracket(body, sec, ignored, again);
    return close + 1;
  }
  if (c == '"') {
    std::size_t close = s.find('"', i + 1);
    return close == std::string_view::npos ? s.size() : close + 1;
  }
  if ((c == '\\' || c == '_' || c == '*') && i + 1 < s.size()) return i + 1 + Utf8Len(s, i + 1);
  return i + Utf8Len(s, i);
}

// The elements of one character or a quoted or bracketed run: quotes, escapes, spaces, fills,
// brackets, placeholders, the point, commas, percent, the slash, '@'. Advances `i` past the
// element and returns true, or returns false for any other character.
bool ParseSymbol(std::string_view s, std::size_t& i, Section& sec, bool& replaced) {
  std::vector<Token>& t = sec.tokens;
  switch (s[i]) {
    case '"': {
      std::size_t close = s.find('"', i + 1);
      if (close == std::string_view::npos) close = s.size();
      AddLit(t, s.substr(i + 1, close - i - 1));
      i = close + 1;
      return true;
    }
    case '\\': {
      if (i + 1 < s.size()) {
        std::size_t len = Utf8Len(s, i + 1);
        AddLit(t, s.substr(i + 1, len));
        i += 1 + len;
      } else {
        ++i;
      }
      return true;
    }
    case '_': {
      AddLit(t, " ");
      i += 1 + (i + 1 < s.size() ? Utf8Len(s, i + 1) : 0);
      return true;
    }
    case '*': {
      if (i + 1 < s.size()) {
        std::size_t len = Utf8Len(s, i + 1);
        t.push_back({Tok::Fill, 0, std::string(s.substr(i + 1, len))});
        i += 1 + len;
      } else {
        ++i;
      }
      return true;
    }
    case '[': {
      std::size_t close = s.find(']', i + 1);
      if (close == std::string_view::npos) {
        AddLit(t, s.substr(i));
        i = s.size();
        return true;
      }
      ParseBracket(s.substr(i + 1, close - i - 1), sec, t, replaced);
      i = close + 1;
      return true;
    }
    case '0':
      t.push_back({Tok::Zero, 0, {}});
      ++i;
      return true;
    case '#':
      t.push_back({Tok::Hash, 0, {}});
      ++i;
      return true;
    case '?':
      t.push_back({Tok::Quest, 0, {}});
      ++i;
      return true;
    case '.':
      t.push_back({Tok::Point, 0, {}});
      ++i;
      return true;
    case ',':
      t.push_back({Tok::Comma, 0, {}});
      ++i;
      return true;
    case '%':
      t.push_back({Tok::Percent, 0, {}});
      ++i;
      return true;
    case '/': {
      t.push_back({Tok::Slash, 0, {}});
      ++i;
      // A number after the slash is a fixed denominator: keep its digits together as text.
      if (i < s.size() && s[i] >= '1' && s[i] <= '9') {
        std::size_t j = i;
        while (j < s.size() && s[j] >= '0' && s[j] <= '9') ++j;
        t.push_back({Tok::Lit, 0, std::string(s.substr(i, j - i))});
        i = j;
      }
      return true;
    }
    case '@':
      t.push_back({Tok::At, 0, {}});
      ++i;
      return true;
    default:
      return false;
  }
}

// The elements that are letters: exponents, General, AM/PM, eras and the date and time codes.
// Advances `i` and returns true, or returns false for any other text.
bool ParseWord(std::string_view s, std::size_t& i, std::vector<Token>& t) {
  const char lc = support::AsciiLower(s[i]);
  if ((lc == 'e') && i + 1 < s.size() && (s[i + 1] == '+' || s[i + 1] == '-')) {
    t.push_back({Tok::Exp, static_cast<uint8_t>(s[i + 1] == '+'), {}});
    i += 2;
    return true;
  }
  if (support::HasNoCase(s, i, "general")) {
    t.push_back({Tok::General, 0, {}});
    i += 7;
    return true;
  }
  if (support::HasNoCase(s, i, "am/pm")) {
    t.push_back({Tok::AmPm, 0, std::string(s.substr(i, 5))});
    i += 5;
    return true;
  }
  if (support::HasNoCase(s, i, "a/p")) {
    t.push_back({Tok::AmPm, 1, std::string(s.substr(i, 3))});
    i += 3;
    return true;
  }
  if (lc == 'g') {
    std::size_t j = i;
    while (j < s.size() && support::AsciiLower(s[j]) == 'g') ++j;
    t.push_back({Tok::Era, 0, std::string(s.substr(i, j - i))});
    i = j;
    return true;
  }
  if (lc == 'y' || lc == 'm' || lc == 'd' || lc == 'h' || lc == 's' || lc == 'e') {
    std::size_t j = i;
    while (j < s.size() && support::AsciiLower(s[j]) == lc) ++j;
    int n = static_cast<int>(std::min<std::size_t>(j - i, 20));
    Tok k = lc == 'y'   ? Tok::Year
            : lc == 'e' ? Tok::EraYear
            : lc == 'm' ? Tok::Month
            : lc == 'd' ? Tok::Day
            : lc == 'h' ? Tok::Hour
                        : Tok::Second;
    t.push_back({k, static_cast<uint8_t>(n), {}});
    i = j;
    return true;
  }
  return false;
}

void ParseSection(std::string_view s, Section& sec) {
  bool replaced = false;
  std::size_t i = 0;
  while (i < s.size()) {
    if (replaced) {
      i = SkipReplaced(s, i, sec);
    } else if (!ParseSymbol(s, i, sec, replaced) && !ParseWord(s, i, sec.tokens)) {
      std::size_t len = Utf8Len(s, i);
      AddLit(sec.tokens, s.substr(i, len));
      i += len;
    }
  }
}

bool IsDateTok(Tok k) {
  switch (k) {
    case Tok::Year:
    case Tok::EraYear:
    case Tok::Month:
    case Tok::Day:
    case Tok::Hour:
    case Tok::Minute:
    case Tok::Second:
    case Tok::AmPm:
    case Tok::ElapsedH:
    case Tok::ElapsedM:
    case Tok::ElapsedS:
      return true;
    default:
      return false;
  }
}

char PlaceholderChar(Tok k) { return k == Tok::Zero ? '0' : k == Tok::Hash ? '#' : '?'; }

// Turns tokens that mean nothing in a date section back into text, finds minutes and fractions of
// a second.
void FinishDate(Section& sec) {
  auto& t = sec.tokens;
  std::vector<Token> out;
  out.reserve(t.size());
  for (std::size_t i = 0; i < t.size(); ++i) {
    Token tok = t[i];
    switch (tok.kind) {
      case Tok::Point: {
        // ".0", ".00", ".000" after seconds: fractions of a second.
        bool afterSeconds = false;
        for (std::size_t k = out.size(); k-- > 0;) {
          if (out[k].kind == Tok::Lit) continue;
          afterSeconds = out[k].kind == Tok::Second || out[k].kind == Tok::ElapsedS;
          break;
        }
        std::size_t j = i + 1;
        while (j < t.size() && t[j].kind == Tok::Zero && j - i <= 3) ++j;
        if (afterSeconds && j > i + 1) {
          int digits = static_cast<int>(j - i - 1);
          out.push_back({Tok::SubSec, static_cast<uint8_t>(digits), {}});
          sec.subsec = std::max(sec.subsec, digits);
          i = j - 1;
        } else {
          AddLit(out, ".");
        }
        break;
      }
      case Tok::Zero:
      case Tok::Hash:
      case Tok::Quest:
        AddLit(out, std::string(1, PlaceholderChar(tok.kind)));
        break;
      case Tok::Comma:
        AddLit(out, ",");
        break;
      case Tok::Percent:
        AddLit(out, "%");
        break;
      case Tok::Slash:
        AddLit(out, "/");
        break;
      case Tok::Exp:
        AddLit(out, tok.n ? "E+" : "E-");
        break;
      case Tok::Lit:
        AddLit(out, tok.text);
        break;
      default:
        out.push_back(std::move(tok));
    }
  }
  t = std::move(out);
  // m/mm right after an hour or right before a second is minutes.
  for (std::size_t i = 0; i < t.size(); ++i) {
    if (t[i].kind != Tok::Month || t[i].n > 2) continue;
    bool minute = false;
    for (std::size_t k = i; k-- > 0;) {
      if (t[k].kind == Tok::Lit) continue;
      minute = t[k].kind == Tok::Hour || t[k].kind == Tok::ElapsedH;
      break;
    }
    for (std::size_t k = i + 1; !minute && k < t.size(); ++k) {
      if (t[k].kind == Tok::Lit) continue;
      minute = t[k].kind == Tok::Second || t[k].kind == Tok::ElapsedS;
      break;
    }
    if (minute) t[i].kind = Tok::Minute;
  }
  for (const auto& tok : t) sec.ampm = sec.ampm || tok.kind == Tok::AmPm;
}

// A fraction: a slash with placeholders (or a fixed number) after it and placeholders before
// it, in a section without a point or an exponent. Lays it out and returns true, else false.
bool FinishFraction(Section& sec) {
  auto& t = sec.tokens;
  NumberLayout& L = sec.num;
  const int n = static_cast<int>(t.size());
  int slash = -1;
  for (int i = 0; i < n; ++i) {
    if (t[i].kind == Tok::Slash) {
      slash = i;
      break;
    }
  }
  bool hasExp = false, hasPoint = false;
  for (const auto& tok : t) {
    hasExp = hasExp || tok.kind == Tok::Exp;
    hasPoint = hasPoint || tok.kind == Tok::Point;
  }
  if (slash > 0 && !hasExp && !hasPoint && IsDigitTok(t[slash - 1].kind)) {
    int j = slash + 1;
    int denEnd = j;
    long fixed = 0;
    int denDigits = 0;
    if (j < n && t[j].kind == Tok::Lit && t[j].text[0] >= '1' && t[j].text[0] <= '9') {
      // Fixed denominator: the leading digits of the text after the slash.
      std::string& txt = t[j].text;
      std::size_t k = 0;
      while (k < txt.size() && txt[k] >= '0' && txt[k] <= '9' && fixed < 100000000) {
        fixed = fixed * 10 + (txt[k] - '0');
        ++k;
      }
      if (k < txt.size()) {
        // Split the rest of the text off as its own literal.
        Token rest{Tok::Lit, 0, txt.substr(k)};
        txt.resize(k);
        t.insert(t.begin() + j + 1, std::move(rest));
      }
      denEnd = j + 1;
      denDigits = static_cast<int>(k);
    } else {
      while (denEnd < static_cast<int>(t.size()) && IsDigitTok(t[denEnd].kind)) ++denEnd;
      denDigits = denEnd - j;
    }
    if (denDigits > 0) {
      L.fraction = true;
      L.fixedDen = fixed;
      L.denStart = j;
      L.denEnd = denEnd;
      L.denDigits = fixed ? 0 : denDigits;
      // Numerator: the run of placeholders right before the slash (literals between allowed).
      int numStart = slash - 1;
      while (numStart > 0 && IsDigitTok(t[numStart - 1].kind)) --numStart;
      L.numStart = numStart;
      L.numEnd = slash;
      L.intStart = 0;
      // A whole-number part: placeholders before the numerator (separated by text).
      bool wholePart = false;
      for (int i = 0; i < numStart; ++i) wholePart = wholePart || IsDigitTok(t[i].kind);
      L.fracIntEnd = wholePart ? numStart : -1;
      // The text between the whole part and the numerator stays with the numerator section.
      if (wholePart) {
        int lastWhole = numStart - 1;
        while (lastWhole >= 0 && !IsDigitTok(t[lastWhole].kind)) --lastWhole;
        L.fracIntEnd = lastWhole + 1;
      }
      for (int i = 0; i < static_cast<int>(t.size()); ++i) {
        if (t[i].kind == Tok::Percent) L.scale += 2;
        if (t[i].kind == Tok::Comma) {
          t[i].kind = Tok::Lit;
          t[i].text.assign(1, ',');
        }
      }
      return true;
    }
  }
  return false;
}

// Commas: between placeholders of the integer part a thousands separator; right after the last
// placeholder before the point (or the end of the mantissa) each divides by 1000; elsewhere
// text. Every comma is decided first, then rewritten; the removed ones are dropped and texts
// side by side merged.
void ResolveCommas(std::vector<Token>& t, NumberLayout& L, int point, int mantEnd, int firstDigit) {
  const int n = static_cast<int>(t.size());
  std::vector<uint8_t> role(static_cast<std::size_t>(n), 0);  // 1 thousands, 2 scaling, 3 text
  for (int i = 0; i < n; ++i) {
    if (t[i].kind != Tok::Comma) continue;
    bool prevDigit = false, nextDigit = false;
    for (int k = i - 1; k >= 0; --k) {
      if (t[k].kind == Tok::Comma) continue;
      prevDigit = IsDigitTok(t[k].kind);
      break;
    }
    for (int k = i + 1; k < n; ++k) {
      if (t[k].kind == Tok::Comma) continue;
      nextDigit = IsDigitTok(t[k].kind);
      break;
    }
    bool inInt = (point < 0 || i < point) && i < mantEnd;
    if (prevDigit && nextDigit && inInt && i > firstDigit)
      role[i] = 1;
    else if (prevDigit && !nextDigit && i < mantEnd)
      role[i] = 2;
    else
      role[i] = 3;
  }
  for (int i = 0; i < n; ++i) {
    if (role[i] == 0) continue;
    if (role[i] == 1) L.thousands = true;
    if (role[i] == 2) L.scale -= 3;
    t[i] = {Tok::Lit, 1, role[i] == 3 ? "," : ""};
  }
  // Drop the removed separators and merge texts.
  std::vector<Token> out;
  out.reserve(t.size());
  for (auto& tok : t) {
    if (tok.kind == Tok::Lit && tok.text.empty()) continue;
    if (tok.kind == Tok::Lit)
      AddLit(out, tok.text);
    else
      out.push_back(std::move(tok));
  }
  t = std::move(out);
}

// Plain and scientific layouts (or a fraction): where the integer, decimal and exponent parts
// lie, and what the commas and percent signs do.
void FinishNumber(Section& sec) {
  auto& t = sec.tokens;
  NumberLayout& L = sec.num;
  const int n = static_cast<int>(t.size());
  int firstDigit = -1;
  for (int i = 0; i < n; ++i) {
    if (IsDigitTok(t[i].kind)) {
      if (firstDigit < 0) firstDigit = i;
    }
  }
  if (FinishFraction(sec)) return;
  // Plain or scientific.
  int point = -1, exp = -1;
  for (int i = 0; i < n; ++i) {
    if (t[i].kind == Tok::Point && point < 0 && exp < 0)
      point = i;
    else if (t[i].kind == Tok::Point)
      t[i] = {Tok::Lit, 0, "."};
    if (t[i].kind == Tok::Exp) {
      if (exp < 0)
        exp = i;
      else
        t[i] = {Tok::Lit, 0, t[i].n ? "E+" : "E-"};
    }
    if (t[i].kind == Tok::Slash) t[i] = {Tok::Lit, 0, "/"};
  }
  int mantEnd = exp >= 0 ? exp : n;
  ResolveCommas(t, L, point, mantEnd, firstDigit);
  const int m = static_cast<int>(t.size());
  point = exp = -1;
  for (int i = 0; i < m; ++i) {
    if (t[i].kind == Tok::Point && point < 0) point = i;
    if (t[i].kind == Tok::Exp && exp < 0) exp = i;
    if (t[i].kind == Tok::Percent) L.scale += 2;
  }
  L.intStart = 0;
  L.intEnd = point >= 0 ? point : (exp >= 0 ? exp : m);
  if (point >= 0) {
    L.decStart = point + 1;
    L.decEnd = exp >= 0 ? exp : m;
    L.decimals = CountDigits(t, L.decStart, L.decEnd);
  }
  L.intPlaceholders = CountDigits(t, L.intStart, L.intEnd);
  if (exp >= 0) {
    L.scientific = true;
    L.expPlus = t[exp].n != 0;
    L.expStart = exp + 1;
    L.expEnd = m;
    L.expDigits = CountDigits(t, L.expStart, m);
    // A percent sign after the exponent still scales.
  }
}

void Classify(Section& sec) {
  bool date = false, at = false, digits = false, general = false, point = false;
  for (const auto& tok : sec.tokens) {
    point = point || tok.kind == Tok::Point;
    date = date || IsDateTok(tok.kind) || (tok.kind == Tok::Era && sec.eras);
    at = at || tok.kind == Tok::At;
    digits = digits || IsDigitTok(tok.kind);
    general = general || tok.kind == Tok::General;
  }
  if (at) {
    sec.kind = Kind::Text;
  } else if (date) {
    sec.kind = Kind::Date;
    FinishDate(sec);
  } else if (digits) {
    sec.kind = Kind::Number;
    FinishNumber(sec);
  } else if (general) {
    sec.kind = Kind::General;
  } else if (point) {
    // A point without placeholders still shows the integer part before it.
    sec.kind = Kind::Number;
    FinishNumber(sec);
  } else {
    sec.kind = Kind::Literal;
  }
  // Text in sections other than dates: date letters outside a date section are literal.
  if (sec.kind != Kind::Date) {
    std::vector<Token> out;
    out.reserve(sec.tokens.size());
    for (auto& tok : sec.tokens) {
      switch (tok.kind) {
        case Tok::Year:
          AddLit(out, std::string(tok.n, 'y'));
          break;
        case Tok::Month:
          AddLit(out, std::string(tok.n, 'm'));
          break;
        case Tok::Day:
          AddLit(out, std::string(tok.n, 'd'));
          break;
        case Tok::Hour:
          AddLit(out, std::string(tok.n, 'h'));
          break;
        case Tok::Second:
          AddLit(out, std::string(tok.n, 's'));
          break;
        case Tok::AmPm:
          AddLit(out, tok.text);
          break;
        case Tok::Era:
          AddLit(out, tok.text);
          break;
        default:
          if (sec.kind == Kind::Text || sec.kind == Kind::Literal || sec.kind == Kind::General) {
            switch (tok.kind) {
              case Tok::Zero:
              case Tok::Hash:
              case Tok::Quest:
                AddLit(out, std::string(1, PlaceholderChar(tok.kind)));
                continue;
              case Tok::Point:
                AddLit(out, ".");
                continue;
              case Tok::Comma:
                AddLit(out, ",");
                continue;
              case Tok::Percent:
                AddLit(out, "%");
                continue;
              case Tok::Slash:
                AddLit(out, "/");
                continue;
              case Tok::Exp:
                AddLit(out, tok.n ? "E+" : "E-");
                continue;
              default:
                break;
            }
          }
          if (tok.kind == Tok::Lit)
            AddLit(out, tok.text);
          else
            out.push_back(std::move(tok));
      }
    }
    if (sec.kind == Kind::Number) {
      // Token positions changed only where date letters became text; recompute the layout.
      bool changed = out.size() != sec.tokens.size();
      sec.tokens = std::move(out);
      if (changed) {
        sec.num = NumberLayout{};
        FinishNumber(sec);
      }
    } else {
      sec.tokens = std::move(out);
    }
  }
}

}  // namespace

void Compile(std::string_view code, NumberFormat::Compiled& c) {
  c.code = std::string(code);
  // Split into sections at ';' outside quotes, brackets and escapes.
  std::size_t start = 0;
  bool quote = false;
  int bracket = 0;
  for (std::size_t i = 0; i <= code.size(); ++i) {
    if (i < code.size()) {
      char ch = code[i];
      if (quote) {
        if (ch == '"') quote = false;
        continue;
      }
      if (ch == '"') {
        quote = true;
        continue;
      }
      if (ch == '\\' || ch == '_' || ch == '*') {
        ++i;
        continue;
      }
      if (ch == '[') {
        ++bracket;
        continue;
      }
      if (ch == ']') {
        if (bracket > 0) --bracket;
        continue;
      }
      if (ch != ';' || bracket > 0) continue;
    }
    if (c.sections.size() < 4) {
      Section sec;
      sec.eras = !c.sections.empty() && c.sections.back().eras;  // a locale holds for the rest
      ParseSection(code.substr(start, i - start), sec);
      Classify(sec);
      c.sections.push_back(std::move(sec));
    }
    start = i + 1;
  }
  c.hidesAll = c.sections.size() == 4;
  for (const Section& sec : c.sections) c.hidesAll = c.hidesAll && sec.tokens.empty();
  c.general = c.sections.size() == 1 && c.sections[0].kind == Kind::General &&
              c.sections[0].tokens.size() == 1 && c.sections[0].color < 0 &&
              c.sections[0].cmp == Cmp::None;
}

}  // namespace quillane::format
