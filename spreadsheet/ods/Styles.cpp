// The styles of an OpenDocument spreadsheet: cell, column, row and text styles with their parents
// and the families' defaults, flattened into the model's fonts and cell styles.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

#include "spreadsheet/ods/DataStyle.h"
#include "spreadsheet/ods/DocumentReader.h"

namespace quillane::ods::parts {

namespace {

constexpr int kMaxStyleDepth = 32;

std::optional<Color> ParseColor(std::string_view s) {
  if (s.size() != 7 || s[0] != '#') return std::nullopt;
  uint32_t rgb = 0;
  if (std::from_chars(s.data() + 1, s.data() + 7, rgb, 16).ec != std::errc()) return std::nullopt;
  return Color::Rgb(rgb);
}

}  // namespace

void DocumentReader::KeepStyle(xml::Node node) {
  const std::string_view kind = node.name;
  if (kind.starts_with("number:") && kind.ends_with("-style")) {
    dataStyles_[std::string(node.Get("style:name"))] = std::move(node);
    return;
  }
  StyleDef def;
  def.parent = std::string(node.Get("style:parent-style-name"));
  def.dataStyle = std::string(node.Get("style:data-style-name"));
  for (const xml::Node& child : node.children) {
    if (!child.name.ends_with("-properties")) continue;
    for (const auto& [name, value] : child.attributes) def.properties[name] = value;
  }
  const std::string family(node.Get("style:family"));
  if (kind == "style:default-style") {
    defaults_[family] = std::move(def);
  } else {
    styles_[family + '\x1f' + std::string(node.Get("style:name"))] = std::move(def);
  }
}

Properties DocumentReader::Resolve(std::string_view family, std::string_view name,
                                   std::string* dataStyle, bool withDefault) const {
  std::vector<const StyleDef*> chain;
  for (const StyleDef* s = FindStyle(family, name); s && chain.size() < kMaxStyleDepth;
       s = FindStyle(family, s->parent)) {
    if (std::find(chain.begin(), chain.end(), s) != chain.end()) break;
    chain.push_back(s);
  }
  Properties merged;
  auto d = withDefault ? defaults_.find(std::string(family)) : defaults_.end();
  if (d != defaults_.end()) merged = d->second.properties;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    for (const auto& [k, v] : (*it)->properties) merged[k] = v;
  }
  if (dataStyle) {
    dataStyle->clear();
    for (const StyleDef* s : chain) {
      if (!s->dataStyle.empty()) {
        *dataStyle = s->dataStyle;
        break;
      }
    }
  }
  return merged;
}

uint16_t DocumentReader::FontIndex(const Properties& p) {
  Font font;
  if (!book_.fonts.empty()) font = book_.fonts[0];
  std::string_view face = Get(p, "style:font-name");
  if (!face.empty()) {
    auto it = fontFaces_.find(std::string(face));
    if (it != fontFaces_.end()) {
      font.name = it->second.first.empty() ? std::string(face) : it->second.first;
      const std::string& generic = it->second.second;
      font.family = generic == "roman"        ? 1
                    : generic == "swiss"      ? 2
                    : generic == "modern"     ? 3
                    : generic == "script"     ? 4
                    : generic == "decorative" ? 5
                                              : 0;
    } else {
      font.name = std::string(face);
    }
  } else if (std::string_view family = Trim(Get(p, "fo:font-family")); !family.empty()) {
    font.name = std::string(family);
  }
  if (auto size = Points(Get(p, "fo:font-size"))) {
    font.height = static_cast<uint16_t>(std::clamp(std::lround(*size * 20), 20L, 8191L));
  }
  const std::string_view weight = Get(p, "fo:font-weight");
  if (weight == "bold")
    font.weight = 700;
  else if (weight == "normal")
    font.weight = 400;
  else if (!weight.empty() && std::isdigit(static_cast<unsigned char>(weight[0]))) {
    font.weight =
        static_cast<uint16_t>(std::clamp(std::atoi(std::string(weight).c_str()), 100, 900));
  }
  const std::string_view style = Get(p, "fo:font-style");
  if (!style.empty()) font.italic = style == "italic" || style == "oblique";
  const std::string_view underline = Get(p, "style:text-underline-style");
  if (!underline.empty()) {
    font.underline = underline == "none"                               ? model::Underline::None
                     : Get(p, "style:text-underline-type") == "double" ? model::Underline::Double
                                                                       : model::Underline::Single;
  }
  const std::string_view strike = Get(p, "style:text-line-through-style");
  if (!strike.empty()) font.strike = strike != "none";
  const std::string_view position = Get(p, "style:text-position");
  if (!position.empty()) {
    font.script = position.starts_with("super") ? model::Script::Super
                  : position.starts_with("sub") ? model::Script::Sub
                  : position.starts_with("-")   ? model::Script::Sub
                  : position.starts_with("0")   ? model::Script::None
                                                : model::Script::Super;
  }
  if (Get(p, "style:text-outline") == "true") font.outline = true;
  const std::string_view shadow = Get(p, "fo:text-shadow");
  if (!shadow.empty()) font.shadow = shadow != "none";
  if (Get(p, "style:use-window-font-color") == "true") {
    font.color = Color::Auto();
  } else if (auto color = ParseColor(Get(p, "fo:color"))) {
    font.color = *color;
  }
  for (size_t i = 0; i < book_.fonts.size(); ++i) {
    const Font& f = book_.fonts[i];
    if (f.name == font.name && f.height == font.height && f.weight == font.weight &&
        f.italic == font.italic && f.strike == font.strike && f.underline == font.underline &&
        f.script == font.script && f.color == font.color && f.outline == font.outline &&
        f.shadow == font.shadow && f.family == font.family) {
      return static_cast<uint16_t>(i);
    }
  }
  if (book_.fonts.size() >= 0xFFFF) return 0;
  book_.fonts.push_back(std::move(font));
  return static_cast<uint16_t>(book_.fonts.size() - 1);
}

model::Border DocumentReader::ParseBorder(std::string_view value) {
  model::Border border;
  if (value.empty() || value == "none" || value == "hidden") return border;
  double width = 0.75;
  std::string_view kind = "solid";
  size_t pos = 0;
  while (pos < value.size()) {
    size_t end = value.find(' ', pos);
    if (end == std::string_view::npos) end = value.size();
    const std::string_view word = value.substr(pos, end - pos);
    if (auto w = Points(word))
      width = *w;
    else if (auto c = ParseColor(word))
      border.color = *c;
    else if (!word.empty() && std::isalpha(static_cast<unsigned char>(word[0])))
      kind = word;
    pos = end + 1;
  }
  const bool medium = width >= 1.5, thick = width >= 2.5;
  if (kind == "none" || kind == "hidden") return model::Border{};
  if (kind == "double" || kind == "double-thin")
    border.style = 6;
  else if (kind == "dotted")
    border.style = 4;
  else if (kind == "dashed" || kind == "fine-dashed" || kind == "dash")
    border.style = medium ? 8 : 3;
  else if (kind == "dash-dot")
    border.style = medium ? 10 : 9;
  else if (kind == "dash-dot-dot")
    border.style = medium ? 12 : 11;
  else
    border.style = thick ? 5 : medium ? 2 : 1;
  return border;
}

CellStyle DocumentReader::MakeCellStyle(const Properties& p, const std::string& dataStyle) {
  CellStyle style;
  style.font = FontIndex(p);
  if (!dataStyle.empty()) style.numberFormat = NumberFormat(dataStyle);
  if (auto background = ParseColor(Get(p, "fo:background-color"))) {
    style.pattern = 1;
    style.patternColor = *background;
  }
  const std::string_view all = Get(p, "fo:border");
  model::Border* sides[4] = {&style.left, &style.right, &style.top, &style.bottom};
  const char* names[4] = {"fo:border-left", "fo:border-right", "fo:border-top", "fo:border-bottom"};
  for (int i = 0; i < 4; ++i) {
    const std::string_view side = Get(p, names[i]);
    *sides[i] = ParseBorder(side.empty() ? all : side);
  }
  const std::string_view align = Get(p, "fo:text-align");
  if (Get(p, "style:text-align-source") != "value-type") {
    if (align == "start" || align == "left")
      style.hAlign = model::HAlign::Left;
    else if (align == "end" || align == "right")
      style.hAlign = model::HAlign::Right;
    else if (align == "center")
      style.hAlign = model::HAlign::Center;
    else if (align == "justify")
      style.hAlign = model::HAlign::Justify;
  }
  if (Get(p, "style:repeat-content") == "true") style.hAlign = model::HAlign::Fill;
  const std::string_view valign = Get(p, "style:vertical-align");
  if (valign == "top")
    style.vAlign = model::VAlign::Top;
  else if (valign == "middle")
    style.vAlign = model::VAlign::Center;
  style.wrap = Get(p, "fo:wrap-option") == "wrap";
  style.shrink = Get(p, "style:shrink-to-fit") == "true";
  if (auto margin = Points(Get(p, "fo:margin-left")); margin && *margin > 0) {
    style.indent = static_cast<uint8_t>(std::clamp(std::lround(*margin / 10), 0L, 15L));
  }
  if (Get(p, "style:direction") == "ttb") {
    style.rotation = 255;
  } else {
    double angle = 0;
    const std::string_view r = Get(p, "style:rotation-angle");
    if (!r.empty() && ParseDouble(r, angle)) {
      long degrees = std::lround(std::fmod(std::fmod(angle, 360) + 360, 360));
      if (degrees > 0 && degrees <= 90)
        style.rotation = static_cast<uint8_t>(degrees);
      else if (degrees >= 270 && degrees < 360)
        style.rotation = static_cast<uint8_t>(90 + 360 - degrees);
    }
  }
  const std::string_view protect = Get(p, "style:cell-protect");
  if (!protect.empty()) {
    style.locked = protect.find("protected") != std::string_view::npos;
    style.hidden = protect.find("hidden") != std::string_view::npos;
  }
  return style;
}

std::string DocumentReader::NumberFormat(const std::string& dataStyle) {
  auto cached = formats_.find(dataStyle);
  if (cached != formats_.end()) return cached->second;
  auto it = dataStyles_.find(dataStyle);
  std::string code = "General";
  if (it != dataStyles_.end()) {
    code = DataStyleCode(
        it->second,
        [this](std::string_view name) -> const xml::Node* {
          auto found = dataStyles_.find(std::string(name));
          return found == dataStyles_.end() ? nullptr : &found->second;
        },
        book_.palette);
  }
  formats_[dataStyle] = code;
  return code;
}

uint16_t DocumentReader::CellStyleIndex(const std::string& name) {
  auto it = cellStyles_.find(name);
  if (it != cellStyles_.end()) return it->second;
  std::string dataStyle;
  const Properties p = Resolve("table-cell", name.empty() ? "Default" : name, &dataStyle);
  uint16_t index = 0;
  if (book_.styles.size() < 0xFFF0) {
    book_.styles.push_back(MakeCellStyle(p, dataStyle));
    index = static_cast<uint16_t>(book_.styles.size() - 1);
  }
  cellStyles_[name] = index;
  return index;
}

uint16_t DocumentReader::Derived(uint16_t style, const char* format, bool wrap) {
  auto key = std::make_pair(style, std::string(format ? format : "") + (wrap ? "\x01" : ""));
  auto it = derived_.find(key);
  if (it != derived_.end()) return it->second;
  uint16_t index = style;
  if (book_.styles.size() < 0xFFF0) {
    CellStyle copy = book_.Style(style);
    if (format) copy.numberFormat = format;
    if (wrap) copy.wrap = true;
    book_.styles.push_back(std::move(copy));
    index = static_cast<uint16_t>(book_.styles.size() - 1);
  }
  derived_[key] = index;
  return index;
}

void DocumentReader::EnsureDefaults() {
  if (!book_.styles.empty()) return;
  std::string dataStyle;
  const Properties p = Resolve("table-cell", "Default", &dataStyle);
  book_.fonts.clear();
  book_.fonts.push_back(Font{});
  book_.fonts[0].name = "Liberation Sans";
  book_.fonts[0].family = 2;
  book_.fonts[0] = book_.fonts[FontIndex(p)];
  book_.fonts.resize(1);
  cellStyles_.clear();
  CellStyleIndex("");
  cellStyles_["Default"] = 0;
}

}  // namespace quillane::ods::parts
