// Damaged and foreign input: every case gives a workbook or a ReadError that names the problem,
// never a crash, a hang or an unbounded allocation.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
// windows.h first
#include <psapi.h>
#else
#include <sys/resource.h>
#endif
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "RecordWriter.h"
#include "spreadsheet/biff/Drawing.h"
#include "spreadsheet/model/Limits.h"
#include "tests/spreadsheet/container/CompoundFileWriter.h"
#include "spreadsheet/ReadWorkbook.h"
#include "spreadsheet/biff/WorkbookReader.h"

using namespace quillane;
using namespace quillane::biff::test;

namespace {

std::string ErrorOf(const std::vector<uint8_t>& bytes) {
  try {
    biff::ReadWorkbook(bytes, "");
  } catch (const biff::ReadError& e) {
    return e.what();
  }
  return "";
}

std::vector<uint8_t> Text(const std::string& text) { return {text.begin(), text.end()}; }

// A workbook with one sheet "S" whose records come from `sheet`.
std::vector<uint8_t> Book(const std::function<void(Stream&)>& globals,
                          const std::function<void(Stream&)>& sheet) {
  return Book8(globals, sheet, "S");
}

}  // namespace

TEST(ReaderDamage, FilesThatAreNotWorkbooksAreNamed) {
  EXPECT_EQ(ErrorOf({}), "Not a workbook: the file is empty");
  EXPECT_EQ(ErrorOf(Text("\xEF\xBB\xBF  <!DOCTYPE html><html><body>x</body></html>")),
            "Not a workbook: the file is an HTML page");
  EXPECT_EQ(ErrorOf(Text("<html xmlns:o=\"urn:schemas-microsoft-com:office:office\">")),
            "Not a workbook: the file is an HTML page");
  EXPECT_EQ(ErrorOf(Text("a,b,c\n1,2,3\n")),
            "Not a workbook: the file is a text file (CSV or similar)");
  EXPECT_EQ(
      ErrorOf({'P', 'K', 3, 4, 20, 0, 0, 0}).rfind("Not a workbook: the file is a zip archive", 0),
      0u);
  EXPECT_EQ(ErrorOf({0x00, 0x01, 0xFE, 0x80, 0x00, 0x10}).rfind("Not a workbook", 0), 0u);
  // A compound file header and nothing behind it.
  std::vector<uint8_t> compound = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  compound.resize(600, 0xFF);
  EXPECT_EQ(ErrorOf(compound).rfind("The workbook is damaged: ", 0), 0u) << ErrorOf(compound);
}

TEST(ReaderDamage, RecordsThatOverrunOrLieAboutTheirSize) {
  // A record whose length runs past the end of the stream.
  Stream s;
  s.Record(0x0809, Bof8(0x0010));
  s.Record(0x0203, Data().U16(0).U16(0).U16(0).Double(1));
  s.bytes.insert(s.bytes.end(), {0x03, 0x02, 0xFF, 0x00, 1, 2, 3});
  EXPECT_NE(ErrorOf(s.bytes).find("The workbook is damaged: a record at offset"),
            std::string::npos);

  // Records shorter than their contents are left out; the rest of the sheet stands. A huge
  // DIMENSIONS and lying counts allocate nothing.
  auto bytes = Book(
      [](Stream& g) {
        Data sst;
        sst.U32(0xFFFFFFFF).U32(0xFFFFFFFF).U16(3).U8(0).Raw("abc").U16(40).U8(1).Wide("de");
        g.Record(0x00FC, sst);
        g.Record(0x003C, Data());  // an empty CONTINUE where the characters should go on
        g.Record(0x0031, Data().U16(200));
        g.Record(0x0092, Data().U16(56).U32(0x010203));
        g.Record(0x00E0, Data().U16(0));
      },
      [](Stream& t) {
        t.Record(0x0200, Data().U32(0).U32(0xFFFFFFFF).U16(0).U16(0xFFFF).U16(0));
        t.Record(0x0203, Data().U16(0).U16(0));
        t.Record(0x00BD,
                 Data().U16(1).U16(0xFFFE).U16(0).U32(6).U16(0).U32(10).U16(0).U32(14).U8(1));
        t.Record(0x00BE, Data().U16(2).U16(0xFFFF).U16(0).U16(0).U16(1));
        t.Record(0x00FD, Data().U16(3).U16(0).U16(0).U32(0));
        t.Record(0x00FD, Data().U16(3).U16(1).U16(0).U32(5));
        t.Record(0x00E5, Data().U16(0xFFFF).U16(0).U16(1).U16(0).U16(1));
        t.Record(0x01B8, Data()
                             .U16(0)
                             .U16(0)
                             .U16(0)
                             .U16(0)
                             .Raw(std::vector<uint8_t>(16, 0))
                             .U32(2)
                             .U32(0x14)
                             .U32(0x7FFFFFFF));
        t.Record(0x001C, Data().U16(0).U16(0).U16(0).U16(9).U16(500).U8(1));
        t.Record(0x01B6, Data().U16(0));
        t.Record(0x01B6, Data().U16(0).U16(0).U32(0).U16(0).U16(0xFFFF).U16(0).U16(0).U32(0));
        t.Record(0x003C, Data().U8(1).U8('x'));
        t.Record(0x0207, Data().U16(100).U8(0).Raw("x"));
        t.Record(0x0203, Data().U16(7).U16(7).U16(0).Double(7));
      });
  model::Workbook book = biff::ReadWorkbook(bytes, "");
  ASSERT_GE(book.strings.size(), 1u);
  EXPECT_EQ(book.strings[0], "abc");
  EXPECT_TRUE(book.fonts.empty());
  const model::Sheet& sheet = book.sheets.at(0);
  EXPECT_EQ(sheet.dimensions.lastRow, 65535u);
  EXPECT_LT(sheet.cells.capacity(), 64u);
  EXPECT_EQ(sheet.Find(1, 0xFFFE), nullptr);  // columns past the grid are damage
  EXPECT_EQ(book.strings[sheet.Find(3, 0)->text], "abc");
  EXPECT_EQ(sheet.Find(3, 1)->type, model::CellType::Blank);  // no string 5
  EXPECT_EQ(sheet.merged.size(), 1u);                         // the count claims 65535 ranges
  EXPECT_TRUE(sheet.hyperlinks.empty());
  EXPECT_EQ(sheet.Find(7, 7)->number, 7);
}

TEST(ReaderDamage, SheetOffsetsThatPointNowhere) {
  Stream s;
  s.Record(0x0809, Bof8(0x0005));
  s.Record(0x0085, Data().U32(0x7FFFFFF0).U8(0).U8(0).Str8("Lost"));
  s.Record(0x000A, Data());
  s.Record(0x0809, Bof8(0x0010));
  s.Record(0x0203, Data().U16(0).U16(0).U16(0).Double(9));
  s.Record(0x000A, Data());
  model::Workbook book = biff::ReadWorkbook(s.bytes, "");
  ASSERT_EQ(book.sheets.size(), 1u);
  // The entry's offset points nowhere: its sheet is the next substream in the stream.
  ASSERT_EQ(book.sheets[0].cells.size(), 1u);
  EXPECT_EQ(book.sheets[0].cells[0].number, 9);
}

// Positions past the grid of the file format (BIFF8 65536 rows, BIFF2-7 16384, 256 columns) are
// damage, not content: cells, rows, notes and pictures there are left out, ranges are cut.
TEST(ReaderDamage, PositionsPastTheGridAreLeftOut) {
  auto bytes = Book(
      [](Stream&) {},
      [](Stream& t) {
        t.Record(0x0203, Data().U16(65535).U16(255).U16(0).Double(1));
        t.Record(0x0203, Data().U16(65535).U16(256).U16(0).Double(2));
        t.Record(0x0203, Data().U16(0).U16(65535).U16(0).Double(3));
        t.Record(0x00BD,
                 Data().U16(4).U16(254).U16(0).U32(0x22).U16(0).U32(0x26).U16(0).U32(0x2A).U16(3));
        t.Record(
            0x0006,
            Data().U16(5).U16(300).U16(0).Raw({0, 0, 0, 0, 0, 0, 0xFF, 0xFF}).U16(0).U32(0).U16(0));
        t.Record(0x0207, Data().U16(1).U8(0).Raw("x"));  // the STRING of the formula left out
        t.Record(0x007D, Data().U16(250).U16(65535).U16(3000).U16(0).U16(0).U16(0));
        t.Record(0x007D, Data().U16(256).U16(300).U16(3000).U16(0).U16(0).U16(0));
        t.Record(0x00E5,
                 Data().U16(2).U16(0).U16(65535).U16(200).U16(300).U16(0).U16(0).U16(256).U16(256));
        t.Record(0x001C, Data().U16(9).U16(256).U16(0).U16(1).U16(1).U8(0).Raw("a"));
      });
  model::Workbook book = biff::ReadWorkbook(bytes, "");
  const model::Sheet& sheet = book.sheets.at(0);
  ASSERT_EQ(sheet.cells.size(), 3u);
  EXPECT_EQ(sheet.Find(4, 254)->number, 8);
  EXPECT_EQ(sheet.Find(4, 255)->number, 9);
  EXPECT_EQ(sheet.Find(65535, 255)->number, 1);
  ASSERT_EQ(sheet.columns.size(), 1u);
  EXPECT_EQ(sheet.columns[0].last, 255);
  ASSERT_EQ(sheet.merged.size(), 1u);
  EXPECT_EQ(sheet.merged[0].lastRow, 65535u);
  EXPECT_EQ(sheet.merged[0].lastCol, 255);
  EXPECT_TRUE(book.sheets[0].comments.empty());

  // BIFF5: 16384 rows.
  Stream old;
  old.Record(0x0809, Data().U16(0x0500).U16(0x0010).U16(0).U16(0));
  old.Record(0x0203, Data().U16(16383).U16(0).U16(0).Double(1));
  old.Record(0x0203, Data().U16(16384).U16(0).U16(0).Double(2));
  old.Record(0x0208, Data().U16(20000).U16(0).U16(1).U16(300).U32(0).U16(0x40).U16(0));
  old.Record(0x000A, Data());
  model::Workbook biff5 = biff::ReadWorkbook(old.bytes, "");
  ASSERT_EQ(biff5.sheets.at(0).cells.size(), 1u);
  EXPECT_EQ(biff5.sheets[0].cells[0].row, 16383u);
  EXPECT_TRUE(biff5.sheets[0].rows.empty());
}

// A workbook whose sheets cannot all be read whole is damaged, never a workbook of empty sheets.
TEST(ReaderDamage, SheetsThatCannotBeReadWholeAreDamage) {
  auto damaged = [](const std::vector<uint8_t>& bytes) {
    const std::string error = ErrorOf(bytes);
    EXPECT_EQ(error.rfind("The workbook is damaged: ", 0), 0u) << error;
    return error;
  };
  // Nine sheets of 200 cells each in a compound file, cut to a third.
  Stream s;
  s.Record(0x0809, Bof8(0x0005));
  std::vector<size_t> offsets;
  for (int i = 0; i < 9; ++i) {
    offsets.push_back(s.Size() + 4);
    s.Record(0x0085, Data().U32(0).U8(0).U8(0).Str8("S" + std::to_string(i + 1)));
  }
  s.Record(0x000A, Data());
  for (size_t at : offsets) {
    s.Patch32(at, static_cast<uint32_t>(s.Size()));
    s.Record(0x0809, Bof8(0x0010));
    for (uint16_t row = 0; row < 200; ++row)
      s.Record(0x0203, Data().U16(row).U16(0).U16(0).Double(row));
    s.Record(0x000A, Data());
  }
  std::vector<uint8_t> file = container::testing::WriteCompoundFile({{"Workbook", s.bytes}}).bytes;
  ASSERT_EQ(biff::ReadWorkbook(file, "").sheets.size(), 9u);
  file.resize(file.size() / 3);
  damaged(file);

  // A workbook stream holding only its first record.
  damaged(Stream().Record(0x0809, Bof8(0x0005)).bytes);
  // A sheet whose entry points past the end of the stream, with no substream after the globals.
  Stream past;
  past.Record(0x0809, Bof8(0x0005));
  past.Record(0x0085, Data().U32(0x7FFFFFF0).U8(0).U8(0).Str8("Far"));
  past.Record(0x000A, Data());
  EXPECT_NE(damaged(past.bytes).find("sheet \"Far\" starts past the end"), std::string::npos);
  // Two sheets, one substream: the second has none of its own.
  Stream twice;
  twice.Record(0x0809, Bof8(0x0005));
  const size_t first = twice.Size() + 4;
  twice.Record(0x0085, Data().U32(0).U8(0).U8(0).Str8("A"));
  const size_t second = twice.Size() + 4;
  twice.Record(0x0085, Data().U32(0).U8(0).U8(0).Str8("B"));
  twice.Record(0x000A, Data());
  twice.Patch32(first, static_cast<uint32_t>(twice.Size()));
  twice.Patch32(second, static_cast<uint32_t>(twice.Size()));
  twice.Record(0x0809, Bof8(0x0010));
  twice.Record(0x000A, Data());
  EXPECT_NE(damaged(twice.bytes).find("sheet \"B\" has no substream"), std::string::npos);
  // A sheet whose substream ends without its EOF.
  std::vector<uint8_t> cut =
      Book8([](Stream&) {},
            [](Stream& t) { t.Record(0x0203, Data().U16(0).U16(0).U16(0).Double(1)); }, "Cut");
  cut.resize(cut.size() - 4);
  EXPECT_NE(damaged(cut).find("ends inside sheet \"Cut\""), std::string::npos);
}

TEST(ReaderDamage, DrawingRecordsWithLyingLengths) {
  auto bytes = Book(
      [](Stream& g) {
        g.Record(0x00EB, Data()
                             .U16(0x000F)
                             .U16(0xF000)
                             .U32(0xFFFFFFFF)
                             .U16(0x000F)
                             .U16(0xF001)
                             .U32(0x7FFFFFFF)
                             .U16(0x0062)
                             .U16(0xF007)
                             .U32(40)
                             .Raw(std::vector<uint8_t>(33, 0))
                             .U8(200));
      },
      [](Stream& t) {
        t.Record(0x00EC, Data()
                             .U16(0x000F)
                             .U16(0xF002)
                             .U32(0xFFFFFFF0)
                             .U16(0x000F)
                             .U16(0xF004)
                             .U32(100)
                             .U16(0x0033)
                             .U16(0xF00B)
                             .U32(12)
                             .U16(0x4104)
                             .U32(1)
                             .U16(0x8380)
                             .U32(0xFFFFFFFF));
      });
  model::Workbook book = biff::ReadWorkbook(bytes, "");
  ASSERT_EQ(book.blips.size(), 1u);
  EXPECT_TRUE(book.blips[0].data.empty());
  EXPECT_TRUE(book.sheets.at(0).pictures.empty());
}

// The peak resident memory of this process so far, in kilobytes.
long PeakKilobytes() {
#ifdef _WIN32
  PROCESS_MEMORY_COUNTERS counters{};
  K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
  return static_cast<long>(counters.PeakWorkingSetSize / 1024);
#else
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
#endif
}

// A small valid workbook at the start of a large sparse file: memory follows what is read, not
// the file's size; a file over the size limit is refused before anything is read.
TEST(ReaderDamage, MemoryFollowsWhatIsReadNotTheFileSize) {
  const std::vector<uint8_t> stream = Book8(
      [](Stream&) {}, [](Stream& t) { t.Record(0x0203, Data().U16(2).U16(1).U16(0).Double(42)); });
  const std::vector<uint8_t> file =
      container::testing::WriteCompoundFile({{"Workbook", stream}}).bytes;
  const auto path = std::filesystem::temp_directory_path() /
                    ("quillane-sparse-" + std::to_string(::getpid()) + ".xls");
  struct Remove {
    std::filesystem::path path;
    ~Remove() { std::filesystem::remove(path); }
  } remove{path};
  {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(file.data()),
              static_cast<std::streamsize>(file.size()));
  }
  std::filesystem::resize_file(path, uint64_t{1} << 30);
  const long before = PeakKilobytes();
  model::Workbook book = spreadsheet::ReadWorkbookFile(path, "");
  EXPECT_LT(PeakKilobytes() - before, 128 * 1024);
  ASSERT_EQ(book.sheets.size(), 1u);
  EXPECT_EQ(book.sheets[0].Find(2, 1)->number, 42);

  std::filesystem::resize_file(path, model::kMaxFileBytes + 1);
  try {
    spreadsheet::ReadWorkbookFile(path, "");
    ADD_FAILURE() << "a file over the limit was read";
  } catch (const biff::ReadError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("The file is too large: 4294967297 bytes", 0), 0u)
        << e.what();
  }
  EXPECT_LT(PeakKilobytes() - before, 128 * 1024);
}

// Metafiles that are unpacked and then left out (damaged, or cut by the budget) cost the same
// work as those kept: 120 of them, each claiming 1 GB, unpack no more than the budget in all.
TEST(ReaderDamage, DiscardedPicturesCountAgainstTheUnpackingBudget) {
  const std::vector<uint8_t> runaway = RunawayDeflate(2000);  // 516 KB out, then damaged
  std::vector<model::Blip> blips;
  const size_t budget = size_t{4} << 20;
  const size_t work = biff::ReadPictureStore(MetafileStore(120, 1u << 30, runaway), budget, blips);
  EXPECT_LE(work, budget);
  EXPECT_GT(work, budget / 2);
  ASSERT_EQ(blips.size(), 120u);
  for (const model::Blip& blip : blips) EXPECT_TRUE(blip.data.empty());
  // The same pictures whole (their block ended) are kept while the budget lasts.
  std::vector<uint8_t> whole = runaway;
  whole[2] |= 1;                            // the last block
  whole.insert(whole.end(), {0x00, 0x00});  // its end code, padding
  blips.clear();
  biff::ReadPictureStore(MetafileStore(3, 1u << 30, whole), budget, blips);
  ASSERT_EQ(blips.size(), 3u);
  EXPECT_EQ(blips[0].data.size(), 2000u * 258 + 1);
}

// Random damage to a valid stream: the reader gives a workbook or a ReadError, nothing else
// (the sanitizer build checks the reads).
TEST(ReaderDamage, RandomlyDamagedStreams) {
  auto valid = Book(
      [](Stream& g) {
        g.Record(0x0031,
                 Data().U16(200).U16(0).U16(0x7FFF).U16(400).U16(0).U8(0).U8(0).U8(0).U8(0).Str8(
                     "Arial"));
        g.Record(0x00E0,
                 Data().U16(0).U16(0).U16(1).U8(0x20).U8(0).U8(0).U8(0).U32(0).U32(0).U16(0x20C0));
        g.Record(0x00FC, Data()
                             .U32(2)
                             .U32(2)
                             .U16(2)
                             .U8(0)
                             .Raw("ab")
                             .U16(2)
                             .U8(9)
                             .U16(1)
                             .U32(2)
                             .Wide("cd")
                             .U32(0)
                             .U16(0));
      },
      [](Stream& t) {
        t.Record(0x0200, Data().U32(0).U32(4).U16(0).U16(4).U16(0));
        t.Record(0x0208, Data().U16(0).U16(0).U16(4).U16(300).U32(0).U16(0x40).U16(0));
        t.Record(0x00FD, Data().U16(0).U16(0).U16(0).U32(1));
        t.Record(0x00BD, Data().U16(1).U16(0).U16(0).U32(6).U16(0).U32(10).U16(1));
        t.Record(
            0x0006,
            Data().U16(2).U16(0).U16(0).Raw({0, 0, 0, 0, 0, 0, 0xFF, 0xFF}).U16(0).U32(0).U16(0));
        t.Record(0x0207, Data().U16(2).U8(1).Wide("zz"));
        t.Record(0x00E5, Data().U16(1).U16(0).U16(1).U16(0).U16(1));
        t.Record(0x007D, Data().U16(0).U16(5).U16(3000).U16(0).U16(0).U16(0));
      });
  ASSERT_NO_THROW(biff::ReadWorkbook(valid, ""));
  std::mt19937 random(12345);
  int loaded = 0, refused = 0;
  for (int i = 0; i < 3000; ++i) {
    std::vector<uint8_t> bytes = valid;
    int changes = 1 + static_cast<int>(random() % 6);
    for (int k = 0; k < changes; ++k)
      bytes[random() % bytes.size()] = static_cast<uint8_t>(random());
    if (random() % 4 == 0) bytes.resize(random() % bytes.size());
    try {
      model::Workbook book = biff::ReadWorkbook(bytes, "");
      ++loaded;
    } catch (const biff::ReadError& e) {
      EXPECT_FALSE(std::string(e.what()).empty());
      ++refused;
    }
  }
  EXPECT_GT(loaded, 0);
  EXPECT_GT(refused, 0);
}
