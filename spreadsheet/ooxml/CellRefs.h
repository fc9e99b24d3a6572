// A1-style cell and range references as a package writes them in its attributes ("B12",
// "$B$12", "A1:C3").
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "spreadsheet/model/Basics.h"
#include "spreadsheet/model/Limits.h"

namespace quillane::ooxml {

// "$B$12" -> row 11, column 1; `rowAbsolute`/`colAbsolute` tell which parts carry a '$'. The
// whole text must be the reference. Up to four letters and eight digits are read, so a position
// past the grid is returned as it stands for the caller to refuse; false when it is no reference.
inline bool ParseRef(std::string_view ref, uint32_t& row, uint32_t& col, bool& rowAbsolute,
                     bool& colAbsolute) {
  size_t i = 0;
  uint64_t c = 0, r = 0;
  colAbsolute = i < ref.size() && ref[i] == '$';
  if (colAbsolute) ++i;
  const size_t letters = i;
  while (i < ref.size() && i - letters < 4) {
    char ch = ref[i];
    if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 32);
    if (ch < 'A' || ch > 'Z') break;
    c = c * 26 + static_cast<uint64_t>(ch - 'A' + 1);
    ++i;
  }
  if (i == letters) return false;
  rowAbsolute = i < ref.size() && ref[i] == '$';
  if (rowAbsolute) ++i;
  const size_t digits = i;
  while (i < ref.size() && ref[i] >= '0' && ref[i] <= '9' && i - digits < 8)
    r = r * 10 + static_cast<uint64_t>(ref[i++] - '0');
  if (i == digits || i != ref.size() || r == 0) return false;
  row = static_cast<uint32_t>(r - 1);
  col = static_cast<uint32_t>(c - 1);
  return true;
}

inline bool ParseRef(std::string_view ref, uint32_t& row, uint32_t& col) {
  bool rowAbsolute, colAbsolute;
  return ParseRef(ref, row, col, rowAbsolute, colAbsolute);
}

// "A1:C3" or a single cell, corners in either order. False when it is no range or starts past
// the grid; a range running past the grid is cut at its edge.
bool ParseRange(std::string_view ref, model::Range& range);

}  // namespace quillane::ooxml
