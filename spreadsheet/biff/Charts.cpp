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
#include <cctype>
#include <cmath>

#include "spreadsheet/biff/Drawing.h"
#include "spreadsheet/biff/Parser.h"
#include "spreadsheet/format/NumberFormat.h"

namespace quillane::biff::reader {

namespace {

namespace crt {
inline constexpr uint16_t kChart = 0x1002, kSeries = 0x1003;
inline constexpr uint16_t kDataFormat = 0x1006, kLineFormat = 0x1007, kMarkerFormat = 0x1009;
inline constexpr uint16_t kAreaFormat = 0x100A, kPieFormat = 0x100B, kAttachedLabel = 0x100C;
inline constexpr uint16_t kSeriesText = 0x100D, kChartFormat = 0x1014, kLegend = 0x1015;
inline constexpr uint16_t kBar = 0x1017, kLine = 0x1018, kPie = 0x1019, kArea = 0x101A;
inline constexpr uint16_t kScatter = 0x101B, kChartLine = 0x101C, kAxis = 0x101D;
inline constexpr uint16_t kTick = 0x101E, kValueRange = 0x101F, kCatSerRange = 0x1020;
inline constexpr uint16_t kAxisLine = 0x1021, kDefaultText = 0x1024, kText = 0x1025;
inline constexpr uint16_t kFontX = 0x1026, kObjectLink = 0x1027, kFrame = 0x1032;
inline constexpr uint16_t kBegin = 0x1033, kEnd = 0x1034, kPlotArea = 0x1035;
inline constexpr uint16_t kChart3d = 0x103A, kDropBar = 0x103D, kRadar = 0x103E;
inline constexpr uint16_t kSurf = 0x103F, kRadarArea = 0x1040, kAxisParent = 0x1041;
inline constexpr uint16_t kShtProps = 0x1044, kSerToCrt = 0x1045, kSerParent = 0x104A;
inline constexpr uint16_t kIfmt = 0x104E, kAi = 0x1051, kSerFmt = 0x105D, kBopPop = 0x1061;
inline constexpr uint16_t kSiIndex = 0x1065, kDataLabExtContents = 0x086B;
}  // namespace crt

constexpr size_t kMaxDepth = 32;
constexpr size_t kMaxSeries = 1024;
constexpr size_t kMaxGroups = 16;
constexpr uint16_t kWholeSeries = 0xFFFF;

// A chart substream that cannot be read: the chart is left out for `reason`.
struct ChartDamage {
  std::string reason;
};

// The objects a BEGIN ... END block may belong to.
enum class Block : uint8_t {
  Chart,
  Series,
  DataFormat,
  Text,
  Frame,
  AxisParent,
  Axis,
  ChartFormat,
  Legend,
  Other,
};

enum class FrameOf : uint8_t { None, Chart, Plot };

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

model::MarkerShape MarkerOf(uint16_t imk) {
  using model::MarkerShape;
  static constexpr MarkerShape kShapes[] = {
      MarkerShape::None,   MarkerShape::Square, MarkerShape::Diamond, MarkerShape::Triangle,
      MarkerShape::X,      MarkerShape::Star,   MarkerShape::Dash,    MarkerShape::Dash,
      MarkerShape::Circle, MarkerShape::Plus};
  return imk < std::size(kShapes) ? kShapes[imk] : MarkerShape::Automatic;
}

}  // namespace

// Reads one chart substream into a chart. Lives as long as the substream's reading.
class ChartReader {
 public:
  explicit ChartReader(Parser& parser) : p_(parser), formats_(parser.book_.biff.formats) {}

  // Reads the records from `pos` (after the BOF) to the substream's EOF at `end`.
  model::Chart Read(size_t pos, size_t end);

 private:
  struct SeriesState {
    model::ChartSeries series;
    size_t group = 0;
    bool auxiliary = false;  // a trendline or error bars: not drawn as a series
  };
  struct TextState {
    model::ChartText text;
    bool hasText = false;
    bool defaultText = false;  // after DEFAULTTEXT
    uint16_t flags = 0;
    model::Color color;
    uint16_t linkObject = 0, linkSeries = 0, linkPoint = 0;
    bool haveLabelFlags = false;  // DATALABEXTCONTENTS gave the label's contents
    model::DataLabels labels;
  };
  struct GroupState {
    model::ChartGroup group;
    bool has3d = false, hiLoLines = false, dropBars = false, bubbles = false, filledRadar = false;
    bool surface = false;
    uint8_t pieOf = 0;
    bool kindSet = false;
  };
  struct Level {
    Block block = Block::Other;
    FrameOf frame = FrameOf::None;
  };

  void Record(uint16_t id, ByteReader r);
  void Begin();
  void End();
  Block Top() const { return stack_.empty() ? Block::Other : stack_.back().block; }
  Block Parent() const {
    return stack_.size() < 2 ? Block::Other : stack_[stack_.size() - 2].block;
  }

  model::Color Rgb(const uint8_t* p) const {
    return model::Color::Rgb(static_cast<uint32_t>(p[0]) << 16 | p[1] << 8 | p[2]);
  }
  // A colour given as RGB and, in BIFF8, as a palette index (which wins: the palette may have
  // been changed after the chart was drawn).
  model::Color ColorOf(const uint8_t* rgb, const uint16_t* icv) const {
    if (icv && *icv < 64) return p_.book_.IndexedColor(*icv);
    return Rgb(rgb);
  }
  model::Font FontAt(uint16_t index) const;
  std::string FormatCode(uint16_t ifmt) const {
    return ifmt == 0 ? std::string() : std::string(formats_.Code(ifmt));
  }

  void OnLineFormat(ByteReader r);
  void OnAreaFormat(ByteReader r);
  void OnMarkerFormat(ByteReader r);
  void OnAi(ByteReader r);
  void ReadReference(ByteReader& r, size_t cce, model::ChartData& data);
  void OnText(ByteReader r);
  void EndText();
  void OnKind(uint16_t id, ByteReader r);
  void EndChartFormat();
  void OnCached(uint16_t id, ByteReader r);
  std::string ReadShortString(ByteReader& r);
  void Finish();

  // Where DATAFORMAT's formats go.
  model::ChartSeries* FormatSeries() {
    return format_.series < series_.size() ? &series_[format_.series].series : nullptr;
  }

  Parser& p_;
  format::FormatTable formats_;
  model::Chart chart_;
  std::vector<Level> stack_;
  Block next_ = Block::Other;  // what the next BEGIN opens
  uint16_t last_ = 0;          // the record before this one
  bool sawChart_ = false;
  bool sawPlotArea_ = false;
  bool secondary_ = false;  // inside the AXISPARENT of the secondary axes
  bool haveDefaultFont_ = false;
  bool haveLegend_ = false;

  std::vector<SeriesState> series_;
  int aiId_ = -1;  // the last AI record's part of the series (0 name, 1 values, 2 categories)
  struct {
    size_t series = SIZE_MAX;
    uint16_t point = kWholeSeries;
    bool groupDefault = false;
  } format_;
  std::vector<TextState> texts_;  // open TEXT blocks (a legend's text inside a chart group ...)
  model::ChartAxis* axis_ = nullptr;
  model::ChartAxis scratchAxis_;  // axes the page does not draw (series axes, secondary x)
  uint16_t axisLine_ = 0;         // AXISLINEFORMAT: which line the next LINEFORMAT draws
  bool axisLabels_ = true;        // TICK: the axis shows its tick labels
  std::vector<GroupState> groups_;
  uint16_t cached_ = 0;  // SIINDEX: which values the cached cells are
};

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

void ChartReader::Record(uint16_t id, ByteReader r) {
  // A block belongs to the record right before its BEGIN.
  if (id != crt::kBegin) next_ = Block::Other;
  switch (id) {
    case crt::kBegin:
      Begin();
      break;
    case crt::kEnd:
      End();
      break;
    case crt::kChart:
      if (sawChart_) throw ChartDamage{"it holds a second CHART record"};
      sawChart_ = true;
      next_ = Block::Chart;
      break;
    case crt::kSeries:
      if (Top() != Block::Chart) break;
      if (series_.size() >= kMaxSeries) throw ChartDamage{"it has too many series"};
      series_.emplace_back();
      next_ = Block::Series;
      break;
    case crt::kAi:
      OnAi(r);
      break;
    case crt::kSeriesText:
      r.U16();
      if (Top() == Block::Text && !texts_.empty()) {
        texts_.back().text.text = ReadShortString(r);
        texts_.back().hasText = true;
      } else if (Top() == Block::Series && !series_.empty() && aiId_ == 0) {
        series_.back().series.name.texts = {ReadShortString(r)};
      }
      break;
    case crt::kSerToCrt:
      if (Top() == Block::Series && !series_.empty()) series_.back().group = r.U16();
      break;
    case crt::kSerParent:
      if (Top() == Block::Series && !series_.empty()) series_.back().auxiliary = true;
      break;
    case crt::kDataFormat: {
      uint16_t point = r.U16();
      uint16_t index = r.U16();
      next_ = Block::DataFormat;
      format_ = {};
      format_.point = point;
      if (Top() == Block::ChartFormat) {
        format_.groupDefault = true;
      } else {
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
      break;
    }
    case crt::kLineFormat:
      OnLineFormat(r);
      break;
    case crt::kAreaFormat:
      OnAreaFormat(r);
      break;
    case crt::kMarkerFormat:
      OnMarkerFormat(r);
      break;
    case crt::kPieFormat: {
      uint16_t explosion = std::min<uint16_t>(r.U16(), 400);
      model::ChartSeries* s = FormatSeries();
      if (Top() != Block::DataFormat || format_.groupDefault || !s) break;
      if (format_.point == kWholeSeries) {
        s->explosion = explosion;
      } else if (!s->points.empty() && s->points.back().index == format_.point) {
        s->points.back().explosion = explosion;
      }
      break;
    }
    case crt::kSerFmt:
      if (Top() == Block::DataFormat && !format_.groupDefault && FormatSeries()) {
        FormatSeries()->smooth = r.U16() & 0x01;
      }
      break;
    case crt::kAttachedLabel: {
      if (Top() != Block::DataFormat || format_.point != kWholeSeries) break;
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
      break;
    }
    case crt::kText:
      OnText(r);
      next_ = Block::Text;
      break;
    case crt::kFontX:
      if (Top() == Block::Text && !texts_.empty()) {
        texts_.back().text.font = FontAt(r.U16());
        texts_.back().text.hasFont = true;
      } else if (Top() == Block::Axis && axis_) {
        axis_->font = FontAt(r.U16());
        axis_->hasFont = true;
      }
      break;
    case crt::kObjectLink:
      if (Top() == Block::Text && !texts_.empty()) {
        texts_.back().linkObject = r.U16();
        texts_.back().linkSeries = r.U16();
        texts_.back().linkPoint = r.U16();
      }
      break;
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
      break;
    case crt::kFrame:
      next_ = Block::Frame;
      break;
    case crt::kPlotArea:
      sawPlotArea_ = true;
      break;
    case crt::kShtProps: {
      uint16_t flags = r.U16();
      chart_.visibleCellsOnly = flags & 0x02;
      if (r.Remaining() >= 1) {
        uint8_t blanks = r.U8();
        chart_.emptyPoints = blanks == 1   ? model::EmptyPoints::Zero
                             : blanks == 2 ? model::EmptyPoints::Span
                                           : model::EmptyPoints::Gap;
      }
      break;
    }
    case crt::kAxisParent:
      if (Top() != Block::Chart) break;
      secondary_ = r.U16() == 1;
      sawPlotArea_ = false;
      next_ = Block::AxisParent;
      break;
    case crt::kAxis: {
      if (Top() != Block::AxisParent) break;
      uint16_t type = r.U16();
      axis_ = &scratchAxis_;
      if (type == 0 && !secondary_) axis_ = &chart_.categoryAxis;
      if (type == 1) axis_ = secondary_ ? &chart_.secondaryValueAxis : &chart_.valueAxis;
      axis_->visible = true;
      axisLine_ = 0;
      axisLabels_ = true;
      next_ = Block::Axis;
      break;
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
      break;
    case crt::kCatSerRange:
      if (Top() == Block::Axis && axis_) {
        r.Skip(6);
        axis_->reversed = r.U16() & 0x04;
      }
      break;
    case crt::kTick:
      if (Top() == Block::Axis && axis_) {
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
      break;
    case crt::kAxisLine:
      axisLine_ = r.U16();
      break;
    case crt::kIfmt:
      if (Top() == Block::Axis && axis_) axis_->numberFormat = FormatCode(r.U16());
      break;
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
    case crt::kSiIndex:
      cached_ = r.U16();
      break;
    case rec::kNumber:
    case rec::kLabel:
    case rec::kBoolErr:
    case rec::kBlank:
      OnCached(id, r);
      break;
    default:
      break;
  }
  if (id != crt::kBegin && id != crt::kEnd) last_ = id;
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

// ---- The parser's side: references, chart objects and substreams, places.

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
