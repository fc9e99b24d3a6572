// gridcast over a copy of the shared corpus of real workbooks (../shared/corpus), once with
// -o -f -c and once with the defaults. Skipped, saying so, when the corpus is absent.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <regex>

#include "RunGridcast.h"
#include "convert/ConversionLog.h"

namespace fs = std::filesystem;
using namespace quillane::testing;

namespace {

const fs::path kCorpus = QUILLANE_CORPUS_DIR;

// Copies the corpus's workbooks into `folder`; returns their copied paths in name order.
std::vector<std::string> CopyCorpus(const fs::path& folder) {
  std::vector<std::string> copies;
  for (const auto& entry : fs::directory_iterator(kCorpus)) {
    if (!entry.is_regular_file() || entry.path().extension() == ".md") continue;
    fs::path target = folder / entry.path().filename();
    fs::copy_file(entry.path(), target);
    copies.push_back(target.string());
  }
  std::sort(copies.begin(), copies.end());
  return copies;
}

// True when `name` is a page (stem_N.htm) or supporting folder (stem_N.files) of `stem`, or lies
// inside such a folder.
bool IsOutputOf(const std::string& relative, const std::string& stem, bool folders) {
  std::string first = relative.substr(0, relative.find('/'));
  if (first.compare(0, stem.size() + 1, stem + "_") != 0) return false;
  static const std::regex page(R"(_[0-9]+\.htm)"), folder(R"(_[0-9]+\.files)");
  std::string tail = first.substr(stem.size());
  return std::regex_match(tail, page) || (folders && std::regex_match(tail, folder));
}

void CheckRun(const std::vector<std::string>& extra, const std::string& environment, bool keepFiles,
              const char* label) {
  TempFolder temp;
  fs::create_directory(temp.path() / "corpus");
  std::vector<std::string> books = CopyCorpus(temp.path() / "corpus");
  std::vector<std::string> args = {"corpus/*.xls", "--log=" + (temp / "run.log")};
  args.insert(args.end(), extra.begin(), extra.end());
  GridcastRun run = RunGridcast(temp.str(), args, environment, 900);
  ASSERT_TRUE(run.status == 0 || run.status == 1) << "status " << run.status << "\n" << run.err;
  ASSERT_EQ(run.lines.size(), books.size()) << run.out;

  std::map<int, int> counts;
  static const std::regex time(R"(^[^ ]+( [^ ]+)?$)");
  for (size_t i = 0; i < books.size(); ++i) {
    const std::string& line = run.lines[i];
    const std::string& book = books[i];
    std::string coded = CodedPart(line);
    ASSERT_TRUE(std::regex_match(line.substr(0, line.size() - coded.size()), time)) << line;
    std::string output = book.substr(0, book.size() - 4) + ".htm";
    std::string failure = "  103, Convert " + book + " failure, the error message is ";
    if (coded == quillane::convert::Text100(book, output)) {
      ++counts[100];
    } else if (coded.compare(0, failure.size(), failure) == 0 && coded.size() > failure.size()) {
      ++counts[103];
    } else {
      ADD_FAILURE() << "unexpected line for " << book << ": " << line;
    }
    if (fs::path(book).filename() == "password.xls" && !environment.empty()) {
      EXPECT_EQ(coded, quillane::convert::Text100(book, output)) << "the password was given";
    }
  }
  EXPECT_EQ(run.status, counts[103] > 0 ? 1 : 0);
  std::string log = ReadFile(temp / "run.log");
  EXPECT_EQ(static_cast<size_t>(std::count(log.begin(), log.end(), '\n')), books.size());

  // Nothing but our pages (and with -f their folders) beside the untouched workbooks.
  std::vector<std::string> stems;
  for (const std::string& book : books) stems.push_back(fs::path(book).stem().string());
  for (const auto& entry : fs::recursive_directory_iterator(temp.path() / "corpus")) {
    std::string relative = fs::relative(entry.path(), temp.path() / "corpus").string();
    if (fs::exists(kCorpus / relative) && relative.find('/') == std::string::npos) {
      EXPECT_EQ(ReadFile(entry.path().string()), ReadFile((kCorpus / relative).string()))
          << relative << " was changed";
      continue;
    }
    bool ours = std::any_of(stems.begin(), stems.end(), [&](const std::string& stem) {
      return IsOutputOf(relative, stem, keepFiles);
    });
    EXPECT_TRUE(ours) << relative << " is not an output of the run";
  }
  std::cout << "[ corpus " << label << " ] " << books.size() << " workbooks: " << counts[100]
            << " lines 100, " << counts[101] << " lines 101, " << counts[102] << " lines 102, "
            << counts[103] << " lines 103\n";
}

class CorpusRun : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::is_directory(kCorpus)) {
      GTEST_SKIP() << "the shared corpus " << kCorpus << " is absent";
    }
  }
};

}  // namespace

TEST_F(CorpusRun, OverwriteKeepFilesCompress) {
  CheckRun({"-o", "-f", "-c"}, "GRIDCAST_PASSWORD=password", true, "-o -f -c");
}

TEST_F(CorpusRun, Defaults) { CheckRun({}, "", false, "defaults"); }

namespace {

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

// The coded parts of a log's lines, sorted, with `from` replaced by `to` in them.
std::vector<std::string> SortedCodedLines(const std::string& log, const std::string& from,
                                          const std::string& to) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = log.find("\r\n", start)) != std::string::npos; start = end + 2) {
    std::string coded = CodedPart(log.substr(start, end - start));
    for (size_t at = 0; !from.empty() && (at = coded.find(from, at)) != std::string::npos;
         at += to.size()) {
      coded.replace(at, from.size(), to);
    }
    lines.push_back(coded);
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

}  // namespace

// The recipe of docs/scale-out.md on one machine: GNU parallel runs three shares of the corpus,
// and together they give the pages and the log lines of one run.
TEST_F(CorpusRun, ThreeSharesByGnuParallelMatchOneRun) {
  if (std::system("parallel --version >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "GNU parallel is not installed (bash scripts/setup.sh --test installs it)";
  }
  TempFolder temp;
  for (const char* folder : {"corpus", "one", "three"}) fs::create_directory(temp.path() / folder);
  std::vector<std::string> books = CopyCorpus(temp.path() / "corpus");
  GridcastRun one =
      RunGridcast(temp.str(), {"corpus/*.xls", "-f", "-d", "one", "--log", "one.log"}, "", 900);
  ASSERT_TRUE(one.status == 0 || one.status == 1) << one.err;
  std::string command = "cd " + ShellQuote(temp.str()) + " && parallel --will-cite " +
                        ShellQuote(GRIDCAST_PATH) +
                        " --shard {}/3 -j1 -f -d three --log shard-{}.log \"'corpus/*.xls'\"" +
                        " ::: 1 2 3 >/dev/null 2>&1";
  int raw = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) <= 3) << command;  // parallel: failed jobs
  std::string merged;
  for (int shard = 1; shard <= 3; ++shard) {
    std::string log = ReadFile(temp / ("shard-" + std::to_string(shard) + ".log"));
    EXPECT_FALSE(log.empty()) << "shard " << shard << " converted nothing";
    merged += log;
  }
  EXPECT_EQ(SortedCodedLines(merged, "", ""),
            SortedCodedLines(ReadFile(temp / "one.log"), temp / "one/", temp / "three/"));
  EXPECT_EQ(SortedCodedLines(merged, "", "").size(), books.size());
  EXPECT_EQ(Contents(temp.path() / "three"), Contents(temp.path() / "one"));
}
