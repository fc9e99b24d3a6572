// The pieces of the SpreadsheetML reader, private to spreadsheet/ooxml: the package and its
// relationships (Package.cpp), the styles (Styles.cpp), the worksheets (Sheets.cpp), the shared
// strings and comments (SharedStrings.cpp), the drawings (Drawings.cpp) and the reader that drives
// them (WorkbookReader.cpp).
#pragma once

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "spreadsheet/container/Zip.h"
#include "spreadsheet/model/Limits.h"
#include "spreadsheet/model/ReadError.h"
#include "spreadsheet/model/Workbook.h"
#include "spreadsheet/ooxml/ConditionalFormats.h"
#include "spreadsheet/ooxml/Xml.h"

namespace quillane::ooxml::parts {

using model::Cell;
using model::CellType;
using model::Color;
using model::ReadError;
using model::Sheet;

[[noreturn]] void Damaged(const std::string& what);

// A container's message inside ours: "The zip archive is damaged: ..." -> "the zip archive ...".
std::string Inner(const char* message);
bool EndsWith(std::string_view s, std::string_view tail);
std::string Lower(std::string_view s);

// ---- Parts and relationships (Package.cpp).

// The relationships part of a part: "xl/_rels/workbook.xml.rels" of "xl/workbook.xml".
std::string RelsOf(std::string_view part);

struct Relationship {
  std::string type;    // the full type URI; compared by its last segment
  std::string target;  // resolved part name, or the external target as written
  bool external = false;
};

using Relationships = std::unordered_map<std::string, Relationship>;

// The last segment of a relationship type ("worksheet" of ".../relationships/worksheet").
std::string_view TypeName(std::string_view type);

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
  container::Zip::Packed Pack(const container::Zip::Entry& entry,
                              std::vector<uint8_t>* head = nullptr) const {
    try {
      return zip_.Pack(entry, head);
    } catch (const container::ContainerError& err) {
      Damaged(Inner(err.what()));
    }
  }
  uint64_t Bytes() const { return zip_.Size(); }

 private:
  const container::Zip& zip_;
};

// The relationship of a type that comes first by target, or null.
const Relationship* FirstOfType(const Relationships& rels, std::string_view typeName);

// ---- Text (SharedStrings.cpp).

// Characters XML cannot carry are written "_xHHHH_" (UTF-16 code units; "_x005F_" is "_").
std::string DecodeEscapes(std::string text);

// ---- Colours (Styles.cpp).

struct ColorSpec {
  enum Kind : uint8_t { None, Auto, Rgb, Indexed, Theme } kind = None;
  uint32_t value = 0;
  double tint = 0;

  static ColorSpec From(const Attrs& a) {
    ColorSpec c;
    c.tint = a.Number("tint", 0);
    if (a.Bool("auto", false)) {
      c.kind = Auto;
    } else if (const auto rgb = a.Get("rgb")) {
      const std::string_view v = *rgb;
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

// ---- Fonts of the styles and of rich-text runs (Styles.cpp).

struct RawFont {
  model::Font font;
  ColorSpec color;
};

// Applies one child element of <font> or <rPr>. Returns false for elements of neither.
bool ApplyFontElement(std::string_view name, const Attrs& a, RawFont& f);
RawFont DefaultRawFont();

// ---- The reader: one per package, its parts read in order by Read (WorkbookReader.cpp).

class Reader {
 public:
  explicit Reader(const container::Zip& zip) : package_(zip) {}
  model::Workbook Read();

 private:
  std::string MainPart() const;
  // A part that a relationship names: missing, it is damage.
  std::optional<std::vector<uint8_t>> Named(const std::string& part, std::string_view kind) const;

  // Styles.cpp
  void ReadTheme(const Relationships& rels);
  void ReadStyles(const Relationships& rels);
  Color Resolve(const ColorSpec& c) const;
  ColorOf ColorOfAttrs() const;
  uint16_t AddFont(RawFont& f);

  // SharedStrings.cpp
  void ReadSharedStrings(const Relationships& rels);
  void ReadComments(Sheet& sheet, const std::string& part);

  // Sheets.cpp
  void ReadSheet(Sheet& sheet, const std::string& part, size_t shared);

  // Drawings.cpp
  template <typename Size>
  void Walk(int64_t& index, int64_t& offset, int64_t length, int64_t max, Size size);
  void ReadDrawing(Sheet& sheet, const std::string& part);
  void ReadChart(Sheet& sheet, const std::string& part, const model::Picture& at);
  std::optional<uint32_t> Blip(const std::string& part);

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

}  // namespace quillane::ooxml::parts
