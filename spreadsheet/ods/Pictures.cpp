// The pictures of an OpenDocument spreadsheet: frames anchored to cells or to the table, their
// pictures (parts of the package or base64 inside the document), placed once the sheet's widths
// and heights are known.
#include <algorithm>
#include <cmath>
#include <string>

#include "spreadsheet/ods/DocumentReader.h"

namespace quillane::ods::parts {

namespace {

// Pictures of one sheet.
constexpr size_t kMaxPictures = 4096;

}  // namespace

std::vector<uint8_t> DecodeBase64(std::string_view text) {
  std::vector<uint8_t> out;
  out.reserve(text.size() / 4 * 3);
  uint32_t buffer = 0;
  int bits = 0;
  for (char ch : text) {
    int v;
    if (ch >= 'A' && ch <= 'Z')
      v = ch - 'A';
    else if (ch >= 'a' && ch <= 'z')
      v = ch - 'a' + 26;
    else if (ch >= '0' && ch <= '9')
      v = ch - '0' + 52;
    else if (ch == '+')
      v = 62;
    else if (ch == '/')
      v = 63;
    else
      continue;
    buffer = (buffer << 6) | static_cast<uint32_t>(v);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out.push_back(static_cast<uint8_t>(buffer >> bits));
    }
  }
  return out;
}

void DocumentReader::BeginFrame(std::span<const xml::Attribute> attributes) {
  frame_ = Frame{};
  PendingPicture& p = frame_.picture;
  p.row = static_cast<uint32_t>(std::min<uint64_t>(inCell_ ? row_ : 0, kMaxRow));
  p.col = static_cast<uint16_t>(std::min<uint64_t>(inCell_ ? col_ : 0, kMaxColumn));
  p.x = Points(xml::Value(attributes, "svg:x")).value_or(0);
  p.y = Points(xml::Value(attributes, "svg:y")).value_or(0);
  p.width = Points(xml::Value(attributes, "svg:width")).value_or(0);
  p.height = Points(xml::Value(attributes, "svg:height")).value_or(0);
  p.name = std::string(xml::Value(attributes, "draw:name"));
  const std::string_view end = xml::Value(attributes, "table:end-cell-address");
  if (inCell_ && !end.empty() && ParseCellAddress(end, p.endRow, p.endCol)) {
    p.hasEnd = true;
    p.endX = Points(xml::Value(attributes, "table:end-x")).value_or(0);
    p.endY = Points(xml::Value(attributes, "table:end-y")).value_or(0);
  }
}

void DocumentReader::EndFrame() {
  if (pictureCount_ >= kMaxPictures) {
    throw ReadError("The workbook is too large: sheet \"" + CurrentSheet().name +
                    "\" has more than " + std::to_string(kMaxPictures) +
                    " pictures, the most a sheet may have");
  }
  std::vector<uint8_t> data;
  if (!frame_.binary.empty()) {
    data = std::move(frame_.binary);
  } else if (!frame_.href.empty() && parts_) {
    std::string name = frame_.href;
    if (name.starts_with("./")) name.erase(0, 2);
    auto known = blipOfPart_.find(name);
    if (known != blipOfPart_.end()) {
      frame_.picture.blip = known->second;
      pending_.push_back(frame_.picture);
      ++pictureCount_;
      return;
    }
    // A picture outside the package is not shown; one the package names must be there.
    if (name.find("://") != std::string::npos || name.starts_with("../") || name.starts_with("/")) {
      return;
    }
    if (pictures_) {
      std::optional<model::Blip> blip = (*pictures_)(name);
      if (!blip) Damaged("the picture " + name + " is missing");
      blipOfPart_[name] = static_cast<uint32_t>(book_.blips.size());
      frame_.picture.blip = static_cast<uint32_t>(book_.blips.size());
      book_.blips.push_back(std::move(*blip));
      pending_.push_back(frame_.picture);
      ++pictureCount_;
      return;
    }
    auto bytes = (*parts_)(name);
    if (!bytes) Damaged("the picture " + name + " is missing");
    data = std::move(*bytes);
    blipOfPart_[name] = static_cast<uint32_t>(book_.blips.size());
  }
  if (data.empty()) return;
  model::Blip blip;
  blip.type = model::BlipTypeOf(data);
  blip.data = std::move(data);
  frame_.picture.blip = static_cast<uint32_t>(book_.blips.size());
  book_.blips.push_back(std::move(blip));
  pending_.push_back(frame_.picture);
  ++pictureCount_;
}

double DocumentReader::ColumnPoints(uint16_t col) const {
  const Sheet& sheet = book_.sheets.back();
  if (sheet.ColumnHidden(col)) return 0;
  return static_cast<double>(sheet.ColumnWidth(col)) * DigitWidth() / 256 * 72 / 96;
}

double DocumentReader::RowPoints(uint32_t row) const {
  const Sheet& sheet = book_.sheets.back();
  if (sheet.RowHidden(row)) return 0;
  return sheet.RowHeight(row) / 20.0;
}

template <typename Index, typename Size>
void DocumentReader::Walk(Index& index, double offset, Index max, Size size, uint16_t& fraction,
                          int units) {
  for (int steps = 0; steps < 100000 && index < max; ++steps) {
    const double s = size(index);
    if (offset < s) break;
    offset -= s;
    ++index;
  }
  const double s = size(index);
  fraction = static_cast<uint16_t>(s > 0 ? std::clamp(offset / s * units, 0.0, units - 1.0) : 0);
}

void DocumentReader::PlacePictures() {
  Sheet& sheet = CurrentSheet();
  auto colSize = [this](uint16_t c) { return ColumnPoints(c); };
  auto rowSize = [this](uint32_t r) { return RowPoints(r); };
  for (const PendingPicture& p : pending_) {
    model::Picture pic;
    pic.blip = p.blip;
    pic.name = p.name;
    pic.col1 = p.col;
    pic.row1 = p.row;
    Walk(pic.col1, p.x, kMaxColumn, colSize, pic.dx1, 1024);
    Walk(pic.row1, p.y, kMaxRow, rowSize, pic.dy1, 256);
    if (p.hasEnd) {
      pic.col2 = p.endCol;
      pic.row2 = p.endRow;
      Walk(pic.col2, p.endX, kMaxColumn, colSize, pic.dx2, 1024);
      Walk(pic.row2, p.endY, kMaxRow, rowSize, pic.dy2, 256);
    } else {
      pic.col2 = p.col;
      pic.row2 = p.row;
      Walk(pic.col2, p.x + p.width, kMaxColumn, colSize, pic.dx2, 1024);
      Walk(pic.row2, p.y + p.height, kMaxRow, rowSize, pic.dy2, 256);
    }
    sheet.pictures.push_back(std::move(pic));
  }
  pending_.clear();
}

}  // namespace quillane::ods::parts
