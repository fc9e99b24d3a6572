#include "spreadsheet/ooxml/Charts.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <deque>
#include <memory>
#include <optional>
#include <set>

#include "spreadsheet/model/Limits.h"
#include "spreadsheet/ooxml/Xml.h"

namespace quillane::ooxml {

namespace {

using model::ChartGrouping;
using model::ChartKind;
using model::Color;

constexpr size_t kMaxNodes = size_t{1} << 20;  // elements of one chart part
constexpr size_t kMaxText = size_t{1} << 16;   // characters of one element's text
constexpr size_t kMaxSeries = 255;             // series of one chart
constexpr uint64_t kMaxSeriesPoints = 100000;  // cached points of one series
constexpr uint16_t kMaxExplosion = 400;        // % of the radius

// The chart part as a small tree: its attributes of interest and the text of its elements.
struct Node {
  std::string_view name;
  std::vector<std::pair<std::string_view, std::string>> attrs;
  std::string text;
  std::vector<const Node*> kids;

  const char* Attr(std::string_view key) const {
    for (const auto& [k, v] : attrs)
      if (k == key) return v.c_str();
    return nullptr;
  }
  const Node* Kid(std::string_view n) const {
    for (const Node* k : kids)
      if (k->name == n) return k;
    return nullptr;
  }
  // A path of children: Path({"tx", "rich"}).
  const Node* Path(std::initializer_list<std::string_view> names) const {
    const Node* n = this;
    for (std::string_view name : names) {
      n = n->Kid(name);
      if (!n) return nullptr;
    }
    return n;
  }
  std::string_view Val() const {
    const char* v = Attr("val");
    return v ? std::string_view(v) : std::string_view();
  }
  std::string_view KidVal(std::string_view n) const {
    const Node* k = Kid(n);
    return k ? k->Val() : std::string_view();
  }
  // A Boolean element: true when its val is absent, "1" or "true".
  bool KidBool(std::string_view n, bool absent) const {
    const Node* k = Kid(n);
    if (!k) return absent;
    const std::string_view v = k->Val();
    return v.empty() || v == "1" || v == "true";
  }
};

double ToNumber(std::string_view v, double fallback) {
  while (!v.empty() && (v.front() == ' ' || v.front() == '+')) v.remove_prefix(1);
  while (!v.empty() && v.back() == ' ') v.remove_suffix(1);
  double d = 0;
  const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), d);
  return ec == std::errc() && end == v.data() + v.size() && std::isfinite(d) ? d : fallback;
}

int64_t KidInt(const Node& n, std::string_view kid, int64_t fallback, int64_t lo, int64_t hi) {
  const Node* k = n.Kid(kid);
  if (!k) return fallback;
  const double d = ToNumber(k->Val(), static_cast<double>(fallback));
  return static_cast<int64_t>(
      std::clamp<double>(std::round(d), static_cast<double>(lo), static_cast<double>(hi)));
}

class TreeBuilder : public xml::Handler {
 public:
  std::deque<Node> nodes;
  const Node* root = nullptr;

  void Start(std::string_view name, const Attrs& a) override {
    if (nodes.size() >= kMaxNodes) {
      ++skipped_;
      return;
    }
    if (skipped_) {
      ++skipped_;
      return;
    }
    Node& n = nodes.emplace_back();
    n.name = Intern(name);
    static constexpr std::string_view kKeys[] = {
        "val",    "id",       "formatCode", "idx",     "sourceLinked", "sz",  "b", "i", "u",
        "strike", "typeface", "w",          "lastClr", "pos",          "rot", "r", "g"};
    for (std::string_view key : kKeys)
      if (const auto v = a.Get(key)) n.attrs.emplace_back(key, *v);
    if (!stack_.empty())
      stack_.back()->kids.push_back(&n);
    else if (!root)
      root = &n;
    stack_.push_back(&n);
  }
  void End(std::string_view) override {
    if (skipped_) {
      --skipped_;
      return;
    }
    if (!stack_.empty()) stack_.pop_back();
  }
  void Text(std::string_view text) override {
    if (skipped_ || stack_.empty()) return;
    std::string& t = stack_.back()->text;
    if (t.size() < kMaxText) t.append(text.substr(0, kMaxText - t.size()));
  }

 private:
  // Element names live as long as the tree: one copy of each distinct name.
  std::string_view Intern(std::string_view name) {
    auto it = names_.find(name);
    if (it == names_.end()) {
      if (names_.size() > 4096) return "?";
      it = names_.emplace(std::string(name)).first;
    }
    return *it;
  }
  struct Less {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const { return a < b; }
  };
  std::set<std::string, Less> names_;
  std::vector<Node*> stack_;
  size_t skipped_ = 0;
};

// ---- Colours, fills, lines, fonts.

uint32_t Mix(uint32_t rgb, uint32_t other, double f) {
  auto ch = [&](int shift) {
    const double a = (rgb >> shift) & 0xFF, b = (other >> shift) & 0xFF;
    return static_cast<uint32_t>(std::lround(std::clamp(a + (b - a) * f, 0.0, 255.0))) << shift;
  };
  return ch(16) | ch(8) | ch(0);
}

uint32_t Hex(std::string_view v) {
  uint32_t x = 0;
  std::from_chars(v.data(), v.data() + v.size(), x, 16);
  return x & 0xFFFFFF;
}

class Colors {
 public:
  explicit Colors(const ThemeColors& scheme) : scheme_(scheme) {}

  // The colour of a colour element's parent (solidFill, fgClr, gs ...); automatic when none.
  Color Of(const Node* holder) const {
    if (!holder) return Color::Auto();
    for (const Node* c : holder->kids) {
      uint32_t rgb = 0;
      if (c->name == "srgbClr") {
        rgb = Hex(c->Val());
      } else if (c->name == "sysClr") {
        const char* last = c->Attr("lastClr");
        rgb = last ? Hex(last) : (c->Val() == "window" ? 0xFFFFFF : 0);
      } else if (c->name == "schemeClr") {
        const std::string_view v = c->Val();
        static constexpr std::pair<std::string_view, int> kSlots[] = {
            {"dk1", 0},     {"tx1", 0},     {"lt1", 1},     {"bg1", 1},
            {"dk2", 2},     {"tx2", 2},     {"lt2", 3},     {"bg2", 3},
            {"accent1", 4}, {"accent2", 5}, {"accent3", 6}, {"accent4", 7},
            {"accent5", 8}, {"accent6", 9}, {"hlink", 10},  {"folHlink", 11}};
        int slot = -1;
        for (const auto& [name, i] : kSlots)
          if (v == name) slot = i;
        if (slot < 0) return Color::Auto();  // phClr: the style's colour
        rgb = scheme_[static_cast<size_t>(slot)];
      } else if (c->name == "prstClr") {
        static constexpr std::pair<std::string_view, uint32_t> kPreset[] = {
            {"black", 0x000000}, {"white", 0xFFFFFF},  {"red", 0xFF0000},  {"green", 0x008000},
            {"blue", 0x0000FF},  {"yellow", 0xFFFF00}, {"gray", 0x808080}, {"orange", 0xFFA500}};
        for (const auto& [name, value] : kPreset)
          if (c->Val() == name) rgb = value;
      } else if (c->name == "scrgbClr") {
        auto pc = [&](const char* k) {
          const char* v = c->Attr(k);
          return static_cast<uint32_t>(
              std::lround(std::clamp(ToNumber(v ? v : "0", 0) / 100000.0, 0.0, 1.0) * 255));
        };
        rgb = (pc("r") << 16) | (pc("g") << 8) | pc("b");
      } else {
        continue;
      }
      return Color::Rgb(Modify(rgb, *c));
    }
    return Color::Auto();
  }

 private:
  static uint32_t Modify(uint32_t rgb, const Node& c) {
    double mod = 1, off = 0;
    bool lum = false;
    for (const Node* m : c.kids) {
      const double f = ToNumber(m->Val(), 100000) / 100000.0;
      if (m->name == "lumMod")
        mod = f, lum = true;
      else if (m->name == "lumOff")
        off = f, lum = true;
      else if (m->name == "tint")
        rgb = Mix(rgb, 0xFFFFFF, 1 - std::clamp(f, 0.0, 1.0));
      else if (m->name == "shade")
        rgb = Mix(rgb, 0x000000, 1 - std::clamp(f, 0.0, 1.0));
    }
    return lum ? model::ScaleLightness(rgb, mod, off) : rgb;
  }

  const ThemeColors& scheme_;
};

// The colour a fill element gives: solid, the first stop of a gradient, a pattern's foreground.
bool FillColor(const Colors& colors, const Node* spPr, model::ChartFill& fill) {
  if (!spPr) return false;
  for (const Node* k : spPr->kids) {
    if (k->name == "noFill") {
      fill.visible = false;
      return true;
    }
    if (k->name == "solidFill") {
      fill.visible = true;
      fill.color = colors.Of(k);
      return true;
    }
    if (k->name == "gradFill") {
      if (const Node* gs = k->Path({"gsLst", "gs"})) {
        fill.visible = true;
        fill.color = colors.Of(gs);
        return true;
      }
    }
    if (k->name == "pattFill") {
      fill.visible = true;
      fill.color = colors.Of(k->Kid("fgClr"));
      return true;
    }
  }
  return false;
}

void LineOf(const Colors& colors, const Node* spPr, model::ChartLine& line) {
  const Node* ln = spPr ? spPr->Kid("ln") : nullptr;
  if (!ln) return;
  if (const char* w = ln->Attr("w"))
    line.widthPt = static_cast<float>(std::clamp(ToNumber(w, 0) / 12700, 0.0, 100.0));
  for (const Node* k : ln->kids) {
    if (k->name == "noFill") line.visible = false;
    if (k->name == "solidFill") line.visible = true, line.color = colors.Of(k);
    if (k->name == "gradFill")
      if (const Node* gs = k->Path({"gsLst", "gs"}))
        line.visible = true, line.color = colors.Of(gs);
    if (k->name == "prstDash") {
      const std::string_view d = k->Val();
      line.dash = d == "solid"                                              ? 0
                  : d == "dot" || d == "sysDot"                             ? 2
                  : d == "dashDot" || d == "sysDashDot" || d == "lgDashDot" ? 3
                  : d == "lgDashDotDot" || d == "sysDashDotDot"             ? 4
                                                                            : 1;
    }
  }
}

// Applies the run properties of a text (rPr or defRPr) to a font.
void ApplyRunProperties(const Colors& colors, const Node& rpr, model::Font& font) {
  if (const char* sz = rpr.Attr("sz")) {
    const double hundredths = ToNumber(sz, 1000);
    font.height = static_cast<uint16_t>(std::clamp(hundredths / 5, 20.0, 8000.0));
  }
  if (const char* b = rpr.Attr("b")) font.weight = (b[0] == '1' || b[0] == 't') ? 700 : 400;
  if (const char* i = rpr.Attr("i")) font.italic = i[0] == '1' || i[0] == 't';
  if (const char* u = rpr.Attr("u"))
    font.underline =
        std::string_view(u) == "none" ? model::Underline::None : model::Underline::Single;
  if (const char* s = rpr.Attr("strike")) font.strike = std::string_view(s) != "noStrike";
  if (const Node* fill = rpr.Kid("solidFill")) {
    const Color c = colors.Of(fill);
    if (!c.automatic) font.color = c;
  }
  if (const Node* latin = rpr.Kid("latin")) {
    const char* face = latin->Attr("typeface");
    if (face && *face && *face != '+') font.name = face;
  }
}

// The font of a text body (txPr or rich): its first paragraph's default run properties, then
// its first run's. `has` tells whether any was given.
void FontOf(const Colors& colors, const Node* body, model::Font& font, bool& has) {
  if (!body) return;
  for (const Node* p : body->kids) {
    if (p->name != "p") continue;
    if (const Node* d = p->Path({"pPr", "defRPr"}))
      ApplyRunProperties(colors, *d, font), has = true;
    if (const Node* r = p->Path({"r", "rPr"})) ApplyRunProperties(colors, *r, font), has = true;
    break;
  }
}

// The text of a rich text body: its paragraphs, one a line.
std::string RichText(const Node& rich) {
  std::string text;
  bool first = true;
  for (const Node* p : rich.kids) {
    if (p->name != "p") continue;
    if (!first) text += '\n';
    first = false;
    for (const Node* r : p->kids) {
      if (r->name == "r" || r->name == "fld") {
        if (const Node* t = r->Kid("t")) text += t->text;
      } else if (r->name == "br") {
        text += '\n';
      }
    }
  }
  return text;
}

// ---- Data.

struct GroupKind {
  std::string_view element;
  ChartKind kind;
  const char* drawnAs;
};

constexpr GroupKind kGroupKinds[] = {
    {"barChart", ChartKind::Column, ""},
    {"bar3DChart", ChartKind::Column, "3-D column"},
    {"lineChart", ChartKind::Line, ""},
    {"line3DChart", ChartKind::Line, "3-D line"},
    {"areaChart", ChartKind::Area, ""},
    {"area3DChart", ChartKind::Area, "3-D area"},
    {"pieChart", ChartKind::Pie, ""},
    {"pie3DChart", ChartKind::Pie, "3-D pie"},
    {"ofPieChart", ChartKind::Pie, "pie of pie"},
    {"doughnutChart", ChartKind::Doughnut, ""},
    {"scatterChart", ChartKind::Scatter, ""},
    {"radarChart", ChartKind::Radar, ""},
    {"stockChart", ChartKind::Line, "stock"},
    {"bubbleChart", ChartKind::Scatter, "bubble"},
    {"surfaceChart", ChartKind::Area, "surface"},
    {"surface3DChart", ChartKind::Area, "3-D surface"},
};

// The axes of a plot area by their ids.
using AxisIds = std::vector<std::pair<std::string_view, const Node*>>;

class ChartReader {
 public:
  ChartReader(const ThemeColors& scheme, uint64_t& budget)
      : scheme_(scheme), colors_(scheme), budget_(budget) {}

  bool Read(const Node& root, model::Chart& chart);

 private:
  void Data(const Node* holder, model::ChartData& data, bool text);
  void Cache(const Node& cache, model::ChartData& data, bool numbers);
  void Title(const Node* title, model::ChartText& out, const model::Font& base, bool baseHas);
  void Labels(const Node* dLbls, model::DataLabels& labels);
  void Marker(const Node* marker, model::ChartSeries& s);
  void Series(const Node& ser, model::ChartGroup& g);
  void Axis(const Node& ax, model::ChartAxis& axis, const model::Chart& chart);
  void Plot(const Node& plot, model::Chart& chart);
  model::ChartGroup Group(const Node& k, const GroupKind& kind, model::Chart& chart,
                          size_t seriesCount);
  void GroupAxes(const Node& k, const AxisIds& axes, model::ChartGroup& g, model::Chart& chart,
                 std::string_view& primaryValueAxis);

  const ThemeColors& scheme_;
  Colors colors_;
  uint64_t& budget_;
};

void ChartReader::Cache(const Node& cache, model::ChartData& data, bool numbers) {
  if (const Node* fc = cache.Kid("formatCode")) data.numberFormat = fc->text;
  if (data.numberFormat == "General") data.numberFormat.clear();
  uint64_t count = static_cast<uint64_t>(KidInt(cache, "ptCount", 0, 0, kMaxSeriesPoints));
  for (const Node* pt : cache.kids) {
    if (pt->name != "pt") continue;
    const char* idx = pt->Attr("idx");
    const double i = idx ? ToNumber(idx, -1) : -1;
    if (i >= 0 && i < static_cast<double>(kMaxSeriesPoints))
      count = std::max<uint64_t>(count, static_cast<uint64_t>(i) + 1);
  }
  count = std::min(count, budget_);
  budget_ -= count;
  if (numbers)
    data.numbers.assign(count, model::kNoValue);
  else
    data.texts.assign(count, std::string());
  for (const Node* pt : cache.kids) {
    if (pt->name != "pt") continue;
    const char* idx = pt->Attr("idx");
    const double i = idx ? ToNumber(idx, -1) : -1;
    if (!(i >= 0 && i < static_cast<double>(count))) continue;
    const Node* v = pt->Kid("v");
    if (!v) continue;
    const auto at = static_cast<size_t>(i);
    if (numbers)
      data.numbers[at] = ToNumber(v->text, model::kNoValue);
    else
      data.texts[at] = v->text;
  }
}

// A data source: a reference with its cache, or literal values.
void ChartReader::Data(const Node* holder, model::ChartData& data, bool text) {
  if (!holder) return;
  for (const Node* k : holder->kids) {
    if (k->name == "numRef" || k->name == "strRef" || k->name == "multiLvlStrRef") {
      if (const Node* f = k->Kid("f")) data.formula = f->text;
      if (const Node* c = k->Kid("numCache")) Cache(*c, data, true);
      if (const Node* c = k->Kid("strCache")) Cache(*c, data, false);
      if (const Node* c = k->Kid("multiLvlStrCache")) {
        if (const Node* lvl = c->Kid("lvl")) Cache(*lvl, data, false);
      }
    } else if (k->name == "numLit") {
      Cache(*k, data, true);
    } else if (k->name == "strLit") {
      Cache(*k, data, false);
    } else if (k->name == "v" && text) {
      data.texts = {k->text};
    }
  }
}

void ChartReader::Title(const Node* title, model::ChartText& out, const model::Font& base,
                        bool baseHas) {
  if (!title) return;
  out.font = base;
  out.hasFont = baseHas;
  if (const Node* rich = title->Path({"tx", "rich"})) {
    out.text = RichText(*rich);
    FontOf(colors_, rich, out.font, out.hasFont);
  } else if (title->Path({"tx", "strRef"})) {
    model::ChartData d;
    Data(title->Kid("tx"), d, true);
    for (const std::string& t : d.texts) out.text += t;
  }
  FontOf(colors_, title->Kid("txPr"), out.font, out.hasFont);
}

void ChartReader::Labels(const Node* dLbls, model::DataLabels& labels) {
  if (!dLbls) return;
  if (dLbls->KidBool("delete", false)) {
    labels = model::DataLabels();
    return;
  }
  labels.value = dLbls->KidBool("showVal", false);
  labels.category = dLbls->KidBool("showCatName", false);
  labels.seriesName = dLbls->KidBool("showSerName", false);
  labels.percent = dLbls->KidBool("showPercent", false);
  if (const Node* nf = dLbls->Kid("numFmt")) {
    const char* linked = nf->Attr("sourceLinked");
    const char* code = nf->Attr("formatCode");
    if (code && !(linked && (linked[0] == '1' || linked[0] == 't'))) labels.numberFormat = code;
  }
}

void ChartReader::Marker(const Node* marker, model::ChartSeries& s) {
  if (!marker) return;
  using model::MarkerShape;
  const std::string_view sym = marker->KidVal("symbol");
  static constexpr std::pair<std::string_view, MarkerShape> kShapes[] = {
      {"none", MarkerShape::None},
      {"square", MarkerShape::Square},
      {"diamond", MarkerShape::Diamond},
      {"triangle", MarkerShape::Triangle},
      {"x", MarkerShape::X},
      {"star", MarkerShape::Star},
      {"dot", MarkerShape::Dot},
      {"dash", MarkerShape::Dash},
      {"circle", MarkerShape::Circle},
      {"plus", MarkerShape::Plus},
      {"auto", MarkerShape::Automatic},
      {"picture", MarkerShape::Square}};
  for (const auto& [name, shape] : kShapes)
    if (sym == name) s.marker = shape;
  s.markerSize = static_cast<uint8_t>(KidInt(*marker, "size", s.markerSize, 2, 72));
  if (const Node* sp = marker->Kid("spPr")) {
    model::ChartFill f;
    if (FillColor(colors_, sp, f)) s.markerFill = f.visible ? f.color : Color::Rgb(0xFFFFFF);
    model::ChartLine l;
    LineOf(colors_, sp, l);
    if (!l.color.automatic) s.markerLine = l.color;
  }
}

void ChartReader::Series(const Node& ser, model::ChartGroup& g) {
  model::ChartSeries s;
  Data(ser.Kid("tx"), s.name, true);
  Data(ser.Kid("cat") ? ser.Kid("cat") : ser.Kid("xVal"), s.categories, false);
  Data(ser.Kid("val") ? ser.Kid("val") : ser.Kid("yVal"), s.values, false);
  // Values cached as texts (a series of a text range): what reads as a number counts.
  if (s.values.numbers.empty() && !s.values.texts.empty()) {
    for (const std::string& t : s.values.texts)
      s.values.numbers.push_back(ToNumber(t, model::kNoValue));
    s.values.texts.clear();
  }
  const Node* sp = ser.Kid("spPr");
  FillColor(colors_, sp, s.fill);
  LineOf(colors_, sp, s.line);
  Marker(ser.Kid("marker"), s);
  s.smooth = ser.KidBool("smooth", false);
  s.explosion = static_cast<uint16_t>(KidInt(ser, "explosion", 0, 0, kMaxExplosion));
  for (const Node* d : ser.kids) {
    if (d->name != "dPt" || s.points.size() >= kMaxSeriesPoints) continue;
    model::ChartPoint p;
    p.index = static_cast<uint32_t>(KidInt(*d, "idx", 0, 0, kMaxSeriesPoints));
    const Node* psp = d->Kid("spPr");
    if (!FillColor(colors_, psp, p.fill)) p.fill.color = Color::Auto();
    LineOf(colors_, psp, p.line);
    p.explosion = static_cast<uint16_t>(KidInt(*d, "explosion", 0, 0, kMaxExplosion));
    s.points.push_back(p);
  }
  Labels(ser.Kid("dLbls"), s.labels);
  for (const Node* t : ser.kids) {
    if (t->name != "trendline" || s.trendlines.size() >= 8) continue;
    model::Trendline trend;
    using model::TrendKind;
    const std::string_view type = t->KidVal("trendlineType");
    trend.kind = type == "exp"         ? TrendKind::Exponential
                 : type == "log"       ? TrendKind::Logarithmic
                 : type == "poly"      ? TrendKind::Polynomial
                 : type == "power"     ? TrendKind::Power
                 : type == "movingAvg" ? TrendKind::MovingAverage
                                       : TrendKind::Linear;
    trend.order = static_cast<uint8_t>(KidInt(*t, "order", 2, 2, 6));
    trend.period = static_cast<uint16_t>(KidInt(*t, "period", 2, 2, 255));
    auto number = [&](std::string_view kid) {
      const Node* k = t->Kid(kid);
      const double d = k ? ToNumber(k->Val(), NAN) : NAN;
      return std::isfinite(d) ? std::optional<double>(d) : std::nullopt;
    };
    trend.forward = std::clamp(number("forward").value_or(0), 0.0, 1e6);
    trend.backward = std::clamp(number("backward").value_or(0), 0.0, 1e6);
    trend.intercept = number("intercept");
    // Drawn dotted in the series' colour unless the line says otherwise.
    trend.line.dash = 2;
    LineOf(colors_, t->Kid("spPr"), trend.line);
    s.trendlines.push_back(trend);
  }
  g.series.push_back(std::move(s));
}

void ChartReader::Axis(const Node& ax, model::ChartAxis& axis, const model::Chart& chart) {
  axis.visible = !ax.KidBool("delete", false) && ax.KidVal("tickLblPos") != "none";
  if (const Node* nf = ax.Kid("numFmt")) {
    const char* linked = nf->Attr("sourceLinked");
    const char* code = nf->Attr("formatCode");
    if (code && !(linked && (linked[0] == '1' || linked[0] == 't')) &&
        std::string_view(code) != "General")
      axis.numberFormat = code;
  }
  if (const Node* sc = ax.Kid("scaling")) {
    auto value = [&](std::string_view n) -> std::optional<double> {
      const Node* k = sc->Kid(n);
      if (!k) return std::nullopt;
      const double d = ToNumber(k->Val(), NAN);
      return std::isfinite(d) ? std::optional<double>(d) : std::nullopt;
    };
    axis.min = value("min");
    axis.max = value("max");
    axis.reversed = sc->KidVal("orientation") == "maxMin";
    if (auto base = value("logBase"); base && *base >= 2 && *base <= 1000) {
      axis.logScale = true;
      if (!axis.majorUnit) axis.majorUnit = *base;
    }
  }
  if (const Node* mu = ax.Kid("majorUnit")) {
    const double d = ToNumber(mu->Val(), NAN);
    if (d > 0 && std::isfinite(d)) axis.majorUnit = axis.logScale ? std::max(d, 2.0) : d;
  }
  if (const Node* grid = ax.Kid("majorGridlines")) {
    axis.majorGridlines = true;
    LineOf(colors_, grid->Kid("spPr"), axis.gridLine);
  }
  axis.minorGridlines = ax.Kid("minorGridlines") != nullptr;
  LineOf(colors_, ax.Kid("spPr"), axis.line);
  axis.font = chart.font;
  axis.hasFont = chart.hasFont;
  FontOf(colors_, ax.Kid("txPr"), axis.font, axis.hasFont);
  if (const Node* body = ax.Path({"txPr", "bodyPr"})) {
    if (const char* rot = body->Attr("rot"))
      axis.labelRotation = static_cast<int16_t>(std::clamp(ToNumber(rot, 0) / 60000, -90.0, 90.0));
  }
  axis.labelSkip = static_cast<uint32_t>(KidInt(ax, "tickLblSkip", 0, 0, 1000000));
  axis.crossesAtMax = ax.KidVal("crosses") == "max";
  model::Font titleFont = chart.font;
  titleFont.weight = 700;  // axis titles are bold unless they say otherwise
  Title(ax.Kid("title"), axis.title, titleFont, chart.hasFont);
}

bool ChartReader::Read(const Node& root, model::Chart& chart) {
  const Node* c = root.name == "chartSpace" ? root.Kid("chart") : nullptr;
  if (!c) return false;
  chart.palette.assign(scheme_.begin() + 4, scheme_.begin() + 10);
  FontOf(colors_, root.Kid("txPr"), chart.font, chart.hasFont);
  if (const Node* sp = root.Kid("spPr")) {
    FillColor(colors_, sp, chart.chartFill);
    LineOf(colors_, sp, chart.chartBorder);
  }
  const Node* title = c->Kid("title");
  const bool autoDeleted = c->KidBool("autoTitleDeleted", false);
  if (title) {
    // Titles are drawn larger than the chart's other texts unless they say otherwise.
    model::Font titleFont = chart.font;
    titleFont.height = static_cast<uint16_t>(std::min(titleFont.height * 9 / 5, 8000));
    titleFont.weight = 700;
    Title(title, chart.title, titleFont, chart.hasFont);
    if (chart.title.text.empty()) chart.autoTitle = true;
  } else {
    chart.autoTitle = !autoDeleted;
  }
  // Which cells count: only the visible ones, and empty ones as gaps, unless the part says else.
  chart.visibleCellsOnly = c->KidBool("plotVisOnly", true);
  const std::string_view blanks = c->KidVal("dispBlanksAs");
  chart.emptyPoints = blanks == "span"   ? model::EmptyPoints::Span
                      : blanks == "zero" ? model::EmptyPoints::Zero
                                         : model::EmptyPoints::Gap;
  if (const Node* legend = c->Kid("legend")) {
    const std::string_view pos = legend->KidVal("legendPos");
    chart.legend = pos == "l"    ? model::LegendPosition::Left
                   : pos == "t"  ? model::LegendPosition::Top
                   : pos == "b"  ? model::LegendPosition::Bottom
                   : pos == "tr" ? model::LegendPosition::Corner
                                 : model::LegendPosition::Right;
    chart.legendFont = chart.font;
    chart.hasLegendFont = chart.hasFont;
    FontOf(colors_, legend->Kid("txPr"), chart.legendFont, chart.hasLegendFont);
  } else {
    chart.legend = model::LegendPosition::None;
  }
  if (const Node* plot = c->Kid("plotArea")) Plot(*plot, chart);
  return true;
}

void ChartReader::Plot(const Node& plot, model::Chart& chart) {
  if (const Node* sp = plot.Kid("spPr")) {
    FillColor(colors_, sp, chart.plotFill);
    LineOf(colors_, sp, chart.plotBorder);
  }
  // Axes by id.
  AxisIds axes;
  for (const Node* k : plot.kids) {
    if (k->name == "catAx" || k->name == "valAx" || k->name == "dateAx" || k->name == "serAx") {
      if (const char* id = k->Kid("axId") ? k->Kid("axId")->Attr("val") : nullptr)
        axes.emplace_back(id, k);
    }
  }
  std::string_view primaryValueAxis;
  size_t seriesCount = 0;
  for (const Node* k : plot.kids) {
    const GroupKind* kind = nullptr;
    for (const GroupKind& gk : kGroupKinds)
      if (k->name == gk.element) kind = &gk;
    if (!kind) {
      if (k->name.size() > 5 && k->name.substr(k->name.size() - 5) == "Chart" &&
          chart.groups.empty()) {
        chart.drawnAs = std::string(k->name.substr(0, k->name.size() - 5));
      }
      continue;
    }
    model::ChartGroup g = Group(*k, *kind, chart, seriesCount);
    seriesCount += g.series.size();
    GroupAxes(*k, axes, g, chart, primaryValueAxis);
    if (chart.groups.size() < 16) chart.groups.push_back(std::move(g));
  }
  if (chart.groups.empty() && chart.drawnAs.empty()) chart.drawnAs = "empty";
  if (chart.groups.empty()) {
    model::ChartGroup none;
    none.kind = ChartKind::None;
    chart.groups.push_back(none);
  }
}

// One group of series drawn alike (<barChart>, <lineChart>, ...) with its series in their order;
// `seriesCount` series of the chart came before.
model::ChartGroup ChartReader::Group(const Node& k, const GroupKind& kind, model::Chart& chart,
                                     size_t seriesCount) {
  model::ChartGroup g;
  g.kind = kind.kind;
  if (*kind.drawnAs && chart.drawnAs.empty()) chart.drawnAs = kind.drawnAs;
  if (k.KidVal("barDir") == "bar") {
    g.kind = ChartKind::Bar;
    if (kind.element == "bar3DChart" && chart.drawnAs == "3-D column") chart.drawnAs = "3-D bar";
  }
  const std::string_view grouping = k.KidVal("grouping");
  g.grouping = grouping == "stacked"          ? ChartGrouping::Stacked
               : grouping == "percentStacked" ? ChartGrouping::PercentStacked
                                              : ChartGrouping::Clustered;
  g.varyColors = k.KidBool("varyColors", false);
  g.gapWidth = static_cast<int16_t>(KidInt(k, "gapWidth", 150, 0, 500));
  g.overlap = static_cast<int16_t>(
      KidInt(k, "overlap", g.grouping == ChartGrouping::Clustered ? 0 : 100, -100, 100));
  g.holeSize = static_cast<uint16_t>(KidInt(k, "holeSize", 50, 10, 90));
  g.firstSliceAngle = static_cast<uint16_t>(KidInt(k, "firstSliceAng", 0, 0, 360));
  if (g.kind == ChartKind::Line) g.markers = k.KidBool("marker", true);
  if (kind.element == "stockChart") g.markers = true;
  g.hiLowLines = k.Kid("hiLowLines") != nullptr;
  if (g.kind == ChartKind::Scatter) {
    const std::string_view style = k.KidVal("scatterStyle");
    g.lines = kind.element != "bubbleChart" && style != "marker";
    g.markers = style != "line" && style != "smooth";
  }
  if (g.kind == ChartKind::Radar) {
    const std::string_view style = k.KidVal("radarStyle");
    g.filled = style == "filled";
    g.markers = style == "marker";
  }
  if (g.kind == ChartKind::Pie || g.kind == ChartKind::Doughnut) g.varyColors = true;
  Labels(k.Kid("dLbls"), g.labels);
  std::vector<std::pair<int64_t, const Node*>> ordered;
  for (const Node* ser : k.kids) {
    if (ser->name != "ser" || seriesCount + ordered.size() >= kMaxSeries) continue;
    ordered.emplace_back(KidInt(*ser, "order", static_cast<int64_t>(ordered.size()), 0, 1 << 20),
                         ser);
  }
  std::stable_sort(ordered.begin(), ordered.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  for (const auto& [order, ser] : ordered) Series(*ser, g);
  return g;
}

// The group's axes: a category (or x) axis and a value axis. The first group's are the chart's;
// a later group on another value axis is drawn against the secondary one.
void ChartReader::GroupAxes(const Node& k, const AxisIds& axes, model::ChartGroup& g,
                            model::Chart& chart, std::string_view& primaryValueAxis) {
  auto axisOf = [&](std::string_view id) -> const Node* {
    for (const auto& [aid, node] : axes)
      if (aid == id) return node;
    return nullptr;
  };
  const Node* catAx = nullptr;
  const Node* valAx = nullptr;
  for (const Node* id : k.kids) {
    if (id->name != "axId") continue;
    const Node* ax = axisOf(id->Val());
    if (!ax) continue;
    if (ax->name == "valAx" && !(g.kind == ChartKind::Scatter && !catAx))
      valAx = valAx ? valAx : ax;
    else if (ax->name != "serAx")
      catAx = catAx ? catAx : ax;
  }
  const std::string_view valId = valAx ? std::string_view(valAx->Kid("axId")->Val()) : "";
  if (chart.groups.empty()) {
    primaryValueAxis = valId;
    if (catAx) Axis(*catAx, chart.categoryAxis, chart);
    if (valAx) Axis(*valAx, chart.valueAxis, chart);
    if (valAx) chart.categoryAxis.betweenTicks = valAx->KidVal("crossBetween") != "midCat";
  } else if (valAx && valId != primaryValueAxis) {
    g.secondaryAxis = true;
    Axis(*valAx, chart.secondaryValueAxis, chart);
  }
}

}  // namespace

bool ReadChartPart(std::span<const uint8_t> bytes, const std::string& part,
                   const ThemeColors& scheme, uint64_t& pointBudget, model::Chart& chart) {
  TreeBuilder tree;
  ParseXml(bytes, tree, part);
  if (!tree.root) return false;
  return ChartReader(scheme, pointBudget).Read(*tree.root, chart);
}

}  // namespace quillane::ooxml
