// The painter of radar charts.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "spreadsheet/chart/Drawer.h"
#include "spreadsheet/chart/SvgText.h"
#include "support/TextWidth.h"

namespace quillane::chart::drawing {

void Drawer::RadarChart(Rect area) {
  const TextStyle catStyle = StyleOf(chart_.categoryAxis.hasFont, chart_.categoryAxis.font, base_);
  const TextStyle valStyle = StyleOf(chart_.valueAxis.hasFont, chart_.valueAxis.font, base_);
  size_t n = 0;
  const Values* cats = nullptr;
  double lo = INFINITY, hi = -INFINITY;
  for (const Series& se : series_) {
    if (se.g->kind != ChartKind::Radar) continue;
    n = std::max({n, se.values.size(), se.categories.size()});
    if (!cats && !se.categories.texts.empty()) cats = &se.categories;
    for (double v : se.values.numbers)
      if (!std::isnan(v)) lo = std::min(lo, v), hi = std::max(hi, v);
  }
  if (n < 1 || n > 100000) return;
  double labelW = 0;
  for (size_t i = 0; i < std::min<size_t>(n, 360); ++i)
    labelW = std::max(
        labelW, support::EstimateTextWidth(cats && i < cats->texts.size() ? cats->texts[i] : "",
                                           catStyle.px, false));
  labelW = std::min(labelW, area.w / 4);
  const double radius = std::min(area.w / 2 - labelW - 6, area.h / 2 - catStyle.px * 1.6);
  if (radius < 4) return;
  const double cx = area.x + area.w / 2, cy = area.y + area.h / 2;
  const Scale scale =
      NiceScale(std::isfinite(lo) ? lo : 0, std::isfinite(hi) ? hi : 1, chart_.valueAxis,
                std::clamp(static_cast<int>(radius / (valStyle.px * 2)), 2, 10), false);
  auto angleOf = [&](size_t i) { return 2 * std::numbers::pi * static_cast<double>(i) / n; };
  auto point = [&](size_t i, double v) {
    const double r = scale.Fraction(v) * radius, a = angleOf(i);
    return std::make_pair(cx + std::sin(a) * r, cy - std::cos(a) * r);
  };
  // Web: rings at the ticks and spokes.
  const auto ticks = scale.Ticks();
  for (double t : ticks) {
    if (!chart_.valueAxis.majorGridlines) break;
    out_ += "<path d=\"";
    for (size_t i = 0; i < std::min<size_t>(n, 4096); ++i) {
      const auto p = point(i, t);
      out_ += i ? 'L' : 'M';
      Point(p.first, p.second);
    }
    out_ += "Z\" fill=\"none\"";
    StrokeAttrs(chart_.valueAxis.gridLine, kGridColor, 1);
    out_ += "/>\n";
  }
  const size_t step = std::max<size_t>(1, n / 360);
  for (size_t i = 0; i < n; i += step) {
    const auto p = point(i, scale.max);
    out_ += "<path d=\"M";
    Point(cx, cy);
    out_ += 'L';
    Point(p.first, p.second);
    out_ += "\" fill=\"none\"";
    StrokeAttrs(chart_.categoryAxis.line, kGridColor, 1);
    out_ += "/>\n";
    const double a = angleOf(i);
    const double lx = cx + std::sin(a) * (radius + 6), ly = cy - std::cos(a) * (radius + 6);
    const char* anchor = std::sin(a) > 0.1 ? "start" : std::sin(a) < -0.1 ? "end" : "middle";
    const std::string text =
        cats && i < cats->texts.size() ? cats->texts[i] : std::to_string(i + 1);
    if (chart_.categoryAxis.visible)
      Text(lx,
           ly + catStyle.px * (std::cos(a) < -0.1  ? 0.9
                               : std::cos(a) > 0.1 ? 0
                                                   : 0.35),
           text, catStyle, anchor);
  }
  if (chart_.valueAxis.visible) {
    std::string code = chart_.valueAxis.numberFormat;
    if (code.empty() && !series_.empty()) code = series_[0].values.format;
    for (double t : ticks)
      Text(cx - 4, point(0, t).second + valStyle.px * 0.35, FormatValue(t, code), valStyle, "end");
  }
  for (const Series& se : series_) {
    if (se.g->kind != ChartKind::Radar) continue;
    std::vector<std::pair<double, double>> pts;
    for (size_t i = 0; i < n; ++i) {
      const double v = se.Value(i);
      pts.push_back(point(i, std::isnan(v) ? scale.min : v));
    }
    out_ += "<path d=\"";
    for (size_t i = 0; i < pts.size(); ++i) {
      out_ += i ? 'L' : 'M';
      Point(pts[i].first, pts[i].second);
    }
    out_ += 'Z';
    out_ += '"';
    if (se.g->filled) {
      out_ += " fill=\"";
      AppendColor(out_, se.color);
      out_ += "\" fill-opacity=\"0.6\"";
    } else {
      out_ += " fill=\"none\"";
    }
    StrokeAttrs(se.s->line, se.color, 2.25);
    out_ += "/>\n";
    const model::MarkerShape shape = MarkerOf(se);
    if (se.g->markers && !se.g->filled && shape != model::MarkerShape::None) {
      for (const auto& p : pts)
        Marker(p.first, p.second, shape, se.s->markerSize, se.s->markerFill.Or(se.color),
               se.s->markerLine.Or(se.color));
    }
  }
}

}  // namespace quillane::chart::drawing
