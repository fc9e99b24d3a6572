#include "spreadsheet/chart/ChartSvg.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include "spreadsheet/chart/ChartScale.h"
#include "spreadsheet/chart/ChartValues.h"
#include "spreadsheet/chart/SvgText.h"
#include "spreadsheet/chart/Trendline.h"
#include "support/TextWidth.h"

namespace quillane::chart {

namespace {

using model::ChartGrouping;
using model::ChartKind;

// Every series of a chart together: more points than this is not drawn.
constexpr size_t kMaxChartPoints = 1000000;
constexpr int kMinSide = 8;

constexpr std::array<uint32_t, 6> kAccents = {0x4472C4, 0xED7D31, 0xA5A5A5,
                                              0xFFC000, 0x5B9BD5, 0x70AD47};
// The look of what a chart leaves automatic.
constexpr uint32_t kTextColor = 0x000000;
constexpr uint32_t kLineColor = 0x868686;  // axes
constexpr uint32_t kGridColor = 0x868686;
constexpr uint32_t kBorderColor = 0x868686;

// The default colour of series (or point) number `i`: the six accents (the chart's palette or the
// default theme's), then darker and lighter variants of them in turn.
uint32_t DefaultColor(size_t i, const std::vector<uint32_t>& palette) {
  static constexpr std::array<std::array<double, 2>, 8> kVariants = {
      {{1, 0}, {0.6, 0}, {0.8, 0.2}, {0.8, 0}, {0.6, 0.4}, {0.5, 0}, {0.7, 0.3}, {0.7, 0}}};
  const uint32_t base =
      palette.empty() ? kAccents[i % kAccents.size()] : palette[i % palette.size()] & 0xFFFFFF;
  const size_t turn = palette.empty() ? i / kAccents.size() : i / palette.size();
  const auto& v = kVariants[turn % kVariants.size()];
  return v[0] == 1 && v[1] == 0 ? base : model::ScaleLightness(base, v[0], v[1]);
}

struct TextStyle {
  double px = 13.3;
  bool bold = false, italic = false, underline = false;
  uint32_t color = kTextColor;
};

TextStyle StyleOf(bool has, const model::Font& font, const TextStyle& base) {
  if (!has) return base;
  TextStyle t;
  t.px = std::clamp(font.height / 15.0, 4.0, 96.0);
  t.bold = font.weight >= 600;
  t.italic = font.italic;
  t.underline = font.underline != model::Underline::None;
  t.color = font.color.Or(base.color);
  return t;
}

bool Named(const model::ChartData& name) {
  return name.sheet >= 0 || !name.texts.empty() || !name.formula.empty();
}

bool HasBars(ChartKind k) { return k == ChartKind::Column || k == ChartKind::Bar; }
bool IsRound(ChartKind k) { return k == ChartKind::Pie || k == ChartKind::Doughnut; }

struct Rect {
  double x = 0, y = 0, w = 0, h = 0;
};

// One series as drawn: its values resolved and its colour chosen.
struct Series {
  const model::ChartSeries* s = nullptr;
  const model::ChartGroup* g = nullptr;
  size_t order = 0;  // among all series of the chart
  Values values, categories;
  std::string name;
  uint32_t color = 0;
  double Value(size_t i) const {
    return i < values.numbers.size() ? values.numbers[i] : model::kNoValue;
  }
};

class Drawer {
 public:
  Drawer(const model::Workbook& book, const model::Chart& chart, int width, int height)
      : book_(book), chart_(chart), w_(width), h_(height) {
    base_.px = 13.3;
    base_ = StyleOf(chart.hasFont, chart.font, base_);
    if (!chart.hasFont) base_.px = 13.3;
  }

  std::string Draw();

 private:
  void Prepare();
  void Frame();
  void Title(Rect& area);
  void Legend(Rect& area);
  void AxisChart(Rect area);
  void RoundChart(Rect area);
  void RadarChart(Rect area);

  // Primitives.
  void Text(double x, double y, std::string_view text, const TextStyle& t, const char* anchor,
            double rotate = 0);
  void StrokeAttrs(const model::ChartLine& line, uint32_t fallback, double fallbackWidth);
  void FillAttr(const model::ChartFill& fill, uint32_t fallback);
  void Marker(double x, double y, model::MarkerShape shape, double size, uint32_t fill,
              uint32_t line);
  void LinePath(const std::vector<std::pair<double, double>>& pts, bool smooth);
  // Appends "x,y".
  void Point(double x, double y);
  // Appends `<rect x=".." y=".." width=".." height=".."`, for the caller to go on with.
  void RectStart(const Rect& r);

  std::string FormatValue(double v, const std::string& code) {
    return formats_.Get(code.empty() ? "General" : code).Format(v, book_.date1904).text;
  }
  std::string LabelText(const Series& se, size_t i, double value, double percent);
  const model::DataLabels& LabelsOf(const Series& se) const {
    const model::DataLabels& own = se.s->labels;
    return own.value || own.category || own.seriesName || own.percent ? own : se.g->labels;
  }
  uint32_t PointColor(const Series& se, size_t i, bool vary) const;
  const model::ChartPoint* PointOf(const Series& se, size_t i) const {
    for (const model::ChartPoint& p : se.s->points)
      if (p.index == i) return &p;
    return nullptr;
  }
  model::MarkerShape MarkerOf(const Series& se) const;

  const model::Workbook& book_;
  const model::Chart& chart_;
  int w_, h_;
  TextStyle base_;
  format::FormatCache formats_;
  std::vector<Series> series_;
  const model::ChartGroup* first_ = nullptr;
  std::string out_;
};

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

void Drawer::Legend(Rect& area) {
  if (chart_.legend == model::LegendPosition::None) return;
  const TextStyle t = StyleOf(chart_.hasLegendFont, chart_.legendFont, base_);
  // Entries: the categories of a chart of one series in varied colours (pies), else the series.
  struct Entry {
    std::string text;
    uint32_t color;
    const Series* series;
  };
  std::vector<Entry> entries;
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
  } else {
    for (const Series& se : series_) {
      if (entries.size() >= 200) break;
      entries.push_back({se.name, se.color, &se});
    }
    // A legend beside stacked series or bars lists them as they are stacked, the last on top.
    const bool beside = chart_.legend == model::LegendPosition::Right ||
                        chart_.legend == model::LegendPosition::Left;
    if (beside && chart_.groups.size() == 1 &&
        (first_->kind == ChartKind::Bar || first_->grouping != ChartGrouping::Clustered))
      std::reverse(entries.begin(), entries.end());
  }
  if (entries.empty()) return;
  const bool lines = first_->kind == ChartKind::Line || first_->kind == ChartKind::Scatter ||
                     first_->kind == ChartKind::Radar;
  // Lines show a length of themselves.
  const double sym = t.px * (lines ? 1.8 : 0.7), gap = t.px * 0.4, lineH = t.px * 1.3;
  std::vector<double> widths;
  double widest = 0;
  for (const Entry& e : entries) {
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
    const Entry& e = entries[i];
    const double x = bx + at[i].first, y = by + at[i].second, mid = y + lineH / 2;
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
    Text(x + sym + gap, mid + t.px * 0.35, e.text, t, nullptr);
  }
}

// ---- Charts with axes: column, bar, line, area, scatter.

void Drawer::AxisChart(Rect area) {
  const bool horizontal = first_->kind == ChartKind::Bar;  // categories run down
  const bool scatter = first_->kind == ChartKind::Scatter;
  const TextStyle catStyle = StyleOf(chart_.categoryAxis.hasFont, chart_.categoryAxis.font, base_);
  const TextStyle valStyle = StyleOf(chart_.valueAxis.hasFont, chart_.valueAxis.font, base_);
  const TextStyle secStyle =
      StyleOf(chart_.secondaryValueAxis.hasFont, chart_.secondaryValueAxis.font, base_);

  // Categories: the most points of any series; their texts from the first series that has some.
  size_t n = 0;
  const Values* catTexts = nullptr;
  for (const Series& se : series_) {
    if (se.g->kind == ChartKind::Pie || se.g->kind == ChartKind::Doughnut) continue;
    n = std::max({n, se.values.size(), se.categories.size()});
    if (!catTexts && !se.categories.texts.empty()) catTexts = &se.categories;
  }
  n = std::max<size_t>(n, 1);
  auto catText = [&](size_t i) -> std::string {
    if (catTexts && i < catTexts->texts.size()) return catTexts->texts[i];
    return catTexts ? std::string() : std::to_string(i + 1);
  };

  // Value ranges, primary and secondary.
  struct Extent {
    double lo = INFINITY, hi = -INFINITY;
    bool percent = false, any = false;
    void Add(double v) {
      if (std::isnan(v)) return;
      lo = std::min(lo, v), hi = std::max(hi, v), any = true;
    }
  };
  Extent ext[2], xExt;
  for (const model::ChartGroup& g : chart_.groups) {
    if (IsRound(g.kind) || g.kind == ChartKind::None) continue;
    Extent& e = ext[g.secondaryAxis ? 1 : 0];
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
            xExt.Add(x);
          }
        }
      }
    }
  }
  const bool hasSecondary = ext[1].any;

  // The plot rectangle: room for the value labels, the category labels and the axis titles.
  Rect plot = area;
  const double valueLen0 = horizontal ? plot.w : plot.h;
  auto scaleFor = [&](int which, double len) {
    const model::ChartAxis& axis = which ? chart_.secondaryValueAxis : chart_.valueAxis;
    const Extent& e = ext[which].any ? ext[which] : ext[0];
    const TextStyle& st = which ? secStyle : valStyle;
    const int maxIntervals =
        std::clamp(static_cast<int>(len / (st.px * (horizontal ? 2.6 : 1.8))), 2, 12);
    return NiceScale(e.any ? e.lo : 0, e.any ? e.hi : 1, axis, maxIntervals, e.percent);
  };
  Scale vs[2] = {scaleFor(0, valueLen0), scaleFor(1, valueLen0)};
  Scale xs;
  if (scatter) {
    xs = NiceScale(xExt.any ? xExt.lo : 0, xExt.any ? xExt.hi : 1, chart_.categoryAxis,
                   std::clamp(static_cast<int>(plot.w / (catStyle.px * 4)), 2, 10), false);
  }
  auto valueFormat = [&](int which) {
    const model::ChartAxis& axis = which ? chart_.secondaryValueAxis : chart_.valueAxis;
    if (!axis.numberFormat.empty()) return axis.numberFormat;
    if (ext[which].percent) return std::string("0%");
    for (const Series& se : series_)
      if (se.g->secondaryAxis == (which == 1)) return se.values.format;
    return std::string("General");
  };
  std::vector<std::string> valueLabels[2];
  double widestValue[2] = {0, 0};
  for (int which = 0; which < (hasSecondary ? 2 : 1); ++which) {
    const std::string code = valueFormat(which);
    for (double v : vs[which].Ticks()) {
      valueLabels[which].push_back(FormatValue(v, code));
      const TextStyle& st = which ? secStyle : valStyle;
      widestValue[which] =
          std::max(widestValue[which],
                   support::EstimateTextWidth(valueLabels[which].back(), st.px, st.bold));
    }
  }
  std::vector<std::string> xLabels;
  if (scatter) {
    const std::string code =
        !chart_.categoryAxis.numberFormat.empty()
            ? chart_.categoryAxis.numberFormat
            : (series_.empty() ? std::string("General") : series_[0].categories.format);
    for (double v : xs.Ticks()) xLabels.push_back(FormatValue(v, code));
  }
  const bool showCat = chart_.categoryAxis.visible, showVal = chart_.valueAxis.visible;
  const bool showSec = hasSecondary && chart_.secondaryValueAxis.visible;
  // Axis titles.
  const TextStyle catTitle = StyleOf(chart_.categoryAxis.title.hasFont,
                                     chart_.categoryAxis.title.font, TextStyle{base_.px, true});
  const TextStyle valTitle = StyleOf(chart_.valueAxis.title.hasFont, chart_.valueAxis.title.font,
                                     TextStyle{base_.px, true});
  const bool catTitled = !chart_.categoryAxis.title.text.empty();
  const bool valTitled = !chart_.valueAxis.title.text.empty();
  // Which side holds what: columns put categories below and values left; bars the other way.
  const double catLabelH = catStyle.px * 1.4;
  double catLabelW = 0;
  if (horizontal && showCat) {
    for (size_t i = 0; i < std::min<size_t>(n, 2000); ++i)
      catLabelW =
          std::max(catLabelW, support::EstimateTextWidth(catText(i), catStyle.px, catStyle.bold));
    catLabelW = std::min(catLabelW, area.w * 0.4);
  }
  // Axes that cross the other one at its maximum: categories above, values on the right.
  const bool catAtMax = !horizontal && chart_.categoryAxis.crossesAtMax;
  const bool valAtMax = !horizontal && !hasSecondary && chart_.valueAxis.crossesAtMax;
  const double leftRoom = horizontal ? (showCat ? catLabelW + 8 : 0)
                          : valAtMax ? 6
                                     : (showVal ? widestValue[0] + 8 : 0);
  // Turned category labels: as far down as the widest reaches.
  const double rotation = scatter || horizontal ? 0 : chart_.categoryAxis.labelRotation;
  const double turn = std::abs(std::sin(rotation * std::numbers::pi / 180));
  double turnedRoom = 0;
  if (rotation != 0 && showCat) {
    for (size_t i = 0; i < std::min<size_t>(n, 2000); ++i)
      turnedRoom = std::max(
          turnedRoom, support::EstimateTextWidth(catText(i), catStyle.px, catStyle.bold) * turn);
    turnedRoom = std::min(turnedRoom + catStyle.px * 1.2, area.h * 0.4);
  }
  const double labelRoom = horizontal ? (showVal ? valStyle.px * 1.5 : 0)
                           : !showCat ? 0
                           : scatter  ? catStyle.px * 1.5
                                      : std::max(catLabelH, turnedRoom);
  const double rightRoom = showSec    ? widestValue[1] + 8
                           : valAtMax ? (showVal ? widestValue[0] + 8 : 6)
                                      : 6;
  plot.x += leftRoom + (horizontal ? (catTitled ? catTitle.px * 1.4 : 0)
                                   : (valTitled ? valTitle.px * 1.4 : 0));
  plot.w -= plot.x - area.x + rightRoom;
  const double topRoom = catAtMax ? labelRoom : horizontal && showSec ? secStyle.px * 1.5 : 0;
  plot.y += 4 + topRoom;
  plot.h -=
      4 + (catAtMax ? labelRoom : labelRoom + topRoom) +
      (horizontal ? (valTitled ? valTitle.px * 1.4 : 0) : (catTitled ? catTitle.px * 1.4 : 0));
  if (plot.w < 4 || plot.h < 4) return;
  // Scales for the room that is left; labels side by side must not touch.
  for (int which = 0; which < 2; ++which) {
    vs[which] = scaleFor(which, horizontal ? plot.w : plot.h);
    if (!horizontal) continue;
    const TextStyle& st = which ? secStyle : valStyle;
    double widest = 0;
    for (double v : vs[which].Ticks())
      widest = std::max(
          widest, support::EstimateTextWidth(FormatValue(v, valueFormat(which)), st.px, st.bold));
    const size_t ticks = vs[which].Ticks().size();
    if (ticks > 1 && widest + st.px > plot.w / static_cast<double>(ticks - 1)) {
      const model::ChartAxis& axis = which ? chart_.secondaryValueAxis : chart_.valueAxis;
      const Extent& e = ext[which].any ? ext[which] : ext[0];
      vs[which] = NiceScale(e.any ? e.lo : 0, e.any ? e.hi : 1, axis,
                            std::max(1, static_cast<int>(plot.w / (widest + st.px))), e.percent);
    }
  }
  for (int which = 0; which < 2; ++which) {
    valueLabels[which].clear();
    const std::string code = valueFormat(which);
    for (double v : vs[which].Ticks()) valueLabels[which].push_back(FormatValue(v, code));
  }

  // Plot area.
  RectStart(plot);
  if (chart_.plotFill.visible && !chart_.plotFill.color.automatic)
    FillAttr(chart_.plotFill, 0xFFFFFF);
  else
    out_ += " fill=\"none\"";
  if (chart_.plotBorder.visible && !chart_.plotBorder.color.automatic)
    StrokeAttrs(chart_.plotBorder, kBorderColor, 1);
  else
    out_ += " stroke=\"none\"";
  out_ += "/>\n";

  // Positions: value -> pixel along the value axis, category -> slot.
  const bool catReversed = chart_.categoryAxis.reversed;
  auto valuePos = [&](int which, double v) {
    const double f = vs[which].Fraction(v);
    return horizontal ? plot.x + f * plot.w : plot.y + plot.h - f * plot.h;
  };
  // Points in the middle of their categories, or on the tick marks (the first and the last on
  // the plot's edges) when the axis says so and no bars need the room.
  bool bars = false;
  for (const model::ChartGroup& g : chart_.groups) bars = bars || HasBars(g.kind);
  const bool onTicks = !chart_.categoryAxis.betweenTicks && !bars && !scatter && n > 1;
  const double slot = (horizontal ? plot.h : plot.w) / static_cast<double>(onTicks ? n - 1 : n);
  const double shift = onTicks ? -slot / 2 : 0;
  auto slotStart = [&](size_t i) {
    const double k = catReversed ? static_cast<double>(n - 1 - i) : static_cast<double>(i);
    // Bars run from the bottom up.
    return horizontal ? plot.y + plot.h - (k + 1) * slot - shift : plot.x + k * slot + shift;
  };
  auto xPos = [&](double x) { return plot.x + xs.Fraction(x) * plot.w; };

  // Gridlines.
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
    for (double v : vs[0].Ticks())
      gridLine(std::round(valuePos(0, v)) + 0.5, !horizontal, chart_.valueAxis.gridLine);
  }
  if (chart_.categoryAxis.majorGridlines) {
    if (scatter) {
      for (double v : xs.Ticks())
        gridLine(std::round(xPos(v)) + 0.5, false, chart_.categoryAxis.gridLine);
    } else {
      for (size_t i = 0; i <= (onTicks ? n - 1 : n) && i < 4096; ++i)
        gridLine(std::round(horizontal ? plot.y + i * slot : plot.x + i * slot) + 0.5, horizontal,
                 chart_.categoryAxis.gridLine);
    }
  }

  // Series, group by group.
  for (const model::ChartGroup& g : chart_.groups) {
    if (IsRound(g.kind) || g.kind == ChartKind::None || g.kind == ChartKind::Radar) continue;
    const int which = g.secondaryAxis && hasSecondary ? 1 : 0;
    std::vector<const Series*> members;
    for (const Series& se : series_)
      if (se.g == &g) members.push_back(&se);
    if (members.empty()) continue;
    const bool stacked = g.grouping != ChartGrouping::Clustered && g.kind != ChartKind::Scatter;
    const bool percent = g.grouping == ChartGrouping::PercentStacked;
    std::vector<double> totals;
    if (percent) {
      totals.assign(n, 0);
      for (const Series* se : members)
        for (size_t i = 0; i < n; ++i)
          if (!std::isnan(se->Value(i))) totals[i] += std::abs(se->Value(i));
    }
    auto scaled = [&](size_t i, double v) {
      return percent ? (totals[i] > 0 ? v / totals[i] : 0) : v;
    };
    const double base = vs[which].Baseline();
    std::vector<double> posSum(n, 0), negSum(n, 0);
    if (HasBars(g.kind)) {
      const size_t k = stacked ? 1 : members.size();
      const double overlap =
          stacked ? 1.0 : std::clamp(g.overlap, int16_t{-100}, int16_t{100}) / 100.0;
      const double gap = std::clamp<int>(g.gapWidth, 0, 500) / 100.0;
      const double bar = slot / (static_cast<double>(k) - (k - 1) * overlap + gap);
      const bool vary = g.varyColors && members.size() == 1;
      for (size_t m = 0; m < members.size(); ++m) {
        const Series& se = *members[m];
        const double offset = gap * bar / 2 + (stacked ? 0 : m * bar * (1 - overlap));
        for (size_t i = 0; i < n; ++i) {
          double v = se.Value(i);
          if (std::isnan(v)) continue;
          v = scaled(i, v);
          double from = base, to = v;
          if (stacked) {
            double& sum = v >= 0 ? posSum[i] : negSum[i];
            from = sum;
            to = sum + v;
            sum = to;
          }
          const double a = valuePos(which, from), b = valuePos(which, to);
          const double s0 = horizontal ? slotStart(i) + slot - offset - bar : slotStart(i) + offset;
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
          if (!label.empty()) {
            const TextStyle lt = base_;
            if (horizontal)
              Text(stacked ? r.x + r.w / 2 : (v >= 0 ? r.x + r.w + 3 : r.x - 3),
                   r.y + r.h / 2 + lt.px * 0.35, label, lt,
                   stacked ? "middle" : (v >= 0 ? "start" : "end"));
            else
              Text(r.x + r.w / 2,
                   stacked ? r.y + r.h / 2 + lt.px * 0.35 : (v >= 0 ? r.y - 3 : r.y + r.h + lt.px),
                   label, lt, "middle");
          }
        }
      }
      continue;
    }
    // High-low lines: from the lowest to the highest value of each category.
    if (g.hiLowLines && g.kind == ChartKind::Line && !horizontal) {
      out_ += "<path d=\"";
      for (size_t i = 0; i < n; ++i) {
        double lo = INFINITY, hi = -INFINITY;
        for (const Series* se : members) {
          const double v = se->Value(i);
          if (!std::isnan(v)) lo = std::min(lo, v), hi = std::max(hi, v);
        }
        if (!(hi > lo)) continue;
        out_ += 'M';
        Point(slotStart(i) + slot / 2, valuePos(which, hi));
        out_ += 'V';
        AppendNumber(out_, valuePos(which, lo));
      }
      out_ += "\" fill=\"none\" stroke=\"#000000\" stroke-width=\"1\"/>\n";
    }
    // Lines, areas and scatter: points along the slots' middles or at their x values.
    std::vector<std::vector<std::pair<double, double>>> areaTops;
    for (const Series* sp : members) {
      const Series& se = *sp;
      std::vector<std::pair<double, double>> pts;
      std::vector<std::vector<std::pair<double, double>>> runs;
      std::vector<size_t> indexes;
      const size_t count = g.kind == ChartKind::Scatter ? se.values.size() : n;
      for (size_t i = 0; i < count; ++i) {
        double v = se.Value(i);
        if (std::isnan(v) && g.kind != ChartKind::Area) {
          // An empty point breaks the line, unless the chart joins the points around it.
          if (!pts.empty() && chart_.emptyPoints != model::EmptyPoints::Span)
            runs.push_back(std::move(pts)), pts.clear();
          continue;
        }
        if (std::isnan(v)) v = 0;
        v = scaled(i, v);
        if (stacked) {
          posSum[i] += v;
          v = posSum[i];
        }
        double x;
        if (g.kind == ChartKind::Scatter) {
          x = i < se.categories.numbers.size() && !std::isnan(se.categories.numbers[i])
                  ? se.categories.numbers[i]
                  : static_cast<double>(i + 1);
          if (vs[0].log && v <= 0) continue;
          x = xPos(x);
        } else {
          x = slotStart(i) + slot / 2;
        }
        const double y = valuePos(which, v);
        if (horizontal)
          pts.emplace_back(y, x);
        else
          pts.emplace_back(x, y);
        indexes.push_back(i);
      }
      if (!pts.empty()) runs.push_back(std::move(pts));
      if (g.kind == ChartKind::Area) {
        // The area between this series' line and the one below (the baseline first).
        if (runs.empty()) continue;
        const auto& top = runs[0];
        out_ += "<path d=\"";
        for (size_t i = 0; i < top.size(); ++i) {
          out_ += i ? 'L' : 'M';
          Point(top[i].first, top[i].second);
        }
        if (stacked && !areaTops.empty()) {
          const auto& below = areaTops.back();
          for (size_t i = below.size(); i-- > 0;) {
            out_ += 'L';
            Point(below[i].first, below[i].second);
          }
        } else {
          const double b = valuePos(which, base);
          out_ += 'L';
          Point(horizontal ? b : top.back().first, horizontal ? top.back().second : b);
          out_ += 'L';
          Point(horizontal ? b : top.front().first, horizontal ? top.front().second : b);
        }
        out_ += "Z\" fill=\"";
        AppendColor(out_, se.color);
        out_ += '"';
        if (se.s->line.visible && !se.s->line.color.automatic) StrokeAttrs(se.s->line, se.color, 1);
        out_ += "/>\n";
        areaTops.push_back(top);
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
        for (const auto& p : run) {
          const size_t i = indexes[at++];
          if (markers)
            Marker(p.first, p.second, shape, se.s->markerSize, se.s->markerFill.Or(se.color),
                   se.s->markerLine.Or(se.color));
          const std::string label = LabelText(se, i, se.Value(i), model::kNoValue);
          if (!label.empty()) Text(p.first, p.second - 6, label, base_, "middle");
        }
      }
    }
  }

  // Trendlines, over the series and kept inside the plot. The x of a category is its number
  // (1, 2, ...), placed in the middle of its slot.
  bool clipped = false;
  auto catPos = [&](double x) {
    const double k = catReversed ? static_cast<double>(n) - x : x - 1;
    return horizontal ? plot.y + plot.h - (k + 1) * slot - shift + slot / 2
                      : plot.x + k * slot + shift + slot / 2;
  };
  for (const Series& se : series_) {
    const model::ChartGroup& g = *se.g;
    if (se.s->trendlines.empty() || IsRound(g.kind) || g.kind == ChartKind::None ||
        g.kind == ChartKind::Radar ||
        (g.grouping != ChartGrouping::Clustered && g.kind != ChartKind::Scatter)) {
      continue;
    }
    const int which = g.secondaryAxis && hasSecondary ? 1 : 0;
    const bool isScatter = g.kind == ChartKind::Scatter;
    std::vector<double> px, py;
    const size_t count = isScatter ? se.values.numbers.size() : n;
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
        RectStart(plot);
        out_ += "/></clipPath>\n";
        clipped = true;
      }
      out_ += "<path d=\"";
      bool first = true;
      for (const auto& [x, y] : curve) {
        const double a = isScatter ? xPos(x) : catPos(x);
        const double along = valuePos(which, y);
        if (!std::isfinite(along)) continue;  // no place on a logarithmic axis
        // Far outside the plot a point only needs to be past its edge.
        const double b = std::clamp(along, -1e5, 1e5);
        out_ += first ? 'M' : 'L';
        first = false;
        Point(horizontal ? b : a, horizontal ? a : b);
      }
      out_ += "\" fill=\"none\" clip-path=\"url(#plot)\"";
      StrokeAttrs(trend.line, se.color, 2);
      out_ += "/>\n";
    }
  }

  // Axes: lines, tick labels, titles.
  const double baseline = valuePos(0, vs[0].Baseline());
  if (showCat) {
    out_ += "<path d=\"M";
    if (horizontal) {
      Point(std::round(scatter ? plot.x : baseline) + 0.5, plot.y);
      out_ += 'v';
      AppendNumber(out_, plot.h);
    } else {
      Point(plot.x, catAtMax ? plot.y : std::round(baseline) + 0.5);
      out_ += 'h';
      AppendNumber(out_, plot.w);
    }
    out_ += "\" fill=\"none\"";
    StrokeAttrs(chart_.categoryAxis.line, kLineColor, 1);
    out_ += "/>\n";
    if (scatter) {
      const auto ticks = xs.Ticks();
      for (size_t i = 0; i < ticks.size(); ++i)
        Text(xPos(ticks[i]),
             catAtMax ? plot.y - catStyle.px * 0.4 : plot.y + plot.h + catStyle.px * 1.2,
             xLabels[i], catStyle, "middle");
    } else {
      // Every label that fits: thinned to every k-th when they would overlap.
      double widest = 0;
      for (size_t i = 0; i < std::min<size_t>(n, 4096); ++i) {
        widest = std::max(widest, horizontal ? catStyle.px * 1.2
                                             : support::EstimateTextWidth(catText(i), catStyle.px,
                                                                          catStyle.bold));
      }
      if (rotation != 0) widest = catStyle.px * 1.2 / std::max(turn, 0.1);
      size_t step = std::max<size_t>(
          1, static_cast<size_t>(std::ceil((widest + catStyle.px * 0.5) / std::max(slot, 0.01))));
      if (chart_.categoryAxis.labelSkip > 0) step = chart_.categoryAxis.labelSkip;
      for (size_t i = 0; i < n; i += step) {
        const std::string text = catText(i);
        if (text.empty()) continue;
        if (horizontal)
          Text(plot.x - 6, slotStart(i) + slot / 2 + catStyle.px * 0.35, text, catStyle, "end");
        else if (catAtMax)
          Text(slotStart(i) + slot / 2, plot.y - catStyle.px * 0.4, text, catStyle, "middle");
        else if (rotation != 0)
          Text(slotStart(i) + slot / 2, plot.y + plot.h + catStyle.px * 0.9, text, catStyle,
               rotation < 0 ? "end" : "start", rotation);
        else
          Text(slotStart(i) + slot / 2, plot.y + plot.h + catStyle.px * 1.2, text, catStyle,
               "middle");
      }
    }
  }
  for (int which = 0; which < 2; ++which) {
    if (which == 0 ? !showVal : !showSec) continue;
    const TextStyle& st = which ? secStyle : valStyle;
    const auto ticks = vs[which].Ticks();
    for (size_t i = 0; i < ticks.size(); ++i) {
      const double p = valuePos(which, ticks[i]);
      if (horizontal)
        Text(p, which ? plot.y - st.px * 0.4 : plot.y + plot.h + st.px * 1.2, valueLabels[which][i],
             st, "middle");
      else if (which == 0 && !valAtMax)
        Text(plot.x - 6, p + st.px * 0.35, valueLabels[which][i], st, "end");
      else
        Text(plot.x + plot.w + 6, p + st.px * 0.35, valueLabels[which][i], st, "start");
    }
  }
  if (catTitled) {
    if (horizontal)
      Text(area.x + catTitle.px, plot.y + plot.h / 2, chart_.categoryAxis.title.text, catTitle,
           "middle", -90);
    else
      Text(plot.x + plot.w / 2, area.y + area.h - catTitle.px * 0.3, chart_.categoryAxis.title.text,
           catTitle, "middle");
  }
  if (valTitled) {
    if (horizontal)
      Text(plot.x + plot.w / 2, area.y + area.h - valTitle.px * 0.3, chart_.valueAxis.title.text,
           valTitle, "middle");
    else
      Text(area.x + valTitle.px, plot.y + plot.h / 2, chart_.valueAxis.title.text, valTitle,
           "middle", -90);
  }
}

// ---- Pie and doughnut.

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

// ---- Radar.

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

}  // namespace

std::string KindName(const model::Chart& chart) {
  if (chart.groups.empty()) return "chart";
  const model::ChartGroup& g = chart.groups.front();
  std::string prefix = g.grouping == ChartGrouping::Stacked          ? "stacked "
                       : g.grouping == ChartGrouping::PercentStacked ? "100% stacked "
                                                                     : "";
  switch (g.kind) {
    case ChartKind::Column:
      return prefix + "column chart";
    case ChartKind::Bar:
      return prefix + "bar chart";
    case ChartKind::Line:
      return prefix + "line chart";
    case ChartKind::Area:
      return prefix + "area chart";
    case ChartKind::Pie:
      return "pie chart";
    case ChartKind::Doughnut:
      return "doughnut chart";
    case ChartKind::Scatter:
      return "scatter chart";
    case ChartKind::Radar:
      return "radar chart";
    case ChartKind::None:
      break;
  }
  return "chart";
}

std::string AltText(const model::Workbook& book, const model::Chart& chart) {
  std::string title = chart.title.text;
  if (title.empty() && chart.autoTitle) {
    size_t count = 0;
    const model::ChartSeries* only = nullptr;
    for (const model::ChartGroup& g : chart.groups) {
      count += g.series.size();
      if (!g.series.empty()) only = &g.series.front();
    }
    if (count == 1 && Named(only->name)) {
      format::FormatCache formats;
      for (const std::string& t : ReadValues(book, only->name, formats, true).texts) {
        if (!title.empty() && !t.empty()) title += ' ';
        title += t;
      }
    }
  }
  for (char& c : title)
    if (c == '\n' || c == '\r' || c == '\t') c = ' ';
  std::string kind = KindName(chart);
  if (title.empty()) {
    kind[0] = static_cast<char>(kind[0] >= 'a' && kind[0] <= 'z' ? kind[0] - 'a' + 'A' : kind[0]);
    return kind;
  }
  return title + ": " + kind;
}

std::string DrawSvg(const model::Workbook& book, const model::Chart& chart, int width, int height) {
  return Drawer(book, chart, width, height).Draw();
}

}  // namespace quillane::chart
