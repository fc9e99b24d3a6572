// Decimal digits and the General format.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

#include "spreadsheet/format/Decimal.h"
#include "spreadsheet/format/NumberFormat.h"

namespace quillane::format {

namespace {

// The digits and the exponent of a number in scientific form ("1.2345e+02").
Decimal ParseScientific(const char* p, const char* end) {
  Decimal x;
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

}  // namespace

Decimal ToDecimal(double value) {
  value = std::fabs(value);
  if (value == 0 || !std::isfinite(value)) return {};
  if (value < 1e15 && value == std::floor(value)) {
    // A whole number of at most 15 digits is its own digits.
    char digits[16];
    char* end = std::to_chars(digits, digits + sizeof digits, static_cast<uint64_t>(value)).ptr;
    Decimal x;
    x.exp = static_cast<int>(end - digits) - 1;
    while (end > digits && end[-1] == '0') --end;
    for (const char* p = digits; p < end; ++p) x.d[x.n++] = *p;
    return x;
  }
  char buf[40];
  // The shortest digits that read back as the value: when there are at most 15 of them they are
  // also the value rounded to 15 digits, as any decimal of 15 digits survives the way to binary
  // and back (not so below the normal range, where the binary digits thin out). Most numbers of
  // a sheet are such; the rest are rounded to 15 digits, which costs several times more.
  if (value >= std::numeric_limits<double>::min()) {
    auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);
    Decimal x = ParseScientific(buf, res.ptr);
    if (x.n <= 15) return x;
  }
  auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 14);
  return ParseScientific(buf, res.ptr);
}

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

void AppendInt(long long v, int minDigits, std::string& out) {
  char buf[24];
  auto res = std::to_chars(buf, buf + sizeof buf, v);
  for (int k = static_cast<int>(res.ptr - buf); k < minDigits; ++k) out += '0';
  out.append(buf, res.ptr);
}

void AppendDigits(const Decimal& x, int from, int to, std::string& out) {
  for (int p = from; p >= to; --p) out += static_cast<char>('0' + x.Digit(p));
}

namespace {

void AppendExponent(int e, std::string& out) {
  out += 'E';
  out += e < 0 ? '-' : '+';
  AppendInt(e < 0 ? -e : e, 2, out);
}

}  // namespace

// General: the decimal form when it fits in the cell (11 characters, the minus sign included),
// else d.ddddE+xx; both from the value's 15 significant digits.
void AppendGeneral(double value, std::string& out) {
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

std::string FormatGeneral(double value) {
  std::string s;
  AppendGeneral(value, s);
  return s;
}

}  // namespace quillane::format
