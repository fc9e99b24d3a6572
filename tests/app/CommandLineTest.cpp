// The whole command-line run: gridcast as a process over temporary folders, and RunCommandLine
// in the test's own process for what only it shows (the progress line).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "RunGridcast.h"
#include "app/modMain.h"
#include "convert/ConversionLog.h"

namespace fs = std::filesystem;
using namespace quillane::testing;
using quillane::convert::Text100;
using quillane::convert::Text101;
using quillane::convert::Text102;

namespace {

const std::string kSource = QUILLANE_SOURCE_DIR;
const std::string kData = kSource + "/tests/data/cli/";

std::set<std::string> Listing(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    names.insert(fs::relative(entry.path(), folder).string());
  }
  return names;
}

class CommandLine : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directories(temp.path() / "in"); }
  std::string Copy(const std::string& from, const std::string& as) {
    fs::path target = temp.path() / "in" / as;
    fs::create_directories(target.parent_path());
    fs::copy_file(from, target);
    return target.string();
  }
  TempFolder temp;
};

}  // namespace

TEST_F(CommandLine, ConvertsTheExamplesIntoTheDestination) {
  for (const char* name : {"quarterly-sales.xls", "staff-rota.xls", "notes.xls"}) {
    Copy(kSource + "/examples/" + name, name);
  }
  fs::create_directory(temp.path() / "out");
  GridcastRun run = RunGridcast(temp.str(), {"in/*.XLS", "--dest", "out", "--log=run.log"});
  EXPECT_EQ(run.status, 0) << run.err;
  ASSERT_EQ(run.lines.size(), 3u) << run.out;
  // Matches come in name order; each line is printed and logged.
  EXPECT_EQ(CodedPart(run.lines[0]), Text100(temp / "in/notes.xls", temp / "out/notes.htm"));
  EXPECT_EQ(CodedPart(run.lines[2]),
            Text100(temp / "in/staff-rota.xls", temp / "out/staff-rota.htm"));
  EXPECT_EQ(ReadFile(temp / "run.log"),
            run.lines[0] + "\r\n" + run.lines[1] + "\r\n" + run.lines[2] + "\r\n");
  EXPECT_EQ(
      Listing(temp.path() / "out"),
      (std::set<std::string>{"notes_1.htm", "notes_2.htm", "quarterly-sales_1.htm",
                             "quarterly-sales_2.htm", "quarterly-sales_3.htm",
                             "quarterly-sales_4.htm", "staff-rota_1.htm", "staff-rota_2.htm"}));
  EXPECT_EQ(Listing(temp.path() / "in").size(), 3u);  // nothing written beside the sources
}

TEST_F(CommandLine, EachWorkbookGivesOneLineAndFailuresGiveStatus1) {
  std::string good = Copy(kData + "three-sheets.xls", "good.xls");
  std::string bad = Copy(kData + "not-a-workbook.xls", "bad.xls");
  GridcastRun run = RunGridcast(temp.str(), {"in/good.xls", "in/missing.xls", "in/bad.xls", "-f",
                                             "--log=" + (temp / "run.log")});
  EXPECT_EQ(run.status, 1);
  ASSERT_EQ(run.lines.size(), 3u) << run.out;
  EXPECT_EQ(CodedPart(run.lines[0]), Text100(good, temp / "in/good.htm"));
  EXPECT_EQ(CodedPart(run.lines[1]), Text102(temp / "in/missing.xls"));
  EXPECT_EQ(CodedPart(run.lines[2]).substr(0, 15 + bad.size()), "  103, Convert " + bad);
  EXPECT_TRUE(fs::is_directory(temp / "in/good_1.files"));  // kept with -f
  std::string log = ReadFile(temp / "run.log");
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 3);
}

TEST_F(CommandLine, AnExistingPageSkipsItsWorkbookUnlessOverwriting) {
  std::string book = Copy(kData + "three-sheets.xls", "book.xls");
  std::string output = temp.Write("in/book.htm", "mine");
  std::string page = temp.Write("in/book_2.htm", "old");
  GridcastRun run = RunGridcast(temp.str(), {book, "-l" + (temp / "run.log")});
  EXPECT_EQ(run.status, 0);
  ASSERT_EQ(run.lines.size(), 1u);
  EXPECT_EQ(CodedPart(run.lines[0]), Text101(output));
  EXPECT_FALSE(fs::exists(temp / "in/book_1.htm"));
  // The sheets chosen write no page that exists.
  run = RunGridcast(temp.str(), {book, "-e", "3", "-l" + (temp / "run.log")});
  EXPECT_EQ(CodedPart(run.lines.at(0)), Text100(book, output));
  run = RunGridcast(temp.str(), {book, "-o", "-e", "2", "-l" + (temp / "run.log")});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(Listing(temp.path() / "in"),
            (std::set<std::string>{"book.xls", "book.htm", "book_2.htm", "book_3.htm"}));
  EXPECT_EQ(ReadFile(output), "mine");  // the output path itself is never written
  EXPECT_NE(ReadFile(page), "old");
}

TEST_F(CommandLine, WildcardsSearchSubfoldersWithTheOption) {
  Copy(kData + "three-sheets.xls", "a.xls");
  Copy(kData + "three-sheets.xls", "sub/b.xls");
  Copy(kData + "three-sheets.xls", ".hidden/c.xls");
  fs::create_directory(temp.path() / "out");
  GridcastRun run =
      RunGridcast(temp.str(), {"-s", "-e", "1", "-d", "out", "--log=run.log", "in/*.xls"});
  ASSERT_EQ(run.lines.size(), 2u) << run.out;
  EXPECT_EQ(CodedPart(run.lines[1]), Text100(temp / "in/sub/b.xls", temp / "out/b.htm"));
  EXPECT_EQ(Listing(temp.path() / "out"), (std::set<std::string>{"a_1.htm", "b_1.htm"}));
}

TEST_F(CommandLine, UnusableArgumentsAndAMissingDestinationGiveStatus2) {
  std::string book = Copy(kData + "three-sheets.xls", "book.xls");
  GridcastRun run = RunGridcast(temp.str(), {book, "--frobnicate", "--log=run.log"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "gridcast: unknown option '--frobnicate' (see 'gridcast --help')\n");
  run = RunGridcast(temp.str(), {book, "-d", "nowhere", "--log=run.log"});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("the output folder " + (temp / "nowhere") + " does not exist"),
            std::string::npos);
  EXPECT_TRUE(run.out.empty());
  EXPECT_EQ(Listing(temp.path()), (std::set<std::string>{"in", "in/book.xls"}));
}

TEST_F(CommandLine, HelpVersionAndNoArguments) {
  std::string book = Copy(kData + "three-sheets.xls", "book.xls");
  GridcastRun run = RunGridcast(temp.str(), {book, "--log=run.log", "-?"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, quillane::app::PosixUsageText());
  EXPECT_EQ(Listing(temp.path()), (std::set<std::string>{"in", "in/book.xls"}));
  run = RunGridcast(temp.str(), {"--version"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out.substr(0, 9), "gridcast ");
  run = RunGridcast(temp.str(), {});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, quillane::app::PosixUsageText());
}

// Without arguments gridcast hands over to the window program beside it, but only when there is a
// display; without one it keeps its usage text.
TEST_F(CommandLine, WithoutArgumentsHandsOverToTheWindowProgramOnlyWithADisplay) {
  const std::string gridcast = temp / "bin/gridcast";
  std::filesystem::create_directories(temp / "bin");
  std::filesystem::copy_file(GRIDCAST_PATH, gridcast);
  {
    std::ofstream window(temp / "bin/quillane");
    window << "#!/bin/sh\necho \"window $#\"\n";
  }
  std::filesystem::permissions(temp / "bin/quillane", std::filesystem::perms::owner_exec,
                               std::filesystem::perm_options::add);
  auto run = [&](const std::string& environment) {
    const std::string out = temp / "out.txt";
    const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY " + environment + " " +
                                ShellQuote(gridcast) + " >" + ShellQuote(out) +
                                " 2>/dev/null </dev/null";
    const int raw = std::system(command.c_str());
    return std::make_pair(WEXITSTATUS(raw), ReadFile(out));
  };
  EXPECT_EQ(run("DISPLAY=:77"), std::make_pair(0, std::string("window 0\n")));
  EXPECT_EQ(run("WAYLAND_DISPLAY=wayland-9"), std::make_pair(0, std::string("window 0\n")));
  EXPECT_EQ(run(""), std::make_pair(2, quillane::app::PosixUsageText()));
}

TEST_F(CommandLine, ALogThatCannotBeWrittenIsNamedAndGivesStatus1) {
  std::string book = Copy(kData + "three-sheets.xls", "book.xls");
  std::string log = temp / "no/such/folder/run.log";
  GridcastRun run = RunGridcast(temp.str(), {book, "--log=" + log});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.lines.size(), 1u);
  EXPECT_NE(run.err.find("cannot write the log file " + log), std::string::npos) << run.err;
}

TEST_F(CommandLine, TheDatedLogIsNeverWrittenThroughALinkANamedOneMayBe) {
  std::string book = Copy(kData + "three-sheets.xls", "book.xls");
  const std::string gridcast = temp / "bin/gridcast";
  fs::create_directories(temp / "bin");
  fs::copy_file(GRIDCAST_PATH, gridcast);
  const std::string dated =
      temp / ("bin/" + fs::path(quillane::convert::DefaultLogPath()).filename().string());
  const std::string mine = temp.Write("mine.txt", "mine\n");
  fs::create_symlink(mine, dated);
  const std::string err = temp / "err.txt";
  auto run = [&](const std::string& options) {
    const std::string command = ShellQuote(gridcast) + " " + options + " " + ShellQuote(book) +
                                " >/dev/null 2>" + ShellQuote(err) + " </dev/null";
    return WEXITSTATUS(std::system(command.c_str()));
  };
  EXPECT_EQ(run(""), 1);
  EXPECT_NE(ReadFile(err).find("cannot write the log file " + dated), std::string::npos);
  EXPECT_EQ(ReadFile(mine), "mine\n");
  EXPECT_EQ(run("-o -l " + ShellQuote(dated)), 0) << ReadFile(err);
  EXPECT_EQ(ReadFile(mine).substr(0, 5), "mine\n");
  EXPECT_EQ(CodedPart(ReadFile(mine).substr(5)), Text100(book, temp / "in/book.htm") + "\r\n");
}

TEST_F(CommandLine, NoWorkbooksWritesNoLog) {
  GridcastRun run = RunGridcast(temp.str(), {"in/*.xls", "-c", "--log=run.log"});
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(run.out.empty());
  EXPECT_FALSE(fs::exists(temp / "run.log"));
}

TEST_F(CommandLine, ProgressLineOnlyWhenAsked) {
  Copy(kData + "three-sheets.xls", "a.xls");
  Copy(kData + "three-sheets.xls", "b.xls");
  quillane::app::RunRequest request;
  request.entries = {temp / "in/*.xls"};
  request.options.LogPath = temp / "run.log";
  request.options.Overwrite = true;
  std::ostringstream out, err;
  EXPECT_EQ(quillane::app::RunCommandLine(request, {out, err, true}), 0);
  EXPECT_NE(err.str().find("0 of 2 workbooks done, next: " + (temp / "in/a.xls")),
            std::string::npos);
  EXPECT_NE(err.str().find("1 of 2 workbooks done, next: " + (temp / "in/b.xls")),
            std::string::npos);
  std::ostringstream quietOut, quietErr;
  EXPECT_EQ(quillane::app::RunCommandLine(request, {quietOut, quietErr, false}), 0);
  EXPECT_TRUE(quietErr.str().empty());
}

TEST(ExpandFileList, PlainEntriesStayAndWildcardsExpandInOrder) {
  TempFolder temp;
  temp.Write("x/b.xls");
  temp.Write("x/A.xls");
  temp.Write("x/c.txt");
  std::vector<std::string> list;
  quillane::app::ExpandFileList(
      {temp / "x/missing.xls", temp / "x/*.xls", temp / "x/?.XLS", temp / "none/*.xls"}, list,
      false);
  EXPECT_EQ(list, (std::vector<std::string>{temp / "x/missing.xls", temp / "x/A.xls",
                                            temp / "x/b.xls", temp / "x/A.xls", temp / "x/b.xls"}));
  list.clear();
  std::error_code ec;
  fs::path before = fs::current_path();
  fs::current_path(temp.path());
  quillane::app::ExpandFileList({"x/*.xls", "plain.xls"}, list, true);
  fs::current_path(before);
  EXPECT_EQ(list,
            (std::vector<std::string>{temp / "x/A.xls", temp / "x/b.xls", temp / "plain.xls"}));
}
