// The window's run over the shared corpus of real workbooks (../shared/corpus) gives the same
// pages, byte for byte, and the same log lines (time aside) as gridcast with the same switches.
// Skipped, saying so, when the corpus is absent.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "RunGridcast.h"
#include "WindowTestUtil.h"

namespace fs = std::filesystem;

namespace quillane::test {

namespace {

std::map<std::string, std::string> Tree(const fs::path& root) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(root))
    if (entry.is_regular_file())
      files[fs::relative(entry.path(), root).string()] = ReadAll(entry.path().string());
  return files;
}

// The log's lines without their time of day, with the output folder's name made neutral.
std::vector<std::string> Lines(const std::string& log, const std::string& outputFolder) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < log.size()) {
    size_t end = log.find("\r\n", start);
    if (end == std::string::npos) end = log.size();
    std::string line = log.substr(start, end - start);
    line = line.substr(std::min(line.size(), line.find("  ")));
    for (size_t at; (at = line.find(outputFolder)) != std::string::npos;)
      line.replace(at, outputFolder.size(), "<out>");
    lines.push_back(line);
    start = end + 2;
  }
  return lines;
}

}  // namespace

TEST_F(WindowTest, CorpusRunMatchesGridcastPageForPageAndLineForLine) {
  const fs::path corpus = QUILLANE_CORPUS_DIR;
  if (!fs::is_directory(corpus)) GTEST_SKIP() << "no corpus at " << corpus;
  std::vector<std::string> books;
  fs::create_directories(temp / "in");
  for (const auto& entry : fs::directory_iterator(corpus)) {
    if (!entry.is_regular_file() || entry.path().extension() == ".md") continue;
    fs::copy_file(entry.path(), temp.path() / "in" / entry.path().filename());
    books.push_back(temp / ("in/" + entry.path().filename().string()));
  }
  std::sort(books.begin(), books.end());
  fs::create_directories(temp / "w");
  fs::create_directories(temp / "g");

  w->sOutputDir = temp / "w";
  for (const std::string& book : books) ASSERT_TRUE(w->AddFiles(book)) << book;
  w->ChangeFilesState();
  w->RunMenuCommand("mnuCompress");
  w->SetLogPath(temp / "w.log");
  w->StartConversion();
  WaitIdle();

  std::vector<std::string> args = {"--dest", temp / "g", "-o",    "-f",
                                   "-c",     "-j1",      "--log", temp / "g.log"};
  args.insert(args.end(), books.begin(), books.end());
  testing::GridcastRun run = testing::RunGridcast(temp.str(), args, "", 600);
  EXPECT_NE(run.status, 2) << run.err;

  const auto window = Tree(temp.path() / "w"), gridcast = Tree(temp.path() / "g");
  EXPECT_EQ(window.size(), gridcast.size());
  EXPECT_GT(window.size(), books.size());
  for (const auto& [name, bytes] : gridcast) {
    auto it = window.find(name);
    ASSERT_NE(it, window.end()) << name;
    EXPECT_TRUE(it->second == bytes) << name;
  }
  const auto windowLines = Lines(ReadAll(temp / "w.log"), temp / "w");
  EXPECT_EQ(windowLines.size(), books.size());
  EXPECT_EQ(windowLines, Lines(ReadAll(temp / "g.log"), temp / "g"));
}

}  // namespace quillane::test
