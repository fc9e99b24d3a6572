// The charts embedded in a sheet: an OBJ record of a chart object (after the MSODRAWING record
// of its shape) is followed by a chart substream (BOF of type 0x0020 ... EOF) inside the sheet's
// own substream. The substream is a tree of records: a record that opens an object (CHART,
// SERIES, AXISPARENT, AXIS, CHARTFORMAT, TEXT, FRAME, DATAFORMAT, LEGEND, ...) is followed by
// BEGIN, the records of its contents, and END.
//
// Order of work: ReadEmbedded reads the substream into a model::Chart with ChartReader, which
// keeps a stack of the open objects and routes each record by the object it lies in; at the
// substream's EOF the series go to their chart groups and the cached values to their series.
// FinishSheet then places each chart at the cell anchor of its shape (PlaceCharts).
// Invariants: a chart is kept whole or left out: a damaged chart substream (records cut short,
// BEGIN and END that do not pair, nesting past kMaxDepth, no CHART record) is left out and its
// reason listed in BiffSource::chartsLeftOut, and so is a chart without a place on the sheet; the
// sheet and the workbook are read on either way. Series references name a sheet of this workbook
// only when EXTERNSHEET (and SUPBOOK) say so.
// Bounds: the substream is read once, record by record; at most kMaxSeries series and
// kMaxGroups chart groups per chart; the cached values of all charts of a workbook take at most
// one slot per byte of the stream plus 1M slots (past that the chart is left out).
#include <algorithm>
#include <cmath>

#include "spreadsheet/biff/ChartsReader.h"

namespace quillane::biff::reader {

model::Font ChartReader::FontAt(uint16_t index) const {
  // FONTX counts the workbook's FONT records from 1; the model numbers them as the cell
  // formats do, which skip number 4.
  if (index == 0) return chart_.font;
  uint16_t font = index >= 5 ? index : static_cast<uint16_t>(index - 1);
  model::Font f = p_.book_.FontOf(font);
  const auto& colors = p_.book_.biff.fontColors;
  if (font < colors.size()) f.color = p_.book_.IndexedColor(colors[font]);
  return f;
}

std::string ChartReader::ReadShortString(ByteReader& r) {
  return p_.version_ == 8 ? p_.UnicodeShort(r) : p_.ByteString8(r);
}

void ChartReader::OnKind(uint16_t id, ByteReader r) {
  if (Top() != Block::ChartFormat || groups_.empty()) return;
  GroupState& g = groups_.back();
  model::ChartGroup& group = g.group;
  g.kindSet = true;
  auto grouping = [&](bool stacked, bool percent) {
    group.grouping = percent   ? model::ChartGrouping::PercentStacked
                     : stacked ? model::ChartGrouping::Stacked
                               : model::ChartGrouping::Clustered;
  };
  switch (id) {
    case crt::kBar: {
      group.overlap = std::clamp<int16_t>(static_cast<int16_t>(r.U16()), -100, 100);
      group.gapWidth = std::clamp<int16_t>(static_cast<int16_t>(r.U16()), 0, 500);
      uint16_t flags = r.U16();
      group.kind = (flags & 0x01) ? model::ChartKind::Bar : model::ChartKind::Column;
      grouping(flags & 0x02, flags & 0x04);
      return;
    }
    case crt::kLine:
    case crt::kArea: {
      uint16_t flags = r.U16();
      group.kind = id == crt::kLine ? model::ChartKind::Line : model::ChartKind::Area;
      grouping(flags & 0x01, flags & 0x02);
      return;
    }
    case crt::kPie: {
      group.firstSliceAngle = static_cast<uint16_t>(r.U16() % 360);
      uint16_t hole = r.U16();
      group.kind = hole > 0 ? model::ChartKind::Doughnut : model::ChartKind::Pie;
      group.holeSize = std::min<uint16_t>(hole, 90);
      return;
    }
    case crt::kScatter:
      group.kind = model::ChartKind::Scatter;
      if (r.Remaining() >= 6) {
        r.Skip(4);
        g.bubbles = r.U16() & 0x01;
      }
      return;
    case crt::kRadar:
    case crt::kRadarArea:
      group.kind = model::ChartKind::Radar;
      g.filledRadar = id == crt::kRadarArea;
      return;
    case crt::kSurf:
      group.kind = model::ChartKind::Area;
      g.surface = true;
      return;
    case crt::kBopPop:
      group.kind = model::ChartKind::Pie;
      g.pieOf = r.U8();
      return;
    default:
      return;
  }
}

void ChartReader::EndChartFormat() {
  if (groups_.empty()) return;
  GroupState& g = groups_.back();
  if (!g.kindSet) g.group.kind = model::ChartKind::None;
}

void ChartReader::OnCached(uint16_t id, ByteReader r) {
  uint16_t point = r.U16();
  uint16_t col = r.U16();
  r.U16();  // cell format
  if (col >= series_.size() || cached_ < 1 || cached_ > 2) return;
  model::ChartData& data =
      cached_ == 1 ? series_[col].series.values : series_[col].series.categories;
  const bool text = id == rec::kLabel;
  const size_t size = text ? data.texts.size() : data.numbers.size();
  if (point >= size) {
    size_t grow = point + 1 - size;
    if (grow > p_.chartPointBudget_)
      throw ChartDamage{"more cached values than the file could hold"};
    p_.chartPointBudget_ -= grow;
  }
  if (text) {
    if (point >= data.texts.size()) data.texts.resize(point + 1);
    data.texts[point] = p_.version_ == 8 ? p_.UnicodeLong(r) : p_.ByteString16(r);
    return;
  }
  if (point >= data.numbers.size()) data.numbers.resize(point + 1, model::kNoValue);
  if (id == rec::kNumber) {
    data.numbers[point] = r.Double();
  } else if (id == rec::kBoolErr) {
    uint8_t value = r.U8();
    if (r.U8() == 0) data.numbers[point] = value;  // a boolean (errors stay empty)
  }
}

void ChartReader::Begin() {
  if (stack_.size() >= kMaxDepth) throw ChartDamage{"its records nest too deeply"};
  Level level{next_, FrameOf::None};
  if (next_ == Block::Frame) {
    if (Top() == Block::Chart) level.frame = FrameOf::Chart;
    if (Top() == Block::AxisParent && sawPlotArea_) level.frame = FrameOf::Plot;
  }
  stack_.push_back(level);
  next_ = Block::Other;
}

void ChartReader::End() {
  if (stack_.empty()) throw ChartDamage{"an END record closes no block"};
  Block closing = stack_.back().block;
  stack_.pop_back();
  switch (closing) {
    case Block::Text:
      EndText();
      break;
    case Block::ChartFormat:
      EndChartFormat();
      break;
    case Block::AxisParent:
      secondary_ = false;
      sawPlotArea_ = false;
      axis_ = nullptr;
      break;
    case Block::Axis:
      // An axis without its line and tick labels is one the user deleted.
      if (axis_ && !axisLabels_ && !axis_->line.visible) axis_->visible = false;
      axis_ = nullptr;
      break;
    case Block::DataFormat:
      format_ = {};
      break;
    default:
      break;
  }
}

// The series to their chart groups, the kinds the page does not draw to the nearest it does.
void ChartReader::Finish() {
  if (!sawChart_) throw ChartDamage{"it has no CHART record"};
  if (!stack_.empty()) throw ChartDamage{"it ends inside an open block"};
  if (!haveLegend_) chart_.legend = model::LegendPosition::None;
  if (groups_.empty()) groups_.emplace_back().group.kind = model::ChartKind::None;
  for (SeriesState& s : series_) {
    if (s.auxiliary) continue;
    size_t group = s.group < groups_.size() ? s.group : 0;
    groups_[group].group.series.push_back(std::move(s.series));
  }
  for (GroupState& g : groups_) {
    model::ChartGroup& group = g.group;
    std::string as;
    using model::ChartKind;
    switch (group.kind) {
      case ChartKind::Column:
        as = g.has3d ? "3-D column" : "";
        break;
      case ChartKind::Bar:
        as = g.has3d ? "3-D bar" : "";
        break;
      case ChartKind::Line:
        as = g.hiLoLines || g.dropBars ? "stock" : g.has3d ? "3-D line" : "";
        break;
      case ChartKind::Area:
        as = g.surface ? (g.has3d ? "3-D surface" : "surface") : g.has3d ? "3-D area" : "";
        break;
      case ChartKind::Pie:
        as = g.pieOf == 1 ? "pie of pie" : g.pieOf == 2 ? "bar of pie" : g.has3d ? "3-D pie" : "";
        break;
      case ChartKind::Scatter:
        as = g.bubbles ? "bubble" : "";
        break;
      case ChartKind::Radar:
        as = g.filledRadar ? "filled radar" : "";
        break;
      default:
        break;
    }
    if (chart_.drawnAs.empty()) chart_.drawnAs = as;
    // Markers and joining lines: a group draws them when any of its series does.
    if (group.kind == ChartKind::Line || group.kind == ChartKind::Scatter ||
        group.kind == ChartKind::Radar) {
      bool markers = false, lines = false;
      for (const model::ChartSeries& s : group.series) {
        markers |= s.marker != model::MarkerShape::None;
        lines |= s.line.visible;
      }
      if (!group.series.empty()) {
        group.markers = markers;
        if (group.kind == ChartKind::Scatter) group.lines = lines;
      }
      if (g.filledRadar) group.markers = false;
    }
    chart_.groups.push_back(std::move(group));
  }
}

model::Chart ChartReader::Read(size_t pos, size_t end) {
  const std::vector<uint8_t>& s = p_.s_;
  chart_.categoryAxis.visible = chart_.valueAxis.visible = false;
  chart_.secondaryValueAxis.visible = false;
  while (pos + 4 <= end) {
    uint16_t id = Le16(&s[pos]);
    size_t length = Le16(&s[pos + 2]);
    size_t data = pos + 4;
    if (length > end - data) throw ChartDamage{"a record runs past its substream"};
    pos = data + length;
    if (id == rec::kEof) break;
    if (IsBofId(id)) throw ChartDamage{"it holds another substream"};
    try {
      Record(id, ByteReader(std::span<const uint8_t>(s.data() + data, length)));
    } catch (const ShortRecord&) {
      throw ChartDamage{"a record is cut short"};
    }
  }
  Finish();
  return std::move(chart_);
}

}  // namespace quillane::biff::reader
