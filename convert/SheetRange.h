// A sheet selection such as "1,4-5,10-20", kept as spans so that a span of any size costs the
// same. Sheet i is chosen when an item of the selection names it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillane::convert {

class SheetRange {
 public:
  struct Span {
    int32_t first;
    int32_t last;
  };

  // Parses a selection. Blanks are ignored. Items are separated by ",":
  //  - "a-b": the sheets from a to b, each read as the decimal number at the start of its part
  //    (0 when there is none), halves rounded to the even neighbour; "-2" is 0 to 2. Items with
  //    more than one "-", and items with a greater than b, choose nothing.
  //  - a number: the sheet with exactly that decimal form ("3" chooses sheet 3; "03", "2.5" and
  //    "+3" are numbers that name no sheet).
  //  - anything else chooses nothing.
  explicit SheetRange(const std::string& selection);

  // True when the selection is empty after removing blanks: every sheet is chosen.
  bool AllSheets() const { return all_; }
  // True when sheet `index` (1-based) is chosen.
  bool Contains(int32_t index) const;
  const std::vector<Span>& Spans() const { return spans_; }

 private:
  bool all_ = false;
  std::vector<Span> spans_;  // sorted by first and merged, for a binary search
};

}  // namespace quillane::convert
