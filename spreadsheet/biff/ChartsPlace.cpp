// The parser's side of charts: the sheet references of series (SUPBOOK, EXTERNSHEET), the chart
// objects and their substreams, and the places of the charts on the sheet.
#include <algorithm>

#include "spreadsheet/biff/ChartsReader.h"
#include "spreadsheet/biff/Drawing.h"

namespace quillane::biff::reader {

void Parser::OnSupBook(ByteReader r) {
  // The workbook's own entry holds its sheet count and the marker 0x0401.
  bool own = false;
  if (r.Remaining() == 4) {
    r.U16();
    own = r.U16() == 0x0401;
  }
  if (ownSupBook_.size() < 65535) ownSupBook_.push_back(own);
}

void Parser::OnExternSheet(std::span<const uint8_t> data, size_t next) {
  if (version_ == 8) {
    std::vector<uint8_t> joined;
    AppendContinued(joined, data, next);
    ByteReader r(joined);
    size_t count = r.U16();
    externSheets_.clear();
    for (size_t i = 0; i < count && r.Remaining() >= 6; ++i) {
      uint16_t book = r.U16(), first = r.U16(), last = r.U16();
      bool own = book < ownSupBook_.size() && ownSupBook_[book];
      externSheets_.push_back(own && first == last ? first : -1);
    }
    return;
  }
  // BIFF5/7: one record per entry, a sheet of this workbook encoded as 0x03 and its name.
  if (externNames_.size() >= 65535) return;
  ByteReader r(data);
  size_t length = r.U8();
  std::string name;
  if (length >= 1 && r.Remaining() >= length && r.U8() == 0x03) {
    name = Bytes8(r.Bytes(length - 1), length - 1);
  }
  externNames_.push_back(std::move(name));
}

void Parser::NoteObject(Substream& st, uint16_t type, const model::Anchor* anchor) {
  if (type == 5) {
    st.chartObject = true;
    st.chartPlace = {};
    st.chartPlace.from = st.objectDrawingEnd;
    st.chartPlace.to = st.drawing.size();
    if (anchor) {
      st.chartPlace.anchored = true;
      st.chartPlace.anchor = *anchor;
    }
  }
  st.objectDrawingEnd = st.drawing.size();
}

// BIFF5/7: the object record holds its own anchor.
void Parser::OnObj5(ByteReader r, Substream& st) {
  r.Skip(4);
  uint16_t type = r.U16();
  r.Skip(4);
  model::Anchor a;
  a.col1 = r.U16();
  a.dx1 = r.U16();
  a.row1 = r.U16();
  a.dy1 = r.U16();
  a.col2 = r.U16();
  a.dx2 = r.U16();
  a.row2 = r.U16();
  a.dy2 = r.U16();
  NoteObject(st, type, &a);
}

size_t Parser::ReadEmbedded(size_t pos, Substream& st) {
  const size_t end = SkipSubstream(pos);
  const size_t bofLength = Le16(&s_[pos + 2]);
  const bool chart = version_ >= 5 && bofLength >= 4 && Le16(&s_[pos + 6]) == 0x0020;
  if (!chart) return end;
  // A chart without its object before it has no place on the sheet (left out below).
  if (!st.chartObject) st.chartPlace = {};
  st.chartObject = false;
  try {
    ChartReader reader(*this);
    model::Chart chart = reader.Read(pos + 4 + bofLength, end);
    st.charts.emplace_back(std::move(chart), st.chartPlace);
  } catch (const ChartDamage& damage) {
    book_.biff.chartsLeftOut.push_back("a chart on sheet \"" + st.sheet->name +
                                       "\" is damaged: " + damage.reason);
  }
  return end;
}

void Parser::PlaceCharts(Substream& st) {
  if (st.charts.empty()) return;
  std::vector<PlacedShape> shapes;
  if (!st.drawing.empty()) ReadSheetShapes(st.drawing, shapes);
  for (auto& [chart, place] : st.charts) {
    if (!place.anchored) {
      // The chart's shape: the last placed shape whose data lie before its object record.
      for (const PlacedShape& shape : shapes) {
        if (shape.offset < place.from || shape.offset >= place.to) continue;
        const model::Picture& p = shape.place;
        place.anchor = {p.col1, p.dx1, p.row1, p.dy1, p.col2, p.dx2, p.row2, p.dy2};
        chart.name = p.name;
        place.anchored = true;
      }
    }
    model::Anchor& a = place.anchor;
    if (!place.anchored || a.row1 > maxRow_ || a.col1 > model::kMaxColumn) {
      book_.biff.chartsLeftOut.push_back("a chart on sheet \"" + st.sheet->name +
                                         "\" has no place on the sheet");
      continue;
    }
    a.row2 = std::min(std::max(a.row2, a.row1), maxRow_);
    a.col2 = std::min(std::max(a.col2, a.col1), model::kMaxColumn);
    chart.anchor = a;
    st.sheet->charts.push_back(std::move(chart));
  }
  st.charts.clear();
}

}  // namespace quillane::biff::reader
