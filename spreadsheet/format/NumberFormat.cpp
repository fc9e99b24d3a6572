#include "spreadsheet/format/NumberFormat.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <vector>

namespace quillane::format {

namespace {

// ---------------------------------------------------------------------------------------------
// Decimal digits of a value: at most 15 significant digits, as the application keeps them.

struct Decimal {
  char d[24];    // significant digits '0'..'9', no trailing zeros
  int n = 0;     // number of digits; 0 means the value zero
  int exp = 0;   // power of ten of d[0]
  int Digit(int power) const {
    int i = exp - power;
    return (i >= 0 && i < n) ? d[i] - '0' : 0;
  }
};

// |value| to 15 significant digits (the binary value rounded to nearest, as the application
// stores what it shows); later roundings work on these decimal digits, halves away from zero.
Decimal ToDecimal(double value) {
  Decimal x;
  value = std::fabs(value);
  if (value == 0 || !std::isfinite(value)) return x;
  char buf[40];
  auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 14);
  const char* p = buf;
  const char* end = res.ptr;
  while (p < end && *p != 'e') {
    if (*p >= '0' && *p <= '9') x.d[x.n++] = *p;
    ++p;
  }
  int e = 0;
  if (p < end) std::from_chars(p + 1 + (p[1] == '+'), end, e);
  x.exp = e;
  while (x.n > 0 && x.d[x.n - 1] == '0') --x.n;
  if (x.n == 0) x.exp = 0;
  return x;
}

// Rounds to the power of ten `power` (keeps digits down to 10^power), halves away from zero.
void RoundAt(Decimal& x, int power) {
  if (x.n == 0) return;
  int keep = x.exp - power + 1;  // digits kept
  if (keep >= x.n) return;
  if (keep < 0) {
    x.n = 0;
    x.exp = 0;
    return;
  }
  bool up = x.d[keep] >= '5';
  x.n = keep;
  if (up) {
    int i = keep - 1;
    while (i >= 0 && x.d[i] == '9') --i;
    if (i < 0) {
      x.d[0] = '1';
      x.n = 1;
      x.exp += 1;
    } else {
      x.d[i] += 1;
      x.n = i + 1;
    }
  }
  while (x.n > 0 && x.d[x.n - 1] == '0') --x.n;
  if (x.n == 0) x.exp = 0;
}

bool IsZero(const Decimal& x) { return x.n == 0; }

// Length in bytes of the UTF-8 sequence starting at s[i] (at least 1, never past the end).
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
  for (std::size_t k = 1; k < len; ++k) v = (v << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
  return v;
}

void AppendInt(long long v, int minDigits, std::string& out) {
  char buf[24];
  auto res = std::to_chars(buf, buf + sizeof buf, v);
  for (int k = static_cast<int>(res.ptr - buf); k < minDigits; ++k) out += '0';
  out.append(buf, res.ptr);
}

// ---------------------------------------------------------------------------------------------
// General

void AppendExponent(int e, std::string& out) {
  out += 'E';
  out += e < 0 ? '-' : '+';
  AppendInt(e < 0 ? -e : e, 2, out);
}

void AppendDigits(const Decimal& x, int from, int to, std::string& out) {
  for (int p = from; p >= to; --p) out += static_cast<char>('0' + x.Digit(p));
}

// General: the decimal form when it fits in the cell (11 characters, the minus sign included),
// else d.ddddE+xx; both from the value's 15 significant digits.
void GeneralImpl(double value, std::string& out) {
  if (!std::isfinite(value)) {
    out += "#NUM!";
    return;
  }
  Decimal x = ToDecimal(value);
  if (IsZero(x)) {
    out += '0';
    return;
  }
  const bool neg = value < 0;
  const int width = neg ? 10 : 11;
  if (neg) out += '-';
  // Decimal form for 1E-5 < |value| < 1E11 when it fits.
  if (x.exp >= -5 && x.exp <= 10) {
    Decimal r = x;
    // Characters before the decimals: the integer digits (or "0") and the point.
    int intChars = r.exp >= 0 ? r.exp + 1 : 1;
    int decimals = width - intChars - 1;
    if (decimals < 0) decimals = 0;
    RoundAt(r, -decimals);
    int intDigits = r.exp >= 0 ? r.exp + 1 : 1;
    if (!IsZero(r) && intDigits <= width && !(x.exp < -4 && r.exp < -4)) {
      int last = r.n > 0 ? r.exp - r.n + 1 : 0;  // lowest power with a significant digit
      AppendDigits(r, intDigits - 1, 0, out);
      if (last < 0) {
        out += '.';
        AppendDigits(r, -1, last, out);
      }
      return;
    }
  }
  // Scientific: d.ddddE+xx within the width.
  Decimal r = x;
  int expChars = (std::abs(r.exp) >= 100) ? 5 : 4;
  int mant = width - expChars - 2;  // decimals of the mantissa
  RoundAt(r, r.exp - mant);
  if (std::abs(r.exp) >= 100 && expChars == 4) {
    r = x;
    mant = width - 5 - 2;
    RoundAt(r, r.exp - mant);
  }
  out += static_cast<char>('0' + r.Digit(r.exp));
  if (r.n > 1) {
    out += '.';
    AppendDigits(r, r.exp - 1, r.exp - r.n + 1, out);
  }
  AppendExponent(r.exp, out);
}

// ---------------------------------------------------------------------------------------------
// Compiled form

enum class Tok : uint8_t {
  Lit,         // text
  Zero, Hash, Quest,  // digit placeholders
  Point, Comma, Percent,
  Exp,         // E+ / E-: n = 1 for '+'
  Slash,
  At, General, Fill,
  Year, Month, Day, Hour, Minute, Second, AmPm, ElapsedH, ElapsedM, ElapsedS, SubSec,
  Era,         // g, gg, ggg: the era of an East Asian calendar, not shown in en-US
};

struct Token {
  Tok kind;
  uint8_t n = 0;         // count (yy=2, mmm=3...), AmPm variant, fixed denominator flag...
  std::string text;      // Lit text; AmPm: the code text; Fill: the character
};

enum class Kind : uint8_t { Number, Date, Text, Literal, General };

enum class Cmp : uint8_t { None, Lt, Le, Gt, Ge, Eq, Ne };

// Layout of a number section, found once at compile time.
struct NumberLayout {
  int intStart = 0, intEnd = 0;    // token range [start, end) of the integer part
  int decStart = -1, decEnd = -1;  // decimal part after the point (point at decStart-1)
  int expStart = -1, expEnd = -1;  // exponent digits after the Exp token
  int decimals = 0;                // digit placeholders after the point
  int intPlaceholders = 0;
  bool thousands = false;
  int scale = 0;                   // power of ten applied: +2 per %, -3 per scaling comma
  bool scientific = false;
  bool expPlus = false;
  int expDigits = 0;
  // Fractions
  bool fraction = false;
  int fracIntEnd = -1;   // tokens [intStart, fracIntEnd) are the whole-number part; -1: none
  int numStart = 0, numEnd = 0, denStart = 0, denEnd = 0;  // token ranges
  int denDigits = 0;     // placeholder count of the denominator
  long fixedDen = 0;     // fixed denominator, or 0
};

struct Section {
  std::vector<Token> tokens;
  Kind kind = Kind::Literal;
  Cmp cmp = Cmp::None;
  double cmpValue = 0;
  int color = -1;
  bool ampm = false;
  int subsec = 0;   // digits of fractions of a second
  NumberLayout num;
};

}  // namespace

struct NumberFormat::Compiled {
  std::string code;
  std::vector<Section> sections;
  bool general = false;  // the whole code is General
};

namespace {

bool IEquals(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

bool IStartsWith(std::string_view s, std::size_t i, std::string_view p) {
  return s.size() - i >= p.size() && IEquals(s.substr(i, p.size()), p);
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

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

// Handles one [...] element: colour, condition, currency or locale tag, elapsed time. The system
// date and time tags replace the tokens of the section (replaced is set).
void ParseBracket(std::string_view body, Section& sec, std::vector<Token>& t, bool& replaced) {
  static constexpr std::array<std::string_view, 8> kColors = {
      "black", "white", "red", "green", "blue", "yellow", "magenta", "cyan"};
  for (std::size_t i = 0; i < kColors.size(); ++i) {
    if (IEquals(body, kColors[i])) {
      sec.color = static_cast<int>(8 + i);
      return;
    }
  }
  if (body.size() > 5 && IStartsWith(body, 0, "color")) {
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
      if (body.size() > 1 && body[1] == '=') c = Cmp::Le, i = 2;
      else if (body.size() > 1 && body[1] == '>') c = Cmp::Ne, i = 2;
      else c = Cmp::Lt;
    } else if (body[0] == '>') {
      if (body.size() > 1 && body[1] == '=') c = Cmp::Ge, i = 2;
      else c = Cmp::Gt;
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
    std::string_view loc = dash == std::string_view::npos ? std::string_view() : rest.substr(dash + 1);
    const bool sysDate = IEquals(loc, "F800") || IEquals(loc, "x-sysdate");
    const bool sysTime = IEquals(loc, "F400") || IEquals(loc, "x-systime");
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
    char c = Lower(body[0]);
    bool same = true;
    for (char x : body) same = same && Lower(x) == c;
    if (same && (c == 'h' || c == 'm' || c == 's')) {
      Tok k = c == 'h' ? Tok::ElapsedH : c == 'm' ? Tok::ElapsedM : Tok::ElapsedS;
      t.push_back({k, static_cast<uint8_t>(std::min<std::size_t>(body.size(), 20)), {}});
      return;
    }
  }
  // Anything else ([DBNum1], [natnum], ...) is ignored.
}

void ParseSection(std::string_view s, Section& sec) {
  std::vector<Token>& t = sec.tokens;
  bool replaced = false;
  std::size_t i = 0;
  while (i < s.size()) {
    char c = s[i];
    char lc = Lower(c);
    if (replaced) {
      // The system date or time replaces the rest of the section, except a colour or condition.
      if (c == '[') {
        std::size_t close = s.find(']', i + 1);
        if (close == std::string_view::npos) break;
        std::vector<Token> ignored;
        bool again = false;
        std::string_view body = s.substr(i + 1, close - i - 1);
        if (!body.empty() && body[0] != '$') ParseBracket(body, sec, ignored, again);
        i = close + 1;
      } else if (c == '"') {
        std::size_t close = s.find('"', i + 1);
        i = close == std::string_view::npos ? s.size() : close + 1;
      } else if ((c == '\\' || c == '_' || c == '*') && i + 1 < s.size()) {
        i += 1 + Utf8Len(s, i + 1);
      } else {
        i += Utf8Len(s, i);
      }
      continue;
    }
    switch (c) {
      case '"': {
        std::size_t close = s.find('"', i + 1);
        if (close == std::string_view::npos) close = s.size();
        AddLit(t, s.substr(i + 1, close - i - 1));
        i = close + 1;
        continue;
      }
      case '\\': {
        if (i + 1 < s.size()) {
          std::size_t len = Utf8Len(s, i + 1);
          AddLit(t, s.substr(i + 1, len));
          i += 1 + len;
        } else {
          ++i;
        }
        continue;
      }
      case '_': {
        AddLit(t, " ");
        i += 1 + (i + 1 < s.size() ? Utf8Len(s, i + 1) : 0);
        continue;
      }
      case '*': {
        if (i + 1 < s.size()) {
          std::size_t len = Utf8Len(s, i + 1);
          t.push_back({Tok::Fill, 0, std::string(s.substr(i + 1, len))});
          i += 1 + len;
        } else {
          ++i;
        }
        continue;
      }
      case '[': {
        std::size_t close = s.find(']', i + 1);
        if (close == std::string_view::npos) {
          AddLit(t, s.substr(i));
          i = s.size();
          continue;
        }
        ParseBracket(s.substr(i + 1, close - i - 1), sec, t, replaced);
        i = close + 1;
        continue;
      }
      case '0': t.push_back({Tok::Zero, 0, {}}); ++i; continue;
      case '#': t.push_back({Tok::Hash, 0, {}}); ++i; continue;
      case '?': t.push_back({Tok::Quest, 0, {}}); ++i; continue;
      case '.': t.push_back({Tok::Point, 0, {}}); ++i; continue;
      case ',': t.push_back({Tok::Comma, 0, {}}); ++i; continue;
      case '%': t.push_back({Tok::Percent, 0, {}}); ++i; continue;
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
        continue;
      }
      case '@': t.push_back({Tok::At, 0, {}}); ++i; continue;
      default: break;
    }
    if ((lc == 'e') && i + 1 < s.size() && (s[i + 1] == '+' || s[i + 1] == '-')) {
      t.push_back({Tok::Exp, static_cast<uint8_t>(s[i + 1] == '+'), {}});
      i += 2;
      continue;
    }
    if (IStartsWith(s, i, "general")) {
      t.push_back({Tok::General, 0, {}});
      i += 7;
      continue;
    }
    if (IStartsWith(s, i, "am/pm")) {
      t.push_back({Tok::AmPm, 0, std::string(s.substr(i, 5))});
      i += 5;
      continue;
    }
    if (IStartsWith(s, i, "a/p")) {
      t.push_back({Tok::AmPm, 1, std::string(s.substr(i, 3))});
      i += 3;
      continue;
    }
    if (lc == 'g') {
      std::size_t j = i;
      while (j < s.size() && Lower(s[j]) == 'g') ++j;
      t.push_back({Tok::Era, 0, std::string(s.substr(i, j - i))});
      i = j;
      continue;
    }
    if (lc == 'y' || lc == 'm' || lc == 'd' || lc == 'h' || lc == 's' || lc == 'e') {
      std::size_t j = i;
      while (j < s.size() && Lower(s[j]) == lc) ++j;
      int n = static_cast<int>(std::min<std::size_t>(j - i, 20));
      Tok k = lc == 'y' || lc == 'e' ? Tok::Year
              : lc == 'm'            ? Tok::Month
              : lc == 'd'            ? Tok::Day
              : lc == 'h'            ? Tok::Hour
                                     : Tok::Second;
      if (lc == 'e') n = 4;
      t.push_back({k, static_cast<uint8_t>(n), {}});
      i = j;
      continue;
    }
    std::size_t len = Utf8Len(s, i);
    AddLit(t, s.substr(i, len));
    i += len;
  }
}

bool IsDigitTok(Tok k) { return k == Tok::Zero || k == Tok::Hash || k == Tok::Quest; }

bool IsDateTok(Tok k) {
  switch (k) {
    case Tok::Year: case Tok::Month: case Tok::Day: case Tok::Hour: case Tok::Minute:
    case Tok::Second: case Tok::AmPm: case Tok::ElapsedH: case Tok::ElapsedM: case Tok::ElapsedS:
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
      case Tok::Zero: case Tok::Hash: case Tok::Quest:
        AddLit(out, std::string(1, PlaceholderChar(tok.kind)));
        break;
      case Tok::Comma: AddLit(out, ","); break;
      case Tok::Percent: AddLit(out, "%"); break;
      case Tok::Slash: AddLit(out, "/"); break;
      case Tok::Exp: AddLit(out, tok.n ? "E+" : "E-"); break;
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

// Placeholder count in [a, b).
int CountDigits(const std::vector<Token>& t, int a, int b) {
  int n = 0;
  for (int i = a; i < b; ++i) n += IsDigitTok(t[i].kind);
  return n;
}

void FinishNumber(Section& sec) {
  auto& t = sec.tokens;
  NumberLayout& L = sec.num;
  const int n = static_cast<int>(t.size());
  // Commas: between placeholders of the integer part a thousands separator; right after the last
  // placeholder before the point (or the end of the number) each divides by 1000; elsewhere text.
  int firstDigit = -1;
  for (int i = 0; i < n; ++i) {
    if (IsDigitTok(t[i].kind)) {
      if (firstDigit < 0) firstDigit = i;
    }
  }
  // Fraction: a slash with placeholders (or a fixed number) after it and placeholders before it.
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
          t[i].text = ",";
        }
      }
      return;
    }
  }
  // Plain or scientific.
  int point = -1, exp = -1;
  for (int i = 0; i < n; ++i) {
    if (t[i].kind == Tok::Point && point < 0 && exp < 0) point = i;
    else if (t[i].kind == Tok::Point) t[i] = {Tok::Lit, 0, "."};
    if (t[i].kind == Tok::Exp) {
      if (exp < 0) exp = i;
      else t[i] = {Tok::Lit, 0, t[i].n ? "E+" : "E-"};
    }
    if (t[i].kind == Tok::Slash) t[i] = {Tok::Lit, 0, "/"};
  }
  int mantEnd = exp >= 0 ? exp : n;
  // Decide every comma first, then rewrite them.
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
    if (prevDigit && nextDigit && inInt && i > firstDigit) role[i] = 1;
    else if (prevDigit && !nextDigit && i < mantEnd) role[i] = 2;
    else role[i] = 3;
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
    if (tok.kind == Tok::Lit) AddLit(out, tok.text);
    else out.push_back(std::move(tok));
  }
  t = std::move(out);
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
  bool date = false, at = false, digits = false, general = false;
  for (const auto& tok : sec.tokens) {
    date = date || IsDateTok(tok.kind);
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
  } else {
    sec.kind = Kind::Literal;
  }
  // Text in sections other than dates: date letters outside a date section are literal.
  if (sec.kind != Kind::Date) {
    std::vector<Token> out;
    out.reserve(sec.tokens.size());
    for (auto& tok : sec.tokens) {
      switch (tok.kind) {
        case Tok::Year: AddLit(out, std::string(tok.n, 'y')); break;
        case Tok::Month: AddLit(out, std::string(tok.n, 'm')); break;
        case Tok::Day: AddLit(out, std::string(tok.n, 'd')); break;
        case Tok::Hour: AddLit(out, std::string(tok.n, 'h')); break;
        case Tok::Second: AddLit(out, std::string(tok.n, 's')); break;
        case Tok::AmPm: AddLit(out, tok.text); break;
        case Tok::Era: AddLit(out, tok.text); break;
        default:
          if (sec.kind == Kind::Text || sec.kind == Kind::Literal || sec.kind == Kind::General) {
            switch (tok.kind) {
              case Tok::Zero: case Tok::Hash: case Tok::Quest:
                AddLit(out, std::string(1, PlaceholderChar(tok.kind)));
                continue;
              case Tok::Point: AddLit(out, "."); continue;
              case Tok::Comma: AddLit(out, ","); continue;
              case Tok::Percent: AddLit(out, "%"); continue;
              case Tok::Slash: AddLit(out, "/"); continue;
              case Tok::Exp: AddLit(out, tok.n ? "E+" : "E-"); continue;
              default: break;
            }
          }
          if (tok.kind == Tok::Lit) AddLit(out, tok.text);
          else out.push_back(std::move(tok));
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
      if (ch == '"') { quote = true; continue; }
      if (ch == '\\' || ch == '_' || ch == '*') { ++i; continue; }
      if (ch == '[') { ++bracket; continue; }
      if (ch == ']') { if (bracket > 0) --bracket; continue; }
      if (ch != ';' || bracket > 0) continue;
    }
    if (c.sections.size() < 4) {
      Section sec;
      ParseSection(code.substr(start, i - start), sec);
      Classify(sec);
      c.sections.push_back(std::move(sec));
    }
    start = i + 1;
  }
  c.general = c.sections.size() == 1 && c.sections[0].kind == Kind::General &&
              c.sections[0].tokens.size() == 1 && c.sections[0].color < 0 &&
              c.sections[0].cmp == Cmp::None;
}

// ---------------------------------------------------------------------------------------------
// Formatting

constexpr std::array<std::string_view, 12> kMonths = {
    "January", "February", "March", "April", "May", "June", "July",
    "August", "September", "October", "November", "December"};
constexpr std::array<std::string_view, 7> kDays = {
    "Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

struct Output {
  std::string& s;
  Formatted& f;
  void Fill(const Token& tok) {
    if (f.fill != 0) return;
    std::size_t len = Utf8Len(tok.text, 0);
    f.fill = DecodeUtf8(tok.text, 0, len);
    f.fillAt = s.size();
  }
};

bool Matches(Cmp c, double v, double x) {
  switch (c) {
    case Cmp::Lt: return v < x;
    case Cmp::Le: return v <= x;
    case Cmp::Gt: return v > x;
    case Cmp::Ge: return v >= x;
    case Cmp::Eq: return v == x;
    case Cmp::Ne: return v != x;
    case Cmp::None: return true;
  }
  return true;
}

void EmitLiteralTokens(const Section& sec, Output& o) {
  for (const auto& tok : sec.tokens) {
    if (tok.kind == Tok::Lit) o.s += tok.text;
    else if (tok.kind == Tok::Fill) o.Fill(tok);
  }
}

// Date parts of a serial number.
struct DateParts {
  int year, month, day, weekday;
  long long hour, minute, second, sub;  // sub in 10^-subsec seconds
  long long totalSub;                   // the whole value in 10^-subsec seconds (elapsed)
};

// Civil date from days since 1970-01-01.
void CivilFromDays(long long z, int& y, int& m, int& d) {
  z += 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long yy = static_cast<long long>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yy + (m <= 2));
}

// Serial of 9999-12-31 in the 1900 system; the 1904 system's is 1462 less.
constexpr double kMaxSerial1900 = 2958466.0;  // exclusive
constexpr long long kPow10[] = {1, 10, 100, 1000};

bool SplitDate(double serial, bool date1904, int subsec, DateParts& p) {
  const long long unit = kPow10[subsec];
  const double limit = date1904 ? kMaxSerial1900 - 1462 : kMaxSerial1900;
  if (!(serial >= 0) || serial >= limit) return false;
  double days = std::floor(serial);
  double units = std::round((serial - days) * 86400.0 * static_cast<double>(unit));
  long long d = static_cast<long long>(days);
  long long u = static_cast<long long>(units);
  const long long perDay = 86400LL * unit;
  if (u >= perDay) {
    u -= perDay;
    ++d;
  }
  if (static_cast<double>(d) >= limit) return false;
  p.totalSub = d * perDay + u;
  p.sub = u % unit;
  long long secs = u / unit;
  p.hour = secs / 3600;
  p.minute = (secs / 60) % 60;
  p.second = secs % 60;
  if (date1904) {
    // Day 0 is 1904-01-01, a Friday.
    CivilFromDays(d - 24107, p.year, p.month, p.day);  // 1904-01-01 is 24107 days before 1970
    p.weekday = static_cast<int>((d + 5) % 7);
  } else {
    p.weekday = static_cast<int>((d + 6) % 7);
    if (d == 0) {
      p.year = 1900, p.month = 1, p.day = 0;
    } else if (d == 60) {
      p.year = 1900, p.month = 2, p.day = 29;
    } else {
      // Day 1 is 1900-01-01; from day 61 on the count includes the 29th of February 1900.
      long long fromEpoch = d - (d > 60 ? 1 : 0) - 25568;  // days from 1970-01-01
      CivilFromDays(fromEpoch, p.year, p.month, p.day);
    }
  }
  return true;
}

void FormatDate(const Section& sec, double value, bool date1904, Output& o) {
  bool neg = false;
  if (value < 0 && date1904) {
    // The 1904 system shows negative dates and times with a minus sign.
    neg = true;
    value = -value;
  }
  DateParts p;
  if (!SplitDate(value, date1904, sec.subsec, p)) {
    o.s.assign(kDateOverflowText);
    o.f.overflow = true;
    o.f.fill = 0;
    o.f.fillAt = 0;
    return;
  }
  if (neg) o.s += '-';
  const long long unit = kPow10[sec.subsec];
  // Elapsed units ([h], [m], [s]) show the whole value in that unit; the units after them show
  // what is left within the next larger unit, as usual.
  for (const auto& tok : sec.tokens) {
    switch (tok.kind) {
      case Tok::Lit: o.s += tok.text; break;
      case Tok::Fill: o.Fill(tok); break;
      case Tok::Year:
        if (tok.n <= 2) AppendInt(p.year % 100, 2, o.s);
        else AppendInt(p.year, 4, o.s);
        break;
      case Tok::Month:
        if (tok.n == 1) AppendInt(p.month, 1, o.s);
        else if (tok.n == 2) AppendInt(p.month, 2, o.s);
        else if (tok.n == 3) o.s += kMonths[p.month - 1].substr(0, 3);
        else if (tok.n == 5) o.s += kMonths[p.month - 1].substr(0, 1);
        else o.s += kMonths[p.month - 1];
        break;
      case Tok::Day:
        if (tok.n <= 2) AppendInt(p.day, tok.n, o.s);
        else if (tok.n == 3) o.s += kDays[p.weekday].substr(0, 3);
        else o.s += kDays[p.weekday];
        break;
      case Tok::Hour: {
        long long h = p.hour;
        if (sec.ampm) {
          h %= 12;
          if (h == 0) h = 12;
        }
        AppendInt(h, tok.n >= 2 ? 2 : 1, o.s);
        break;
      }
      case Tok::Minute: AppendInt(p.minute, tok.n >= 2 ? 2 : 1, o.s); break;
      case Tok::Second: AppendInt(p.second, tok.n >= 2 ? 2 : 1, o.s); break;
      case Tok::ElapsedH: AppendInt(p.totalSub / unit / 3600, tok.n, o.s); break;
      case Tok::ElapsedM: AppendInt(p.totalSub / unit / 60, tok.n, o.s); break;
      case Tok::ElapsedS: AppendInt(p.totalSub / unit, tok.n, o.s); break;
      case Tok::SubSec: {
        o.s += '.';
        long long v = p.sub / kPow10[sec.subsec - tok.n];
        AppendInt(v, tok.n, o.s);
        break;
      }
      case Tok::AmPm: {
        bool pm = p.hour >= 12;
        if (tok.n == 1) {
          char c = pm ? tok.text[2] : tok.text[0];
          o.s += c;
        } else {
          bool lower = tok.text[0] == 'a' || tok.text[0] == 'p';
          o.s += pm ? (lower ? "pm" : "PM") : (lower ? "am" : "AM");
        }
        break;
      }
      default: break;
    }
  }
}

// Integer part digits of x, most significant first, into buf; returns the count (0 for none).
int IntegerDigits(const Decimal& x, char* buf, int cap) {
  if (IsZero(x) || x.exp < 0) return 0;
  int n = x.exp + 1;
  if (n > cap) n = cap;
  for (int i = 0; i < n; ++i) buf[i] = static_cast<char>('0' + x.Digit(x.exp - i));
  return n;
}

// The integer part: digits fill the placeholders from the right; extra digits go with the first
// placeholder; '0' pads with zeros, '?' with blanks, '#' with nothing. Thousands separators group
// the digits shown.
void EmitInteger(const std::vector<Token>& t, int a, int b, const char* digits, int nd,
                 bool thousands, Output& o) {
  int placeholders = CountDigits(t, a, b);
  // Rendered right to left into a small buffer, then reversed into the output.
  char small[512];
  std::string big;
  char* buf = small;
  std::size_t cap = sizeof small;
  std::size_t need = static_cast<std::size_t>(nd) * 2 + static_cast<std::size_t>(placeholders) * 2 + 16;
  for (int i = a; i < b; ++i)
    if (t[i].kind == Tok::Lit) need += t[i].text.size();
  if (need > cap) {
    big.resize(need);
    buf = big.data();
    cap = need;
  }
  std::size_t len = 0;
  int di = nd - 1;       // next digit from the right
  int shown = 0;         // digits (and zero pads) shown, for grouping
  int seen = 0;          // placeholders passed
  auto put = [&](char ch) {
    if (thousands && shown > 0 && shown % 3 == 0 && ch != ' ') buf[len++] = ',';
    buf[len++] = ch;
    ++shown;
  };
  std::size_t fillPos = std::string::npos;
  const Token* fillTok = nullptr;
  for (int i = b - 1; i >= a; --i) {
    const Token& tok = t[i];
    if (IsDigitTok(tok.kind)) {
      ++seen;
      if (seen == placeholders) {
        // The leftmost placeholder takes every remaining digit.
        if (di >= 0) {
          while (di >= 0) put(digits[di--]);
        } else if (tok.kind == Tok::Zero) {
          put('0');
        } else if (tok.kind == Tok::Quest) {
          buf[len++] = ' ';
        }
      } else if (di >= 0) {
        put(digits[di--]);
      } else if (tok.kind == Tok::Zero) {
        put('0');
      } else if (tok.kind == Tok::Quest) {
        buf[len++] = ' ';
      }
    } else if (tok.kind == Tok::Lit) {
      for (std::size_t k = tok.text.size(); k-- > 0;) buf[len++] = tok.text[k];
    } else if (tok.kind == Tok::Fill) {
      fillTok = &tok;
      fillPos = len;
    } else if (tok.kind == Tok::Percent) {
      buf[len++] = '%';
    } else if (tok.kind == Tok::General) {
      // Not expected inside a number part.
    }
  }
  std::size_t base = o.s.size();
  for (std::size_t k = len; k-- > 0;) o.s += buf[k];
  if (fillTok && o.f.fill == 0) {
    std::size_t l = Utf8Len(fillTok->text, 0);
    o.f.fill = DecodeUtf8(fillTok->text, 0, l);
    o.f.fillAt = base + (len - fillPos);
  }
}

// The tokens of [a, b) that are not placeholders (text, %, fill) in order.
void EmitTokenText(const std::vector<Token>& t, int a, int b, Output& o) {
  for (int i = a; i < b; ++i) {
    if (t[i].kind == Tok::Lit) o.s += t[i].text;
    else if (t[i].kind == Tok::Percent) o.s += '%';
    else if (t[i].kind == Tok::Fill) o.Fill(t[i]);
  }
}

// Decimal places: digits left to right; trailing zeros are dropped for '#', blanks for '?'.
void EmitDecimals(const std::vector<Token>& t, int a, int b, const Decimal& x, Output& o) {
  // Find the last placeholder whose digit is significant.
  int count = CountDigits(t, a, b);
  int lastSig = 0;  // number of decimals up to the last non-zero digit
  for (int k = 1; k <= count; ++k)
    if (x.Digit(-k) != 0) lastSig = k;
  int k = 0;
  for (int i = a; i < b; ++i) {
    const Token& tok = t[i];
    if (IsDigitTok(tok.kind)) {
      ++k;
      int dgt = x.Digit(-k);
      if (k <= lastSig || tok.kind == Tok::Zero) o.s += static_cast<char>('0' + dgt);
      else if (tok.kind == Tok::Quest) o.s += ' ';
    } else if (tok.kind == Tok::Lit) {
      o.s += tok.text;
    } else if (tok.kind == Tok::Percent) {
      o.s += '%';
    } else if (tok.kind == Tok::Fill) {
      o.Fill(tok);
    }
  }
}

void ApplyScale(Decimal& x, int scale) {
  if (!IsZero(x)) x.exp += scale;
}

void FormatPlain(const Section& sec, double value, bool sign, Output& o) {
  const NumberLayout& L = sec.num;
  const auto& t = sec.tokens;
  Decimal x = ToDecimal(value);
  ApplyScale(x, L.scale);
  RoundAt(x, -L.decimals);
  if (sign && !IsZero(x)) o.s += '-';
  char small[400];
  std::string big;  // only for a code that scales past 400 digits ("0%%%%...")
  char* digits = small;
  int cap = static_cast<int>(sizeof small);
  if (x.exp >= cap) {
    big.resize(static_cast<std::size_t>(x.exp) + 1);
    digits = big.data();
    cap = x.exp + 1;
  }
  int nd = IntegerDigits(x, digits, cap);
  EmitInteger(t, L.intStart, L.intEnd, digits, nd, L.thousands, o);
  if (L.decStart >= 0) {
    o.s += '.';
    EmitDecimals(t, L.decStart, L.decEnd, x, o);
  }
}

void FormatScientific(const Section& sec, double value, bool sign, Output& o) {
  const NumberLayout& L = sec.num;
  const auto& t = sec.tokens;
  Decimal x = ToDecimal(value);
  ApplyScale(x, L.scale);
  const int ip = std::max(L.intPlaceholders, 1);
  auto exponentFor = [&](int e) {
    // The exponent is a multiple of the integer placeholders.
    int q = e >= 0 ? e / ip : -((-e + ip - 1) / ip);
    return q * ip;
  };
  int E = 0;
  Decimal m = x;
  if (!IsZero(x)) {
    E = L.intPlaceholders == 0 ? x.exp + 1 : exponentFor(x.exp);
    m.exp = x.exp - E;
    RoundAt(m, -L.decimals);
    // Rounding may carry into a new power of ten: start again from the rounded value.
    if (!IsZero(m) && m.exp + E != x.exp) {
      Decimal y = m;
      int e2 = m.exp + E;
      E = L.intPlaceholders == 0 ? e2 + 1 : exponentFor(e2);
      y.exp = e2 - E;
      m = y;
    }
  }
  if (sign && !IsZero(m)) o.s += '-';
  char digits[64];
  int nd = IntegerDigits(m, digits, static_cast<int>(sizeof digits));
  EmitInteger(t, L.intStart, L.intEnd, digits, nd, L.thousands, o);
  if (L.decStart >= 0) {
    o.s += '.';
    EmitDecimals(t, L.decStart, L.decEnd, m, o);
  }
  o.s += 'E';
  if (E < 0) o.s += '-';
  else if (L.expPlus) o.s += '+';
  // Exponent digits: placeholders from the right; '0' pads.
  int ae = E < 0 ? -E : E;
  char eb[16];
  auto r = std::to_chars(eb, eb + sizeof eb, ae);
  int ne = static_cast<int>(r.ptr - eb);
  int zeros = 0;
  for (int i = L.expStart; i < L.expEnd; ++i) zeros += t[i].kind == Tok::Zero;
  for (int k = ne; k < zeros; ++k) o.s += '0';
  if (!(ae == 0 && zeros == 0 && L.expDigits > 0)) o.s.append(eb, r.ptr);
  EmitTokenText(t, L.expStart, L.expEnd, o);
}

// Best rational approximation of f (0 <= f < 1) with a denominator of at most maxDen.
void Approximate(double f, long maxDen, long& num, long& den) {
  // Continued fractions with the best semiconvergent.
  long p0 = 0, q0 = 1, p1 = 1, q1 = 0;
  double x = f;
  for (int iter = 0; iter < 64; ++iter) {
    double a = std::floor(x);
    if (a > 1e12) break;
    long ai = static_cast<long>(a);
    long p2 = ai * p1 + p0, q2 = ai * q1 + q0;
    if (q2 > maxDen) {
      long k = (maxDen - q0) / q1;
      long ps = k * p1 + p0, qs = k * q1 + q0;
      // Choose between the last convergent and the semiconvergent.
      if (q1 != 0 && std::fabs(f - static_cast<double>(ps) / qs) < std::fabs(f - static_cast<double>(p1) / q1)) {
        p1 = ps;
        q1 = qs;
      }
      break;
    }
    p0 = p1; q0 = q1; p1 = p2; q1 = q2;
    double rest = x - a;
    if (rest < 1e-12) break;
    x = 1.0 / rest;
  }
  if (q1 == 0) {
    num = 0;
    den = 1;
    return;
  }
  num = p1;
  den = q1;
}

// Digits of a whole number held in a double (15 significant digits, then zeros); 0 for zero.
int WholeDigits(double v, char* buf, int cap) {
  Decimal x = ToDecimal(v);
  RoundAt(x, 0);
  return IntegerDigits(x, buf, cap);
}

// Denominator: digits left-aligned; '?' placeholders left over become blanks.
void EmitDenominator(const std::vector<Token>& t, int a, int b, long long v, Output& o) {
  char digits[24];
  auto r = std::to_chars(digits, digits + sizeof digits, v);
  int nd = static_cast<int>(r.ptr - digits);
  int placeholders = CountDigits(t, a, b);
  int k = 0;
  for (int i = a; i < b; ++i) {
    const Token& tok = t[i];
    if (IsDigitTok(tok.kind)) {
      if (k < nd) {
        if (k == placeholders - 1) {
          o.s.append(digits + k, digits + nd);
          k = nd;
        } else {
          o.s += digits[k++];
        }
      } else {
        ++k;
        if (tok.kind == Tok::Quest) o.s += ' ';
        else if (tok.kind == Tok::Zero) o.s += '0';
      }
    } else if (tok.kind == Tok::Lit) {
      o.s += tok.text;
    }
  }
}

int WidthOf(const std::vector<Token>& t, int a, int b) {
  int w = 0;
  for (int i = a; i < b; ++i) {
    if (IsDigitTok(t[i].kind) || t[i].kind == Tok::Slash) ++w;
    else if (t[i].kind == Tok::Lit) w += static_cast<int>(t[i].text.size());
  }
  return w;
}

// The whole part and the fraction of x, each read from its own decimal digits.
void SplitDecimal(const Decimal& x, double& whole, double& frac) {
  whole = 0;
  frac = 0;
  if (IsZero(x)) return;
  char buf[48];
  int n = 0;
  for (int p = x.exp; p >= 0 && n < 16; --p) buf[n++] = static_cast<char>('0' + x.Digit(p));
  if (n > 0) {
    if (x.exp >= 16) {
      // Beyond 16 digits the rest are zeros: scale by the power of ten.
      buf[n++] = 'e';
      n = static_cast<int>(std::to_chars(buf + n, buf + sizeof buf, x.exp - 15).ptr - buf);
    }
    std::from_chars(buf, buf + n, whole);
  }
  int last = x.exp - x.n + 1;  // power of the last significant digit
  if (last < 0) {
    n = 0;
    buf[n++] = '0';
    buf[n++] = '.';
    for (int p = -1; p >= last && n < 40; --p) buf[n++] = static_cast<char>('0' + x.Digit(p));
    std::from_chars(buf, buf + n, frac);
  }
}

void FormatFraction(const Section& sec, double value, bool sign, Output& o) {
  const NumberLayout& L = sec.num;
  const auto& t = sec.tokens;
  Decimal dx = ToDecimal(value);
  ApplyScale(dx, L.scale);
  // The whole part and the fraction from the 15 digits, so that the fraction of a large number is
  // the one its digits show (7690703931295.06 has the fraction 0.06).
  double whole_ = 0, frac = 0;
  SplitDecimal(dx, whole_, frac);
  const bool whole = L.fracIntEnd >= 0;
  double ip = whole ? whole_ : 0;
  double f = whole ? frac : whole_ + frac;
  double num = 0;
  long den = 1;
  if (L.fixedDen > 0) {
    den = L.fixedDen;
    num = std::floor(f * static_cast<double>(den) + 0.5);
  } else {
    long maxDen = 1;
    for (int k = 0; k < L.denDigits && k < 7; ++k) maxDen *= 10;
    maxDen -= 1;
    if (maxDen < 1) maxDen = 1;
    long n = 0;
    if (whole) {
      Approximate(f, maxDen, n, den);
      num = static_cast<double>(n);
    } else {
      Approximate(frac, maxDen, n, den);
      num = whole_ * static_cast<double>(den) + static_cast<double>(n);
    }
  }
  if (whole && num == static_cast<double>(den) && num != 0) {
    ip += 1;
    num = 0;
  }
  if (sign && (ip != 0 || num != 0)) o.s += '-';
  char digits[400];
  if (whole) {
    bool hideFraction = num == 0;
    int nd = WholeDigits(ip, digits, static_cast<int>(sizeof digits));
    if (nd == 0 && hideFraction) {
      // The whole part shows "0" (even in a '#') when nothing else would be shown.
      digits[0] = '0';
      nd = 1;
    }
    EmitInteger(t, L.intStart, L.fracIntEnd, digits, nd, false, o);
    if (hideFraction) {
      // The fraction is replaced by blanks of its width.
      int w = WidthOf(t, L.fracIntEnd, static_cast<int>(t.size()));
      int tail = WidthOf(t, L.denEnd, static_cast<int>(t.size()));
      o.s.append(static_cast<std::size_t>(w - tail), ' ');
      EmitTokenText(t, L.denEnd, static_cast<int>(t.size()), o);
      return;
    }
    EmitTokenText(t, L.fracIntEnd, L.numStart, o);
  } else {
    EmitTokenText(t, 0, L.numStart, o);
  }
  {
    int nd = WholeDigits(num, digits, static_cast<int>(sizeof digits));
    if (nd == 0) {
      digits[0] = '0';
      nd = 1;
    }
    EmitInteger(t, L.numStart, L.numEnd, digits, nd, false, o);
  }
  o.s += '/';
  if (L.fixedDen > 0) {
    EmitTokenText(t, L.denStart, L.denEnd, o);
  } else {
    EmitDenominator(t, L.denStart, L.denEnd, den, o);
  }
  EmitTokenText(t, L.denEnd, static_cast<int>(t.size()), o);
}

void FormatSection(const Section& sec, double value, bool sign, bool date1904, Output& o) {
  o.f.colorIndex = sec.color;
  switch (sec.kind) {
    case Kind::Date:
      FormatDate(sec, sign ? -value : value, date1904, o);
      return;
    case Kind::Number:
      if (sec.num.fraction) FormatFraction(sec, value, sign, o);
      else if (sec.num.scientific) FormatScientific(sec, value, sign, o);
      else FormatPlain(sec, value, sign, o);
      return;
    case Kind::General:
      for (const auto& tok : sec.tokens) {
        if (tok.kind == Tok::Lit) o.s += tok.text;
        else if (tok.kind == Tok::Fill) o.Fill(tok);
        else if (tok.kind == Tok::General) GeneralImpl(sign ? -value : value, o.s);
      }
      return;
    case Kind::Text:
      // A number in a text section shows as General.
      GeneralImpl(sign ? -value : value, o.s);
      return;
    case Kind::Literal:
      EmitLiteralTokens(sec, o);
      return;
  }
}

}  // namespace

std::string_view BuiltinFormat(uint16_t index) {
  static constexpr std::array<std::string_view, 50> kBuiltin = {
      "General",
      "0",
      "0.00",
      "#,##0",
      "#,##0.00",
      "$#,##0_);($#,##0)",
      "$#,##0_);[Red]($#,##0)",
      "$#,##0.00_);($#,##0.00)",
      "$#,##0.00_);[Red]($#,##0.00)",
      "0%",
      "0.00%",
      "0.00E+00",
      "# ?/?",
      "# ?\?/??",
      "m/d/yyyy",
      "d-mmm-yy",
      "d-mmm",
      "mmm-yy",
      "h:mm AM/PM",
      "h:mm:ss AM/PM",
      "h:mm",
      "h:mm:ss",
      "m/d/yyyy h:mm",
      "", "", "", "", "", "", "", "", "", "", "", "", "", "",
      "#,##0_);(#,##0)",
      "#,##0_);[Red](#,##0)",
      "#,##0.00_);(#,##0.00)",
      "#,##0.00_);[Red](#,##0.00)",
      "_(* #,##0_);_(* \\(#,##0\\);_(* \"-\"_);_(@_)",
      "_(\"$\"* #,##0_);_(\"$\"* \\(#,##0\\);_(\"$\"* \"-\"_);_(@_)",
      "_(* #,##0.00_);_(* \\(#,##0.00\\);_(* \"-\"??_);_(@_)",
      "_(\"$\"* #,##0.00_);_(\"$\"* \\(#,##0.00\\);_(\"$\"* \"-\"??_);_(@_)",
      "mm:ss",
      "[h]:mm:ss",
      "mm:ss.0",
      "##0.0E+0",
      "@",
  };
  return index < kBuiltin.size() ? kBuiltin[index] : std::string_view();
}

void AppendGeneral(double value, std::string& out) { GeneralImpl(value, out); }

std::string FormatGeneral(double value) {
  std::string s;
  GeneralImpl(value, s);
  return s;
}

NumberFormat::NumberFormat(std::string_view code) : compiled_(std::make_unique<Compiled>()) {
  try {
    Compile(code, *compiled_);
  } catch (...) {
    compiled_->sections.clear();
  }
  // An empty code is General.
  if (compiled_->sections.empty() || code.empty()) compiled_->general = true;
}
NumberFormat::~NumberFormat() = default;
NumberFormat::NumberFormat(NumberFormat&&) noexcept = default;
NumberFormat& NumberFormat::operator=(NumberFormat&&) noexcept = default;

Formatted NumberFormat::Format(double value, bool date1904) const {
  Formatted f;
  const Compiled& c = *compiled_;
  if (c.general || !std::isfinite(value)) {
    GeneralImpl(value, f.text);
    return f;
  }
  const auto& s = c.sections;
  // Sections for numbers: the text section (a fourth, or a last one with "@") does not count.
  int n = static_cast<int>(std::min<std::size_t>(s.size(), 3));
  if (s.size() < 4 && n > 1 && s[n - 1].kind == Kind::Text) --n;
  const Section* sec = &s[0];
  bool sign = false;  // show a minus sign before the absolute value
  const bool conditional = s[0].cmp != Cmp::None || (n >= 2 && s[1].cmp != Cmp::None);
  if (!conditional) {
    if (n == 1 || (n >= 2 && value >= 0 && !(n == 3 && value == 0))) {
      sec = &s[0];
      sign = value < 0;
    } else if (value < 0) {
      sec = &s[1];
    } else {
      sec = &s[2];
    }
  } else {
    auto match = [&](int i, Cmp implicitCmp) {
      Cmp c2 = s[i].cmp != Cmp::None ? s[i].cmp : implicitCmp;
      return Matches(c2, value, s[i].cmp != Cmp::None ? s[i].cmpValue : 0);
    };
    int chosen;
    if (match(0, n >= 2 ? Cmp::Ge : Cmp::None)) chosen = 0;
    else if (n >= 2 && match(1, n == 2 ? Cmp::None : Cmp::Lt)) chosen = 1;
    else chosen = n >= 3 ? 2 : n - 1;
    sec = &s[chosen];
    // A section meant for negative numbers only shows the number without its sign.
    bool negativeOnly = false;
    if (sec->cmp != Cmp::None) {
      negativeOnly = (sec->cmp == Cmp::Lt && sec->cmpValue <= 0) ||
                     (sec->cmp == Cmp::Le && sec->cmpValue < 0);
    } else if (chosen == 1) {
      negativeOnly = n == 3 || (s[0].cmp == Cmp::Ge && s[0].cmpValue <= 0) ||
                     (s[0].cmp == Cmp::Gt && s[0].cmpValue < 0);
    }
    sign = value < 0 && !negativeOnly;
  }
  Output o{f.text, f};
  FormatSection(*sec, std::fabs(value), sign, date1904, o);
  return f;
}

Formatted NumberFormat::FormatText(std::string_view text) const {
  Formatted f;
  const auto& s = compiled_->sections;
  const Section* sec = nullptr;
  if (s.size() >= 4) sec = &s[3];
  else if (!s.empty() && s.back().kind == Kind::Text) sec = &s.back();
  if (!sec) {
    f.text.assign(text);
    return f;
  }
  f.colorIndex = sec->color;
  Output o{f.text, f};
  for (const auto& tok : sec->tokens) {
    if (tok.kind == Tok::At) o.s += text;
    else if (tok.kind == Tok::Lit) o.s += tok.text;
    else if (tok.kind == Tok::Fill) o.Fill(tok);
  }
  return f;
}

bool NumberFormat::IsDateTime() const {
  return !compiled_->sections.empty() && compiled_->sections[0].kind == Kind::Date;
}

const std::string& NumberFormat::Code() const { return compiled_->code; }

FormatTable::FormatTable(const std::map<uint16_t, std::string>& custom) : custom_(custom) {}

std::string_view FormatTable::Code(uint16_t index) const {
  auto it = custom_.find(index);
  if (it != custom_.end()) return it->second;
  std::string_view builtin = BuiltinFormat(index);
  return builtin.empty() ? std::string_view("General") : builtin;
}

const NumberFormat& FormatTable::Get(uint16_t index) {
  auto& slot = compiled_[index];
  if (!slot) slot = std::make_unique<NumberFormat>(Code(index));
  return *slot;
}

}  // namespace quillane::format
