// The cells of one row of the page: merged ranges, spilled text, empty positions that show a row or
// column format (joined into runs on heavily formatted sheets), comments and link targets. Part of
// the renderer (Renderer.h).
#include <optional>

#include "spreadsheet/publish/HtmlText.h"
#include "spreadsheet/publish/Links.h"
#include "spreadsheet/publish/PngWriter.h"
#include "spreadsheet/publish/Renderer.h"
#include "support/Ascii.h"

namespace quillane::publish {

namespace {

// The colspan and rowspan attributes of a cell that covers more than one position.
void AppendSpans(std::string& out, int colspan, int rowspan) {
  if (colspan > 1) {
    out += " colspan=\"";
    AppendInt(out, colspan);
    out += '"';
  }
  if (rowspan > 1) {
    out += " rowspan=\"";
    AppendInt(out, rowspan);
    out += '"';
  }
}

}  // namespace

bool Renderer::VisibleEmpty(uint16_t xf) {
  if (xf >= visibleEmpty_.size()) return HasVisibleFormat(StyleOf(xf));
  int8_t& v = visibleEmpty_[xf];
  if (v < 0) v = HasVisibleFormat(StyleOf(xf)) ? 1 : 0;
  return v == 1;
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
  const int look = condFormats_.Empty() ? -1 : condFormats_.LookOf(cell);
  ClassTable::AppendAttribute(
      out_, look < 0 ? styles_.CellClass(cell->style, d.kind, d.colorIndex, overflow)
                     : styles_.CondClass(cell->style, d.kind, d.colorIndex, overflow,
                                         condFormats_.Look(look), look));
  AppendSpans(out_, colspan, rowspan);
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
    for (int v = vcolOf_[col]; v < vcolOf_[col] + colspan && v < static_cast<int>(colPx_.size());
         ++v) {
      widthPx += colPx_[v];
    }
  }
  AppendContent(*cell, d, style, widthPx);
  if (flex) out_ += "</span></div>";
  out_ += "</td>";
}

void Renderer::EmitEmpty(uint32_t row, uint16_t col, int xf, int colspan, int rowspan) {
  const int look = condFormats_.HasBlankLooks() ? condFormats_.LookAt(row, col) : -1;
  const bool visible = look >= 0 || (xf >= 0 && VisibleEmpty(static_cast<uint16_t>(xf)));
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
  if (look >= 0) {
    // A position without a style of its own takes the default look under the rule's.
    const uint16_t style = xf >= 0 ? static_cast<uint16_t>(xf) : UINT16_MAX;
    ClassTable::AppendAttribute(
        out_, styles_.CondClass(style, Kind::Text, -1, false, condFormats_.Look(look), look));
  } else if (visible) {
    ClassTable::AppendAttribute(out_, styles_.CellClass(static_cast<uint16_t>(xf), Kind::Text, -1));
  }
  AppendSpans(out_, colspan, rowspan);
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

void Renderer::EmitPlainRow(int64_t px, const std::vector<const MergeSpan*>& active) {
  out_ += "<tr style=\"height:";
  AppendInt(out_, px);
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
    throw PageTooLarge("The page of sheet \"" + sheet_.name + "\" is too large: more than " +
                       std::to_string(maxPageBytes_ >> 20) + " MB, the most a page may have");
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

}  // namespace quillane::publish
