// Unpacking of the deflate-compressed metafiles of the picture store.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "spreadsheet/container/Inflate.h"

using quillane::container::Inflate;

namespace {

std::vector<uint8_t> Load(const std::string& name) {
  std::ifstream in(std::filesystem::path(QUILLANE_SOURCE_DIR) / "tests/data/container" / name,
                   std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
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
