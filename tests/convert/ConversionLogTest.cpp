#include <gtest/gtest.h>

#include <filesystem>

#include "TempFolder.h"
#include "convert/ConversionLog.h"

namespace fs = std::filesystem;
using namespace quillane::convert;
using quillane::testing::ReadFile;
using quillane::testing::TempFolder;

TEST(ConversionLog, CodedTexts) {
  EXPECT_EQ(Text100("/in/b.xls", "/out/b.htm"),
            "  100, Successfully convert /in/b.xls to /out/b.htm");
  EXPECT_EQ(Text101("/out/b.htm"), "  101, Output file /out/b.htm exists, Ignore!");
  EXPECT_EQ(Text102("/in/b.xls"), "  102, Source file /in/b.xls doesn't exist, Convert failure!");
  EXPECT_EQ(Text103("/in/b.xls", "Not a workbook"),
            "  103, Convert /in/b.xls failure, the error message is Not a workbook");
  // No field breaks the line: control characters are shown escaped, other bytes stay.
  EXPECT_EQ(Text103("b.xls", "first\r\nsecond\n"),
            "  103, Convert b.xls failure, the error message is first\\r\\nsecond\\n");
  EXPECT_EQ(Text100("/in/a\nb\tc.xls", "/o\x1b\x7f\u00e9/a.htm"),
            "  100, Successfully convert /in/a\\nb\\tc.xls to /o\\x1b\\x7f\u00e9/a.htm");
  EXPECT_EQ(Text101("a\rb"), "  101, Output file a\\rb exists, Ignore!");
  EXPECT_EQ(Text102("a\nb"), "  102, Source file a\\nb doesn't exist, Convert failure!");
}

TEST(ConversionLog, LinesStartWithTheTimeOfDay) {
  std::tm time{};
  time.tm_hour = 7;
  time.tm_min = 5;
  time.tm_sec = 9;
  time.tm_mday = 5;
  time.tm_mon = 11;
  time.tm_year = 126;
  EXPECT_EQ(TimeOfDayText(time, std::locale::classic()), "07:05:09");
  // The classic short date is mm/dd/yy; the slashes go.
  EXPECT_EQ(ShortDateText(time, std::locale::classic()), "120526");
  std::string line = LogLine(Text102("b.xls"));
  ASSERT_GT(line.size(), Text102("b.xls").size());
  EXPECT_EQ(line.substr(line.size() - Text102("b.xls").size()), Text102("b.xls"));
  EXPECT_NE(line[0], ' ');
}

namespace {
// A locale whose short date uses dots and backslashes.
struct DottedDate : std::time_put<char> {
  iter_type do_put(iter_type out, std::ios_base&, char_type, const std::tm* t, char format,
                   char) const override {
    std::string text = format == 'x' ? "05.12.2026" : format == 'X' ? "7h05" : "?";
    if (format == 'x' && t->tm_mday == 6) text = "06\\12\\2026";
    return std::copy(text.begin(), text.end(), out);
  }
};
}  // namespace

TEST(ConversionLog, ShortDateKeepsDotsAndDropsSlashes) {
  std::locale dotted(std::locale::classic(), new DottedDate);
  std::tm time{};
  time.tm_mday = 5;
  EXPECT_EQ(ShortDateText(time, dotted), "05.12.2026");
  EXPECT_EQ(TimeOfDayText(time, dotted), "7h05");
  time.tm_mday = 6;
  EXPECT_EQ(ShortDateText(time, dotted), "06122026");
}

TEST(ConversionLog, DefaultLogPathIsDatedInTheLogFolder) {
  std::string path = DefaultLogPath();
  std::string folder = DefaultLogFolder();
  ASSERT_EQ(path.compare(0, folder.size(), folder), 0);
  EXPECT_EQ(path.substr(path.size() - 4), ".log");
  EXPECT_EQ(path.substr(folder.size()).find('/'), std::string::npos);
  EXPECT_TRUE(fs::is_directory(folder));
}

TEST(RunLog, GathersLinesAndAppendsThemInOneWrite) {
  TempFolder temp;
  std::string path = temp / "run.log";
  std::string error;
  RunLog empty;
  EXPECT_TRUE(empty.AppendTo(path, error));
  EXPECT_FALSE(fs::exists(path));  // a run without lines makes no file

  RunLog first;
  first.Gather("one");
  first.Gather("two");
  EXPECT_EQ(first.Text(), "one\r\ntwo");
  ASSERT_TRUE(first.AppendTo(path, error)) << error;
  RunLog second;
  second.Gather("three");
  ASSERT_TRUE(second.AppendTo(path, error)) << error;
  EXPECT_EQ(ReadFile(path), "one\r\ntwo\r\nthree\r\n");
}

TEST(RunLog, ReportsAPathThatCannotBeWritten) {
  TempFolder temp;
  RunLog log;
  log.Gather("line");
  std::string error;
  EXPECT_FALSE(log.AppendTo(temp / "missing/run.log", error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(log.AppendTo(temp.str(), error));  // a folder
}

TEST(RunLog, AnAppendIsWholeOrNothingAndLinksAreFollowedOnlyWhenAllowed) {
  TempFolder temp;
  const std::string path = temp.Write("run.log", "old\r\n");
  RunLog log;
  log.Gather(std::string(200, 'x'));
  std::string error;
#ifndef _WIN32  // a full disk is played by a per-file size limit (setrlimit)
  bool appended = true;
  // A disk that is full 50 bytes on: the block does not fit.
  quillane::testing::WithFileSizeLimit(55, [&] { appended = log.AppendTo(path, error); });
  EXPECT_FALSE(appended);
  EXPECT_EQ(ReadFile(path), "old\r\n");
#endif

  QUILLANE_SKIP_WITHOUT_LINKS();
  fs::create_symlink("run.log", temp / "link.log");
  RunLog line;
  line.Gather("line");
  EXPECT_FALSE(line.AppendTo(temp / "link.log", error, RunLog::Links::Refuse));
  EXPECT_NE(error.find("symbolic link"), std::string::npos) << error;
  EXPECT_EQ(ReadFile(path), "old\r\n");
  ASSERT_TRUE(line.AppendTo(temp / "link.log", error)) << error;
  EXPECT_EQ(ReadFile(path), "old\r\nline\r\n");
}
