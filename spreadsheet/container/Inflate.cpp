#include "spreadsheet/container/Inflate.h"

#include <algorithm>
#include <array>
#include <vector>

namespace quillane::container {

namespace {

struct Damaged {};
struct Full {};

constexpr int kMaxBits = 15;

class BitReader {
 public:
  explicit BitReader(std::span<const uint8_t> data) : data_(data) {}
  unsigned Bits(int count) {
    uint32_t value = buffer_;
    while (have_ < count) {
      if (pos_ >= data_.size()) throw Damaged{};
      value |= static_cast<uint32_t>(data_[pos_++]) << have_;
      have_ += 8;
    }
    buffer_ = value >> count;
    have_ -= count;
    return value & ((1u << count) - 1);
  }
  // Drops the bits up to the next byte boundary (whole bytes already loaded stay).
  void AlignToByte() { Drop(have_ % 8); }
  // Loads bytes until `need` bits are at hand or the data end; never throws.
  int Fill(int need) {
    while (have_ < need && pos_ < data_.size()) {
      buffer_ |= static_cast<uint32_t>(data_[pos_++]) << have_;
      have_ += 8;
    }
    return have_;
  }
  uint32_t Peek() const { return buffer_; }
  void Drop(int count) {
    buffer_ >>= count;
    have_ -= count;
  }
  uint8_t Byte() {
    if (have_ >= 8) {
      uint8_t b = static_cast<uint8_t>(buffer_);
      Drop(8);
      return b;
    }
    if (pos_ >= data_.size()) throw Damaged{};
    return data_[pos_++];
  }

 private:
  std::span<const uint8_t> data_;
  size_t pos_ = 0;
  uint32_t buffer_ = 0;
  int have_ = 0;
};

// A canonical Huffman code: how many codes of each length, and the symbols in code order.
constexpr int kFastBits = 9;

struct Huffman {
  std::array<uint16_t, kMaxBits + 1> count{};
  std::array<uint16_t, 320> symbol{};
  // The codes of up to kFastBits bits by their bits as read (first bit lowest): the code's
  // length above bit 9 and its symbol below; 0 for longer codes.
  std::array<uint16_t, 1 << kFastBits> fast{};

  // Builds the code from the lengths; false when the lengths over-subscribe the code.
  bool Build(const uint16_t* lengths, int n) {
    count.fill(0);
    for (int i = 0; i < n; ++i) ++count[lengths[i]];
    int left = 1;
    for (int len = 1; len <= kMaxBits; ++len) {
      left <<= 1;
      left -= count[len];
      if (left < 0) return false;
    }
    std::array<uint16_t, kMaxBits + 1> offsets{};
    for (int len = 1; len < kMaxBits; ++len) offsets[len + 1] = offsets[len] + count[len];
    for (int i = 0; i < n; ++i) {
      if (lengths[i] != 0) symbol[offsets[lengths[i]]++] = static_cast<uint16_t>(i);
    }
    // Canonical codes, first bit highest; the table is indexed by the bits reversed.
    fast.fill(0);
    std::array<uint32_t, kMaxBits + 2> next{};
    uint32_t code = 0;
    for (int len = 1; len <= kMaxBits; ++len) {
      code = (code + (len == 1 ? 0 : count[len - 1])) << 1;
      next[len] = code;
    }
    for (int i = 0; i < n; ++i) {
      int len = lengths[i];
      if (len == 0) continue;
      uint32_t c = next[len]++;
      if (len > kFastBits) continue;
      uint32_t reversed = 0;
      for (int b = 0; b < len; ++b) reversed |= ((c >> b) & 1) << (len - 1 - b);
      for (uint32_t k = reversed; k < fast.size(); k += 1u << len) {
        fast[k] = static_cast<uint16_t>(len << kFastBits | i);
      }
    }
    return true;
  }

  int Decode(BitReader& in) const {
    int have = in.Fill(kFastBits);
    uint16_t entry = fast[in.Peek() & ((1u << kFastBits) - 1)];
    int len = entry >> kFastBits;
    if (len != 0 && len <= have) {
      in.Drop(len);
      return entry & ((1 << kFastBits) - 1);
    }
    return DecodeSlowly(in);
  }

  int DecodeSlowly(BitReader& in) const {
    int code = 0, first = 0, index = 0;
    for (int len = 1; len <= kMaxBits; ++len) {
      code |= static_cast<int>(in.Bits(1));
      int n = count[len];
      if (code - n < first) return symbol[index + (code - first)];
      index += n;
      first += n;
      first <<= 1;
      code <<= 1;
    }
    throw Damaged{};  // a code the table does not hold
  }
};

constexpr uint16_t kLengthBase[29] = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                      15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                      67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                      2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr uint16_t kDistBase[30] = {1,    2,    3,    4,    5,    7,    9,    13,    17,    25,
                                    33,   49,   65,   97,   129,  193,  257,  385,   513,   769,
                                    1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr uint8_t kDistExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                    6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

// Output goes to a window buffer: the last kWindow bytes stay for the copies that reach back,
// and every kPiece bytes written go to the sink, so the whole output is never held at once.
constexpr size_t kWindow = 32768;
constexpr size_t kPiece = size_t{1} << 17;

class Inflater {
 public:
  Inflater(std::span<const uint8_t> data, size_t limit, const InflateSink& sink)
      : in_(data), limit_(limit), sink_(sink), buffer_(kWindow + kPiece) {}

  void Run() {
    bool last;
    do {
      last = in_.Bits(1) != 0;
      switch (in_.Bits(2)) {
        case 0:
          Stored();
          break;
        case 1:
          Fixed();
          break;
        case 2:
          Dynamic();
          break;
        default:
          throw Damaged{};
      }
    } while (!last);
  }

  // Hands what is not yet handed on to the sink.
  void Flush() {
    if (pos_ > sent_) sink_(std::span<const uint8_t>(buffer_.data() + sent_, pos_ - sent_));
    sent_ = pos_;
  }

  size_t Produced() const { return total_; }

 private:
  // Flushes a full buffer and keeps its last kWindow bytes at the front.
  void Slide() {
    Flush();
    std::copy(buffer_.end() - kWindow, buffer_.end(), buffer_.begin());
    pos_ = sent_ = kWindow;
  }

  void Put(uint8_t b) {
    if (total_ >= limit_) throw Full{};
    buffer_[pos_++] = b;
    ++total_;
    if (pos_ == buffer_.size()) Slide();
  }

  // Appends `len` bytes copied from `dist` back (the copy may overlap what it writes).
  void Copy(size_t dist, size_t len) {
    while (len > 0) {
      const size_t room = std::min(buffer_.size() - pos_, limit_ - total_);
      if (room == 0) throw Full{};
      const size_t n = std::min(len, room);
      uint8_t* p = buffer_.data() + pos_;
      const uint8_t* from = p - dist;
      if (dist >= n) {
        std::copy(from, from + n, p);
      } else {
        for (size_t i = 0; i < n; ++i) p[i] = from[i];
      }
      pos_ += n;
      total_ += n;
      len -= n;
      if (pos_ == buffer_.size()) Slide();
    }
  }

  void Stored() {
    in_.AlignToByte();
    unsigned len = in_.Byte();
    len |= static_cast<unsigned>(in_.Byte()) << 8;
    unsigned nlen = in_.Byte();
    nlen |= static_cast<unsigned>(in_.Byte()) << 8;
    if ((len ^ 0xFFFF) != nlen) throw Damaged{};
    for (unsigned i = 0; i < len; ++i) Put(in_.Byte());
  }

  void Codes(const Huffman& lengths, const Huffman& distances) {
    while (true) {
      int symbol = lengths.Decode(in_);
      if (symbol < 256) {
        Put(static_cast<uint8_t>(symbol));
      } else if (symbol == 256) {
        return;
      } else {
        symbol -= 257;
        if (symbol >= 29) throw Damaged{};
        size_t len = kLengthBase[symbol] + in_.Bits(kLengthExtra[symbol]);
        int d = distances.Decode(in_);
        if (d >= 30) throw Damaged{};
        size_t dist = kDistBase[d] + in_.Bits(kDistExtra[d]);
        if (dist > total_) throw Damaged{};
        Copy(dist, len);
      }
    }
  }

  void Fixed() {
    uint16_t lengths[288];
    for (int i = 0; i < 144; ++i) lengths[i] = 8;
    for (int i = 144; i < 256; ++i) lengths[i] = 9;
    for (int i = 256; i < 280; ++i) lengths[i] = 7;
    for (int i = 280; i < 288; ++i) lengths[i] = 8;
    Huffman lit, dist;
    lit.Build(lengths, 288);
    for (int i = 0; i < 30; ++i) lengths[i] = 5;
    dist.Build(lengths, 30);
    Codes(lit, dist);
  }

  void Dynamic() {
    static constexpr uint8_t kOrder[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                           11, 4,  12, 3, 13, 2, 14, 1, 15};
    int nlen = static_cast<int>(in_.Bits(5)) + 257;
    int ndist = static_cast<int>(in_.Bits(5)) + 1;
    int ncode = static_cast<int>(in_.Bits(4)) + 4;
    if (nlen > 286 || ndist > 30) throw Damaged{};
    uint16_t lengths[320] = {};
    for (int i = 0; i < ncode; ++i) lengths[kOrder[i]] = static_cast<uint16_t>(in_.Bits(3));
    Huffman codeLengths;
    if (!codeLengths.Build(lengths, 19)) throw Damaged{};
    int index = 0;
    while (index < nlen + ndist) {
      int symbol = codeLengths.Decode(in_);
      if (symbol < 16) {
        lengths[index++] = static_cast<uint16_t>(symbol);
        continue;
      }
      uint16_t value = 0;
      int repeat;
      if (symbol == 16) {
        if (index == 0) throw Damaged{};
        value = lengths[index - 1];
        repeat = 3 + static_cast<int>(in_.Bits(2));
      } else if (symbol == 17) {
        repeat = 3 + static_cast<int>(in_.Bits(3));
      } else {
        repeat = 11 + static_cast<int>(in_.Bits(7));
      }
      if (index + repeat > nlen + ndist) throw Damaged{};
      while (repeat--) lengths[index++] = value;
    }
    if (lengths[256] == 0) throw Damaged{};
    Huffman lit, dist;
    if (!lit.Build(lengths, nlen) || !dist.Build(lengths + nlen, ndist)) throw Damaged{};
    Codes(lit, dist);
  }

  BitReader in_;
  size_t limit_;
  const InflateSink& sink_;
  std::vector<uint8_t> buffer_;
  size_t pos_ = 0, sent_ = 0, total_ = 0;
};

}  // namespace

std::optional<std::vector<uint8_t>> Inflate(std::span<const uint8_t> zlib, size_t limit,
                                            size_t* produced) {
  if (produced) *produced = 0;
  if (zlib.size() < 2 || (zlib[0] & 0x0F) != 8 || ((zlib[0] << 8) | zlib[1]) % 31 != 0 ||
      (zlib[1] & 0x20)) {
    return std::nullopt;
  }
  return InflateRaw(zlib.subspan(2), limit, produced);
}

std::optional<std::vector<uint8_t>> InflateRaw(std::span<const uint8_t> deflate, size_t limit,
                                               size_t* produced) {
  std::vector<uint8_t> out;
  // Zip entries pass their stated size as the limit: room for it (at most what text packed 16 to
  // 1 needs) saves the copies of a growing buffer.
  out.reserve(std::min<size_t>(limit, deflate.size() * 16 + 4096));
  const bool whole = InflateRawTo(
      deflate, limit,
      [&out](std::span<const uint8_t> piece) { out.insert(out.end(), piece.begin(), piece.end()); },
      produced);
  if (!whole) return std::nullopt;
  return out;
}

bool InflateRawTo(std::span<const uint8_t> deflate, size_t limit, const InflateSink& sink,
                  size_t* produced) {
  if (produced) *produced = 0;
  Inflater inflater(deflate, limit, sink);
  try {
    inflater.Run();
  } catch (const Damaged&) {
    if (produced) *produced = inflater.Produced();
    return false;
  } catch (const Full&) {
    // The output is cut at the size the caller expects.
  }
  inflater.Flush();
  if (produced) *produced = inflater.Produced();
  return true;
}

}  // namespace quillane::container
