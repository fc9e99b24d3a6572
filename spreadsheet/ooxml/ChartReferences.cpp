// The references of charts' series ("Sheet1!$B$2:$B$9") to the sheets of their workbook.
#include <algorithm>
#include <string>
#include <string_view>

#include "spreadsheet/model/Limits.h"
#include "spreadsheet/ooxml/Charts.h"

namespace quillane::ooxml {

namespace {

// A cell or a whole row or column of a reference ("$B$2", "B", "2"); `s` goes past it.
bool ParseCell(std::string_view& s, uint32_t& row, uint32_t& col, bool& hasRow, bool& hasCol) {
  hasRow = hasCol = false;
  size_t i = 0;
  if (i < s.size() && s[i] == '$') ++i;
  uint64_t c = 0;
  size_t letters = 0;
  while (i < s.size() && letters < 4 &&
         ((s[i] >= 'A' && s[i] <= 'Z') || (s[i] >= 'a' && s[i] <= 'z'))) {
    c = c * 26 + static_cast<uint64_t>((s[i] | 0x20) - 'a' + 1);
    ++i, ++letters;
  }
  if (letters) {
    if (c == 0 || c - 1 > model::kMaxColumnXlsx) return false;
    col = static_cast<uint32_t>(c - 1);
    hasCol = true;
  }
  if (i < s.size() && s[i] == '$') ++i;
  uint64_t r = 0;
  size_t digits = 0;
  while (i < s.size() && digits < 8 && s[i] >= '0' && s[i] <= '9') {
    r = r * 10 + static_cast<uint64_t>(s[i] - '0');
    ++i, ++digits;
  }
  if (digits) {
    if (r == 0 || r - 1 > model::kMaxRowXlsx) return false;
    row = static_cast<uint32_t>(r - 1);
    hasRow = true;
  }
  if (!hasRow && !hasCol) return false;
  s.remove_prefix(i);
  return true;
}

}  // namespace

bool ParseChartReference(std::string_view f, std::string& sheet, model::Range& range) {
  while (!f.empty() && f.front() == ' ') f.remove_prefix(1);
  while (!f.empty() && f.back() == ' ') f.remove_suffix(1);
  if (!f.empty() && f.front() == '=') f.remove_prefix(1);
  sheet.clear();
  if (!f.empty() && f.front() == '\'') {
    size_t i = 1;
    for (; i < f.size(); ++i) {
      if (f[i] == '\'') {
        if (i + 1 < f.size() && f[i + 1] == '\'') {
          sheet += '\'';
          ++i;
          continue;
        }
        break;
      }
      sheet += f[i];
    }
    if (i >= f.size()) return false;
    f.remove_prefix(i + 1);
  } else {
    const size_t bang = f.find('!');
    if (bang == std::string_view::npos) return false;
    sheet = std::string(f.substr(0, bang));
    f.remove_prefix(bang);
    if (sheet.find_first_of("[]():,;\" ") != std::string::npos) return false;
  }
  if (f.empty() || f.front() != '!' || sheet.empty()) return false;
  f.remove_prefix(1);
  uint32_t r1 = 0, c1 = 0, r2 = 0, c2 = 0;
  bool hr1, hc1, hr2, hc2;
  if (!ParseCell(f, r1, c1, hr1, hc1)) return false;
  r2 = r1, c2 = c1, hr2 = hr1, hc2 = hc1;
  if (!f.empty() && f.front() == ':') {
    f.remove_prefix(1);
    if (!ParseCell(f, r2, c2, hr2, hc2)) return false;
  }
  if (!f.empty() || hr1 != hr2 || hc1 != hc2) return false;
  if (!hr1) r1 = 0, r2 = model::kMaxRowXlsx;     // whole columns
  if (!hc1) c1 = 0, c2 = model::kMaxColumnXlsx;  // whole rows
  range.firstRow = std::min(r1, r2);
  range.lastRow = std::max(r1, r2);
  range.firstCol = static_cast<uint16_t>(std::min(c1, c2));
  range.lastCol = static_cast<uint16_t>(std::max(c1, c2));
  return true;
}

void ResolveChartReferences(model::Workbook& book) {
  auto resolve = [&](model::ChartData& d) {
    std::string name;
    model::Range range;
    if (d.formula.empty() || !ParseChartReference(d.formula, name, range)) return;
    for (size_t i = 0; i < book.sheets.size(); ++i) {
      const std::string& s = book.sheets[i].name;
      if (s.size() == name.size() &&
          std::equal(s.begin(), s.end(), name.begin(), [](char a, char b) {
            auto low = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
            return low(a) == low(b);
          })) {
        d.sheet = static_cast<int32_t>(i);
        d.range = range;
        return;
      }
    }
  };
  for (model::Sheet& sheet : book.sheets) {
    for (model::Chart& chart : sheet.charts) {
      for (model::ChartGroup& g : chart.groups) {
        for (model::ChartSeries& s : g.series) {
          resolve(s.name);
          resolve(s.categories);
          resolve(s.values);
        }
      }
    }
  }
}

}  // namespace quillane::ooxml
