#include "spreadsheet/chart/ChartSvg.h"

#include "spreadsheet/chart/ChartValues.h"
#include "spreadsheet/chart/Drawer.h"

namespace quillane::chart {

using model::ChartGrouping;
using model::ChartKind;

std::string KindName(const model::Chart& chart) {
  if (chart.groups.empty()) return "chart";
  const model::ChartGroup& g = chart.groups.front();
  std::string prefix = g.grouping == ChartGrouping::Stacked          ? "stacked "
                       : g.grouping == ChartGrouping::PercentStacked ? "100% stacked "
                                                                     : "";
  switch (g.kind) {
    case ChartKind::Column:
      return prefix + "column chart";
    case ChartKind::Bar:
      return prefix + "bar chart";
    case ChartKind::Line:
      return prefix + "line chart";
    case ChartKind::Area:
      return prefix + "area chart";
    case ChartKind::Pie:
      return "pie chart";
    case ChartKind::Doughnut:
      return "doughnut chart";
    case ChartKind::Scatter:
      return "scatter chart";
    case ChartKind::Radar:
      return "radar chart";
    case ChartKind::None:
      break;
  }
  return "chart";
}

std::string AltText(const model::Workbook& book, const model::Chart& chart) {
  std::string title = chart.title.text;
  if (title.empty() && chart.autoTitle) {
    size_t count = 0;
    const model::ChartSeries* only = nullptr;
    for (const model::ChartGroup& g : chart.groups) {
      count += g.series.size();
      if (!g.series.empty()) only = &g.series.front();
    }
    if (count == 1 && drawing::Named(only->name)) {
      format::FormatCache formats;
      for (const std::string& t : ReadValues(book, only->name, formats, true).texts) {
        if (!title.empty() && !t.empty()) title += ' ';
        title += t;
      }
    }
  }
  for (char& c : title)
    if (c == '\n' || c == '\r' || c == '\t') c = ' ';
  std::string kind = KindName(chart);
  if (title.empty()) {
    kind[0] = static_cast<char>(kind[0] >= 'a' && kind[0] <= 'z' ? kind[0] - 'a' + 'A' : kind[0]);
    return kind;
  }
  return title + ": " + kind;
}

std::string DrawSvg(const model::Workbook& book, const model::Chart& chart, int width, int height) {
  return drawing::Drawer(book, chart, width, height).Draw();
}

}  // namespace quillane::chart
