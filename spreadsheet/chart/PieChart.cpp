// The painter of pie and doughnut charts.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "spreadsheet/chart/Drawer.h"
#include "spreadsheet/chart/SvgText.h"
#include "support/TextWidth.h"

namespace quillane::chart::drawing {

void Drawer::RoundChart(Rect area) {
  const bool doughnut = first_->kind == ChartKind::Doughnut;
  std::vector<const Series*> rings;
  for (const Series& se : series_) {
    if (se.g != first_) continue;
    rings.push_back(&se);
    if (!doughnut) break;  // a pie shows its first series
  }
  if (rings.empty()) return;
  const double cx = area.x + area.w / 2, cy = area.y + area.h / 2;
  double maxExplosion = 0;
  for (const Series* se : rings) {
    maxExplosion = std::max<double>(maxExplosion, se->s->explosion);
    for (const model::ChartPoint& p : se->s->points)
      maxExplosion = std::max<double>(maxExplosion, p.explosion);
  }
  maxExplosion = std::min(maxExplosion, 400.0) / 100;
  const double outer = std::max(1.0, std::min(area.w, area.h) / 2 - 4) / (1 + maxExplosion);
  const double hole = doughnut ? std::clamp<double>(first_->holeSize, 10, 90) / 100 * outer : 0;
  const double ringW = (outer - hole) / static_cast<double>(rings.size());
  const double start = std::fmod(first_->firstSliceAngle, 360.0) * std::numbers::pi / 180;
  for (size_t k = 0; k < rings.size(); ++k) {
    const Series& se = *rings[k];
    const double r1 = hole + ringW * static_cast<double>(k), r2 = r1 + ringW;
    double sum = 0;
    for (double v : se.values.numbers)
      if (!std::isnan(v)) sum += std::abs(v);
    if (!(sum > 0)) continue;
    double angle = start;
    for (size_t i = 0; i < se.values.size(); ++i) {
      const double v = se.Value(i);
      if (std::isnan(v) || v == 0) continue;
      const double sweep = std::abs(v) / sum * 2 * std::numbers::pi;
      const model::ChartPoint* pt = PointOf(se, i);
      const double explode =
          std::min<double>(pt && pt->explosion ? pt->explosion : se.s->explosion, 400) / 100;
      const double mid = angle + sweep / 2;
      const double ox = cx + std::sin(mid) * explode * outer,
                   oy = cy - std::cos(mid) * explode * outer;
      auto at = [&](double r, double a, char op) {
        out_ += op;
        Point(ox + std::sin(a) * r, oy - std::cos(a) * r);
      };
      // An arc of radius r to angle a; `large` when it spans more than half the circle.
      auto arc = [&](double r, double a, bool clockwise, bool large) {
        out_ += 'A';
        Point(r, r);
        out_ += large ? " 0 1," : " 0 0,";
        out_ += clockwise ? "1 " : "0 ";
        Point(ox + std::sin(a) * r, oy - std::cos(a) * r);
      };
      // A whole circle is two half arcs: an arc cannot end where it starts.
      auto circle = [&](double r, bool clockwise) {
        at(r, 0, 'M');
        arc(r, std::numbers::pi, clockwise, true);
        arc(r, 0, clockwise, true);
        out_ += 'Z';
      };
      const bool large = sweep > std::numbers::pi;
      out_ += "<path d=\"";
      if (sweep >= 2 * std::numbers::pi - 1e-9) {
        circle(r2, true);
        if (r1 > 0) circle(r1, false);
        out_ += "\" fill-rule=\"evenodd";
      } else if (r1 > 0) {
        at(r2, angle, 'M');
        arc(r2, angle + sweep, true, large);
        at(r1, angle + sweep, 'L');
        arc(r1, angle, false, large);
        out_ += 'Z';
      } else {
        at(0, 0, 'M');
        at(r2, angle, 'L');
        arc(r2, angle + sweep, true, large);
        out_ += 'Z';
      }
      out_ += "\" fill=\"";
      AppendColor(out_, PointColor(se, i, true));
      out_ += '"';
      const model::ChartLine& line = pt && !pt->line.color.automatic ? pt->line : se.s->line;
      if (line.visible) StrokeAttrs(line, 0xFFFFFF, 1);
      out_ += " stroke-linejoin=\"round\"/>\n";
      const std::string label = LabelText(se, i, v, std::abs(v) / sum);
      if (!label.empty()) {
        const double r = r1 > 0 ? (r1 + r2) / 2 : r2 * 0.65;
        Text(ox + std::sin(mid) * r, oy - std::cos(mid) * r + base_.px * 0.35, label, base_,
             "middle");
      }
      angle += sweep;
    }
  }
}

}  // namespace quillane::chart::drawing
