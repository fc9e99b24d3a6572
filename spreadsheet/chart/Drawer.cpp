#include <algorithm>
#include <cmath>

#include "spreadsheet/chart/ChartSvg.h"
#include "spreadsheet/chart/Drawer.h"
#include "spreadsheet/chart/SvgText.h"
#include "support/TextWidth.h"

namespace quillane::chart::drawing {

void Drawer::Prepare() {
  size_t total = 0, order = 0;
  for (const model::ChartGroup& g : chart_.groups) {
    for (const model::ChartSeries& s : g.series) {
      Series se;
      se.s = &s;
      se.g = &g;
      se.order = order++;
      se.values = ReadValues(book_, s.values, formats_, false, chart_.visibleCellsOnly);
      se.categories = ReadValues(book_, s.categories, formats_, true, chart_.visibleCellsOnly);
      if (chart_.emptyPoints == model::EmptyPoints::Zero) {
        for (double& v : se.values.numbers)
          if (std::isnan(v)) v = 0;
      }
      const Values name = ReadValues(book_, s.name, formats_, true);
      for (const std::string& t : name.texts) {
        if (!se.name.empty() && !t.empty()) se.name += ' ';
        se.name += t;
      }
      if (se.name.empty()) se.name = "Series" + std::to_string(se.order + 1);
      se.color =
          s.fill.visible && !s.fill.color.automatic ? s.fill.color.rgb
          : !s.line.color.automatic && (g.kind == ChartKind::Line || g.kind == ChartKind::Scatter ||
                                        g.kind == ChartKind::Radar)
              ? s.line.color.rgb
              : DefaultColor(se.order, chart_.palette);
      total += se.values.size() + se.categories.size();
      if (total > kMaxChartPoints) throw ChartError("too many points");
      series_.push_back(std::move(se));
    }
    if (!first_) first_ = &g;
  }
}

std::string Drawer::Draw() {
  if (w_ < kMinSide || h_ < kMinSide) throw ChartError("no room to draw");
  Prepare();
  out_.reserve(4096 + series_.size() * 256);
  out_ += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\"";
  out_ +=
      " width=\"" + std::to_string(w_) + "\" height=\"" + std::to_string(h_) + "\" viewBox=\"0 0 ";
  out_ += std::to_string(w_) + ' ' + std::to_string(h_) + "\" font-family=\"";
  const std::string& family = chart_.hasFont ? chart_.font.name : std::string("Calibri");
  AppendXmlText(out_, family);
  out_ += ", Carlito, Arial, Helvetica, sans-serif\" font-size=\"";
  AppendNumber(out_, base_.px);
  out_ += "\">\n";
  Frame();
  Rect area{8, 8, w_ - 16.0, h_ - 16.0};
  Title(area);
  if (first_ && first_->kind != ChartKind::None && !series_.empty()) {
    Legend(area);
    if (area.w > 4 && area.h > 4) {
      if (IsRound(first_->kind))
        RoundChart(area);
      else if (first_->kind == ChartKind::Radar)
        RadarChart(area);
      else
        AxisChart(area);
    }
  }
  out_ += "</svg>\n";
  return std::move(out_);
}

// ---- Primitives.

void Drawer::Text(double x, double y, std::string_view text, const TextStyle& t, const char* anchor,
                  double rotate) {
  out_ += "<text x=\"";
  AppendNumber(out_, x);
  out_ += "\" y=\"";
  AppendNumber(out_, y);
  out_ += '"';
  if (std::abs(t.px - base_.px) > 0.01) {
    out_ += " font-size=\"";
    AppendNumber(out_, t.px);
    out_ += '"';
  }
  if (t.bold) out_ += " font-weight=\"bold\"";
  if (t.italic) out_ += " font-style=\"italic\"";
  if (t.underline) out_ += " text-decoration=\"underline\"";
  out_ += " fill=\"";
  AppendColor(out_, t.color);
  out_ += '"';
  if (anchor && *anchor) {
    out_ += " text-anchor=\"";
    out_ += anchor;
    out_ += '"';
  }
  if (rotate != 0) {
    out_ += " transform=\"rotate(";
    AppendNumber(out_, rotate);
    out_ += ' ';
    AppendNumber(out_, x);
    out_ += ' ';
    AppendNumber(out_, y);
    out_ += ")\"";
  }
  out_ += '>';
  AppendXmlText(out_, text);
  out_ += "</text>\n";
}

void Drawer::StrokeAttrs(const model::ChartLine& line, uint32_t fallback, double fallbackWidth) {
  if (!line.visible) {
    out_ += " stroke=\"none\"";
    return;
  }
  out_ += " stroke=\"";
  AppendColor(out_, line.color.Or(fallback));
  out_ += "\" stroke-width=\"";
  const double width =
      line.widthPt > 0 ? std::min(line.widthPt * 96.0 / 72.0, 40.0) : fallbackWidth;
  AppendNumber(out_, width);
  out_ += '"';
  // Dashes in widths of the line, so a wide dotted line still shows its dots.
  static constexpr std::array<std::array<double, 6>, 5> kDash = {
      {{}, {4, 3}, {1, 2}, {6, 3, 1, 3}, {6, 3, 1, 3, 1, 3}}};
  if (line.dash > 0 && line.dash < 5) {
    out_ += " stroke-dasharray=\"";
    const double unit = std::max(width, 1.0);
    bool first = true;
    for (double d : kDash[line.dash]) {
      if (d == 0) break;
      if (!first) out_ += ' ';
      first = false;
      AppendNumber(out_, d * unit);
    }
    out_ += '"';
  }
}

void Drawer::FillAttr(const model::ChartFill& fill, uint32_t fallback) {
  out_ += " fill=\"";
  if (fill.visible)
    AppendColor(out_, fill.color.Or(fallback));
  else
    out_ += "none";
  out_ += '"';
}

void Drawer::Marker(double x, double y, model::MarkerShape shape, double size, uint32_t fill,
                    uint32_t line) {
  using model::MarkerShape;
  const double r = std::clamp(size, 2.0, 72.0) * 96.0 / 72.0 / 2;
  out_ += "<path d=\"";
  auto pt = [&](char op, double dx, double dy) {
    out_ += op;
    Point(x + dx, y + dy);
  };
  bool open = false;  // drawn by its stroke only
  switch (shape) {
    case MarkerShape::Square:
    case MarkerShape::Automatic:
    case MarkerShape::None:
      pt('M', -r, -r), pt('L', r, -r), pt('L', r, r), pt('L', -r, r), out_ += 'Z';
      break;
    case MarkerShape::Diamond:
      pt('M', 0, -r), pt('L', r, 0), pt('L', 0, r), pt('L', -r, 0), out_ += 'Z';
      break;
    case MarkerShape::Triangle:
      pt('M', 0, -r), pt('L', r, r), pt('L', -r, r), out_ += 'Z';
      break;
    case MarkerShape::X:
      pt('M', -r, -r), pt('L', r, r), pt('M', r, -r), pt('L', -r, r), open = true;
      break;
    case MarkerShape::Star:
      pt('M', -r, -r), pt('L', r, r), pt('M', r, -r), pt('L', -r, r), pt('M', 0, -r), pt('L', 0, r),
          open = true;
      break;
    case MarkerShape::Dash:
      pt('M', -r, 0), pt('L', r, 0), open = true;
      break;
    case MarkerShape::Plus:
      pt('M', -r, 0), pt('L', r, 0), pt('M', 0, -r), pt('L', 0, r), open = true;
      break;
    case MarkerShape::Dot:
    case MarkerShape::Circle: {
      const double rr = shape == MarkerShape::Dot ? r / 2 : r;
      pt('M', -rr, 0);
      out_ += 'a';
      Point(rr, rr);
      out_ += " 0 1,0 ";
      AppendNumber(out_, 2 * rr);
      out_ += ",0a";
      Point(rr, rr);
      out_ += " 0 1,0 ";
      AppendNumber(out_, -2 * rr);
      out_ += ",0Z";
      break;
    }
  }
  out_ += "\" fill=\"";
  if (open)
    out_ += "none";
  else
    AppendColor(out_, fill);
  out_ += "\" stroke=\"";
  AppendColor(out_, line);
  out_ += "\"/>\n";
}

void Drawer::Point(double x, double y) {
  AppendNumber(out_, x);
  out_ += ',';
  AppendNumber(out_, y);
}

void Drawer::RectStart(const Rect& r) {
  out_ += "<rect x=\"";
  AppendNumber(out_, r.x);
  out_ += "\" y=\"";
  AppendNumber(out_, r.y);
  out_ += "\" width=\"";
  AppendNumber(out_, r.w);
  out_ += "\" height=\"";
  AppendNumber(out_, r.h);
  out_ += '"';
}

void Drawer::LinePath(const std::vector<std::pair<double, double>>& pts, bool smooth) {
  out_ += "<path d=\"";
  for (size_t i = 0; i < pts.size(); ++i) {
    if (i == 0 || !smooth) {
      out_ += i == 0 ? 'M' : 'L';
      Point(pts[i].first, pts[i].second);
      continue;
    }
    // Catmull-Rom through the neighbours as a cubic Bezier.
    const auto& p0 = pts[i > 1 ? i - 2 : 0];
    const auto& p1 = pts[i - 1];
    const auto& p2 = pts[i];
    const auto& p3 = pts[i + 1 < pts.size() ? i + 1 : i];
    const double c1x = p1.first + (p2.first - p0.first) / 6,
                 c1y = p1.second + (p2.second - p0.second) / 6;
    const double c2x = p2.first - (p3.first - p1.first) / 6,
                 c2y = p2.second - (p3.second - p1.second) / 6;
    out_ += 'C';
    for (double v : {c1x, c1y, c2x, c2y, p2.first, p2.second}) {
      AppendNumber(out_, v);
      out_ += ' ';
    }
    out_.pop_back();
  }
  out_ += '"';
}

model::MarkerShape Drawer::MarkerOf(const Series& se) const {
  using model::MarkerShape;
  if (se.s->marker != MarkerShape::Automatic) return se.s->marker;
  static constexpr std::array<MarkerShape, 9> kSequence = {
      MarkerShape::Diamond, MarkerShape::Square, MarkerShape::Triangle,
      MarkerShape::X,       MarkerShape::Star,   MarkerShape::Circle,
      MarkerShape::Plus,    MarkerShape::Dash,   MarkerShape::Dot};
  return kSequence[se.order % kSequence.size()];
}

uint32_t Drawer::PointColor(const Series& se, size_t i, bool vary) const {
  if (const model::ChartPoint* p = PointOf(se, i)) {
    if (p->fill.visible && !p->fill.color.automatic) return p->fill.color.rgb;
  }
  return vary ? DefaultColor(i, chart_.palette) : se.color;
}

std::string Drawer::LabelText(const Series& se, size_t i, double value, double percent) {
  const model::DataLabels& l = LabelsOf(se);
  std::string text;
  auto add = [&](const std::string& part) {
    if (part.empty()) return;
    if (!text.empty()) text += ", ";
    text += part;
  };
  if (l.seriesName) add(se.name);
  if (l.category && i < se.categories.texts.size()) add(se.categories.texts[i]);
  if (l.value && !std::isnan(value))
    add(FormatValue(value, l.numberFormat.empty() ? se.values.format : l.numberFormat));
  if (l.percent && !std::isnan(percent))
    add(FormatValue(percent, l.numberFormat.empty() || !l.value ? "0%" : l.numberFormat));
  return text;
}

// ---- Frame, title, legend.

void Drawer::Frame() {
  out_ += "<rect x=\"0.5\" y=\"0.5\" width=\"";
  AppendNumber(out_, w_ - 1);
  out_ += "\" height=\"";
  AppendNumber(out_, h_ - 1);
  out_ += '"';
  FillAttr(chart_.chartFill, 0xFFFFFF);
  StrokeAttrs(chart_.chartBorder, kBorderColor, 1);
  out_ += "/>\n";
}

void Drawer::Title(Rect& area) {
  std::string text = chart_.title.text;
  // A chart of one series that the file names stands under that name.
  if (text.empty() && chart_.autoTitle && series_.size() == 1 && Named(series_[0].s->name))
    text = series_[0].name;
  if (text.empty()) return;
  TextStyle base = base_;
  base.px = base_.px * 1.8;
  base.bold = true;
  const TextStyle t = StyleOf(chart_.title.hasFont, chart_.title.font, base);
  std::vector<std::string_view> lines;
  std::string_view rest = text;
  while (lines.size() < 8) {
    const size_t nl = rest.find('\n');
    lines.push_back(rest.substr(0, nl));
    if (nl == std::string_view::npos) break;
    rest.remove_prefix(nl + 1);
  }
  double y = area.y + t.px;
  for (std::string_view line : lines) {
    Text(w_ / 2.0, y, line, t, "middle");
    y += t.px * 1.2;
  }
  const double used = y - area.y - t.px * 0.2 + 6;
  area.y += used;
  area.h -= used;
}

void Drawer::LegendEntries(std::vector<LegendEntry>& entries) const {
  // The categories of a chart of one series in varied colours (pies), else the series.
  const bool byPoint = first_->varyColors || IsRound(first_->kind);
  if (byPoint && !series_.empty() && (series_.size() == 1 || IsRound(first_->kind))) {
    const Series& se = series_[0];
    const size_t n = std::min<size_t>(std::max(se.values.size(), se.categories.size()), 200);
    for (size_t i = 0; i < n; ++i) {
      std::string text = i < se.categories.texts.size() && !se.categories.texts[i].empty()
                             ? se.categories.texts[i]
                             : std::to_string(i + 1);
      entries.push_back({std::move(text), PointColor(se, i, true), nullptr});
    }
    return;
  }
  for (const Series& se : series_) {
    if (entries.size() >= 200) break;
    entries.push_back({se.name, se.color, &se});
  }
  // A legend beside stacked series or bars lists them as they are stacked, the last on top.
  const bool beside =
      chart_.legend == model::LegendPosition::Right || chart_.legend == model::LegendPosition::Left;
  if (beside && chart_.groups.size() == 1 &&
      (first_->kind == ChartKind::Bar || first_->grouping != ChartGrouping::Clustered))
    std::reverse(entries.begin(), entries.end());
}

void Drawer::LegendSymbol(const LegendEntry& e, double x, double mid, double sym,
                          const TextStyle& t) {
  const bool lines = first_->kind == ChartKind::Line || first_->kind == ChartKind::Scatter ||
                     first_->kind == ChartKind::Radar;
  if (lines && e.series) {
    const Series& se = *e.series;
    if (se.s->line.visible && (se.g->kind != ChartKind::Scatter || se.g->lines)) {
      out_ += "<path d=\"M";
      Point(x, mid);
      out_ += 'h';
      AppendNumber(out_, sym);
      out_ += "\" fill=\"none\"";
      StrokeAttrs(se.s->line, se.color, 2);
      out_ += "/>\n";
    }
    const model::MarkerShape m = MarkerOf(se);
    if (se.g->markers && m != model::MarkerShape::None)
      Marker(x + sym / 2, mid, m, std::min<double>(se.s->markerSize, t.px * 0.6),
             se.s->markerFill.Or(se.color), se.s->markerLine.Or(se.color));
  } else {
    RectStart({x, mid - sym / 2, sym, sym});
    out_ += " fill=\"";
    AppendColor(out_, e.color);
    out_ += "\"/>\n";
  }
}

void Drawer::Legend(Rect& area) {
  if (chart_.legend == model::LegendPosition::None) return;
  const TextStyle t = StyleOf(chart_.hasLegendFont, chart_.legendFont, base_);
  std::vector<LegendEntry> entries;
  LegendEntries(entries);
  if (entries.empty()) return;
  const bool lines = first_->kind == ChartKind::Line || first_->kind == ChartKind::Scatter ||
                     first_->kind == ChartKind::Radar;
  // Lines show a length of themselves.
  const double sym = t.px * (lines ? 1.8 : 0.7), gap = t.px * 0.4, lineH = t.px * 1.3;
  std::vector<double> widths;
  double widest = 0;
  for (const LegendEntry& e : entries) {
    widths.push_back(sym + gap + support::EstimateTextWidth(e.text, t.px, t.bold));
    widest = std::max(widest, widths.back());
  }
  const bool vertical = chart_.legend == model::LegendPosition::Right ||
                        chart_.legend == model::LegendPosition::Left ||
                        chart_.legend == model::LegendPosition::Corner;
  std::vector<std::pair<double, double>> at(entries.size());  // top-left of each entry
  double boxW = 0, boxH = 0;
  if (vertical) {
    widest = std::min(widest, area.w * 0.4);
    boxW = widest;
    const size_t fit = std::max<size_t>(1, static_cast<size_t>(area.h / lineH));
    const size_t shown = std::min(entries.size(), fit);
    entries.resize(shown);
    boxH = shown * lineH;
    for (size_t i = 0; i < shown; ++i) at[i] = {0, i * lineH};
  } else {
    double x = 0, y = 0, rowW = 0;
    size_t shown = 0;
    for (size_t i = 0; i < entries.size(); ++i) {
      const double ew = std::min(widths[i], area.w) + t.px;
      if (x > 0 && x + ew > area.w) {
        x = 0;
        y += lineH;
      }
      if (y + lineH > area.h * 0.4 && shown > 0) break;
      at[i] = {x, y};
      x += ew;
      rowW = std::max(rowW, x - t.px);
      ++shown;
    }
    entries.resize(shown);
    boxW = rowW;
    boxH = y + lineH;
  }
  double bx = 0, by = 0;
  switch (chart_.legend) {
    case model::LegendPosition::Left:
      bx = area.x, by = area.y + (area.h - boxH) / 2;
      area.x += boxW + 10, area.w -= boxW + 10;
      break;
    case model::LegendPosition::Top:
      bx = area.x + (area.w - boxW) / 2, by = area.y;
      area.y += boxH + 6, area.h -= boxH + 6;
      break;
    case model::LegendPosition::Bottom:
      bx = area.x + (area.w - boxW) / 2, by = area.y + area.h - boxH;
      area.h -= boxH + 6;
      break;
    case model::LegendPosition::Corner:
      bx = area.x + area.w - boxW, by = area.y;
      area.w -= boxW + 10;
      break;
    default:  // Right
      bx = area.x + area.w - boxW, by = area.y + (area.h - boxH) / 2;
      area.w -= boxW + 10;
      break;
  }
  for (size_t i = 0; i < entries.size(); ++i) {
    const LegendEntry& e = entries[i];
    const double x = bx + at[i].first, y = by + at[i].second, mid = y + lineH / 2;
    LegendSymbol(e, x, mid, sym, t);
    Text(x + sym + gap, mid + t.px * 0.35, e.text, t, nullptr);
  }
}

}  // namespace quillane::chart::drawing
