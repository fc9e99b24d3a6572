// The tables of an OpenDocument spreadsheet: their columns and rows with the repeat counts, the
// formats of rows and columns, and the table's end.
#include <algorithm>
#include <cmath>
#include <string>

#include "spreadsheet/ods/DocumentReader.h"

namespace quillane::ods::parts {

namespace {

// Row formats kept per sheet, and how far past the last row in use.
constexpr size_t kMaxRowInfos = size_t{1} << 18;
constexpr uint64_t kRowsPastUse = 256;
// A format repeated at least this far to the grid's last column is the row's own format.
constexpr size_t kRowFormatRun = 256;
// The width of columns no style sizes: 0.8889 inches.
constexpr double kDefaultColumnPoints = 64.0;

}  // namespace

void DocumentReader::BeginTable(std::span<const xml::Attribute> attributes) {
  EnsureDefaults();
  inTable_ = true;
  tableDepth_ = 0;
  Sheet& sheet = book_.sheets.emplace_back();
  sheet.cells.reserve(expectedCells_);
  sheet.name = std::string(xml::Value(attributes, "table:name"));
  if (sheet.name.empty()) sheet.name = "Sheet" + std::to_string(book_.sheets.size());
  const Properties p = Resolve("table", xml::Value(attributes, "table:style-name"), nullptr);
  if (Get(p, "table:display") == "false") sheet.visibility = model::Visibility::Hidden;
  // Columns and rows the table does not describe have the application's default size.
  const Properties column = Resolve("table-column", "", nullptr);
  const double width = Points(Get(column, "style:column-width")).value_or(kDefaultColumnPoints);
  sheet.standardWidth = ColumnUnits(width);
  const Properties row = Resolve("table-row", "", nullptr);
  if (auto h = Points(Get(row, "style:row-height"))) sheet.defaultRowHeight = Twips(*h);
  row_ = 0;
  nextColumn_ = 0;
  columnDefaults_.clear();
  pending_.clear();
  rowRuns_.clear();
}

void DocumentReader::TableStart(std::string_view name, std::span<const xml::Attribute> attributes) {
  ++tableDepth_;
  if (nested_ > 0 || (name == "table:table" && tableDepth_ > 1)) {
    ++nested_;  // a table inside a cell or a shape: not read
    return;
  }
  if (name == "table:table-column") return Column(attributes);
  if (name == "table:table-row") return BeginRow(attributes);
  if (name == "table:table-cell" || name == "table:covered-table-cell") {
    return BeginCell(name, attributes);
  }
  if (!inCell_ && !inShapes_) {
    if (name == "table:shapes") inShapes_ = true;
    return;
  }
  if (name == "office:annotation") {
    inAnnotation_ = true;
    annotationText_.clear();
    annotationAuthor_.clear();
    annotationParagraphs_ = 0;
    textTarget_ = TextTarget::Annotation;
  } else if (inAnnotation_) {
    if (name == "dc:creator") textTarget_ = TextTarget::Author;
    if (name == "text:p" || name == "text:h") {
      if (annotationParagraphs_++ > 0) annotationText_ += '\n';
      inParagraph_ = true;
    }
    if (name == "text:s")
      annotationText_.append(Count(xml::Value(attributes, "text:c"), 1000), ' ');
    if (name == "text:line-break") annotationText_ += '\n';
    if (name == "text:tab") annotationText_ += '\t';
  } else if (name == "draw:frame") {
    if (frameDepth_++ == 0) BeginFrame(attributes);
    inFrame_ = true;
  } else if (inFrame_) {
    if (name == "draw:image" && frame_.href.empty()) {
      frame_.href = std::string(xml::Value(attributes, "xlink:href"));
    } else if (name == "office:binary-data") {
      binary_.clear();
      textTarget_ = TextTarget::Binary;
    }
  } else if (inCell_ && !coveredCell_) {
    if (name == "text:p" || name == "text:h") {
      if (paragraphs_++ > 0) cellText_ += '\n';
      inParagraph_ = true;
      hasText_ = true;
    } else if (name == "text:s") {
      const uint64_t n = Count(xml::Value(attributes, "text:c"), 1000);
      cellText_.append(n, ' ');
      if (inLink_) linkText_.append(n, ' ');
    } else if (name == "text:tab") {
      cellText_ += '\t';
    } else if (name == "text:line-break") {
      cellText_ += '\n';
    } else if (name == "text:a") {
      inLink_ = true;
      linkText_.clear();
      linkHref_ = std::string(xml::Value(attributes, "xlink:href"));
    } else if (name == "text:span") {
      spans_.emplace_back(xml::Value(attributes, "text:style-name"));
      MarkRun();
    }
  }
}

void DocumentReader::TableEnd(std::string_view name) {
  --tableDepth_;
  if (nested_ > 0) {
    --nested_;
    return;
  }
  if (tableDepth_ < 0) return EndTable();
  if (name == "table:table-row") return EndRow();
  if (name == "table:table-cell" || name == "table:covered-table-cell") return EndCell();
  if (name == "table:shapes") inShapes_ = false;
  if (name == "office:annotation") {
    inAnnotation_ = false;
    textTarget_ = inCell_ ? TextTarget::Cell : TextTarget::None;
    if (inCell_ && !coveredCell_) {
      CurrentSheet().comments.push_back(
          {static_cast<uint32_t>(std::min<uint64_t>(row_, kMaxRow)),
           static_cast<uint16_t>(std::min<uint64_t>(col_, kMaxColumn)), annotationAuthor_,
           annotationText_});
    }
  } else if (inAnnotation_) {
    if (name == "dc:creator") textTarget_ = TextTarget::Annotation;
    if (name == "text:p" || name == "text:h") inParagraph_ = false;
  } else if (name == "draw:frame") {
    if (--frameDepth_ == 0) {
      inFrame_ = false;
      EndFrame();
    }
  } else if (name == "office:binary-data") {
    textTarget_ = inCell_ ? TextTarget::Cell : TextTarget::None;
    frame_.binary = DecodeBase64(binary_);
    binary_.clear();
  } else if (name == "text:p" || name == "text:h") {
    inParagraph_ = false;
  } else if (name == "text:a" && inLink_) {
    inLink_ = false;
    links_.push_back({linkHref_, linkText_});
  } else if (name == "text:span" && inCell_ && !coveredCell_ && !inFrame_ && !spans_.empty()) {
    spans_.pop_back();
    MarkRun();
  }
}

void DocumentReader::Column(std::span<const xml::Attribute> attributes) {
  const uint64_t repeat =
      Count(xml::Value(attributes, "table:number-columns-repeated"), uint64_t{1} << 32);
  const uint64_t first = nextColumn_;
  nextColumn_ += repeat;
  if (first > kMaxColumn) return;
  const uint16_t last = static_cast<uint16_t>(std::min<uint64_t>(first + repeat - 1, kMaxColumn));
  model::ColumnInfo info;
  info.first = static_cast<uint16_t>(first);
  info.last = last;
  const Properties p = Resolve("table-column", xml::Value(attributes, "table:style-name"), nullptr);
  info.width = ColumnUnits(Points(Get(p, "style:column-width")).value_or(kDefaultColumnPoints));
  const std::string_view visibility = xml::Value(attributes, "table:visibility");
  info.hidden = visibility == "collapse" || visibility == "filter";
  const std::string style(xml::Value(attributes, "table:default-cell-style-name"));
  info.style = CellStyleIndex(style);
  columnDefaults_.push_back({info.first, info.last, style});
  CurrentSheet().columns.push_back(info);
}

const std::string& DocumentReader::ColumnDefaultStyle(uint64_t col) const {
  static const std::string kNone;
  // The runs are in column order.
  auto it = std::upper_bound(columnDefaults_.begin(), columnDefaults_.end(), col,
                             [](uint64_t c, const ColumnDefault& d) { return c < d.first; });
  if (it == columnDefaults_.begin() || col > std::prev(it)->last) return kNone;
  return std::prev(it)->style;
}

void DocumentReader::BeginRow(std::span<const xml::Attribute> attributes) {
  rowRepeat_ = Count(xml::Value(attributes, "table:number-rows-repeated"), uint64_t{1} << 32);
  rowDefaultStyle_ = std::string(xml::Value(attributes, "table:default-cell-style-name"));
  col_ = 0;
  rowCells_.clear();
  rowFormats_.clear();
  rowInfo_ = model::RowInfo{};
  rowInfo_.height = CurrentSheet().defaultRowHeight;
  const std::string_view styleName = xml::Value(attributes, "table:style-name");
  rowHasInfo_ = false;
  if (!styleName.empty()) {
    const Properties p = Resolve("table-row", styleName, nullptr);
    if (auto h = Points(Get(p, "style:row-height"))) {
      rowInfo_.height = Twips(*h);
      rowInfo_.customHeight = Get(p, "style:use-optimal-row-height") != "true";
      rowHasInfo_ = rowInfo_.height != CurrentSheet().defaultRowHeight || rowInfo_.customHeight;
    }
  }
  const std::string_view visibility = xml::Value(attributes, "table:visibility");
  if (visibility == "collapse" || visibility == "filter") {
    rowInfo_.hidden = true;
    rowHasInfo_ = true;
  }
}

void DocumentReader::EndRow() {
  Sheet& sheet = CurrentSheet();
  const uint64_t first = row_;
  row_ += rowRepeat_;
  if (first > kMaxRow) return;
  const uint64_t count = std::min<uint64_t>(rowRepeat_, uint64_t{kMaxRow} + 1 - first);
  FormatToTheEnd();
  // Values and formats repeated down: bounded by the limits before anything is stored, so
  // nothing is cut without a word.
  const uint64_t cells = static_cast<uint64_t>(rowCells_.size() + rowFormats_.size()) * count;
  if (sheet.cells.size() + cells > model::kMaxSheetCells) {
    throw ReadError("The workbook is too large: sheet \"" + sheet.name + "\" holds more than " +
                    std::to_string(model::kMaxSheetCells) +
                    " cells (with values or formats), the most a sheet may have");
  }
  if (cellCount_ + cells > cellBudget_) throw ReadError(model::CellBudgetText(cellBudget_));
  cellCount_ += cells;
  for (uint64_t r = 0; r < count && !(rowCells_.empty() && rowFormats_.empty()); ++r) {
    for (const std::vector<Cell>* list : {&rowCells_, &rowFormats_}) {
      for (Cell cell : *list) {
        cell.row = static_cast<uint32_t>(first + r);
        sheet.cells.push_back(cell);
      }
    }
  }
  if (rowHasInfo_) rowRuns_.push_back({first, first + count - 1, rowInfo_});
}

void DocumentReader::FormatToTheEnd() {
  size_t from = rowFormats_.size();
  while (from > 0 && rowFormats_[from - 1].style == rowFormats_.back().style &&
         rowFormats_[from - 1].col == kMaxColumn - (rowFormats_.size() - from)) {
    --from;
  }
  if (rowFormats_.size() - from < kRowFormatRun) return;
  const uint16_t style = rowFormats_.back().style;
  const uint16_t start = rowFormats_[from].col;
  std::vector<uint8_t> taken(start, 0);
  for (const std::vector<Cell>* list : {&rowCells_, &rowFormats_}) {
    for (const Cell& c : *list) {
      if (c.col < start) taken[c.col] = 1;
    }
  }
  rowFormats_.resize(from);
  for (uint16_t col = 0; col < start; ++col) {
    if (taken[col]) continue;
    Cell cell;
    cell.row = 0;
    cell.col = col;
    cell.style =
        CellStyleIndex(!rowDefaultStyle_.empty() ? rowDefaultStyle_ : ColumnDefaultStyle(col));
    if (cell.style != style) rowFormats_.push_back(cell);
  }
  rowInfo_.hasStyle = true;
  rowInfo_.style = style;
  rowHasInfo_ = true;
}

void DocumentReader::KeepRowFormats() {
  Sheet& sheet = CurrentSheet();
  uint64_t used = sheet.cells.empty() ? 0 : sheet.cells.back().row;
  for (const model::Range& m : sheet.merged) used = std::max<uint64_t>(used, m.lastRow);
  for (const PendingPicture& p : pending_)
    used = std::max<uint64_t>(used, p.hasEnd ? p.endRow : p.row);
  const uint64_t limit = std::min<uint64_t>(used + kRowsPastUse, kMaxRow);
  const uint16_t tableDefault = sheet.defaultRowHeight;
  for (const RowRun& run : rowRuns_) {
    for (uint64_t r = run.first; r <= std::min(run.last, limit) && sheet.rows.size() < kMaxRowInfos;
         ++r) {
      sheet.rows[static_cast<uint32_t>(r)] = run.info;
    }
    if (run.first <= limit + 1 && run.last > limit) {
      sheet.defaultRowHeight = run.info.height;
      sheet.defaultRowsHidden = run.info.hidden;
    }
  }
  if (sheet.defaultRowHeight != tableDefault) {
    // Rows without a format of their own keep the table's default height.
    model::RowInfo plain;
    plain.height = tableDefault;
    for (uint64_t r = 0; r <= limit && sheet.rows.size() < kMaxRowInfos; ++r) {
      sheet.rows.try_emplace(static_cast<uint32_t>(r), plain);
    }
  }
  rowRuns_.clear();
}

void DocumentReader::EndTable() {
  inTable_ = false;
  inShapes_ = false;
  Sheet& sheet = CurrentSheet();
  sheet.Normalize();
  if (sheet.cells.capacity() / 2 > sheet.cells.size()) sheet.cells.shrink_to_fit();
  if (!sheet.cells.empty()) {
    sheet.hasDimensions = true;
    sheet.dimensions = {sheet.cells.front().row, sheet.cells.back().row, kMaxColumn, 0};
    for (const Cell& c : sheet.cells) {
      sheet.dimensions.firstCol = std::min(sheet.dimensions.firstCol, c.col);
      sheet.dimensions.lastCol = std::max(sheet.dimensions.lastCol, c.col);
    }
  }
  KeepRowFormats();
  PlacePictures();
}

}  // namespace quillane::ods::parts
