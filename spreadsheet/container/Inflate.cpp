#include "spreadsheet/container/Inflate.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <memory>
#include <vector>

namespace quillane::container {

namespace {

struct Damaged {};
struct Full {};

constexpr int kMaxBits = 15;

static_assert(std::endian::native == std::endian::little, "the bit reader loads words as they lie");

// Bits of the input, first bit lowest, from a 64-bit buffer refilled a word at a time. The bits
// of the buffer above `have_` are either zero or the input's own next bits, so loading a word
// over them again changes nothing.
class BitReader {
 public:
  explicit BitReader(std::span<const uint8_t> data)
      : next_(data.data()), end_(data.data() + data.size()) {}

  // Loads bytes until at least 56 bits are at hand or the data end; never throws.
  void Refill() {
    if (end_ - next_ >= 8) {
      uint64_t word;
      std::memcpy(&word, next_, 8);
      buffer_ |= word << have_;
      next_ += (63 - have_) >> 3;
      have_ |= 56;
      return;
    }
    while (have_ <= 56 && next_ < end_) {
      buffer_ |= static_cast<uint64_t>(*next_++) << have_;
      have_ += 8;
    }
  }
  unsigned Bits(int count) {
    if (have_ < count) {
      Refill();
      if (have_ < count) throw Damaged{};
    }
    const unsigned value = static_cast<unsigned>(buffer_ & ((uint64_t{1} << count) - 1));
    Drop(count);
    return value;
  }
  int Have() const { return have_; }
  uint64_t Peek() const { return buffer_; }
  void Drop(int count) {
    buffer_ >>= count;
    have_ -= count;
  }
  // Drops the bits up to the next byte boundary (whole bytes already loaded stay).
  void AlignToByte() { Drop(have_ % 8); }
  // Hands `count` whole bytes to `put` a run at a time, once aligned to a byte: first those
  // loaded, then straight from the data.
  template <typename Put>
  void Bytes(size_t count, Put&& put) {
    for (; count > 0 && have_ >= 8; --count) {
      const uint8_t b = static_cast<uint8_t>(buffer_);
      Drop(8);
      put(&b, 1);
    }
    if (count == 0) return;
    buffer_ = 0;  // nothing loaded: the bytes are read past what the buffer held
    if (static_cast<size_t>(end_ - next_) < count) throw Damaged{};
    put(next_, count);
    next_ += count;
  }

 private:
  const uint8_t* next_;
  const uint8_t* end_;
  uint64_t buffer_ = 0;
  int have_ = 0;
};

// The bits of each byte in reverse order.
constexpr std::array<uint8_t, 256> kReversed = [] {
  std::array<uint8_t, 256> table{};
  for (int i = 0; i < 256; ++i) {
    for (int b = 0; b < 8; ++b) table[i] |= static_cast<uint8_t>(((i >> b) & 1) << (7 - b));
  }
  return table;
}();

// A canonical Huffman code: how many codes of each length, and the symbols in code order.
constexpr int kFastBits = 10;
constexpr int kSymbolBits = 9;

struct Huffman {
  std::array<uint16_t, kMaxBits + 1> count{};
  // Both filled by Build as far as the code reaches.
  std::array<uint16_t, 320> symbol;
  // The codes of up to kFastBits bits by their bits as read (first bit lowest): the code's
  // length above kSymbolBits and its symbol below; 0 for longer codes.
  std::array<uint16_t, 1 << kFastBits> fast;

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
    // Canonical codes, first bit highest; the table is indexed by the bits reversed. It is
    // filled for codes of one bit, then doubled and filled for those of two, and so on: a code
    // of `len` bits stands at every index whose first `len` bits are its own.
    fast[0] = fast[1] = 0;
    uint32_t code = 0;
    int index = 0;
    for (int len = 1; len <= kFastBits; ++len) {
      for (int k = 0; k < count[len]; ++k, ++code) {
        const uint32_t reversed =
            (kReversed[code & 0xFF] << 8 | kReversed[code >> 8]) >> (16 - len);
        fast[reversed] = static_cast<uint16_t>(len << kSymbolBits | symbol[index++]);
      }
      code <<= 1;
      if (len < kFastBits) std::copy_n(fast.begin(), size_t{1} << len, fast.begin() + (1 << len));
    }
    return true;
  }

  int Decode(BitReader& in) const {
    if (in.Have() < kMaxBits) in.Refill();
    const uint16_t entry = fast[in.Peek() & ((1u << kFastBits) - 1)];
    const int len = entry >> kSymbolBits;
    if (len != 0 && len <= in.Have()) {
      in.Drop(len);
      return entry & ((1 << kSymbolBits) - 1);
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

// The fixed codes of RFC 1951, built once.
struct FixedCodes {
  Huffman lengths, distances;
  FixedCodes() {
    uint16_t bits[288];
    std::fill(bits, bits + 144, 8);
    std::fill(bits + 144, bits + 256, 9);
    std::fill(bits + 256, bits + 280, 7);
    std::fill(bits + 280, bits + 288, 8);
    lengths.Build(bits, 288);
    std::fill(bits, bits + 30, 5);
    distances.Build(bits, 30);
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
// Output that the limit keeps smaller than that gets a buffer of its own size.
constexpr size_t kWindow = 32768;
constexpr size_t kPiece = size_t{1} << 17;

class Inflater {
 public:
  Inflater(std::span<const uint8_t> data, size_t limit, const InflateSink& sink)
      : in_(data),
        limit_(limit),
        sink_(sink),
        size_(std::min(limit, kWindow + kPiece)),
        buffer_(new uint8_t[size_]) {
    SetStop();
  }

  void Run() {
    bool last;
    do {
      last = in_.Bits(1) != 0;
      switch (in_.Bits(2)) {
        case 0:
          Stored();
          break;
        case 1: {
          static const FixedCodes fixed;
          Codes(fixed.lengths, fixed.distances);
          break;
        }
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
    if (pos_ > sent_) sink_(std::span<const uint8_t>(buffer_.get() + sent_, pos_ - sent_));
    sent_ = pos_;
  }

  size_t Produced() const { return shift_ + pos_; }

 private:
  // Where the buffer must stop taking bytes: its end, or the limit if that comes first.
  void SetStop() { stop_ = std::min(size_, limit_ - shift_); }

  // The buffer is at its stop: the limit is reached (Full), or the buffer is flushed and its
  // last kWindow bytes kept at the front. A buffer smaller than kWindow + kPiece is the limit's.
  void MakeRoom() {
    if (Produced() >= limit_) throw Full{};
    Flush();
    std::copy(buffer_.get() + size_ - kWindow, buffer_.get() + size_, buffer_.get());
    shift_ += size_ - kWindow;
    pos_ = sent_ = kWindow;
    SetStop();
  }

  void Put(uint8_t b) {
    if (pos_ == stop_) MakeRoom();
    buffer_[pos_++] = b;
  }

  // Appends `len` bytes copied from `dist` back (the copy may overlap what it writes).
  void Copy(size_t dist, size_t len) {
    while (len > 0) {
      if (pos_ == stop_) MakeRoom();
      const size_t n = std::min(len, stop_ - pos_);
      uint8_t* p = buffer_.get() + pos_;
      const uint8_t* from = p - dist;
      if (dist >= n) {
        std::memcpy(p, from, n);
      } else if (dist == 1) {
        std::memset(p, *from, n);
      } else {
        for (size_t i = 0; i < n; ++i) p[i] = from[i];
      }
      pos_ += n;
      len -= n;
    }
  }

  void Stored() {
    in_.AlignToByte();
    unsigned len = in_.Bits(16);
    unsigned nlen = in_.Bits(16);
    if ((len ^ 0xFFFF) != nlen) throw Damaged{};
    in_.Bytes(len, [this](const uint8_t* from, size_t count) {
      while (count > 0) {
        if (pos_ == stop_) MakeRoom();
        const size_t n = std::min(count, stop_ - pos_);
        std::memcpy(buffer_.get() + pos_, from, n);
        pos_ += n;
        from += n;
        count -= n;
      }
    });
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
        if (dist > Produced()) throw Damaged{};
        Copy(dist, len);
      }
    }
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
  size_t size_;
  std::unique_ptr<uint8_t[]> buffer_;  // not cleared: only bytes written are read back
  size_t pos_ = 0, sent_ = 0, stop_ = 0;
  size_t shift_ = 0;  // the bytes of output before the buffer's first
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
