#include <gtest/gtest.h>

#include <filesystem>

#include "files/Search.h"
#include "files/modFuntions.h"
#include "TempFolder.h"

namespace fs = std::filesystem;
using namespace quillane::files;
using quillane::testing::TempFolder;

namespace {

// Resets the module's state around each test.
class SearchTest : public ::testing::Test {
 protected:
  void SetUp() override { Reset(); }
  void TearDown() override {
    Reset();
    SetDoEventsHook(nullptr);
    SetSearchProgressHook(nullptr);
  }
  static void Reset() {
    SearchResults.clear();
    SearchPattern.clear();
    Searching = false;
    SearchingTree = false;
  }
  std::vector<std::string> Relative(const TempFolder& temp) {
    std::vector<std::string> out;
    for (const std::string& path : SearchResults) out.push_back(path.substr(temp.str().size() + 1));
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
  SearchPattern = "*.xls";
  SearchTree(temp.str(), false);
  EXPECT_EQ(Relative(temp), (std::vector<std::string>{"B.XLS", "a.xls", "book.xls", "sub/d.xls",
                                                      "sub/deeper/f.Xls", "zeta/g.xls"}));
  EXPECT_FALSE(Searching);
  EXPECT_FALSE(SearchingTree);
}

TEST_F(SearchTest, FolderSearchesOnlyTheFolder) {
  TempFolder temp;
  MakeTree(temp);
  SearchPattern = "*.xls";
  Searching = true;
  SearchFolder(temp.str() + "/", false);
  EXPECT_EQ(Relative(temp), (std::vector<std::string>{"B.XLS", "a.xls", "book.xls"}));
  EXPECT_TRUE(Searching);  // left as the caller set it
}

TEST_F(SearchTest, MissingFolderAndEmptyPatternFindNothing) {
  TempFolder temp;
  SearchPattern = "*.xls";
  SearchTree(temp / "missing", false);
  Searching = true;
  SearchFolder(temp / "missing", false);
  EXPECT_TRUE(SearchResults.empty());
  Searching = false;
  SearchPattern.clear();
  temp.Write("a.xls");
  SearchTree(temp.str(), false);
  SearchTree("", false);
  EXPECT_TRUE(SearchResults.empty());
}

TEST_F(SearchTest, ASecondTreeSearchStopsTheRunningOne) {
  TempFolder temp;
  MakeTree(temp);
  SearchPattern = "*.xls";
  Searching = true;  // a search is running
  SearchTree(temp.str(), false);
  EXPECT_FALSE(Searching);
  EXPECT_TRUE(SearchResults.empty());
}

TEST_F(SearchTest, ClearingSearchingWhileYieldingStopsTheSearch) {
  TempFolder temp;
  MakeTree(temp);
  SearchPattern = "*.xls";
  SetDoEventsHook([] {
    if (SearchResults.size() == 2) Searching = false;  // the user's Cancel
  });
  SearchTree(temp.str(), false);
  EXPECT_EQ(SearchResults.size(), 2u);
}

TEST_F(SearchTest, ProgressTextsOnlyWhenAskedFor) {
  TempFolder temp;
  MakeTree(temp);
  std::vector<std::string> texts;
  SetSearchProgressHook([&](const std::string& text) { texts.push_back(text); });
  SearchPattern = "*.xls";
  SearchTree(temp.str(), false);
  EXPECT_TRUE(texts.empty());
  SearchResults.clear();
  SearchTree(temp.str(), true);
  ASSERT_EQ(texts.size(), 8u);
  EXPECT_EQ(texts.front(), "Now searching Excel files, please wait...");
  EXPECT_EQ(texts[1], "1 files were found.");
  EXPECT_EQ(texts[6], "6 files were found.");
  EXPECT_EQ(texts.back(), "");
}

TEST_F(SearchTest, NoLimitOnTheNumberOfSubfolders) {
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
  SearchPattern = "*.xls";
  SearchTree(temp.str(), false);
  ASSERT_EQ(SearchResults.size(), 2u);
  EXPECT_EQ(SearchResults.back(), temp / "d32999/last.xls");
}

TEST_F(SearchTest, LinksToFoldersAreNotFollowed) {
  TempFolder temp;
  temp.Write("real/a.xls");
  fs::create_directory_symlink(temp.path(), temp.path() / "real" / "loop");
  SearchPattern = "*.xls";
  SearchTree(temp.str(), false);
  EXPECT_EQ(Relative(temp), (std::vector<std::string>{"real/a.xls"}));
}
