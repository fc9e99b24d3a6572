// The renderer of one worksheet page: the state it keeps while it walks a sheet and the steps of
// the walk. Private to spreadsheet/publish; RenderSheet (PagePublisher.h) is its only user.
//
// Its steps live in four files: PagePublisher.cpp (the order of work, the layout of rows,
// columns and merged ranges, the table and the head), RowWriter.cpp (the cells of one row),
// CellText.cpp (what a cell shows: its display text, text spilling into empty neighbours, rich
// text, links) and PagePictures.cpp (the pictures and the supporting folder's file list).
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "spreadsheet/format/NumberFormat.h"
#include "spreadsheet/model/Limits.h"
#include "spreadsheet/model/Workbook.h"
#include "spreadsheet/publish/CondFormats.h"
#include "spreadsheet/publish/PagePublisher.h"
#include "spreadsheet/publish/PageStyles.h"

namespace quillane::publish {

using model::Cell;
using model::CellStyle;
using model::CellType;
using model::Font;
using model::HAlign;
using model::Sheet;
using model::VAlign;
using model::Workbook;

// Positions that show a row or column format, beyond which runs of them are written as one cell.
inline constexpr uint64_t kJoinFormatsOver = uint64_t{1} << 20;

inline uint64_t Key(uint32_t row, uint16_t col) { return (static_cast<uint64_t>(row) << 16) | col; }

// The width of the widest digit of a font, in pixels at 96 dpi: column widths count in it.
// Arial's digits are 0.556 of an em wide, so Arial 10 gives 7 pixels; other default fonts are
// taken as being about as wide.
inline int MaxDigitWidth(const Font& font) {
  int mdw = static_cast<int>(std::lround(0.556 * font.height / 15.0));
  return std::clamp(mdw, 1, 100);
}

// Column width in 1/256 characters -> pixels, as the spreadsheet application rounds it.
inline int ColumnPixels(uint32_t width, int mdw) {
  return static_cast<int>((static_cast<uint64_t>(width) + 128 / mdw) * mdw / 256);
}

// Row height in twips -> pixels at 96 dpi.
inline int RowPixels(uint16_t twips) { return (twips + 7) / 15; }

// Rows of the table: one row of the sheet, or a run of rows in which nothing shows, written as one
// row of their summed height so that a page costs what its content costs.
struct RowGroup {
  uint32_t first, last;
  int64_t px;    // the summed height of its visible rows
  bool visible;  // holds a visible row
  bool run;      // a run of rows in which nothing shows
};

struct MergeSpan {
  uint32_t firstRow, lastRow;
  uint16_t firstCol, lastCol;
  uint32_t anchorRow;
  int firstVcol, lastVcol, anchorVcol;
  int rowspan, colspan;
};

enum class Slot : uint8_t { Free, Covered, MergeAnchor, SpillStart };

// The display of one cell value.
struct Display {
  std::string_view text;  // points into `owned` or the workbook's strings
  std::string owned;
  int colorIndex = -1;  // from the number format
  Kind kind = Kind::Text;
  bool rich = false;  // show the workbook's rich-text runs of `stringIndex`
  uint32_t stringIndex = 0;
};

class Renderer {
 public:
  Renderer(const Workbook& book, size_t sheetIndex, std::string_view folderName,
           std::string_view pageName, size_t maxPageBytes)
      : maxPageBytes_(maxPageBytes),
        book_(book),
        sheet_(book.sheets.at(sheetIndex)),
        sheetIndex_(sheetIndex),
        folderName_(folderName),
        pageName_(pageName),
        baseFont_(book.FontOf(0)),
        mdw_(MaxDigitWidth(baseFont_)),
        styles_(book, baseFont_, mdw_) {}

  Page Render();

 private:
  // Setup.
  void SortCells();
  void ComputeExtent();
  void PrepareColumns();
  // Per column up to the last: whether something may show in it (a cell, text spilling, a
  // format, a merged range, a link, a comment); empty when every column is to be kept.
  std::vector<uint8_t> UsedColumns();
  void PrepareMerges();
  void PrepareLinksAndComments();
  std::vector<uint32_t> MarkedRows() const;
  int PlanFormatRuns();
  // Whether nothing shows in a row without cells or marks: no format of its own or of its
  // columns that shows.
  bool NothingShows(uint32_t row, int formatEnd);
  // The rows of the table, from the first to the last, and the rowspans of the merged ranges.
  void PlanRows(const std::vector<uint32_t>& marked, int formatEnd);
  bool RowHasCells(uint32_t row) const {
    auto it = std::lower_bound(cells_.begin(), cells_.end(), Key(row, 0),
                               [](const Cell* c, uint64_t k) { return Key(c->row, c->col) < k; });
    return it != cells_.end() && (*it)->row == row;
  }
  // The first visible row at or after `row`, or UINT32_MAX.
  uint32_t FirstVisibleRow(uint32_t row) const;
  void EmitTable();
  std::string Head(int64_t tableWidth) const;

  // Rows: a row record of height 0 that is neither hidden nor of a height set by hand is fitted
  // to its contents by the application, so it shows at the default height.
  bool RowVisible(uint32_t row) const;
  int RowPx(uint32_t row) const;
  // Columns without a width of their own take the standard width; without one, the default
  // width in characters plus the cell padding, which the application rounds up to 8 pixels.
  int ColumnPx(uint16_t col) const;

  // Styles.
  const CellStyle& StyleOf(uint16_t xf) const { return book_.Style(xf); }
  bool VisibleEmpty(uint16_t xf);
  const format::NumberFormat& FormatOf(uint16_t xf);
  bool PlainTextFormat(uint16_t xf);

  // Cells.
  void DisplayOf(const Cell& cell, Display& d);
  bool EmptyForSpill(int v) const;
  bool FormattedEmpty(int v, uint32_t row);
  void SpillRow(uint32_t row);
  // Writes the row's positions before visible column `end`; those after it show nothing.
  void EmitRow(uint32_t row, int end);
  // Writes a row in which nothing shows: its height, and the one empty cell a row needs unless
  // a merged range covers its first column.
  void EmitPlainRow(int64_t px, const std::vector<const MergeSpan*>& active);
  // Writes a row that shows only row or column formats, run by run (when runs are joined).
  void EmitFormatRow(uint32_t row, int rowXf);
  // Throws PublishError once the page has grown past its limit.
  void CheckPageSize() const;
  void EmitCell(const Cell* cell, uint32_t row, uint16_t col, int colspan, int rowspan,
                bool overflow = false);
  void EmitEmpty(uint32_t row, uint16_t col, int xfOrMinus1, int colspan, int rowspan);
  // `widthPx`: the width of the cell's columns, which fill alignment repeats the text across.
  void AppendContent(const Cell& cell, const Display& d, const CellStyle& style, int widthPx);
  void AppendRichText(const Display& d, const Font& cellFont, bool breaks);
  bool AppendLinkOpen(const model::Hyperlink& link);
  int EmptyPositionXf(uint32_t row, uint16_t col) const;
  // Whether empty positions of style `xf` side by side are written as one cell: on sheets where
  // row and column formats show at many positions, when the format shows and has no left or
  // right border that would show between them.
  bool JoinsRun(int xf);
  // Whether a position holds a comment, is the target of a link or has a conditional look.
  bool Marked(uint32_t row, uint16_t col) const {
    return (!commentAt_.empty() && commentAt_.count(Key(row, col))) ||
           (!anchors_.empty() && anchors_.count(Key(row, col))) ||
           (condFormats_.HasBlankLooks() && condFormats_.LookAt(row, col) >= 0);
  }

  // Pictures and the folder.
  void EmitPictures(std::string& body, Page& page);
  std::string FileList(const Page& page) const;

  size_t maxPageBytes_;
  const Workbook& book_;
  const Sheet& sheet_;
  size_t sheetIndex_;
  std::string folderName_;
  std::string pageName_;
  format::FormatCache formats_;
  const Font& baseFont_;
  int mdw_;
  PageStyles styles_;

  std::vector<const Cell*> cells_;  // sorted by position
  CondFormats condFormats_;         // the looks conditional formats give cells
  int64_t lastRow_ = -1, lastCol_ = -1;

  std::vector<uint16_t> visCols_;  // visible columns up to lastCol_
  std::vector<int> colPx_;         // pixel width of each visible column
  std::vector<int> vcolOf_;        // column -> index in visCols_, or -1

  std::vector<MergeSpan> merges_;    // sorted by first row
  std::vector<RowGroup> groups_;     // the rows of the table, in order
  std::vector<uint8_t> mergedCell_;  // per visible column in the current row: inside a merge

  std::unordered_map<uint64_t, const model::Hyperlink*> linkAt_;
  std::vector<const model::Hyperlink*> bigLinks_;
  std::unordered_map<uint64_t, const model::Comment*> commentAt_;
  std::unordered_set<uint64_t> anchors_;  // cells that links of this sheet point to

  std::vector<int8_t> visibleEmpty_;  // per xf: -1 unknown
  std::vector<const format::NumberFormat*> formatCache_;
  std::vector<int8_t> plainTextFormat_;  // per xf: -1 unknown

  // The current row.
  std::vector<Slot> slot_;
  std::vector<const Cell*> cellAt_;
  std::vector<int> spanOf_;     // colspan at a MergeAnchor/SpillStart
  std::vector<int> rowspanOf_;  // rowspan at a MergeAnchor
  std::vector<int> sourceOf_;   // SpillStart: the visible column of the cell shown
  std::vector<const MergeSpan*> mergeOf_;
  std::vector<uint8_t> overflow_;  // Free cell whose text spills over formatted blanks
  std::vector<uint8_t> reserved_;  // Free blank that such text spills over
  int pendingEmpty_ = 0;
  std::vector<int> colXf_;  // per column up to the last: the style of its COLINFO, or -1
  mutable uint32_t styleRow_ = UINT32_MAX;
  mutable uint32_t visibleAsked_ = UINT32_MAX, visibleFound_ = 0;  // FirstVisibleRow's last answer
  mutable int rowXf_ = -1;

  Display display_;
  std::string out_;
  uint64_t work_ = 0;  // rows and positions visited, see Page::work
  bool joinRuns_ = false;
  struct ColumnRun {
    int first, last;  // visible columns
    int xf;           // their column format, or -1
  };
  std::vector<ColumnRun> columnRuns_;  // the visible columns up to the last format that shows
};

}  // namespace quillane::publish
