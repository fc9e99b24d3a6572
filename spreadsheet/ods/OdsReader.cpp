#include "spreadsheet/ods/OdsReader.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <map>
#include <string>
#include <unordered_map>

#include "spreadsheet/format/DateSerial.h"
#include "spreadsheet/container/Detect.h"
#include "spreadsheet/container/Zip.h"
#include "spreadsheet/model/Limits.h"
#include "spreadsheet/ods/DataStyle.h"
#include "spreadsheet/ods/Xml.h"

namespace quillane::ods {

namespace {

using model::Cell;
using model::CellStyle;
using model::CellType;
using model::Color;
using model::Font;
using model::Sheet;

constexpr std::string_view kSpreadsheetType = "application/vnd.oasis.opendocument.spreadsheet";
constexpr std::string_view kTemplateType =
    "application/vnd.oasis.opendocument.spreadsheet-template";

// Row formats kept per sheet, and how far past the last row in use.
constexpr size_t kMaxRowInfos = size_t{1} << 18;
constexpr uint64_t kRowsPastUse = 256;
// Pictures of one sheet.
constexpr size_t kMaxPictures = 4096;
// A format repeated at least this far to the grid's last column is the row's own format.
constexpr size_t kRowFormatRun = 256;
constexpr int kMaxStyleDepth = 32;
// The width of columns no style sizes: 0.8889 inches.
constexpr double kDefaultColumnPoints = 64.0;

[[noreturn]] void Damaged(const std::string& what) {
  throw ReadError("The workbook is damaged: " + what);
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\'' || s.front() == '"')) {
    s.remove_prefix(1);
  }
  while (!s.empty() && (s.back() == ' ' || s.back() == '\'' || s.back() == '"')) s.remove_suffix(1);
  return s;
}

bool ParseDouble(std::string_view s, double& value) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  const auto r = std::from_chars(s.data(), s.data() + s.size(), value);
  return r.ec == std::errc() && std::isfinite(value);
}

// A repeat or span count: at least 1, at most `limit`.
uint64_t Count(std::string_view s, uint64_t limit) {
  uint64_t value = 1;
  if (s.empty() || std::from_chars(s.data(), s.data() + s.size(), value).ec != std::errc()) {
    return 1;
  }
  return std::clamp<uint64_t>(value, 1, limit);
}

// A length ("0.889in", "2.258cm", "10pt") in points; nothing for other forms.
std::optional<double> Points(std::string_view s) {
  double value = 0;
  const char* end = s.data() + s.size();
  const auto r = std::from_chars(s.data(), end, value);
  if (r.ec != std::errc() || !std::isfinite(value)) return std::nullopt;
  const std::string_view unit(r.ptr, static_cast<size_t>(end - r.ptr));
  if (unit == "pt") return value;
  if (unit == "in") return value * 72;
  if (unit == "cm") return value * 72 / 2.54;
  if (unit == "mm") return value * 72 / 25.4;
  if (unit == "pc") return value * 12;
  if (unit == "px") return value * 0.75;
  return std::nullopt;
}

std::optional<Color> ParseColor(std::string_view s) {
  if (s.size() != 7 || s[0] != '#') return std::nullopt;
  uint32_t rgb = 0;
  if (std::from_chars(s.data() + 1, s.data() + 7, rgb, 16).ec != std::errc()) return std::nullopt;
  return Color::Rgb(rgb);
}

// "2024-03-01" or "2024-03-01T12:30:15.5" as days and the fraction of the day from 1970-01-01.
std::optional<double> ParseDateTime(std::string_view s) {
  int64_t parts[3] = {0, 0, 0};
  bool negative = false;
  if (!s.empty() && s.front() == '-') {
    negative = true;
    s.remove_prefix(1);
  }
  for (int i = 0; i < 3; ++i) {
    const auto r = std::from_chars(s.data(), s.data() + s.size(), parts[i]);
    if (r.ec != std::errc()) return std::nullopt;
    s.remove_prefix(static_cast<size_t>(r.ptr - s.data()));
    if (i < 2) {
      if (s.empty() || s.front() != '-') return std::nullopt;
      s.remove_prefix(1);
    }
  }
  if (negative) parts[0] = -parts[0];
  if (parts[0] < -100000 || parts[0] > 100000 || parts[1] < 1 || parts[1] > 12 || parts[2] < 1 ||
      parts[2] > 31) {
    return std::nullopt;
  }
  double days = static_cast<double>(format::DaysFromCivil(parts[0], parts[1], parts[2]));
  if (!s.empty() && s.front() == 'T') {
    s.remove_prefix(1);
    double hms[3] = {0, 0, 0};
    for (int i = 0; i < 3 && !s.empty(); ++i) {
      const auto r = std::from_chars(s.data(), s.data() + s.size(), hms[i]);
      if (r.ec != std::errc()) return std::nullopt;
      s.remove_prefix(static_cast<size_t>(r.ptr - s.data()));
      if (!s.empty() && s.front() == ':')
        s.remove_prefix(1);
      else
        break;
    }
    days += (hms[0] * 3600 + hms[1] * 60 + hms[2]) / 86400;
  }
  return days;
}

// An ISO 8601 duration ("PT12H30M15S", "-P1DT2H") in days.
std::optional<double> ParseDuration(std::string_view s) {
  bool negative = false;
  if (!s.empty() && s.front() == '-') {
    negative = true;
    s.remove_prefix(1);
  }
  if (s.empty() || s.front() != 'P') return std::nullopt;
  s.remove_prefix(1);
  double days = 0;
  bool time = false;
  while (!s.empty()) {
    if (s.front() == 'T') {
      time = true;
      s.remove_prefix(1);
      continue;
    }
    double value = 0;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), value);
    if (r.ec != std::errc() || r.ptr == s.data() + s.size() || !std::isfinite(value)) {
      return std::nullopt;
    }
    s.remove_prefix(static_cast<size_t>(r.ptr - s.data()));
    const char unit = s.front();
    s.remove_prefix(1);
    if (unit == 'D')
      days += value;
    else if (unit == 'W')
      days += value * 7;
    else if (unit == 'H' && time)
      days += value / 24;
    else if (unit == 'M' && time)
      days += value / 1440;
    else if (unit == 'S' && time)
      days += value / 86400;
    else if (unit == 'Y')
      days += value * 365;
    else if (unit == 'M')
      days += value * 30;
    else
      return std::nullopt;
  }
  return negative ? -days : days;
}

// "Sheet1.B3" / "'My sheet'.$B$3" -> the 0-based row and column of the cell.
bool ParseCellAddress(std::string_view address, uint32_t& row, uint16_t& col) {
  const size_t dot = address.rfind('.');
  if (dot != std::string_view::npos) address.remove_prefix(dot + 1);
  uint32_t c = 0, r = 0;
  size_t i = 0;
  if (i < address.size() && address[i] == '$') ++i;
  size_t letters = 0;
  for (; i < address.size() && std::isalpha(static_cast<unsigned char>(address[i])); ++i) {
    if (++letters > 3) return false;
    c = c * 26 +
        static_cast<uint32_t>(std::toupper(static_cast<unsigned char>(address[i])) - 'A' + 1);
  }
  if (i < address.size() && address[i] == '$') ++i;
  const auto res = std::from_chars(address.data() + i, address.data() + address.size(), r);
  if (letters == 0 || res.ec != std::errc() || r == 0) return false;
  row = std::min(r - 1, kMaxRow);
  col = static_cast<uint16_t>(std::min<uint32_t>(c - 1, kMaxColumn));
  return true;
}

std::vector<uint8_t> DecodeBase64(std::string_view text) {
  std::vector<uint8_t> out;
  out.reserve(text.size() / 4 * 3);
  uint32_t buffer = 0;
  int bits = 0;
  for (char ch : text) {
    int v;
    if (ch >= 'A' && ch <= 'Z')
      v = ch - 'A';
    else if (ch >= 'a' && ch <= 'z')
      v = ch - 'a' + 26;
    else if (ch >= '0' && ch <= '9')
      v = ch - '0' + 52;
    else if (ch == '+')
      v = 62;
    else if (ch == '/')
      v = 63;
    else
      continue;
    buffer = (buffer << 6) | static_cast<uint32_t>(v);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out.push_back(static_cast<uint8_t>(buffer >> bits));
    }
  }
  return out;
}

// The properties of a style, flattened: "fo:background-color" -> "#ffcc00", from all its
// property elements.
using Properties = std::unordered_map<std::string, std::string>;

struct StyleDef {
  std::string parent;
  std::string dataStyle;
  Properties properties;
};

// A picture anchored to a cell, placed once the sheet's widths and heights are known.
struct PendingPicture {
  uint32_t row = 0;
  uint16_t col = 0;
  double x = 0, y = 0, width = 0, height = 0;  // points
  bool hasEnd = false;
  uint32_t endRow = 0;
  uint16_t endCol = 0;
  double endX = 0, endY = 0;
  uint32_t blip = 0;
  std::string name;
};

struct RowRun {
  uint64_t first, last;
  model::RowInfo info;
};

struct ColumnDefault {
  uint16_t first, last;
  std::string style;
};

class DocumentReader final : public XmlHandler {
 public:
  DocumentReader(model::Workbook& book, const PartReader* parts,
                 const PictureReader* pictures = nullptr)
      : book_(book), parts_(parts), pictures_(pictures) {}

  // The size of the document about to be read: each table makes room for as many cells as a
  // document of that size can hold at most in plain cells, once, instead of growing step by
  // step (the room a table does not use is given back at its end).
  void ExpectBytes(uint64_t bytes) {
    expectedCells_ = static_cast<size_t>(std::min<uint64_t>(bytes / 64, model::kMaxSheetCells));
  }
  // The size of the file read: the cells it may stand for are bounded by it.
  void FileBytes(uint64_t bytes) { cellBudget_ = model::CellBudget(bytes); }

  // Reads one document (styles.xml, content.xml or a flat document).
  void Read(std::span<const uint8_t> document, std::string_view what) {
    Check(ParseXml(document, *this), what);
  }

  // The outcome of a document parsed in pieces.
  static void Check(const std::string& error, std::string_view what) {
    if (!error.empty()) Damaged(std::string(what) + " is not well-formed XML: " + error);
  }

  bool SawDocument() const { return sawRoot_; }
  bool SawSpreadsheet() const { return sawSpreadsheet_; }

  void Start(std::string_view name, std::span<const XmlAttribute> attributes) override {
    if (capture_) {
      tree_.Start(name, attributes);
      return;
    }
    if (!sawRoot_) {
      sawRoot_ = true;
      root_ = std::string(name);
    }
    if (inTable_) return TableStart(name, attributes);
    if (name == "office:styles" || name == "office:automatic-styles") {
      inStyles_ = true;
    } else if (inStyles_ && (name == "style:style" || name == "style:default-style" ||
                             name.starts_with("number:"))) {
      capture_ = true;
      tree_.Begin(name, attributes);
    } else if (name == "style:font-face") {
      fontFaces_[std::string(Attribute(attributes, "style:name"))] = {
          std::string(Trim(Attribute(attributes, "svg:font-family"))),
          std::string(Attribute(attributes, "style:font-family-generic"))};
    } else if (name == "office:spreadsheet") {
      sawSpreadsheet_ = true;
    } else if (name == "table:null-date") {
      const std::string_view date = Attribute(attributes, "table:date-value");
      book_.date1904 = date.starts_with("1904-01-01");
    } else if (name == "table:table" && sawSpreadsheet_) {
      BeginTable(attributes);
    }
  }

  void End(std::string_view name) override {
    if (capture_) {
      if (!tree_.Done()) tree_.End();
      if (tree_.Done()) {
        capture_ = false;
        KeepStyle(tree_.Take());
      }
      return;
    }
    if (inTable_) return TableEnd(name);
    if (name == "office:styles" || name == "office:automatic-styles") inStyles_ = false;
  }

  void Text(std::string_view text) override {
    if (capture_) return tree_.Text(text);
    if (!inTable_) return;
    switch (textTarget_) {
      case TextTarget::None:
        break;
      case TextTarget::Cell:
        if (inParagraph_ && !inFrame_) cellText_.append(text);
        if (inLink_) linkText_.append(text);
        break;
      case TextTarget::Annotation:
        if (inParagraph_) annotationText_.append(text);
        break;
      case TextTarget::Author:
        annotationAuthor_.append(text);
        break;
      case TextTarget::Binary:
        binary_.append(text);
        break;
    }
  }

 private:
  enum class TextTarget { None, Cell, Annotation, Author, Binary };

  // ---- styles

  void KeepStyle(XmlNode node) {
    const std::string_view kind = node.name;
    if (kind.starts_with("number:") && kind.ends_with("-style")) {
      dataStyles_[std::string(node.Get("style:name"))] = std::move(node);
      return;
    }
    StyleDef def;
    def.parent = std::string(node.Get("style:parent-style-name"));
    def.dataStyle = std::string(node.Get("style:data-style-name"));
    for (const XmlNode& child : node.children) {
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

  const StyleDef* FindStyle(std::string_view family, std::string_view name) const {
    auto it = styles_.find(std::string(family) + '\x1f' + std::string(name));
    return it == styles_.end() ? nullptr : &it->second;
  }

  // The properties of a style with its parents' and the family's default under them; the data
  // style is the nearest one named.
  Properties Resolve(std::string_view family, std::string_view name, std::string* dataStyle,
                     bool withDefault = true) const {
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

  static std::string_view Get(const Properties& p, const char* key) {
    auto it = p.find(key);
    return it == p.end() ? std::string_view() : std::string_view(it->second);
  }

  uint16_t FontIndex(const Properties& p) {
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

  static model::Border ParseBorder(std::string_view value) {
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

  CellStyle MakeCellStyle(const Properties& p, const std::string& dataStyle) {
    CellStyle style;
    style.font = FontIndex(p);
    if (!dataStyle.empty()) style.numberFormat = NumberFormat(dataStyle);
    if (auto background = ParseColor(Get(p, "fo:background-color"))) {
      style.pattern = 1;
      style.patternColor = *background;
    }
    const std::string_view all = Get(p, "fo:border");
    model::Border* sides[4] = {&style.left, &style.right, &style.top, &style.bottom};
    const char* names[4] = {"fo:border-left", "fo:border-right", "fo:border-top",
                            "fo:border-bottom"};
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

  std::string NumberFormat(const std::string& dataStyle) {
    auto cached = formats_.find(dataStyle);
    if (cached != formats_.end()) return cached->second;
    auto it = dataStyles_.find(dataStyle);
    std::string code = "General";
    if (it != dataStyles_.end()) {
      code = DataStyleCode(
          it->second,
          [this](std::string_view name) -> const XmlNode* {
            auto found = dataStyles_.find(std::string(name));
            return found == dataStyles_.end() ? nullptr : &found->second;
          },
          book_.palette);
    }
    formats_[dataStyle] = code;
    return code;
  }

  // The model's style of a cell style name (the family's default for an empty name).
  uint16_t CellStyleIndex(const std::string& name) {
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

  // A style like `style` with a number format of its own (for values whose style shows them as
  // plain numbers), or wrapping its text (for text of several lines, which is shown on as many).
  uint16_t Derived(uint16_t style, const char* format, bool wrap) {
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
  uint16_t WithFormat(uint16_t style, const char* format) { return Derived(style, format, false); }

  // Makes the default font and style (index 0) before any other.
  void EnsureDefaults() {
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

  // ---- tables

  void BeginTable(std::span<const XmlAttribute> attributes) {
    EnsureDefaults();
    inTable_ = true;
    tableDepth_ = 0;
    Sheet& sheet = book_.sheets.emplace_back();
    sheet.cells.reserve(expectedCells_);
    sheet.name = std::string(Attribute(attributes, "table:name"));
    if (sheet.name.empty()) sheet.name = "Sheet" + std::to_string(book_.sheets.size());
    const Properties p = Resolve("table", Attribute(attributes, "table:style-name"), nullptr);
    if (Get(p, "table:display") == "false") sheet.visibility = model::Visibility::Hidden;
    // Columns and rows the table does not describe have the application's default size.
    const Properties column = Resolve("table-column", "", nullptr);
    const double width = Points(Get(column, "style:column-width")).value_or(kDefaultColumnPoints);
    sheet.standardWidth = ColumnUnits(width);
    const Properties row = Resolve("table-row", "", nullptr);
    if (auto h = Points(Get(row, "style:row-height"))) sheet.defaultRowHeight = Twips(*h);
    row_ = 0;
    nextColumn_ = 0;
    columnDefaults_.clear();
    pending_.clear();
    rowRuns_.clear();
  }

  static uint16_t Twips(double points) {
    return static_cast<uint16_t>(std::clamp(std::lround(points * 20), 0L, 8192L));
  }

  int DigitWidth() const {
    const int mdw = static_cast<int>(std::lround(0.556 * book_.FontOf(0).height / 15.0));
    return std::clamp(mdw, 1, 100);
  }

  // A width in points as 1/256 of the default font's digit width.
  uint16_t ColumnUnits(double points) const {
    const double pixels = points * 96 / 72;
    return static_cast<uint16_t>(std::clamp(std::lround(pixels * 256 / DigitWidth()), 1L, 65535L));
  }

  Sheet& CurrentSheet() { return book_.sheets.back(); }

  void TableStart(std::string_view name, std::span<const XmlAttribute> attributes) {
    ++tableDepth_;
    if (nested_ > 0 || (name == "table:table" && tableDepth_ > 1)) {
      ++nested_;  // a table inside a cell or a shape: not read
      return;
    }
    if (name == "table:table-column") return Column(attributes);
    if (name == "table:table-row") return BeginRow(attributes);
    if (name == "table:table-cell" || name == "table:covered-table-cell") {
      return BeginCell(name, attributes);
    }
    if (!inCell_ && !inShapes_) {
      if (name == "table:shapes") inShapes_ = true;
      return;
    }
    if (name == "office:annotation") {
      inAnnotation_ = true;
      annotationText_.clear();
      annotationAuthor_.clear();
      annotationParagraphs_ = 0;
      textTarget_ = TextTarget::Annotation;
    } else if (inAnnotation_) {
      if (name == "dc:creator") textTarget_ = TextTarget::Author;
      if (name == "text:p" || name == "text:h") {
        if (annotationParagraphs_++ > 0) annotationText_ += '\n';
        inParagraph_ = true;
      }
      if (name == "text:s")
        annotationText_.append(Count(Attribute(attributes, "text:c"), 1000), ' ');
      if (name == "text:line-break") annotationText_ += '\n';
      if (name == "text:tab") annotationText_ += '\t';
    } else if (name == "draw:frame") {
      if (frameDepth_++ == 0) BeginFrame(attributes);
      inFrame_ = true;
    } else if (inFrame_) {
      if (name == "draw:image" && frame_.href.empty()) {
        frame_.href = std::string(Attribute(attributes, "xlink:href"));
      } else if (name == "office:binary-data") {
        binary_.clear();
        textTarget_ = TextTarget::Binary;
      }
    } else if (inCell_ && !coveredCell_) {
      if (name == "text:p" || name == "text:h") {
        if (paragraphs_++ > 0) cellText_ += '\n';
        inParagraph_ = true;
        hasText_ = true;
      } else if (name == "text:s") {
        const uint64_t n = Count(Attribute(attributes, "text:c"), 1000);
        cellText_.append(n, ' ');
        if (inLink_) linkText_.append(n, ' ');
      } else if (name == "text:tab") {
        cellText_ += '\t';
      } else if (name == "text:line-break") {
        cellText_ += '\n';
      } else if (name == "text:a") {
        inLink_ = true;
        linkText_.clear();
        linkHref_ = std::string(Attribute(attributes, "xlink:href"));
      } else if (name == "text:span") {
        spans_.emplace_back(Attribute(attributes, "text:style-name"));
        MarkRun();
      }
    }
  }

  void TableEnd(std::string_view name) {
    --tableDepth_;
    if (nested_ > 0) {
      --nested_;
      return;
    }
    if (tableDepth_ < 0) return EndTable();
    if (name == "table:table-row") return EndRow();
    if (name == "table:table-cell" || name == "table:covered-table-cell") return EndCell();
    if (name == "table:shapes") inShapes_ = false;
    if (name == "office:annotation") {
      inAnnotation_ = false;
      textTarget_ = inCell_ ? TextTarget::Cell : TextTarget::None;
      if (inCell_ && !coveredCell_) {
        CurrentSheet().comments.push_back(
            {static_cast<uint32_t>(std::min<uint64_t>(row_, kMaxRow)),
             static_cast<uint16_t>(std::min<uint64_t>(col_, kMaxColumn)), annotationAuthor_,
             annotationText_});
      }
    } else if (inAnnotation_) {
      if (name == "dc:creator") textTarget_ = TextTarget::Annotation;
      if (name == "text:p" || name == "text:h") inParagraph_ = false;
    } else if (name == "draw:frame") {
      if (--frameDepth_ == 0) {
        inFrame_ = false;
        EndFrame();
      }
    } else if (name == "office:binary-data") {
      textTarget_ = inCell_ ? TextTarget::Cell : TextTarget::None;
      frame_.binary = DecodeBase64(binary_);
      binary_.clear();
    } else if (name == "text:p" || name == "text:h") {
      inParagraph_ = false;
    } else if (name == "text:a" && inLink_) {
      inLink_ = false;
      links_.push_back({linkHref_, linkText_});
    } else if (name == "text:span" && inCell_ && !coveredCell_ && !inFrame_ && !spans_.empty()) {
      spans_.pop_back();
      MarkRun();
    }
  }

  // ---- rich text: text spans of a cell's paragraphs

  // Notes where the spans open around the text change: from this code point of the cell's text
  // on, the open spans are these.
  void MarkRun() {
    size_t at = 0;
    for (const char ch : cellText_) at += (static_cast<uint8_t>(ch) & 0xC0) != 0x80;
    std::string key;
    for (const std::string& span : spans_) {
      key += span;
      key += '\x1f';
    }
    if (!runMarks_.empty() && runMarks_.back().first == at) {
      runMarks_.back().second = std::move(key);
    } else {
      runMarks_.emplace_back(static_cast<uint32_t>(at), std::move(key));
    }
  }

  // The font of text in spans `key` (style names, outermost first) of a cell of style `cellStyle`:
  // the cell's font with each span's text properties over it.
  uint16_t SpanFont(const std::string& cellStyle, const std::string& key) {
    const std::string cacheKey = cellStyle + '\x1e' + key;
    auto it = spanFonts_.find(cacheKey);
    if (it != spanFonts_.end()) return it->second;
    Properties p = Resolve("table-cell", cellStyle.empty() ? "Default" : cellStyle, nullptr);
    for (size_t from = 0, end; (end = key.find('\x1f', from)) != std::string::npos;
         from = end + 1) {
      const Properties span =
          Resolve("text", std::string_view(key).substr(from, end - from), nullptr, false);
      for (const auto& [k, v] : span) p[k] = v;
    }
    const uint16_t font = FontIndex(p);
    spanFonts_.emplace(cacheKey, font);
    return font;
  }

  // The runs of the cell's text, when spans change its font somewhere.
  std::vector<model::TextRun> CellRuns(const std::string& cellStyle, uint16_t cellFont,
                                       const std::string& text) {
    std::vector<model::TextRun> runs;
    bool spanned = false;
    for (const auto& mark : runMarks_) spanned = spanned || !mark.second.empty();
    if (!spanned) return runs;
    size_t length = 0;
    for (const char ch : text) length += (static_cast<uint8_t>(ch) & 0xC0) != 0x80;
    for (const auto& [at, key] : runMarks_) {
      if (at >= length) break;
      const uint16_t font = key.empty() ? cellFont : SpanFont(cellStyle, key);
      if (runs.empty() ? font == cellFont : runs.back().font == font) continue;
      runs.push_back({at, font});
    }
    return runs;
  }

  void Column(std::span<const XmlAttribute> attributes) {
    const uint64_t repeat =
        Count(Attribute(attributes, "table:number-columns-repeated"), uint64_t{1} << 32);
    const uint64_t first = nextColumn_;
    nextColumn_ += repeat;
    if (first > kMaxColumn) return;
    const uint16_t last = static_cast<uint16_t>(std::min<uint64_t>(first + repeat - 1, kMaxColumn));
    model::ColumnInfo info;
    info.first = static_cast<uint16_t>(first);
    info.last = last;
    const Properties p =
        Resolve("table-column", Attribute(attributes, "table:style-name"), nullptr);
    info.width = ColumnUnits(Points(Get(p, "style:column-width")).value_or(kDefaultColumnPoints));
    const std::string_view visibility = Attribute(attributes, "table:visibility");
    info.hidden = visibility == "collapse" || visibility == "filter";
    const std::string style(Attribute(attributes, "table:default-cell-style-name"));
    info.style = CellStyleIndex(style);
    columnDefaults_.push_back({info.first, info.last, style});
    CurrentSheet().columns.push_back(info);
  }

  const std::string& ColumnDefaultStyle(uint64_t col) const {
    static const std::string kNone;
    // The runs are in column order.
    auto it = std::upper_bound(columnDefaults_.begin(), columnDefaults_.end(), col,
                               [](uint64_t c, const ColumnDefault& d) { return c < d.first; });
    if (it == columnDefaults_.begin() || col > std::prev(it)->last) return kNone;
    return std::prev(it)->style;
  }

  void BeginRow(std::span<const XmlAttribute> attributes) {
    rowRepeat_ = Count(Attribute(attributes, "table:number-rows-repeated"), uint64_t{1} << 32);
    rowDefaultStyle_ = std::string(Attribute(attributes, "table:default-cell-style-name"));
    col_ = 0;
    rowCells_.clear();
    rowFormats_.clear();
    rowInfo_ = model::RowInfo{};
    rowInfo_.height = CurrentSheet().defaultRowHeight;
    const std::string_view styleName = Attribute(attributes, "table:style-name");
    rowHasInfo_ = false;
    if (!styleName.empty()) {
      const Properties p = Resolve("table-row", styleName, nullptr);
      if (auto h = Points(Get(p, "style:row-height"))) {
        rowInfo_.height = Twips(*h);
        rowInfo_.customHeight = Get(p, "style:use-optimal-row-height") != "true";
        rowHasInfo_ = rowInfo_.height != CurrentSheet().defaultRowHeight || rowInfo_.customHeight;
      }
    }
    const std::string_view visibility = Attribute(attributes, "table:visibility");
    if (visibility == "collapse" || visibility == "filter") {
      rowInfo_.hidden = true;
      rowHasInfo_ = true;
    }
  }

  void EndRow() {
    Sheet& sheet = CurrentSheet();
    const uint64_t first = row_;
    row_ += rowRepeat_;
    if (first > kMaxRow) return;
    const uint64_t count = std::min<uint64_t>(rowRepeat_, uint64_t{kMaxRow} + 1 - first);
    FormatToTheEnd();
    // Values and formats repeated down: bounded by the limits before anything is stored, so
    // nothing is cut without a word.
    const uint64_t cells = static_cast<uint64_t>(rowCells_.size() + rowFormats_.size()) * count;
    if (sheet.cells.size() + cells > model::kMaxSheetCells) {
      throw ReadError("The workbook is too large: sheet \"" + sheet.name + "\" holds more than " +
                      std::to_string(model::kMaxSheetCells) +
                      " cells (with values or formats), the most a sheet may have");
    }
    if (cellCount_ + cells > cellBudget_) throw ReadError(model::CellBudgetText(cellBudget_));
    cellCount_ += cells;
    for (uint64_t r = 0; r < count && !(rowCells_.empty() && rowFormats_.empty()); ++r) {
      for (const std::vector<Cell>* list : {&rowCells_, &rowFormats_}) {
        for (Cell cell : *list) {
          cell.row = static_cast<uint32_t>(first + r);
          sheet.cells.push_back(cell);
        }
      }
    }
    if (rowHasInfo_) rowRuns_.push_back({first, first + count - 1, rowInfo_});
  }

  // A format repeated from some column to the grid's last one (as a row formatted whole is
  // written) is the row's own format, not thousands of blank cells; the positions before it that
  // have no cell keep their own format as cells of their own.
  void FormatToTheEnd() {
    size_t from = rowFormats_.size();
    while (from > 0 && rowFormats_[from - 1].style == rowFormats_.back().style &&
           rowFormats_[from - 1].col == kMaxColumn - (rowFormats_.size() - from)) {
      --from;
    }
    if (rowFormats_.size() - from < kRowFormatRun) return;
    const uint16_t style = rowFormats_.back().style;
    const uint16_t start = rowFormats_[from].col;
    std::vector<uint8_t> taken(start, 0);
    for (const std::vector<Cell>* list : {&rowCells_, &rowFormats_}) {
      for (const Cell& c : *list) {
        if (c.col < start) taken[c.col] = 1;
      }
    }
    rowFormats_.resize(from);
    for (uint16_t col = 0; col < start; ++col) {
      if (taken[col]) continue;
      Cell cell;
      cell.row = 0;
      cell.col = col;
      cell.style =
          CellStyleIndex(!rowDefaultStyle_.empty() ? rowDefaultStyle_ : ColumnDefaultStyle(col));
      if (cell.style != style) rowFormats_.push_back(cell);
    }
    rowInfo_.hasStyle = true;
    rowInfo_.style = style;
    rowHasInfo_ = true;
  }

  // The row formats: kept row by row up to a little past the last row in use (pictures may reach
  // further down); the run past that becomes the sheet's default. Long runs of formatted empty
  // rows, which end most tables, so cost nothing.
  void KeepRowFormats() {
    Sheet& sheet = CurrentSheet();
    uint64_t used = sheet.cells.empty() ? 0 : sheet.cells.back().row;
    for (const model::Range& m : sheet.merged) used = std::max<uint64_t>(used, m.lastRow);
    for (const PendingPicture& p : pending_)
      used = std::max<uint64_t>(used, p.hasEnd ? p.endRow : p.row);
    const uint64_t limit = std::min<uint64_t>(used + kRowsPastUse, kMaxRow);
    const uint16_t tableDefault = sheet.defaultRowHeight;
    for (const RowRun& run : rowRuns_) {
      for (uint64_t r = run.first;
           r <= std::min(run.last, limit) && sheet.rows.size() < kMaxRowInfos; ++r) {
        sheet.rows[static_cast<uint32_t>(r)] = run.info;
      }
      if (run.first <= limit + 1 && run.last > limit) {
        sheet.defaultRowHeight = run.info.height;
        sheet.defaultRowsHidden = run.info.hidden;
      }
    }
    if (sheet.defaultRowHeight != tableDefault) {
      // Rows without a format of their own keep the table's default height.
      model::RowInfo plain;
      plain.height = tableDefault;
      for (uint64_t r = 0; r <= limit && sheet.rows.size() < kMaxRowInfos; ++r) {
        sheet.rows.try_emplace(static_cast<uint32_t>(r), plain);
      }
    }
    rowRuns_.clear();
  }

  void BeginCell(std::string_view name, std::span<const XmlAttribute> attributes) {
    inCell_ = true;
    coveredCell_ = name == "table:covered-table-cell";
    textTarget_ = TextTarget::Cell;
    cellText_.clear();
    paragraphs_ = 0;
    hasText_ = false;
    links_.clear();
    spans_.clear();
    runMarks_.clear();
    cellRepeat_ = Count(Attribute(attributes, "table:number-columns-repeated"), uint64_t{1} << 32);
    if (coveredCell_) return;
    // Only the attributes read, into strings that keep their capacity from cell to cell.
    cell_.hasString = cell_.formula = false;
    for (std::string* field :
         {&cell_.style, &cell_.type, &cell_.value, &cell_.date, &cell_.time, &cell_.boolean,
          &cell_.string, &cell_.calcType, &cell_.spanCols, &cell_.spanRows}) {
      field->clear();
    }
    for (const XmlAttribute& a : attributes) {
      const std::string_view n = a.name;
      if (n == "table:style-name")
        cell_.style.assign(a.value);
      else if (n == "office:value-type")
        cell_.type.assign(a.value);
      else if (n == "office:value")
        cell_.value.assign(a.value);
      else if (n == "office:date-value")
        cell_.date.assign(a.value);
      else if (n == "office:time-value")
        cell_.time.assign(a.value);
      else if (n == "office:boolean-value")
        cell_.boolean.assign(a.value);
      else if (n == "calcext:value-type")
        cell_.calcType.assign(a.value);
      else if (n == "table:number-columns-spanned")
        cell_.spanCols.assign(a.value);
      else if (n == "table:number-rows-spanned")
        cell_.spanRows.assign(a.value);
      else if (n == "table:formula")
        cell_.formula = !a.value.empty();
      else if (n == "office:string-value") {
        cell_.string.assign(a.value);
        cell_.hasString = true;
      }
    }
  }

  void EndCell() {
    inCell_ = false;
    textTarget_ = TextTarget::None;
    const uint64_t first = col_;
    col_ += cellRepeat_;
    if (coveredCell_ || first > kMaxColumn || row_ > kMaxRow) return;
    const uint64_t count = std::min<uint64_t>(cellRepeat_, uint64_t{kMaxColumn} + 1 - first);
    const uint32_t row = static_cast<uint32_t>(row_);
    const uint16_t col = static_cast<uint16_t>(first);
    Sheet& sheet = CurrentSheet();

    const bool ownStyle = !cell_.style.empty();
    const std::string& styleName = ownStyle                    ? cell_.style
                                   : !rowDefaultStyle_.empty() ? rowDefaultStyle_
                                                               : ColumnDefaultStyle(first);
    Cell cell;
    cell.row = row;
    cell.col = col;
    cell.style = CellStyleIndex(styleName);
    cell.formula = cell_.formula;
    const std::string_view type = cell_.type;
    double number = 0;
    if (cell_.calcType == "error" && model::ErrorCodeOf(cellText_)) {
      cell.type = CellType::Error;
      cell.code = *model::ErrorCodeOf(cellText_);
    } else if (type == "float" || type == "percentage" || type == "currency") {
      if (ParseDouble(cell_.value, number)) {
        cell.type = CellType::Number;
        cell.number = number;
        if (book_.Style(cell.style).numberFormat == "General") {
          if (type == "percentage") cell.style = WithFormat(cell.style, "0.00%");
          if (type == "currency") cell.style = WithFormat(cell.style, "#,##0.00");
        }
      }
    } else if (type == "date") {
      if (auto days = ParseDateTime(cell_.date)) {
        cell.type = CellType::Number;
        cell.number = Serial(*days);
        if (book_.Style(cell.style).numberFormat == "General") {
          const bool time = cell.number != std::floor(cell.number);
          cell.style = WithFormat(cell.style, time ? "mm/dd/yy hh:mm" : "mm/dd/yy");
        }
      }
    } else if (type == "time") {
      if (auto days = ParseDuration(cell_.time)) {
        cell.type = CellType::Number;
        cell.number = *days;
        if (book_.Style(cell.style).numberFormat == "General") {
          cell.style = WithFormat(cell.style, "hh:mm:ss");
        }
      }
    } else if (type == "boolean") {
      const std::string_view v = cell_.boolean;
      cell.type = CellType::Boolean;
      cell.code = v == "true" || v == "1";
    }
    if (cell.type == CellType::Blank && (type == "string" || hasText_)) {
      std::string text = cell_.hasString ? cell_.string : cellText_;
      if (!text.empty() || type == "string") {
        cell.type = CellType::String;
        if (text.find('\n') != std::string::npos && !book_.Style(cell.style).wrap) {
          cell.style = Derived(cell.style, nullptr, true);
        }
        std::vector<model::TextRun> runs;
        if (!cell_.hasString && !runMarks_.empty()) {
          runs = CellRuns(styleName, book_.Style(cell.style).font, text);
        }
        cell.text = book_.AddString(std::move(text));
        if (!runs.empty()) book_.richText.emplace(cell.text, std::move(runs));
      }
    }

    if (cell.type != CellType::Blank) {
      for (uint64_t i = 0; i < count; ++i) {
        cell.col = static_cast<uint16_t>(first + i);
        rowCells_.push_back(cell);
      }
    } else if (ownStyle && cell.style != CellStyleIndex(ColumnDefaultStyle(first))) {
      // A format without a value: kept where it differs from the column's, within a bound.
      for (uint64_t i = 0; i < count; ++i) {
        cell.col = static_cast<uint16_t>(first + i);
        rowFormats_.push_back(cell);
      }
    }

    const uint64_t spanCols = Count(cell_.spanCols, kMaxColumn + 1);
    const uint64_t spanRows = Count(cell_.spanRows, kMaxRow + 1);
    if ((spanCols > 1 || spanRows > 1) && sheet.merged.size() < model::kMaxSheetCells) {
      model::Range range;
      range.firstRow = row;
      range.firstCol = col;
      range.lastRow = static_cast<uint32_t>(std::min<uint64_t>(row + spanRows - 1, kMaxRow));
      range.lastCol = static_cast<uint16_t>(std::min<uint64_t>(col + spanCols - 1, kMaxColumn));
      sheet.merged.push_back(range);
    }
    for (const auto& [href, text] : links_) AddLink(sheet, row, col, href, text);
    links_.clear();
  }

  // Days from 1970-01-01 as the serial number of the workbook's date system.
  double Serial(double days) const { return format::SerialOfDays(days, book_.date1904); }

  void AddLink(Sheet& sheet, uint32_t row, uint16_t col, const std::string& href,
               const std::string& text) {
    if (href.empty() || sheet.hyperlinks.size() >= model::kMaxSheetCells) return;
    model::Hyperlink link;
    link.range = {row, row, col, col};
    link.description = text;
    if (href.front() == '#') {
      link.kind = model::LinkKind::Place;
      std::string place = href.substr(1);
      const size_t dot = place.rfind('.');
      if (dot != std::string::npos) {
        std::string_view cellPart = std::string_view(place).substr(dot + 1);
        uint32_t r;
        uint16_t c;
        if (ParseCellAddress(cellPart, r, c)) place[dot] = '!';
      }
      place.erase(std::remove(place.begin(), place.end(), '$'), place.end());
      link.location = std::move(place);
    } else {
      const size_t hash = href.find('#');
      const bool scheme = href.find("://") != std::string::npos || href.starts_with("mailto:");
      link.kind =
          scheme && !href.starts_with("file:") ? model::LinkKind::Url : model::LinkKind::File;
      link.target = href.substr(0, hash);
      if (hash != std::string::npos) link.location = href.substr(hash + 1);
    }
    sheet.hyperlinks.push_back(std::move(link));
  }

  // ---- pictures

  struct Frame {
    PendingPicture picture;
    std::string href;
    std::vector<uint8_t> binary;
  };

  void BeginFrame(std::span<const XmlAttribute> attributes) {
    frame_ = Frame{};
    PendingPicture& p = frame_.picture;
    p.row = static_cast<uint32_t>(std::min<uint64_t>(inCell_ ? row_ : 0, kMaxRow));
    p.col = static_cast<uint16_t>(std::min<uint64_t>(inCell_ ? col_ : 0, kMaxColumn));
    p.x = Points(Attribute(attributes, "svg:x")).value_or(0);
    p.y = Points(Attribute(attributes, "svg:y")).value_or(0);
    p.width = Points(Attribute(attributes, "svg:width")).value_or(0);
    p.height = Points(Attribute(attributes, "svg:height")).value_or(0);
    p.name = std::string(Attribute(attributes, "draw:name"));
    const std::string_view end = Attribute(attributes, "table:end-cell-address");
    if (inCell_ && !end.empty() && ParseCellAddress(end, p.endRow, p.endCol)) {
      p.hasEnd = true;
      p.endX = Points(Attribute(attributes, "table:end-x")).value_or(0);
      p.endY = Points(Attribute(attributes, "table:end-y")).value_or(0);
    }
  }

  void EndFrame() {
    if (pictureCount_ >= kMaxPictures) {
      throw ReadError("The workbook is too large: sheet \"" + CurrentSheet().name +
                      "\" has more than " + std::to_string(kMaxPictures) +
                      " pictures, the most a sheet may have");
    }
    std::vector<uint8_t> data;
    if (!frame_.binary.empty()) {
      data = std::move(frame_.binary);
    } else if (!frame_.href.empty() && parts_) {
      std::string name = frame_.href;
      if (name.starts_with("./")) name.erase(0, 2);
      auto known = blipOfPart_.find(name);
      if (known != blipOfPart_.end()) {
        frame_.picture.blip = known->second;
        pending_.push_back(frame_.picture);
        ++pictureCount_;
        return;
      }
      // A picture outside the package is not shown; one the package names must be there.
      if (name.find("://") != std::string::npos || name.starts_with("../") ||
          name.starts_with("/")) {
        return;
      }
      if (pictures_) {
        std::optional<model::Blip> blip = (*pictures_)(name);
        if (!blip) Damaged("the picture " + name + " is missing");
        blipOfPart_[name] = static_cast<uint32_t>(book_.blips.size());
        frame_.picture.blip = static_cast<uint32_t>(book_.blips.size());
        book_.blips.push_back(std::move(*blip));
        pending_.push_back(frame_.picture);
        ++pictureCount_;
        return;
      }
      auto bytes = (*parts_)(name);
      if (!bytes) Damaged("the picture " + name + " is missing");
      data = std::move(*bytes);
      blipOfPart_[name] = static_cast<uint32_t>(book_.blips.size());
    }
    if (data.empty()) return;
    model::Blip blip;
    blip.type = model::BlipTypeOf(data);
    blip.data = std::move(data);
    frame_.picture.blip = static_cast<uint32_t>(book_.blips.size());
    book_.blips.push_back(std::move(blip));
    pending_.push_back(frame_.picture);
    ++pictureCount_;
  }

  double ColumnPoints(uint16_t col) const {
    const Sheet& sheet = book_.sheets.back();
    if (sheet.ColumnHidden(col)) return 0;
    return static_cast<double>(sheet.ColumnWidth(col)) * DigitWidth() / 256 * 72 / 96;
  }
  double RowPoints(uint32_t row) const {
    const Sheet& sheet = book_.sheets.back();
    if (sheet.RowHidden(row)) return 0;
    return sheet.RowHeight(row) / 20.0;
  }

  // Walks `offset` points right (down) from a column (row): the place and the rest in 1/1024
  // (1/256) of the last one.
  template <typename Index, typename Size>
  void Walk(Index& index, double offset, Index max, Size size, uint16_t& fraction, int units) {
    for (int steps = 0; steps < 100000 && index < max; ++steps) {
      const double s = size(index);
      if (offset < s) break;
      offset -= s;
      ++index;
    }
    const double s = size(index);
    fraction = static_cast<uint16_t>(s > 0 ? std::clamp(offset / s * units, 0.0, units - 1.0) : 0);
  }

  void PlacePictures() {
    Sheet& sheet = CurrentSheet();
    auto colSize = [this](uint16_t c) { return ColumnPoints(c); };
    auto rowSize = [this](uint32_t r) { return RowPoints(r); };
    for (const PendingPicture& p : pending_) {
      model::Picture pic;
      pic.blip = p.blip;
      pic.name = p.name;
      pic.col1 = p.col;
      pic.row1 = p.row;
      Walk(pic.col1, p.x, kMaxColumn, colSize, pic.dx1, 1024);
      Walk(pic.row1, p.y, kMaxRow, rowSize, pic.dy1, 256);
      if (p.hasEnd) {
        pic.col2 = p.endCol;
        pic.row2 = p.endRow;
        Walk(pic.col2, p.endX, kMaxColumn, colSize, pic.dx2, 1024);
        Walk(pic.row2, p.endY, kMaxRow, rowSize, pic.dy2, 256);
      } else {
        pic.col2 = p.col;
        pic.row2 = p.row;
        Walk(pic.col2, p.x + p.width, kMaxColumn, colSize, pic.dx2, 1024);
        Walk(pic.row2, p.y + p.height, kMaxRow, rowSize, pic.dy2, 256);
      }
      sheet.pictures.push_back(std::move(pic));
    }
    pending_.clear();
  }

  void EndTable() {
    inTable_ = false;
    inShapes_ = false;
    Sheet& sheet = CurrentSheet();
    sheet.Normalize();
    if (sheet.cells.capacity() / 2 > sheet.cells.size()) sheet.cells.shrink_to_fit();
    if (!sheet.cells.empty()) {
      sheet.hasDimensions = true;
      sheet.dimensions = {sheet.cells.front().row, sheet.cells.back().row, kMaxColumn, 0};
      for (const Cell& c : sheet.cells) {
        sheet.dimensions.firstCol = std::min(sheet.dimensions.firstCol, c.col);
        sheet.dimensions.lastCol = std::max(sheet.dimensions.lastCol, c.col);
      }
    }
    KeepRowFormats();
    PlacePictures();
  }

  model::Workbook& book_;
  const PartReader* parts_;
  const PictureReader* pictures_;
  size_t expectedCells_ = 0;
  bool sawRoot_ = false, sawSpreadsheet_ = false;
  std::string root_;

  // styles
  bool inStyles_ = false, capture_ = false;
  XmlTreeBuilder tree_;
  std::unordered_map<std::string, std::pair<std::string, std::string>>
      fontFaces_;  // family, generic
  std::unordered_map<std::string, XmlNode> dataStyles_;
  std::unordered_map<std::string, StyleDef> styles_, defaults_;
  std::unordered_map<std::string, std::string> formats_;
  std::unordered_map<std::string, uint16_t> cellStyles_;
  std::map<std::pair<uint16_t, std::string>, uint16_t> derived_;

  // tables
  bool inTable_ = false;
  int tableDepth_ = 0, nested_ = 0;
  uint64_t row_ = 0, col_ = 0, nextColumn_ = 0, rowRepeat_ = 1, cellRepeat_ = 1;
  uint64_t cellCount_ = 0;
  size_t cellBudget_ = model::kMaxWorkbookCells;  // cells of the whole workbook
  size_t pictureCount_ = 0;
  std::vector<ColumnDefault> columnDefaults_;
  std::string rowDefaultStyle_;
  model::RowInfo rowInfo_;
  std::vector<RowRun> rowRuns_;
  bool rowHasInfo_ = false;
  std::vector<Cell> rowCells_;    // values of the row being read
  std::vector<Cell> rowFormats_;  // blank cells kept for their format

  // the cell being read
  bool inCell_ = false, coveredCell_ = false, inParagraph_ = false, hasText_ = false;
  bool inShapes_ = false, inLink_ = false, inAnnotation_ = false, inFrame_ = false;
  int frameDepth_ = 0;
  size_t paragraphs_ = 0, annotationParagraphs_ = 0;
  TextTarget textTarget_ = TextTarget::None;
  struct CellAttributes {
    std::string style, type, value, date, time, boolean, string, calcType, spanCols, spanRows;
    bool hasString = false, formula = false;
  } cell_;
  std::string cellText_, linkHref_, linkText_, annotationText_, annotationAuthor_, binary_;
  std::vector<std::pair<std::string, std::string>> links_;  // href, text
  std::vector<std::string> spans_;                          // the open text spans' styles
  std::vector<std::pair<uint32_t, std::string>> runMarks_;  // see MarkRun
  std::unordered_map<std::string, uint16_t> spanFonts_;
  Frame frame_;
  std::vector<PendingPicture> pending_;
  std::unordered_map<std::string, uint32_t> blipOfPart_;
};

// Whether the manifest says that a part is encrypted.
class ManifestReader final : public XmlHandler {
 public:
  void Start(std::string_view name, std::span<const XmlAttribute> attributes) override {
    if (name == "manifest:encryption-data") encrypted = true;
    if (name == "manifest:file-entry") {
      const std::string_view path = Attribute(attributes, "manifest:full-path");
      if (path == "styles.xml") listsStyles = true;
    }
  }
  void End(std::string_view) override {}
  void Text(std::string_view) override {}
  bool encrypted = false;
  bool listsStyles = false;
};

void Finish(model::Workbook& book) {
  if (book.sheets.empty()) Damaged("the spreadsheet has no tables");
  book.lastGridRow = kMaxRow;
  book.lastGridColumn = kMaxColumn;
}

}  // namespace

bool IsOpenDocument(const container::Zip& zip) {
  if (const container::Zip::Entry* mimetype = zip.Find("mimetype")) {
    if (mimetype->size <= 256) {
      try {
        std::vector<uint8_t> bytes = zip.Read(*mimetype);
        std::string_view type(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        while (!type.empty() &&
               (type.back() == '\n' || type.back() == '\r' || type.back() == ' ')) {
          type.remove_suffix(1);
        }
        return type == kSpreadsheetType || type == kTemplateType;
      } catch (const container::ContainerError&) {
        return false;
      }
    }
    return false;
  }
  // No mimetype entry: a content.xml with a spreadsheet body says it too.
  return zip.Find("content.xml") != nullptr && zip.Find("[Content_Types].xml") == nullptr;
}

model::Workbook ReadOpenDocumentParts(const PartReader& parts, const PartStreamer* stream,
                                      uint64_t contentBytes, const PictureReader* pictures,
                                      uint64_t fileBytes) {
  bool listsStyles = false;
  if (auto manifest = parts("META-INF/manifest.xml")) {
    ManifestReader reader;
    ParseXml(*manifest, reader);
    if (reader.encrypted) {
      throw ReadError(
          "The workbook is encrypted: password-protected OpenDocument files are not read");
    }
    listsStyles = reader.listsStyles;
  }
  model::Workbook book;
  DocumentReader reader(book, &parts, pictures);
  if (fileBytes > 0) reader.FileBytes(fileBytes);
  if (auto styles = parts("styles.xml")) {
    reader.Read(*styles, "styles.xml");
  } else if (listsStyles) {
    Damaged("the part styles.xml, which the manifest lists, is missing");
  }
  reader.ExpectBytes(contentBytes);
  if (stream) {
    // The content, by far the largest part, is parsed as it unpacks.
    XmlStream xml(reader);
    const bool found =
        (*stream)("content.xml", [&xml](std::span<const uint8_t> piece) { xml.Feed(piece); });
    if (!found) Damaged("the package has no content.xml");
    DocumentReader::Check(xml.Finish(), "content.xml");
  } else {
    auto content = parts("content.xml");
    if (!content) Damaged("the package has no content.xml");
    reader.Read(*content, "content.xml");
  }
  if (!reader.SawSpreadsheet()) {
    throw ReadError("Not a workbook: the package is an OpenDocument file but no spreadsheet");
  }
  Finish(book);
  return book;
}

model::Workbook ReadOpenDocumentPackage(const container::Zip& zip) {
  const PartReader parts = [&zip](std::string_view name) -> std::optional<std::vector<uint8_t>> {
    const container::Zip::Entry* entry = zip.Find(name);
    if (!entry) return std::nullopt;
    try {
      return zip.Read(*entry);
    } catch (const container::ContainerError& e) {
      Damaged(std::string(name) + ": " + e.what());
    }
  };
  const PartStreamer stream = [&zip](std::string_view name, const PartSink& sink) {
    const container::Zip::Entry* entry = zip.Find(name);
    if (!entry) return false;
    try {
      zip.ReadTo(*entry, sink);
    } catch (const container::ContainerError& e) {
      Damaged(std::string(name) + ": " + e.what());
    }
    return true;
  };
  // Pictures are unpacked once to be checked and to tell their kind, and stay packed until their
  // page is written; all together they unpack to at most the budget of the file's size.
  uint64_t budget = model::PictureBudget(zip.Size());
  const PictureReader pictures = [&zip,
                                  &budget](std::string_view name) -> std::optional<model::Blip> {
    const container::Zip::Entry* entry = zip.Find(name);
    if (!entry) return std::nullopt;
    if (entry->size > budget) {
      throw ReadError("The workbook is too large: its pictures unpack to more than " +
                      std::to_string(model::PictureBudget(zip.Size()) >> 20) +
                      " MB, the most for a file of its size (16 times its size plus 16 MB)");
    }
    budget -= entry->size;
    model::Blip blip;
    std::vector<uint8_t> head;  // enough to tell the kind of picture
    try {
      zip.ReadTo(*entry, [&head](std::span<const uint8_t> piece) {
        piece = piece.first(std::min<size_t>(64 - std::min<size_t>(head.size(), 64), piece.size()));
        head.insert(head.end(), piece.begin(), piece.end());
      });
      auto packed = std::make_shared<const container::Zip::Packed>(zip.Pack(*entry));
      blip.unpack = [packed](const model::ByteSink& sink) { packed->UnpackTo(sink); };
    } catch (const container::ContainerError& e) {
      Damaged(std::string(name) + ": " + e.what());
    }
    blip.type = model::BlipTypeOf(head);
    blip.size = entry->size;
    return blip;
  };
  const container::Zip::Entry* content = zip.Find("content.xml");
  return ReadOpenDocumentParts(parts, &stream, content ? content->size : 0, &pictures, zip.Size());
}

model::Workbook ReadFlatOpenDocument(std::span<const uint8_t> bytes) {
  model::Workbook book;
  DocumentReader reader(book, nullptr);
  reader.ExpectBytes(bytes.size());
  reader.FileBytes(bytes.size());
  reader.Read(bytes, "the document");
  if (!reader.SawSpreadsheet()) throw ReadError(container::NotAWorkbook(bytes));
  Finish(book);
  return book;
}

}  // namespace quillane::ods
