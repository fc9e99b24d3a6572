// The looks of a page's cells as CSS: the declarations of a font, a fill, borders and alignment,
// and the table of classes a page's <style> element holds (one class per distinct CSS text,
// numbered in order of first use, so the same sheet always gives the same classes).
// Private to spreadsheet/publish.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "spreadsheet/model/Workbook.h"
#include "spreadsheet/publish/CondFormats.h"

namespace quillane::publish {

inline constexpr uint32_t kBlack = 0x000000;
inline constexpr uint32_t kWhite = 0xFFFFFF;

enum class Kind : uint8_t { Text, Number, Centred };  // how General alignment places a value

void AppendInt(std::string& out, int64_t value);
// "#rrggbb".
void AppendColor(std::string& out, uint32_t rgb);
uint32_t FontColor(const model::Font& font);
inline bool IsBold(const model::Font& font) { return font.weight >= 600; }
// Whether a style shows on an empty cell (a fill or a border).
bool HasVisibleFormat(const model::CellStyle& s);
// Font declarations: those that differ from `base`, or all of them when `base` is null.
void AppendFontCss(std::string& css, const model::Font& f, const model::Font* base,
                   std::optional<uint32_t> color);
// The alignment a style gives a value of `kind` on the page (General by the value's kind).
model::HAlign EffectiveAlign(const model::CellStyle& style, Kind kind);

// Classes: one per distinct CSS text, numbered in order of first use.
class ClassTable {
 public:
  int Intern(std::string css) {
    if (css.empty()) return -1;
    auto [it, inserted] = ids_.try_emplace(std::move(css), static_cast<int>(order_.size()));
    if (inserted) order_.push_back(&it->first);
    return it->second;
  }
  void AppendRules(std::string& out) const {
    for (size_t i = 0; i < order_.size(); ++i) {
      out += ".c";
      AppendInt(out, static_cast<int64_t>(i) + 1);
      out += '{';
      out += *order_[i];
      out += "}\n";
    }
  }
  static void AppendAttribute(std::string& out, int id) {
    if (id < 0) return;
    out += " class=\"c";
    AppendInt(out, id + 1);
    out += '"';
  }

 private:
  std::unordered_map<std::string, int> ids_;
  std::vector<const std::string*> order_;
};

// The classes of one page: cell looks by style and value kind (and number-format colour), rich
// text runs by font, rotations, the flex boxes of aligned content. Each is made once and cached.
class PageStyles {
 public:
  // `mdw`: the maximum digit width of the workbook's default font, in pixels (indents count in it).
  PageStyles(const model::Workbook& book, const model::Font& baseFont, int mdw)
      : book_(book), baseFont_(baseFont), mdw_(mdw), classCache_(book.styles.size() * 3, 0) {}

  // `overflow`: the text spills over formatted blank neighbours, drawn over their fill.
  int CellClass(uint16_t xf, Kind kind, int colorIndex, bool overflow = false);
  // The same with the look conditional formats give the cell (`lookIndex` numbers the look).
  int CondClass(uint16_t xf, Kind kind, int colorIndex, bool overflow, const CondLook& look,
                int lookIndex);
  int SpanClass(uint16_t font);
  int RotationClass(uint8_t rotation);
  int FlexClass(bool right);
  void AppendRules(std::string& out) const { classes_.AppendRules(out); }

 private:
  const model::CellStyle& StyleOf(uint16_t xf) const { return book_.Style(xf); }
  std::string CellCss(const model::CellStyle& style, Kind kind, int colorIndex, bool overflow,
                      const model::Font* font = nullptr);

  const model::Workbook& book_;
  const model::Font& baseFont_;
  int mdw_;
  ClassTable classes_;
  std::vector<int32_t> classCache_;  // (xf * 3 + kind) -> class + 2; 0 unknown
  std::unordered_map<uint64_t, int> colorClassCache_;
  std::unordered_map<uint64_t, int> condClassCache_;  // (xf, kind, colour, overflow, look)
  std::unordered_map<uint16_t, int> spanClasses_;
  std::unordered_map<uint8_t, int> rotationClasses_;
};

}  // namespace quillane::publish
