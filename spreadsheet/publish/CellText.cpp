// What a cell shows: its display text under its number format, text that spills into empty
// neighbours as the application draws it, rich-text runs, fill alignment, rotation, and the link
// around its content. Part of the renderer (Renderer.h).
#include <optional>

#include "spreadsheet/publish/HtmlText.h"
#include "spreadsheet/publish/Links.h"
#include "spreadsheet/publish/PngWriter.h"
#include "spreadsheet/publish/Renderer.h"
#include "support/Ascii.h"
#include "support/TextWidth.h"

namespace quillane::publish {

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
      // A format that hides everything (";;;") hides logical values too; errors always show.
      d.text = FormatOf(cell.style).HidesAll() ? "" : cell.code ? "TRUE" : "FALSE";
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
    const double need = support::EstimateTextWidth(d.text, f.height / 15.0, IsBold(f)) + 4 +
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
                      rf.script == cellFont.script && FontColor(rf) == FontColor(cellFont) &&
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
    const double w = support::EstimateTextWidth(d.text, f.height / 15.0, IsBold(f));
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

}  // namespace quillane::publish
