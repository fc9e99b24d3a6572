// Batch runs as users drive them: pipes, odd names, repeated paths, clashing outputs, several
// workbooks at a time, lists from files, shares for many machines, and interrupts.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include "RunGridcast.h"
#include "app/modMain.h"
#include "convert/ConversionLog.h"

namespace fs = std::filesystem;
using namespace quillane::testing;
using quillane::convert::Text100;
using quillane::convert::Text103;

namespace {

const std::string kSource = QUILLANE_SOURCE_DIR;
const std::string kBook = kSource + "/tests/data/cli/three-sheets.xls";

size_t LineCount(const std::string& text) {
  return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

// Every file below `folder` with its bytes.
std::map<std::string, std::string> Contents(const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file()) {
      files[fs::relative(entry.path(), folder).string()] = ReadFile(entry.path().string());
    }
  }
  return files;
}

std::vector<std::string> CodedParts(const std::vector<std::string>& lines) {
  std::vector<std::string> coded;
  for (const std::string& line : lines) coded.push_back(CodedPart(line));
  return coded;
}

class BatchRun : public ::testing::Test {
 protected:
  // `count` copies of the three-sheet workbook as in/b00.xls, in/b01.xls, ...
  void Books(int count) {
    for (int i = 0; i < count; ++i) {
      std::string name = std::string("in/b") + char('0' + i / 10) + char('0' + i % 10) + ".xls";
      fs::create_directories(temp.path() / "in");
      fs::copy_file(kBook, temp / name);
    }
  }
  TempFolder temp;
};

}  // namespace

TEST_F(BatchRun, AClosedOutputStopsThePrintingButNotTheRun) {
  Books(30);
  SpawnedGridcast run({temp / "in/*.xls", "--log", temp / "run.log", "-j1"}, true);
  EXPECT_EQ(run.Wait(), 0);  // not ended by SIGPIPE
  EXPECT_EQ(LineCount(ReadFile(temp / "run.log")), 30u);
  EXPECT_TRUE(fs::exists(temp / "in/b29_3.htm"));
}

TEST_F(BatchRun, APathIsConvertedOnceAndNamesStayOnOneLine) {
  fs::create_directories(temp.path() / "in");
  fs::copy_file(kBook, temp / "in/same.xls");
  fs::copy_file(kBook, temp / "in/line\nbreak.xls");
  GridcastRun run =
      RunGridcast(temp.str(), {"in/same.xls", "./in/same.xls", "in/sub/../same.xls",
                               temp / "in//same.xls", "in/line\nbreak.xls", "--log", "run.log"});
  EXPECT_EQ(run.status, 0) << run.err;
  ASSERT_EQ(run.lines.size(), 2u) << run.out;
  EXPECT_EQ(CodedPart(run.lines[0]), Text100(temp / "in/same.xls", temp / "in/same.htm"));
  EXPECT_EQ(CodedPart(run.lines[1]), "  100, Successfully convert " + temp / "in/line\\nbreak.xls" +
                                         " to " + temp / "in/line\\nbreak.htm");
  EXPECT_EQ(LineCount(ReadFile(temp / "run.log")), 2u);
}

TEST_F(BatchRun, OfWorkbooksWithOneOutputTheFirstByPathIsConvertedInAnyOrderAndThroughLinks) {
  for (const char* name :
       {"jan/data.xls", "feb/data.xls", "feb/data.xlt", "report.xls", "report.xlt"}) {
    fs::create_directories((temp.path() / "in" / name).parent_path());
    fs::copy_file(kBook, temp.path() / "in" / name);
  }
  fs::copy_file(kSource + "/examples/notes.xls", temp / "in/jan/data.xls",
                fs::copy_options::overwrite_existing);
  fs::create_directory(temp.path() / "out");
  const std::string clash =
      Text103(temp / "in/jan/data.xls", "Its output path " + temp / "out/data.htm" +
                                            " is also that of " + temp / "in/feb/data.xls" +
                                            ", which comes first by path and keeps its pages");
  // Whatever the order of the list, and whichever share each worker converts.
  auto with = [](std::vector<std::string> args, std::initializer_list<std::string> more) {
    args.insert(args.end(), more);
    return args;
  };
  std::vector<std::string> coded;
  for (const char* order : {"jf", "fj"}) {
    std::vector<std::string> args = {"in/jan/data.xls", "in/feb/data.xls"};
    if (order[0] == 'f') std::swap(args[0], args[1]);
    GridcastRun run =
        RunGridcast(temp.str(), with(args, {"-o", "-d", "out", "-l", "run.log", "-j2"}));
    EXPECT_EQ(run.status, 1);
    ASSERT_EQ(run.lines.size(), 2u) << run.out;
    EXPECT_EQ(CodedPart(run.lines[order[0] == 'j' ? 0 : 1]), clash);
    for (const char* shard : {"1/2", "2/2"}) {
      std::swap(args[0], args[1]);
      run = RunGridcast(temp.str(),
                        with(args, {"-o", "-d", "out", "-l", "run.log", "--shard", shard}));
      for (const std::string& line : run.lines) coded.push_back(CodedPart(line));
    }
  }
  std::sort(coded.begin(), coded.end());
  const std::string converted = Text100(temp / "in/feb/data.xls", temp / "out/data.htm");
  EXPECT_EQ(coded, (std::vector<std::string>{converted, converted, clash, clash}));
  EXPECT_EQ(Contents(temp.path() / "out").size(), 3u);  // feb/data.xls has three sheets

  GridcastRun run = RunGridcast(temp.str(), {"in/report.xl?", "--log", "run.log"});
  ASSERT_EQ(run.lines.size(), 2u) << run.out;
  EXPECT_NE(CodedPart(run.lines[1]).find("  103, Convert " + temp / "in/report.xlt"),
            std::string::npos);

  // Through a linked folder: link/data.xlt writes the pages of feb/data.xls.
  fs::create_directory_symlink("feb", temp.path() / "in/link");
  run = RunGridcast(temp.str(), {"in/link/data.xlt", "in/feb/data.xls", "--log", "run.log"});
  ASSERT_EQ(run.lines.size(), 2u) << run.out;
  EXPECT_EQ(CodedPart(run.lines[1]), Text100(temp / "in/feb/data.xls", temp / "in/feb/data.htm"));
  EXPECT_NE(CodedPart(run.lines[0]).find("  103, Convert " + temp / "in/link/data.xlt"),
            std::string::npos);
}

TEST_F(BatchRun, SeveralAtATimeGiveTheSamePagesAndLinesInListOrder) {
  Books(12);
  fs::copy_file(kSource + "/tests/data/cli/not-a-workbook.xls", temp / "in/b05.xls",
                fs::copy_options::overwrite_existing);
  for (const char* out : {"one", "three"}) fs::create_directory(temp.path() / out);
  GridcastRun one =
      RunGridcast(temp.str(), {"in/*.xls", "-c", "-f", "-d", "one", "-l", "1.log", "-j1"});
  GridcastRun three =
      RunGridcast(temp.str(), {"in/*.xls", "-c", "-f", "-d", "three", "-l", "3.log", "--jobs=3"});
  EXPECT_EQ(one.status, 1);
  EXPECT_EQ(three.status, 1);
  ASSERT_EQ(three.lines.size(), 12u);
  std::vector<std::string> expected = CodedParts(one.lines);
  for (std::string& line : expected) {
    for (size_t at; (at = line.find("/one/")) != std::string::npos;) line.replace(at, 5, "/three/");
  }
  EXPECT_EQ(CodedParts(three.lines), expected);
  EXPECT_EQ(Contents(temp.path() / "one"), Contents(temp.path() / "three"));
  std::string log;
  for (const std::string& line : three.lines) log += line + "\r\n";
  EXPECT_EQ(ReadFile(temp / "3.log"), log);
}

TEST_F(BatchRun, TheFirstInterruptFinishesTheWorkbooksInProgressAndLogsThem) {
  Books(60);
  SpawnedGridcast run({temp / "in/*.xls", "-f", "--log", temp / "run.log", "-j2"});
  std::string first = run.ReadLine();
  ASSERT_FALSE(first.empty());
  kill(run.pid, SIGINT);
  std::string rest = first + run.ReadRest();
  EXPECT_EQ(run.Wait(), 130);
  std::string log = ReadFile(temp / "run.log");
  EXPECT_LT(LineCount(log), 60u);
  EXPECT_EQ(LineCount(log), LineCount(rest));
  // Every workbook with a line has all its pages; none after them was started.
  for (int i = 0; i < 60; ++i) {
    std::string stem = std::string("in/b") + char('0' + i / 10) + char('0' + i % 10);
    bool logged = static_cast<size_t>(i) < LineCount(log);
    EXPECT_EQ(fs::exists(temp / (stem + "_3.htm")), logged) << stem;
    EXPECT_EQ(fs::exists(temp / (stem + "_1.files")), logged) << stem;
  }
}

TEST_F(BatchRun, FilesFromAListAndSharesThatSplitTheRun) {
  Books(20);
  fs::create_directories(temp.path() / "in/odd *name?");
  fs::copy_file(kBook, temp / "in/odd *name?/x.xls");
  std::string list;
  for (const auto& entry : fs::recursive_directory_iterator(temp.path() / "in")) {
    if (entry.is_regular_file()) list += fs::relative(entry.path(), temp.path()).string() + '\0';
  }
  std::string listFile = temp.Write("list", list);
  // Each share on its own, in any order of the list, converts a part; together all, once.
  std::multiset<std::string> converted;
  for (const char* shard : {"1/3", "2/3", "3/3"}) {
    GridcastRun run = RunGridcast(temp.str(), {"--files-from", "list", "-0", "--shard", shard, "-e",
                                               "1", "--log", "run.log"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_GT(run.lines.size(), 0u);
    for (const std::string& line : run.lines) converted.insert(CodedPart(line));
  }
  EXPECT_EQ(converted.size(), 21u);
  EXPECT_EQ(std::set<std::string>(converted.begin(), converted.end()).size(), 21u);
  EXPECT_TRUE(converted.count(Text100(temp / "in/odd *name?/x.xls", temp / "in/odd *name?/x.htm")));

  // Lines from standard input; a CR before the line break is dropped.
  quillane::app::RunRequest request;
  request.filesFrom = "-";
  request.options.LogPath = temp / "run.log";
  request.options.Overwrite = true;
  std::istringstream in(temp / "in/b01.xls" + "\r\n\n" + temp / "in/b02.xls");
  std::ostringstream out, err;
  EXPECT_EQ(quillane::app::RunCommandLine(request, {out, err, false, &in}), 0) << err.str();
  EXPECT_EQ(LineCount(out.str()), 2u);
  request.filesFrom = temp / "missing-list";
  EXPECT_EQ(quillane::app::RunCommandLine(request, {out, err, false, &in}), 2);
  EXPECT_NE(err.str().find("cannot read the file list " + temp / "missing-list"),
            std::string::npos);
}

TEST(Shards, StableWhateverTheOrderAndSpreadOverAllShares) {
  using quillane::app::ShardOf;
  std::map<int, int> counts;
  for (int i = 0; i < 300; ++i) {
    std::string name = "data/book" + std::to_string(i) + ".xls";
    int share = ShardOf("/srv/" + name, "/srv", 3);
    // The same share on a machine where the folder has another name, or another spelling.
    EXPECT_EQ(ShardOf("/mnt/x/" + name, "/mnt/x/", 3), share);
    EXPECT_EQ(ShardOf("/srv/./data/../" + name, "/srv", 3), share);
    ++counts[share];
  }
  EXPECT_EQ(counts.size(), 3u);
  for (auto [share, count] : counts) EXPECT_GT(count, 60) << share;
}

TEST_F(BatchRun, WarningsForLikelyMistakes) {
  fs::create_directories(temp.path() / "in");
  fs::copy_file(kBook, temp / "in/a.xls");
  temp.Write("file");
  GridcastRun run = RunGridcast(temp.str(), {"in/*.xlsx", "none/*.xls", "/o", "/d:out", "/e1,4-5",
                                             "in/a.xls", "--log", "run.log"});
  EXPECT_EQ(run.status, 1);  // the switch-like names are still missing workbooks (102)
  EXPECT_EQ(run.lines.size(), 4u);
  for (const std::string& said :
       {"nothing matches " + temp / "in/*.xlsx",
        "the folder " + temp / "none/" + " of " + temp / "none/*.xls" + " does not exist",
        std::string("/o does not exist; options start "
                    "with '-' here: did you mean -o?"),
        std::string("did you mean -d out?"), std::string("did you mean -e 1,4-5?")}) {
    EXPECT_NE(run.err.find(said), std::string::npos) << said << "\n" << run.err;
  }
  run = RunGridcast(temp.str(), {"in/a.xls", "-d", "file"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "gridcast: the output folder " + temp / "file" + " is not a folder\n");
}
