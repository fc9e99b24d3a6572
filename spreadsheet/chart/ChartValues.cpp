#include "spreadsheet/chart/ChartValues.h"

#include <algorithm>
#include <cmath>

namespace quillane::chart {

namespace {

// Whether the sheet holds any cell of the range (cells are sorted by row, then column).
bool HoldsCells(const model::Sheet& sheet, const model::Range& r) {
  auto it = std::lower_bound(sheet.cells.begin(), sheet.cells.end(), r.firstRow,
                             [](const model::Cell& c, uint32_t row) { return c.row < row; });
  for (; it != sheet.cells.end() && it->row <= r.lastRow; ++it) {
    if (it->col >= r.firstCol && it->col <= r.lastCol) return true;
    if (it->col < r.firstCol) {
      // Skip ahead to the range's first column of this row.
      const model::Cell key{it->row, r.firstCol};
      it = std::lower_bound(it, sheet.cells.end(), key,
                            [](const model::Cell& a, const model::Cell& b) {
                              return a.row < b.row || (a.row == b.row && a.col < b.col);
                            });
      if (it == sheet.cells.end()) return false;
      if (it->row <= r.lastRow && it->col >= r.firstCol && it->col <= r.lastCol) return true;
    }
  }
  return false;
}

}  // namespace

Values ReadValues(const model::Workbook& book, const model::ChartData& data,
                  format::FormatCache& formats, bool wantTexts, bool visibleOnly) {
  Values v;
  const model::Range& r = data.range;
  const bool cells = data.sheet >= 0 && static_cast<size_t>(data.sheet) < book.sheets.size() &&
                     r.firstRow <= r.lastRow && r.firstCol <= r.lastCol &&
                     HoldsCells(book.sheets[static_cast<size_t>(data.sheet)], r);
  if (!cells) {
    v.numbers = data.numbers;
    if (v.numbers.size() > kMaxSeriesPoints) v.numbers.resize(kMaxSeriesPoints);
    if (wantTexts) {
      v.texts = data.texts;
      if (v.texts.size() > kMaxSeriesPoints) v.texts.resize(kMaxSeriesPoints);
      // Cached numbers show under the cache's format.
      if (v.texts.empty() && !v.numbers.empty()) {
        const format::NumberFormat& f =
            formats.Get(data.numberFormat.empty() ? "General" : data.numberFormat);
        for (double n : v.numbers)
          v.texts.push_back(std::isnan(n) ? std::string() : f.Format(n, book.date1904).text);
      }
    }
    v.format = data.numberFormat.empty() ? "General" : data.numberFormat;
    return v;
  }
  const model::Sheet& sheet = book.sheets[static_cast<size_t>(data.sheet)];
  const uint64_t rows = uint64_t{r.lastRow} - r.firstRow + 1,
                 cols = uint64_t{r.lastCol} - r.firstCol + 1;
  const size_t count = static_cast<size_t>(std::min<uint64_t>(rows * cols, kMaxSeriesPoints));
  v.fromCells = true;
  v.numbers.assign(count, model::kNoValue);
  if (wantTexts) v.texts.assign(count, std::string());
  size_t last = 0;  // one past the last point that holds something
  size_t i = 0;     // the next point
  std::string formatCode;
  for (size_t k = 0; k < count; ++k) {
    // Row by row: a range of one row or one column is the usual case.
    const uint32_t row = static_cast<uint32_t>(r.firstRow + k / cols);
    const uint16_t col = static_cast<uint16_t>(r.firstCol + k % cols);
    if (visibleOnly && (sheet.RowHidden(row) || sheet.ColumnHidden(col))) continue;
    const model::Cell* c = sheet.Find(row, col);
    const size_t at = i++;  // the point's index
    if (c == nullptr || c->type == model::CellType::Blank) continue;
    last = at + 1;
    const model::CellStyle& style = book.Style(c->style);
    switch (c->type) {
      case model::CellType::Number:
        v.numbers[at] = c->number;
        if (formatCode.empty()) formatCode = style.numberFormat;
        if (wantTexts)
          v.texts[at] = formats.Get(style.numberFormat).Format(c->number, book.date1904).text;
        break;
      case model::CellType::String:
        if (wantTexts && c->text < book.strings.size()) v.texts[at] = book.strings[c->text];
        break;
      case model::CellType::Boolean:
        if (wantTexts) v.texts[at] = c->code ? "TRUE" : "FALSE";
        break;
      case model::CellType::Error:
        if (wantTexts) v.texts[at] = std::string(model::ErrorText(c->code));
        break;
      case model::CellType::Blank:
        break;
    }
  }
  v.numbers.resize(last);
  if (wantTexts) v.texts.resize(last);
  v.format = !data.numberFormat.empty() ? data.numberFormat
             : formatCode.empty()       ? std::string("General")
                                        : formatCode;
  return v;
}

}  // namespace quillane::chart
