// One worksheet of the model -> one static HTML page: the order of the renderer's work, the layout
// of rows, columns and merged ranges, the table and the head. The renderer's state and its other
// steps: Renderer.h, RowWriter.cpp, CellText.cpp, PagePictures.cpp; the CSS: PageStyles.
//
// Order of work: sort the cells by position (of two at one position the later counts); find the
// extent (the last row and column with content or a visible format); lay out the visible columns,
// the merged ranges and the cells links and comments mark; then walk the rows once, top to
// bottom: a row with cells or marks is walked position by position (text spills first, then the
// cells are written), a row without is written whole or as runs of one format. The pictures
// follow; the head, with every class now known, goes in front of the table in the same buffer.
// Invariants: the same workbook gives the same bytes (classes are numbered in order of first
// use, every table is walked in a fixed order); hidden rows and columns are left out; nothing past
// the largest grid of the file formats is written.
// Bounds: the work and the page grow with the cells and with what shows, not with the rectangle
// around them (Page::work counts it); at most model::kMaxSheetCells cells, about 20,000 merged
// ranges, and a page of `maxPageBytes` (PublishError past them).
#include "spreadsheet/publish/PagePublisher.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "spreadsheet/format/NumberFormat.h"
#include "spreadsheet/model/Limits.h"
#include "spreadsheet/publish/HtmlText.h"
#include "spreadsheet/publish/Links.h"
#include "spreadsheet/publish/PageStyles.h"
#include "spreadsheet/publish/PngWriter.h"
#include "spreadsheet/publish/Renderer.h"
#include "support/Ascii.h"

namespace quillane::publish {

bool Renderer::RowVisible(uint32_t row) const {
  auto it = sheet_.rows.find(row);
  if (it == sheet_.rows.end()) return !sheet_.defaultRowsHidden;
  const model::RowInfo& info = it->second;
  return !info.hidden && !(info.height == 0 && info.customHeight);
}

int Renderer::RowPx(uint32_t row) const {
  auto it = sheet_.rows.find(row);
  uint16_t twips = it != sheet_.rows.end() ? it->second.height : sheet_.defaultRowHeight;
  if (twips == 0) twips = sheet_.defaultRowHeight ? sheet_.defaultRowHeight : 255;
  return RowPixels(twips);
}

int Renderer::ColumnPx(uint16_t col) const {
  auto it =
      std::upper_bound(sheet_.columns.begin(), sheet_.columns.end(), col,
                       [](uint16_t c, const model::ColumnInfo& info) { return c < info.first; });
  if (it != sheet_.columns.begin() && col <= std::prev(it)->last) {
    return ColumnPixels(std::prev(it)->width, mdw_);
  }
  if (sheet_.standardWidth != 0) return ColumnPixels(sheet_.standardWidth, mdw_);
  return (sheet_.defaultColWidth * mdw_ + 5 + 7) / 8 * 8;
}

void Renderer::SortCells() {
  cells_.reserve(sheet_.cells.size());
  for (const Cell& c : sheet_.cells) cells_.push_back(&c);
  auto before = [](const Cell* a, const Cell* b) {
    return a->row != b->row ? a->row < b->row : a->col < b->col;
  };
  // Mostly they are in order already, one at each position (the readers leave them so).
  auto notBefore = [&](const Cell* a, const Cell* b) { return !before(a, b); };
  if (std::adjacent_find(cells_.begin(), cells_.end(), notBefore) == cells_.end()) return;
  if (!std::is_sorted(cells_.begin(), cells_.end(), before)) {
    std::stable_sort(cells_.begin(), cells_.end(), before);
  }
  // Of two cells at one position the later one counts.
  size_t out = 0;
  for (size_t i = 0; i < cells_.size(); ++i) {
    if (out > 0 && cells_[out - 1]->row == cells_[i]->row &&
        cells_[out - 1]->col == cells_[i]->col) {
      cells_[out - 1] = cells_[i];
    } else {
      cells_[out++] = cells_[i];
    }
  }
  cells_.resize(out);
}

void Renderer::ComputeExtent() {
  // Cells, merges and comments past the workbook's grid are left out, so a damaged model cannot
  // make the page grow without bound.
  const uint32_t maxRow = book_.lastGridRow;
  const uint16_t maxCol = book_.lastGridColumn;
  for (const Cell* c : cells_) {
    if (c->row > maxRow || c->col > maxCol) continue;
    if (c->type != CellType::Blank || VisibleEmpty(c->style)) {
      lastRow_ = std::max<int64_t>(lastRow_, c->row);
      lastCol_ = std::max<int64_t>(lastCol_, c->col);
    }
  }
  for (const model::Range& m : sheet_.merged) {
    if (m.firstRow > m.lastRow || m.firstCol > m.lastCol) continue;
    const Cell* anchor = sheet_.Find(m.firstRow, m.firstCol);
    if (!anchor && !cells_.empty()) {
      // Find needs the model's own order; fall back to a search of the sorted copy.
      auto it = std::lower_bound(cells_.begin(), cells_.end(), Key(m.firstRow, m.firstCol),
                                 [](const Cell* c, uint64_t k) { return Key(c->row, c->col) < k; });
      if (it != cells_.end() && (*it)->row == m.firstRow && (*it)->col == m.firstCol) anchor = *it;
    }
    if (anchor && (anchor->type != CellType::Blank || VisibleEmpty(anchor->style))) {
      lastRow_ = std::max<int64_t>(lastRow_, std::min(m.lastRow, maxRow));
      lastCol_ = std::max<int64_t>(lastCol_, std::min(m.lastCol, maxCol));
    }
  }
  for (const model::Comment& c : sheet_.comments) {
    if (c.row > maxRow || c.col > maxCol) continue;
    lastRow_ = std::max<int64_t>(lastRow_, c.row);
    lastCol_ = std::max<int64_t>(lastCol_, c.col);
  }
}

void Renderer::PrepareColumns() {
  vcolOf_.assign(static_cast<size_t>(lastCol_ + 1), -1);
  colXf_.assign(static_cast<size_t>(lastCol_ + 1), -1);
  for (const model::ColumnInfo& info : sheet_.columns) {
    for (int64_t c = info.first; c <= std::min<int64_t>(info.last, lastCol_); ++c)
      colXf_[c] = info.style;
  }
  // Runs of columns in which nothing shows in any row become one column of their summed width,
  // so a page costs what its content costs, however far apart its cells lie.
  const std::vector<uint8_t> used = UsedColumns();
  for (int64_t c = 0; c <= lastCol_; ++c) {
    const auto col = static_cast<uint16_t>(c);
    if (sheet_.ColumnHidden(col)) continue;
    int px = ColumnPx(col);
    if (px <= 0) continue;
    if (!used.empty() && !used[c] && !visCols_.empty() && !used[visCols_.back()]) {
      vcolOf_[c] = static_cast<int>(visCols_.size()) - 1;
      colPx_.back() += px;
      continue;
    }
    vcolOf_[c] = static_cast<int>(visCols_.size());
    visCols_.push_back(col);
    colPx_.push_back(px);
  }
  const size_t n = visCols_.size();
  slot_.resize(n);
  cellAt_.resize(n);
  spanOf_.resize(n);
  rowspanOf_.resize(n);
  sourceOf_.resize(n);
  mergeOf_.resize(n);
  mergedCell_.resize(n);
  overflow_.resize(n);
  reserved_.resize(n);
}

std::vector<uint8_t> Renderer::UsedColumns() {
  // Row formats, conditional looks of blank positions and text that spills keep every column.
  for (const auto& [row, info] : sheet_.rows) {
    if (row > lastRow_) break;
    if (info.hasStyle && VisibleEmpty(info.style)) return {};
  }
  if (condFormats_.HasBlankLooks()) return {};
  const size_t n = static_cast<size_t>(lastCol_ + 1);
  std::vector<uint8_t> used(n, 0);
  // Text may spill into its neighbours: the columns it could reach at its widest (every
  // character an em wide) stay columns of their own, so spilling is the same as without runs.
  std::vector<int64_t> left(n + 1, 0);  // the pixels of the columns before each one
  for (size_t c = 0; c < n; ++c) {
    const auto col = static_cast<uint16_t>(c);
    left[c + 1] = left[c] + (sheet_.ColumnHidden(col) ? 0 : std::max(ColumnPx(col), 0));
  }
  std::vector<int> reach(n + 1, 0);  // +1 where a reached range starts, -1 past its end
  for (const Cell* c : cells_) {
    if (c->col > lastCol_) continue;
    used[c->col] = 1;
    if (c->type != CellType::String || c->text >= book_.strings.size()) continue;
    const CellStyle& style = StyleOf(c->style);
    const double em = book_.FontOf(style.font).height / 15.0;  // pixels
    const int64_t need = static_cast<int64_t>(
        static_cast<double>(book_.strings[c->text].size()) * em + 8 + style.indent * (mdw_ + 2));
    const auto first = std::lower_bound(left.begin(), left.end(), left[c->col] - need);
    const auto last = std::upper_bound(left.begin(), left.end(), left[c->col + 1] + need);
    const size_t from = static_cast<size_t>(std::max<std::ptrdiff_t>(first - left.begin() - 1, 0));
    const size_t to = static_cast<size_t>(std::min<std::ptrdiff_t>(last - left.begin(), n));
    ++reach[from];
    --reach[to];
  }
  int64_t open = 0;
  for (size_t c = 0; c < n; ++c) {
    open += reach[c];
    if (open > 0) used[c] = 1;
  }
  for (int64_t c = 0; c <= lastCol_; ++c) {
    const int xf = colXf_[c];
    if (xf >= 0 && VisibleEmpty(static_cast<uint16_t>(xf))) used[c] = 1;
  }
  // Merged ranges and links span whole columns of the table: their edges are columns of their own.
  auto mark = [&](uint32_t col) {
    if (col <= lastCol_) used[col] = 1;
  };
  for (const model::Range& m : sheet_.merged) {
    mark(m.firstCol);
    mark(m.lastCol);
  }
  for (const model::Hyperlink& l : sheet_.hyperlinks) {
    mark(l.range.firstCol);
    mark(l.range.lastCol);
  }
  for (const model::Comment& c : sheet_.comments) mark(c.col);
  for (uint64_t key : anchors_) mark(static_cast<uint16_t>(key & 0xFFFF));
  return used;
}

void Renderer::PrepareMerges() {
  std::vector<model::Range> ranges;
  for (const model::Range& m : sheet_.merged) {
    if (m.firstRow > m.lastRow || m.firstCol > m.lastCol) continue;
    if (m.firstRow > lastRow_ || m.firstCol > lastCol_) continue;
    ranges.push_back(m);
  }
  std::stable_sort(ranges.begin(), ranges.end(), [](const model::Range& a, const model::Range& b) {
    return a.firstRow != b.firstRow ? a.firstRow < b.firstRow : a.firstCol < b.firstCol;
  });
  std::vector<const MergeSpan*> open;
  for (const model::Range& m : ranges) {
    MergeSpan s{};
    s.firstRow = m.firstRow;
    s.lastRow = static_cast<uint32_t>(std::min<int64_t>(m.lastRow, lastRow_));
    s.firstCol = m.firstCol;
    s.lastCol = static_cast<uint16_t>(std::min<int64_t>(m.lastCol, lastCol_));
    // Overlapping merges are damaged input: the later one is dropped.
    bool overlaps = false;
    for (const MergeSpan& o : merges_) {
      if (o.lastRow >= s.firstRow && o.firstRow <= s.lastRow && o.lastCol >= s.firstCol &&
          o.firstCol <= s.lastCol) {
        overlaps = true;
        break;
      }
    }
    if (overlaps) continue;
    s.firstVcol = -1;
    s.lastVcol = -1;
    for (uint32_t c = s.firstCol; c <= s.lastCol; ++c) {
      if (vcolOf_[c] < 0) continue;
      if (s.firstVcol < 0) s.firstVcol = vcolOf_[c];
      s.lastVcol = vcolOf_[c];
    }
    if (s.firstVcol < 0) continue;
    s.colspan = s.lastVcol - s.firstVcol + 1;
    s.anchorVcol = s.firstVcol;
    // The rowspan counts the rows of the table the range covers (PlanRows).
    s.anchorRow = FirstVisibleRow(s.firstRow);
    if (s.anchorRow > s.lastRow) continue;
    s.rowspan = 1;
    merges_.push_back(s);
    if (merges_.size() > 20000) break;  // a bound on damaged files; real sheets have far fewer
  }
}

uint32_t Renderer::FirstVisibleRow(uint32_t row) const {
  // Asked in order of rows (the merged ranges are sorted): an answer holds for every row up to it.
  if (visibleAsked_ != UINT32_MAX && row >= visibleAsked_ && row <= visibleFound_)
    return visibleFound_;
  visibleAsked_ = row;
  auto it = sheet_.rows.lower_bound(row);
  if (sheet_.defaultRowsHidden) {
    // Only rows with a record of their own can show.
    while (it != sheet_.rows.end() && !RowVisible(it->first)) ++it;
    visibleFound_ = it == sheet_.rows.end() ? UINT32_MAX : it->first;
  } else {
    // Rows without a record show: skip the records of hidden rows that follow each other.
    uint32_t r = row;
    while (r != UINT32_MAX && it != sheet_.rows.end() && it->first == r && !RowVisible(r)) {
      ++it;
      ++r;
    }
    visibleFound_ = r;
  }
  return visibleFound_;
}

void Renderer::PrepareLinksAndComments() {
  for (const model::Hyperlink& link : sheet_.hyperlinks) {
    const model::Range& r = link.range;
    if (r.firstRow > r.lastRow || r.firstCol > r.lastCol) continue;
    const uint64_t area =
        static_cast<uint64_t>(r.lastRow - r.firstRow + 1) * (r.lastCol - r.firstCol + 1);
    if (area <= 64) {
      for (uint32_t row = r.firstRow; row <= r.lastRow; ++row) {
        for (uint32_t col = r.firstCol; col <= r.lastCol; ++col) {
          linkAt_.try_emplace(Key(row, static_cast<uint16_t>(col)), &link);
        }
      }
    } else {
      bigLinks_.push_back(&link);
    }
  }
  for (const model::Comment& c : sheet_.comments) commentAt_.try_emplace(Key(c.row, c.col), &c);
  // Cells that place links of this sheet point to get an id.
  for (const model::Hyperlink& link : sheet_.hyperlinks) {
    if (link.kind != model::LinkKind::Place) continue;
    const std::optional<Place> place = ParsePlace(link.location);
    if (place && PlaceOnSheet(*place, sheet_.name)) {
      anchors_.insert(Key(place->cell.row, place->cell.col));
    }
  }
}

// Rows that need the walk over their positions although no cell lies in them: the first row
// of a merged range, rows with a comment, the target of a link or a blank position that a
// conditional format colours. Every other row without cells is written without a walk, unless a
// row or column format shows in it. Sorted, unique.
std::vector<uint32_t> Renderer::MarkedRows() const {
  std::vector<uint32_t> marked;
  for (const MergeSpan& m : merges_) marked.push_back(m.anchorRow);
  for (const auto& [key, comment] : commentAt_) marked.push_back(comment->row);
  for (uint64_t key : anchors_) marked.push_back(static_cast<uint32_t>(key >> 16));
  const std::vector<uint32_t>& formatted = condFormats_.BlankRows();
  marked.insert(marked.end(), formatted.begin(), formatted.end());
  std::sort(marked.begin(), marked.end());
  marked.erase(std::unique(marked.begin(), marked.end()), marked.end());
  return marked;
}

// The positions up to the last column whose format shows are walked in rows that show only
// column formats: returns the end of those columns (a visible column index). Decides whether
// runs of formatted positions are joined (joinRuns_) and finds the runs of columns of one format.
int Renderer::PlanFormatRuns() {
  int formatEnd = 0;
  for (int v = 0; v < static_cast<int>(visCols_.size()); ++v) {
    const int xf = colXf_[visCols_[v]];
    if (xf >= 0 && VisibleEmpty(static_cast<uint16_t>(xf))) formatEnd = v + 1;
  }
  const int n = static_cast<int>(visCols_.size());
  // Where row and column formats show at more positions than real sheets have, runs of them
  // become one cell each, so the page grows with the formatted areas, not with their size.
  int shownColumns = 0;
  for (int v = 0; v < formatEnd; ++v) {
    const int xf = colXf_[visCols_[v]];
    shownColumns += xf >= 0 && VisibleEmpty(static_cast<uint16_t>(xf));
  }
  uint64_t shown = 0, recorded = 0;
  for (auto it = sheet_.rows.begin(); it != sheet_.rows.end() && it->first <= lastRow_; ++it) {
    ++recorded;
    if (!RowVisible(it->first)) continue;
    const int rowXf = it->second.hasStyle ? it->second.style : -1;
    shown += rowXf < 0 ? shownColumns : VisibleEmpty(static_cast<uint16_t>(rowXf)) ? n : 0;
  }
  // Rows without a record of their own show the column formats.
  if (!sheet_.defaultRowsHidden)
    shown += (static_cast<uint64_t>(lastRow_ + 1) - recorded) * static_cast<uint64_t>(shownColumns);
  work_ += recorded + 1;
  joinRuns_ = shown > kJoinFormatsOver;
  for (int v = 0; v < formatEnd; ++v) {
    const int xf = colXf_[visCols_[v]];
    if (!columnRuns_.empty() && columnRuns_.back().xf == xf) {
      columnRuns_.back().last = v;
    } else {
      columnRuns_.push_back({v, v, xf});
    }
  }
  return formatEnd;
}

bool Renderer::NothingShows(uint32_t row, int formatEnd) {
  const int rowXf = EmptyPositionXf(row, UINT16_MAX);  // the row's own style, or -1
  return rowXf < 0 ? formatEnd == 0 : !VisibleEmpty(static_cast<uint16_t>(rowXf));
}

// Rows with cells or marks, and rows whose formats show, are rows of their own; the runs of rows
// between them in which nothing shows become one row each, as high as their visible rows
// together. Merged ranges start and end on the edges of rows of the table, so their rowspans
// count those rows. Nothing here walks the empty rows one by one.
void Renderer::PlanRows(const std::vector<uint32_t>& marked, int formatEnd) {
  groups_.clear();
  if (lastRow_ < 0) return;
  const uint32_t lastRow = static_cast<uint32_t>(lastRow_);
  std::vector<uint32_t> edges = marked;  // rows that start a row of the table
  for (const Cell* c : cells_) {
    if (c->row <= lastRow && (edges.empty() || edges.back() != c->row)) edges.push_back(c->row);
  }
  for (const MergeSpan& m : merges_) {
    edges.push_back(m.firstRow);
    if (m.lastRow < lastRow) edges.push_back(m.lastRow + 1);
  }
  for (const auto& [row, info] : sheet_.rows) {
    if (row > lastRow) break;
    if (formatEnd > 0 || (info.hasStyle && VisibleEmpty(info.style))) edges.push_back(row);
  }
  std::sort(edges.begin(), edges.end());
  edges.erase(std::unique(edges.begin(), edges.end()), edges.end());
  const int64_t defaultPx =
      sheet_.defaultRowsHidden ? 0
                               : RowPixels(sheet_.defaultRowHeight ? sheet_.defaultRowHeight : 255);
  auto next = edges.begin();
  for (uint64_t row = 0; row <= lastRow;) {
    while (next != edges.end() && *next < row) ++next;
    const auto r = static_cast<uint32_t>(row);
    const bool edge = next != edges.end() && *next == r;
    const bool plain = formatEnd == 0 && !std::binary_search(marked.begin(), marked.end(), r) &&
                       NothingShows(r, formatEnd) && !RowHasCells(r);
    if (formatEnd > 0 || (edge && !plain)) {
      // A row of its own; where column formats show, every row is.
      groups_.push_back({r, r, RowPx(r), RowVisible(r), false});
      ++row;
      continue;
    }
    // A run of rows in which nothing shows, up to the next edge.
    auto after = edge ? std::next(next) : next;
    const uint32_t last = after == edges.end() ? lastRow : std::min(lastRow, *after - 1);
    RowGroup group{r, last, 0, false, true};
    uint64_t recorded = 0;
    for (auto it = sheet_.rows.lower_bound(r); it != sheet_.rows.end() && it->first <= last; ++it) {
      ++recorded;
      ++work_;
      if (!RowVisible(it->first)) continue;
      group.px += RowPx(it->first);
      group.visible = true;
    }
    const uint64_t others = uint64_t{last} - r + 1 - recorded;
    if (others > 0 && defaultPx > 0) {
      group.px += static_cast<int64_t>(others) * defaultPx;
      group.visible = true;
    }
    groups_.push_back(group);
    row = uint64_t{last} + 1;
  }
  // The rowspan of a merged range: the visible rows of the table it covers.
  std::vector<uint32_t> shown(groups_.size() + 1, 0);
  for (size_t i = 0; i < groups_.size(); ++i) shown[i + 1] = shown[i] + groups_[i].visible;
  auto at = [&](uint32_t row) {
    return std::lower_bound(groups_.begin(), groups_.end(), row,
                            [](const RowGroup& g, uint32_t r) { return g.last < r; }) -
           groups_.begin();
  };
  for (MergeSpan& m : merges_) {
    m.rowspan = static_cast<int>(shown[at(m.lastRow) + 1] - shown[at(m.firstRow)]);
  }
}

// The table: its columns, then every row up to the last.
void Renderer::EmitTable() {
  std::string& out = out_;
  out += "<table class=\"grid\">\n<colgroup>";
  for (int px : colPx_) {
    out += "<col style=\"width:";
    AppendInt(out, px);
    out += "px\">";
  }
  out += "</colgroup>\n";
  const std::vector<uint32_t> marked = MarkedRows();
  const int formatEnd = PlanFormatRuns();
  PlanRows(marked, formatEnd);
  const int n = static_cast<int>(visCols_.size());
  size_t next = 0;  // the first cell not yet placed
  size_t nextMerge = 0;
  size_t nextMarked = 0;
  std::vector<const MergeSpan*> active;
  for (const RowGroup& group : groups_) {
    const uint32_t row = group.first;
    ++work_;
    while (next < cells_.size() && cells_[next]->row < row) ++next;
    const size_t rowStart = next;
    while (next < cells_.size() && cells_[next]->row == row) ++next;
    while (nextMerge < merges_.size() && merges_[nextMerge].firstRow <= row)
      active.push_back(&merges_[nextMerge++]);
    std::erase_if(active, [&](const MergeSpan* m) { return m->lastRow < row; });
    while (nextMarked < marked.size() && marked[nextMarked] < row) ++nextMarked;
    if (!group.visible) continue;
    if (group.run) {
      EmitPlainRow(group.px, active);
      continue;
    }
    const bool isMarked = nextMarked < marked.size() && marked[nextMarked] == row;
    int end = n;
    if (rowStart == next && !isMarked) {
      if (NothingShows(row, formatEnd)) {
        EmitPlainRow(RowPx(row), active);
        continue;
      }
      const int rowXf = EmptyPositionXf(row, UINT16_MAX);  // the row's own style, or -1
      if (rowXf < 0) end = formatEnd;
      if (joinRuns_ && active.empty() && (rowXf < 0 || JoinsRun(rowXf))) {
        EmitFormatRow(row, rowXf);
        CheckPageSize();
        continue;
      }
    }
    work_ += static_cast<uint64_t>(end);
    std::fill_n(slot_.begin(), end, Slot::Free);
    std::fill_n(cellAt_.begin(), end, nullptr);
    std::fill_n(mergedCell_.begin(), end, 0);
    std::fill_n(overflow_.begin(), end, 0);
    std::fill_n(reserved_.begin(), end, 0);
    for (size_t i = rowStart; i < next; ++i) {
      const Cell* c = cells_[i];
      if (c->col <= lastCol_ && vcolOf_[c->col] >= 0) cellAt_[vcolOf_[c->col]] = c;
    }
    for (const MergeSpan* m : active) {
      work_ += static_cast<uint64_t>(m->lastVcol - m->firstVcol + 1);
      for (int v = m->firstVcol; v <= m->lastVcol; ++v) {
        slot_[v] = Slot::Covered;
        mergedCell_[v] = 1;
      }
      if (row == m->anchorRow) {
        slot_[m->anchorVcol] = Slot::MergeAnchor;
        mergeOf_[m->anchorVcol] = m;
      }
    }
    if (rowStart != next) {
      work_ += static_cast<uint64_t>(n);
      SpillRow(row);
    }
    EmitRow(row, end);
    CheckPageSize();
  }
  out += "</table>\n";
}

// The page up to the table: the title and the style sheet with every class of the page.
std::string Renderer::Head(int64_t tableWidth) const {
  std::string html;
  html.reserve(4096);
  html += "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>";
  AppendHtmlText(
      html, sheet_.name.empty() ? std::string_view("Sheet") : std::string_view(sheet_.name), false);
  html += "</title>\n<style>\nbody{margin:8px;background:#ffffff}\n.sheet{position:relative}\n";
  html += ".sheet img{position:absolute}\n.grid{border-collapse:collapse;table-layout:fixed;width:";
  AppendInt(html, tableWidth);
  html += "px}\ntd{padding:0 2px;overflow:hidden;white-space:nowrap;vertical-align:bottom;";
  AppendFontCss(html, baseFont_, nullptr, std::nullopt);
  html += "}\n";
  styles_.AppendRules(html);
  html += "</style>\n</head>\n<body>\n<div class=\"sheet\">\n";
  return html;
}

Page Renderer::Render() {
  if (sheet_.cells.size() > model::kMaxSheetCells) {
    throw PublishError("The sheet \"" + sheet_.name + "\" is too large: more than " +
                       std::to_string(model::kMaxSheetCells) + " cells, the most a sheet may have");
  }
  SortCells();
  visibleEmpty_.assign(book_.styles.size(), -1);
  formatCache_.assign(book_.styles.size(), nullptr);
  plainTextFormat_.assign(book_.styles.size(), -1);
  ComputeExtent();
  PrepareLinksAndComments();
  condFormats_.Prepare(book_, sheet_, cells_, lastRow_, lastCol_);
  PrepareColumns();
  PrepareMerges();

  Page page;
  std::string& out = out_;
  out.reserve(cells_.size() * 34 + static_cast<size_t>(lastRow_ + 1) * 32 + 8192);

  int64_t tableWidth = 0;
  for (int px : colPx_) tableWidth += px;

  if (lastRow_ >= 0 && !visCols_.empty()) EmitTable();

  std::string pictures;
  EmitPictures(pictures, page);

  // The head, now that every class is known; it goes in front of the table in the same buffer,
  // so a large page is never held twice.
  const std::string html = Head(tableWidth);
  out.reserve(out.size() + html.size() + pictures.size() + 32);
  out.insert(0, html);
  out += pictures;
  out += "</div>\n</body>\n</html>\n";
  CheckPageSize();
  page.html = std::move(out);
  page.work = work_ + cells_.size();

  PageFile list{"filelist.xml", {}};
  std::string xml = FileList(page);
  list.bytes.assign(xml.begin(), xml.end());
  page.files.push_back(std::move(list));
  return page;
}

Page RenderSheet(const model::Workbook& book, size_t sheetIndex, std::string_view folderName,
                 std::string_view pageName, size_t maxPageBytes) {
  if (sheetIndex >= book.sheets.size()) {
    throw PublishError("Sheet " + std::to_string(sheetIndex + 1) + " does not exist");
  }
  std::string page(pageName);
  if (page.empty()) {
    page = std::string(folderName);
    if (page.size() > 6 && page.compare(page.size() - 6, 6, ".files") == 0)
      page.resize(page.size() - 6);
    page += ".htm";
  }
  Renderer renderer(book, sheetIndex, folderName, page, maxPageBytes);
  return renderer.Render();
}

}  // namespace quillane::publish
