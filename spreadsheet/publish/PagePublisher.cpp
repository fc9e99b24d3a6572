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
#include "support/Ascii.h"

namespace quillane::publish {

namespace {

// The file extension a picture of the store is kept under; nullptr for unknown pictures.
const char* FileExtension(model::BlipType type) {
  switch (type) {
    case model::BlipType::Png: return "png";
    case model::BlipType::Jpeg: return "jpg";
    case model::BlipType::Dib: return "dib";
    case model::BlipType::Emf: return "emf";
    case model::BlipType::Wmf: return "wmf";
    case model::BlipType::Pict: return "pct";
    case model::BlipType::Tiff: return "tif";
    case model::BlipType::Unknown: break;
  }
  return nullptr;
}

using model::Cell;
using model::CellStyle;
using model::CellType;
using model::Font;
using model::HAlign;
using model::Sheet;
using model::VAlign;
using model::Workbook;

// The largest sheet of the file formats: cells, merges and comments past it are left out, so a
// damaged model cannot make the page grow without bound.
constexpr uint32_t kMaxRow = model::kMaxRowBiff8;
constexpr uint16_t kMaxCol = model::kMaxColumn;

// Positions that show a row or column format, beyond which runs of them are written as one cell.
constexpr uint64_t kJoinFormatsOver = uint64_t{1} << 20;

uint64_t Key(uint32_t row, uint16_t col) { return (static_cast<uint64_t>(row) << 16) | col; }

// The width of the widest digit of a font, in pixels at 96 dpi: column widths count in it.
// Arial's digits are 0.556 of an em wide, so Arial 10 gives 7 pixels; other default fonts are
// taken as being about as wide.
int MaxDigitWidth(const Font& font) {
  int mdw = static_cast<int>(std::lround(0.556 * font.height / 15.0));
  return std::clamp(mdw, 1, 100);
}

// Column width in 1/256 characters -> pixels, as the spreadsheet application rounds it.
int ColumnPixels(uint32_t width, int mdw) {
  return static_cast<int>((static_cast<uint64_t>(width) + 128 / mdw) * mdw / 256);
}

// Row height in twips -> pixels at 96 dpi.
int RowPixels(uint16_t twips) { return (twips + 7) / 15; }

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
  void PrepareMerges();
  void PrepareLinksAndComments();
  std::vector<uint32_t> MarkedRows() const;
  int PlanFormatRuns();
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
  void EmitPlainRow(uint32_t row, const std::vector<const MergeSpan*>& active);
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
  // Whether a position holds a comment or is the target of a link.
  bool Marked(uint32_t row, uint16_t col) const {
    return (!commentAt_.empty() && commentAt_.count(Key(row, col))) ||
           (!anchors_.empty() && anchors_.count(Key(row, col)));
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
  int64_t lastRow_ = -1, lastCol_ = -1;

  std::vector<uint16_t> visCols_;  // visible columns up to lastCol_
  std::vector<int> colPx_;         // pixel width of each visible column
  std::vector<int> vcolOf_;        // column -> index in visCols_, or -1

  std::vector<MergeSpan> merges_;    // sorted by first row
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

bool Renderer::VisibleEmpty(uint16_t xf) {
  if (xf >= visibleEmpty_.size()) return HasVisibleFormat(StyleOf(xf));
  int8_t& v = visibleEmpty_[xf];
  if (v < 0) v = HasVisibleFormat(StyleOf(xf)) ? 1 : 0;
  return v == 1;
}

void Renderer::ComputeExtent() {
  for (const Cell* c : cells_) {
    if (c->row > kMaxRow || c->col > kMaxCol) continue;
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
      lastRow_ = std::max<int64_t>(lastRow_, std::min(m.lastRow, kMaxRow));
      lastCol_ = std::max<int64_t>(lastCol_, std::min(m.lastCol, kMaxCol));
    }
  }
  for (const model::Comment& c : sheet_.comments) {
    if (c.row > kMaxRow || c.col > kMaxCol) continue;
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
  for (int64_t c = 0; c <= lastCol_; ++c) {
    const auto col = static_cast<uint16_t>(c);
    if (sheet_.ColumnHidden(col)) continue;
    int px = ColumnPx(col);
    if (px <= 0) continue;
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
    s.rowspan = 0;
    for (uint32_t r = s.firstRow; r <= s.lastRow; ++r) {
      if (!RowVisible(r)) continue;
      if (s.rowspan == 0) s.anchorRow = r;
      ++s.rowspan;
    }
    if (s.rowspan == 0) continue;
    merges_.push_back(s);
    if (merges_.size() > 20000) break;  // a bound on damaged files; real sheets have far fewer
  }
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

const format::NumberFormat& Renderer::FormatOf(uint16_t xf) {
  if (xf >= formatCache_.size()) return formats_.Get(StyleOf(xf).numberFormat);
  const format::NumberFormat*& f = formatCache_[xf];
  if (!f) f = &formats_.Get(StyleOf(xf).numberFormat);
  return *f;
}

bool Renderer::PlainTextFormat(uint16_t xf) {
  auto compute = [&] {
    std::string_view code = StyleOf(xf).numberFormat;
    return support::EqualsNoCase(code, "General") || code == "@";
  };
  if (xf >= plainTextFormat_.size()) return compute();
  int8_t& v = plainTextFormat_[xf];
  if (v < 0) v = compute() ? 1 : 0;
  return v == 1;
}

void Renderer::DisplayOf(const Cell& cell, Display& d) {
  d.owned.clear();
  d.colorIndex = -1;
  d.rich = false;
  switch (cell.type) {
    case CellType::Number: {
      format::Formatted f = FormatOf(cell.style).Format(cell.number, book_.date1904);
      d.owned = std::move(f.text);
      d.text = d.owned;
      d.colorIndex = f.colorIndex;
      d.kind = Kind::Number;
      return;
    }
    case CellType::String: {
      d.kind = Kind::Text;
      std::string_view s = cell.text < book_.strings.size()
                               ? std::string_view(book_.strings[cell.text])
                               : std::string_view();
      if (PlainTextFormat(cell.style)) {
        d.text = s;
        d.stringIndex = cell.text;
        d.rich = !book_.richText.empty() && book_.richText.count(cell.text) != 0;
      } else {
        format::Formatted f = FormatOf(cell.style).FormatText(s);
        d.owned = std::move(f.text);
        d.text = d.owned;
        d.colorIndex = f.colorIndex;
      }
      return;
    }
    case CellType::Boolean:
      d.text = cell.code ? "TRUE" : "FALSE";
      d.kind = Kind::Centred;
      return;
    case CellType::Error:
      d.text = model::ErrorText(cell.code);
      d.kind = Kind::Centred;
      return;
    case CellType::Blank:
      d.text = {};
      d.kind = Kind::Text;
      return;
  }
}

int Renderer::EmptyPositionXf(uint32_t row, uint16_t col) const {
  if (row != styleRow_) {
    styleRow_ = row;
    auto it = sheet_.rows.find(row);
    rowXf_ = it != sheet_.rows.end() && it->second.hasStyle ? it->second.style : -1;
  }
  if (rowXf_ >= 0) return rowXf_;
  return col < colXf_.size() ? colXf_[col] : -1;
}

bool Renderer::JoinsRun(int xf) {
  if (!joinRuns_ || xf < 0 || !VisibleEmpty(static_cast<uint16_t>(xf))) return false;
  const CellStyle& style = StyleOf(static_cast<uint16_t>(xf));
  return style.left.style == 0 && style.right.style == 0;
}

bool Renderer::EmptyForSpill(int v) const {
  if (slot_[v] != Slot::Free || mergedCell_[v] || reserved_[v] || overflow_[v]) return false;
  const Cell* c = cellAt_[v];
  return !c || c->type == CellType::Blank;
}

bool Renderer::FormattedEmpty(int v, uint32_t row) {
  const Cell* c = cellAt_[v];
  const int xf = c ? c->style : EmptyPositionXf(row, visCols_[v]);
  return xf >= 0 && VisibleEmpty(static_cast<uint16_t>(xf));
}

// Text that is wider than its cell spills into empty neighbours, as the application draws it:
// over plain blanks the cell takes their columns (colspan); over blanks with a fill or borders
// of their own it overflows its cell and is drawn over them.
void Renderer::SpillRow(uint32_t row) {
  const int n = static_cast<int>(visCols_.size());
  Display d;
  for (int v = 0; v < n; ++v) {
    const Cell* cell = cellAt_[v];
    if (!cell || slot_[v] != Slot::Free || cell->type == CellType::Blank) continue;
    const CellStyle& style = StyleOf(cell->style);
    if (style.hAlign == HAlign::CenterAcross) {
      // Centred across the blank neighbours to the right that are centred across too.
      int k = v + 1;
      while (k < n && slot_[k] == Slot::Free && !mergedCell_[k] && cellAt_[k] &&
             cellAt_[k]->type == CellType::Blank &&
             StyleOf(cellAt_[k]->style).hAlign == HAlign::CenterAcross) {
        ++k;
      }
      if (k - v > 1) {
        slot_[v] = Slot::SpillStart;
        sourceOf_[v] = v;
        spanOf_[v] = k - v;
        for (int j = v + 1; j < k; ++j) slot_[j] = Slot::Covered;
      }
      continue;
    }
    // Only text spills; numbers never do.
    if (cell->type != CellType::String || style.wrap || style.rotation != 0 ||
        style.hAlign == HAlign::Fill || style.hAlign == HAlign::Justify ||
        style.hAlign == HAlign::Distributed) {
      continue;
    }
    const HAlign align = EffectiveAlign(style, Kind::Text);
    const bool roomRight =
        (align == HAlign::Left || align == HAlign::Center) && v + 1 < n && EmptyForSpill(v + 1);
    const bool roomLeft =
        (align == HAlign::Right || align == HAlign::Center) && v > 0 && EmptyForSpill(v - 1);
    if (!roomRight && !roomLeft) continue;
    DisplayOf(*cell, d);
    const Font& f = book_.FontOf(style.font);
    const double need = EstimateTextWidth(d.text, f.height / 15.0, IsBold(f)) + 4 +
                        (style.indent > 0 ? style.indent * (mdw_ + 2) : 0);
    const double extra = need - colPx_[v];
    if (extra <= 0) continue;
    int first = v, last = v;
    bool fits = false;
    if (align == HAlign::Left) {
      double got = 0;
      while (got < extra && last + 1 < n && EmptyForSpill(last + 1)) got += colPx_[++last];
      fits = got >= extra;
    } else if (align == HAlign::Right) {
      double got = 0;
      while (got < extra && first > 0 && EmptyForSpill(first - 1)) got += colPx_[--first];
      fits = got >= extra;
    } else {
      double gotRight = 0, gotLeft = 0;
      while (gotRight < extra / 2 && last + 1 < n && EmptyForSpill(last + 1))
        gotRight += colPx_[++last];
      while (gotLeft < extra / 2 && first > 0 && EmptyForSpill(first - 1))
        gotLeft += colPx_[--first];
      fits = gotRight >= extra / 2 && gotLeft >= extra / 2;
    }
    if (first == last) continue;
    bool formatted = false;
    for (int j = first; j <= last && !formatted; ++j) formatted = j != v && FormattedEmpty(j, row);
    if (formatted) {
      // Drawn over the neighbours only when it ends inside them: where a cell with a value
      // stops it the application cuts the text at that cell's edge, which overflow cannot do.
      if (!fits) continue;
      overflow_[v] = 1;
      for (int j = first; j <= last; ++j) reserved_[j] = j != v;
      v = last;
      continue;
    }
    for (int j = first; j <= last; ++j) slot_[j] = Slot::Covered;
    slot_[first] = Slot::SpillStart;
    sourceOf_[first] = v;
    spanOf_[first] = last - first + 1;
    v = last;
  }
}

bool Renderer::AppendLinkOpen(const model::Hyperlink& link) {
  std::string href;
  if (link.kind == model::LinkKind::Url || link.kind == model::LinkKind::File) {
    std::optional<std::string> external =
        ExternalHref(link.target, link.location, link.kind == model::LinkKind::File);
    if (!external) return false;
    href = std::move(*external);
  } else {
    std::optional<std::string> place = PlaceHref(book_, sheetIndex_, pageName_, link.location);
    if (!place) return false;
    href = std::move(*place);
  }
  out_ += "<a href=\"";
  AppendHtmlAttribute(out_, href);
  out_ += '"';
  if (!link.tooltip.empty()) {
    out_ += " title=\"";
    AppendHtmlAttribute(out_, link.tooltip);
    out_ += '"';
  }
  out_ += '>';
  return true;
}

void Renderer::AppendRichText(const Display& d, const Font& cellFont, bool breaks) {
  auto it = book_.richText.find(d.stringIndex);
  const std::vector<model::TextRun>& runs = it->second;
  // Code-point offsets -> byte offsets as we go.
  std::string_view text = d.text;
  size_t byte = 0;
  uint32_t cp = 0;
  auto advanceTo = [&](uint32_t target) {
    while (cp < target && byte < text.size()) {
      ++byte;
      while (byte < text.size() && (static_cast<uint8_t>(text[byte]) & 0xC0) == 0x80) ++byte;
      ++cp;
    }
  };
  int currentClass = -1;
  size_t startByte = 0;
  auto flush = [&](size_t endByte) {
    if (endByte <= startByte) return;
    std::string_view part = text.substr(startByte, endByte - startByte);
    if (currentClass >= 0) {
      out_ += "<span";
      ClassTable::AppendAttribute(out_, currentClass);
      out_ += '>';
      AppendHtmlText(out_, part, breaks);
      out_ += "</span>";
    } else {
      AppendHtmlText(out_, part, breaks);
    }
  };
  for (const model::TextRun& run : runs) {
    advanceTo(run.first);
    flush(byte);
    startByte = byte;
    const Font& rf = book_.FontOf(run.font);
    const bool same = rf.name == cellFont.name && rf.height == cellFont.height &&
                      IsBold(rf) == IsBold(cellFont) && rf.italic == cellFont.italic &&
                      rf.strike == cellFont.strike && rf.underline == cellFont.underline &&
                      rf.script == cellFont.script &&
                      FontColor(rf) == FontColor(cellFont) &&
                      rf.shadow == cellFont.shadow && rf.outline == cellFont.outline;
    currentClass = same ? -1 : styles_.SpanClass(run.font);
  }
  flush(text.size());
}

void Renderer::AppendContent(const Cell& cell, const Display& d, const CellStyle& style,
                             int widthPx) {
  if (d.text.empty()) return;
  const bool breaks =
      style.wrap || style.hAlign == HAlign::Justify || style.hAlign == HAlign::Distributed;
  bool link = false;
  if (!linkAt_.empty() || !bigLinks_.empty()) {
    const model::Hyperlink* found = nullptr;
    if (auto it = linkAt_.find(Key(cell.row, cell.col)); it != linkAt_.end()) found = it->second;
    for (size_t i = 0; !found && i < bigLinks_.size(); ++i) {
      const model::Range& r = bigLinks_[i]->range;
      if (cell.row >= r.firstRow && cell.row <= r.lastRow && cell.col >= r.firstCol &&
          cell.col <= r.lastCol) {
        found = bigLinks_[i];
      }
    }
    if (found) link = AppendLinkOpen(*found);
  }
  const bool rotated = style.rotation != 0 && (style.rotation <= 180 || style.rotation == 255);
  if (rotated) {
    out_ += "<span";
    ClassTable::AppendAttribute(out_, styles_.RotationClass(style.rotation));
    out_ += '>';
  }
  const Font& f = book_.FontOf(style.font);
  const char* script = f.script == model::Script::Super ? "sup"
                       : f.script == model::Script::Sub ? "sub"
                                                        : nullptr;
  if (script) {
    out_ += '<';
    out_ += script;
    out_ += '>';
  }
  if (d.rich) {
    AppendRichText(d, f, breaks);
  } else if (style.hAlign == HAlign::Fill) {
    // Fill alignment repeats the text as often as it fits whole in the cell.
    const double w = EstimateTextWidth(d.text, f.height / 15.0, IsBold(f));
    const int times = w > 0 ? std::clamp(static_cast<int>((widthPx - 4) / w), 1, 1000) : 1;
    for (int i = 0; i < times; ++i) AppendHtmlText(out_, d.text, breaks);
  } else {
    AppendHtmlText(out_, d.text, breaks);
  }
  if (script) {
    out_ += "</";
    out_ += script;
    out_ += '>';
  }
  if (rotated) out_ += "</span>";
  if (link) out_ += "</a>";
}

void Renderer::EmitCell(const Cell* cell, uint32_t row, uint16_t col, int colspan, int rowspan,
                        bool overflow) {
  Display& d = display_;
  if (!cell) {
    EmitEmpty(row, col, EmptyPositionXf(row, col), colspan, rowspan);
    return;
  }
  DisplayOf(*cell, d);
  if (cell->type == CellType::Blank) {
    EmitEmpty(row, col, cell->style, colspan, rowspan);
    return;
  }
  while (pendingEmpty_ > 0) {
    out_ += "<td></td>";
    --pendingEmpty_;
  }
  const CellStyle& style = StyleOf(cell->style);
  out_ += "<td";
  if (!anchors_.empty() && anchors_.count(Key(row, col))) {
    out_ += " id=\"";
    AppendCellName(out_, {row, col});
    out_ += '"';
  }
  ClassTable::AppendAttribute(out_, styles_.CellClass(cell->style, d.kind, d.colorIndex, overflow));
  if (colspan > 1) {
    out_ += " colspan=\"";
    AppendInt(out_, colspan);
    out_ += '"';
  }
  if (rowspan > 1) {
    out_ += " rowspan=\"";
    AppendInt(out_, rowspan);
    out_ += '"';
  }
  if (!commentAt_.empty()) {
    if (auto it = commentAt_.find(Key(row, col)); it != commentAt_.end()) {
      out_ += " title=\"";
      if (!it->second->author.empty()) {
        AppendHtmlAttribute(out_, it->second->author);
        out_ += ":&#10;";
      }
      AppendHtmlAttribute(out_, it->second->text);
      out_ += '"';
    }
  }
  out_ += '>';
  // Text overflowing its cell starts at the cell's left edge whatever its alignment; right and
  // centred text keep their place in a flex box, which lets it overflow to the left.
  const HAlign align = EffectiveAlign(style, d.kind);
  const bool flex = overflow && (align == HAlign::Right || align == HAlign::Center);
  if (flex) {
    out_ += "<div";
    ClassTable::AppendAttribute(out_, styles_.FlexClass(align == HAlign::Right));
    out_ += "><span>";
  }
  int widthPx = 0;
  if (col < vcolOf_.size() && vcolOf_[col] >= 0) {
    for (int v = vcolOf_[col]; v < vcolOf_[col] + colspan && v < static_cast<int>(colPx_.size()); ++v) {
      widthPx += colPx_[v];
    }
  }
  AppendContent(*cell, d, style, widthPx);
  if (flex) out_ += "</span></div>";
  out_ += "</td>";
}

void Renderer::EmitEmpty(uint32_t row, uint16_t col, int xf, int colspan, int rowspan) {
  const bool visible = xf >= 0 && VisibleEmpty(static_cast<uint16_t>(xf));
  const model::Comment* comment = nullptr;
  if (!commentAt_.empty()) {
    if (auto it = commentAt_.find(Key(row, col)); it != commentAt_.end()) comment = it->second;
  }
  const bool anchor = !anchors_.empty() && anchors_.count(Key(row, col));
  if (!visible && !comment && !anchor && colspan == 1 && rowspan == 1) {
    ++pendingEmpty_;
    return;
  }
  while (pendingEmpty_ > 0) {
    out_ += "<td></td>";
    --pendingEmpty_;
  }
  out_ += "<td";
  if (anchor) {
    out_ += " id=\"";
    AppendCellName(out_, {row, col});
    out_ += '"';
  }
  if (visible)
    ClassTable::AppendAttribute(out_, styles_.CellClass(static_cast<uint16_t>(xf), Kind::Text, -1));
  if (colspan > 1) {
    out_ += " colspan=\"";
    AppendInt(out_, colspan);
    out_ += '"';
  }
  if (rowspan > 1) {
    out_ += " rowspan=\"";
    AppendInt(out_, rowspan);
    out_ += '"';
  }
  if (comment) {
    out_ += " title=\"";
    if (!comment->author.empty()) {
      AppendHtmlAttribute(out_, comment->author);
      out_ += ":&#10;";
    }
    AppendHtmlAttribute(out_, comment->text);
    out_ += '"';
  }
  out_ += "></td>";
}

void Renderer::EmitPlainRow(uint32_t row, const std::vector<const MergeSpan*>& active) {
  out_ += "<tr style=\"height:";
  AppendInt(out_, RowPx(row));
  out_ += "px\">";
  bool firstCovered = false;
  for (const MergeSpan* m : active) firstCovered = firstCovered || m->firstVcol == 0;
  work_ += active.size();
  if (!firstCovered) out_ += "<td></td>";
  out_ += "</tr>\n";
}

void Renderer::EmitFormatRow(uint32_t row, int rowXf) {
  out_ += "<tr style=\"height:";
  AppendInt(out_, RowPx(row));
  out_ += "px\">";
  const size_t rowStart = out_.size();
  pendingEmpty_ = 0;
  if (rowXf >= 0) {
    ++work_;
    EmitEmpty(row, visCols_[0], rowXf, static_cast<int>(visCols_.size()), 1);
  } else {
    for (const ColumnRun& run : columnRuns_) {
      ++work_;
      if (run.xf < 0 || !VisibleEmpty(static_cast<uint16_t>(run.xf))) {
        pendingEmpty_ += run.last - run.first + 1;
      } else if (JoinsRun(run.xf)) {
        EmitEmpty(row, visCols_[run.first], run.xf, run.last - run.first + 1, 1);
      } else {
        work_ += static_cast<uint64_t>(run.last - run.first + 1);
        for (int v = run.first; v <= run.last; ++v) EmitEmpty(row, visCols_[v], run.xf, 1, 1);
      }
    }
  }
  pendingEmpty_ = 0;
  if (out_.size() == rowStart) out_ += "<td></td>";
  out_ += "</tr>\n";
}

void Renderer::CheckPageSize() const {
  if (out_.size() > maxPageBytes_) {
    throw PublishError("The page of sheet \"" + sheet_.name + "\" is too large: more than " +
                       std::to_string(maxPageBytes_ >> 20) +
                       " MB, the most a page may have");
  }
}

void Renderer::EmitRow(uint32_t row, int end) {
  const int n = static_cast<int>(visCols_.size());
  out_ += "<tr style=\"height:";
  AppendInt(out_, RowPx(row));
  out_ += "px\">";
  const size_t rowStart = out_.size();
  pendingEmpty_ = 0;
  work_ += static_cast<uint64_t>(end);
  for (int v = 0; v < end; ++v) {
    const uint16_t col = visCols_[v];
    switch (slot_[v]) {
      case Slot::Covered:
        break;
      case Slot::Free: {
        const Cell* c = cellAt_[v];
        if (!c) {
          // On a sheet where formats fill much of the rectangle, a run of positions that show
          // one row or column format is one cell: a cell per row, not one per position.
          const int xf = EmptyPositionXf(row, col);
          int span = 1;
          if (JoinsRun(xf) && !reserved_[v] && !Marked(row, col)) {
            while (v + span < end && slot_[v + span] == Slot::Free && !cellAt_[v + span] &&
                   !reserved_[v + span] && EmptyPositionXf(row, visCols_[v + span]) == xf &&
                   !Marked(row, visCols_[v + span])) {
              ++span;
            }
          }
          EmitEmpty(row, col, xf, span, 1);
          v += span - 1;
        } else {
          EmitCell(c, row, col, 1, 1, overflow_[v] != 0);
        }
        break;
      }
      case Slot::MergeAnchor: {
        const MergeSpan& m = *mergeOf_[v];
        const Cell* c = nullptr;
        auto it =
            std::lower_bound(cells_.begin(), cells_.end(), Key(m.firstRow, m.firstCol),
                             [](const Cell* x, uint64_t k) { return Key(x->row, x->col) < k; });
        if (it != cells_.end() && (*it)->row == m.firstRow && (*it)->col == m.firstCol) c = *it;
        EmitCell(c, m.firstRow, m.firstCol, m.colspan, m.rowspan);
        break;
      }
      case Slot::SpillStart: {
        const int src = sourceOf_[v];
        EmitCell(cellAt_[src], row, visCols_[src], spanOf_[v], 1);
        break;
      }
    }
  }
  pendingEmpty_ = 0;  // trailing empty cells are left out
  // A row holds at least one cell, unless a cell from a row above covers its first column.
  if (out_.size() == rowStart && n > 0 && slot_[0] == Slot::Free) out_ += "<td></td>";
  out_ += "</tr>\n";
}

void Renderer::EmitPictures(std::string& body, Page& page) {
  if (sheet_.pictures.empty()) return;
  // Pixel offsets of rows and columns, hidden ones zero wide.
  uint32_t maxRow = 0;
  uint16_t maxCol = 0;
  for (const model::Picture& p : sheet_.pictures) {
    maxRow = std::max({maxRow, p.row1, p.row2});
    maxCol = std::max({maxCol, p.col1, p.col2});
  }
  maxRow = std::min<uint32_t>(maxRow, 1u << 20);
  std::vector<int64_t> colX(static_cast<size_t>(maxCol) + 2, 0),
      rowY(static_cast<size_t>(maxRow) + 2, 0);
  for (uint32_t c = 0; c <= maxCol; ++c) {
    const auto col = static_cast<uint16_t>(c);
    const int px = sheet_.ColumnHidden(col) ? 0 : ColumnPx(col);
    colX[c + 1] = colX[c] + px;
  }
  for (uint32_t r = 0; r <= maxRow; ++r) {
    const int px = RowVisible(r) ? RowPx(r) : 0;
    rowY[r + 1] = rowY[r] + px;
  }
  auto x = [&](uint16_t col, uint16_t dx) {
    return colX[col] + (colX[col + 1] - colX[col]) * std::min<uint16_t>(dx, 1024) / 1024;
  };
  auto y = [&](uint32_t row, uint16_t dy) {
    row = std::min(row, maxRow);
    return rowY[row] + (rowY[row + 1] - rowY[row]) * std::min<uint16_t>(dy, 256) / 256;
  };

  std::unordered_map<uint32_t, std::string> fileOfBlip;  // blip -> file name ("" none)
  int imageNumber = 0;
  for (size_t i = 0; i < sheet_.pictures.size(); ++i) {
    const model::Picture& p = sheet_.pictures[i];
    if (p.blip >= book_.blips.size()) continue;
    auto [it, fresh] = fileOfBlip.try_emplace(p.blip);
    if (fresh) {
      const model::Blip& blip = book_.blips[p.blip];
      const char* ext = FileExtension(blip.type);
      std::vector<uint8_t> bytes;
      if (blip.type == model::BlipType::Dib) {
        if (auto png = DibToPng(blip.data)) {
          ext = "png";
          bytes = std::move(*png);
        }
      }
      if (ext && bytes.empty()) bytes = blip.data;
      if (!ext || bytes.empty()) continue;
      char name[32];
      std::snprintf(name, sizeof name, "image%03d.%s", ++imageNumber, ext);
      it->second = name;
      page.files.push_back(PageFile{name, std::move(bytes)});
    }
    const std::string& file = it->second;
    if (file.empty()) continue;
    const std::string_view ext = std::string_view(file).substr(file.rfind('.') + 1);
    if (ext != "png" && ext != "jpg") continue;  // kept in the folder, not shown
    const int64_t left = x(p.col1, p.dx1), top = y(p.row1, p.dy1);
    const int64_t width = x(p.col2, p.dx2) - left, height = y(p.row2, p.dy2) - top;
    if (width <= 0 || height <= 0) continue;  // anchored to hidden rows or columns
    body += "<img src=\"";
    AppendUrlPath(body, folderName_);
    body += '/';
    body += file;
    body += "\" alt=\"";
    AppendHtmlAttribute(body,
                        p.name.empty() ? std::string_view("Picture") : std::string_view(p.name));
    body += "\" style=\"left:";
    AppendInt(body, left);
    body += "px;top:";
    AppendInt(body, top);
    body += "px;width:";
    AppendInt(body, width);
    body += "px;height:";
    AppendInt(body, height);
    body += "px\">\n";
  }
}

std::string Renderer::FileList(const Page& page) const {
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<filelist>\n<page href=\"../";
  AppendUrlPath(xml, pageName_);
  xml += "\"/>\n";
  for (const PageFile& f : page.files) {
    xml += "<file href=\"";
    AppendUrlPath(xml, f.name);
    xml += "\"/>\n";
  }
  xml += "<file href=\"filelist.xml\"/>\n</filelist>\n";
  return xml;
}

// Rows that need the walk over their positions although no cell lies in them: the first row
// of a merged range, rows with a comment or the target of a link. Every other row without
// cells is written without a walk, unless a row or column format shows in it. Sorted, unique.
std::vector<uint32_t> Renderer::MarkedRows() const {
  std::vector<uint32_t> marked;
  for (const MergeSpan& m : merges_) marked.push_back(m.anchorRow);
  for (const auto& [key, comment] : commentAt_) marked.push_back(comment->row);
  for (uint64_t key : anchors_) marked.push_back(static_cast<uint32_t>(key >> 16));
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
  uint64_t shown = 0;
  for (uint32_t row = 0; row <= lastRow_; ++row) {
    if (!RowVisible(row)) continue;
    const int rowXf = EmptyPositionXf(row, UINT16_MAX);
    shown += rowXf < 0 ? shownColumns : VisibleEmpty(static_cast<uint16_t>(rowXf)) ? n : 0;
  }
  work_ += static_cast<uint64_t>(lastRow_ + 1);
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
  const int n = static_cast<int>(visCols_.size());
  size_t next = 0;  // the first cell not yet placed
  size_t nextMerge = 0;
  size_t nextMarked = 0;
  std::vector<const MergeSpan*> active;
  for (uint32_t row = 0; row <= lastRow_; ++row) {
    ++work_;
    const size_t rowStart = next;
    while (next < cells_.size() && cells_[next]->row == row) ++next;
    while (nextMerge < merges_.size() && merges_[nextMerge].firstRow <= row)
      active.push_back(&merges_[nextMerge++]);
    std::erase_if(active, [&](const MergeSpan* m) { return m->lastRow < row; });
    while (nextMarked < marked.size() && marked[nextMarked] < row) ++nextMarked;
    if (!RowVisible(row)) continue;
    const bool isMarked = nextMarked < marked.size() && marked[nextMarked] == row;
    int end = n;
    if (rowStart == next && !isMarked) {
      const int rowXf = EmptyPositionXf(row, UINT16_MAX);  // the row's own style, or -1
      if (rowXf < 0 ? formatEnd == 0 : !VisibleEmpty(static_cast<uint16_t>(rowXf))) {
        EmitPlainRow(row, active);
        continue;
      }
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
  PrepareColumns();
  PrepareMerges();
  PrepareLinksAndComments();

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

}  // namespace

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
