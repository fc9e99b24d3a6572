#include "convert/SheetRange.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace quillane::convert {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    size_t at = text.find(separator, start);
    if (at == std::string::npos) {
      parts.push_back(text.substr(start));
      return parts;
    }
    parts.push_back(text.substr(start, at - start));
    start = at + 1;
  }
}

// The decimal number at the start of `part` (digits, optionally "." and more digits), rounded to
// the nearest whole number with halves to the even neighbour; 0 when the part does not start with
// a number. Values beyond the 32-bit range are held at its end.
int32_t LeadingNumber(const std::string& part) {
  size_t end = 0;
  while (end < part.size() && IsDigit(part[end])) ++end;
  size_t integerDigits = end;
  if (end < part.size() && part[end] == '.') {
    ++end;
    while (end < part.size() && IsDigit(part[end])) ++end;
  }
  if (integerDigits == 0 && end <= 1) return 0;  // no digit at all
  std::string number = part.substr(0, end);
  if (number == ".") return 0;
  double value = std::strtod(number.c_str(), nullptr);
  value = std::nearbyint(value);  // the default rounding mode: halves to even
  if (value >= static_cast<double>(std::numeric_limits<int32_t>::max()))
    return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(value);
}

// The sheet an item written as a plain number names: only the decimal form of a sheet number
// ("12", not "012" or "12.0") can ever equal one.
bool PlainSheetNumber(const std::string& item, int32_t& sheet) {
  if (item.empty() || item.size() > 10 || item[0] == '0') return false;
  int64_t value = 0;
  for (char c : item) {
    if (!IsDigit(c)) return false;
    value = value * 10 + (c - '0');
  }
  if (value > std::numeric_limits<int32_t>::max()) return false;
  sheet = static_cast<int32_t>(value);
  return true;
}

}  // namespace

SheetRange::SheetRange(const std::string& selection) {
  std::string text;
  for (char c : selection) {
    if (c != ' ') text += c;
  }
  if (text.empty()) {
    all_ = true;
    return;
  }
  for (const std::string& item : Split(text, ',')) {
    if (item.find('-') != std::string::npos) {
      std::vector<std::string> parts = Split(item, '-');
      if (parts.size() != 2) continue;
      int32_t first = LeadingNumber(parts[0]);
      int32_t last = LeadingNumber(parts[1]);
      if (first <= last) spans_.push_back({first, last});
    } else {
      int32_t sheet = 0;
      if (PlainSheetNumber(item, sheet)) spans_.push_back({sheet, sheet});
    }
  }
  std::sort(spans_.begin(), spans_.end(),
            [](const Span& a, const Span& b) { return a.first < b.first; });
  std::vector<Span> merged;
  for (const Span& span : spans_) {
    if (!merged.empty() &&
        static_cast<int64_t>(span.first) <= static_cast<int64_t>(merged.back().last) + 1) {
      merged.back().last = std::max(merged.back().last, span.last);
    } else {
      merged.push_back(span);
    }
  }
  spans_ = std::move(merged);
}

bool SheetRange::Contains(int32_t index) const {
  if (all_) return true;
  auto after = std::upper_bound(spans_.begin(), spans_.end(), index,
                                [](int32_t value, const Span& span) { return value < span.first; });
  if (after == spans_.begin()) return false;
  return index <= std::prev(after)->last;
}

}  // namespace quillane::convert
