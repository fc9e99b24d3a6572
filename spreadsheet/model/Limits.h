// The limits that bound the work and the memory spent on one workbook, whatever numbers are
// written inside it. A workbook past one of them is refused with an error that names the limit;
// positions past the file format's own grid are damage and are left out by the readers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quillane::model {

// The grid of the file formats: BIFF8 has 65536 rows, BIFF2-7 16384; all have 256 columns.
inline constexpr uint32_t kMaxRowBiff8 = 65535;
inline constexpr uint32_t kMaxRowBiff2To7 = 16383;
inline constexpr uint16_t kMaxColumn = 255;
// The grid of SpreadsheetML packages: 1,048,576 rows and 16,384 columns.
inline constexpr uint32_t kMaxRowXlsx = 1048575;
inline constexpr uint32_t kMaxColumnXlsx = 16383;
inline constexpr uint32_t MaxRow(int biffVersion) {
  return biffVersion >= 8 ? kMaxRowBiff8 : kMaxRowBiff2To7;
}

// A workbook file, and the workbook stream inside it. The file is read through a mapping, so
// memory follows the parts read; the stream is copied out whole.
inline constexpr uint64_t kMaxFileBytes = uint64_t{4} << 30;
inline constexpr uint64_t kMaxStreamBytes = uint64_t{1} << 30;

// Cells (records holding a value or a format) of one sheet, and of all sheets of a workbook.
inline constexpr size_t kMaxSheetCells = size_t{4} << 20;
inline constexpr size_t kMaxWorkbookCells = size_t{16} << 20;

// The cells a workbook read from a package may hold: 8 for every byte of its file plus 2,097,152,
// at most kMaxWorkbookCells. A page writes at least a few bytes a cell, so cells past this could
// never be written within WrittenBudget: a few kilobytes that stand for millions of cells (a
// repeated row, one part read by many sheets) are refused before they cost the memory.
inline constexpr size_t CellBudget(uint64_t fileBytes) {
  const uint64_t cells = fileBytes * 8 + (uint64_t{2} << 20);
  return cells < kMaxWorkbookCells ? static_cast<size_t>(cells) : kMaxWorkbookCells;
}
// The error text of a workbook past its budget of cells.
std::string CellBudgetText(size_t budget);

// The bytes of one page.
inline constexpr size_t kMaxPageBytes = size_t{128} << 20;

// The bytes written for one workbook, its pages and the files of their folders together: 64 times
// the size of its file plus 16 MB. Sheets that share one part of a package pay for it each time.
inline constexpr uint64_t WrittenBudget(uint64_t fileBytes) {
  return fileBytes * 64 + (uint64_t{16} << 20);
}

// The bytes the pictures of a workbook unpack to, all together: 16 times the size of the file (or
// of the workbook stream) plus 16 MB.
inline constexpr uint64_t PictureBudget(uint64_t sourceBytes) {
  return sourceBytes * 16 + (uint64_t{16} << 20);
}
// The error text of a workbook whose pictures pass that budget.
std::string PictureBudgetText(uint64_t sourceBytes);

}  // namespace quillane::model
