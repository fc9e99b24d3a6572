// Charts with axes: the groups of series, and the painter of columns and bars.
#include <algorithm>
#include <cmath>

#include "spreadsheet/chart/Drawer.h"
#include "spreadsheet/chart/SvgText.h"

namespace quillane::chart::drawing {

GroupPlot Drawer::GroupOf(const AxisPlot& p, const model::ChartGroup& g) const {
  GroupPlot gp;
  gp.g = &g;
  gp.which = g.secondaryAxis && p.hasSecondary ? 1 : 0;
  for (const Series& se : series_)
    if (se.g == &g) gp.members.push_back(&se);
  gp.stacked = g.grouping != ChartGrouping::Clustered && g.kind != ChartKind::Scatter;
  gp.percent = g.grouping == ChartGrouping::PercentStacked;
  if (gp.percent) {
    gp.totals.assign(p.n, 0);
    for (const Series* se : gp.members)
      for (size_t i = 0; i < p.n; ++i)
        if (!std::isnan(se->Value(i))) gp.totals[i] += std::abs(se->Value(i));
  }
  gp.base = p.vs[gp.which].Baseline();
  gp.posSum.assign(p.n, 0);
  gp.negSum.assign(p.n, 0);
  return gp;
}

void Drawer::BarGroup(const AxisPlot& p, GroupPlot& gp) {
  const model::ChartGroup& g = *gp.g;
  const bool stacked = gp.stacked, horizontal = p.horizontal;
  const double slot = p.slot;
  const size_t k = stacked ? 1 : gp.members.size();
  const double overlap = stacked ? 1.0 : std::clamp(g.overlap, int16_t{-100}, int16_t{100}) / 100.0;
  const double gap = std::clamp<int>(g.gapWidth, 0, 500) / 100.0;
  const double bar = slot / (static_cast<double>(k) - (k - 1) * overlap + gap);
  const bool vary = g.varyColors && gp.members.size() == 1;
  for (size_t m = 0; m < gp.members.size(); ++m) {
    const Series& se = *gp.members[m];
    const double offset = gap * bar / 2 + (stacked ? 0 : m * bar * (1 - overlap));
    for (size_t i = 0; i < p.n; ++i) {
      double v = se.Value(i);
      if (std::isnan(v)) continue;
      v = gp.Scaled(i, v);
      double from = gp.base, to = v;
      if (stacked) {
        double& sum = v >= 0 ? gp.posSum[i] : gp.negSum[i];
        from = sum;
        to = sum + v;
        sum = to;
      }
      const double a = p.ValuePos(gp.which, from), b = p.ValuePos(gp.which, to);
      const double s0 = horizontal ? p.SlotStart(i) + slot - offset - bar : p.SlotStart(i) + offset;
      Rect r = horizontal ? Rect{std::min(a, b), s0, std::abs(b - a), bar}
                          : Rect{s0, std::min(a, b), bar, std::abs(b - a)};
      RectStart(r);
      out_ += " fill=\"";
      const model::ChartPoint* pt = PointOf(se, i);
      if (!se.s->fill.visible && !(pt && pt->fill.visible && !pt->fill.color.automatic))
        out_ += "none";
      else
        AppendColor(out_, PointColor(se, i, vary));
      out_ += '"';
      const model::ChartLine& line = pt && !pt->line.color.automatic ? pt->line : se.s->line;
      if (line.visible && !line.color.automatic) StrokeAttrs(line, 0, 1);
      out_ += "/>\n";
      const std::string label = LabelText(se, i, se.Value(i), model::kNoValue);
      if (label.empty()) continue;
      const TextStyle lt = base_;
      if (horizontal)
        Text(stacked ? r.x + r.w / 2 : (v >= 0 ? r.x + r.w + 3 : r.x - 3),
             r.y + r.h / 2 + lt.px * 0.35, label, lt,
             stacked ? "middle" : (v >= 0 ? "start" : "end"));
      else
        Text(r.x + r.w / 2,
             stacked ? r.y + r.h / 2 + lt.px * 0.35 : (v >= 0 ? r.y - 3 : r.y + r.h + lt.px), label,
             lt, "middle");
    }
  }
}

}  // namespace quillane::chart::drawing
