// Decimal digits of a value as the application keeps them (at most 15 significant digits), the
// rounding of those digits, and the General format built on them. Used by the number formats.
#pragma once

#include <string>

namespace quillane::format {

struct Decimal {
  char d[24];   // significant digits '0'..'9', no trailing zeros
  int n = 0;    // number of digits; 0 means the value zero
  int exp = 0;  // power of ten of d[0]
  int Digit(int power) const {
    int i = exp - power;
    return (i >= 0 && i < n) ? d[i] - '0' : 0;
  }
};

// |value| to 15 significant digits (the binary value rounded to nearest, as the application
// stores what it shows); later roundings work on these decimal digits, halves away from zero.
Decimal ToDecimal(double value);
// Rounds to the power of ten `power` (keeps digits down to 10^power), halves away from zero.
void RoundAt(Decimal& x, int power);
inline bool IsZero(const Decimal& x) { return x.n == 0; }
// The digits of the powers of ten from `from` down to `to`.
void AppendDigits(const Decimal& x, int from, int to, std::string& out);
// v in decimal, padded with zeros in front to at least minDigits digits.
void AppendInt(long long v, int minDigits, std::string& out);

}  // namespace quillane::format
