// The compiled form of a number-format code and the parser that makes it. A code is split into
// sections at unquoted ";", each section into tokens (text, digit placeholders, date and time
// parts, ...), and each section is classified (number, date, text, literal, General) with the
// layout of its number part found once, so formatting a value never looks at the code again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "spreadsheet/format/NumberFormat.h"

namespace quillane::format {

enum class Tok : uint8_t {
  Lit,  // text
  Zero,
  Hash,
  Quest,  // digit placeholders
  Point,
  Comma,
  Percent,
  Exp,  // E+ / E-: n = 1 for '+'
  Slash,
  At,
  General,
  Fill,
  Year,
  Month,
  Day,
  Hour,
  Minute,
  Second,
  AmPm,
  ElapsedH,
  ElapsedM,
  ElapsedS,
  SubSec,
  Era,      // g, gg, ggg: the era of the Japanese calendar under a Japanese locale, else nothing
  EraYear,  // e, ee: the year within the era under a Japanese locale, else the four-digit year
};

struct Token {
  Tok kind;
  uint8_t n = 0;     // count (yy=2, mmm=3...), AmPm variant, fixed denominator flag...
  std::string text;  // Lit text; AmPm: the code text; Fill: the character
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
  int scale = 0;  // power of ten applied: +2 per %, -3 per scaling comma
  bool scientific = false;
  bool expPlus = false;
  int expDigits = 0;
  // Fractions
  bool fraction = false;
  int fracIntEnd = -1;  // tokens [intStart, fracIntEnd) are the whole-number part; -1: none
  int numStart = 0, numEnd = 0, denStart = 0, denEnd = 0;  // token ranges
  int denDigits = 0;                                       // placeholder count of the denominator
  long fixedDen = 0;                                       // fixed denominator, or 0
};

struct Section {
  std::vector<Token> tokens;
  Kind kind = Kind::Literal;
  Cmp cmp = Cmp::None;
  double cmpValue = 0;
  int color = -1;
  bool ampm = false;
  int subsec = 0;     // digits of fractions of a second
  bool eras = false;  // a Japanese locale tag: g and e show the Japanese calendar's era and year
  NumberLayout num;
};

struct NumberFormat::Compiled {
  std::string code;
  std::vector<Section> sections;
  bool general = false;   // the whole code is General
  bool hidesAll = false;  // four sections, none showing anything (";;;")
};

// Compiles a code into c (sections, their tokens and layouts). May throw on codes it cannot make
// sense of; the caller then formats as General.
void Compile(std::string_view code, NumberFormat::Compiled& c);

inline bool IsDigitTok(Tok k) { return k == Tok::Zero || k == Tok::Hash || k == Tok::Quest; }
// The digit placeholders among the tokens [a, b).
int CountDigits(const std::vector<Token>& t, int a, int b);

// Length in bytes of the UTF-8 sequence starting at s[i] (at least 1, never past the end).
std::size_t Utf8Len(std::string_view s, std::size_t i);
// The code point of the `len` bytes at s[i].
char32_t DecodeUtf8(std::string_view s, std::size_t i, std::size_t len);

}  // namespace quillane::format
