// Charts with axes: the plot's background, the gridlines, the axes with their labels and titles.
#include <algorithm>
#include <cmath>

#include "spreadsheet/chart/Drawer.h"
#include "spreadsheet/chart/SvgText.h"
#include "support/TextWidth.h"

namespace quillane::chart::drawing {

void Drawer::PlotBackground(const AxisPlot& p) {
  RectStart(p.plot);
  if (chart_.plotFill.visible && !chart_.plotFill.color.automatic)
    FillAttr(chart_.plotFill, 0xFFFFFF);
  else
    out_ += " fill=\"none\"";
  if (chart_.plotBorder.visible && !chart_.plotBorder.color.automatic)
    StrokeAttrs(chart_.plotBorder, kBorderColor, 1);
  else
    out_ += " stroke=\"none\"";
  out_ += "/>\n";
}

void Drawer::Gridlines(const AxisPlot& p) {
  const Rect& plot = p.plot;
  auto gridLine = [&](double pos, bool alongX, const model::ChartLine& line) {
    out_ += "<path d=\"M";
    if (alongX) {
      Point(plot.x, pos);
      out_ += 'h';
      AppendNumber(out_, plot.w);
    } else {
      Point(pos, plot.y);
      out_ += 'v';
      AppendNumber(out_, plot.h);
    }
    out_ += "\" fill=\"none\"";
    StrokeAttrs(line, kGridColor, 1);
    out_ += "/>\n";
  };
  if (chart_.valueAxis.majorGridlines) {
    for (double v : p.vs[0].Ticks())
      gridLine(std::round(p.ValuePos(0, v)) + 0.5, !p.horizontal, chart_.valueAxis.gridLine);
  }
  if (chart_.categoryAxis.majorGridlines) {
    if (p.scatter) {
      for (double v : p.xs.Ticks())
        gridLine(std::round(p.XPos(v)) + 0.5, false, chart_.categoryAxis.gridLine);
    } else {
      for (size_t i = 0; i <= (p.onTicks ? p.n - 1 : p.n) && i < 4096; ++i)
        gridLine(std::round(p.horizontal ? plot.y + i * p.slot : plot.x + i * p.slot) + 0.5,
                 p.horizontal, chart_.categoryAxis.gridLine);
    }
  }
}

void Drawer::CategoryAxis(const AxisPlot& p) {
  if (!p.showCat) return;
  const Rect& plot = p.plot;
  const double baseline = p.ValuePos(0, p.vs[0].Baseline());
  out_ += "<path d=\"M";
  if (p.horizontal) {
    Point(std::round(p.scatter ? plot.x : baseline) + 0.5, plot.y);
    out_ += 'v';
    AppendNumber(out_, plot.h);
  } else {
    Point(plot.x, p.catAtMax ? plot.y : std::round(baseline) + 0.5);
    out_ += 'h';
    AppendNumber(out_, plot.w);
  }
  out_ += "\" fill=\"none\"";
  StrokeAttrs(chart_.categoryAxis.line, kLineColor, 1);
  out_ += "/>\n";
  if (p.scatter) {
    const TextStyle& st = p.catStyle;
    const auto ticks = p.xs.Ticks();
    for (size_t i = 0; i < ticks.size(); ++i)
      Text(p.XPos(ticks[i]), p.catAtMax ? plot.y - st.px * 0.4 : plot.y + plot.h + st.px * 1.2,
           p.xLabels[i], st, "middle");
  } else {
    CategoryLabels(p);
  }
}

void Drawer::CategoryLabels(const AxisPlot& p) {
  const Rect& plot = p.plot;
  const TextStyle& st = p.catStyle;
  const double slot = p.slot;
  // Every label that fits: thinned to every k-th when they would overlap.
  double widest = 0;
  for (size_t i = 0; i < std::min<size_t>(p.n, 4096); ++i) {
    widest =
        std::max(widest, p.horizontal ? st.px * 1.2
                                      : support::EstimateTextWidth(p.CatText(i), st.px, st.bold));
  }
  if (p.rotation != 0) widest = st.px * 1.2 / std::max(p.turn, 0.1);
  size_t step = std::max<size_t>(
      1, static_cast<size_t>(std::ceil((widest + st.px * 0.5) / std::max(slot, 0.01))));
  if (chart_.categoryAxis.labelSkip > 0) step = chart_.categoryAxis.labelSkip;
  for (size_t i = 0; i < p.n; i += step) {
    const std::string text = p.CatText(i);
    if (text.empty()) continue;
    if (p.horizontal)
      Text(plot.x - 6, p.SlotStart(i) + slot / 2 + st.px * 0.35, text, st, "end");
    else if (p.catAtMax)
      Text(p.SlotStart(i) + slot / 2, plot.y - st.px * 0.4, text, st, "middle");
    else if (p.rotation != 0)
      Text(p.SlotStart(i) + slot / 2, plot.y + plot.h + st.px * 0.9, text, st,
           p.rotation < 0 ? "end" : "start", p.rotation);
    else
      Text(p.SlotStart(i) + slot / 2, plot.y + plot.h + st.px * 1.2, text, st, "middle");
  }
}

void Drawer::ValueAxes(const AxisPlot& p) {
  const Rect& plot = p.plot;
  for (int which = 0; which < 2; ++which) {
    if (which == 0 ? !p.showVal : !p.showSec) continue;
    const TextStyle& st = p.ValStyle(which);
    const auto ticks = p.vs[which].Ticks();
    const std::vector<std::string>& labels = p.valueLabels[which];
    for (size_t i = 0; i < ticks.size(); ++i) {
      const double at = p.ValuePos(which, ticks[i]);
      if (p.horizontal)
        Text(at, which ? plot.y - st.px * 0.4 : plot.y + plot.h + st.px * 1.2, labels[i], st,
             "middle");
      else if (which == 0 && !p.valAtMax)
        Text(plot.x - 6, at + st.px * 0.35, labels[i], st, "end");
      else
        Text(plot.x + plot.w + 6, at + st.px * 0.35, labels[i], st, "start");
    }
  }
}

void Drawer::AxisTitles(const AxisPlot& p) {
  const Rect &plot = p.plot, &area = p.area;
  const TextStyle &catTitle = p.catTitle, &valTitle = p.valTitle;
  if (p.catTitled) {
    if (p.horizontal)
      Text(area.x + catTitle.px, plot.y + plot.h / 2, chart_.categoryAxis.title.text, catTitle,
           "middle", -90);
    else
      Text(plot.x + plot.w / 2, area.y + area.h - catTitle.px * 0.3, chart_.categoryAxis.title.text,
           catTitle, "middle");
  }
  if (p.valTitled) {
    if (p.horizontal)
      Text(plot.x + plot.w / 2, area.y + area.h - valTitle.px * 0.3, chart_.valueAxis.title.text,
           valTitle, "middle");
    else
      Text(area.x + valTitle.px, plot.y + plot.h / 2, chart_.valueAxis.title.text, valTitle,
           "middle", -90);
  }
}

}  // namespace quillane::chart::drawing
