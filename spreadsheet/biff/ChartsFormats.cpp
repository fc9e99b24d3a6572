// The chart substream's formats and texts: line, area and marker formats of series, points,
// frames and axes; the references of a series' parts; the texts of titles, labels and legends.
#include <algorithm>
#include <cctype>

#include "spreadsheet/biff/ChartsReader.h"

namespace quillane::biff::reader {

namespace {

std::string ColumnName(uint32_t col) {
  std::string name;
  for (++col; col > 0; col = (col - 1) / 26) {
    name.insert(name.begin(), static_cast<char>('A' + (col - 1) % 26));
  }
  return name;
}

std::string SheetPrefix(const std::string& sheet) {
  bool plain = !sheet.empty() && !(sheet[0] >= '0' && sheet[0] <= '9');
  for (unsigned char c : sheet) {
    if (!(std::isalnum(c) || c == '_' || c >= 0x80)) plain = false;
  }
  if (plain) return sheet + "!";
  std::string quoted = "'";
  for (char c : sheet) {
    quoted += c;
    if (c == '\'') quoted += '\'';
  }
  return quoted + "'!";
}

model::MarkerShape MarkerOf(uint16_t imk) {
  using model::MarkerShape;
  static constexpr MarkerShape kShapes[] = {
      MarkerShape::None,   MarkerShape::Square, MarkerShape::Diamond, MarkerShape::Triangle,
      MarkerShape::X,      MarkerShape::Star,   MarkerShape::Dash,    MarkerShape::Dash,
      MarkerShape::Circle, MarkerShape::Plus};
  return imk < std::size(kShapes) ? kShapes[imk] : MarkerShape::Automatic;
}

}  // namespace

void ChartReader::OnLineFormat(ByteReader r) {
  const uint8_t* rgb = r.Bytes(4);
  uint16_t style = r.U16();
  int16_t weight = static_cast<int16_t>(r.U16());
  uint16_t flags = r.U16();
  uint16_t icv = 0xFFFF;
  if (p_.version_ == 8 && r.Remaining() >= 2) icv = r.U16();
  model::ChartLine line;
  line.visible = style != 5;
  line.dash = style <= 4 ? static_cast<uint8_t>(style) : 0;
  if (!(flags & 0x01)) {
    line.color = ColorOf(rgb, icv == 0xFFFF ? nullptr : &icv);
    line.widthPt = weight < 0 ? 0.25f : weight == 0 ? 0.75f : weight == 1 ? 1.5f : 2.25f;
  }
  switch (Top()) {
    case Block::DataFormat:
      if (format_.groupDefault) return;
      if (model::ChartSeries* s = FormatSeries()) {
        if (format_.point == kWholeSeries) {
          s->line = line;
        } else if (!s->points.empty() && s->points.back().index == format_.point) {
          s->points.back().line = line;
        }
      }
      return;
    case Block::Frame:
      if (stack_.back().frame == FrameOf::Chart) chart_.chartBorder = line;
      if (stack_.back().frame == FrameOf::Plot) chart_.plotBorder = line;
      return;
    case Block::Axis:
      if (!axis_) return;
      if (axisLine_ == 0) {
        // The axis line: shown only with the axis-on flag.
        if (!(flags & 0x04)) line.visible = false;
        axis_->line = line;
      }
      if (axisLine_ == 1) {
        axis_->majorGridlines = line.visible;
        axis_->gridLine = line;
      }
      if (axisLine_ == 2) {
        axis_->minorGridlines = line.visible;
        if (!axis_->majorGridlines) axis_->gridLine = line;
      }
      return;
    default:
      return;
  }
}

void ChartReader::OnAreaFormat(ByteReader r) {
  const uint8_t* fore = r.Bytes(4);
  r.Skip(4);
  uint16_t pattern = r.U16();
  uint16_t flags = r.U16();
  uint16_t icv = 0xFFFF;
  if (p_.version_ == 8 && r.Remaining() >= 2) icv = r.U16();
  model::ChartFill fill;
  fill.visible = pattern != 0;
  if (!(flags & 0x01)) fill.color = ColorOf(fore, icv == 0xFFFF ? nullptr : &icv);
  if (Top() == Block::DataFormat && !format_.groupDefault) {
    if (model::ChartSeries* s = FormatSeries()) {
      if (format_.point == kWholeSeries) {
        s->fill = fill;
      } else if (!s->points.empty() && s->points.back().index == format_.point) {
        s->points.back().fill = fill;
      }
    }
  } else if (Top() == Block::Frame) {
    if (stack_.back().frame == FrameOf::Chart) chart_.chartFill = fill;
    if (stack_.back().frame == FrameOf::Plot) chart_.plotFill = fill;
  }
}

void ChartReader::OnMarkerFormat(ByteReader r) {
  const uint8_t* fore = r.Bytes(4);
  const uint8_t* back = r.Bytes(4);
  uint16_t imk = r.U16();
  uint16_t flags = r.U16();
  model::ChartSeries* s = FormatSeries();
  if (Top() != Block::DataFormat || format_.groupDefault || !s || format_.point != kWholeSeries) {
    return;
  }
  if (flags & 0x01) {
    s->marker = model::MarkerShape::Automatic;
    return;
  }
  s->marker = MarkerOf(imk);
  uint16_t icvFore = 0xFFFF, icvBack = 0xFFFF;
  if (p_.version_ == 8 && r.Remaining() >= 8) {
    icvFore = r.U16();
    icvBack = r.U16();
    uint32_t twips = r.U32();
    s->markerSize = static_cast<uint8_t>(std::clamp<uint32_t>(twips / 20, 2, 72));
  }
  if (!(flags & 0x20)) s->markerLine = ColorOf(fore, icvFore == 0xFFFF ? nullptr : &icvFore);
  if (!(flags & 0x10)) s->markerFill = ColorOf(back, icvBack == 0xFFFF ? nullptr : &icvBack);
}

// A series part's reference: one 3-D cell or area reference names cells of a sheet; anything
// else (a union, a name, another workbook) leaves the cached values alone in charge.
void ChartReader::ReadReference(ByteReader& r, size_t cce, model::ChartData& data) {
  if (cce == 0 || cce > r.Remaining()) return;
  ByteReader f(std::span<const uint8_t>(r.Bytes(cce), cce));
  uint8_t ptg = f.U8();
  uint8_t base = ptg & 0x1F;  // the token without its class bits
  if ((ptg & 0x60) == 0 || (base != 0x1A && base != 0x1B)) return;
  const bool area = base == 0x1B;
  int32_t sheet = -1;
  model::Range range;
  if (p_.version_ == 8) {
    uint16_t ixti = f.U16();
    if (ixti < p_.externSheets_.size()) sheet = p_.externSheets_[ixti];
    range.firstRow = f.U16();
    range.lastRow = area ? f.U16() : range.firstRow;
    range.firstCol = f.U16() & 0x3FFF;
    range.lastCol = area ? f.U16() & 0x3FFF : range.firstCol;
  } else {
    // BIFF5/7: a negative index is this workbook, with the sheet's position in the tab fields.
    int16_t ixals = static_cast<int16_t>(f.U16());
    f.Skip(8);
    uint16_t tabFirst = f.U16(), tabLast = f.U16();
    range.firstRow = f.U16() & 0x3FFF;
    range.lastRow = area ? f.U16() & 0x3FFF : range.firstRow;
    range.firstCol = f.U8();
    range.lastCol = area ? f.U8() : range.firstCol;
    if (ixals < 0 && tabFirst == tabLast) {
      if (tabFirst < p_.book_.sheets.size()) {
        sheet = tabFirst;
      } else if (size_t entry = static_cast<size_t>(-ixals) - 1;
                 entry < p_.externNames_.size() && !p_.externNames_[entry].empty()) {
        for (size_t i = 0; i < p_.book_.sheets.size(); ++i) {
          if (p_.book_.sheets[i].name == p_.externNames_[entry]) sheet = static_cast<int32_t>(i);
        }
      }
    }
  }
  if (!f.AtEnd()) return;  // more than one token: not a plain reference
  if (sheet < 0 || static_cast<size_t>(sheet) >= p_.book_.sheets.size()) return;
  if (!p_.ClipToGrid(range)) return;
  data.sheet = sheet;
  data.range = range;
  data.formula = SheetPrefix(p_.book_.sheets[sheet].name) + "$" + ColumnName(range.firstCol) + "$" +
                 std::to_string(range.firstRow + 1);
  if (area && (range.lastRow != range.firstRow || range.lastCol != range.firstCol)) {
    data.formula += ":$" + ColumnName(range.lastCol) + "$" + std::to_string(range.lastRow + 1);
  }
}

void ChartReader::OnAi(ByteReader r) {
  uint8_t id = r.U8();
  uint8_t type = r.U8();
  uint16_t flags = r.U16();
  uint16_t ifmt = r.U16();
  size_t cce = r.U16();
  aiId_ = id;
  if (Top() != Block::Series || series_.empty()) return;
  model::ChartSeries& s = series_.back().series;
  model::ChartData* data = id == 0   ? &s.name
                           : id == 1 ? &s.values
                           : id == 2 ? &s.categories
                                     : nullptr;
  if (!data) return;
  if (flags & 0x01) data->numberFormat = FormatCode(ifmt);
  if (type == 2) ReadReference(r, cce, *data);
}

void ChartReader::OnText(ByteReader r) {
  TextState text;
  text.defaultText = last_ == crt::kDefaultText;
  r.Skip(4);  // alignment, background mode
  const uint8_t* rgb = r.Bytes(4);
  r.Skip(16);  // position
  text.flags = r.U16();
  uint16_t icv = 0xFFFF;
  if (p_.version_ == 8 && r.Remaining() >= 2) icv = r.U16();
  if (!(text.flags & 0x01)) text.color = ColorOf(rgb, icv == 0xFFFF ? nullptr : &icv);
  texts_.push_back(std::move(text));
}

// The end of a TEXT block: the text goes where its OBJECTLINK (or its place) says.
void ChartReader::EndText() {
  if (texts_.empty()) return;
  TextState t = std::move(texts_.back());
  texts_.pop_back();
  if (!t.text.hasFont && !t.color.automatic) {
    // A colour of its own over the chart's font.
    t.text.font = chart_.font;
    t.text.hasFont = true;
  }
  if (t.text.hasFont && !t.color.automatic) t.text.font.color = t.color;
  const bool deleted = t.flags & 0x40;
  if (t.defaultText) {
    // The first default text outside the chart groups gives the font of the whole chart.
    if (Top() == Block::Chart && !haveDefaultFont_ && t.text.hasFont) {
      chart_.font = t.text.font;
      chart_.hasFont = true;
      haveDefaultFont_ = true;
    }
    return;
  }
  if (Top() == Block::Legend) {
    if (t.text.hasFont) {
      chart_.legendFont = t.text.font;
      chart_.hasLegendFont = true;
    }
    return;
  }
  switch (t.linkObject) {
    case 1:  // the chart's title
      if (deleted) return;
      chart_.title = std::move(t.text);
      chart_.autoTitle = !t.hasText;
      return;
    case 2:  // the value axis
      (secondary_ ? chart_.secondaryValueAxis : chart_.valueAxis).title = std::move(t.text);
      return;
    case 3:  // the category axis
      if (!secondary_) chart_.categoryAxis.title = std::move(t.text);
      return;
    case 4: {  // data labels of a series
      if (deleted || t.linkPoint != kWholeSeries || t.linkSeries >= series_.size()) return;
      model::DataLabels& labels = series_[t.linkSeries].series.labels;
      if (t.haveLabelFlags) {
        labels.seriesName = t.labels.seriesName;
        labels.category = t.labels.category;
        labels.value = t.labels.value;
        labels.percent = t.labels.percent;
      } else {
        labels.value = t.flags & 0x0004;
        labels.category = t.flags & (0x4000 | 0x0800);
        labels.percent = t.flags & (0x1000 | 0x0800);
      }
      return;
    }
    default:
      return;
  }
}

}  // namespace quillane::biff::reader
