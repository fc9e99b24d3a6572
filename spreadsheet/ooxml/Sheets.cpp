// The worksheet parts of a SpreadsheetML workbook: cells, rows, columns, views, merged ranges,
// hyperlinks and conditional formats, and the comments and drawing a sheet leads to.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>

#include "spreadsheet/format/DateSerial.h"
#include "spreadsheet/model/Limits.h"
#include "spreadsheet/ooxml/CellRefs.h"
#include "spreadsheet/ooxml/ConditionalFormats.h"
#include "spreadsheet/ooxml/ReaderParts.h"

namespace quillane::ooxml::parts {

namespace {

// An ISO 8601 date and time ("2024-03-01T12:30:00") as a date serial.
std::optional<double> IsoSerial(std::string_view s, bool date1904) {
  int y = 0, mo = 1, d = 1, h = 0, mi = 0;
  double sec = 0;
  auto num = [&](size_t at, size_t len, int& out) {
    if (at + len > s.size()) return false;
    return std::from_chars(s.data() + at, s.data() + at + len, out).ec == std::errc();
  };
  size_t t = 0;
  if (s.size() >= 10 && s[4] == '-' && s[7] == '-') {
    if (!num(0, 4, y) || !num(5, 2, mo) || !num(8, 2, d)) return std::nullopt;
    t = s.size() > 10 && s[10] == 'T' ? 11 : s.size();
  } else {
    y = date1904 ? 1904 : 1899, mo = date1904 ? 1 : 12, d = date1904 ? 1 : 31;  // a time alone
  }
  if (t + 5 <= s.size() && s[t + 2] == ':') {
    if (!num(t, 2, h) || !num(t + 3, 2, mi)) return std::nullopt;
    if (t + 6 <= s.size() && s[t + 5] == ':')
      std::from_chars(s.data() + t + 6, s.data() + s.size(), sec);
  }
  if (mo < 1 || mo > 12 || d < 1 || d > 31) return std::nullopt;
  double serial =
      format::SerialOfDays(static_cast<double>(format::DaysFromCivil(y, mo, d)), date1904);
  if (!date1904 && serial < 1 && y <= 1899) serial = 0;
  return serial + (h * 3600 + mi * 60 + sec) / 86400.0;
}

struct SheetLinks {
  std::string drawing;  // relationship id of the drawing
  std::string legacy;   // relationship id of the legacy drawing (the comments' shapes)
  struct Link {
    model::Range range;
    std::string id, location, display, tooltip;
  };
  std::vector<Link> links;
};

class SheetHandler : public xml::Handler {
 public:
  SheetHandler(model::Workbook& book, Sheet& sheet, size_t sharedCount, size_t& bookCells,
               size_t styleCount)
      : book_(book),
        sheet_(sheet),
        shared_(sharedCount),
        bookCells_(bookCells),
        styles_(styleCount) {}
  SheetLinks links;
  ConditionalFormatReader* condFormats = nullptr;
  size_t cellBudget = model::kMaxWorkbookCells;  // cells of the whole workbook

  void Start(std::string_view name, const Attrs& a) override {
    if (!sawRoot_) {
      // A sheet's relationship that leads to a part of another kind is damage.
      sawRoot_ = true;
      if (name != "worksheet") {
        Damaged("the part of sheet \"" + sheet_.name + "\" is not a worksheet but a \"" +
                std::string(name) + "\"");
      }
    }
    if (condFormats && !inCell_ && condFormats->Start(name, a)) return;
    if (inCell_) {
      if (name == "v") {
        text_.clear();
        collect_ = true;
      } else if (name == "f") {
        cell_.formula = true;
      } else if (name == "t" && inInline_ && phonetic_ == 0) {
        collect_ = true;
      } else if (name == "is") {
        inInline_ = true;
        text_.clear();
      } else if (name == "rPh") {
        ++phonetic_;
      }
      return;
    }
    if (name == "c") {
      StartCell(a);
    } else if (name == "row") {
      // Rows without a number follow the one before.
      const int64_t r = a.Int("r", int64_t{row_} + 2);
      row_ = static_cast<uint32_t>(
          std::clamp<int64_t>(r >= 1 ? r - 1 : int64_t{row_} + 1, 0, 0xFFFFFFF));
      nextCol_ = 0;
      if (static_cast<uint32_t>(row_) > model::kMaxRowXlsx) return;
      const bool hidden = a.Bool("hidden", false);
      const bool custom = a.Bool("customHeight", false);
      const bool styled = a.Bool("customFormat", false);
      if (a.Has("ht") || hidden || styled) {
        model::RowInfo& info = sheet_.rows[static_cast<uint32_t>(row_)];
        info.height = a.Has("ht") ? Twips(a.Number("ht", 15)) : sheet_.defaultRowHeight;
        info.hidden = hidden;
        info.customHeight = custom;
        if (styled) {
          info.hasStyle = true;
          info.style = Style(a.Int("s", 0));
        }
      }
    } else if (name == "col") {
      const int64_t first = a.Int("min", 1), last = a.Int("max", first);
      if (first < 1 || last < first || first > model::kMaxColumnXlsx + 1) return;
      model::ColumnInfo info;
      info.first = static_cast<uint16_t>(first - 1);
      info.last = static_cast<uint16_t>(std::min<int64_t>(last - 1, model::kMaxColumnXlsx));
      const double width =
          a.Number("width", sheet_.standardWidth ? sheet_.standardWidth / 256.0
                                                 : sheet_.defaultColWidth + 5.0 / 7);
      info.width = static_cast<uint16_t>(std::clamp(std::lround(width * 256), 0L, 65535L));
      info.hidden = a.Bool("hidden", false) || (a.Has("width") && width == 0);
      info.style = Style(a.Int("style", 0));
      info.outlineLevel = static_cast<uint8_t>(std::clamp<int64_t>(a.Int("outlineLevel", 0), 0, 7));
      if (sheet_.columns.size() < model::kMaxColumnXlsx + 1) sheet_.columns.push_back(info);
    } else if (name == "sheetFormatPr") {
      if (a.Has("baseColWidth")) {
        sheet_.defaultColWidth =
            static_cast<uint16_t>(std::clamp<int64_t>(a.Int("baseColWidth", 8), 0, 255));
      }
      if (a.Has("defaultColWidth")) {
        sheet_.standardWidth = static_cast<uint16_t>(
            std::clamp(std::lround(a.Number("defaultColWidth", 8) * 256), 0L, 65535L));
      }
      if (a.Has("defaultRowHeight"))
        sheet_.defaultRowHeight = Twips(a.Number("defaultRowHeight", 15));
      sheet_.defaultRowsHidden = a.Bool("zeroHeight", false);
    } else if (name == "dimension") {
      sheet_.hasDimensions = ParseRange(a.View("ref"), sheet_.dimensions);
    } else if (name == "sheetView") {
      if (!sawView_) sheet_.showGridlines = a.Bool("showGridLines", true);
      inView_ = !sawView_;
      sawView_ = true;
    } else if (name == "pane" && inView_) {
      const std::string_view state = a.View("state");
      if (state == "frozen" || state == "frozenSplit") {
        sheet_.frozenCols = static_cast<uint16_t>(
            std::clamp<int64_t>(a.Int("xSplit", 0), 0, model::kMaxColumnXlsx));
        sheet_.frozenRows =
            static_cast<uint32_t>(std::clamp<int64_t>(a.Int("ySplit", 0), 0, model::kMaxRowXlsx));
      }
    } else if (name == "mergeCell") {
      model::Range range;
      if (ParseRange(a.View("ref"), range) && sheet_.merged.size() < 1000000)
        sheet_.merged.push_back(range);
    } else if (name == "hyperlink") {
      SheetLinks::Link link;
      if (!ParseRange(a.View("ref"), link.range) || links.links.size() >= 1000000) return;
      link.id = a.View("id");
      link.location = a.View("location");
      link.display = a.View("display");
      link.tooltip = a.View("tooltip");
      links.links.push_back(std::move(link));
    } else if (name == "drawing") {
      links.drawing = a.View("id");
    } else if (name == "legacyDrawing") {
      links.legacy = a.View("id");
    }
  }

  void End(std::string_view name) override {
    if (condFormats && !inCell_ && condFormats->End(name)) return;
    if (!inCell_) {
      if (name == "sheetView") inView_ = false;
      return;
    }
    if (name == "c") {
      EndCell();
    } else if (name == "v" || name == "t") {
      collect_ = false;
    } else if (name == "rPh") {
      --phonetic_;
    }
  }

  void Text(std::string_view text) override {
    if (collect_) text_.append(text);
    if (condFormats && !inCell_) condFormats->Text(text);
  }

 private:
  static uint16_t Twips(double points) {
    return static_cast<uint16_t>(std::clamp(std::lround(points * 20), 0L, 8192L));
  }
  uint16_t Style(int64_t s) const {
    return s > 0 && static_cast<size_t>(s) < styles_ ? static_cast<uint16_t>(s) : 0;
  }

  void StartCell(const Attrs& a) {
    inCell_ = true;
    inInline_ = false;
    collect_ = false;
    phonetic_ = 0;
    text_.clear();
    cell_ = Cell();
    const uint32_t current = static_cast<uint32_t>(std::max(row_, 0));
    uint32_t row = current, col = nextCol_;
    if (const auto ref = a.Get("r")) {
      if (!ParseRef(*ref, row, col)) row = current, col = nextCol_;
    }
    valid_ = row <= model::kMaxRowXlsx && col <= model::kMaxColumnXlsx;
    cell_.row = row;
    cell_.col = static_cast<uint16_t>(std::min<uint32_t>(col, 0xFFFF));
    nextCol_ = col + 1;
    row_ = static_cast<int32_t>(std::min<uint32_t>(row, 0xFFFFFFF));
    styled_ = a.Has("s");
    cell_.style = Style(a.Int("s", 0));
    const std::string_view t = a.View("t");
    type_ = t.empty() ? 'n' : t == "inlineStr" ? 'i' : t == "str" ? 'f' : t[0];
  }

  void EndCell() {
    inCell_ = false;
    collect_ = false;
    if (!valid_) return;
    const std::string_view v(text_);
    switch (type_) {
      case 's': {
        uint32_t index = 0;
        if (v.empty()) break;
        const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), index);
        if (ec != std::errc() || end != v.data() + v.size() || index >= shared_) {
          Damaged("a cell of sheet \"" + sheet_.name + "\" names shared string " + std::string(v) +
                  ", but the shared strings part holds " + std::to_string(shared_));
        }
        cell_.type = CellType::String;
        cell_.text = index;
        break;
      }
      case 'i':
      case 'f':
        // Some writers put an inline string's text in <v>.
        if (type_ == 'i' ? inInline_ || !v.empty() : !v.empty() || cell_.formula) {
          cell_.type = CellType::String;
          cell_.text = book_.AddString(DecodeEscapes(text_));
        }
        break;
      case 'b':
        if (!v.empty()) {
          cell_.type = CellType::Boolean;
          cell_.code = v != "0" && v != "false";
        }
        break;
      case 'e':
        if (!v.empty()) {
          cell_.type = CellType::Error;
          cell_.code = model::ErrorCodeOf(v).value_or(0x2A);  // #N/A for an unknown text
        }
        break;
      case 'd':
        if (auto serial = IsoSerial(v, book_.date1904)) {
          cell_.type = CellType::Number;
          cell_.number = *serial;
        }
        break;
      default: {
        if (v.empty()) break;
        double number = 0;
        const char* begin = v.data();
        if (*begin == '+') ++begin;
        auto [p, ec] = std::from_chars(begin, v.data() + v.size(), number);
        if (ec == std::errc() && p == v.data() + v.size() && std::isfinite(number)) {
          cell_.type = CellType::Number;
          cell_.number = number;
        } else if (ec == std::errc::result_out_of_range) {
          cell_.type = CellType::Error;
          cell_.code = 0x24;
        }
        break;
      }
    }
    if (cell_.type == CellType::Blank && !styled_ && !cell_.formula) return;
    if (sheet_.cells.size() >= model::kMaxSheetCells) {
      throw ReadError("The workbook is too large: sheet \"" + sheet_.name + "\" holds more than " +
                      std::to_string(model::kMaxSheetCells) + " cells, the most a sheet may have");
    }
    if (++bookCells_ > cellBudget) throw ReadError(model::CellBudgetText(cellBudget));
    sheet_.cells.push_back(cell_);
  }

  model::Workbook& book_;
  Sheet& sheet_;
  size_t shared_;
  size_t& bookCells_;
  size_t styles_;
  int32_t row_ = -1;  // the row being read; before the first, -1
  uint32_t nextCol_ = 0;
  bool inCell_ = false, inInline_ = false, collect_ = false, valid_ = false, styled_ = false;
  bool sawRoot_ = false;
  bool sawView_ = false, inView_ = false;
  int phonetic_ = 0;
  char type_ = 'n';
  Cell cell_;
  std::string text_;
};

}  // namespace

void Reader::ReadSheet(Sheet& sheet, const std::string& part, size_t shared) {
  if (package_.Find(part) == nullptr) Damaged("the sheet part " + part + " is missing");
  // Without a stated default, rows are as high as the default font needs (15 points for 11).
  sheet.defaultRowHeight = static_cast<uint16_t>(
      std::clamp<long>(std::lround(book_.fonts.at(0).height * 300.0 / 220), 20, 8192));
  SheetHandler handler(book_, sheet, shared, cells_, book_.styles.size());
  handler.cellBudget = model::CellBudget(package_.Bytes());
  ConditionalFormatReader condFormats(sheet, dxfs_, ColorOfAttrs());
  handler.condFormats = &condFormats;
  // The sheet, the largest part, is parsed as it unpacks.
  XmlFeed feed(handler, part);
  package_.ReadTo(part, [&feed](std::span<const uint8_t> piece) { feed.Feed(piece); });
  feed.Finish();
  std::sort(
      sheet.columns.begin(), sheet.columns.end(),
      [](const model::ColumnInfo& a, const model::ColumnInfo& b) { return a.first < b.first; });
  // Overlapping ranges: the later start cuts the earlier one short.
  std::vector<model::ColumnInfo> columns;
  for (const auto& c : sheet.columns) {
    if (!columns.empty() && columns.back().last >= c.first) {
      if (columns.back().first == c.first)
        columns.pop_back();
      else
        columns.back().last = static_cast<uint16_t>(c.first - 1);
    }
    columns.push_back(c);
  }
  sheet.columns = std::move(columns);
  sheet.Normalize();

  const Relationships rels = package_.Rels(part);
  // A relationship the sheet uses but its relationships do not hold is damage: the drawing,
  // comments or link it leads to would silently be missing.
  auto held = [&](const std::string& id, std::string_view what) {
    if (id.empty() || rels.count(id)) return;
    Damaged("sheet \"" + sheet.name + "\" names the " + std::string(what) + " relationship \"" +
            id + "\", which " + RelsOf(part) + " does not hold");
  };
  held(handler.links.drawing, "drawing");
  held(handler.links.legacy, "legacy drawing");
  for (const auto& link : handler.links.links) held(link.id, "hyperlink");
  for (auto& link : handler.links.links) {
    model::Hyperlink h;
    h.range = link.range;
    h.location = std::move(link.location);
    h.description = std::move(link.display);
    h.tooltip = std::move(link.tooltip);
    auto rel = link.id.empty() ? rels.end() : rels.find(link.id);
    if (rel != rels.end()) {
      h.target = rel->second.target;
      const size_t hash = h.target.find('#');
      if (hash != std::string::npos && h.location.empty()) {
        h.location = h.target.substr(hash + 1);
        h.target.resize(hash);
      }
      const std::string lower = Lower(h.target);
      const size_t colon = lower.find(':');
      const bool scheme = colon != std::string::npos && colon > 1 &&
                          lower.find_first_of("/\\") > colon && lower.compare(0, 5, "file:") != 0;
      h.kind = scheme ? model::LinkKind::Url : model::LinkKind::File;
      if (h.target.empty()) h.kind = model::LinkKind::Place;
    } else if (!h.location.empty()) {
      h.kind = model::LinkKind::Place;
    } else {
      continue;
    }
    sheet.hyperlinks.push_back(std::move(h));
  }
  for (const auto& [id, rel] : rels) {
    if (TypeName(rel.type) != "comments" || rel.external) continue;
    ReadComments(sheet, rel.target);
  }
  auto drawing = handler.links.drawing.empty() ? rels.end() : rels.find(handler.links.drawing);
  if (drawing != rels.end() && !drawing->second.external)
    ReadDrawing(sheet, drawing->second.target);
}

}  // namespace quillane::ooxml::parts
