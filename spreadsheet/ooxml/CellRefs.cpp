#include "spreadsheet/ooxml/CellRefs.h"

#include <algorithm>
#include <utility>

namespace quillane::ooxml {

bool ParseRange(std::string_view ref, model::Range& range) {
  const size_t colon = ref.find(':');
  uint32_t r1, c1, r2, c2;
  if (!ParseRef(ref.substr(0, colon), r1, c1)) return false;
  if (colon == std::string_view::npos) {
    r2 = r1, c2 = c1;
  } else if (!ParseRef(ref.substr(colon + 1), r2, c2)) {
    return false;
  }
  if (r1 > r2) std::swap(r1, r2);
  if (c1 > c2) std::swap(c1, c2);
  if (r1 > model::kMaxRowXlsx || c1 > model::kMaxColumnXlsx) return false;
  range.firstRow = r1;
  range.lastRow = std::min(r2, model::kMaxRowXlsx);
  range.firstCol = static_cast<uint16_t>(c1);
  range.lastCol = static_cast<uint16_t>(std::min(c2, model::kMaxColumnXlsx));
  return true;
}

}  // namespace quillane::ooxml
