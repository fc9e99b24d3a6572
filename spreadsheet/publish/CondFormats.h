// The conditional formats of a sheet applied to its cells: which look the rules give each cell
// that holds a value. Used by the page publisher; the corpus tools count with it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "spreadsheet/model/Workbook.h"

namespace quillane::publish {

// What the rules that hold give one cell, on top of its own style.
struct CondLook {
  model::DiffStyle style;             // from cell-value and expression rules, merged by priority
  std::optional<uint32_t> scaleFill;  // a colour scale's colour (0xRRGGBB)
  int barPercent = -1;                // a data bar: its length in % of the cell's width; -1 none
  uint32_t barColor = 0;
  bool barGradient = false;
  bool hideValue = false;  // a data bar that shows no value

  bool Changes() const { return !style.Empty() || scaleFill || barPercent >= 0; }
};

class CondFormats {
 public:
  // Evaluates the rules of `sheet` for its cells, given sorted by position with one cell per
  // position. Cells without a value (blank) are not tested.
  void Prepare(const model::Workbook& book, const model::Sheet& sheet,
               const std::vector<const model::Cell*>& cells);

  bool Empty() const { return at_.empty(); }
  // The look the rules give the cell at a position: an index into Looks(), or -1.
  int LookAt(uint32_t row, uint16_t col) const {
    auto it = at_.find((static_cast<uint64_t>(row) << 16) | col);
    return it == at_.end() ? -1 : static_cast<int>(it->second);
  }
  const CondLook& Look(int index) const { return looks_[static_cast<size_t>(index)]; }
  // The cells whose look a rule changes.
  size_t ChangedCells() const { return at_.size(); }

 private:
  std::unordered_map<uint64_t, uint32_t> at_;  // position -> index into looks_
  std::vector<CondLook> looks_;                // distinct looks
};

}  // namespace quillane::publish
