// The styles of a SpreadsheetML workbook: the theme's colour scheme, the fonts, fills, borders and
// number formats of the styles part, and the colours they name.
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <map>

#include "spreadsheet/format/NumberFormat.h"
#include "spreadsheet/ooxml/ReaderParts.h"
#include "spreadsheet/ooxml/StyleNames.h"

namespace quillane::ooxml::parts {

namespace {

class ThemeHandler : public xml::Handler {
 public:
  explicit ThemeHandler(Scheme& scheme) : scheme_(scheme) {}
  void Start(std::string_view name, const Attrs& a) override {
    static constexpr std::array<std::string_view, 12> kSlots = {
        "dk1",     "lt1",     "dk2",     "lt2",     "accent1", "accent2",
        "accent3", "accent4", "accent5", "accent6", "hlink",   "folHlink"};
    if (name == "clrScheme") {
      inScheme_ = !done_;
      return;
    }
    if (!inScheme_) return;
    for (size_t i = 0; i < kSlots.size(); ++i) {
      if (name == kSlots[i]) {
        slot_ = static_cast<int>(i);
        return;
      }
    }
    if (slot_ < 0) return;
    std::string_view v = name == "srgbClr"  ? a.View("val")
                         : name == "sysClr" ? a.View("lastClr")
                                            : "";
    uint32_t x = 0;
    if (!v.empty() && std::from_chars(v.data(), v.data() + v.size(), x, 16).ec == std::errc()) {
      scheme_[static_cast<size_t>(slot_)] = x & 0xFFFFFF;
      slot_ = -1;
    }
  }
  void End(std::string_view name) override {
    if (name == "clrScheme" && inScheme_) inScheme_ = false, done_ = true;
  }

 private:
  Scheme& scheme_;
  bool inScheme_ = false, done_ = false;
  int slot_ = -1;
};

struct RawFill {
  uint8_t pattern = 0;
  ColorSpec fg, bg;
  bool gradient = false;
  std::vector<ColorSpec> stops;
};

struct RawBorder {
  std::array<uint8_t, 4> style{};  // left, right, top, bottom
  std::array<ColorSpec, 4> color{};
};

struct RawXf {
  uint32_t numFmt = 0, font = 0, fill = 0, border = 0;
  model::CellStyle style;
};

class StylesHandler : public xml::Handler {
 public:
  std::map<uint32_t, std::string> numFmts;
  std::vector<RawFont> fonts;
  std::vector<RawFill> fills;
  std::vector<RawBorder> borders;
  std::vector<RawXf> xfs;
  std::vector<uint32_t> indexed;  // a custom palette

  void Start(std::string_view name, const Attrs& a) override {
    if (name == "numFmts" || name == "fonts" || name == "fills" || name == "borders" ||
        name == "cellXfs" || name == "cellStyleXfs" || name == "indexedColors" || name == "dxfs" ||
        name == "cellStyles" || name == "mruColors" || name == "extLst" || name == "tableStyles") {
      if (section_.empty()) section_ = name;
      return;
    }
    if (section_ == "numFmts" && name == "numFmt") {
      numFmts[static_cast<uint32_t>(std::clamp<int64_t>(a.Int("numFmtId", 0), 0, 0xFFFFFFF))] =
          a.View("formatCode");
    } else if (section_ == "fonts") {
      if (name == "font") {
        fonts.push_back(DefaultRawFont());
        fonts.back().font.height = 220;
      } else if (!fonts.empty()) {
        ApplyFontElement(name, a, fonts.back());
      }
    } else if (section_ == "fills") {
      if (name == "fill") {
        fills.emplace_back();
      } else if (fills.empty()) {
      } else if (name == "patternFill") {
        fills.back().pattern = a.Has("patternType") ? PatternNumber(a.View("patternType"), 0) : 0;
        inPattern_ = true;
      } else if (name == "fgColor" && inPattern_) {
        fills.back().fg = ColorSpec::From(a);
      } else if (name == "bgColor" && inPattern_) {
        fills.back().bg = ColorSpec::From(a);
      } else if (name == "gradientFill") {
        fills.back().gradient = true;
      } else if (name == "color" && fills.back().gradient && fills.back().stops.size() < 64) {
        fills.back().stops.push_back(ColorSpec::From(a));
      }
    } else if (section_ == "borders") {
      if (name == "border") {
        borders.emplace_back();
        edge_ = -1;
      } else if (borders.empty()) {
      } else if (name == "color") {
        if (edge_ >= 0) borders.back().color[static_cast<size_t>(edge_)] = ColorSpec::From(a);
      } else {
        edge_ = name == "left" || name == "start"  ? 0
                : name == "right" || name == "end" ? 1
                : name == "top"                    ? 2
                : name == "bottom"                 ? 3
                                                   : -1;
        if (edge_ >= 0)
          borders.back().style[static_cast<size_t>(edge_)] = BorderNumber(a.View("style"));
      }
    } else if (section_ == "cellXfs") {
      if (name == "xf") {
        RawXf& xf = xfs.emplace_back();
        auto index = [&](std::string_view attr) {
          return static_cast<uint32_t>(std::clamp<int64_t>(a.Int(attr, 0), 0, 0xFFFFFFF));
        };
        xf.numFmt = index("numFmtId");
        xf.font = index("fontId");
        xf.fill = index("fillId");
        xf.border = index("borderId");
        xf.style.parent = static_cast<uint16_t>(std::min<uint32_t>(index("xfId"), 0xFFF));
      } else if (xfs.empty()) {
      } else if (name == "alignment") {
        model::CellStyle& s = xfs.back().style;
        const std::string_view h = a.View("horizontal");
        s.hAlign = h == "left"               ? model::HAlign::Left
                   : h == "center"           ? model::HAlign::Center
                   : h == "right"            ? model::HAlign::Right
                   : h == "fill"             ? model::HAlign::Fill
                   : h == "justify"          ? model::HAlign::Justify
                   : h == "centerContinuous" ? model::HAlign::CenterAcross
                   : h == "distributed"      ? model::HAlign::Distributed
                                             : model::HAlign::General;
        const std::string_view v = a.View("vertical");
        s.vAlign = v == "top"           ? model::VAlign::Top
                   : v == "center"      ? model::VAlign::Center
                   : v == "justify"     ? model::VAlign::Justify
                   : v == "distributed" ? model::VAlign::Distributed
                                        : model::VAlign::Bottom;
        s.wrap = a.Bool("wrapText", false);
        s.shrink = a.Bool("shrinkToFit", false);
        s.indent = static_cast<uint8_t>(std::clamp<int64_t>(a.Int("indent", 0), 0, 250));
        const int64_t rot = a.Int("textRotation", 0);
        s.rotation = static_cast<uint8_t>(rot == 255 ? 255 : std::clamp<int64_t>(rot, 0, 180));
      } else if (name == "protection") {
        xfs.back().style.locked = a.Bool("locked", true);
        xfs.back().style.hidden = a.Bool("hidden", false);
      }
    } else if (section_ == "indexedColors" && name == "rgbColor" && indexed.size() < 64) {
      ColorSpec c = ColorSpec::From(a);
      indexed.push_back(c.kind == ColorSpec::Rgb ? c.value : 0);
    }
  }

  void End(std::string_view name) override {
    if (name == section_) section_.clear();
    if (name == "patternFill") inPattern_ = false;
  }

 private:
  std::string section_;
  bool inPattern_ = false;
  int edge_ = -1;
};

}  // namespace

// Applies one child element of <font> or <rPr>. Returns false for elements of neither.
bool ApplyFontElement(std::string_view name, const Attrs& a, RawFont& f) {
  if (name == "b") {
    f.font.weight = a.Bool("val", true) ? 700 : 400;
  } else if (name == "i") {
    f.font.italic = a.Bool("val", true);
  } else if (name == "strike") {
    f.font.strike = a.Bool("val", true);
  } else if (name == "outline") {
    f.font.outline = a.Bool("val", true);
  } else if (name == "shadow") {
    f.font.shadow = a.Bool("val", true);
  } else if (name == "u") {
    f.font.underline = UnderlineOf(a.Has("val") ? a.View("val") : "single");
  } else if (name == "vertAlign") {
    const std::string_view v = a.View("val");
    f.font.script = v == "superscript" ? model::Script::Super
                    : v == "subscript" ? model::Script::Sub
                                       : model::Script::None;
  } else if (name == "sz") {
    const double pt = a.Number("val", 11);
    f.font.height = static_cast<uint16_t>(std::clamp(std::lround(pt * 20), 20L, 8180L));
  } else if (name == "color") {
    f.color = ColorSpec::From(a);
  } else if (name == "name" || name == "rFont") {
    f.font.name = a.View("val");
  } else if (name == "family") {
    f.font.family = static_cast<uint8_t>(std::clamp<int64_t>(a.Int("val", 0), 0, 255));
  } else if (name == "charset") {
    f.font.charset = static_cast<uint8_t>(std::clamp<int64_t>(a.Int("val", 0), 0, 255));
  } else {
    return false;
  }
  return true;
}

RawFont DefaultRawFont() {
  RawFont f;
  f.font.name = "Calibri";
  f.font.height = 220;
  return f;
}

void Reader::ReadTheme(const Relationships& rels) {
  if (const Relationship* theme = FirstOfType(rels, "theme")) {
    const auto bytes = Named(theme->target, "theme");
    ThemeHandler handler(scheme_);
    ParseXml(*bytes, handler, theme->target);
  }
}

Color Reader::Resolve(const ColorSpec& c) const {
  uint32_t rgb = 0;
  switch (c.kind) {
    case ColorSpec::None:
    case ColorSpec::Auto:
      return Color::Auto();
    case ColorSpec::Rgb:
      rgb = c.value;
      break;
    case ColorSpec::Indexed:
      if (c.value < indexed_.size() && c.value < 64) {
        rgb = indexed_[c.value];
      } else {
        const Color color = book_.IndexedColor(static_cast<uint16_t>(c.value));
        if (color.automatic) return color;
        rgb = color.rgb;
      }
      break;
    case ColorSpec::Theme: {
      // Themes number the light and dark colours the other way round.
      const uint32_t i = c.value < 4 ? c.value ^ 1 : c.value;
      rgb = scheme_[std::min<size_t>(i, scheme_.size() - 1)];
      break;
    }
  }
  return Color::Rgb(model::ApplyTint(rgb, c.tint));
}

ColorOf Reader::ColorOfAttrs() const {
  return [this](const Attrs& a) { return Resolve(ColorSpec::From(a)); };
}

uint16_t Reader::AddFont(RawFont& f) {
  f.font.color = Resolve(f.color);
  if (book_.fonts.size() >= 0xFFFF) return 0;
  book_.fonts.push_back(f.font);
  return static_cast<uint16_t>(book_.fonts.size() - 1);
}

void Reader::ReadStyles(const Relationships& rels) {
  StylesHandler st;
  if (const Relationship* styles = FirstOfType(rels, "styles")) {
    const auto bytes = Named(styles->target, "styles");
    ParseXml(*bytes, st, styles->target);
    indexed_ = st.indexed;
    const std::string_view text(reinterpret_cast<const char*>(bytes->data()), bytes->size());
    if (text.find("dxf>") != std::string_view::npos)
      dxfs_ = ReadDifferentialFormats(*bytes, styles->target, ColorOfAttrs());
  }
  indexed_ = st.indexed;
  for (size_t i = 8; i < indexed_.size() && i < 64; ++i) book_.palette[i - 8] = indexed_[i];
  if (st.fonts.empty()) st.fonts.push_back(DefaultRawFont());
  for (RawFont& f : st.fonts) AddFont(f);
  if (st.xfs.empty()) st.xfs.emplace_back();
  for (RawXf& xf : st.xfs) {
    model::CellStyle s = xf.style;
    s.font = static_cast<uint16_t>(xf.font < st.fonts.size() ? xf.font : 0);
    auto custom = st.numFmts.find(xf.numFmt);
    if (custom != st.numFmts.end()) {
      s.numberFormat = custom->second;
    } else {
      const std::string_view builtin =
          xf.numFmt < 0x10000 ? format::BuiltinFormat(static_cast<uint16_t>(xf.numFmt)) : "";
      s.numberFormat = builtin.empty() ? "General" : std::string(builtin);
    }
    if (xf.fill < st.fills.size()) {
      const RawFill& fill = st.fills[xf.fill];
      if (fill.gradient && !fill.stops.empty()) {
        // A page has no gradients: the blend of the stops stands for it.
        uint32_t r = 0, g = 0, b = 0;
        for (const ColorSpec& stop : fill.stops) {
          const uint32_t rgb = Resolve(stop).Or(0xFFFFFF);
          r += rgb >> 16, g += (rgb >> 8) & 0xFF, b += rgb & 0xFF;
        }
        const uint32_t n = static_cast<uint32_t>(fill.stops.size());
        s.pattern = 1;
        s.patternColor = Color::Rgb(((r / n) << 16) | ((g / n) << 8) | (b / n));
      } else {
        s.pattern = fill.pattern;
        s.patternColor = Resolve(fill.fg);
        s.patternBackground = Resolve(fill.bg);
      }
    }
    if (xf.border < st.borders.size()) {
      const RawBorder& border = st.borders[xf.border];
      model::Border* edges[4] = {&s.left, &s.right, &s.top, &s.bottom};
      for (size_t i = 0; i < 4; ++i) {
        edges[i]->style = border.style[i];
        edges[i]->color = Resolve(border.color[i]);
      }
    }
    book_.styles.push_back(std::move(s));
    if (book_.styles.size() >= 0xFFFF) break;
  }
}

}  // namespace quillane::ooxml::parts
