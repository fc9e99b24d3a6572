// Record identifiers and bounds-checked readers of record data. Internal to the reader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <vector>

namespace quillane::biff {

namespace rec {
inline constexpr uint16_t kDimensions2 = 0x0000, kDimensions = 0x0200;
inline constexpr uint16_t kBlank2 = 0x0001, kBlank = 0x0201;
inline constexpr uint16_t kInteger2 = 0x0002;
inline constexpr uint16_t kNumber2 = 0x0003, kNumber = 0x0203;
inline constexpr uint16_t kLabel2 = 0x0004, kLabel = 0x0204;
inline constexpr uint16_t kBoolErr2 = 0x0005, kBoolErr = 0x0205;
inline constexpr uint16_t kFormula = 0x0006, kFormula3 = 0x0206, kFormula4 = 0x0406;
inline constexpr uint16_t kString2 = 0x0007, kString = 0x0207;
inline constexpr uint16_t kRow2 = 0x0008, kRow = 0x0208;
inline constexpr uint16_t kBof2 = 0x0009, kBof3 = 0x0209, kBof4 = 0x0409, kBof = 0x0809;
inline constexpr uint16_t kEof = 0x000A;
inline constexpr uint16_t kNote = 0x001C;
inline constexpr uint16_t kFormat2 = 0x001E, kFormat = 0x041E;
inline constexpr uint16_t kExternSheet = 0x0017;
inline constexpr uint16_t kDateMode = 0x0022;
inline constexpr uint16_t kColWidth2 = 0x0024;
inline constexpr uint16_t kDefaultRowHeight2 = 0x0025, kDefaultRowHeight = 0x0225;
inline constexpr uint16_t kFilePass = 0x002F;
inline constexpr uint16_t kFont = 0x0031, kFont3 = 0x0231;
inline constexpr uint16_t kContinue = 0x003C;
inline constexpr uint16_t kWindow2_2 = 0x003E, kWindow2 = 0x023E;
inline constexpr uint16_t kPane = 0x0041;
inline constexpr uint16_t kCodepage = 0x0042;
inline constexpr uint16_t kXf2 = 0x0043, kXf3 = 0x0243, kXf4 = 0x0443, kXf = 0x00E0;
inline constexpr uint16_t kIxfe2 = 0x0044;
inline constexpr uint16_t kFontColor2 = 0x0045;
inline constexpr uint16_t kDefColWidth = 0x0055;
inline constexpr uint16_t kObj = 0x005D;
inline constexpr uint16_t kColInfo = 0x007D;
inline constexpr uint16_t kWsBool = 0x0081;
inline constexpr uint16_t kBoundSheet = 0x0085, kBundleSheet4 = 0x008F;
inline constexpr uint16_t kPalette = 0x0092;
inline constexpr uint16_t kStandardWidth = 0x0099;
inline constexpr uint16_t kMulRk = 0x00BD, kMulBlank = 0x00BE;
inline constexpr uint16_t kRString = 0x00D6;
inline constexpr uint16_t kInterfaceHdr = 0x00E1;
inline constexpr uint16_t kMergedCells = 0x00E5;
inline constexpr uint16_t kMsoDrawingGroup = 0x00EB, kMsoDrawing = 0x00EC;
inline constexpr uint16_t kSst = 0x00FC, kLabelSst = 0x00FD;
inline constexpr uint16_t kRk = 0x027E, kRk2 = 0x007E;
inline constexpr uint16_t kRrdHead = 0x0138;
inline constexpr uint16_t kUsrExcl = 0x0194, kFileLock = 0x0195, kRrdInfo = 0x0196;
inline constexpr uint16_t kSupBook = 0x01AE;
inline constexpr uint16_t kCondFmt = 0x01B0, kCf = 0x01B1;
inline constexpr uint16_t kCondFmt12 = 0x0879, kCf12 = 0x087A;
inline constexpr uint16_t kTxo = 0x01B6;
inline constexpr uint16_t kHlink = 0x01B8;
inline constexpr uint16_t kHlinkTooltip = 0x0800;
}  // namespace rec

inline uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline double LeDouble(const uint8_t* p) {
  uint64_t bits = Le32(p) | (static_cast<uint64_t>(Le32(p + 4)) << 32);
  double d;
  std::memcpy(&d, &bits, sizeof d);
  return d;
}

// Thrown by the readers below when a record is shorter than its contents claim; the reader
// catches it per record and treats the record as damaged.
struct ShortRecord {};

// Reads one record's data front to back; every read is checked against the end.
class ByteReader {
 public:
  explicit ByteReader(std::span<const uint8_t> data) : data_(data) {}
  size_t Remaining() const { return data_.size() - pos_; }
  size_t Position() const { return pos_; }
  bool AtEnd() const { return pos_ >= data_.size(); }
  void Need(size_t n) const {
    if (n > Remaining()) throw ShortRecord{};
  }
  uint8_t U8() {
    Need(1);
    return data_[pos_++];
  }
  uint16_t U16() {
    Need(2);
    uint16_t v = Le16(&data_[pos_]);
    pos_ += 2;
    return v;
  }
  uint32_t U32() {
    Need(4);
    uint32_t v = Le32(&data_[pos_]);
    pos_ += 4;
    return v;
  }
  double Double() {
    Need(8);
    double v = LeDouble(&data_[pos_]);
    pos_ += 8;
    return v;
  }
  const uint8_t* Bytes(size_t n) {
    Need(n);
    const uint8_t* p = data_.data() + pos_;
    pos_ += n;
    return p;
  }
  void Skip(size_t n) { Bytes(n); }

 private:
  std::span<const uint8_t> data_;
  size_t pos_ = 0;
};

// A record's data followed by the data of its CONTINUE records, read as one sequence. Character
// arrays split at a boundary start again with an option byte in the next piece.
class ContinuedReader {
 public:
  explicit ContinuedReader(std::vector<std::span<const uint8_t>> pieces)
      : pieces_(std::move(pieces)) {}
  bool AtEnd() {
    SkipEmpty();
    return piece_ >= pieces_.size();
  }
  uint8_t U8() {
    SkipEmpty();
    if (piece_ >= pieces_.size()) throw ShortRecord{};
    return pieces_[piece_][pos_++];
  }
  uint16_t U16() {
    uint16_t lo = U8();
    return static_cast<uint16_t>(lo | (U8() << 8));
  }
  uint32_t U32() {
    uint32_t lo = U16();
    return lo | (static_cast<uint32_t>(U16()) << 16);
  }
  void Skip(size_t n) {
    while (n > 0) {
      SkipEmpty();
      if (piece_ >= pieces_.size()) throw ShortRecord{};
      size_t take = std::min(n, pieces_[piece_].size() - pos_);
      pos_ += take;
      n -= take;
    }
  }
  // Reads `count` characters as UTF-8, 16-bit when `wide`. At the start of each further piece
  // an option byte gives the width of the characters that follow. `units` receives the number
  // of UTF-16 code units read (for formatting runs).
  void Chars(size_t count, bool wide, std::string& out);
  // Positions the reader at the start of the next piece (for text that starts a new piece).
  void NextPiece() {
    if (piece_ < pieces_.size()) {
      ++piece_;
      pos_ = 0;
    }
  }

 private:
  void SkipEmpty() {
    while (piece_ < pieces_.size() && pos_ >= pieces_[piece_].size()) {
      ++piece_;
      pos_ = 0;
    }
  }
  std::vector<std::span<const uint8_t>> pieces_;
  size_t piece_ = 0;
  size_t pos_ = 0;
};

}  // namespace quillane::biff
