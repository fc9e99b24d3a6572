#include "spreadsheet/model/Workbook.h"

#include <algorithm>
#include <initializer_list>

namespace quillane::model {

namespace {

constexpr std::array<uint32_t, 8> kFixedColors = {0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00,
                                                  0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF};

bool CellBefore(const Cell& a, const Cell& b) {
  return a.row != b.row ? a.row < b.row : a.col < b.col;
}

}  // namespace

const std::array<uint32_t, 56>& DefaultPalette() {
  static const std::array<uint32_t, 56> palette = {
      0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF,
      0x800000, 0x008000, 0x000080, 0x808000, 0x800080, 0x008080, 0xC0C0C0, 0x808080,
      0x9999FF, 0x993366, 0xFFFFCC, 0xCCFFFF, 0x660066, 0xFF8080, 0x0066CC, 0xCCCCFF,
      0x000080, 0xFF00FF, 0xFFFF00, 0x00FFFF, 0x800080, 0x800000, 0x008080, 0x0000FF,
      0x00CCFF, 0xCCFFFF, 0xCCFFCC, 0xFFFF99, 0x99CCFF, 0xFF99CC, 0xCC99FF, 0xFFCC99,
      0x3366FF, 0x33CCCC, 0x99CC00, 0xFFCC00, 0xFF9900, 0xFF6600, 0x666699, 0x969696,
      0x003366, 0x339966, 0x003300, 0x333300, 0x993300, 0x993366, 0x333399, 0x333333};
  return palette;
}

std::string_view ErrorText(uint8_t code) {
  switch (code) {
    case 0x00:
      return "#NULL!";
    case 0x07:
      return "#DIV/0!";
    case 0x0F:
      return "#VALUE!";
    case 0x17:
      return "#REF!";
    case 0x1D:
      return "#NAME?";
    case 0x24:
      return "#NUM!";
    case 0x2A:
      return "#N/A";
    default:
      return "#N/A";
  }
}

Workbook::Workbook() : palette(DefaultPalette()) {}

uint32_t Workbook::ColorRgb(uint16_t index, uint32_t fallback) const {
  if (index < 8) return kFixedColors[index];
  if (index < 64) return palette[index - 8];
  return fallback;
}

Color Workbook::IndexedColor(uint16_t index) const {
  return index < 64 ? Color::Rgb(ColorRgb(index, 0)) : Color::Auto();
}

uint32_t Workbook::AddString(std::string text) {
  strings.push_back(std::move(text));
  return static_cast<uint32_t>(strings.size() - 1);
}

void Sheet::Normalize() {
  // Cells mostly come in order, one at each position: nothing to do then.
  auto notBefore = [](const Cell& a, const Cell& b) { return !CellBefore(a, b); };
  if (std::adjacent_find(cells.begin(), cells.end(), notBefore) == cells.end()) return;
  if (!std::is_sorted(cells.begin(), cells.end(), CellBefore)) {
    std::stable_sort(cells.begin(), cells.end(), CellBefore);
  }
  // Of two cells at one position, keep the later one.
  size_t out = 0;
  for (size_t i = 0; i < cells.size(); ++i) {
    if (out > 0 && cells[out - 1].row == cells[i].row && cells[out - 1].col == cells[i].col) {
      cells[out - 1] = cells[i];
    } else {
      cells[out++] = cells[i];
    }
  }
  cells.resize(out);
}

const Cell* Sheet::Find(uint32_t row, uint16_t col) const {
  Cell key;
  key.row = row;
  key.col = col;
  auto it = std::lower_bound(cells.begin(), cells.end(), key, CellBefore);
  if (it != cells.end() && it->row == row && it->col == col) return &*it;
  return nullptr;
}

namespace {
const ColumnInfo* FindColumn(const std::vector<ColumnInfo>& columns, uint16_t col) {
  auto it = std::upper_bound(columns.begin(), columns.end(), col,
                             [](uint16_t c, const ColumnInfo& info) { return c < info.first; });
  if (it == columns.begin()) return nullptr;
  --it;
  return col <= it->last ? &*it : nullptr;
}
}  // namespace

uint32_t Sheet::ColumnWidth(uint16_t col) const {
  if (const ColumnInfo* info = FindColumn(columns, col)) return info->width;
  if (standardWidth != 0) return standardWidth;
  return static_cast<uint32_t>(defaultColWidth) * 256;
}

bool Sheet::ColumnHidden(uint16_t col) const {
  const ColumnInfo* info = FindColumn(columns, col);
  return info && (info->hidden || info->width == 0);
}

uint16_t Sheet::RowHeight(uint32_t row) const {
  auto it = rows.find(row);
  return it != rows.end() ? it->second.height : defaultRowHeight;
}

bool Sheet::RowHidden(uint32_t row) const {
  auto it = rows.find(row);
  if (it != rows.end()) return it->second.hidden || it->second.height == 0;
  return defaultRowsHidden;
}

void Blip::BytesTo(const ByteSink& sink) const {
  if (!unpack) {
    if (!data.empty()) sink(data);
    return;
  }
  uint64_t skipped = 0;
  unpack([&](std::span<const uint8_t> piece) {
    if (skipped < skip) {
      const size_t n = static_cast<size_t>(std::min<uint64_t>(skip - skipped, piece.size()));
      skipped += n;
      piece = piece.subspan(n);
    }
    if (!piece.empty()) sink(piece);
  });
}

std::vector<uint8_t> Blip::Bytes() const {
  if (!unpack) return data;
  std::vector<uint8_t> out;
  out.reserve(static_cast<size_t>(std::min<uint64_t>(size, uint64_t{64} << 20)));
  BytesTo([&out](std::span<const uint8_t> piece) {
    out.insert(out.end(), piece.begin(), piece.end());
  });
  return out;
}

std::string PictureBudgetText(uint64_t sourceBytes) {
  return "The workbook is too large: its pictures unpack to more than " +
         std::to_string(PictureBudget(sourceBytes) >> 20) +
         " MB, the most for a file of its size (16 times its size plus 16 MB)";
}

std::string CellBudgetText(size_t budget) {
  return "The workbook is too large: its sheets hold more than " + std::to_string(budget) +
         " cells, the most for a file of its size (8 for every byte of the file plus 2097152, " +
         "and never more than " + std::to_string(kMaxWorkbookCells) + ")";
}

BlipType BlipTypeOf(std::span<const uint8_t> b) {
  auto starts = [&](std::initializer_list<uint8_t> sig) {
    return b.size() >= sig.size() && std::equal(sig.begin(), sig.end(), b.begin());
  };
  if (starts({0x89, 'P', 'N', 'G'})) return BlipType::Png;
  if (starts({0xFF, 0xD8})) return BlipType::Jpeg;
  if (starts({'I', 'I', '*', 0}) || starts({'M', 'M', 0, '*'})) return BlipType::Tiff;
  if (starts({0xD7, 0xCD, 0xC6, 0x9A}) || starts({1, 0, 9, 0})) return BlipType::Wmf;
  if (b.size() >= 44 && starts({1, 0, 0, 0}) && b[40] == ' ' && b[41] == 'E' && b[42] == 'M' &&
      b[43] == 'F') {
    return BlipType::Emf;
  }
  if (starts({'B', 'M'}) && b.size() > 14) return BlipType::Dib;
  return BlipType::Unknown;
}

std::optional<uint8_t> ErrorCodeOf(std::string_view text) {
  static constexpr std::pair<std::string_view, uint8_t> kErrors[] = {
      {"#NULL!", 0x00}, {"#DIV/0!", 0x07}, {"#VALUE!", 0x0F}, {"#REF!", 0x17},
      {"#NAME?", 0x1D}, {"#NUM!", 0x24},   {"#N/A", 0x2A},    {"#GETTING_DATA", 0x2B}};
  for (const auto& [name, code] : kErrors) {
    if (name == text) return code;
  }
  return std::nullopt;
}

}  // namespace quillane::model
