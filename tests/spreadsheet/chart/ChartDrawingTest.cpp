// Charts of models built by the test, checked by the numbers of their SVG: scale ends and steps,
// axes crossing at their maximum, stacked and percent sums, legends, value labels that would
// overlap, empty and single-point series.
#include <gtest/gtest.h>

#include <cmath>

#include "SvgShapes.h"
#include "spreadsheet/chart/ChartSvg.h"
#include "support/TextWidth.h"

using namespace quillane;
using model::ChartGrouping;
using model::ChartKind;
using test::ParseSvg;
using test::SvgDrawing;
using test::SvgText;

namespace {

constexpr double kPx = 13.3;     // the default text size
constexpr double kNear = 0.051;  // coordinates are written with two decimals

model::Chart ChartOf(ChartKind kind, ChartGrouping grouping,
                     std::vector<std::vector<double>> series) {
  model::Chart c;
  c.legend = model::LegendPosition::None;
  model::ChartGroup g;
  g.kind = kind;
  g.grouping = grouping;
  for (size_t i = 0; i < series.size(); ++i) {
    model::ChartSeries& s = g.series.emplace_back();
    s.name.texts = {std::string(1, static_cast<char>('A' + i))};
    s.values.numbers = std::move(series[i]);
  }
  c.groups.push_back(std::move(g));
  return c;
}

SvgDrawing Draw(const model::Chart& c, int width = 400, int height = 300) {
  const model::Workbook book;
  SvgDrawing d = ParseSvg(chart::DrawSvg(book, c, width, height));
  EXPECT_TRUE(d.ok) << d.error;
  return d;
}

// The labels of the value axis on the left, bottom to top.
std::vector<SvgText> ValueLabels(const SvgDrawing& d) { return d.Anchored("end"); }

// Where value `v` lies on the vertical value axis, from the labels of its two ends.
double ValueY(const SvgDrawing& d, double v) {
  const auto labels = ValueLabels(d);
  const double lo = labels.front().Number(), hi = labels.back().Number();
  return d.Plot().Bottom() - (v - lo) / (hi - lo) * d.Plot().h;
}

}  // namespace

TEST(ChartDrawing, ValueScaleEndsAndStepsMatchTheBars) {
  for (const std::vector<double>& values :
       {std::vector<double>{3, 47, 97}, {-20, 50, 5}, {0.002, 0.013}}) {
    SCOPED_TRACE(values[1]);
    const SvgDrawing d = Draw(ChartOf(ChartKind::Column, ChartGrouping::Clustered, {values}));
    const test::SvgRect plot = d.Plot();
    const auto labels = ValueLabels(d);
    ASSERT_GE(labels.size(), 3u);
    // Ends that hold every value, 0 among the ticks, even steps evenly spaced.
    const double lo = labels.front().Number(), hi = labels.back().Number();
    const double step = labels[1].Number() - lo;
    EXPECT_LE(lo, std::min(0.0, *std::min_element(values.begin(), values.end())));
    EXPECT_GE(hi, *std::max_element(values.begin(), values.end()));
    EXPECT_NE(d.Find("0"), nullptr);
    for (size_t i = 1; i < labels.size(); ++i) {
      EXPECT_NEAR(labels[i].Number() - labels[i - 1].Number(), step, step * 1e-9);
      EXPECT_NEAR(labels[i - 1].y - labels[i].y, plot.h / (labels.size() - 1), 2 * kNear);
    }
    EXPECT_NEAR(labels.front().y, plot.Bottom() + kPx * 0.35, kNear);
    EXPECT_NEAR(labels.back().y, plot.y + kPx * 0.35, kNear);
    // Each bar from the zero line to its value.
    ASSERT_EQ(d.rects.size(), 2 + values.size());
    const double zero = ValueY(d, 0);
    for (size_t i = 0; i < values.size(); ++i) {
      const test::SvgRect& bar = d.rects[2 + i];
      EXPECT_NEAR(values[i] >= 0 ? bar.Bottom() : bar.y, zero, 2 * kNear);
      EXPECT_NEAR(values[i] >= 0 ? bar.y : bar.Bottom(), ValueY(d, values[i]), 2 * kNear);
    }
    // The category axis runs along the zero line.
    const auto axis = std::find_if(d.paths.begin(), d.paths.end(), [&](const test::SvgPath& p) {
      return p.points.size() == 2 && p.points[0].second == p.points[1].second &&
             std::abs(p.points[1].first - p.points[0].first - plot.w) < kNear;
    });
    ASSERT_NE(axis, d.paths.end());
    EXPECT_NEAR(axis->points[0].second, std::round(zero) + 0.5, 1);
  }
}

TEST(ChartDrawing, AxesCrossingAtTheirMaximumMoveTheirLabels) {
  model::Chart c = ChartOf(ChartKind::Line, ChartGrouping::Clustered, {{1, 5, 3}});
  c.groups[0].series[0].categories.texts = {"one", "two", "three"};
  SvgDrawing d = Draw(c);
  EXPECT_GT(d.Find("two")->y, d.Plot().Bottom());
  EXPECT_LT(d.Find("0")->x, d.Plot().x);
  c.valueAxis.crossesAtMax = true;
  c.categoryAxis.crossesAtMax = true;
  d = Draw(c);
  // Categories above the plot, values on its right.
  EXPECT_LT(d.Find("two")->y, d.Plot().y);
  EXPECT_GT(d.Find("0")->x, d.Plot().Right());
  EXPECT_EQ(d.Find("0")->anchor, "start");
}

TEST(ChartDrawing, StackedAndPercentStackedBarsAddUp) {
  SvgDrawing d = Draw(ChartOf(ChartKind::Column, ChartGrouping::Stacked, {{1, 2}, {3, 6}}));
  ASSERT_EQ(d.rects.size(), 6u);  // frame, plot, A1, A2, B1, B2
  for (size_t i = 0; i < 2; ++i) {
    const test::SvgRect &a = d.rects[2 + i], &b = d.rects[4 + i];
    EXPECT_NEAR(b.Bottom(), a.y, 2 * kNear);  // B stands on A
    EXPECT_NEAR(b.h, 3 * a.h, 4 * kNear);
    EXPECT_NEAR(b.y, ValueY(d, i == 0 ? 4 : 8), 2 * kNear);
  }
  // Parts of a whole: every stack fills the plot, to a top labelled 100%.
  d = Draw(ChartOf(ChartKind::Column, ChartGrouping::PercentStacked, {{1, 2}, {3, 6}, {0, 2}}));
  const test::SvgRect plot = d.Plot();
  EXPECT_EQ(ValueLabels(d).back().text, "100%");
  EXPECT_NEAR(d.rects[2].h, plot.h * 0.25, 2 * kNear);
  EXPECT_NEAR(d.rects[3].h, plot.h * 0.2, 2 * kNear);
  for (size_t i = 0; i < 2; ++i) {
    double sum = 0;
    for (size_t s = 0; s < 3; ++s) sum += d.rects[2 + 2 * s + i].h;
    EXPECT_NEAR(sum, plot.h, 4 * kNear);
  }
  // A negative part reaches below zero by its share of the whole, on a scale from -100%.
  d = Draw(ChartOf(ChartKind::Column, ChartGrouping::PercentStacked, {{3}, {-1}}));
  EXPECT_EQ(ValueLabels(d).front().text, "-100%");
  EXPECT_NEAR(d.rects[3].y, ValueY(d, 0), 2 * kNear);
  EXPECT_NEAR(d.rects[3].Bottom(), ValueY(d, -0.25), 2 * kNear);
  // Stacked lines: each series' points at the running sums.
  d = Draw(ChartOf(ChartKind::Line, ChartGrouping::Stacked, {{1, 2}, {3, 6}}));
  const auto lines = d.Lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NEAR(lines[1].points[0].second, ValueY(d, 4), 2 * kNear);
  EXPECT_NEAR(lines[1].points[1].second, ValueY(d, 8), 2 * kNear);
}

TEST(ChartDrawing, LegendsTakeTheirSideAndKeepToTheChart) {
  using P = model::LegendPosition;
  model::Chart c = ChartOf(ChartKind::Column, ChartGrouping::Clustered, {{1, 2}, {2, 3}});
  for (P at : {P::Right, P::Left, P::Top, P::Bottom}) {
    SCOPED_TRACE(static_cast<int>(at));
    c.legend = at;
    const SvgDrawing d = Draw(c);
    const SvgText* a = d.Find("A");
    ASSERT_NE(a, nullptr);
    const test::SvgRect plot = d.Plot();
    EXPECT_EQ(at == P::Right, a->x > plot.Right());
    EXPECT_EQ(at == P::Left, a->x < plot.x);
    EXPECT_EQ(at == P::Top, a->y < plot.y);
    EXPECT_EQ(at == P::Bottom, a->y > plot.Bottom());
    // Beside the value labels, not under them.
    const SvgText value = ValueLabels(d).front();
    if (at == P::Left) {
      EXPECT_LT(a->x + support::EstimateTextWidth("A", kPx, false),
                value.x - support::EstimateTextWidth(value.text, kPx, false));
    }
  }
  // More series than the height holds: the entries that fit, all inside the chart.
  model::Chart many = ChartOf(ChartKind::Line, ChartGrouping::Clustered, {});
  many.legend = P::Right;
  for (int i = 0; i < 40; ++i) {
    model::ChartSeries& s = many.groups[0].series.emplace_back();
    s.name.texts = {"Series " + std::to_string(i)};
    s.values.numbers = {1.0 * i};
  }
  const SvgDrawing d = Draw(many, 300, 150);
  size_t shown = 0;
  for (const SvgText& t : d.texts) {
    if (t.text.rfind("Series ", 0) != 0) continue;
    ++shown;
    EXPECT_LT(t.y, 150);
  }
  EXPECT_GT(shown, 3u);
  EXPECT_LT(shown, 40u);
}

TEST(ChartDrawing, ValueLabelsSideBySideDoNotOverlap) {
  // Bars: the value labels stand in a row under the plot; wide ones get fewer, longer steps.
  model::Chart c = ChartOf(ChartKind::Bar, ChartGrouping::Clustered, {{1234567, 9876543}});
  c.valueAxis.numberFormat = "#,##0";
  const SvgDrawing d = Draw(c, 260, 200);
  std::vector<SvgText> labels;
  for (const SvgText& t : d.Anchored("middle"))
    if (t.y > d.Plot().Bottom()) labels.push_back(t);
  ASSERT_GE(labels.size(), 2u);
  for (size_t i = 1; i < labels.size(); ++i) {
    const double widths = (support::EstimateTextWidth(labels[i - 1].text, kPx, false) +
                           support::EstimateTextWidth(labels[i].text, kPx, false)) /
                          2;
    EXPECT_GT(labels[i].x - labels[i - 1].x, widths) << labels[i].text;
  }
}

TEST(ChartDrawing, EmptyPointsAndSeriesOfOneOrNoPoint) {
  using E = model::EmptyPoints;
  model::Chart c = ChartOf(ChartKind::Line, ChartGrouping::Clustered, {{1, NAN, 3, 4}});
  // A gap breaks the line (a lone point draws none), a span joins around it, zero drops to 0.
  c.emptyPoints = E::Gap;
  SvgDrawing d = Draw(c);
  ASSERT_EQ(d.Lines().size(), 1u);
  EXPECT_EQ(d.Lines()[0].points.size(), 2u);
  c.emptyPoints = E::Span;
  d = Draw(c);
  ASSERT_EQ(d.Lines().size(), 1u);
  EXPECT_EQ(d.Lines()[0].points.size(), 3u);
  c.emptyPoints = E::Zero;
  d = Draw(c);
  ASSERT_EQ(d.Lines().size(), 1u);
  ASSERT_EQ(d.Lines()[0].points.size(), 4u);
  EXPECT_NEAR(d.Lines()[0].points[1].second, ValueY(d, 0), 2 * kNear);

  // One point: in the middle of the plot, labelled, no line.
  model::Chart one = ChartOf(ChartKind::Line, ChartGrouping::Clustered, {{5}});
  one.groups[0].series[0].labels.value = true;
  one.categoryAxis.betweenTicks = false;  // on the ticks, but one point has no ticks to be on
  d = Draw(one);
  EXPECT_TRUE(d.Lines().empty());
  const SvgText* five = d.Find("5");
  ASSERT_NE(five, nullptr);
  EXPECT_NEAR(five->x, d.Plot().x + d.Plot().w / 2, kNear);
  EXPECT_NEAR(five->y, ValueY(d, 5) - 6, 2 * kNear);

  // No points at all, of every kind: a drawing without bars, numbers all finite.
  for (ChartKind kind :
       {ChartKind::Column, ChartKind::Line, ChartKind::Scatter, ChartKind::Pie, ChartKind::Radar}) {
    SCOPED_TRACE(static_cast<int>(kind));
    const model::Workbook book;
    const std::string svg =
        chart::DrawSvg(book, ChartOf(kind, ChartGrouping::Stacked, {{}}), 300, 200);
    EXPECT_EQ(svg.find("nan"), std::string::npos);
    EXPECT_EQ(svg.find("inf"), std::string::npos);
    EXPECT_TRUE(ParseSvg(svg).ok);
  }
}
