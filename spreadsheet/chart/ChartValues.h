// The values a chart's series show: from the cells they refer to when the workbook holds them,
// else from what the file cached with the chart.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "spreadsheet/format/NumberFormat.h"
#include "spreadsheet/model/Workbook.h"

namespace quillane::chart {

// At most this many points of one series are read; more is not a chart a page can show.
inline constexpr size_t kMaxSeriesPoints = 100000;

struct Values {
  std::vector<double> numbers;     // one per point; NaN where the point is empty or a text
  std::vector<std::string> texts;  // one per point: what the cell shows (categories, names)
  std::string format;              // the number format of the values ("General" when none)
  bool fromCells = false;
  size_t size() const { return std::max(numbers.size(), texts.size()); }
};

// The values of `data`. From cells when its sheet is in `book` and holds at least one cell of
// its range; texts are the cells' display texts under their formats. Trailing empty points of
// cells are left out, and with `visibleOnly` the cells of hidden rows and columns. `wantTexts`:
// fill `texts` too (numbers are always filled).
Values ReadValues(const model::Workbook& book, const model::ChartData& data,
                  format::FormatCache& formats, bool wantTexts, bool visibleOnly = true);

}  // namespace quillane::chart
