// The reader of one chart substream, shared by the files that read charts (Charts*.cpp): the
// chart records' ids, the blocks they open and the reader's state. Private to spreadsheet/biff.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "spreadsheet/biff/Parser.h"
#include "spreadsheet/format/NumberFormat.h"

namespace quillane::biff::reader {

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

  // Routes a record to the handler of its group.
  void Record(uint16_t id, ByteReader r);
  bool OnBlockRecord(uint16_t id, ByteReader& r);
  bool OnSeriesRecord(uint16_t id, ByteReader& r);
  bool OnFormatRecord(uint16_t id, ByteReader& r);
  bool OnTextRecord(uint16_t id, ByteReader& r);
  bool OnAxisRecord(uint16_t id, ByteReader& r);
  void OnGroupRecord(uint16_t id, ByteReader& r);
  void OnDataFormat(ByteReader& r);
  void OnTick(ByteReader& r);
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

}  // namespace quillane::biff::reader
