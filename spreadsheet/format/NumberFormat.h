// Number formats: the display text of a cell value under a format code, as the spreadsheet
// application shows it with an en-US installation.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

namespace quillane::format {

struct Formatted {
  std::string text;      // UTF-8
  int colorIndex = -1;   // palette index chosen by the format ([Red], [Color12]); -1 for none
};

// The en-US code of a built-in format (0 "General" ... 49 "@"); empty for indexes with none.
std::string_view BuiltinFormat(uint16_t index);

// "General" in a cell of standard width: at most 11 characters.
std::string FormatGeneral(double value);

// One compiled format code. Construction never throws: a code that cannot be parsed formats
// as General.
class NumberFormat {
 public:
  explicit NumberFormat(std::string_view code);
  ~NumberFormat();
  NumberFormat(NumberFormat&&) noexcept;
  NumberFormat& operator=(NumberFormat&&) noexcept;

  Formatted Format(double value, bool date1904) const;
  Formatted FormatText(std::string_view text) const;
  bool IsDateTime() const;
  const std::string& Code() const;

  struct Compiled;

 private:
  std::unique_ptr<Compiled> compiled_;
};

// The formats of one workbook by index, compiled once each.
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
