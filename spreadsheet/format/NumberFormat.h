// Number formats: the display text of a cell value under a format code, as the spreadsheet
// application shows it with an en-US installation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

namespace quillane::format {

struct Formatted {
  std::string text;     // UTF-8
  int colorIndex = -1;  // palette index chosen by the format ([Red], [Color12]); -1 for none
  // "*x" in the code repeats x to fill the cell's width. A page has no cell width to fill, so the
  // character is not put into text; it is reported here with the byte offset in text where the
  // repetition belongs. fill == 0 when the chosen section has none.
  char32_t fill = 0;
  std::size_t fillAt = 0;
  // True when the value cannot be shown under the format (a date before the first day of the date
  // system or after 9999-12-31): the application fills the cell with "#"; text is then
  // kDateOverflowText.
  bool overflow = false;
};

// The text returned for a value that cannot be shown as a date or time.
inline constexpr std::string_view kDateOverflowText = "###########";

// The en-US code of a built-in format (0 "General" ... 49 "@"); empty for indexes with none.
std::string_view BuiltinFormat(uint16_t index);

// "General" in a cell of standard width: at most 11 characters.
std::string FormatGeneral(double value);
// The same, appended to out (no other allocation).
void AppendGeneral(double value, std::string& out);

// One compiled format code. Construction never throws: a code that cannot be parsed formats
// as General (so does an empty code); stray characters are shown as text.
// A compiled format is immutable: Format and FormatText may run on many threads at once.
class NumberFormat {
 public:
  explicit NumberFormat(std::string_view code);
  ~NumberFormat();
  NumberFormat(NumberFormat&&) noexcept;
  NumberFormat& operator=(NumberFormat&&) noexcept;

  // The text of a number. Sections: one for all numbers (a minus sign is put first), two for
  // positive and zero / negative, three for positive / negative / zero; a section for negative
  // numbers shows the absolute value (its own "-" or parentheses give the sign). Conditions
  // ([>=100]) choose the section instead; a conditional section that can hold positive numbers
  // keeps the minus sign. date1904 selects the 1904 date system for date and time sections.
  // Allocates only the result text.
  Formatted Format(double value, bool date1904) const;
  // The text of a text cell: the fourth section, or a last section that contains "@"; without
  // such a section the text is shown as it is.
  Formatted FormatText(std::string_view text) const;
  // True when the code shows nothing for any value (";;;": four empty sections). Logical values
  // are then hidden too; errors are not (no format applies to them).
  bool HidesAll() const;
  // True when the section that shows positive numbers is a date or time.
  bool IsDateTime() const;
  const std::string& Code() const;

  struct Compiled;

 private:
  std::unique_ptr<Compiled> compiled_;
};

// Compiled formats by code, each compiled once. Get is not safe to call from two threads at once;
// the NumberFormat it returns is.
class FormatCache {
 public:
  const NumberFormat& Get(std::string_view code);

 private:
  std::unordered_map<std::string, std::unique_ptr<NumberFormat>> compiled_;
};

// The formats of one workbook by index, compiled once each. Get is not safe to call from two
// threads at once; the NumberFormat it returns is.
class FormatTable {
 public:
  explicit FormatTable(const std::map<uint16_t, std::string>& custom);
  // The code for a format index: the workbook's own, else the built-in one, else "General".
  std::string_view Code(uint16_t index) const;
  const NumberFormat& Get(uint16_t index);

 private:
  const std::map<uint16_t, std::string>& custom_;
  std::unordered_map<uint16_t, std::unique_ptr<NumberFormat>> compiled_;
};

}  // namespace quillane::format
