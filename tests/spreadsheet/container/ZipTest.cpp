// The zip reader: central directory, stored and deflated entries, zip64, and hostile archives.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "spreadsheet/container/Zip.h"
#include "tests/spreadsheet/container/ZipWriter.h"

using quillane::container::ContainerError;
using quillane::container::Zip;
using quillane::testing::ZipWriter;

namespace {

std::vector<uint8_t> Load(const std::string& name) {
  std::ifstream in(std::filesystem::path(QUILLANE_SOURCE_DIR) / "tests/data/container" / name,
                   std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The raw deflate data inside a zlib stream (without its 2-byte header and 4-byte check).
std::vector<uint8_t> RawDeflate(const std::vector<uint8_t>& zlib) {
  return {zlib.begin() + 2, zlib.end() - 4};
}

std::string Text(const std::vector<uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }

}  // namespace

TEST(Zip, StoredDeflatedDescriptorsAndZip64) {
  const std::vector<uint8_t> plain = Load("deflate_plain.bin");
  const std::vector<uint8_t> packed = RawDeflate(Load("deflate_dynamic.zlib"));
  for (int variant = 0; variant < 3; ++variant) {
    ZipWriter writer;
    writer.dataDescriptors = variant == 1;
    writer.zip64 = variant == 2;
    writer.Add("[Content_Types].xml", "<Types/>");
    writer.AddPacked("xl/worksheets/sheet1.xml", packed, 8, plain.size(),
                     quillane::container::Crc32(plain));
    writer.Add("empty", "");
    const std::vector<uint8_t> bytes = writer.Finish();
    ASSERT_TRUE(Zip::IsZip(bytes));
    Zip zip(bytes);
    ASSERT_EQ(zip.Entries().size(), 3u) << variant;
    EXPECT_EQ(Text(zip.Read("[Content_Types].xml")), "<Types/>");
    EXPECT_EQ(zip.Read("/xl/worksheets/sheet1.xml"), plain) << variant;
    EXPECT_TRUE(zip.Read("empty").empty());
    EXPECT_THROW(zip.Read("missing"), ContainerError);
  }
  // The check value of the CRC, and a length that is no multiple of the eight bytes of a step.
  const std::string digits = "123456789";
  EXPECT_EQ(
      quillane::container::Crc32({reinterpret_cast<const uint8_t*>(digits.data()), digits.size()}),
      0xCBF43926u);
}

TEST(Zip, NamesMatchWithEitherSeparatorAndInAnyCase) {
  ZipWriter writer;
  writer.Add("[content_types].xml", "types");
  writer.Add("XL\\Worksheets\\Sheet1.xml", "first");
  writer.Add("xl/worksheets/sheet1.xml", "second");  // differs from the first only so
  writer.Add("\\Pictures\\A.png", "a");
  writer.Add("Pictures/a.png", "other a");
  const std::vector<uint8_t> bytes = writer.Finish();
  const Zip zip(bytes);
  EXPECT_EQ(Text(zip.Read("[Content_Types].xml")), "types");
  // The exact spelling wins; any other finds the first in the directory.
  EXPECT_EQ(Text(zip.Read("/xl/worksheets/sheet1.xml")), "second");
  EXPECT_EQ(Text(zip.Read("XL\\Worksheets\\Sheet1.xml")), "first");
  EXPECT_EQ(Text(zip.Read("xl/Worksheets/sheet1.XML")), "first");
  EXPECT_EQ(Text(zip.Read("Pictures/a.png")), "other a");
  EXPECT_EQ(Text(zip.Read("pictures/A.PNG")), "a");
  EXPECT_EQ(zip.Find("xl/worksheets/sheet1"), nullptr);
  EXPECT_EQ(zip.Find("xl//worksheets/sheet1.xml"), nullptr);
}

TEST(Zip, DamagedAndHostileArchives) {
  ZipWriter writer;
  writer.Add("a.xml", "<a>hello</a>");
  const std::vector<uint8_t> good = writer.Finish();
  // No end record, or one cut off.
  EXPECT_THROW(Zip(std::vector<uint8_t>(good.begin(), good.begin() + 20)), ContainerError);
  EXPECT_THROW(Zip(std::vector<uint8_t>(good.begin(), good.end() - 3)), ContainerError);
  // A flipped data byte fails the check sum; a directory offset past the end is damage.
  std::vector<uint8_t> flipped = good;
  flipped[30 + 5 + 2] ^= 0x20;
  EXPECT_THROW(Zip(flipped).Read("a.xml"), ContainerError);
  std::vector<uint8_t> moved = good;
  moved[moved.size() - 6] = 0xF0;
  EXPECT_THROW(Zip{moved}, ContainerError);
  // An entry count the directory cannot hold.
  std::vector<uint8_t> counted = good;
  counted[counted.size() - 12] = 0xFF;
  EXPECT_THROW(Zip{counted}, ContainerError);
  // A name that the local header and the directory spell differently: the entry would pass as
  // one the archive never had.
  std::vector<uint8_t> renamed = good;
  const std::string name = "a.xml";
  auto local = std::search(renamed.begin(), renamed.end(), name.begin(), name.end());
  auto central = std::search(local + 1, renamed.end(), name.begin(), name.end());
  ASSERT_NE(central, renamed.end());
  *central ^= 0x01;  // "`.xml" in the directory
  try {
    Zip{renamed};
    ADD_FAILURE() << "a renamed entry passed";
  } catch (const ContainerError& e) {
    EXPECT_NE(std::string(e.what()).find("names another entry"), std::string::npos);
  }
  // A bomb: 1 GB declared from a few bytes is refused before anything is unpacked; a larger
  // declared size than the data give is damage.
  ZipWriter bomb;
  bomb.AddPacked("bomb", {0x03, 0x00}, 8, uint64_t{900} << 20, 0);
  bomb.AddPacked("short", RawDeflate(Load("deflate_fixed.zlib")), 8, 1 << 20, 0);
  bomb.AddPacked("bzip2", {1, 2, 3}, 12, 3, 0);
  const std::vector<uint8_t> bombBytes = bomb.Finish();
  Zip zip(bombBytes);
  EXPECT_THROW(zip.Read("bomb"), ContainerError);
  EXPECT_THROW(zip.Read("short"), ContainerError);
  EXPECT_THROW(zip.Read("bzip2"), ContainerError);
}
