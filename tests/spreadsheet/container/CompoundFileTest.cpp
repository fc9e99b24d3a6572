#include "spreadsheet/container/CompoundFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "tests/spreadsheet/container/CompoundFileWriter.h"

namespace quillane::container {
namespace {

using testing::CompoundFileLayout;
using testing::WriteCompoundFile;

std::vector<uint8_t> Pattern(size_t size, uint32_t seed) {
  std::vector<uint8_t> v(size);
  std::mt19937 random(seed);
  for (auto& b : v) b = static_cast<uint8_t>(random());
  return v;
}

CompoundFileLayout WorkbookFile(uint32_t shift = 9) {
  return WriteCompoundFile({{"Workbook", Pattern(10000, 1)},
                            {"\x05SummaryInformation", Pattern(300, 2)},
                            {"CompObj", Pattern(64, 3)}},
                           shift);
}

// Reading damaged bytes either works or throws ContainerError; anything else fails the test.
void ReadEverything(const std::vector<uint8_t>& bytes) {
  try {
    CompoundFile file(bytes);
    for (uint32_t i = 0; i < file.Entries().size(); ++i) {
      if (file.Entries()[i].type != 2) continue;
      try {
        EXPECT_LE(file.ReadStreamEntry(i).size(), bytes.size());
      } catch (const ContainerError&) {
      }
    }
  } catch (const ContainerError&) {
  }
}

TEST(CompoundFile, ReadsStreamsOfBothSectorSizes) {
  for (uint32_t shift : {9u, 12u}) {
    SCOPED_TRACE(shift);
    const CompoundFileLayout layout = WorkbookFile(shift);
    ASSERT_TRUE(CompoundFile::IsCompoundFile(layout.bytes));
    CompoundFile file(layout.bytes);
    EXPECT_EQ(file.SectorSize(), 1u << shift);
    EXPECT_EQ(file.StreamNames(),
              (std::vector<std::string>{"Workbook", "\x05SummaryInformation", "CompObj"}));
    EXPECT_EQ(file.ReadStream("Workbook"), Pattern(10000, 1));              // regular sectors
    EXPECT_EQ(file.ReadStream("\x05SummaryInformation"), Pattern(300, 2));  // mini stream
    EXPECT_EQ(file.ReadStream("compobj"), Pattern(64, 3));
    EXPECT_TRUE(file.HasStream("WORKBOOK"));
    EXPECT_FALSE(file.HasStream("Book"));
    EXPECT_THROW(file.ReadStream("Book"), ContainerError);
  }
}

TEST(CompoundFile, FollowsTheDifatBeyondTheHeader) {
  // More than 109 FAT sectors: the DIFAT continues in sectors of its own.
  const std::vector<uint8_t> data = Pattern(7500000, 4);
  const CompoundFileLayout layout = WriteCompoundFile({{"Workbook", data}});
  ASSERT_EQ(layout.difatSectors.size(), 1u);
  EXPECT_EQ(CompoundFile(layout.bytes).ReadStream("Workbook"), data);

  // A DIFAT sector that names itself as the next one, in a file long enough to want more.
  CompoundFileLayout looped = layout;
  const size_t difat = looped.SectorOffset(looped.difatSectors[0]);
  for (size_t i = 0; i < 127; ++i) looped.Put32(difat + 4 * i, looped.fatSectors[0]);
  looped.Put32(difat + 4 * 127, looped.difatSectors[0]);
  looped.bytes.resize(looped.bytes.size() + 200 * 128 * 512);
  try {
    CompoundFile file(looped.bytes);
    FAIL() << "no error";
  } catch (const ContainerError& e) {
    EXPECT_STREQ(e.what(), "Damaged compound file: the DIFAT sector chain loops");
  }
}

TEST(CompoundFile, RejectsWhatIsNotACompoundFile) {
  auto message = [](std::vector<uint8_t> bytes) -> std::string {
    try {
      CompoundFile file(bytes);
    } catch (const ContainerError& e) {
      return e.what();
    }
    return "no error";
  };
  EXPECT_EQ(message({}), "Not a workbook: the file is not a compound file");
  EXPECT_EQ(message(std::vector<uint8_t>(600, 'x')),
            "Not a workbook: the file is not a compound file");
  std::vector<uint8_t> bytes = WorkbookFile().bytes;
  EXPECT_EQ(message({bytes.begin(), bytes.begin() + 300}),
            "Damaged compound file: the file ends inside its header");
  std::vector<uint8_t> badShift = bytes;
  badShift[0x1E] = 30;
  EXPECT_EQ(message(badShift),
            "Damaged compound file: the sector size (shift 30) is not 512 or 4096 bytes");
  CompoundFileLayout layout = WorkbookFile();
  layout.Put32(0x30, 0x00FFFFFF);
  EXPECT_EQ(message(layout.bytes), "Damaged compound file: the directory starts outside the file");
}

TEST(CompoundFile, DamagedChainsGiveErrorsOrClippedStreams) {
  const uint32_t start = WorkbookFile().streamStarts[0];
  {  // A chain that loops.
    CompoundFileLayout layout = WorkbookFile();
    layout.Put32(layout.FatEntryOffset(start + 3), start + 1);
    CompoundFile file(layout.bytes);
    try {
      file.ReadStream("Workbook");
      FAIL() << "no error";
    } catch (const ContainerError& e) {
      EXPECT_STREQ(e.what(),
                   "Damaged compound file: the sector chain of stream \"Workbook\" loops");
    }
  }
  {  // A chain that leaves the file: the stream ends there.
    CompoundFileLayout layout = WorkbookFile();
    layout.Put32(layout.FatEntryOffset(start + 1), 0x7FFFFFF0);
    const std::vector<uint8_t> data = CompoundFile(layout.bytes).ReadStream("Workbook");
    const std::vector<uint8_t> whole = Pattern(10000, 1);
    EXPECT_EQ(data, std::vector<uint8_t>(whole.begin(), whole.begin() + 1024));
  }
  {  // A size that lies: what the chain holds.
    CompoundFileLayout layout = WorkbookFile();
    layout.Put32(layout.EntryOffset(1) + 0x78, 0x7FFFFFFF);
    const std::vector<uint8_t> data = CompoundFile(layout.bytes).ReadStream("Workbook");
    ASSERT_EQ(data.size(), 10240u);  // 20 whole sectors
    const std::vector<uint8_t> whole = Pattern(10000, 1);
    EXPECT_TRUE(std::equal(whole.begin(), whole.end(), data.begin()));
  }
  {  // A truncated file: what is left.
    CompoundFileLayout layout = WorkbookFile();
    const size_t cut = layout.SectorOffset(start) + 5000;
    layout.bytes.resize(cut);
    const std::vector<uint8_t> data = CompoundFile(layout.bytes).ReadStream("Workbook");
    const std::vector<uint8_t> whole = Pattern(10000, 1);
    EXPECT_EQ(data, std::vector<uint8_t>(whole.begin(), whole.begin() + 5000));
  }
  {  // A mini stream chain that loops, and one that starts outside the mini stream.
    CompoundFileLayout layout = WorkbookFile();
    const uint32_t miniFatStart = layout.bytes[0x3C] | layout.bytes[0x3D] << 8;
    const uint32_t mini = layout.streamStarts[1];
    layout.Put32(layout.SectorOffset(miniFatStart) + 4 * (mini + 2), mini);
    layout.Put32(layout.EntryOffset(3) + 0x74, 5000);
    CompoundFile file(layout.bytes);
    EXPECT_THROW(file.ReadStream("\x05SummaryInformation"), ContainerError);
    EXPECT_THROW(file.ReadStream("CompObj"), ContainerError);
    EXPECT_EQ(file.ReadStream("Workbook"), Pattern(10000, 1));
  }
}

TEST(CompoundFile, SurvivesRandomDamage) {
  // Every truncation at a sector boundary, then random bytes overwritten in the tables.
  for (uint32_t shift : {9u, 12u}) {
    const CompoundFileLayout layout = WorkbookFile(shift);
    for (size_t size = 0; size <= layout.bytes.size(); size += 256) {
      ReadEverything({layout.bytes.begin(), layout.bytes.begin() + size});
    }
    std::mt19937 random(shift);
    for (int round = 0; round < 3000; ++round) {
      std::vector<uint8_t> bytes = layout.bytes;
      const int changes = 1 + static_cast<int>(random() % 8);
      for (int i = 0; i < changes; ++i) {
        // Mostly the header, FAT and directory, where damage matters.
        const size_t limit =
            random() % 4 ? std::min<size_t>(bytes.size(), 5 * layout.sectorSize) : bytes.size();
        bytes[random() % limit] = static_cast<uint8_t>(random() % 3 ? random() : 0xFF);
      }
      ReadEverything(bytes);
    }
  }
}

TEST(CompoundFile, StoredFiles) {
  // tests/data/container: files made by MakeTestData.cpp, and inputs that once broke the reader.
  const std::filesystem::path folder =
      std::filesystem::path(QUILLANE_SOURCE_DIR) / "tests/data/container";
  int made = 0;
  for (const auto& item : std::filesystem::directory_iterator(folder)) {
    SCOPED_TRACE(item.path().string());
    std::ifstream in(item.path(), std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    ReadEverything(bytes);
    if (item.path().filename().string().starts_with("streams-")) {
      const std::vector<uint8_t> workbook = CompoundFile(bytes).ReadStream("Workbook");
      ASSERT_GE(workbook.size(), 4u);
      EXPECT_EQ(workbook[0] | workbook[1] << 8, 0x0809);  // BOF
      ++made;
    }
  }
  EXPECT_EQ(made, 2);
}

TEST(CompoundFile, ReadsTheWorkbooksOfTheCorpus) {
  // Reads /work/shared/corpus when it is present.
  const std::filesystem::path corpus = QUILLANE_CORPUS_DIR;
  if (!std::filesystem::is_directory(corpus)) GTEST_SKIP() << "corpus not found at " << corpus;
  int read = 0;
  for (const auto& item : std::filesystem::directory_iterator(corpus)) {
    std::ifstream in(item.path(), std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    ReadEverything(bytes);
    if (!CompoundFile::IsCompoundFile(bytes)) continue;
    try {
      CompoundFile file(bytes);
      if (file.HasStream("Workbook") || file.HasStream("Book")) ++read;
    } catch (const ContainerError&) {
    }
  }
  EXPECT_GT(read, 150);
}

}  // namespace
}  // namespace quillane::container
