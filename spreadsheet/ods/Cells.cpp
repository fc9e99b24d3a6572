// The cells of an OpenDocument spreadsheet: values of every type, text with its spans, links,
// annotations, covered cells; and the values of attributes the reader shares.
#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <string>

#include "spreadsheet/ods/DocumentReader.h"

namespace quillane::ods::parts {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\'' || s.front() == '"')) {
    s.remove_prefix(1);
  }
  while (!s.empty() && (s.back() == ' ' || s.back() == '\'' || s.back() == '"')) s.remove_suffix(1);
  return s;
}

bool ParseDouble(std::string_view s, double& value) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  const auto r = std::from_chars(s.data(), s.data() + s.size(), value);
  return r.ec == std::errc() && std::isfinite(value);
}

// A repeat or span count: at least 1, at most `limit`.
uint64_t Count(std::string_view s, uint64_t limit) {
  uint64_t value = 1;
  if (s.empty() || std::from_chars(s.data(), s.data() + s.size(), value).ec != std::errc()) {
    return 1;
  }
  return std::clamp<uint64_t>(value, 1, limit);
}

// A length ("0.889in", "2.258cm", "10pt") in points; nothing for other forms.
std::optional<double> Points(std::string_view s) {
  double value = 0;
  const char* end = s.data() + s.size();
  const auto r = std::from_chars(s.data(), end, value);
  if (r.ec != std::errc() || !std::isfinite(value)) return std::nullopt;
  const std::string_view unit(r.ptr, static_cast<size_t>(end - r.ptr));
  if (unit == "pt") return value;
  if (unit == "in") return value * 72;
  if (unit == "cm") return value * 72 / 2.54;
  if (unit == "mm") return value * 72 / 25.4;
  if (unit == "pc") return value * 12;
  if (unit == "px") return value * 0.75;
  return std::nullopt;
}

// "Sheet1.B3" / "'My sheet'.$B$3" -> the 0-based row and column of the cell.
bool ParseCellAddress(std::string_view address, uint32_t& row, uint16_t& col) {
  const size_t dot = address.rfind('.');
  if (dot != std::string_view::npos) address.remove_prefix(dot + 1);
  uint32_t c = 0, r = 0;
  size_t i = 0;
  if (i < address.size() && address[i] == '$') ++i;
  size_t letters = 0;
  for (; i < address.size() && std::isalpha(static_cast<unsigned char>(address[i])); ++i) {
    if (++letters > 3) return false;
    c = c * 26 +
        static_cast<uint32_t>(std::toupper(static_cast<unsigned char>(address[i])) - 'A' + 1);
  }
  if (i < address.size() && address[i] == '$') ++i;
  const auto res = std::from_chars(address.data() + i, address.data() + address.size(), r);
  if (letters == 0 || res.ec != std::errc() || r == 0) return false;
  row = std::min(r - 1, kMaxRow);
  col = static_cast<uint16_t>(std::min<uint32_t>(c - 1, kMaxColumn));
  return true;
}

namespace {

// "2024-03-01" or "2024-03-01T12:30:15.5" as days and the fraction of the day from 1970-01-01.
std::optional<double> ParseDateTime(std::string_view s) {
  int64_t parts[3] = {0, 0, 0};
  bool negative = false;
  if (!s.empty() && s.front() == '-') {
    negative = true;
    s.remove_prefix(1);
  }
  for (int i = 0; i < 3; ++i) {
    const auto r = std::from_chars(s.data(), s.data() + s.size(), parts[i]);
    if (r.ec != std::errc()) return std::nullopt;
    s.remove_prefix(static_cast<size_t>(r.ptr - s.data()));
    if (i < 2) {
      if (s.empty() || s.front() != '-') return std::nullopt;
      s.remove_prefix(1);
    }
  }
  if (negative) parts[0] = -parts[0];
  if (parts[0] < -100000 || parts[0] > 100000 || parts[1] < 1 || parts[1] > 12 || parts[2] < 1 ||
      parts[2] > 31) {
    return std::nullopt;
  }
  double days = static_cast<double>(format::DaysFromCivil(parts[0], parts[1], parts[2]));
  if (!s.empty() && s.front() == 'T') {
    s.remove_prefix(1);
    double hms[3] = {0, 0, 0};
    for (int i = 0; i < 3 && !s.empty(); ++i) {
      const auto r = std::from_chars(s.data(), s.data() + s.size(), hms[i]);
      if (r.ec != std::errc()) return std::nullopt;
      s.remove_prefix(static_cast<size_t>(r.ptr - s.data()));
      if (!s.empty() && s.front() == ':')
        s.remove_prefix(1);
      else
        break;
    }
    days += (hms[0] * 3600 + hms[1] * 60 + hms[2]) / 86400;
  }
  return days;
}

// An ISO 8601 duration ("PT12H30M15S", "-P1DT2H") in days.
std::optional<double> ParseDuration(std::string_view s) {
  bool negative = false;
  if (!s.empty() && s.front() == '-') {
    negative = true;
    s.remove_prefix(1);
  }
  if (s.empty() || s.front() != 'P') return std::nullopt;
  s.remove_prefix(1);
  double days = 0;
  bool time = false;
  while (!s.empty()) {
    if (s.front() == 'T') {
      time = true;
      s.remove_prefix(1);
      continue;
    }
    double value = 0;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), value);
    if (r.ec != std::errc() || r.ptr == s.data() + s.size() || !std::isfinite(value)) {
      return std::nullopt;
    }
    s.remove_prefix(static_cast<size_t>(r.ptr - s.data()));
    const char unit = s.front();
    s.remove_prefix(1);
    if (unit == 'D')
      days += value;
    else if (unit == 'W')
      days += value * 7;
    else if (unit == 'H' && time)
      days += value / 24;
    else if (unit == 'M' && time)
      days += value / 1440;
    else if (unit == 'S' && time)
      days += value / 86400;
    else if (unit == 'Y')
      days += value * 365;
    else if (unit == 'M')
      days += value * 30;
    else
      return std::nullopt;
  }
  return negative ? -days : days;
}

}  // namespace

void DocumentReader::MarkRun() {
  size_t at = 0;
  for (const char ch : cellText_) at += (static_cast<uint8_t>(ch) & 0xC0) != 0x80;
  std::string key;
  for (const std::string& span : spans_) {
    key += span;
    key += '\x1f';
  }
  if (!runMarks_.empty() && runMarks_.back().first == at) {
    runMarks_.back().second = std::move(key);
  } else {
    runMarks_.emplace_back(static_cast<uint32_t>(at), std::move(key));
  }
}

uint16_t DocumentReader::SpanFont(const std::string& cellStyle, const std::string& key) {
  const std::string cacheKey = cellStyle + '\x1e' + key;
  auto it = spanFonts_.find(cacheKey);
  if (it != spanFonts_.end()) return it->second;
  Properties p = Resolve("table-cell", cellStyle.empty() ? "Default" : cellStyle, nullptr);
  for (size_t from = 0, end; (end = key.find('\x1f', from)) != std::string::npos; from = end + 1) {
    const Properties span =
        Resolve("text", std::string_view(key).substr(from, end - from), nullptr, false);
    for (const auto& [k, v] : span) p[k] = v;
  }
  const uint16_t font = FontIndex(p);
  spanFonts_.emplace(cacheKey, font);
  return font;
}

std::vector<model::TextRun> DocumentReader::CellRuns(const std::string& cellStyle,
                                                     uint16_t cellFont, const std::string& text) {
  std::vector<model::TextRun> runs;
  bool spanned = false;
  for (const auto& mark : runMarks_) spanned = spanned || !mark.second.empty();
  if (!spanned) return runs;
  size_t length = 0;
  for (const char ch : text) length += (static_cast<uint8_t>(ch) & 0xC0) != 0x80;
  for (const auto& [at, key] : runMarks_) {
    if (at >= length) break;
    const uint16_t font = key.empty() ? cellFont : SpanFont(cellStyle, key);
    if (runs.empty() ? font == cellFont : runs.back().font == font) continue;
    runs.push_back({at, font});
  }
  return runs;
}

void DocumentReader::BeginCell(std::string_view name, std::span<const xml::Attribute> attributes) {
  inCell_ = true;
  coveredCell_ = name == "table:covered-table-cell";
  textTarget_ = TextTarget::Cell;
  cellText_.clear();
  paragraphs_ = 0;
  hasText_ = false;
  links_.clear();
  spans_.clear();
  runMarks_.clear();
  cellRepeat_ = Count(xml::Value(attributes, "table:number-columns-repeated"), uint64_t{1} << 32);
  if (coveredCell_) return;
  // Only the attributes read, into strings that keep their capacity from cell to cell.
  cell_.hasString = cell_.formula = false;
  for (std::string* field :
       {&cell_.style, &cell_.type, &cell_.value, &cell_.date, &cell_.time, &cell_.boolean,
        &cell_.string, &cell_.calcType, &cell_.spanCols, &cell_.spanRows}) {
    field->clear();
  }
  for (const xml::Attribute& a : attributes) {
    const std::string_view n = a.name;
    if (n == "table:style-name")
      cell_.style.assign(a.value);
    else if (n == "office:value-type")
      cell_.type.assign(a.value);
    else if (n == "office:value")
      cell_.value.assign(a.value);
    else if (n == "office:date-value")
      cell_.date.assign(a.value);
    else if (n == "office:time-value")
      cell_.time.assign(a.value);
    else if (n == "office:boolean-value")
      cell_.boolean.assign(a.value);
    else if (n == "calcext:value-type")
      cell_.calcType.assign(a.value);
    else if (n == "table:number-columns-spanned")
      cell_.spanCols.assign(a.value);
    else if (n == "table:number-rows-spanned")
      cell_.spanRows.assign(a.value);
    else if (n == "table:formula")
      cell_.formula = !a.value.empty();
    else if (n == "office:string-value") {
      cell_.string.assign(a.value);
      cell_.hasString = true;
    }
  }
}

void DocumentReader::EndCell() {
  inCell_ = false;
  textTarget_ = TextTarget::None;
  const uint64_t first = col_;
  col_ += cellRepeat_;
  if (coveredCell_ || first > kMaxColumn || row_ > kMaxRow) return;
  const uint64_t count = std::min<uint64_t>(cellRepeat_, uint64_t{kMaxColumn} + 1 - first);
  const uint32_t row = static_cast<uint32_t>(row_);
  const uint16_t col = static_cast<uint16_t>(first);
  Sheet& sheet = CurrentSheet();

  const bool ownStyle = !cell_.style.empty();
  const std::string& styleName = ownStyle                    ? cell_.style
                                 : !rowDefaultStyle_.empty() ? rowDefaultStyle_
                                                             : ColumnDefaultStyle(first);
  Cell cell;
  cell.row = row;
  cell.col = col;
  cell.style = CellStyleIndex(styleName);
  cell.formula = cell_.formula;
  const std::string_view type = cell_.type;
  double number = 0;
  if (cell_.calcType == "error" && model::ErrorCodeOf(cellText_)) {
    cell.type = CellType::Error;
    cell.code = *model::ErrorCodeOf(cellText_);
  } else if (type == "float" || type == "percentage" || type == "currency") {
    if (ParseDouble(cell_.value, number)) {
      cell.type = CellType::Number;
      cell.number = number;
      if (book_.Style(cell.style).numberFormat == "General") {
        if (type == "percentage") cell.style = WithFormat(cell.style, "0.00%");
        if (type == "currency") cell.style = WithFormat(cell.style, "#,##0.00");
      }
    }
  } else if (type == "date") {
    if (auto days = ParseDateTime(cell_.date)) {
      cell.type = CellType::Number;
      cell.number = Serial(*days);
      if (book_.Style(cell.style).numberFormat == "General") {
        const bool time = cell.number != std::floor(cell.number);
        cell.style = WithFormat(cell.style, time ? "mm/dd/yy hh:mm" : "mm/dd/yy");
      }
    }
  } else if (type == "time") {
    if (auto days = ParseDuration(cell_.time)) {
      cell.type = CellType::Number;
      cell.number = *days;
      if (book_.Style(cell.style).numberFormat == "General") {
        cell.style = WithFormat(cell.style, "hh:mm:ss");
      }
    }
  } else if (type == "boolean") {
    const std::string_view v = cell_.boolean;
    cell.type = CellType::Boolean;
    cell.code = v == "true" || v == "1";
  }
  if (cell.type == CellType::Blank && (type == "string" || hasText_)) {
    std::string text = cell_.hasString ? cell_.string : cellText_;
    if (!text.empty() || type == "string") {
      cell.type = CellType::String;
      if (text.find('\n') != std::string::npos && !book_.Style(cell.style).wrap) {
        cell.style = Derived(cell.style, nullptr, true);
      }
      std::vector<model::TextRun> runs;
      if (!cell_.hasString && !runMarks_.empty()) {
        runs = CellRuns(styleName, book_.Style(cell.style).font, text);
      }
      cell.text = book_.AddString(std::move(text));
      if (!runs.empty()) book_.richText.emplace(cell.text, std::move(runs));
    }
  }

  if (cell.type != CellType::Blank) {
    for (uint64_t i = 0; i < count; ++i) {
      cell.col = static_cast<uint16_t>(first + i);
      rowCells_.push_back(cell);
    }
  } else if (ownStyle && cell.style != CellStyleIndex(ColumnDefaultStyle(first))) {
    // A format without a value: kept where it differs from the column's, within a bound.
    for (uint64_t i = 0; i < count; ++i) {
      cell.col = static_cast<uint16_t>(first + i);
      rowFormats_.push_back(cell);
    }
  }

  const uint64_t spanCols = Count(cell_.spanCols, kMaxColumn + 1);
  const uint64_t spanRows = Count(cell_.spanRows, kMaxRow + 1);
  if ((spanCols > 1 || spanRows > 1) && sheet.merged.size() < model::kMaxSheetCells) {
    model::Range range;
    range.firstRow = row;
    range.firstCol = col;
    range.lastRow = static_cast<uint32_t>(std::min<uint64_t>(row + spanRows - 1, kMaxRow));
    range.lastCol = static_cast<uint16_t>(std::min<uint64_t>(col + spanCols - 1, kMaxColumn));
    sheet.merged.push_back(range);
  }
  for (const auto& [href, text] : links_) AddLink(sheet, row, col, href, text);
  links_.clear();
}

void DocumentReader::AddLink(Sheet& sheet, uint32_t row, uint16_t col, const std::string& href,
                             const std::string& text) {
  if (href.empty() || sheet.hyperlinks.size() >= model::kMaxSheetCells) return;
  model::Hyperlink link;
  link.range = {row, row, col, col};
  link.description = text;
  if (href.front() == '#') {
    link.kind = model::LinkKind::Place;
    std::string place = href.substr(1);
    const size_t dot = place.rfind('.');
    if (dot != std::string::npos) {
      std::string_view cellPart = std::string_view(place).substr(dot + 1);
      uint32_t r;
      uint16_t c;
      if (ParseCellAddress(cellPart, r, c)) place[dot] = '!';
    }
    place.erase(std::remove(place.begin(), place.end(), '$'), place.end());
    link.location = std::move(place);
  } else {
    const size_t hash = href.find('#');
    const bool scheme = href.find("://") != std::string::npos || href.starts_with("mailto:");
    link.kind = scheme && !href.starts_with("file:") ? model::LinkKind::Url : model::LinkKind::File;
    link.target = href.substr(0, hash);
    if (hash != std::string::npos) link.location = href.substr(hash + 1);
  }
  sheet.hyperlinks.push_back(std::move(link));
}

}  // namespace quillane::ods::parts
