// Unpacking of the deflate-compressed metafiles of the picture store.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <algorithm>
#include <iterator>

#include "spreadsheet/container/Inflate.h"

using quillane::container::Inflate;
using quillane::container::InflateRawTo;

namespace {

std::vector<uint8_t> Load(const std::string& name) {
  std::ifstream in(std::filesystem::path(QUILLANE_SOURCE_DIR) / "tests/data/container" / name,
                   std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Writes one deflate block of fixed codes.
struct FixedBlock {
  std::vector<uint8_t> out;
  uint32_t acc = 0;
  int bits = 0;

  FixedBlock() {
    Put(1, 1);  // the last block
    Put(1, 2);  // fixed codes
  }
  void Put(uint32_t v, int n) {  // first bit lowest
    for (int i = 0; i < n; ++i) {
      acc |= ((v >> i) & 1u) << bits;
      if (++bits == 8) {
        out.push_back(static_cast<uint8_t>(acc));
        acc = 0;
        bits = 0;
      }
    }
  }
  void Code(uint32_t c, int n) {  // Huffman codes go first bit highest
    for (int i = n - 1; i >= 0; --i) Put((c >> i) & 1u, 1);
  }
  void Literal(uint8_t v) { v < 144 ? Code(0x30u + v, 8) : Code(0x190u + v - 144, 9); }
  void Copy258(uint32_t dist) {  // a distance of 24577 to 32768
    Code(0xC5, 8);
    Code(29, 5);
    Put(dist - 24577, 13);
  }
  std::vector<uint8_t> Finish() {
    Code(0, 7);  // the end of the block
    if (bits > 0) out.push_back(static_cast<uint8_t>(acc));
    return out;
  }
};

// A 30000-byte pseudo-random block, then copies of it from 30000 back, `copies` times: copies
// that reach far back across every piece the output is handed in.
std::vector<uint8_t> FarCopies(int copies, std::vector<uint8_t>& plain) {
  constexpr size_t kBlock = 30000;
  std::vector<uint8_t> block(kBlock);
  uint32_t x = 1;
  for (uint8_t& b : block) {
    x = x * 1103515245u + 12345u;
    b = static_cast<uint8_t>('a' + (x >> 16) % 26);
  }
  FixedBlock w;
  for (uint8_t b : block) w.Literal(b);
  plain = block;
  for (int c = 0; c < copies; ++c) {
    size_t done = 0;
    for (; done + 258 <= kBlock; done += 258) w.Copy258(kBlock);
    for (; done < kBlock; ++done) w.Literal(block[done]);
    plain.insert(plain.end(), block.begin(), block.end());
  }
  return w.Finish();
}

}  // namespace

TEST(Inflate, StoredFixedAndDynamicBlocks) {
  std::vector<uint8_t> plain = Load("deflate_plain.bin");
  ASSERT_GT(plain.size(), 10000u);
  for (const char* name : {"deflate_stored.zlib", "deflate_fixed.zlib", "deflate_dynamic.zlib"}) {
    auto out = Inflate(Load(name), 1 << 20);
    ASSERT_TRUE(out.has_value()) << name;
    EXPECT_EQ(*out, plain) << name;
  }
}

TEST(Inflate, LimitsAndDamage) {
  std::vector<uint8_t> packed = Load("deflate_dynamic.zlib");
  auto cut = Inflate(packed, 100);
  ASSERT_TRUE(cut.has_value());
  EXPECT_EQ(cut->size(), 100u);
  std::vector<uint8_t> truncated(packed.begin(),
                                 packed.begin() + static_cast<long>(packed.size() / 2));
  EXPECT_FALSE(Inflate(truncated, 1 << 20).has_value());
  EXPECT_FALSE(Inflate(std::vector<uint8_t>{0x12, 0x34, 0x56}, 100).has_value());  // not zlib
  // A stored block whose length check fails, and a distance back past the start.
  EXPECT_FALSE(
      Inflate(std::vector<uint8_t>{0x78, 0x9C, 0x01, 0x05, 0x00, 0x00, 0x00}, 100).has_value());
  EXPECT_FALSE(Inflate(std::vector<uint8_t>{0x78, 0x9C, 0x03, 0x02, 0x00}, 100).has_value());
}

TEST(Inflate, PiecesKeepTheWindowAndTheLimit) {
  std::vector<uint8_t> plain;
  const std::vector<uint8_t> packed = FarCopies(11, plain);
  ASSERT_EQ(plain.size(), 360000u);
  for (size_t limit : {size_t{1} << 20, size_t{200000}}) {
    std::vector<uint8_t> joined;
    size_t pieces = 0, produced = 0;
    ASSERT_TRUE(InflateRawTo(
        packed, limit,
        [&](std::span<const uint8_t> piece) {
          EXPECT_LE(piece.size(), size_t{160} << 10);
          joined.insert(joined.end(), piece.begin(), piece.end());
          ++pieces;
        },
        &produced));
    const size_t expected = std::min(limit, plain.size());
    EXPECT_EQ(produced, expected);
    EXPECT_GE(pieces, 2u);
    EXPECT_TRUE(std::equal(joined.begin(), joined.end(), plain.begin()) &&
                joined.size() == expected);
  }
  // A copy from further back than the output reaches is damage, whatever the pieces.
  FixedBlock early;
  for (int i = 0; i < 100; ++i) early.Literal('x');
  early.Copy258(30000);
  EXPECT_FALSE(InflateRawTo(early.Finish(), 1 << 20, [](std::span<const uint8_t>) {}));
}
