// Charts of models built by the test drawn as SVG: every kind well-formed with hostile texts,
// labels thinned, axis scaling and formats, values from cells or from the cache.
#include <gtest/gtest.h>

#include <cmath>
#include <regex>

#include "SvgShapes.h"
#include "spreadsheet/chart/ChartScale.h"
#include "spreadsheet/chart/ChartSvg.h"
#include "spreadsheet/chart/ChartValues.h"
#include "spreadsheet/chart/Trendline.h"

using namespace quillane;
using model::ChartKind;

namespace {

model::ChartSeries Series(std::string name, std::vector<double> values,
                          std::vector<std::string> categories = {}) {
  model::ChartSeries s;
  s.name.texts = {std::move(name)};
  s.values.numbers = std::move(values);
  s.categories.texts = std::move(categories);
  return s;
}

bool Contains(const test::SvgDrawing& d, const std::string& t) { return d.Find(t) != nullptr; }

}  // namespace

TEST(ChartSvg, EveryKindIsWellFormedAndEscapesItsTexts) {
  const std::string hostile = "<b>&\"x'</b>\x01\xFF\xEF\xBF\xBE]]>";
  struct Kind {
    ChartKind kind;
    model::ChartGrouping grouping;
    const char* alt;
  };
  using G = model::ChartGrouping;
  const Kind kinds[] = {
      {ChartKind::Column, G::Clustered, "column chart"},
      {ChartKind::Column, G::Stacked, "stacked column chart"},
      {ChartKind::Bar, G::PercentStacked, "100% stacked bar chart"},
      {ChartKind::Line, G::Clustered, "line chart"},
      {ChartKind::Area, G::Stacked, "stacked area chart"},
      {ChartKind::Pie, G::Clustered, "pie chart"},
      {ChartKind::Doughnut, G::Clustered, "doughnut chart"},
      {ChartKind::Scatter, G::Clustered, "scatter chart"},
      {ChartKind::Radar, G::Clustered, "radar chart"},
      {ChartKind::None, G::Clustered, "chart"},
  };
  model::Workbook book;
  for (const Kind& k : kinds) {
    SCOPED_TRACE(k.alt);
    model::Chart c;
    c.title.text = "T" + hostile;
    model::ChartGroup g;
    g.kind = k.kind;
    g.grouping = k.grouping;
    g.series.push_back(
        Series("S" + hostile, {3, -1, 4, model::kNoValue, 5}, {"c" + hostile, "b", "c", "d", "e"}));
    g.series.push_back(Series("Two", {1, 2, 3, 4, 5}));
    g.series[0].labels.value = g.series[0].labels.category = true;
    g.series[0].points.push_back({1, {}, {}, 25});  // an exploded slice
    g.series[1].marker = model::MarkerShape::None;
    g.series[1].trendlines.resize(2);
    g.series[1].trendlines[1].kind = model::TrendKind::MovingAverage;
    g.labels.percent = true;
    c.groups.push_back(g);
    c.valueAxis.majorGridlines = true;
    c.categoryAxis.title.text = "X" + hostile;
    const std::string svg = chart::DrawSvg(book, c, 400, 300);
    const test::SvgDrawing p = test::ParseSvg(svg);
    ASSERT_TRUE(p.ok) << p.error << "\n" << svg;
    // The title arrives as text, less what XML cannot hold.
    EXPECT_TRUE(Contains(p, "T<b>&\"x'</b>\xEF\xBF\xBD]]>")) << svg;
    EXPECT_EQ(chart::AltText(book, c), "T" + hostile + ": " + k.alt);
    if (k.kind != ChartKind::None) {
      EXPECT_GT(p.texts.size(), 3u) << svg;
    }
  }
  EXPECT_THROW(chart::DrawSvg(book, model::Chart(), 3, 300), chart::ChartError);
}

TEST(ChartSvg, CategoryLabelsAreThinnedAndValueAxisScaled) {
  model::Workbook book;
  model::Chart c;
  c.legend = model::LegendPosition::None;
  model::ChartGroup g;
  std::vector<double> values;
  std::vector<std::string> cats;
  for (int i = 0; i < 120; ++i) {
    values.push_back(i % 10 + 0.5);
    cats.push_back("Label " + std::to_string(i));
  }
  g.series.push_back(Series("S", values, cats));
  c.groups.push_back(g);
  c.valueAxis.numberFormat = "0.0";
  const test::SvgDrawing p = test::ParseSvg(chart::DrawSvg(book, c, 600, 300));
  ASSERT_TRUE(p.ok);
  std::vector<double> xs;
  for (size_t i = 0; i < p.texts.size(); ++i)
    if (p.texts[i].text.rfind("Label ", 0) == 0) xs.push_back(p.texts[i].x);
  // Every k-th label, the first one shown, none closer than a label's width.
  ASSERT_GT(xs.size(), 3u);
  EXPECT_LT(xs.size(), 40u);
  EXPECT_TRUE(Contains(p, "Label 0"));
  for (size_t i = 1; i < xs.size(); ++i) EXPECT_GT(xs[i] - xs[i - 1], 40);
  // 0.5 .. 9.5: from 0, steps of 1, 2 or 5 times a power of ten, the axis's own format.
  EXPECT_TRUE(Contains(p, "0.0"));
  EXPECT_TRUE(Contains(p, "10.0"));

  model::ChartAxis axis;
  chart::Scale s = chart::NiceScale(3, 97, axis, 6, false);
  EXPECT_EQ(s.min, 0);
  EXPECT_EQ(s.max, 120);
  EXPECT_EQ(s.major, 20);
  s = chart::NiceScale(-42, -3, axis, 10, false);
  EXPECT_EQ(s.max, 0);
  EXPECT_EQ(s.min, -45);
  EXPECT_EQ(s.major, 5);
  axis.min = 10;
  axis.max = 20;
  s = chart::NiceScale(0, 1000, axis, 5, false);
  EXPECT_EQ(s.min, 10);
  EXPECT_EQ(s.max, 20);
  EXPECT_EQ(s.major, 2);
  s = chart::NiceScale(0, 0.7, model::ChartAxis(), 10, true);
  EXPECT_EQ(s.max, 1);
  // Nothing to show, or only zeros: from zero up, for parts of a whole too.
  for (bool percent : {false, true}) {
    s = chart::NiceScale(0, 0, model::ChartAxis(), 10, percent);
    EXPECT_EQ(s.min, 0);
    EXPECT_DOUBLE_EQ(s.max, percent ? 1 : 1.2);
  }
  model::ChartAxis log;
  log.logScale = true;
  s = chart::NiceScale(3, 4500, log, 10, false);
  EXPECT_EQ(s.Ticks(), (std::vector<double>{1, 10, 100, 1000, 10000}));
}

TEST(ChartSvg, ValuesComeFromCellsWhenTheWorkbookHoldsThem) {
  model::Workbook book;
  book.sheets.emplace_back().name = "Data";
  book.styles.emplace_back().numberFormat = "0.00";
  model::Sheet& sheet = book.sheets[0];
  for (uint32_t r = 1; r <= 3; ++r) {
    model::Cell c;
    c.row = r;
    c.col = 1;
    c.type = model::CellType::Number;
    c.number = r * 10;
    sheet.cells.push_back(c);
  }
  sheet.Normalize();
  model::ChartData d;
  d.sheet = 0;
  d.range = {1, 3, 1, 1};
  d.numbers = {7, 8, 9};
  format::FormatCache formats;
  chart::Values v = chart::ReadValues(book, d, formats, true);
  EXPECT_EQ(v.numbers, (std::vector<double>{10, 20, 30}));
  EXPECT_EQ(v.texts[2], "30.00");
  EXPECT_EQ(v.format, "0.00");
  // A hidden row's cell is left out, unless the chart shows hidden cells too.
  sheet.rows[2].hidden = true;
  EXPECT_EQ(chart::ReadValues(book, d, formats, false).numbers, (std::vector<double>{10, 30}));
  EXPECT_EQ(chart::ReadValues(book, d, formats, false, false).numbers,
            (std::vector<double>{10, 20, 30}));
  sheet.rows.clear();
  // Cells that are not there (another sheet's range, a sheet past the end): the cache.
  d.range = {10, 12, 1, 1};
  EXPECT_EQ(chart::ReadValues(book, d, formats, false).numbers, (std::vector<double>{7, 8, 9}));
  d.sheet = 5;
  d.range = {1, 3, 1, 1};
  v = chart::ReadValues(book, d, formats, true);
  EXPECT_EQ(v.numbers, (std::vector<double>{7, 8, 9}));
  EXPECT_EQ(v.texts, (std::vector<std::string>{"7", "8", "9"}));
}

TEST(ChartSvg, ColoursLegendsAndSlices) {
  model::Workbook book;
  model::Chart c;
  c.palette = {0x111111, 0x222222};
  model::ChartGroup g;
  g.grouping = model::ChartGrouping::Stacked;
  g.series = {Series("A", {1, 2}), Series("B", {3, 4}), Series("C", {5, 6})};
  g.series[1].fill.color = model::Color::Rgb(0xABCDEF);
  c.groups.push_back(g);
  std::string svg = chart::DrawSvg(book, c, 400, 300);
  // The palette in turn, a series' own colour where it has one, then darker variants.
  EXPECT_NE(svg.find("fill=\"#111111\""), std::string::npos);
  EXPECT_NE(svg.find("fill=\"#ABCDEF\""), std::string::npos);
  EXPECT_EQ(svg.find("fill=\"#222222\""), std::string::npos);
  EXPECT_NE(svg.find("fill=\"#0A0A0A\""), std::string::npos);  // the third: the first, darker
  // A legend beside stacked series lists them as stacked, the last on top.
  test::SvgDrawing p = test::ParseSvg(svg);
  const test::SvgText *a = p.Find("A"), *cc = p.Find("C");
  ASSERT_TRUE(a && cc);
  EXPECT_LT(cc, a);
  c.legend = model::LegendPosition::None;
  p = test::ParseSvg(chart::DrawSvg(book, c, 400, 300));
  EXPECT_FALSE(Contains(p, "A"));

  // A pie: one slice per point in varied colours, the legend names the categories, an exploded
  // slice moves out of the centre, percentages in the labels.
  model::Chart pie;
  model::ChartGroup pg;
  pg.kind = ChartKind::Pie;
  pg.series.push_back(Series("P", {1, 3}, {"one", "three"}));
  pg.series[0].points.push_back({1, {}, {}, 50});
  pg.series[0].labels.percent = true;
  pie.groups.push_back(pg);
  svg = chart::DrawSvg(book, pie, 300, 300);
  p = test::ParseSvg(svg);
  EXPECT_TRUE(Contains(p, "one") && Contains(p, "three"));
  EXPECT_TRUE(Contains(p, "25%") && Contains(p, "75%"));
  std::regex slice("<path d=\"M([0-9.]+),([0-9.]+)L");
  std::vector<std::string> centres;
  for (auto it = std::sregex_iterator(svg.begin(), svg.end(), slice); it != std::sregex_iterator();
       ++it)
    centres.push_back((*it)[1].str() + "," + (*it)[2].str());
  ASSERT_EQ(centres.size(), 2u);
  EXPECT_NE(centres[0], centres[1]);
}

// Each kind of trendline through points that follow it exactly comes back to them.
TEST(ChartSvg, TrendlinesFitTheirKinds) {
  using model::TrendKind;
  const std::vector<double> xs = {1, 2, 3, 4, 5, 6};
  struct Case {
    TrendKind kind;
    double (*f)(double);
  };
  const Case cases[] = {
      {TrendKind::Linear, [](double x) { return 2 * x + 1; }},
      {TrendKind::Polynomial, [](double x) { return x * x - 3 * x + 2; }},
      {TrendKind::Exponential, [](double x) { return 3 * std::exp(0.5 * x); }},
      {TrendKind::Power, [](double x) { return 2 * std::pow(x, 1.5); }},
      {TrendKind::Logarithmic, [](double x) { return 1 + 2 * std::log(x); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.kind));
    model::Trendline t;
    t.kind = c.kind;
    std::vector<double> ys;
    for (double x : xs) ys.push_back(c.f(x));
    const auto curve = chart::TrendCurve(t, xs, ys, 0.5, 8);
    ASSERT_GT(curve.size(), 10u);
    EXPECT_DOUBLE_EQ(curve.front().first, 0.5);
    EXPECT_DOUBLE_EQ(curve.back().first, 8);
    for (const auto& [x, y] : curve) EXPECT_NEAR(y, c.f(x), 1e-6 * std::max(1.0, std::abs(y)));
  }
  model::Trendline fixed;
  fixed.intercept = 0.8;  // y = 0.8 + b x, b by least squares with the intercept held
  const auto line = chart::TrendCurve(fixed, {1, 2, 3, 4, 5}, {2, 4, 6, 8, 10}, 0, 1);
  EXPECT_NEAR(line.front().second, 0.8, 1e-9);
  EXPECT_NEAR(line.back().second, 0.8 + 2 - 0.8 * 15 / 55, 1e-9);
  model::Trendline average;
  average.kind = TrendKind::MovingAverage;
  average.period = 3;
  const auto moving = chart::TrendCurve(average, {1, 2, 3, 4, 5}, {1, 2, 3, 4, 8}, 0, 0);
  const std::vector<std::pair<double, double>> expected = {{3, 2}, {4, 3}, {5, 5}};
  EXPECT_EQ(moving, expected);
  model::Trendline logarithmic;
  logarithmic.kind = TrendKind::Logarithmic;  // no logarithm of 0
  EXPECT_TRUE(chart::TrendCurve(logarithmic, {0, 1, 2}, {1, 2, 3}, 0, 2).empty());
}
