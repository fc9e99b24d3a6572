// The drawing of one chart as SVG, shared by the files of chart/: the resolved series, the text
// styles, the SVG primitives and the painters of each kind of chart. Private to chart/.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "spreadsheet/chart/ChartScale.h"
#include "spreadsheet/chart/ChartValues.h"
#include "spreadsheet/format/NumberFormat.h"
#include "spreadsheet/model/Workbook.h"

namespace quillane::chart::drawing {

using model::ChartGrouping;
using model::ChartKind;

// Every series of a chart together: more points than this is not drawn.
constexpr size_t kMaxChartPoints = 1000000;
constexpr int kMinSide = 8;

constexpr std::array<uint32_t, 6> kAccents = {0x4472C4, 0xED7D31, 0xA5A5A5,
                                              0xFFC000, 0x5B9BD5, 0x70AD47};
// The look of what a chart leaves automatic.
constexpr uint32_t kTextColor = 0x000000;
constexpr uint32_t kLineColor = 0x868686;  // axes
constexpr uint32_t kGridColor = 0x868686;
constexpr uint32_t kBorderColor = 0x868686;

// The default colour of series (or point) number `i`: the six accents (the chart's palette or the
// default theme's), then darker and lighter variants of them in turn.
inline uint32_t DefaultColor(size_t i, const std::vector<uint32_t>& palette) {
  static constexpr std::array<std::array<double, 2>, 8> kVariants = {
      {{1, 0}, {0.6, 0}, {0.8, 0.2}, {0.8, 0}, {0.6, 0.4}, {0.5, 0}, {0.7, 0.3}, {0.7, 0}}};
  const uint32_t base =
      palette.empty() ? kAccents[i % kAccents.size()] : palette[i % palette.size()] & 0xFFFFFF;
  const size_t turn = palette.empty() ? i / kAccents.size() : i / palette.size();
  const auto& v = kVariants[turn % kVariants.size()];
  return v[0] == 1 && v[1] == 0 ? base : model::ScaleLightness(base, v[0], v[1]);
}

struct TextStyle {
  double px = 13.3;
  bool bold = false, italic = false, underline = false;
  uint32_t color = kTextColor;
};

inline TextStyle StyleOf(bool has, const model::Font& font, const TextStyle& base) {
  if (!has) return base;
  TextStyle t;
  t.px = std::clamp(font.height / 15.0, 4.0, 96.0);
  t.bold = font.weight >= 600;
  t.italic = font.italic;
  t.underline = font.underline != model::Underline::None;
  t.color = font.color.Or(base.color);
  return t;
}

inline bool Named(const model::ChartData& name) {
  return name.sheet >= 0 || !name.texts.empty() || !name.formula.empty();
}

inline bool HasBars(ChartKind k) { return k == ChartKind::Column || k == ChartKind::Bar; }
inline bool IsRound(ChartKind k) { return k == ChartKind::Pie || k == ChartKind::Doughnut; }

struct Rect {
  double x = 0, y = 0, w = 0, h = 0;
};

// One series as drawn: its values resolved and its colour chosen.
struct Series {
  const model::ChartSeries* s = nullptr;
  const model::ChartGroup* g = nullptr;
  size_t order = 0;  // among all series of the chart
  Values values, categories;
  std::string name;
  uint32_t color = 0;
  double Value(size_t i) const {
    return i < values.numbers.size() ? values.numbers[i] : model::kNoValue;
  }
};

using PointRun = std::vector<std::pair<double, double>>;

// A legend's entry: a series, or a point of the one series a pie shows.
struct LegendEntry {
  std::string text;
  uint32_t color;
  const Series* series;
};

// A range of values met while measuring the series.
struct Extent {
  double lo = INFINITY, hi = -INFINITY;
  bool percent = false, any = false;
  void Add(double v) {
    if (std::isnan(v)) return;
    lo = std::min(lo, v), hi = std::max(hi, v), any = true;
  }
};

// What a chart with axes measures before it paints: its categories, the value ranges and their
// scales (primary and secondary), the room of each part and where values and categories fall.
struct AxisPlot {
  bool horizontal = false;  // bars: categories run down
  bool scatter = false;
  TextStyle catStyle, valStyle, secStyle, catTitle, valTitle;
  size_t n = 1;  // categories: the most points of any series
  const Values* catTexts = nullptr;
  Extent ext[2], xExt;
  bool hasSecondary = false;
  Scale vs[2], xs;
  std::vector<std::string> valueLabels[2], xLabels;
  bool showCat = false, showVal = false, showSec = false, catTitled = false, valTitled = false;
  bool catAtMax = false, valAtMax = false;  // crossing the other axis at its maximum
  bool catReversed = false, onTicks = false;
  double rotation = 0, turn = 0;  // of the category labels
  Rect area, plot;
  double slot = 0, shift = 0;  // the width of a category, and the shift of points on the ticks

  const TextStyle& ValStyle(int which) const { return which ? secStyle : valStyle; }
  std::string CatText(size_t i) const {
    if (catTexts && i < catTexts->texts.size()) return catTexts->texts[i];
    return catTexts ? std::string() : std::to_string(i + 1);
  }
  // Value -> pixel along the value axis.
  double ValuePos(int which, double v) const {
    const double f = vs[which].Fraction(v);
    return horizontal ? plot.x + f * plot.w : plot.y + plot.h - f * plot.h;
  }
  // Where the slot of category `i` starts (bars run from the bottom up).
  double SlotStart(size_t i) const {
    const double k = catReversed ? static_cast<double>(n - 1 - i) : static_cast<double>(i);
    return horizontal ? plot.y + plot.h - (k + 1) * slot - shift : plot.x + k * slot + shift;
  }
  // The x of a scatter chart -> pixel.
  double XPos(double x) const { return plot.x + xs.Fraction(x) * plot.w; }
  // The middle of category number `x` (1, 2, ...; fractions between).
  double CatPos(double x) const {
    const double k = catReversed ? static_cast<double>(n) - x : x - 1;
    return horizontal ? plot.y + plot.h - (k + 1) * slot - shift + slot / 2
                      : plot.x + k * slot + shift + slot / 2;
  }
};

// One group of series as painted on the axes: its members and the sums they stack on.
struct GroupPlot {
  const model::ChartGroup* g = nullptr;
  int which = 0;  // its value axis
  std::vector<const Series*> members;
  bool stacked = false, percent = false;
  std::vector<double> totals;  // of each category, for percent stacking
  double base = 0;             // the value bars and areas grow from
  std::vector<double> posSum, negSum;
  double Scaled(size_t i, double v) const {
    return percent ? (totals[i] > 0 ? v / totals[i] : 0) : v;
  }
};

class Drawer {
 public:
  Drawer(const model::Workbook& book, const model::Chart& chart, int width, int height)
      : book_(book), chart_(chart), w_(width), h_(height) {
    base_.px = 13.3;
    base_ = StyleOf(chart.hasFont, chart.font, base_);
    if (!chart.hasFont) base_.px = 13.3;
  }

  std::string Draw();

 private:
  void Prepare();
  void Frame();
  void Title(Rect& area);
  void Legend(Rect& area);
  void LegendEntries(std::vector<LegendEntry>& entries) const;
  void LegendSymbol(const LegendEntry& e, double x, double mid, double sym, const TextStyle& t);
  void AxisChart(Rect area);
  void RoundChart(Rect area);
  void RadarChart(Rect area);

  // Charts with axes (column, bar, line, area, scatter): measuring, then painting.
  void AxisExtents(AxisPlot& p) const;
  Scale ScaleFor(const AxisPlot& p, int which, double len) const;
  std::string ValueFormat(const AxisPlot& p, int which) const;
  bool AxisLayout(AxisPlot& p);
  void AxisRescale(AxisPlot& p);
  void PlotBackground(const AxisPlot& p);
  void Gridlines(const AxisPlot& p);
  GroupPlot GroupOf(const AxisPlot& p, const model::ChartGroup& g) const;
  void BarGroup(const AxisPlot& p, GroupPlot& gp);
  void HiLowLines(const AxisPlot& p, const GroupPlot& gp);
  void LineGroup(const AxisPlot& p, GroupPlot& gp);
  void AreaPath(const AxisPlot& p, const GroupPlot& gp, const Series& se, const PointRun& top,
                std::vector<PointRun>& areaTops);
  void Trendlines(const AxisPlot& p);
  void CategoryAxis(const AxisPlot& p);
  void CategoryLabels(const AxisPlot& p);
  void ValueAxes(const AxisPlot& p);
  void AxisTitles(const AxisPlot& p);

  // Primitives.
  void Text(double x, double y, std::string_view text, const TextStyle& t, const char* anchor,
            double rotate = 0);
  void StrokeAttrs(const model::ChartLine& line, uint32_t fallback, double fallbackWidth);
  void FillAttr(const model::ChartFill& fill, uint32_t fallback);
  void Marker(double x, double y, model::MarkerShape shape, double size, uint32_t fill,
              uint32_t line);
  void LinePath(const std::vector<std::pair<double, double>>& pts, bool smooth);
  // Appends "x,y".
  void Point(double x, double y);
  // Appends `<rect x=".." y=".." width=".." height=".."`, for the caller to go on with.
  void RectStart(const Rect& r);

  std::string FormatValue(double v, const std::string& code) {
    return formats_.Get(code.empty() ? "General" : code).Format(v, book_.date1904).text;
  }
  std::string LabelText(const Series& se, size_t i, double value, double percent);
  const model::DataLabels& LabelsOf(const Series& se) const {
    const model::DataLabels& own = se.s->labels;
    return own.value || own.category || own.seriesName || own.percent ? own : se.g->labels;
  }
  uint32_t PointColor(const Series& se, size_t i, bool vary) const;
  const model::ChartPoint* PointOf(const Series& se, size_t i) const {
    for (const model::ChartPoint& p : se.s->points)
      if (p.index == i) return &p;
    return nullptr;
  }
  model::MarkerShape MarkerOf(const Series& se) const;

  const model::Workbook& book_;
  const model::Chart& chart_;
  int w_, h_;
  TextStyle base_;
  format::FormatCache formats_;
  std::vector<Series> series_;
  const model::ChartGroup* first_ = nullptr;
  std::string out_;
};

}  // namespace quillane::chart::drawing
