// The drawings of a SpreadsheetML worksheet: where its pictures and charts are anchored, and the
// picture and chart parts they lead to.
#include <algorithm>
#include <charconv>
#include <memory>

#include "spreadsheet/model/Limits.h"
#include "spreadsheet/ooxml/Charts.h"
#include "spreadsheet/ooxml/ReaderParts.h"

namespace quillane::ooxml::parts {

namespace {

// Charts of one sheet.
constexpr size_t kMaxSheetCharts = 4096;

struct Anchor {
  enum Kind { TwoCell, OneCell, Absolute } kind = TwoCell;
  int64_t fromCol = 0, fromColOff = 0, fromRow = 0, fromRowOff = 0;
  int64_t toCol = 0, toColOff = 0, toRow = 0, toRowOff = 0;
  int64_t x = 0, y = 0, cx = 0, cy = 0;
  std::string embed, chart, name;  // a picture's or a chart's relationship id
};

class DrawingHandler : public xml::Handler {
 public:
  std::vector<Anchor> anchors;

  void Start(std::string_view name, const Attrs& a) override {
    ++depth_;
    if (name == "twoCellAnchor" || name == "oneCellAnchor" || name == "absoluteAnchor") {
      current_ = Anchor();
      current_.kind = name == "twoCellAnchor"   ? Anchor::TwoCell
                      : name == "oneCellAnchor" ? Anchor::OneCell
                                                : Anchor::Absolute;
      anchorDepth_ = depth_;
      return;
    }
    if (anchorDepth_ == 0) return;
    if (depth_ == anchorDepth_ + 1) {
      if (name == "from")
        where_ = 1;
      else if (name == "to")
        where_ = 2;
      else if (name == "ext")
        current_.cx = a.Int("cx", 0), current_.cy = a.Int("cy", 0);
      else if (name == "pos")
        current_.x = a.Int("x", 0), current_.y = a.Int("y", 0);
      else
        where_ = 0;
    } else if (where_ && depth_ == anchorDepth_ + 2) {
      field_ = name == "col"      ? 0
               : name == "colOff" ? 1
               : name == "row"    ? 2
               : name == "rowOff" ? 3
                                  : -1;
      text_.clear();
    } else if (name == "blip" && current_.embed.empty()) {
      current_.embed = a.View("embed");
    } else if (name == "chart" && current_.chart.empty()) {
      current_.chart = a.View("id");
    } else if (name == "cNvPr" && current_.name.empty()) {
      current_.name = a.View("name");
    }
  }
  void End(std::string_view name) override {
    if (anchorDepth_ != 0 && depth_ == anchorDepth_ + 2 && where_ && field_ >= 0) {
      int64_t v = 0;
      std::from_chars(text_.data(), text_.data() + text_.size(), v);
      int64_t* fields = where_ == 1 ? &current_.fromCol : &current_.toCol;
      fields[field_] = v;
      field_ = -1;
    }
    if (depth_ == anchorDepth_ + 1) where_ = 0;
    if (depth_ == anchorDepth_ &&
        (name == "twoCellAnchor" || name == "oneCellAnchor" || name == "absoluteAnchor")) {
      if ((!current_.embed.empty() || !current_.chart.empty()) && anchors.size() < 65536)
        anchors.push_back(current_);
      anchorDepth_ = 0;
    }
    --depth_;
  }
  void Text(std::string_view text) override {
    if (field_ >= 0 && text_.size() < 64) text_.append(text);
  }

 private:
  Anchor current_;
  int depth_ = 0, anchorDepth_ = 0, where_ = 0, field_ = -1;
  std::string text_;
};

// Column widths and row heights in EMU (914400 to the inch, 96 pixels to the inch; a
// character of the default font is taken as 7 pixels, plus 5 of padding for default widths).
int64_t ColumnEmu(const Sheet& sheet, uint32_t col) {
  if (sheet.ColumnHidden(static_cast<uint16_t>(col))) return 0;
  const uint32_t width = sheet.ColumnWidth(static_cast<uint16_t>(col));
  bool set = sheet.standardWidth != 0;
  // The columns are sorted and do not overlap.
  auto after =
      std::upper_bound(sheet.columns.begin(), sheet.columns.end(), col,
                       [](uint32_t c, const model::ColumnInfo& info) { return c < info.first; });
  set = set || (after != sheet.columns.begin() && std::prev(after)->last >= col);
  const int64_t pixels = (int64_t{width} * 7 + 128) / 256 + (set ? 0 : 5);
  return pixels * 9525;
}
int64_t RowEmu(const Sheet& sheet, uint32_t row) {
  return sheet.RowHidden(row) ? 0 : int64_t{sheet.RowHeight(row)} * 635;
}

}  // namespace

// From a cell and an offset, walks right and down by a size; returns the end cell and offset.
// The steps of all walks of a workbook are bounded: a hostile drawing of many huge pictures
// ends them early (the pictures end where the budget ran out).
template <typename Size>
void Reader::Walk(int64_t& index, int64_t& offset, int64_t length, int64_t max, Size size) {
  int64_t at = offset + std::clamp<int64_t>(length, 0, int64_t{1} << 50);
  for (; walkBudget_ > 0 && index < max; --walkBudget_) {
    const int64_t s = size(index);
    if (at < s || s < 0) break;
    at -= s;
    ++index;
  }
  offset = at;
}

void Reader::ReadDrawing(Sheet& sheet, const std::string& part) {
  auto bytes = Named(part, "drawing");
  DrawingHandler dh;
  ParseXml(*bytes, dh, part);
  const Relationships rels = package_.Rels(part);
  const int64_t maxCol = model::kMaxColumnXlsx, maxRow = model::kMaxRowXlsx;
  auto colEmu = [&](int64_t c) { return ColumnEmu(sheet, static_cast<uint32_t>(c)); };
  auto rowEmu = [&](int64_t r) { return RowEmu(sheet, static_cast<uint32_t>(r)); };
  for (Anchor& a : dh.anchors) {
    const std::string& id = a.embed.empty() ? a.chart : a.embed;
    if (id.empty()) continue;  // a shape without a picture or chart
    auto rel = rels.find(id);
    if (rel == rels.end()) {
      Damaged("the drawing " + part + " names the relationship \"" + id + "\", which " +
              RelsOf(part) + " does not hold");
    }
    if (rel->second.external) continue;
    const auto blip = a.embed.empty() ? std::nullopt : Blip(rel->second.target);
    if (!blip && !a.embed.empty()) continue;
    if (a.kind == Anchor::Absolute) {
      a.fromCol = a.fromRow = 0;
      a.fromColOff = a.fromRowOff = 0;
      Walk(a.fromCol, a.fromColOff, a.x, maxCol, colEmu);
      Walk(a.fromRow, a.fromRowOff, a.y, maxRow, rowEmu);
    }
    a.fromCol = std::clamp<int64_t>(a.fromCol, 0, maxCol);
    a.fromRow = std::clamp<int64_t>(a.fromRow, 0, maxRow);
    if (a.kind != Anchor::TwoCell) {
      a.toCol = a.fromCol, a.toColOff = a.fromColOff;
      a.toRow = a.fromRow, a.toRowOff = a.fromRowOff;
      Walk(a.toCol, a.toColOff, a.cx, maxCol, colEmu);
      Walk(a.toRow, a.toRowOff, a.cy, maxRow, rowEmu);
    }
    a.toCol = std::clamp<int64_t>(a.toCol, a.fromCol, maxCol);
    a.toRow = std::clamp<int64_t>(a.toRow, a.fromRow, maxRow);
    auto fraction = [](int64_t off, int64_t size, int64_t units) {
      if (size <= 0 || off <= 0) return uint16_t{0};
      return static_cast<uint16_t>(std::min<int64_t>(off * units / size, units - 1));
    };
    model::Picture p;
    p.col1 = static_cast<uint16_t>(a.fromCol);
    p.row1 = static_cast<uint32_t>(a.fromRow);
    p.dx1 = fraction(a.fromColOff, colEmu(a.fromCol), 1024);
    p.dy1 = fraction(a.fromRowOff, rowEmu(a.fromRow), 256);
    p.col2 = static_cast<uint16_t>(a.toCol);
    p.row2 = static_cast<uint32_t>(a.toRow);
    p.dx2 = fraction(a.toColOff, colEmu(a.toCol), 1024);
    p.dy2 = fraction(a.toRowOff, rowEmu(a.toRow), 256);
    p.name = std::move(a.name);
    if (blip) {
      p.blip = *blip;
      sheet.pictures.push_back(std::move(p));
    } else {
      ReadChart(sheet, rel->second.target, p);
    }
  }
}

// A chart part placed where `at` says. A part that is missing, fails its check sum or is not
// XML is damage; one that holds no chart this version draws is left out.
void Reader::ReadChart(Sheet& sheet, const std::string& part, const model::Picture& at) {
  if (sheet.charts.size() >= kMaxSheetCharts) {
    throw ReadError("The workbook is too large: sheet \"" + sheet.name + "\" has more than " +
                    std::to_string(kMaxSheetCharts) + " charts, the most a sheet may have");
  }
  model::Chart chart;
  chart.anchor = {at.col1, at.dx1, at.row1, at.dy1, at.col2, at.dx2, at.row2, at.dy2};
  chart.name = at.name;
  const auto bytes = Named(part, "chart");
  if (ReadChartPart(*bytes, part, scheme_, chartPoints_, chart))
    sheet.charts.push_back(std::move(chart));
}

// The index of a picture part among the blips, read once. The picture is unpacked here only
// to be checked (and its kind told from its first bytes); it stays packed until its page is
// written. A part that is missing or damaged is damage; pictures past the workbook's budget
// are refused.
std::optional<uint32_t> Reader::Blip(const std::string& part) {
  auto known = blips_.find(part);
  if (known != blips_.end()) return known->second;
  model::Blip blip;
  const container::Zip::Entry* entry = package_.Find(part);
  if (entry == nullptr) Damaged("the picture part " + part + " is missing");
  if (entry->size > pictureBudget_) throw ReadError(model::PictureBudgetText(package_.Bytes()));
  pictureBudget_ -= entry->size;
  std::vector<uint8_t> head;
  auto packed = std::make_shared<const container::Zip::Packed>(package_.Pack(*entry, &head));
  blip.type = model::BlipTypeOf(head);
  blip.skip = blip.type == model::BlipType::Dib ? 14 : 0;
  blip.size = entry->size - blip.skip;
  blip.unpack = [packed](const model::ByteSink& sink) { packed->UnpackTo(sink); };
  book_.blips.push_back(std::move(blip));
  const uint32_t index = static_cast<uint32_t>(book_.blips.size() - 1);
  blips_.emplace(part, index);
  return index;
}

}  // namespace quillane::ooxml::parts
