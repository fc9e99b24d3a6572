// Embedded charts in the workbook model.
//
// A chart is kept the way the page draws it, whatever file it came from: one or more groups of
// series (a column group and a line group on a secondary axis make a combination chart), the
// axes, the title, the legend and the fills of the chart and plot areas. Series name the cells
// they come from and carry the values the file cached with the chart; the page takes the cells'
// values when the workbook holds them and the cached ones otherwise.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "spreadsheet/model/Basics.h"

namespace quillane::model {

// Where a drawing object sits over the sheet: from the top-left corner of cell (row1, col1)
// moved by (dx1, dy1) to the same in cell (row2, col2). Offsets are in the units of `Picture`:
// dx in 1/1024 of the column's width, dy in 1/256 of the row's height.
struct Anchor {
  uint16_t col1 = 0, dx1 = 0;
  uint32_t row1 = 0;
  uint16_t dy1 = 0;
  uint16_t col2 = 0, dx2 = 0;
  uint32_t row2 = 0;
  uint16_t dy2 = 0;
};

// The kinds the page draws. Files have more (stock, bubble, surface, 3-D variants, ...): the
// reader maps each to the nearest of these and says what it was in `Chart::drawnAs`.
enum class ChartKind : uint8_t {
  Column,  // vertical bars
  Bar,     // horizontal bars
  Line,
  Area,
  Pie,
  Doughnut,
  Scatter,
  Radar,
  None,  // nothing the page can draw: a plain frame with the title
};

enum class ChartGrouping : uint8_t { Clustered, Stacked, PercentStacked };

enum class MarkerShape : uint8_t {
  Automatic,  // the series' turn in the default sequence
  None,
  Square,
  Diamond,
  Triangle,
  X,
  Star,
  Dot,
  Dash,
  Circle,
  Plus,
};

enum class LegendPosition : uint8_t { None, Right, Left, Top, Bottom, Corner };

// How a point without a value is drawn: left out (a gap in lines), as zero, or bridged by the line.
enum class EmptyPoints : uint8_t { Gap, Zero, Span };

// A line: its colour and width (automatic colour: the default of its place).
struct ChartLine {
  bool visible = true;
  Color color;
  float widthPt = 0;  // 0: the default width of its place
  uint8_t dash = 0;   // 0 solid, 1 dash, 2 dot, 3 dash-dot, 4 dash-dot-dot
};

// An area's fill: none, automatic (the default of its place) or a colour.
struct ChartFill {
  bool visible = true;
  Color color;
};

// A text with the font it is drawn in.
struct ChartText {
  std::string text;
  bool hasFont = false;  // `font` was given; else the chart's default font
  Font font;
};

// Values of a series: the cells they come from, and what the file cached with the chart.
struct ChartData {
  // The cells: sheet index into Workbook::sheets and range, when the series refers to cells of
  // this workbook; -1 when it does not (literal values, another workbook, a name).
  int32_t sheet = -1;
  Range range;
  std::string formula;  // the reference as the file spells it ("Sheet1!$B$2:$B$9"), may be empty

  // Cached values, one per point: numbers (NaN for an empty point) or texts.
  std::vector<double> numbers;
  std::vector<std::string> texts;
  std::string numberFormat;  // the format code of the values; empty: the cells' own formats
};

inline constexpr double kNoValue = std::numeric_limits<double>::quiet_NaN();

// One data point with a look of its own.
struct ChartPoint {
  uint32_t index = 0;
  ChartFill fill;
  ChartLine line;
  uint16_t explosion = 0;  // pie slices: distance from the centre in % of the radius
};

struct DataLabels {
  bool value = false;
  bool category = false;
  bool seriesName = false;
  bool percent = false;
  std::string numberFormat;  // empty: the values' format
};

// A line fitted to a series' values (or their moving average), drawn over the series.
enum class TrendKind : uint8_t {
  Linear,
  Exponential,
  Logarithmic,
  Polynomial,
  Power,
  MovingAverage
};

struct Trendline {
  TrendKind kind = TrendKind::Linear;
  uint8_t order = 2;                 // polynomial: 2..6
  uint16_t period = 2;               // moving average: points averaged
  double forward = 0, backward = 0;  // how far past the last and before the first value (x units)
  std::optional<double> intercept;   // linear, polynomial and exponential: the value at x = 0
  ChartLine line;
};

struct ChartSeries {
  ChartData name;        // one text (texts[0]) or a cell
  ChartData categories;  // category texts or numbers; scatter: the x values
  ChartData values;
  ChartFill fill;  // bars, areas, slices
  ChartLine line;  // lines, borders
  MarkerShape marker = MarkerShape::Automatic;
  uint8_t markerSize = 5;  // points
  Color markerFill, markerLine;
  bool smooth = false;
  uint16_t explosion = 0;  // every slice, % of the radius
  std::vector<ChartPoint> points;
  DataLabels labels;
  std::vector<Trendline> trendlines;
};

struct ChartGroup {
  ChartKind kind = ChartKind::Column;
  ChartGrouping grouping = ChartGrouping::Clustered;
  bool markers = true;           // line, scatter and radar: draw the markers
  bool lines = true;             // scatter: join the markers
  bool varyColors = false;       // one colour per point rather than per series
  int16_t gapWidth = 150;        // bars: the gap between categories in % of a bar's width
  int16_t overlap = 0;           // bars: -100..100 %
  uint16_t holeSize = 50;        // doughnut: % of the radius
  uint16_t firstSliceAngle = 0;  // pie and doughnut: degrees clockwise from the top
  bool secondaryAxis = false;
  bool filled = false;      // radar: the series' areas filled
  bool hiLowLines = false;  // stock: a line from the lowest to the highest value per category
  DataLabels labels;        // for every series that has none of its own
  std::vector<ChartSeries> series;
};

struct ChartAxis {
  bool visible = true;  // deleted axes keep their scaling but are not drawn
  ChartText title;
  std::string numberFormat;  // of the tick labels; empty: the values' format
  std::optional<double> min, max, majorUnit;
  bool logScale = false;
  bool reversed = false;
  bool crossesAtMax = false;  // crosses the other axis at its maximum rather than at zero
  bool betweenTicks = true;   // categories: points in the middle of their slots, else on ticks
  bool majorGridlines = false;
  bool minorGridlines = false;
  ChartLine line;
  ChartLine gridLine;
  bool hasFont = false;
  Font font;                  // of the tick labels
  uint32_t labelSkip = 0;     // category axes: every n-th label shown; 0: as many as fit
  int16_t labelRotation = 0;  // tick labels turned clockwise by degrees (-90..90)
};

struct Chart {
  Anchor anchor;
  std::string name;
  std::vector<ChartGroup> groups;  // drawn in order; the first sets the axes' roles
  ChartAxis categoryAxis;          // x of scatter charts
  ChartAxis valueAxis;
  ChartAxis secondaryValueAxis;  // for groups with secondaryAxis
  ChartText title;               // empty text and !autoTitle: no title
  bool autoTitle = false;        // a single series' name stands as the title
  LegendPosition legend = LegendPosition::Right;
  bool hasLegendFont = false;
  Font legendFont;
  ChartFill chartFill, plotFill;
  ChartLine chartBorder, plotBorder;
  bool hasFont = false;
  Font font;  // the chart's default text font
  EmptyPoints emptyPoints = EmptyPoints::Gap;
  bool visibleCellsOnly = true;  // values of hidden rows and columns are left out
  // The colours automatic series (or points) take in turn, the workbook theme's accents; empty:
  // those of the application's default theme.
  std::vector<uint32_t> palette;
  // What the file called the chart when the page draws it as something else ("stock",
  // "bubble", "surface", "3-D column", ...); empty when it is drawn as it is.
  std::string drawnAs;
};

}  // namespace quillane::model
