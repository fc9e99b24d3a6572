#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "files/Search.h"
#include "TempFolder.h"

namespace fs = std::filesystem;
using namespace quillane::files;
using quillane::testing::TempFolder;

namespace {

class SearchTest : public ::testing::Test {
 protected:
  static std::vector<std::string> Relative(const TempFolder& temp,
                                           const std::vector<std::string>& found) {
    std::vector<std::string> out;
    for (std::string path : found) {
      path.erase(0, temp.str().size() + 1);
#ifdef _WIN32
      std::replace(path.begin(), path.end(), '\\', '/');
#endif
      out.push_back(path);
    }
    return out;
  }
};

void MakeTree(const TempFolder& temp) {
  temp.Write("a.xls");
  temp.Write("B.XLS");
  temp.Write("c.txt");
  temp.Write("a.xlsx");
  temp.MakeFolder("book.xls");  // a folder whose name matches
  temp.Write("sub/d.xls");
  temp.Write("sub/deeper/f.Xls");
  temp.Write(".cache/hidden.xls");
  temp.Write("zeta/g.xls");
}

}  // namespace

TEST(MatchesPattern, WildcardsWithoutRegardToCase) {
  EXPECT_TRUE(MatchesPattern("book.xls", "*.xls"));
  EXPECT_TRUE(MatchesPattern("BOOK.XLS", "*.xls"));
  EXPECT_FALSE(MatchesPattern("book.xlsx", "*.xls"));
  EXPECT_TRUE(MatchesPattern("book1.xls", "book?.xls"));
  EXPECT_FALSE(MatchesPattern("book12.xls", "book?.xls"));
  EXPECT_TRUE(MatchesPattern("a.b.c", "*.*"));
  EXPECT_TRUE(MatchesPattern("noext", "*.*"));
  EXPECT_TRUE(MatchesPattern("abcabcabd", "*abd"));
  EXPECT_TRUE(MatchesPattern("x", "**x*"));
  EXPECT_FALSE(MatchesPattern("", "?"));
  EXPECT_FALSE(MatchesPattern("a", ""));
}

TEST_F(SearchTest, TreeGivesEachFolderBeforeItsSubfoldersAndSkipsDotFolders) {
  TempFolder temp;
  MakeTree(temp);
  EXPECT_EQ(Relative(temp, SearchTree(temp.str(), "*.xls")),
            (std::vector<std::string>{"B.XLS", "a.xls", "book.xls", "sub/d.xls", "sub/deeper/f.Xls",
                                      "zeta/g.xls"}));
  EXPECT_EQ(Relative(temp, SearchFolder(temp.str() + "/", "*.xls")),
            (std::vector<std::string>{"B.XLS", "a.xls", "book.xls"}));
}

TEST_F(SearchTest, MissingFolderAndEmptyPatternFindNothing) {
  TempFolder temp;
  temp.Write("a.xls");
  EXPECT_TRUE(SearchTree(temp / "missing", "*.xls").empty());
  EXPECT_TRUE(SearchFolder(temp / "missing", "*.xls").empty());
  EXPECT_TRUE(SearchTree(temp.str(), "").empty());
  EXPECT_TRUE(SearchTree("", "*.xls").empty());
}

TEST_F(SearchTest, TheCallersAnswerStopsTheSearchWhileItYields) {
  TempFolder temp;
  MakeTree(temp);
  size_t found = 0;
  SearchHooks hooks;
  hooks.progress = [&](const std::string& text) {
    found += text.find("found") != std::string::npos;
  };
  hooks.keepGoing = [&] { return found < 2; };  // the user's Cancel after the second find
  EXPECT_EQ(SearchTree(temp.str(), "*.xls", hooks).size(), 2u);
}

TEST_F(SearchTest, ProgressTexts) {
  TempFolder temp;
  MakeTree(temp);
  std::vector<std::string> texts;
  SearchHooks hooks;
  hooks.progress = [&](const std::string& text) { texts.push_back(text); };
  SearchTree(temp.str(), "*.xls", hooks);
  ASSERT_EQ(texts.size(), 8u);
  EXPECT_EQ(texts.front(), "Now searching Excel files, please wait...");
  EXPECT_EQ(texts[1], "1 files were found.");
  EXPECT_EQ(texts[6], "6 files were found.");
  EXPECT_EQ(texts.back(), "");
}

TEST_F(SearchTest, NoLimitOnTheNumberOfSubfolders) {
#ifdef _WIN32
  GTEST_SKIP() << "33,000 folders take minutes to make under Wine";
#endif
  // Many folders are made quickly in memory where the system has such a file system.
  std::error_code ec;
  TempFolder temp(fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm")
                                                   : fs::temp_directory_path());
  const int count = 33000;
  for (int i = 0; i < count; ++i) {
    fs::path folder = temp.path() / "d";
    folder += std::to_string(i);
    fs::create_directory(folder);
  }
  temp.Write("d32999/last.xls");
  temp.Write("d00/not-reached-by-name.xls");
  const std::vector<std::string> found = SearchTree(temp.str(), "*.xls");
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found.back(), temp / "d32999/last.xls");
}

TEST_F(SearchTest, LinksToFoldersAreNotFollowed) {
  TempFolder temp;
  temp.Write("real/a.xls");
  QUILLANE_SKIP_WITHOUT_LINKS();
  fs::create_directory_symlink(temp.path(), temp.path() / "real" / "loop");
  EXPECT_EQ(Relative(temp, SearchTree(temp.str(), "*.xls")),
            (std::vector<std::string>{"real/a.xls"}));
}
