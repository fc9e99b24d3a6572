// The conditional formats of a sheet applied to its cells: which look the rules give each cell
// that holds a value, and each blank position of the page. Used by the page publisher; the corpus
// tools count with it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
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
  // Evaluates the rules of `sheet` for its cells, given as pointers into `sheet.cells` sorted by
  // position, one cell per position. Cell-value and expression rules are also tested at the
  // blank positions of their ranges up to row `lastRow` and column `lastCol` (the page's
  // rectangle; -1 for none), where they hold as for an empty cell; scales and bars need numbers.
  void Prepare(const model::Workbook& book, const model::Sheet& sheet,
               const std::vector<const model::Cell*>& cells, int64_t lastRow, int64_t lastCol);

  bool Empty() const { return lookOf_.empty(); }
  bool HasBlankLooks() const { return !blankKeys_.empty(); }
  // The look the rules give a cell of the sheet: an index into Look(), or -1.
  int LookOf(const model::Cell* cell) const {
    const size_t at = static_cast<size_t>(cell - base_);
    return at < lookOf_.size() ? lookOf_[at] : -1;
  }
  const CondLook& Look(int index) const { return looks_[static_cast<size_t>(index)]; }
  // The look the rules give the blank position (row, col): an index into Look(), or -1.
  int LookAt(uint32_t row, uint16_t col) const;
  // The rows that hold a blank position with a look, ascending.
  const std::vector<uint32_t>& BlankRows() const { return blankRows_; }
  // The cells whose look a rule changes, and the blank positions.
  size_t ChangedCells() const { return changed_; }
  size_t ChangedBlanks() const { return blankKeys_.size(); }

 private:
  const model::Cell* base_ = nullptr;  // sheet.cells
  std::vector<int32_t> lookOf_;        // per cell of sheet.cells: index into looks_, or -1
  std::vector<CondLook> looks_;        // distinct looks
  std::vector<uint64_t> blankKeys_;    // blank positions with a look, (row << 16 | col) ascending
  std::vector<int32_t> blankLooks_;    // their looks
  std::vector<uint32_t> blankRows_;
  size_t changed_ = 0;
};

}  // namespace quillane::publish
