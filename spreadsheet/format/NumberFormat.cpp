// Formatting a value under a compiled number format, the built-in formats and the format table.
//
// Order of work: a NumberFormat compiles its code once (FormatCode.cpp) into up to four sections;
// Format picks the section for the value (by sign, or by the conditions of the code, with the sign
// shown only where the section does not stand for negative numbers alone) and writes the value
// through it as a date or time, a plain or scientific number, a fraction, or General. FormatText
// writes text through the text section.
// Invariants: a compiled format is immutable, so one format serves many threads; a code that
// cannot be compiled formats as General, as do infinities and NaN; digits come from the value's
// 15 significant decimal digits (Decimal.h) and are rounded on those digits, halves away from
// zero, never by floating-point steps.
// Bounds: the text of a value grows with its code and the value's digits; only a code that scales
// past 400 integer digits (many '%') needs a buffer beyond the fixed one.
#include "spreadsheet/format/NumberFormat.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <vector>

#include "spreadsheet/format/DateSerial.h"
#include "spreadsheet/format/Decimal.h"
#include "spreadsheet/format/FormatCode.h"

namespace quillane::format {

namespace {

constexpr std::array<std::string_view, 12> kMonths = {
    "January", "February", "March",     "April",   "May",      "June",
    "July",    "August",   "September", "October", "November", "December"};
constexpr std::array<std::string_view, 7> kDays = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                                   "Thursday", "Friday", "Saturday"};

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
    case Cmp::Lt:
      return v < x;
    case Cmp::Le:
      return v <= x;
    case Cmp::Gt:
      return v > x;
    case Cmp::Ge:
      return v >= x;
    case Cmp::Eq:
      return v == x;
    case Cmp::Ne:
      return v != x;
    case Cmp::None:
      return true;
  }
  return true;
}

void EmitLiteralTokens(const Section& sec, Output& o) {
  for (const auto& tok : sec.tokens) {
    if (tok.kind == Tok::Lit)
      o.s += tok.text;
    else if (tok.kind == Tok::Fill)
      o.Fill(tok);
  }
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
  const long long unit = kSubsecondUnits[sec.subsec];
  // Elapsed units ([h], [m], [s]) show the whole value in that unit; the units after them show
  // what is left within the next larger unit, as usual.
  for (const auto& tok : sec.tokens) {
    switch (tok.kind) {
      case Tok::Lit:
        o.s += tok.text;
        break;
      case Tok::Fill:
        o.Fill(tok);
        break;
      case Tok::Year:
        if (tok.n <= 2)
          AppendInt(p.year % 100, 2, o.s);
        else
          AppendInt(p.year, 4, o.s);
        break;
      case Tok::EraYear:
        if (sec.eras)
          AppendInt(JapaneseEraOf(p.year, p.month, p.day).year, tok.n >= 2 ? 2 : 1, o.s);
        else
          AppendInt(p.year, 4, o.s);
        break;
      case Tok::Era:
        if (sec.eras)
          AppendEraName(JapaneseEraOf(p.year, p.month, p.day).era,
                        static_cast<int>(tok.text.size()), o.s);
        break;
      case Tok::Month:
        if (tok.n == 1)
          AppendInt(p.month, 1, o.s);
        else if (tok.n == 2)
          AppendInt(p.month, 2, o.s);
        else if (tok.n == 3)
          o.s += kMonths[p.month - 1].substr(0, 3);
        else if (tok.n == 5)
          o.s += kMonths[p.month - 1].substr(0, 1);
        else
          o.s += kMonths[p.month - 1];
        break;
      case Tok::Day:
        if (tok.n <= 2)
          AppendInt(p.day, tok.n, o.s);
        else if (tok.n == 3)
          o.s += kDays[p.weekday].substr(0, 3);
        else
          o.s += kDays[p.weekday];
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
      case Tok::Minute:
        AppendInt(p.minute, tok.n >= 2 ? 2 : 1, o.s);
        break;
      case Tok::Second:
        AppendInt(p.second, tok.n >= 2 ? 2 : 1, o.s);
        break;
      case Tok::ElapsedH:
        AppendInt(p.totalSub / unit / 3600, tok.n, o.s);
        break;
      case Tok::ElapsedM:
        AppendInt(p.totalSub / unit / 60, tok.n, o.s);
        break;
      case Tok::ElapsedS:
        AppendInt(p.totalSub / unit, tok.n, o.s);
        break;
      case Tok::SubSec: {
        o.s += '.';
        long long v = p.sub / kSubsecondUnits[sec.subsec - tok.n];
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
      default:
        break;
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
  std::size_t need =
      static_cast<std::size_t>(nd) * 2 + static_cast<std::size_t>(placeholders) * 2 + 16;
  for (int i = a; i < b; ++i)
    if (t[i].kind == Tok::Lit) need += t[i].text.size();
  if (need > cap) {
    big.resize(need);
    buf = big.data();
    cap = need;
  }
  std::size_t len = 0;
  int di = nd - 1;  // next digit from the right
  int shown = 0;    // digits (and zero pads) shown, for grouping
  int seen = 0;     // placeholders passed
  auto put = [&](char ch) {
    if (thousands && shown > 0 && shown % 3 == 0 && ch != ' ') buf[len++] = ',';
    buf[len++] = ch;
    ++shown;
  };
  std::size_t fillPos = std::string::npos;
  const Token* fillTok = nullptr;
  // Without placeholders the digits stand at the end, right before the point.
  if (placeholders == 0)
    while (di >= 0) put(digits[di--]);
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
    if (t[i].kind == Tok::Lit)
      o.s += t[i].text;
    else if (t[i].kind == Tok::Percent)
      o.s += '%';
    else if (t[i].kind == Tok::Fill)
      o.Fill(t[i]);
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
      if (k <= lastSig || tok.kind == Tok::Zero)
        o.s += static_cast<char>('0' + dgt);
      else if (tok.kind == Tok::Quest)
        o.s += ' ';
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
  if (E < 0)
    o.s += '-';
  else if (L.expPlus)
    o.s += '+';
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
// 64-bit throughout: a term of the continued fraction may pass 2^31 (long has 32 bits on Windows).
void Approximate(double f, int64_t maxDen, int64_t& num, int64_t& den) {
  // Continued fractions with the best semiconvergent.
  int64_t p0 = 0, q0 = 1, p1 = 1, q1 = 0;
  double x = f;
  for (int iter = 0; iter < 64; ++iter) {
    double a = std::floor(x);
    if (a > 1e12) break;
    int64_t ai = static_cast<int64_t>(a);
    int64_t p2 = ai * p1 + p0, q2 = ai * q1 + q0;
    if (q2 > maxDen) {
      int64_t k = (maxDen - q0) / q1;
      int64_t ps = k * p1 + p0, qs = k * q1 + q0;
      // Choose between the last convergent and the semiconvergent.
      if (q1 != 0 && std::fabs(f - static_cast<double>(ps) / qs) <
                         std::fabs(f - static_cast<double>(p1) / q1)) {
        p1 = ps;
        q1 = qs;
      }
      break;
    }
    p0 = p1;
    q0 = q1;
    p1 = p2;
    q1 = q2;
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
        if (tok.kind == Tok::Quest)
          o.s += ' ';
        else if (tok.kind == Tok::Zero)
          o.s += '0';
      }
    } else if (tok.kind == Tok::Lit) {
      o.s += tok.text;
    }
  }
}

int WidthOf(const std::vector<Token>& t, int a, int b) {
  int w = 0;
  for (int i = a; i < b; ++i) {
    if (IsDigitTok(t[i].kind) || t[i].kind == Tok::Slash)
      ++w;
    else if (t[i].kind == Tok::Lit)
      w += static_cast<int>(t[i].text.size());
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
  int64_t den = 1;
  if (L.fixedDen > 0) {
    den = L.fixedDen;
    num = std::floor(f * static_cast<double>(den) + 0.5);
  } else {
    int64_t maxDen = 1;
    for (int k = 0; k < L.denDigits && k < 7; ++k) maxDen *= 10;
    maxDen -= 1;
    if (maxDen < 1) maxDen = 1;
    int64_t n = 0;
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
      if (sec.num.fraction)
        FormatFraction(sec, value, sign, o);
      else if (sec.num.scientific)
        FormatScientific(sec, value, sign, o);
      else
        FormatPlain(sec, value, sign, o);
      return;
    case Kind::General:
      for (const auto& tok : sec.tokens) {
        if (tok.kind == Tok::Lit)
          o.s += tok.text;
        else if (tok.kind == Tok::Fill)
          o.Fill(tok);
        else if (tok.kind == Tok::General)
          AppendGeneral(sign ? -value : value, o.s);
      }
      return;
    case Kind::Text:
      // A number in a text section shows as General.
      AppendGeneral(sign ? -value : value, o.s);
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
      "",
      "",
      "",
      "",
      "",
      "",
      "",
      "",
      "",
      "",
      "",
      "",
      "",
      "",
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
    AppendGeneral(value, f.text);
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
    if (match(0, n >= 2 ? Cmp::Ge : Cmp::None))
      chosen = 0;
    else if (n >= 2 && match(1, n == 2 ? Cmp::None : Cmp::Lt))
      chosen = 1;
    else
      chosen = n >= 3 ? 2 : n - 1;
    sec = &s[chosen];
    // A section meant for negative numbers only shows the number without its sign.
    bool negativeOnly = false;
    if (sec->cmp != Cmp::None) {
      negativeOnly =
          (sec->cmp == Cmp::Lt && sec->cmpValue <= 0) || (sec->cmp == Cmp::Le && sec->cmpValue < 0);
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
  if (s.size() >= 4)
    sec = &s[3];
  else if (!s.empty() && s.back().kind == Kind::Text)
    sec = &s.back();
  if (!sec) {
    f.text.assign(text);
    return f;
  }
  f.colorIndex = sec->color;
  Output o{f.text, f};
  for (const auto& tok : sec->tokens) {
    if (tok.kind == Tok::At)
      o.s += text;
    else if (tok.kind == Tok::Lit)
      o.s += tok.text;
    else if (tok.kind == Tok::Fill)
      o.Fill(tok);
  }
  return f;
}

bool NumberFormat::HidesAll() const { return compiled_->hidesAll; }

bool NumberFormat::IsDateTime() const {
  return !compiled_->sections.empty() && compiled_->sections[0].kind == Kind::Date;
}

const std::string& NumberFormat::Code() const { return compiled_->code; }

const NumberFormat& FormatCache::Get(std::string_view code) {
  auto found = compiled_.find(std::string(code));
  if (found != compiled_.end()) return *found->second;
  auto& slot = compiled_[std::string(code)];
  slot = std::make_unique<NumberFormat>(code);
  return *slot;
}

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
