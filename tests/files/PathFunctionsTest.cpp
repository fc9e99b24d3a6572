#include <gtest/gtest.h>

#include <filesystem>
#include <locale>

#include <sys/stat.h>

#include "files/modFuntions.h"
#include "TempFolder.h"

namespace fs = std::filesystem;
using namespace quillane::files;
using quillane::testing::TempFolder;

TEST(ChangeExtension, ChangesOnlyTheFileNamesExtension) {
  EXPECT_EQ(ChangeExtension("/data/book.xls", ".htm"), "/data/book.htm");
  EXPECT_EQ(ChangeExtension("/data/book", ".htm"), "/data/book.htm");
  EXPECT_EQ(ChangeExtension("book.xls", "htm"), "book.htm");
  EXPECT_EQ(ChangeExtension("book.", ".htm"), "book.htm");
  // A dot in a folder name is not the file's extension.
  EXPECT_EQ(ChangeExtension("/my.dir/book", ".htm"), "/my.dir/book.htm");
  // ".." in folder names stays.
  EXPECT_EQ(ChangeExtension("../in..out/book.xls", ".htm"), "../in..out/book.htm");
  EXPECT_EQ(ChangeExtension("/out/book_1.htm", ".files"), "/out/book_1.files");
  EXPECT_EQ(ChangeExtension("/a.htm/book.tar.xls", ".htm"), "/a.htm/book.tar.htm");
}

TEST(PlaceInFolder, PutsTheFileNameInTheFolderWithOneSeparator) {
#ifdef _WIN32
  EXPECT_EQ(PlaceInFolder("C:\\in\\book.htm", "D:\\out"), "D:\\out\\book.htm");
  EXPECT_EQ(PlaceInFolder("C:\\in\\book.htm", "D:\\out\\"), "D:\\out\\book.htm");
  EXPECT_EQ(PlaceInFolder("C:/in/book.htm", "D:\\out\\\\"), "D:\\out\\book.htm");
  EXPECT_EQ(PlaceInFolder("C:book.htm", "D:\\out"), "D:\\out\\book.htm");
  EXPECT_EQ(PlaceInFolder("C:\\in\\book.htm", "\\\\server\\share"), "\\\\server\\share\\book.htm");
  return;
#endif
  EXPECT_EQ(PlaceInFolder("/in/book.htm", "/out"), "/out/book.htm");
  EXPECT_EQ(PlaceInFolder("/in/book.htm", "/out/"), "/out/book.htm");
  EXPECT_EQ(PlaceInFolder("/in/book.htm", "/out//"), "/out/book.htm");
  EXPECT_EQ(PlaceInFolder("book.htm", "/out"), "/out/book.htm");
  EXPECT_EQ(PlaceInFolder("/in/book.htm", "/"), "/book.htm");
  // Other separators of the folder are left as they are.
  EXPECT_EQ(PlaceInFolder("/in/book.htm", "//server/share"), "//server/share/book.htm");
}

TEST(TrimAtNul, CutsAtTheFirstNul) {
  EXPECT_EQ(TrimAtNul(std::string("abc\0def\0", 8)), "abc");
  EXPECT_EQ(TrimAtNul("abc"), "abc");
  EXPECT_EQ(TrimAtNul(std::string("\0x", 2)), "");
}

TEST(FileTests, FileExistsAndIsDirectory) {
  TempFolder temp;
  std::string file = temp.Write("book.xls");
  std::string folder = temp.MakeFolder("dir.xls");
  EXPECT_TRUE(FileExists(file));
  EXPECT_FALSE(FileExists(folder));
  EXPECT_FALSE(FileExists(temp / "missing.xls"));
  EXPECT_FALSE(FileExists(""));
#ifndef _WIN32
  ASSERT_EQ(mkfifo((temp / "pipe.xls").c_str(), 0600), 0);
  EXPECT_FALSE(FileExists(temp / "pipe.xls"));  // reading it could wait forever
#endif
  if (quillane::testing::CanMakeLinks()) {
    fs::create_symlink(file, temp / "link.xls");
    EXPECT_TRUE(FileExists(temp / "link.xls"));
  }
  EXPECT_TRUE(IsDirectory(folder));
  EXPECT_FALSE(IsDirectory(file));
  EXPECT_FALSE(IsDirectory(""));
  EXPECT_FALSE(IsDirectory(temp / "missing"));
}

TEST(AppPath, IsTheFolderOfTheRunningProgram) {
  std::string app = AppPath();
  ASSERT_FALSE(app.empty());
  EXPECT_EQ(app.back(), kSeparator);
#ifdef _WIN32
  EXPECT_TRUE(fs::exists(app + "files_test.exe"));
#else
  EXPECT_TRUE(fs::exists(app + "files_test"));
#endif
}

TEST(DeleteFolder, DeletesPlainFilesAndThenTheEmptyFolder) {
  TempFolder temp;
  temp.Write("page.files/filelist.xml");
  temp.Write("page.files/image001.png");
  DeleteFolder(temp / "page.files");
  EXPECT_FALSE(fs::exists(temp / "page.files"));
  DeleteFolder(temp / "missing.files");  // nothing to do, no error
  DeleteFolder("");
}

TEST(DeleteFolder, LeavesTheFolderWhenSomethingCannotGo) {
  TempFolder temp;
  temp.Write("a.files/plain.xml");
  std::string readOnly = temp.Write("a.files/locked.xml");
  fs::permissions(readOnly,
                  fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  temp.Write("b.files/.hidden");
  temp.Write("c.files/sub/inner.xml");
  DeleteFolder(temp / "a.files");
  DeleteFolder(temp / "b.files");
  DeleteFolder(temp / "c.files");
  EXPECT_FALSE(fs::exists(temp / "a.files/plain.xml"));
  EXPECT_TRUE(fs::exists(readOnly));
  EXPECT_TRUE(fs::exists(temp / "b.files/.hidden"));
  EXPECT_TRUE(fs::exists(temp / "c.files/sub/inner.xml"));
}

TEST(DeleteFolder, NeverEmptiesAFolderALinkPointsTo) {
  TempFolder temp;
  std::string kept = temp.Write("elsewhere/user.txt");
  QUILLANE_SKIP_WITHOUT_LINKS();
  fs::create_directory_symlink(temp / "elsewhere", temp / "page.files");
  DeleteFolder(temp / "page.files");
  EXPECT_TRUE(fs::exists(kept));
}

namespace {
struct GermanPunct : std::numpunct<char> {
  char do_decimal_point() const override { return ','; }
  char do_thousands_sep() const override { return '.'; }
};
}  // namespace

TEST(FormatFileSize, UnitsPlacesAndSeparators) {
  const std::locale& c = std::locale::classic();
  EXPECT_EQ(FormatFileSize(0, c), "0");
  EXPECT_EQ(FormatFileSize(1023, c), "1,023");
  EXPECT_EQ(FormatFileSize(1024, c), "1.00KB");
  EXPECT_EQ(FormatFileSize(1152, c), "1.13KB");  // 1.125: halves away from zero
  EXPECT_EQ(FormatFileSize(10239, c), "10.00KB");
  EXPECT_EQ(FormatFileSize(10240, c), "10.0KB");
  EXPECT_EQ(FormatFileSize(999 * 1024 + 1000, c), "1000.0KB");
  EXPECT_EQ(FormatFileSize(1023 * 1024, c), "1.00MB");
  EXPECT_EQ(FormatFileSize(1048576, c), "1.00MB");
  EXPECT_EQ(FormatFileSize(10000 * 1024, c), "9.8MB");
  EXPECT_EQ(FormatFileSize(1000000 * 1024, c), "0.95GB");
  EXPECT_EQ(FormatFileSize(2147483647, c), "2.00GB");
  EXPECT_EQ(FormatFileSize(-5, c), "-5");
  EXPECT_EQ(FormatFileSize(-1234567, c), "-1,234,567");
  EXPECT_EQ(FormatFileSize(-2147483647 - 1, c), "-2,147,483,648");

  std::locale german(std::locale::classic(), new GermanPunct);
  EXPECT_EQ(FormatFileSize(1023, german), "1.023");
  EXPECT_EQ(FormatFileSize(1536, german), "1,50KB");
  EXPECT_EQ(FormatFileSize(5 * 1048576, german), "5,00MB");
}
