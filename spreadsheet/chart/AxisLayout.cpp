// Charts with axes: the room of the labels and titles around the plot, and the order of painting.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "spreadsheet/chart/Drawer.h"
#include "spreadsheet/chart/SvgText.h"
#include "support/TextWidth.h"

namespace quillane::chart::drawing {

bool Drawer::AxisLayout(AxisPlot& p) {
  const Rect& area = p.area;
  Rect& plot = p.plot;
  const bool horizontal = p.horizontal;
  const TextStyle& catStyle = p.catStyle;
  plot = area;
  const double valueLen0 = horizontal ? plot.w : plot.h;
  p.vs[0] = ScaleFor(p, 0, valueLen0);
  p.vs[1] = ScaleFor(p, 1, valueLen0);
  if (p.scatter) {
    p.xs = NiceScale(p.xExt.any ? p.xExt.lo : 0, p.xExt.any ? p.xExt.hi : 1, chart_.categoryAxis,
                     std::clamp(static_cast<int>(plot.w / (catStyle.px * 4)), 2, 10), false);
  }
  double widestValue[2] = {0, 0};
  for (int which = 0; which < (p.hasSecondary ? 2 : 1); ++which) {
    const std::string code = ValueFormat(p, which);
    const TextStyle& st = p.ValStyle(which);
    for (double v : p.vs[which].Ticks())
      widestValue[which] = std::max(
          widestValue[which], support::EstimateTextWidth(FormatValue(v, code), st.px, st.bold));
  }
  if (p.scatter) {
    const std::string code =
        !chart_.categoryAxis.numberFormat.empty()
            ? chart_.categoryAxis.numberFormat
            : (series_.empty() ? std::string("General") : series_[0].categories.format);
    for (double v : p.xs.Ticks()) p.xLabels.push_back(FormatValue(v, code));
  }
  p.showCat = chart_.categoryAxis.visible, p.showVal = chart_.valueAxis.visible;
  p.showSec = p.hasSecondary && chart_.secondaryValueAxis.visible;
  p.catTitle = StyleOf(chart_.categoryAxis.title.hasFont, chart_.categoryAxis.title.font,
                       TextStyle{base_.px, true});
  p.valTitle = StyleOf(chart_.valueAxis.title.hasFont, chart_.valueAxis.title.font,
                       TextStyle{base_.px, true});
  p.catTitled = !chart_.categoryAxis.title.text.empty();
  p.valTitled = !chart_.valueAxis.title.text.empty();
  // Which side holds what: columns put categories below and values left; bars the other way.
  const double catLabelH = catStyle.px * 1.4;
  double catLabelW = 0;
  if (horizontal && p.showCat) {
    for (size_t i = 0; i < std::min<size_t>(p.n, 2000); ++i)
      catLabelW =
          std::max(catLabelW, support::EstimateTextWidth(p.CatText(i), catStyle.px, catStyle.bold));
    catLabelW = std::min(catLabelW, area.w * 0.4);
  }
  // Axes that cross the other one at its maximum: categories above, values on the right.
  p.catAtMax = !horizontal && chart_.categoryAxis.crossesAtMax;
  p.valAtMax = !horizontal && !p.hasSecondary && chart_.valueAxis.crossesAtMax;
  const double leftRoom = horizontal   ? (p.showCat ? catLabelW + 8 : 0)
                          : p.valAtMax ? 6
                                       : (p.showVal ? widestValue[0] + 8 : 0);
  // Turned category labels: as far down as the widest reaches.
  p.rotation = p.scatter || horizontal ? 0 : chart_.categoryAxis.labelRotation;
  p.turn = std::abs(std::sin(p.rotation * std::numbers::pi / 180));
  double turnedRoom = 0;
  if (p.rotation != 0 && p.showCat) {
    for (size_t i = 0; i < std::min<size_t>(p.n, 2000); ++i)
      turnedRoom =
          std::max(turnedRoom,
                   support::EstimateTextWidth(p.CatText(i), catStyle.px, catStyle.bold) * p.turn);
    turnedRoom = std::min(turnedRoom + catStyle.px * 1.2, area.h * 0.4);
  }
  const double labelRoom = horizontal   ? (p.showVal ? p.valStyle.px * 1.5 : 0)
                           : !p.showCat ? 0
                           : p.scatter  ? catStyle.px * 1.5
                                        : std::max(catLabelH, turnedRoom);
  const double rightRoom = p.showSec    ? widestValue[1] + 8
                           : p.valAtMax ? (p.showVal ? widestValue[0] + 8 : 6)
                                        : 6;
  plot.x += leftRoom + (horizontal ? (p.catTitled ? p.catTitle.px * 1.4 : 0)
                                   : (p.valTitled ? p.valTitle.px * 1.4 : 0));
  plot.w -= plot.x - area.x + rightRoom;
  const double topRoom = p.catAtMax ? labelRoom : horizontal && p.showSec ? p.secStyle.px * 1.5 : 0;
  plot.y += 4 + topRoom;
  plot.h -= 4 + (p.catAtMax ? labelRoom : labelRoom + topRoom) +
            (horizontal ? (p.valTitled ? p.valTitle.px * 1.4 : 0)
                        : (p.catTitled ? p.catTitle.px * 1.4 : 0));
  return plot.w >= 4 && plot.h >= 4;
}

void Drawer::AxisChart(Rect area) {
  AxisPlot p;
  p.area = area;
  p.horizontal = first_->kind == ChartKind::Bar;  // categories run down
  p.scatter = first_->kind == ChartKind::Scatter;
  p.catStyle = StyleOf(chart_.categoryAxis.hasFont, chart_.categoryAxis.font, base_);
  p.valStyle = StyleOf(chart_.valueAxis.hasFont, chart_.valueAxis.font, base_);
  p.secStyle = StyleOf(chart_.secondaryValueAxis.hasFont, chart_.secondaryValueAxis.font, base_);
  AxisExtents(p);
  if (!AxisLayout(p)) return;
  AxisRescale(p);
  PlotBackground(p);

  // Points in the middle of their categories, or on the tick marks (the first and the last on
  // the plot's edges) when the axis says so and no bars need the room.
  p.catReversed = chart_.categoryAxis.reversed;
  bool bars = false;
  for (const model::ChartGroup& g : chart_.groups) bars = bars || HasBars(g.kind);
  p.onTicks = !chart_.categoryAxis.betweenTicks && !bars && !p.scatter && p.n > 1;
  p.slot = (p.horizontal ? p.plot.h : p.plot.w) / static_cast<double>(p.onTicks ? p.n - 1 : p.n);
  p.shift = p.onTicks ? -p.slot / 2 : 0;

  Gridlines(p);
  // Series, group by group.
  for (const model::ChartGroup& g : chart_.groups) {
    if (IsRound(g.kind) || g.kind == ChartKind::None || g.kind == ChartKind::Radar) continue;
    GroupPlot gp = GroupOf(p, g);
    if (gp.members.empty()) continue;
    if (HasBars(g.kind)) {
      BarGroup(p, gp);
      continue;
    }
    if (g.hiLowLines && g.kind == ChartKind::Line && !p.horizontal) HiLowLines(p, gp);
    LineGroup(p, gp);
  }
  Trendlines(p);
  CategoryAxis(p);
  ValueAxes(p);
  AxisTitles(p);
}

}  // namespace quillane::chart::drawing
