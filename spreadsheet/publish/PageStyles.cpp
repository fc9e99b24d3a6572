#include "spreadsheet/publish/PageStyles.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace quillane::publish {

using model::CellStyle;
using model::Font;
using model::HAlign;
using model::VAlign;

namespace {

// The fraction of a fill pattern's area drawn in the pattern colour.
double PatternDensity(uint8_t pattern) {
  static constexpr double kDensity[19] = {0,    1,    0.5,  0.75,  0.25,  0.5,  0.5,
                                          0.5,  0.5,  0.5,  0.75,  0.25,  0.25, 0.25,
                                          0.25, 0.44, 0.44, 0.125, 0.0625};
  return pattern < 19 ? kDensity[pattern] : 0.5;
}

uint32_t Mix(uint32_t fg, uint32_t bg, double share) {
  uint32_t out = 0;
  for (int shift = 16; shift >= 0; shift -= 8) {
    double a = (fg >> shift) & 0xFF, b = (bg >> shift) & 0xFF;
    auto v = static_cast<uint32_t>(std::lround(a * share + b * (1 - share)));
    out |= std::min<uint32_t>(v, 255) << shift;
  }
  return out;
}

// CSS for a border line style of the file format.
const char* BorderCss(uint8_t style) {
  switch (style) {
    case 1:
      return "1px solid";
    case 2:
      return "2px solid";
    case 3:
      return "1px dashed";
    case 4:
      return "1px dotted";
    case 5:
      return "3px solid";
    case 6:
      return "3px double";
    case 7:
      return "1px dotted";
    case 8:
      return "2px dashed";
    case 9:
      return "1px dashed";
    case 10:
      return "2px dashed";
    case 11:
      return "1px dotted";
    case 12:
      return "2px dotted";
    case 13:
      return "2px dashed";
    default:
      return nullptr;
  }
}

void AppendFontName(std::string& out, std::string_view name) {
  out += '\'';
  for (char c : name) {
    const auto u = static_cast<uint8_t>(c);
    if (u < 0x20 || c == '\'' || c == '"' || c == '\\' || c == '<' || c == '>' || c == ';' ||
        c == '{' || c == '}') {
      continue;
    }
    out += c;
  }
  out += '\'';
}

const char* GenericFamily(uint8_t family) {
  switch (family) {
    case 1:
      return "serif";
    case 3:
      return "monospace";
    case 4:
      return "cursive";
    case 5:
      return "fantasy";
    default:
      return "sans-serif";
  }
}

void AppendPoints(std::string& out, uint16_t twips) {
  AppendInt(out, twips / 20);
  if (twips % 20) {
    out += '.';
    AppendInt(out, (twips % 20) * 5 / 10);
    if ((twips % 20) * 5 % 10) AppendInt(out, (twips % 20) * 5 % 10);
  }
  out += "pt";
}

std::string DecorationOf(const Font& f) {
  std::string d;
  if (f.underline != model::Underline::None) d = "underline";
  if (f.strike) d += d.empty() ? "line-through" : " line-through";
  if (f.underline == model::Underline::Double ||
      f.underline == model::Underline::DoubleAccounting) {
    d += " double";
  }
  return d;
}

}  // namespace

void AppendInt(std::string& out, int64_t value) {
  char buf[24];
  auto result = std::to_chars(buf, buf + sizeof buf, value);
  out.append(buf, result.ptr);
}

void AppendColor(std::string& out, uint32_t rgb) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += '#';
  for (int shift = 20; shift >= 0; shift -= 4) out += kHex[(rgb >> shift) & 0xF];
}

uint32_t FontColor(const Font& font) { return font.color.Or(kBlack); }

bool HasVisibleFormat(const CellStyle& s) {
  return s.pattern != 0 || s.left.style != 0 || s.right.style != 0 || s.top.style != 0 ||
         s.bottom.style != 0;
}

// Font declarations: those that differ from `base`, or all of them when `base` is null.
void AppendFontCss(std::string& css, const Font& f, const Font* base,
                   std::optional<uint32_t> color) {
  if (!base || f.name != base->name || f.family != base->family) {
    css += "font-family:";
    AppendFontName(css, f.name);
    css += ',';
    css += GenericFamily(f.family);
    css += ';';
  }
  if (!base || f.height != base->height) {
    css += "font-size:";
    AppendPoints(css, f.height);
    css += ';';
  }
  if (!base || IsBold(f) != IsBold(*base))
    css += IsBold(f) ? "font-weight:bold;" : "font-weight:normal;";
  if (!base || f.italic != base->italic)
    css += f.italic ? "font-style:italic;" : "font-style:normal;";
  std::string deco = DecorationOf(f);
  if (!base || deco != DecorationOf(*base)) {
    css += "text-decoration:";
    css += deco.empty() ? "none" : deco;
    css += ';';
  }
  uint32_t rgb = color ? *color : FontColor(f);
  if (!base || rgb != FontColor(*base)) {
    css += "color:";
    AppendColor(css, rgb);
    css += ';';
  }
  if (f.shadow || f.outline) {
    css += f.outline ? "text-shadow:0 0 1px #808080;" : "text-shadow:1px 1px 1px #808080;";
  }
}

HAlign EffectiveAlign(const CellStyle& style, Kind kind) {
  switch (style.hAlign) {
    case HAlign::General:
      return kind == Kind::Number    ? HAlign::Right
             : kind == Kind::Centred ? HAlign::Center
                                     : HAlign::Left;
    case HAlign::Fill:
      return HAlign::Left;
    case HAlign::CenterAcross:
    case HAlign::Distributed:
      return HAlign::Center;
    default:
      return style.hAlign;
  }
}

std::string PageStyles::CellCss(const CellStyle& style, Kind kind, int colorIndex, bool overflow,
                                const Font* font) {
  std::string css;
  const Font& f = font ? *font : book_.FontOf(style.font);
  std::optional<uint32_t> color;
  if (colorIndex >= 0) color = book_.ColorRgb(static_cast<uint16_t>(colorIndex), FontColor(f));
  AppendFontCss(css, f, &baseFont_, color);
  if (style.pattern != 0) {
    uint32_t fg = style.patternColor.Or(kBlack);
    uint32_t bg = style.patternBackground.Or(kWhite);
    css += "background:";
    AppendColor(css, style.pattern == 1 ? fg : Mix(fg, bg, PatternDensity(style.pattern)));
    css += ';';
  }
  const model::Border* sides[4] = {&style.top, &style.right, &style.bottom, &style.left};
  static constexpr const char* kNames[4] = {
      "border-top:", "border-right:", "border-bottom:", "border-left:"};
  for (int i = 0; i < 4; ++i) {
    const char* line = BorderCss(sides[i]->style);
    if (!line) continue;
    css += kNames[i];
    css += line;
    css += ' ';
    AppendColor(css, sides[i]->color.Or(kBlack));
    css += ';';
  }
  switch (EffectiveAlign(style, kind)) {
    case HAlign::Right:
      css += "text-align:right;";
      break;
    case HAlign::Center:
      css += "text-align:center;";
      break;
    case HAlign::Justify:
      css += "text-align:justify;";
      break;
    default:
      break;
  }
  switch (style.vAlign) {
    case VAlign::Top:
    case VAlign::Justify:
      css += "vertical-align:top;";
      break;
    case VAlign::Center:
    case VAlign::Distributed:
      css += "vertical-align:middle;";
      break;
    default:
      break;
  }
  if (style.wrap || style.hAlign == HAlign::Justify || style.hAlign == HAlign::Distributed) {
    css += "white-space:normal;";
  }
  if (style.indent > 0) {
    const HAlign a = EffectiveAlign(style, kind);
    if (a == HAlign::Left || a == HAlign::Right) {
      css += a == HAlign::Left ? "padding-left:" : "padding-right:";
      AppendInt(css, 2 + static_cast<int64_t>(style.indent) * (mdw_ + 2));
      css += "px;";
    }
  }
  if (overflow) css += "overflow:visible;";
  if (!css.empty()) css.pop_back();  // the last ';'
  return css;
}

int PageStyles::CellClass(uint16_t xf, Kind kind, int colorIndex, bool overflow) {
  if (colorIndex >= 0 || overflow) {
    const uint64_t key = (static_cast<uint64_t>(overflow) << 40) |
                         (static_cast<uint64_t>(xf) << 20) | (static_cast<uint64_t>(kind) << 16) |
                         static_cast<uint16_t>(colorIndex);
    auto it = colorClassCache_.find(key);
    if (it != colorClassCache_.end()) return it->second;
    int id = classes_.Intern(CellCss(StyleOf(xf), kind, colorIndex, overflow));
    colorClassCache_.emplace(key, id);
    return id;
  }
  const size_t slot = static_cast<size_t>(xf) * 3 + static_cast<size_t>(kind);
  if (slot >= classCache_.size()) return classes_.Intern(CellCss(StyleOf(xf), kind, -1, false));
  int32_t& cached = classCache_[slot];
  if (cached == 0) cached = classes_.Intern(CellCss(StyleOf(xf), kind, -1, false)) + 2;
  return cached - 2;
}

int PageStyles::CondClass(uint16_t xf, Kind kind, int colorIndex, bool overflow,
                          const CondLook& look, int lookIndex) {
  const uint64_t key = (static_cast<uint64_t>(lookIndex) << 42) |
                       (static_cast<uint64_t>(overflow) << 40) | (static_cast<uint64_t>(xf) << 20) |
                       (static_cast<uint64_t>(kind) << 16) | static_cast<uint16_t>(colorIndex);
  auto it = condClassCache_.find(key);
  if (it != condClassCache_.end()) return it->second;
  CellStyle style = StyleOf(xf);
  Font font = book_.FontOf(style.font);
  const model::DiffStyle& d = look.style;
  if (d.fontColor) {
    font.color = *d.fontColor;
    colorIndex = -1;  // the rule's colour stands before the number format's
  }
  if (d.bold) font.weight = *d.bold ? 700 : 400;
  if (d.italic) font.italic = *d.italic;
  if (d.strike) font.strike = *d.strike;
  if (d.underline) font.underline = *d.underline;
  if (d.fill) {
    style.pattern = d.fill->pattern;
    style.patternColor = d.fill->color;
    style.patternBackground = d.fill->background;
  } else if (look.scaleFill) {
    style.pattern = 1;
    style.patternColor = model::Color::Rgb(*look.scaleFill);
  }
  if (d.left) style.left = *d.left;
  if (d.right) style.right = *d.right;
  if (d.top) style.top = *d.top;
  if (d.bottom) style.bottom = *d.bottom;
  std::string css = CellCss(style, kind, colorIndex, overflow, &font);
  if (look.barPercent >= 0) {
    // The bar: the cell's background from the left edge, as long as the value's share.
    if (!css.empty()) css += ';';
    css += "background-image:linear-gradient(90deg,";
    AppendColor(css, look.barColor);
    if (look.barGradient) {
      css += ',';
      AppendColor(css, Mix(look.barColor, kWhite, 0.25));
    }
    css += ' ';
    AppendInt(css, look.barPercent);
    css += "%,transparent ";
    AppendInt(css, look.barPercent);
    css += "%)";
    if (look.hideValue) css += ";color:transparent";
  }
  const int id = classes_.Intern(std::move(css));
  condClassCache_.emplace(key, id);
  return id;
}

int PageStyles::SpanClass(uint16_t font) {
  auto it = spanClasses_.find(font);
  if (it != spanClasses_.end()) return it->second;
  std::string css;
  const Font& f = book_.FontOf(font);
  AppendFontCss(css, f, nullptr, std::nullopt);
  if (f.script == model::Script::Super) css += "vertical-align:super;font-size:smaller;";
  if (f.script == model::Script::Sub) css += "vertical-align:sub;font-size:smaller;";
  css.pop_back();
  int id = classes_.Intern(std::move(css));
  spanClasses_.emplace(font, id);
  return id;
}

int PageStyles::RotationClass(uint8_t rotation) {
  auto it = rotationClasses_.find(rotation);
  if (it != rotationClasses_.end()) return it->second;
  std::string css = "display:inline-block;";
  if (rotation == 255) {
    css += "writing-mode:vertical-lr;text-orientation:upright";
  } else {
    // 1-90: turned counter-clockwise; 91-180: turned clockwise by (value - 90) degrees.
    const int degrees = rotation <= 90 ? -static_cast<int>(rotation) : rotation - 90;
    css += "transform:rotate(";
    AppendInt(css, degrees);
    css += "deg)";
  }
  int id = classes_.Intern(std::move(css));
  rotationClasses_.emplace(rotation, id);
  return id;
}

int PageStyles::FlexClass(bool right) {
  return classes_.Intern(right ? "display:flex;justify-content:flex-end"
                               : "display:flex;justify-content:center");
}

}  // namespace quillane::publish
