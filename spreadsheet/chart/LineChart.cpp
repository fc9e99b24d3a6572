// Charts with axes: the painters of lines, areas and scatter points, high-low lines and
// trendlines.
#include <algorithm>
#include <cmath>

#include "spreadsheet/chart/Drawer.h"
#include "spreadsheet/chart/SvgText.h"
#include "spreadsheet/chart/Trendline.h"

namespace quillane::chart::drawing {

void Drawer::HiLowLines(const AxisPlot& p, const GroupPlot& gp) {
  // From the lowest to the highest value of each category.
  out_ += "<path d=\"";
  for (size_t i = 0; i < p.n; ++i) {
    double lo = INFINITY, hi = -INFINITY;
    for (const Series* se : gp.members) {
      const double v = se->Value(i);
      if (!std::isnan(v)) lo = std::min(lo, v), hi = std::max(hi, v);
    }
    if (!(hi > lo)) continue;
    out_ += 'M';
    Point(p.SlotStart(i) + p.slot / 2, p.ValuePos(gp.which, hi));
    out_ += 'V';
    AppendNumber(out_, p.ValuePos(gp.which, lo));
  }
  out_ += "\" fill=\"none\" stroke=\"#000000\" stroke-width=\"1\"/>\n";
}

void Drawer::LineGroup(const AxisPlot& p, GroupPlot& gp) {
  // Points along the slots' middles or at their x values.
  const model::ChartGroup& g = *gp.g;
  std::vector<PointRun> areaTops;
  for (const Series* sp : gp.members) {
    const Series& se = *sp;
    PointRun pts;
    std::vector<PointRun> runs;
    std::vector<size_t> indexes;
    const size_t count = g.kind == ChartKind::Scatter ? se.values.size() : p.n;
    for (size_t i = 0; i < count; ++i) {
      double v = se.Value(i);
      if (std::isnan(v) && g.kind != ChartKind::Area) {
        // An empty point breaks the line, unless the chart joins the points around it.
        if (!pts.empty() && chart_.emptyPoints != model::EmptyPoints::Span)
          runs.push_back(std::move(pts)), pts.clear();
        continue;
      }
      if (std::isnan(v)) v = 0;
      v = gp.Scaled(i, v);
      if (gp.stacked) {
        gp.posSum[i] += v;
        v = gp.posSum[i];
      }
      double x;
      if (g.kind == ChartKind::Scatter) {
        x = i < se.categories.numbers.size() && !std::isnan(se.categories.numbers[i])
                ? se.categories.numbers[i]
                : static_cast<double>(i + 1);
        if (p.vs[0].log && v <= 0) continue;
        x = p.XPos(x);
      } else {
        x = p.SlotStart(i) + p.slot / 2;
      }
      const double y = p.ValuePos(gp.which, v);
      if (p.horizontal)
        pts.emplace_back(y, x);
      else
        pts.emplace_back(x, y);
      indexes.push_back(i);
    }
    if (!pts.empty()) runs.push_back(std::move(pts));
    if (g.kind == ChartKind::Area) {
      if (!runs.empty()) AreaPath(p, gp, se, runs[0], areaTops);
      continue;
    }
    const bool drawLine = se.s->line.visible && (g.kind != ChartKind::Scatter || g.lines);
    if (drawLine) {
      for (const auto& run : runs) {
        if (run.size() < 2) continue;
        LinePath(run, se.s->smooth);
        out_ += " fill=\"none\" stroke-linejoin=\"round\" stroke-linecap=\"round\"";
        StrokeAttrs(se.s->line, se.color, 2.25);
        out_ += "/>\n";
      }
    }
    const model::MarkerShape shape = MarkerOf(se);
    const bool markers = (g.markers || (g.kind == ChartKind::Scatter && !drawLine)) &&
                         shape != model::MarkerShape::None;
    size_t at = 0;
    for (const auto& run : runs) {
      for (const auto& pt : run) {
        const size_t i = indexes[at++];
        if (markers)
          Marker(pt.first, pt.second, shape, se.s->markerSize, se.s->markerFill.Or(se.color),
                 se.s->markerLine.Or(se.color));
        const std::string label = LabelText(se, i, se.Value(i), model::kNoValue);
        if (!label.empty()) Text(pt.first, pt.second - 6, label, base_, "middle");
      }
    }
  }
}

void Drawer::AreaPath(const AxisPlot& p, const GroupPlot& gp, const Series& se, const PointRun& top,
                      std::vector<PointRun>& areaTops) {
  // The area between this series' line and the one below (the baseline first).
  out_ += "<path d=\"";
  for (size_t i = 0; i < top.size(); ++i) {
    out_ += i ? 'L' : 'M';
    Point(top[i].first, top[i].second);
  }
  if (gp.stacked && !areaTops.empty()) {
    const auto& below = areaTops.back();
    for (size_t i = below.size(); i-- > 0;) {
      out_ += 'L';
      Point(below[i].first, below[i].second);
    }
  } else {
    const double b = p.ValuePos(gp.which, gp.base);
    out_ += 'L';
    Point(p.horizontal ? b : top.back().first, p.horizontal ? top.back().second : b);
    out_ += 'L';
    Point(p.horizontal ? b : top.front().first, p.horizontal ? top.front().second : b);
  }
  out_ += "Z\" fill=\"";
  AppendColor(out_, se.color);
  out_ += '"';
  if (se.s->line.visible && !se.s->line.color.automatic) StrokeAttrs(se.s->line, se.color, 1);
  out_ += "/>\n";
  areaTops.push_back(top);
}

void Drawer::Trendlines(const AxisPlot& p) {
  // Over the series and kept inside the plot. The x of a category is its number (1, 2, ...),
  // placed in the middle of its slot.
  bool clipped = false;
  for (const Series& se : series_) {
    const model::ChartGroup& g = *se.g;
    if (se.s->trendlines.empty() || IsRound(g.kind) || g.kind == ChartKind::None ||
        g.kind == ChartKind::Radar ||
        (g.grouping != ChartGrouping::Clustered && g.kind != ChartKind::Scatter)) {
      continue;
    }
    const int which = g.secondaryAxis && p.hasSecondary ? 1 : 0;
    const bool isScatter = g.kind == ChartKind::Scatter;
    std::vector<double> px, py;
    const size_t count = isScatter ? se.values.numbers.size() : p.n;
    for (size_t i = 0; i < count; ++i) {
      const double v = se.Value(i);
      if (std::isnan(v)) continue;
      double x = static_cast<double>(i + 1);
      if (isScatter && i < se.categories.numbers.size() && !std::isnan(se.categories.numbers[i]))
        x = se.categories.numbers[i];
      px.push_back(x);
      py.push_back(v);
    }
    if (px.size() < 2) continue;
    for (const model::Trendline& trend : se.s->trendlines) {
      const double lo = *std::min_element(px.begin(), px.end());
      const double hi = *std::max_element(px.begin(), px.end());
      const auto curve = TrendCurve(trend, px, py, lo - trend.backward, hi + trend.forward);
      if (curve.size() < 2 || !trend.line.visible) continue;
      if (!clipped) {
        out_ += "<clipPath id=\"plot\">";
        RectStart(p.plot);
        out_ += "/></clipPath>\n";
        clipped = true;
      }
      out_ += "<path d=\"";
      bool first = true;
      for (const auto& [x, y] : curve) {
        const double a = isScatter ? p.XPos(x) : p.CatPos(x);
        const double along = p.ValuePos(which, y);
        if (!std::isfinite(along)) continue;  // no place on a logarithmic axis
        // Far outside the plot a point only needs to be past its edge.
        const double b = std::clamp(along, -1e5, 1e5);
        out_ += first ? 'M' : 'L';
        first = false;
        Point(p.horizontal ? b : a, p.horizontal ? a : b);
      }
      out_ += "\" fill=\"none\" clip-path=\"url(#plot)\"";
      StrokeAttrs(trend.line, se.color, 2);
      out_ += "/>\n";
    }
  }
}

}  // namespace quillane::chart::drawing
