#include "spreadsheet/ooxml/WorkbookReader.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <functional>
#include <cmath>
#include <map>
#include <optional>
#include <unordered_map>

#include "spreadsheet/container/CompoundFile.h"
#include "spreadsheet/container/Detect.h"
#include "spreadsheet/container/Zip.h"
#include "spreadsheet/format/DateSerial.h"
#include "spreadsheet/format/NumberFormat.h"
#include "spreadsheet/model/Limits.h"
#include "spreadsheet/ooxml/CellRefs.h"
#include "spreadsheet/ooxml/Charts.h"
#include "spreadsheet/ooxml/ConditionalFormats.h"
#include "spreadsheet/ooxml/Encryption.h"
#include "spreadsheet/ooxml/StyleNames.h"
#include "spreadsheet/ooxml/Xml.h"
#include "support/Utf8.h"

namespace quillane::ooxml {

namespace {

using model::Cell;
using model::CellType;
using model::Color;
using model::ReadError;
using model::Sheet;

constexpr const char* kWrongPassword =
    "The workbook is password-protected and the password did not open it";

// Charts of one sheet.
constexpr size_t kMaxSheetCharts = 4096;

[[noreturn]] void Damaged(const std::string& what) {
  throw ReadError("The workbook is damaged: " + what);
}

// A container's message inside ours: "The zip archive is damaged: ..." -> "the zip archive ...".
std::string Inner(const char* message) {
  std::string text(message);
  if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z')
    text[0] = static_cast<char>(text[0] - 'A' + 'a');
  return text;
}

bool EndsWith(std::string_view s, std::string_view tail) {
  return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

// ---- Parts and relationships.

std::string FolderOf(std::string_view part) {
  const size_t slash = part.rfind('/');
  return slash == std::string_view::npos ? std::string() : std::string(part.substr(0, slash + 1));
}

// A relationship target taken against the folder of the part that names it: "../media/a.png"
// from "xl/drawings/drawing1.xml" is "xl/media/a.png"; "/xl/x.xml" is from the package's root.
std::string ResolveTarget(std::string_view source, std::string_view target) {
  std::string joined = !target.empty() && target.front() == '/'
                           ? std::string(target.substr(1))
                           : FolderOf(source) + std::string(target);
  std::vector<std::string> parts;
  size_t at = 0;
  while (at <= joined.size()) {
    size_t slash = joined.find('/', at);
    if (slash == std::string::npos) slash = joined.size();
    std::string piece = joined.substr(at, slash - at);
    if (piece == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!piece.empty() && piece != ".") {
      parts.push_back(std::move(piece));
    }
    at = slash + 1;
  }
  std::string out;
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i) out += '/';
    out += parts[i];
  }
  return out;
}

std::string RelsOf(std::string_view part) {
  const size_t slash = part.rfind('/');
  const std::string folder =
      slash == std::string_view::npos ? "" : std::string(part.substr(0, slash + 1));
  const std::string name(slash == std::string_view::npos ? part : part.substr(slash + 1));
  return folder + "_rels/" + name + ".rels";
}

struct Relationship {
  std::string type;    // the full type URI; compared by its last segment
  std::string target;  // resolved part name, or the external target as written
  bool external = false;
};

using Relationships = std::unordered_map<std::string, Relationship>;

// The last segment of a relationship type ("worksheet" of ".../relationships/worksheet").
std::string_view TypeName(std::string_view type) {
  const size_t slash = type.rfind('/');
  return slash == std::string_view::npos ? type : type.substr(slash + 1);
}

class Package {
 public:
  explicit Package(const container::Zip& zip) : zip_(zip) {}

  // Part names compare without regard to case and separator (the zip's own loose match).
  const container::Zip::Entry* Find(std::string_view name) const { return zip_.Find(name); }

  std::optional<std::vector<uint8_t>> Read(std::string_view name) const {
    const auto* e = Find(name);
    if (e == nullptr) return std::nullopt;
    try {
      return zip_.Read(*e);
    } catch (const container::ContainerError& err) {
      Damaged(Inner(err.what()));
    }
  }

  // Hands a part to `sink` piece by piece as it unpacks; false when there is no such part.
  bool ReadTo(std::string_view name, const container::InflateSink& sink) const {
    const auto* e = Find(name);
    if (e == nullptr) return false;
    try {
      zip_.ReadTo(*e, sink);
    } catch (const container::ContainerError& err) {
      Damaged(Inner(err.what()));
    }
    return true;
  }

  Relationships Rels(std::string_view part) const;

  // An entry's packed bytes, to be unpacked later.
  container::Zip::Packed Pack(const container::Zip::Entry& entry) const {
    try {
      return zip_.Pack(entry);
    } catch (const container::ContainerError& err) {
      Damaged(Inner(err.what()));
    }
  }
  uint64_t Bytes() const { return zip_.Size(); }

 private:
  const container::Zip& zip_;
};

class RelsHandler : public XmlHandler {
 public:
  RelsHandler(std::string_view source, Relationships& out) : source_(source), out_(out) {}
  void Start(std::string_view name, const Attrs& a) override {
    if (name != "Relationship") return;
    Relationship rel;
    rel.type = a.View("Type");
    rel.external = a.View("TargetMode") == "External";
    const std::string_view target = a.View("Target");
    rel.target = rel.external ? std::string(target) : ResolveTarget(source_, target);
    out_.emplace(std::string(a.View("Id")), std::move(rel));
  }

 private:
  std::string_view source_;
  Relationships& out_;
};

Relationships Package::Rels(std::string_view part) const {
  Relationships rels;
  const std::string name = RelsOf(part);
  if (auto bytes = Read(name)) {
    RelsHandler handler(part, rels);
    ParseXml(*bytes, handler, name);
  }
  return rels;
}

const Relationship* FirstOfType(const Relationships& rels, std::string_view typeName) {
  const Relationship* found = nullptr;
  for (const auto& [id, rel] : rels) {
    // The first target in name order, so the choice does not depend on the map's order.
    if (TypeName(rel.type) == typeName && (found == nullptr || rel.target < found->target))
      found = &rel;
  }
  return found;
}

// ---- Text.

size_t CodePoints(std::string_view utf8) {
  size_t n = 0;
  for (unsigned char c : utf8) n += (c & 0xC0) != 0x80;
  return n;
}

using support::AppendUtf8;

int Hex(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Characters XML cannot carry are written "_xHHHH_" (UTF-16 code units; "_x005F_" is "_").
std::string DecodeEscapes(std::string text) {
  if (text.find("_x") == std::string::npos) return text;
  std::string out;
  out.reserve(text.size());
  uint32_t high = 0;  // a pending high surrogate
  for (size_t i = 0; i < text.size();) {
    uint32_t unit = 0;
    bool escape =
        i + 7 <= text.size() && text[i] == '_' && text[i + 1] == 'x' && text[i + 6] == '_';
    for (size_t k = 2; escape && k < 6; ++k) {
      const int h = Hex(text[i + k]);
      if (h < 0) escape = false;
      unit = unit * 16 + static_cast<uint32_t>(h < 0 ? 0 : h);
    }
    if (!escape) {
      if (high) AppendUtf8(out, 0xFFFD), high = 0;
      out += text[i++];
      continue;
    }
    i += 7;
    if (unit >= 0xD800 && unit < 0xDC00) {
      if (high) AppendUtf8(out, 0xFFFD);
      high = unit;
    } else if (unit >= 0xDC00 && unit < 0xE000) {
      AppendUtf8(out, high ? 0x10000 + ((high - 0xD800) << 10) + (unit - 0xDC00) : 0xFFFD);
      high = 0;
    } else {
      if (high) AppendUtf8(out, 0xFFFD), high = 0;
      AppendUtf8(out, unit);
    }
  }
  if (high) AppendUtf8(out, 0xFFFD);
  return out;
}

// ---- Colours.

struct ColorSpec {
  enum Kind : uint8_t { None, Auto, Rgb, Indexed, Theme } kind = None;
  uint32_t value = 0;
  double tint = 0;

  static ColorSpec From(const Attrs& a) {
    ColorSpec c;
    c.tint = a.Number("tint", 0);
    if (a.Bool("auto", false)) {
      c.kind = Auto;
    } else if (const char* rgb = a.Get("rgb")) {
      std::string_view v(rgb);
      uint32_t x = 0;
      auto [p, ec] = std::from_chars(v.data(), v.data() + v.size(), x, 16);
      (void)p;
      if (ec == std::errc()) {
        c.kind = Rgb;
        c.value = x & 0xFFFFFF;
      }
    } else if (a.Has("indexed")) {
      c.kind = Indexed;
      c.value = static_cast<uint32_t>(std::clamp<int64_t>(a.Int("indexed", 64), 0, 0xFFFF));
    } else if (a.Has("theme")) {
      c.kind = Theme;
      c.value = static_cast<uint32_t>(std::clamp<int64_t>(a.Int("theme", 1), 0, 0xFFFF));
    }
    return c;
  }
};

// The colour scheme of the theme in its own order: dk1, lt1, dk2, lt2, accent1-6, hlink, folHlink.
using Scheme = std::array<uint32_t, 12>;
constexpr Scheme kDefaultScheme = {0x000000, 0xFFFFFF, 0x44546A, 0xE7E6E6, 0x4472C4, 0xED7D31,
                                   0xA5A5A5, 0xFFC000, 0x5B9BD5, 0x70AD47, 0x0563C1, 0x954F72};

class ThemeHandler : public XmlHandler {
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

// ---- Fonts (of the styles and of rich-text runs).

struct RawFont {
  model::Font font;
  ColorSpec color;
};

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

// ---- Styles.

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

uint8_t PatternNumber(std::string_view v) {
  static constexpr std::array<std::string_view, 19> kNames = {
      "none",           "solid",           "mediumGray",    "darkGray",  "lightGray",
      "darkHorizontal", "darkVertical",    "darkDown",      "darkUp",    "darkGrid",
      "darkTrellis",    "lightHorizontal", "lightVertical", "lightDown", "lightUp",
      "lightGrid",      "lightTrellis",    "gray125",       "gray0625"};
  for (size_t i = 0; i < kNames.size(); ++i) {
    if (v == kNames[i]) return static_cast<uint8_t>(i);
  }
  return 0;
}

class StylesHandler : public XmlHandler {
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
        fills.back().pattern = a.Has("patternType") ? PatternNumber(a.View("patternType")) : 0;
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

// ---- Sheets.

// An ISO 8601 date and time ("2024-03-01T12:30:00") as a date serial.
std::optional<double> IsoSerial(std::string_view s, bool date1904) {
  int y = 0, mo = 1, d = 1, h = 0, mi = 0;
  double sec = 0;
  auto num = [&](size_t at, size_t len, int& out) {
    if (at + len > s.size()) return false;
    return std::from_chars(s.data() + at, s.data() + at + len, out).ec == std::errc();
  };
  size_t t = 0;
  if (s.size() >= 10 && s[4] == '-' && s[7] == '-') {
    if (!num(0, 4, y) || !num(5, 2, mo) || !num(8, 2, d)) return std::nullopt;
    t = s.size() > 10 && s[10] == 'T' ? 11 : s.size();
  } else {
    y = date1904 ? 1904 : 1899, mo = date1904 ? 1 : 12, d = date1904 ? 1 : 31;  // a time alone
  }
  if (t + 5 <= s.size() && s[t + 2] == ':') {
    if (!num(t, 2, h) || !num(t + 3, 2, mi)) return std::nullopt;
    if (t + 6 <= s.size() && s[t + 5] == ':')
      std::from_chars(s.data() + t + 6, s.data() + s.size(), sec);
  }
  if (mo < 1 || mo > 12 || d < 1 || d > 31) return std::nullopt;
  double serial =
      format::SerialOfDays(static_cast<double>(format::DaysFromCivil(y, mo, d)), date1904);
  if (!date1904 && serial < 1 && y <= 1899) serial = 0;
  return serial + (h * 3600 + mi * 60 + sec) / 86400.0;
}

struct SheetLinks {
  std::string drawing;  // relationship id of the drawing
  std::string legacy;   // relationship id of the legacy drawing (the comments' shapes)
  struct Link {
    model::Range range;
    std::string id, location, display, tooltip;
  };
  std::vector<Link> links;
};

class SheetHandler : public XmlHandler {
 public:
  SheetHandler(model::Workbook& book, Sheet& sheet, size_t sharedCount, size_t& bookCells,
               size_t styleCount)
      : book_(book),
        sheet_(sheet),
        shared_(sharedCount),
        bookCells_(bookCells),
        styles_(styleCount) {}
  SheetLinks links;
  ConditionalFormatReader* condFormats = nullptr;
  size_t cellBudget = model::kMaxWorkbookCells;  // cells of the whole workbook

  void Start(std::string_view name, const Attrs& a) override {
    if (!sawRoot_) {
      // A sheet's relationship that leads to a part of another kind is damage.
      sawRoot_ = true;
      if (name != "worksheet") {
        Damaged("the part of sheet \"" + sheet_.name + "\" is not a worksheet but a \"" +
                std::string(name) + "\"");
      }
    }
    if (condFormats && !inCell_ && condFormats->Start(name, a)) return;
    if (inCell_) {
      if (name == "v") {
        text_.clear();
        collect_ = true;
      } else if (name == "f") {
        cell_.formula = true;
      } else if (name == "t" && inInline_ && phonetic_ == 0) {
        collect_ = true;
      } else if (name == "is") {
        inInline_ = true;
        text_.clear();
      } else if (name == "rPh") {
        ++phonetic_;
      }
      return;
    }
    if (name == "c") {
      StartCell(a);
    } else if (name == "row") {
      // Rows without a number follow the one before.
      const int64_t r = a.Int("r", int64_t{row_} + 2);
      row_ = static_cast<uint32_t>(
          std::clamp<int64_t>(r >= 1 ? r - 1 : int64_t{row_} + 1, 0, 0xFFFFFFF));
      nextCol_ = 0;
      if (static_cast<uint32_t>(row_) > model::kMaxRowXlsx) return;
      const bool hidden = a.Bool("hidden", false);
      const bool custom = a.Bool("customHeight", false);
      const bool styled = a.Bool("customFormat", false);
      if (a.Has("ht") || hidden || styled) {
        model::RowInfo& info = sheet_.rows[static_cast<uint32_t>(row_)];
        info.height = a.Has("ht") ? Twips(a.Number("ht", 15)) : sheet_.defaultRowHeight;
        info.hidden = hidden;
        info.customHeight = custom;
        if (styled) {
          info.hasStyle = true;
          info.style = Style(a.Int("s", 0));
        }
      }
    } else if (name == "col") {
      const int64_t first = a.Int("min", 1), last = a.Int("max", first);
      if (first < 1 || last < first || first > model::kMaxColumnXlsx + 1) return;
      model::ColumnInfo info;
      info.first = static_cast<uint16_t>(first - 1);
      info.last = static_cast<uint16_t>(std::min<int64_t>(last - 1, model::kMaxColumnXlsx));
      const double width =
          a.Number("width", sheet_.standardWidth ? sheet_.standardWidth / 256.0
                                                 : sheet_.defaultColWidth + 5.0 / 7);
      info.width = static_cast<uint16_t>(std::clamp(std::lround(width * 256), 0L, 65535L));
      info.hidden = a.Bool("hidden", false) || (a.Has("width") && width == 0);
      info.style = Style(a.Int("style", 0));
      info.outlineLevel = static_cast<uint8_t>(std::clamp<int64_t>(a.Int("outlineLevel", 0), 0, 7));
      if (sheet_.columns.size() < model::kMaxColumnXlsx + 1) sheet_.columns.push_back(info);
    } else if (name == "sheetFormatPr") {
      if (a.Has("baseColWidth")) {
        sheet_.defaultColWidth =
            static_cast<uint16_t>(std::clamp<int64_t>(a.Int("baseColWidth", 8), 0, 255));
      }
      if (a.Has("defaultColWidth")) {
        sheet_.standardWidth = static_cast<uint16_t>(
            std::clamp(std::lround(a.Number("defaultColWidth", 8) * 256), 0L, 65535L));
      }
      if (a.Has("defaultRowHeight"))
        sheet_.defaultRowHeight = Twips(a.Number("defaultRowHeight", 15));
      sheet_.defaultRowsHidden = a.Bool("zeroHeight", false);
    } else if (name == "dimension") {
      sheet_.hasDimensions = ParseRange(a.View("ref"), sheet_.dimensions);
    } else if (name == "sheetView") {
      if (!sawView_) sheet_.showGridlines = a.Bool("showGridLines", true);
      inView_ = !sawView_;
      sawView_ = true;
    } else if (name == "pane" && inView_) {
      const std::string_view state = a.View("state");
      if (state == "frozen" || state == "frozenSplit") {
        sheet_.frozenCols = static_cast<uint16_t>(
            std::clamp<int64_t>(a.Int("xSplit", 0), 0, model::kMaxColumnXlsx));
        sheet_.frozenRows =
            static_cast<uint32_t>(std::clamp<int64_t>(a.Int("ySplit", 0), 0, model::kMaxRowXlsx));
      }
    } else if (name == "mergeCell") {
      model::Range range;
      if (ParseRange(a.View("ref"), range) && sheet_.merged.size() < 1000000)
        sheet_.merged.push_back(range);
    } else if (name == "hyperlink") {
      SheetLinks::Link link;
      if (!ParseRange(a.View("ref"), link.range) || links.links.size() >= 1000000) return;
      link.id = a.View("id");
      link.location = a.View("location");
      link.display = a.View("display");
      link.tooltip = a.View("tooltip");
      links.links.push_back(std::move(link));
    } else if (name == "drawing") {
      links.drawing = a.View("id");
    } else if (name == "legacyDrawing") {
      links.legacy = a.View("id");
    }
  }

  void End(std::string_view name) override {
    if (condFormats && !inCell_ && condFormats->End(name)) return;
    if (!inCell_) {
      if (name == "sheetView") inView_ = false;
      return;
    }
    if (name == "c") {
      EndCell();
    } else if (name == "v" || name == "t") {
      collect_ = false;
    } else if (name == "rPh") {
      --phonetic_;
    }
  }

  void Text(std::string_view text) override {
    if (collect_) text_.append(text);
    if (condFormats && !inCell_) condFormats->Text(text);
  }

 private:
  static uint16_t Twips(double points) {
    return static_cast<uint16_t>(std::clamp(std::lround(points * 20), 0L, 8192L));
  }
  uint16_t Style(int64_t s) const {
    return s > 0 && static_cast<size_t>(s) < styles_ ? static_cast<uint16_t>(s) : 0;
  }

  void StartCell(const Attrs& a) {
    inCell_ = true;
    inInline_ = false;
    collect_ = false;
    phonetic_ = 0;
    text_.clear();
    cell_ = Cell();
    const uint32_t current = static_cast<uint32_t>(std::max(row_, 0));
    uint32_t row = current, col = nextCol_;
    if (const char* ref = a.Get("r")) {
      if (!ParseRef(ref, row, col)) row = current, col = nextCol_;
    }
    valid_ = row <= model::kMaxRowXlsx && col <= model::kMaxColumnXlsx;
    cell_.row = row;
    cell_.col = static_cast<uint16_t>(std::min<uint32_t>(col, 0xFFFF));
    nextCol_ = col + 1;
    row_ = static_cast<int32_t>(std::min<uint32_t>(row, 0xFFFFFFF));
    styled_ = a.Has("s");
    cell_.style = Style(a.Int("s", 0));
    const std::string_view t = a.View("t");
    type_ = t.empty() ? 'n' : t == "inlineStr" ? 'i' : t == "str" ? 'f' : t[0];
  }

  void EndCell() {
    inCell_ = false;
    collect_ = false;
    if (!valid_) return;
    const std::string_view v(text_);
    switch (type_) {
      case 's': {
        uint32_t index = 0;
        if (v.empty()) break;
        const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), index);
        if (ec != std::errc() || end != v.data() + v.size() || index >= shared_) {
          Damaged("a cell of sheet \"" + sheet_.name + "\" names shared string " + std::string(v) +
                  ", but the shared strings part holds " + std::to_string(shared_));
        }
        cell_.type = CellType::String;
        cell_.text = index;
        break;
      }
      case 'i':
      case 'f':
        // Some writers put an inline string's text in <v>.
        if (type_ == 'i' ? inInline_ || !v.empty() : !v.empty() || cell_.formula) {
          cell_.type = CellType::String;
          cell_.text = book_.AddString(DecodeEscapes(text_));
        }
        break;
      case 'b':
        if (!v.empty()) {
          cell_.type = CellType::Boolean;
          cell_.code = v != "0" && v != "false";
        }
        break;
      case 'e':
        if (!v.empty()) {
          cell_.type = CellType::Error;
          cell_.code = model::ErrorCodeOf(v).value_or(0x2A);  // #N/A for an unknown text
        }
        break;
      case 'd':
        if (auto serial = IsoSerial(v, book_.date1904)) {
          cell_.type = CellType::Number;
          cell_.number = *serial;
        }
        break;
      default: {
        if (v.empty()) break;
        double number = 0;
        const char* begin = v.data();
        if (*begin == '+') ++begin;
        auto [p, ec] = std::from_chars(begin, v.data() + v.size(), number);
        if (ec == std::errc() && p == v.data() + v.size() && std::isfinite(number)) {
          cell_.type = CellType::Number;
          cell_.number = number;
        } else if (ec == std::errc::result_out_of_range) {
          cell_.type = CellType::Error;
          cell_.code = 0x24;
        }
        break;
      }
    }
    if (cell_.type == CellType::Blank && !styled_ && !cell_.formula) return;
    if (sheet_.cells.size() >= model::kMaxSheetCells) {
      throw ReadError("The workbook is too large: sheet \"" + sheet_.name + "\" holds more than " +
                      std::to_string(model::kMaxSheetCells) + " cells, the most a sheet may have");
    }
    if (++bookCells_ > cellBudget) throw ReadError(model::CellBudgetText(cellBudget));
    sheet_.cells.push_back(cell_);
  }

  model::Workbook& book_;
  Sheet& sheet_;
  size_t shared_;
  size_t& bookCells_;
  size_t styles_;
  int32_t row_ = -1;  // the row being read; before the first, -1
  uint32_t nextCol_ = 0;
  bool inCell_ = false, inInline_ = false, collect_ = false, valid_ = false, styled_ = false;
  bool sawRoot_ = false;
  bool sawView_ = false, inView_ = false;
  int phonetic_ = 0;
  char type_ = 'n';
  Cell cell_;
  std::string text_;
};

// ---- Shared strings and comments: text with runs.

class SharedStringsHandler : public XmlHandler {
 public:
  using FontOf = std::function<uint16_t(RawFont&)>;
  SharedStringsHandler(model::Workbook& book, FontOf fontOf)
      : book_(book), fontOf_(std::move(fontOf)) {}

  // An item is "si", or "sstItem" in packages written before the format was settled.
  void Start(std::string_view name, const Attrs& a) override {
    if (name == "si" || name == "sstItem") {
      text_.clear();
      runs_.clear();
      inItem_ = true;
    } else if (!inItem_) {
    } else if (name == "rPh") {
      ++phonetic_;
    } else if (phonetic_ > 0) {
    } else if (name == "r") {
      run_ = DefaultRawFont();
      hasProps_ = false;
      inRun_ = true;
      runText_.clear();
    } else if (name == "rPr") {
      hasProps_ = true;
      inProps_ = true;
    } else if (inProps_) {
      ApplyFontElement(name, a, run_);
    } else if (name == "t") {
      collect_ = true;
      piece_.clear();
    }
  }

  void End(std::string_view name) override {
    if (name == "rPh") {
      if (phonetic_ > 0) --phonetic_;
    } else if (phonetic_ > 0) {
    } else if (name == "t" && collect_) {
      collect_ = false;
      const std::string piece = DecodeEscapes(std::move(piece_));
      if (inRun_)
        runText_ += piece;
      else
        text_ += piece;
    } else if (name == "rPr") {
      inProps_ = false;
    } else if (name == "r" && inRun_) {
      inRun_ = false;
      // A first run without properties keeps the cell's font; later ones fall back to font 0.
      if (hasProps_ || !text_.empty()) {
        const uint16_t font = hasProps_ ? fontOf_(run_) : 0;
        const uint32_t first = static_cast<uint32_t>(CodePoints(text_));
        if (runs_.empty() || runs_.back().font != font) {
          if (!runs_.empty() && runs_.back().first == first)
            runs_.back().font = font;
          else
            runs_.push_back({first, font});
        }
      }
      text_ += runText_;
    } else if ((name == "si" || name == "sstItem") && inItem_) {
      inItem_ = false;
      if (book_.strings.size() >= model::kMaxWorkbookCells) {
        throw ReadError("The workbook is too large: it holds more than " +
                        std::to_string(model::kMaxWorkbookCells) + " shared strings");
      }
      const uint32_t index = book_.AddString(std::move(text_));
      if (!runs_.empty()) book_.richText.emplace(index, std::move(runs_));
      text_.clear();
      runs_.clear();
    }
  }

  void Text(std::string_view text) override {
    if (collect_) piece_.append(text);
  }

 private:
  model::Workbook& book_;
  FontOf fontOf_;
  std::string text_, runText_, piece_;
  std::vector<model::TextRun> runs_;
  RawFont run_;
  bool inItem_ = false, inRun_ = false, inProps_ = false, hasProps_ = false, collect_ = false;
  int phonetic_ = 0;
};

class CommentsHandler : public XmlHandler {
 public:
  explicit CommentsHandler(Sheet& sheet) : sheet_(sheet) {}
  void Start(std::string_view name, const Attrs& a) override {
    if (name == "author") {
      collect_ = 1;
      text_.clear();
    } else if (name == "comment") {
      uint32_t row = 0, col = 0;
      valid_ = ParseRef(a.View("ref"), row, col) && row <= model::kMaxRowXlsx &&
               col <= model::kMaxColumnXlsx;
      current_ = model::Comment{row, static_cast<uint16_t>(col), {}, {}};
      const int64_t author = a.Int("authorId", -1);
      if (author >= 0 && static_cast<size_t>(author) < authors_.size())
        current_.author = authors_[static_cast<size_t>(author)];
      text_.clear();
    } else if (name == "rPh") {
      ++phonetic_;
    } else if (name == "t" && phonetic_ == 0) {
      collect_ = 2;
    }
  }
  void End(std::string_view name) override {
    if (name == "author" && collect_ == 1) {
      authors_.push_back(DecodeEscapes(std::move(text_)));
      collect_ = 0;
    } else if (name == "t") {
      if (collect_ == 2) collect_ = 0;
    } else if (name == "rPh") {
      if (phonetic_ > 0) --phonetic_;
    } else if (name == "comment" && valid_ && sheet_.comments.size() < 1000000) {
      current_.text = DecodeEscapes(std::move(text_));
      sheet_.comments.push_back(std::move(current_));
    }
  }
  void Text(std::string_view text) override {
    if (collect_) text_.append(text);
  }

 private:
  Sheet& sheet_;
  std::vector<std::string> authors_;
  model::Comment current_;
  std::string text_;
  int collect_ = 0, phonetic_ = 0;
  bool valid_ = false;
};

// ---- Drawings.

struct Anchor {
  enum Kind { TwoCell, OneCell, Absolute } kind = TwoCell;
  int64_t fromCol = 0, fromColOff = 0, fromRow = 0, fromRowOff = 0;
  int64_t toCol = 0, toColOff = 0, toRow = 0, toRowOff = 0;
  int64_t x = 0, y = 0, cx = 0, cy = 0;
  std::string embed, chart, name;  // a picture's or a chart's relationship id
};

class DrawingHandler : public XmlHandler {
 public:
  std::vector<Anchor> anchors;

  void Start(std::string_view name, const Attrs& a) override {
    ++depth_;
    if (name == "twoCellAnchor" || name == "oneCellAnchor" || name == "absoluteAnchor") {
      current_ = Anchor();
      current_.kind = name == "twoCellAnchor"   ? Anchor::TwoCell
                      : name == "oneCellAnchor" ? Anchor::OneCell
                                                : Anchor::Absolute;
      anchorDepth_ = depth_;
      return;
    }
    if (anchorDepth_ == 0) return;
    if (depth_ == anchorDepth_ + 1) {
      if (name == "from")
        where_ = 1;
      else if (name == "to")
        where_ = 2;
      else if (name == "ext")
        current_.cx = a.Int("cx", 0), current_.cy = a.Int("cy", 0);
      else if (name == "pos")
        current_.x = a.Int("x", 0), current_.y = a.Int("y", 0);
      else
        where_ = 0;
    } else if (where_ && depth_ == anchorDepth_ + 2) {
      field_ = name == "col"      ? 0
               : name == "colOff" ? 1
               : name == "row"    ? 2
               : name == "rowOff" ? 3
                                  : -1;
      text_.clear();
    } else if (name == "blip" && current_.embed.empty()) {
      current_.embed = a.View("embed");
    } else if (name == "chart" && current_.chart.empty()) {
      current_.chart = a.View("id");
    } else if (name == "cNvPr" && current_.name.empty()) {
      current_.name = a.View("name");
    }
  }
  void End(std::string_view name) override {
    if (anchorDepth_ != 0 && depth_ == anchorDepth_ + 2 && where_ && field_ >= 0) {
      int64_t v = 0;
      std::from_chars(text_.data(), text_.data() + text_.size(), v);
      int64_t* fields = where_ == 1 ? &current_.fromCol : &current_.toCol;
      fields[field_] = v;
      field_ = -1;
    }
    if (depth_ == anchorDepth_ + 1) where_ = 0;
    if (depth_ == anchorDepth_ &&
        (name == "twoCellAnchor" || name == "oneCellAnchor" || name == "absoluteAnchor")) {
      if ((!current_.embed.empty() || !current_.chart.empty()) && anchors.size() < 65536)
        anchors.push_back(current_);
      anchorDepth_ = 0;
    }
    --depth_;
  }
  void Text(std::string_view text) override {
    if (field_ >= 0 && text_.size() < 64) text_.append(text);
  }

 private:
  Anchor current_;
  int depth_ = 0, anchorDepth_ = 0, where_ = 0, field_ = -1;
  std::string text_;
};

// ---- The reader.

class Reader {
 public:
  explicit Reader(const container::Zip& zip) : package_(zip) {}

  model::Workbook Read() {
    const std::string main = MainPart();
    if (EndsWith(Lower(main), ".bin")) {
      throw ReadError(
          "Not a workbook this version reads: the file is a binary workbook (.xlsb), "
          "which is not supported");
    }
    auto workbookXml = package_.Read(main);
    if (!workbookXml) Damaged("the workbook part " + main + " is missing");
    // The workbook's relationships lead to its sheets, strings and styles: without them every
    // page would be empty.
    if (package_.Find(RelsOf(main)) == nullptr)
      Damaged("the workbook's relationships part " + RelsOf(main) + " is missing");
    const Relationships rels = package_.Rels(main);

    WorkbookHandler wb;
    ParseXml(*workbookXml, wb, main);
    workbookXml.reset();
    book_.date1904 = wb.date1904;
    book_.lastGridRow = model::kMaxRowXlsx;
    book_.lastGridColumn = model::kMaxColumnXlsx;

    if (const Relationship* theme = FirstOfType(rels, "theme")) {
      const auto bytes = Named(theme->target, "theme");
      ThemeHandler handler(scheme_);
      ParseXml(*bytes, handler, theme->target);
    }
    ReadStyles(rels);
    if (const Relationship* sst = FirstOfType(rels, "sharedStrings")) {
      // Parsed as it unpacks, as the sheets are: a part of many strings is never held whole.
      SharedStringsHandler handler(book_, [this](RawFont& f) { return AddFont(f); });
      XmlFeed feed(handler, sst->target);
      if (!package_.ReadTo(sst->target,
                           [&feed](std::span<const uint8_t> piece) { feed.Feed(piece); })) {
        Damaged("the shared strings part " + sst->target + " is missing");
      }
      feed.Finish();
    }
    const size_t shared = book_.strings.size();

    for (const auto& entry : wb.sheets) {
      Sheet& sheet = book_.sheets.emplace_back();
      sheet.name = entry.name;
      sheet.visibility = entry.state == "hidden"       ? model::Visibility::Hidden
                         : entry.state == "veryHidden" ? model::Visibility::VeryHidden
                                                       : model::Visibility::Visible;
      if (entry.id.empty()) {
        // Listed without a part of its own: a module of macros, not a worksheet.
        sheet.type = model::SheetType::Module;
        continue;
      }
      auto rel = rels.find(entry.id);
      if (rel == rels.end()) {
        Damaged("sheet \"" + entry.name + "\" names the relationship \"" + entry.id +
                "\", which the workbook's relationships do not hold");
      }
      const std::string_view type = TypeName(rel->second.type);
      sheet.type = type == "chartsheet"    ? model::SheetType::Chart
                   : type == "dialogsheet" ? model::SheetType::Dialog
                   : type == "xlMacrosheet" || type == "xlIntlMacrosheet"
                       ? model::SheetType::Macro
                       : model::SheetType::Worksheet;
      if (sheet.type != model::SheetType::Worksheet) continue;
      if (rel->second.external || Lower(rel->second.target) == Lower(main)) {
        Damaged("sheet \"" + entry.name + "\" does not lead to a sheet part of the package");
      }
      ReadSheet(sheet, rel->second.target, shared);
    }
    if (book_.sheets.empty()) Damaged("the workbook has no sheets");
    ResolveChartReferences(book_);
    return std::move(book_);
  }

 private:
  struct WorkbookHandler : XmlHandler {
    struct Entry {
      std::string name, state, id;
    };
    std::vector<Entry> sheets;
    bool date1904 = false;
    void Start(std::string_view name, const Attrs& a) override {
      if (name == "workbookPr") {
        date1904 = a.Bool("date1904", false);
      } else if (name == "sheet" && sheets.size() < 65535) {
        sheets.push_back(
            {std::string(a.View("name")), std::string(a.View("state")), std::string(a.View("id"))});
      }
    }
  };

  std::string MainPart() const {
    const Relationships root = package_.Rels("");
    if (const Relationship* doc = FirstOfType(root, "officeDocument")) return doc->target;
    for (const char* name : {"xl/workbook.xml", "xl/workbook.bin"}) {
      if (package_.Find(name)) return name;
    }
    Damaged("the package names no workbook part");
  }

  // A part that a relationship names: missing, it is damage.
  std::optional<std::vector<uint8_t>> Named(const std::string& part, std::string_view kind) const {
    auto bytes = package_.Read(part);
    if (!bytes) Damaged("the " + std::string(kind) + " part " + part + " is missing");
    return bytes;
  }

  Color Resolve(const ColorSpec& c) const {
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

  ColorOf ColorOfAttrs() const {
    return [this](const Attrs& a) { return Resolve(ColorSpec::From(a)); };
  }

  uint16_t AddFont(RawFont& f) {
    f.font.color = Resolve(f.color);
    if (book_.fonts.size() >= 0xFFFF) return 0;
    book_.fonts.push_back(f.font);
    return static_cast<uint16_t>(book_.fonts.size() - 1);
  }

  void ReadStyles(const Relationships& rels) {
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

  void ReadSheet(Sheet& sheet, const std::string& part, size_t shared) {
    if (package_.Find(part) == nullptr) Damaged("the sheet part " + part + " is missing");
    // Without a stated default, rows are as high as the default font needs (15 points for 11).
    sheet.defaultRowHeight = static_cast<uint16_t>(
        std::clamp<long>(std::lround(book_.fonts.at(0).height * 300.0 / 220), 20, 8192));
    SheetHandler handler(book_, sheet, shared, cells_, book_.styles.size());
    handler.cellBudget = model::CellBudget(package_.Bytes());
    ConditionalFormatReader condFormats(sheet, dxfs_, ColorOfAttrs());
    handler.condFormats = &condFormats;
    // The sheet, the largest part, is parsed as it unpacks.
    XmlFeed feed(handler, part);
    package_.ReadTo(part, [&feed](std::span<const uint8_t> piece) { feed.Feed(piece); });
    feed.Finish();
    std::sort(
        sheet.columns.begin(), sheet.columns.end(),
        [](const model::ColumnInfo& a, const model::ColumnInfo& b) { return a.first < b.first; });
    // Overlapping ranges: the later start cuts the earlier one short.
    std::vector<model::ColumnInfo> columns;
    for (const auto& c : sheet.columns) {
      if (!columns.empty() && columns.back().last >= c.first) {
        if (columns.back().first == c.first)
          columns.pop_back();
        else
          columns.back().last = static_cast<uint16_t>(c.first - 1);
      }
      columns.push_back(c);
    }
    sheet.columns = std::move(columns);
    sheet.Normalize();

    const Relationships rels = package_.Rels(part);
    // A relationship the sheet uses but its relationships do not hold is damage: the drawing,
    // comments or link it leads to would silently be missing.
    auto held = [&](const std::string& id, std::string_view what) {
      if (id.empty() || rels.count(id)) return;
      Damaged("sheet \"" + sheet.name + "\" names the " + std::string(what) + " relationship \"" +
              id + "\", which " + RelsOf(part) + " does not hold");
    };
    held(handler.links.drawing, "drawing");
    held(handler.links.legacy, "legacy drawing");
    for (const auto& link : handler.links.links) held(link.id, "hyperlink");
    for (auto& link : handler.links.links) {
      model::Hyperlink h;
      h.range = link.range;
      h.location = std::move(link.location);
      h.description = std::move(link.display);
      h.tooltip = std::move(link.tooltip);
      auto rel = link.id.empty() ? rels.end() : rels.find(link.id);
      if (rel != rels.end()) {
        h.target = rel->second.target;
        const size_t hash = h.target.find('#');
        if (hash != std::string::npos && h.location.empty()) {
          h.location = h.target.substr(hash + 1);
          h.target.resize(hash);
        }
        const std::string lower = Lower(h.target);
        const size_t colon = lower.find(':');
        const bool scheme = colon != std::string::npos && colon > 1 &&
                            lower.find_first_of("/\\") > colon && lower.compare(0, 5, "file:") != 0;
        h.kind = scheme ? model::LinkKind::Url : model::LinkKind::File;
        if (h.target.empty()) h.kind = model::LinkKind::Place;
      } else if (!h.location.empty()) {
        h.kind = model::LinkKind::Place;
      } else {
        continue;
      }
      sheet.hyperlinks.push_back(std::move(h));
    }
    for (const auto& [id, rel] : rels) {
      if (TypeName(rel.type) != "comments" || rel.external) continue;
      const auto comments = Named(rel.target, "comments");
      CommentsHandler ch(sheet);
      ParseXml(*comments, ch, rel.target);
    }
    auto drawing = handler.links.drawing.empty() ? rels.end() : rels.find(handler.links.drawing);
    if (drawing != rels.end() && !drawing->second.external)
      ReadDrawing(sheet, drawing->second.target);
  }

  // Column widths and row heights in EMU (914400 to the inch, 96 pixels to the inch; a
  // character of the default font is taken as 7 pixels, plus 5 of padding for default widths).
  static int64_t ColumnEmu(const Sheet& sheet, uint32_t col) {
    if (sheet.ColumnHidden(static_cast<uint16_t>(col))) return 0;
    const uint32_t width = sheet.ColumnWidth(static_cast<uint16_t>(col));
    bool set = sheet.standardWidth != 0;
    // The columns are sorted and do not overlap.
    auto after =
        std::upper_bound(sheet.columns.begin(), sheet.columns.end(), col,
                         [](uint32_t c, const model::ColumnInfo& info) { return c < info.first; });
    set = set || (after != sheet.columns.begin() && std::prev(after)->last >= col);
    const int64_t pixels = (int64_t{width} * 7 + 128) / 256 + (set ? 0 : 5);
    return pixels * 9525;
  }
  static int64_t RowEmu(const Sheet& sheet, uint32_t row) {
    return sheet.RowHidden(row) ? 0 : int64_t{sheet.RowHeight(row)} * 635;
  }

  // From a cell and an offset, walks right and down by a size; returns the end cell and offset.
  // The steps of all walks of a workbook are bounded: a hostile drawing of many huge pictures
  // ends them early (the pictures end where the budget ran out).
  template <typename Size>
  void Walk(int64_t& index, int64_t& offset, int64_t length, int64_t max, Size size) {
    int64_t at = offset + std::clamp<int64_t>(length, 0, int64_t{1} << 50);
    for (; walkBudget_ > 0 && index < max; --walkBudget_) {
      const int64_t s = size(index);
      if (at < s || s < 0) break;
      at -= s;
      ++index;
    }
    offset = at;
  }

  void ReadDrawing(Sheet& sheet, const std::string& part) {
    auto bytes = Named(part, "drawing");
    DrawingHandler dh;
    ParseXml(*bytes, dh, part);
    const Relationships rels = package_.Rels(part);
    const int64_t maxCol = model::kMaxColumnXlsx, maxRow = model::kMaxRowXlsx;
    auto colEmu = [&](int64_t c) { return ColumnEmu(sheet, static_cast<uint32_t>(c)); };
    auto rowEmu = [&](int64_t r) { return RowEmu(sheet, static_cast<uint32_t>(r)); };
    for (Anchor& a : dh.anchors) {
      const std::string& id = a.embed.empty() ? a.chart : a.embed;
      if (id.empty()) continue;  // a shape without a picture or chart
      auto rel = rels.find(id);
      if (rel == rels.end()) {
        Damaged("the drawing " + part + " names the relationship \"" + id + "\", which " +
                RelsOf(part) + " does not hold");
      }
      if (rel->second.external) continue;
      const auto blip = a.embed.empty() ? std::nullopt : Blip(rel->second.target);
      if (!blip && !a.embed.empty()) continue;
      if (a.kind == Anchor::Absolute) {
        a.fromCol = a.fromRow = 0;
        a.fromColOff = a.fromRowOff = 0;
        Walk(a.fromCol, a.fromColOff, a.x, maxCol, colEmu);
        Walk(a.fromRow, a.fromRowOff, a.y, maxRow, rowEmu);
      }
      a.fromCol = std::clamp<int64_t>(a.fromCol, 0, maxCol);
      a.fromRow = std::clamp<int64_t>(a.fromRow, 0, maxRow);
      if (a.kind != Anchor::TwoCell) {
        a.toCol = a.fromCol, a.toColOff = a.fromColOff;
        a.toRow = a.fromRow, a.toRowOff = a.fromRowOff;
        Walk(a.toCol, a.toColOff, a.cx, maxCol, colEmu);
        Walk(a.toRow, a.toRowOff, a.cy, maxRow, rowEmu);
      }
      a.toCol = std::clamp<int64_t>(a.toCol, a.fromCol, maxCol);
      a.toRow = std::clamp<int64_t>(a.toRow, a.fromRow, maxRow);
      auto fraction = [](int64_t off, int64_t size, int64_t units) {
        if (size <= 0 || off <= 0) return uint16_t{0};
        return static_cast<uint16_t>(std::min<int64_t>(off * units / size, units - 1));
      };
      model::Picture p;
      p.col1 = static_cast<uint16_t>(a.fromCol);
      p.row1 = static_cast<uint32_t>(a.fromRow);
      p.dx1 = fraction(a.fromColOff, colEmu(a.fromCol), 1024);
      p.dy1 = fraction(a.fromRowOff, rowEmu(a.fromRow), 256);
      p.col2 = static_cast<uint16_t>(a.toCol);
      p.row2 = static_cast<uint32_t>(a.toRow);
      p.dx2 = fraction(a.toColOff, colEmu(a.toCol), 1024);
      p.dy2 = fraction(a.toRowOff, rowEmu(a.toRow), 256);
      p.name = std::move(a.name);
      if (blip) {
        p.blip = *blip;
        sheet.pictures.push_back(std::move(p));
      } else {
        ReadChart(sheet, rel->second.target, p);
      }
    }
  }

  // A chart part placed where `at` says. A part that is missing, fails its check sum or is not
  // XML is damage; one that holds no chart this version draws is left out.
  void ReadChart(Sheet& sheet, const std::string& part, const model::Picture& at) {
    if (sheet.charts.size() >= kMaxSheetCharts) {
      throw ReadError("The workbook is too large: sheet \"" + sheet.name + "\" has more than " +
                      std::to_string(kMaxSheetCharts) + " charts, the most a sheet may have");
    }
    model::Chart chart;
    chart.anchor = {at.col1, at.dx1, at.row1, at.dy1, at.col2, at.dx2, at.row2, at.dy2};
    chart.name = at.name;
    const auto bytes = Named(part, "chart");
    if (ReadChartPart(*bytes, part, scheme_, chartPoints_, chart))
      sheet.charts.push_back(std::move(chart));
  }

  // The index of a picture part among the blips, read once. The picture is unpacked here only
  // to be checked (and its kind told from its first bytes); it stays packed until its page is
  // written. A part that is missing or damaged is damage; pictures past the workbook's budget
  // are refused.
  std::optional<uint32_t> Blip(const std::string& part) {
    auto known = blips_.find(part);
    if (known != blips_.end()) return known->second;
    model::Blip blip;
    const container::Zip::Entry* entry = package_.Find(part);
    if (entry == nullptr) Damaged("the picture part " + part + " is missing");
    if (entry->size > pictureBudget_) {
      throw ReadError("The workbook is too large: its pictures unpack to more than " +
                      std::to_string(model::PictureBudget(package_.Bytes()) >> 20) +
                      " MB, the most for a file of its size (16 times its size plus 16 MB)");
    }
    pictureBudget_ -= entry->size;
    std::vector<uint8_t> head;  // enough to tell the kind of picture
    package_.ReadTo(part, [&head](std::span<const uint8_t> piece) {
      piece = piece.first(std::min<size_t>(64 - std::min<size_t>(head.size(), 64), piece.size()));
      head.insert(head.end(), piece.begin(), piece.end());
    });
    blip.type = model::BlipTypeOf(head);
    blip.skip = blip.type == model::BlipType::Dib ? 14 : 0;
    blip.size = entry->size - blip.skip;
    auto packed = std::make_shared<const container::Zip::Packed>(package_.Pack(*entry));
    blip.unpack = [packed](const model::ByteSink& sink) { packed->UnpackTo(sink); };
    book_.blips.push_back(std::move(blip));
    const uint32_t index = static_cast<uint32_t>(book_.blips.size() - 1);
    blips_.emplace(part, index);
    return index;
  }

  Package package_;
  model::Workbook book_;
  Scheme scheme_ = kDefaultScheme;
  std::vector<uint32_t> indexed_;
  std::vector<model::DiffStyle> dxfs_;  // the differential formats of conditional formats
  size_t cells_ = 0;
  int64_t walkBudget_ = 4000000;
  uint64_t pictureBudget_ = model::PictureBudget(package_.Bytes());
  uint64_t chartPoints_ = 16000000;  // cached points of all charts
  std::unordered_map<std::string, std::optional<uint32_t>> blips_;
};

}  // namespace

bool IsSpreadsheetML(const container::Zip& zip) {
  const auto* types = zip.Find("[Content_Types].xml");
  if (types == nullptr || types->size > (uint64_t{16} << 20)) return false;
  // A content-types part that does not unpack is damage, not a sign of another format.
  const std::vector<uint8_t> bytes = zip.Read(*types);
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  return text.find("spreadsheetml.") != std::string_view::npos ||
         text.find("ms-excel.sheet") != std::string_view::npos ||
         text.find("ms-excel.template") != std::string_view::npos;
}

model::Workbook ReadWorkbook(const container::Zip& zip) { return Reader(zip).Read(); }

model::Workbook ReadEncryptedWorkbook(const container::CompoundFile& file,
                                      const std::string& password) {
  std::vector<uint8_t> info, package;
  try {
    info = file.ReadStream("EncryptionInfo");
    if (file.StreamSize("EncryptedPackage") > model::kMaxStreamBytes) {
      throw ReadError("The workbook is too large: its encrypted package is larger than " +
                      std::to_string(model::kMaxStreamBytes >> 20) + " MB");
    }
    package = file.ReadStream("EncryptedPackage");
  } catch (const container::ContainerError& e) {
    Damaged(Inner(e.what()));
  }
  std::vector<uint8_t> plain;
  if (!DecryptPackage(info, package, kDefaultPassword, plain) &&
      (password.empty() || !DecryptPackage(info, package, password, plain))) {
    throw model::PasswordError(kWrongPassword);
  }
  package.clear();
  package.shrink_to_fit();
  try {
    const container::Zip zip(plain);
    if (!IsSpreadsheetML(zip)) {
      throw ReadError("Not a workbook: the file is an encrypted package that holds no workbook");
    }
    return ReadWorkbook(zip);
  } catch (const container::ContainerError& e) {
    Damaged("the decrypted package: " + Inner(e.what()));
  }
}

model::Workbook ReadWorkbookBytes(std::span<const uint8_t> bytes, const std::string& password) {
  try {
    if (container::CompoundFile::IsCompoundFile(bytes)) {
      const container::CompoundFile file(bytes);
      if (container::ContentOf(file) != container::CompoundContent::EncryptedPackage) {
        throw ReadError(container::NotAWorkbook(container::ContentOf(file)));
      }
      return ReadEncryptedWorkbook(file, password);
    }
    const container::Zip zip(bytes);
    if (!IsSpreadsheetML(zip)) throw ReadError(container::NotAWorkbook(bytes));
    return ReadWorkbook(zip);
  } catch (const container::ContainerError& e) {
    Damaged(Inner(e.what()));
  }
}

}  // namespace quillane::ooxml
