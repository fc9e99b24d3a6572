#include "spreadsheet/ods/DataStyle.h"

#include <algorithm>
#include <charconv>
#include <vector>

namespace quillane::ods {

namespace {

int IntAttribute(const xml::Node& node, std::string_view name, int fallback) {
  const std::string_view v = node.Get(name);
  int value = fallback;
  if (v.empty() || std::from_chars(v.data(), v.data() + v.size(), value).ec != std::errc()) {
    return fallback;
  }
  return std::clamp(value, 0, 30);
}

void AppendQuoted(std::string& code, std::string_view text) {
  if (text.empty()) return;
  code += '"';
  for (char c : text) {
    if (c == '"') {
      code += "\"\\\"\"";
    } else {
      code += c;
    }
  }
  code += '"';
}

// A literal of the style; in a percentage style the '%' scales the value and stays unquoted.
void AppendLiteral(std::string& code, std::string_view text, bool percent) {
  if (!percent) return AppendQuoted(code, text);
  size_t start = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == '%') {
      AppendQuoted(code, text.substr(start, i - start));
      if (i < text.size()) code += '%';
      start = i + 1;
    }
  }
}

std::string IntegerDigits(int minimum, bool grouping) {
  const size_t zeros = static_cast<size_t>(std::max(minimum, 0));
  if (!grouping) return zeros > 0 ? std::string(zeros, '0') : std::string("#");
  // At least four places, and one separator before the last three: grouping throughout.
  const size_t places = std::max<size_t>(zeros, 4);
  std::string digits(places - zeros, '#');
  digits.append(zeros, '0');
  std::string out = digits.substr(0, places - 3);
  out += ',';
  out += digits.substr(places - 3);
  return out;
}

void AppendNumber(std::string& code, const xml::Node& n) {
  const int decimals = IntAttribute(n, "number:decimal-places", 0);
  int minDecimals = IntAttribute(n, "loext:min-decimal-places", decimals);
  minDecimals = std::min(IntAttribute(n, "number:min-decimal-places", minDecimals), decimals);
  code += IntegerDigits(IntAttribute(n, "number:min-integer-digits", 1),
                        n.Get("number:grouping") == "true");
  if (decimals > 0) {
    code += '.';
    code.append(static_cast<size_t>(minDecimals), '0');
    code.append(static_cast<size_t>(decimals - minDecimals), '#');
  }
  double factor = 1;
  const std::string_view f = n.Get("number:display-factor");
  if (!f.empty()) std::from_chars(f.data(), f.data() + f.size(), factor);
  for (int i = 0; i < 4 && factor >= 999.5; ++i, factor /= 1000) code += ',';
}

// The colour tag of a style's text colour, when one of the numbered colours matches it.
std::string ColorTag(std::string_view color, const std::array<uint32_t, 56>& palette) {
  if (color.size() != 7 || color[0] != '#') return {};
  uint32_t rgb = 0;
  if (std::from_chars(color.data() + 1, color.data() + 7, rgb, 16).ec != std::errc()) return {};
  static constexpr std::pair<uint32_t, const char*> kNamed[] = {
      {0x000000, "[Black]"}, {0xFFFFFF, "[White]"},  {0xFF0000, "[Red]"},     {0x00FF00, "[Green]"},
      {0x0000FF, "[Blue]"},  {0xFFFF00, "[Yellow]"}, {0xFF00FF, "[Magenta]"}, {0x00FFFF, "[Cyan]"}};
  for (const auto& [value, tag] : kNamed) {
    if (value == rgb) return tag;
  }
  for (size_t i = 0; i < palette.size(); ++i) {
    if (palette[i] == rgb) return "[Color" + std::to_string(i + 8) + "]";
  }
  return {};
}

// One section: the style's own elements, without its maps.
std::string Section(const xml::Node& style, const std::array<uint32_t, 56>& palette) {
  const std::string_view kind = style.name;
  const bool percent = kind == "number:percentage-style";
  const bool elapsed = style.Get("number:truncate-on-overflow") == "false";
  std::string code, color;
  for (const xml::Node& e : style.children) {
    const std::string_view name = e.name;
    const bool longForm = e.Get("number:style") == "long";
    if (name == "number:number") {
      // A number without decimal places or grouping is the standard format.
      if (!e.Has("number:decimal-places") && e.Get("number:grouping") != "true" &&
          kind == "number:number-style") {
        code += "General";
      } else {
        AppendNumber(code, e);
      }
    } else if (name == "number:scientific-number") {
      code += IntegerDigits(IntAttribute(e, "number:min-integer-digits", 1), false);
      const int decimals = IntAttribute(e, "number:decimal-places", 0);
      if (decimals > 0) code += '.' + std::string(static_cast<size_t>(decimals), '0');
      code += "E+";
      code.append(
          static_cast<size_t>(std::max(IntAttribute(e, "number:min-exponent-digits", 2), 1)), '0');
    } else if (name == "number:fraction") {
      if (e.Has("number:min-integer-digits")) {
        code += IntegerDigits(IntAttribute(e, "number:min-integer-digits", 0), false) + " ";
      }
      code.append(
          static_cast<size_t>(std::max(IntAttribute(e, "number:min-numerator-digits", 1), 1)), '?');
      code += '/';
      const std::string_view denominator = e.Get("number:denominator-value");
      if (!denominator.empty() &&
          denominator.find_first_not_of("0123456789") == std::string_view::npos) {
        code += denominator;
      } else {
        code.append(
            static_cast<size_t>(std::max(IntAttribute(e, "number:min-denominator-digits", 1), 1)),
            '?');
      }
    } else if (name == "number:text") {
      AppendLiteral(code, e.text, percent);
    } else if (name == "number:currency-symbol") {
      AppendQuoted(code, e.text);
    } else if (name == "number:text-content") {
      code += '@';
    } else if (name == "number:day") {
      code += longForm ? "dd" : "d";
    } else if (name == "number:month") {
      if (e.Get("number:textual") == "true") {
        code += longForm ? "mmmm" : "mmm";
      } else {
        code += longForm ? "mm" : "m";
      }
    } else if (name == "number:year") {
      code += longForm ? "yyyy" : "yy";
    } else if (name == "number:day-of-week") {
      code += longForm ? "dddd" : "ddd";
    } else if (name == "number:hours") {
      code += elapsed ? (longForm ? "[hh]" : "[h]") : (longForm ? "hh" : "h");
    } else if (name == "number:minutes") {
      code += longForm ? "mm" : "m";
    } else if (name == "number:seconds") {
      code += longForm ? "ss" : "s";
      const int decimals = std::min(IntAttribute(e, "number:decimal-places", 0), 3);
      if (decimals > 0) code += '.' + std::string(static_cast<size_t>(decimals), '0');
    } else if (name == "number:am-pm") {
      code += "AM/PM";
    } else if (name == "style:text-properties") {
      color = ColorTag(e.Get("fo:color"), palette);
    }
  }
  if (code.empty()) code = kind == "number:text-style" ? "@" : "General";
  return color + code;
}

// A condition of a style:map ("value()>=0") as the code's comparison (">=0").
std::string_view Condition(std::string_view condition) {
  constexpr std::string_view kValue = "value()";
  const size_t at = condition.find(kValue);
  if (at == std::string_view::npos) return {};
  condition.remove_prefix(at + kValue.size());
  while (!condition.empty() && condition.front() == ' ') condition.remove_prefix(1);
  return condition;
}

std::string Code(const xml::Node& style, const DataStyleLookup& lookup,
                 const std::array<uint32_t, 56>& palette, int depth) {
  std::vector<std::pair<std::string, std::string>> maps;  // condition, code
  for (const xml::Node& e : style.children) {
    if (e.name != "style:map" || depth > 0) continue;
    const xml::Node* target = lookup(e.Get("style:apply-style-name"));
    const std::string condition(Condition(e.Get("style:condition")));
    if (!target || target == &style || condition.empty() || maps.size() == 2) continue;
    maps.emplace_back(condition, Code(*target, lookup, palette, depth + 1));
  }
  std::string own = Section(style, palette);
  if (maps.empty()) return own;
  // The usual shapes are the sections of the code by sign; others keep their conditions.
  if (maps.size() == 1 && (maps[0].first == ">=0" || maps[0].first == ">0")) {
    return maps[0].second + ";" + own;
  }
  if (maps.size() == 2 && maps[0].first == ">0" && maps[1].first == "<0") {
    return maps[0].second + ";" + maps[1].second + ";" + own;
  }
  std::string code;
  for (const auto& [condition, section] : maps) code += "[" + condition + "]" + section + ";";
  return code + own;
}

}  // namespace

std::string DataStyleCode(const xml::Node& style, const DataStyleLookup& lookup,
                          const std::array<uint32_t, 56>& palette) {
  return Code(style, lookup, palette, 0);
}

}  // namespace quillane::ods
