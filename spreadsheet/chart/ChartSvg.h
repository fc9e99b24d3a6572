// Embedded charts of the model drawn as SVG documents: one chart, one self-contained picture of
// the size its anchor gives it.
#pragma once

#include <stdexcept>
#include <string>

#include "spreadsheet/model/Workbook.h"

namespace quillane::chart {

// A chart that cannot be drawn; the message says why ("no room", "too many points", ...).
class ChartError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The kind as a reader of the page calls it: "column chart", "stacked bar chart", "pie chart",
// "chart" for ChartKind::None.
std::string KindName(const model::Chart& chart);

// The text alternative of a chart: its title and kind ("Sales: column chart"), or the kind alone.
std::string AltText(const model::Workbook& book, const model::Chart& chart);

// Draws `chart` as an SVG document `width` x `height` pixels. Series take their values from the
// cells they refer to when `book` holds them, else from the values cached with the chart. Every
// text is escaped, so the document is well-formed whatever the texts hold. Throws ChartError
// when the chart cannot be drawn (too small, too many points).
std::string DrawSvg(const model::Workbook& book, const model::Chart& chart, int width, int height);

}  // namespace quillane::chart
