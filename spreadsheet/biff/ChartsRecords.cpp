// The chart substream's records routed to their handlers, one handler per group of records: the
// blocks, the series, the formats of series and points, the texts, the axes and the chart groups.
#include <algorithm>
#include <cmath>

#include "spreadsheet/biff/ChartsReader.h"

namespace quillane::biff::reader {

namespace {

model::LegendPosition LegendAt(uint8_t type) {
  switch (type) {
    case 0:
      return model::LegendPosition::Bottom;
    case 1:
      return model::LegendPosition::Corner;
    case 2:
      return model::LegendPosition::Top;
    case 4:
      return model::LegendPosition::Left;
    default:
      return model::LegendPosition::Right;
  }
}
}  // namespace

void ChartReader::Record(uint16_t id, ByteReader r) {
  // A block belongs to the record right before its BEGIN.
  if (id != crt::kBegin) next_ = Block::Other;
  if (!OnBlockRecord(id, r) && !OnSeriesRecord(id, r) && !OnFormatRecord(id, r) &&
      !OnTextRecord(id, r) && !OnAxisRecord(id, r)) {
    OnGroupRecord(id, r);
  }
  if (id != crt::kBegin && id != crt::kEnd) last_ = id;
}

// The chart's own records: blocks, frames, sheet properties and the cached values.
bool ChartReader::OnBlockRecord(uint16_t id, ByteReader& r) {
  switch (id) {
    case crt::kBegin:
      Begin();
      return true;
    case crt::kEnd:
      End();
      return true;
    case crt::kChart:
      if (sawChart_) throw ChartDamage{"it holds a second CHART record"};
      sawChart_ = true;
      next_ = Block::Chart;
      return true;
    case crt::kFrame:
      next_ = Block::Frame;
      return true;
    case crt::kPlotArea:
      sawPlotArea_ = true;
      return true;
    case crt::kShtProps: {
      uint16_t flags = r.U16();
      chart_.visibleCellsOnly = flags & 0x02;
      if (r.Remaining() >= 1) {
        uint8_t blanks = r.U8();
        chart_.emptyPoints = blanks == 1   ? model::EmptyPoints::Zero
                             : blanks == 2 ? model::EmptyPoints::Span
                                           : model::EmptyPoints::Gap;
      }
      return true;
    }
    case crt::kSiIndex:
      cached_ = r.U16();
      return true;
    case rec::kNumber:
    case rec::kLabel:
    case rec::kBoolErr:
    case rec::kBlank:
      OnCached(id, r);
      return true;
    default:
      return false;
  }
}

bool ChartReader::OnSeriesRecord(uint16_t id, ByteReader& r) {
  switch (id) {
    case crt::kSeries:
      if (Top() != Block::Chart) return true;
      if (series_.size() >= kMaxSeries) throw ChartDamage{"it has too many series"};
      series_.emplace_back();
      next_ = Block::Series;
      return true;
    case crt::kAi:
      OnAi(r);
      return true;
    case crt::kSeriesText:
      r.U16();
      if (Top() == Block::Text && !texts_.empty()) {
        texts_.back().text.text = ReadShortString(r);
        texts_.back().hasText = true;
      } else if (Top() == Block::Series && !series_.empty() && aiId_ == 0) {
        series_.back().series.name.texts = {ReadShortString(r)};
      }
      return true;
    case crt::kSerToCrt:
      if (Top() == Block::Series && !series_.empty()) series_.back().group = r.U16();
      return true;
    case crt::kSerParent:
      if (Top() == Block::Series && !series_.empty()) series_.back().auxiliary = true;
      return true;
    default:
      return false;
  }
}

// DATAFORMAT and the formats of the series, or the point, it opens.
bool ChartReader::OnFormatRecord(uint16_t id, ByteReader& r) {
  switch (id) {
    case crt::kDataFormat:
      OnDataFormat(r);
      return true;
    case crt::kLineFormat:
      OnLineFormat(r);
      return true;
    case crt::kAreaFormat:
      OnAreaFormat(r);
      return true;
    case crt::kMarkerFormat:
      OnMarkerFormat(r);
      return true;
    case crt::kPieFormat: {
      uint16_t explosion = std::min<uint16_t>(r.U16(), 400);
      model::ChartSeries* s = FormatSeries();
      if (Top() != Block::DataFormat || format_.groupDefault || !s) return true;
      if (format_.point == kWholeSeries) {
        s->explosion = explosion;
      } else if (!s->points.empty() && s->points.back().index == format_.point) {
        s->points.back().explosion = explosion;
      }
      return true;
    }
    case crt::kSerFmt:
      if (Top() == Block::DataFormat && !format_.groupDefault && FormatSeries()) {
        FormatSeries()->smooth = r.U16() & 0x01;
      }
      return true;
    case crt::kAttachedLabel: {
      if (Top() != Block::DataFormat || format_.point != kWholeSeries) return true;
      uint16_t flags = r.U16();
      model::DataLabels labels;
      labels.value = flags & 0x01;
      labels.percent = flags & (0x02 | 0x04);
      labels.category = flags & (0x10 | 0x04);
      labels.seriesName = p_.version_ == 8 && (flags & 0x40);
      if (format_.groupDefault) {
        if (!groups_.empty()) groups_.back().group.labels = labels;
      } else if (model::ChartSeries* s = FormatSeries()) {
        s->labels = labels;
      }
      return true;
    }
    default:
      return false;
  }
}

void ChartReader::OnDataFormat(ByteReader& r) {
  uint16_t point = r.U16();
  uint16_t index = r.U16();
  next_ = Block::DataFormat;
  format_ = {};
  format_.point = point;
  if (Top() == Block::ChartFormat) {
    format_.groupDefault = true;
    return;
  }
  format_.series = Top() == Block::Series ? series_.size() - 1 : index;
  model::ChartSeries* s = FormatSeries();
  if (s && point != kWholeSeries) {
    if (s->points.size() >= 4096) {
      format_.series = SIZE_MAX;  // more formatted points than the page keeps
    } else {
      s->points.emplace_back().index = point;
    }
  }
}

// TEXT and what a text block holds: its font, what it is linked to, a data label's contents.
bool ChartReader::OnTextRecord(uint16_t id, ByteReader& r) {
  switch (id) {
    case crt::kText:
      OnText(r);
      next_ = Block::Text;
      return true;
    case crt::kFontX:
      if (Top() == Block::Text && !texts_.empty()) {
        texts_.back().text.font = FontAt(r.U16());
        texts_.back().text.hasFont = true;
      } else if (Top() == Block::Axis && axis_) {
        axis_->font = FontAt(r.U16());
        axis_->hasFont = true;
      }
      return true;
    case crt::kObjectLink:
      if (Top() == Block::Text && !texts_.empty()) {
        texts_.back().linkObject = r.U16();
        texts_.back().linkSeries = r.U16();
        texts_.back().linkPoint = r.U16();
      }
      return true;
    case crt::kDataLabExtContents:
      if (Top() == Block::Text && !texts_.empty()) {
        r.Skip(12);
        uint16_t flags = r.U16();
        TextState& t = texts_.back();
        t.haveLabelFlags = true;
        t.labels.seriesName = flags & 0x01;
        t.labels.category = flags & 0x02;
        t.labels.value = flags & 0x04;
        t.labels.percent = flags & 0x08;
      }
      return true;
    default:
      return false;
  }
}

// AXISPARENT, AXIS and the records of an axis: its range, ticks, line and number format.
bool ChartReader::OnAxisRecord(uint16_t id, ByteReader& r) {
  switch (id) {
    case crt::kAxisParent:
      if (Top() != Block::Chart) return true;
      secondary_ = r.U16() == 1;
      sawPlotArea_ = false;
      next_ = Block::AxisParent;
      return true;
    case crt::kAxis: {
      if (Top() != Block::AxisParent) return true;
      uint16_t type = r.U16();
      axis_ = &scratchAxis_;
      if (type == 0 && !secondary_) axis_ = &chart_.categoryAxis;
      if (type == 1) axis_ = secondary_ ? &chart_.secondaryValueAxis : &chart_.valueAxis;
      axis_->visible = true;
      axisLine_ = 0;
      axisLabels_ = true;
      next_ = Block::Axis;
      return true;
    }
    case crt::kValueRange:
      if (Top() == Block::Axis && axis_) {
        double min = r.Double(), max = r.Double(), major = r.Double();
        r.Skip(16);  // minor unit, crossing point
        uint16_t flags = r.U16();
        if (!(flags & 0x01) && std::isfinite(min)) axis_->min = min;
        if (!(flags & 0x02) && std::isfinite(max)) axis_->max = max;
        if (!(flags & 0x04) && std::isfinite(major) && major > 0) axis_->majorUnit = major;
        axis_->logScale = flags & 0x20;
        axis_->reversed = flags & 0x40;
      }
      return true;
    case crt::kCatSerRange:
      if (Top() == Block::Axis && axis_) {
        r.Skip(6);
        axis_->reversed = r.U16() & 0x04;
      }
      return true;
    case crt::kTick:
      if (Top() == Block::Axis && axis_) OnTick(r);
      return true;
    case crt::kAxisLine:
      axisLine_ = r.U16();
      return true;
    case crt::kIfmt:
      if (Top() == Block::Axis && axis_) axis_->numberFormat = FormatCode(r.U16());
      return true;
    default:
      return false;
  }
}

void ChartReader::OnTick(ByteReader& r) {
  r.Skip(2);
  axisLabels_ = r.U8() != 0;
  r.Skip(1);
  const uint8_t* rgb = r.Bytes(4);
  r.Skip(16);
  uint16_t flags = r.U16();
  uint16_t icv = 0xFFFF;
  if (p_.version_ == 8 && r.Remaining() >= 2) icv = r.U16();
  if (!(flags & 0x01)) {
    if (!axis_->hasFont) axis_->font = chart_.font;
    axis_->hasFont = true;
    axis_->font.color = ColorOf(rgb, icv == 0xFFFF ? nullptr : &icv);
  }
}

// CHARTFORMAT, the kind of its group and what the group shows besides its series.
void ChartReader::OnGroupRecord(uint16_t id, ByteReader& r) {
  switch (id) {
    case crt::kChartFormat:
      if (Top() != Block::AxisParent) break;
      if (groups_.size() >= kMaxGroups) throw ChartDamage{"it has too many chart groups"};
      groups_.emplace_back().group.secondaryAxis = secondary_;
      if (r.Remaining() >= 18) {
        r.Skip(16);
        groups_.back().group.varyColors = r.U16() & 0x01;
      }
      next_ = Block::ChartFormat;
      break;
    case crt::kBar:
    case crt::kLine:
    case crt::kPie:
    case crt::kArea:
    case crt::kScatter:
    case crt::kRadar:
    case crt::kRadarArea:
    case crt::kSurf:
    case crt::kBopPop:
      OnKind(id, r);
      break;
    case crt::kChart3d:
      if (Top() == Block::ChartFormat && !groups_.empty()) groups_.back().has3d = true;
      break;
    case crt::kChartLine:
      if (Top() == Block::ChartFormat && !groups_.empty() && r.U16() == 1) {
        groups_.back().hiLoLines = true;
      }
      break;
    case crt::kDropBar:
      if (Top() == Block::ChartFormat && !groups_.empty()) groups_.back().dropBars = true;
      break;
    case crt::kLegend:
      if (Top() != Block::ChartFormat) break;
      r.Skip(16);
      chart_.legend = LegendAt(r.U8());
      haveLegend_ = true;
      next_ = Block::Legend;
      break;
    default:
      break;
  }
}

}  // namespace quillane::biff::reader
