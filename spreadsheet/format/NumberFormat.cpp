#include "spreadsheet/format/NumberFormat.h"

#include <cstdio>

namespace quillane::format {

struct NumberFormat::Compiled {
  std::string code;
};

std::string_view BuiltinFormat(uint16_t index) { return index == 0 ? "General" : ""; }

std::string FormatGeneral(double value) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.10G", value);
  return buf;
}

NumberFormat::NumberFormat(std::string_view code)
    : compiled_(std::make_unique<Compiled>(Compiled{std::string(code)})) {}
NumberFormat::~NumberFormat() = default;
NumberFormat::NumberFormat(NumberFormat&&) noexcept = default;
NumberFormat& NumberFormat::operator=(NumberFormat&&) noexcept = default;

Formatted NumberFormat::Format(double value, bool) const { return {FormatGeneral(value), -1}; }
Formatted NumberFormat::FormatText(std::string_view text) const { return {std::string(text), -1}; }
bool NumberFormat::IsDateTime() const { return false; }
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
