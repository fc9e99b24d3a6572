// Charts with axes: the ranges of the values and the scales that show them.
#include <algorithm>
#include <cmath>

#include "spreadsheet/chart/Drawer.h"
#include "support/TextWidth.h"

namespace quillane::chart::drawing {

void Drawer::AxisExtents(AxisPlot& p) const {
  // Categories: the most points of any series; their texts from the first series that has some.
  size_t n = 0;
  for (const Series& se : series_) {
    if (se.g->kind == ChartKind::Pie || se.g->kind == ChartKind::Doughnut) continue;
    n = std::max({n, se.values.size(), se.categories.size()});
    if (!p.catTexts && !se.categories.texts.empty()) p.catTexts = &se.categories;
  }
  n = std::max<size_t>(n, 1);
  p.n = n;

  // Value ranges, primary and secondary: stacked series count by their sums.
  for (const model::ChartGroup& g : chart_.groups) {
    if (IsRound(g.kind) || g.kind == ChartKind::None) continue;
    Extent& e = p.ext[g.secondaryAxis ? 1 : 0];
    const bool stacked =
        g.grouping != ChartGrouping::Clustered &&
        (HasBars(g.kind) || g.kind == ChartKind::Line || g.kind == ChartKind::Area);
    if (stacked && g.grouping == ChartGrouping::PercentStacked) {
      e.percent = true;
      e.Add(0);
    }
    if (stacked) {
      std::vector<double> pos(n, 0), neg(n, 0);
      std::vector<double> totals(n, 0);
      for (const Series& se : series_) {
        if (se.g != &g) continue;
        for (size_t i = 0; i < n; ++i) {
          const double v = se.Value(i);
          if (std::isnan(v)) continue;
          (v >= 0 ? pos[i] : neg[i]) += v;
          totals[i] += std::abs(v);
        }
      }
      for (size_t i = 0; i < n; ++i) {
        if (g.grouping == ChartGrouping::PercentStacked) {
          if (totals[i] > 0) e.Add(pos[i] / totals[i]), e.Add(neg[i] / totals[i]);
        } else {
          e.Add(pos[i]), e.Add(neg[i]);
        }
      }
    } else {
      for (const Series& se : series_) {
        if (se.g != &g) continue;
        for (double v : se.values.numbers) e.Add(v);
        if (g.kind == ChartKind::Scatter) {
          for (size_t i = 0; i < se.values.size(); ++i) {
            const double x =
                i < se.categories.numbers.size() && !std::isnan(se.categories.numbers[i])
                    ? se.categories.numbers[i]
                    : static_cast<double>(i + 1);
            p.xExt.Add(x);
          }
        }
      }
    }
  }
  p.hasSecondary = p.ext[1].any;
}

Scale Drawer::ScaleFor(const AxisPlot& p, int which, double len) const {
  const model::ChartAxis& axis = which ? chart_.secondaryValueAxis : chart_.valueAxis;
  const Extent& e = p.ext[which].any ? p.ext[which] : p.ext[0];
  const TextStyle& st = p.ValStyle(which);
  const int maxIntervals =
      std::clamp(static_cast<int>(len / (st.px * (p.horizontal ? 2.6 : 1.8))), 2, 12);
  return NiceScale(e.any ? e.lo : 0, e.any ? e.hi : 1, axis, maxIntervals, e.percent);
}

std::string Drawer::ValueFormat(const AxisPlot& p, int which) const {
  const model::ChartAxis& axis = which ? chart_.secondaryValueAxis : chart_.valueAxis;
  if (!axis.numberFormat.empty()) return axis.numberFormat;
  if (p.ext[which].percent) return std::string("0%");
  for (const Series& se : series_)
    if (se.g->secondaryAxis == (which == 1)) return se.values.format;
  return std::string("General");
}

void Drawer::AxisRescale(AxisPlot& p) {
  // Scales for the room that is left; labels side by side must not touch.
  for (int which = 0; which < 2; ++which) {
    p.vs[which] = ScaleFor(p, which, p.horizontal ? p.plot.w : p.plot.h);
    if (!p.horizontal) continue;
    const TextStyle& st = p.ValStyle(which);
    double widest = 0;
    for (double v : p.vs[which].Ticks())
      widest = std::max(widest, support::EstimateTextWidth(FormatValue(v, ValueFormat(p, which)),
                                                           st.px, st.bold));
    const size_t ticks = p.vs[which].Ticks().size();
    if (ticks > 1 && widest + st.px > p.plot.w / static_cast<double>(ticks - 1)) {
      const model::ChartAxis& axis = which ? chart_.secondaryValueAxis : chart_.valueAxis;
      const Extent& e = p.ext[which].any ? p.ext[which] : p.ext[0];
      p.vs[which] =
          NiceScale(e.any ? e.lo : 0, e.any ? e.hi : 1, axis,
                    std::max(1, static_cast<int>(p.plot.w / (widest + st.px))), e.percent);
    }
  }
  for (int which = 0; which < 2; ++which) {
    p.valueLabels[which].clear();
    const std::string code = ValueFormat(p, which);
    for (double v : p.vs[which].Ticks()) p.valueLabels[which].push_back(FormatValue(v, code));
  }
}

}  // namespace quillane::chart::drawing
