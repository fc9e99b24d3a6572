#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>

#include "CompactReference.h"
#include "TempFolder.h"
#include "convert/ConversionLog.h"
#include "convert/ConvertWorkbook.h"
#include "spreadsheet/model/ReadError.h"
#include "spreadsheet/publish/PageFiles.h"

#ifdef __linux__
#include <sys/inotify.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;
using namespace quillane::convert;
using quillane::testing::ReadFile;
using quillane::testing::TempFolder;

namespace {

const std::string kData = std::string(QUILLANE_SOURCE_DIR) + "/tests/data/cli/";

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

class ConvertWorkbookTest : public ::testing::Test {
 protected:
  // Copies a test workbook into the temporary folder.
  std::string Copy(const std::string& name, const std::string& as = "") {
    std::string target = temp / (as.empty() ? name : as);
    fs::copy_file(kData + name, target, fs::copy_options::overwrite_existing);
    return target;
  }
  int Convert(const std::string& source, const std::string& output, bool overwrite = true,
              bool keepFiles = false, bool compress = false, const std::string& sheets = "",
              const std::string& password = "") {
    ConvertOptions options;
    options.Overwrite = overwrite;
    options.CreateFilesDir = keepFiles;
    options.Compress = compress;
    options.SheetRange = sheets;
    options.Password = password;
    ConvertResult result = ConvertWorkbook(source, output, options, *run);
    line = result.line;
    failure = result.failure;
    return static_cast<int>(result.code);
  }
  std::vector<std::string> Pages() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(temp.path())) {
      std::string name = entry.path().filename().string();
      if (EndsWith(name, ".htm")) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  // Another batch run: the pages of this one are then earlier results like any others.
  void NextRun() { run = std::make_unique<RunPages>(); }

  TempFolder temp;
  std::unique_ptr<RunPages> run = std::make_unique<RunPages>();
  std::string line;
  Failure failure = Failure::None;
};

using Names = std::vector<std::string>;

}  // namespace

TEST(PagePath, PutsTheSheetNumberBeforeTheFileNamesExtension) {
  EXPECT_EQ(PagePath("/out/book.htm", 1), "/out/book_1.htm");
  EXPECT_EQ(PagePath("/out/book.htm", 12), "/out/book_12.htm");
  EXPECT_EQ(PagePath("/a.htm/book.htm", 2), "/a.htm/book_2.htm");
  EXPECT_EQ(PagePath("/a.htm/book.x.htm", 2), "/a.htm/book.x_2.htm");
  EXPECT_EQ(PagePath("/out/book", 3), "/out/book_3");
}

TEST_F(ConvertWorkbookTest, AMissingSourceIsLine102WhateverPagesExist) {
  temp.Write("book_1.htm", "old");
  EXPECT_EQ(Convert(temp / "missing.xls", temp / "book.htm", false), 102);
}

TEST_F(ConvertWorkbookTest, MissingSourceOrAFolderGives102) {
  EXPECT_EQ(Convert(temp / "missing.xls", temp / "missing.htm"), 102);
  EXPECT_TRUE(EndsWith(line, Text102(temp / "missing.xls")));
  std::string folder = temp.MakeFolder("folder.xls");
  EXPECT_EQ(Convert(folder, temp / "folder.htm"), 102);
}

TEST_F(ConvertWorkbookTest, UnreadableWorkbookGives103WithTheEnginesMessage) {
  std::string source = Copy("not-a-workbook.xls");
  EXPECT_EQ(Convert(source, temp / "not-a-workbook.htm"), 103);
  std::string head = "  103, Convert " + source + " failure, the error message is ";
  ASSERT_NE(line.find(head), std::string::npos) << line;
  EXPECT_GT(line.size(), line.find(head) + head.size());  // a reason is given
  EXPECT_EQ(Pages(), Names{});
  EXPECT_EQ(failure, Failure::Unreadable);
}

TEST_F(ConvertWorkbookTest, AnEmptyPasswordIsNoneAndTheDefaultOneOpensWithout) {
  const std::string crypto = std::string(QUILLANE_SOURCE_DIR) + "/tests/data/crypto/";
  EXPECT_EQ(Convert(crypto + "rc4-password.xls", temp / "locked.htm"), 103);
  EXPECT_EQ(failure, Failure::Password);
  EXPECT_EQ(
      Convert(crypto + "rc4-password.xls", temp / "locked.htm", true, false, false, "", "password"),
      100)
      << line;
  EXPECT_EQ(Convert(crypto + "cryptoapi-40-default.xls", temp / "default.htm"), 100) << line;
  EXPECT_EQ(Pages(), (Names{"default_1.htm", "locked_1.htm"}));
}

// The cases below need an engine that reads workbooks.
class ConvertRealWorkbook : public ConvertWorkbookTest {
 protected:
  void SetUp() override {
    source = Copy("three-sheets.xls", "book.xls");
    output = temp / "book.htm";
  }
  std::string source, output;
};

TEST_F(ConvertRealWorkbook, EverySheetGetsANumberedPage) {
  ASSERT_EQ(Convert(source, output), 100) << line;
  EXPECT_TRUE(EndsWith(line, Text100(source, output)));
  EXPECT_EQ(Pages(), (Names{"book_1.htm", "book_2.htm", "book_3.htm"}));
  EXPECT_FALSE(fs::exists(output));
  EXPECT_FALSE(fs::exists(temp / "book_1.files"));  // deleted without keep-files
  EXPECT_NE(ReadFile(temp / "book_2.htm").find("Two"), std::string::npos);
}

TEST_F(ConvertRealWorkbook, SelectionChoosesPages) {
  ASSERT_EQ(Convert(source, output, true, false, false, " 1 , 3 "), 100) << line;
  EXPECT_EQ(Pages(), (Names{"book_1.htm", "book_3.htm"}));
  for (const std::string& page : Pages()) fs::remove(temp / page);
  ASSERT_EQ(Convert(source, output, true, false, false, "abc"), 100);
  EXPECT_EQ(Pages(), Names{});

  std::string twelve = Copy("twelve-sheets.xls");
  ASSERT_EQ(Convert(twelve, temp / "twelve-sheets.htm", true, false, false, "1,4-5,10-20"), 100);
  EXPECT_EQ(Pages(), (Names{"twelve-sheets_1.htm", "twelve-sheets_10.htm", "twelve-sheets_11.htm",
                            "twelve-sheets_12.htm", "twelve-sheets_4.htm", "twelve-sheets_5.htm"}));
}

TEST_F(ConvertRealWorkbook, KeepFilesAndCompress) {
  ASSERT_EQ(Convert(source, output, true, true, false), 100) << line;
  ASSERT_TRUE(fs::is_directory(temp / "book_1.files"));
  std::string plain = ReadFile(temp / "book_1.htm");
  ASSERT_EQ(Convert(source, output, true, true, true), 100) << line;
  EXPECT_EQ(ReadFile(temp / "book_1.htm"), quillane::testing::ReferenceCompact(plain));
  EXPECT_TRUE(fs::exists(temp / "book_2.files/filelist.xml"));
}

#ifdef __linux__
// The names made in a folder (files, folders, temporaries) while `run` runs.
Names MadeIn(const std::string& folder, const std::function<void()>& run) {
  const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  inotify_add_watch(watch, folder.c_str(), IN_CREATE);
  run();
  Names names;
  alignas(inotify_event) char buffer[1 << 16];
  for (ssize_t got; (got = read(watch, buffer, sizeof buffer)) > 0;) {
    for (char* at = buffer; at < buffer + got;) {
      const auto* event = reinterpret_cast<const inotify_event*>(at);
      if (event->len) names.push_back(event->name);
      at += sizeof(inotify_event) + event->len;
    }
  }
  close(watch);
  return names;
}

TEST_F(ConvertRealWorkbook, EachFileIsMadeOnceAndNoFolderThatIsRemovedAgain) {
  // Without keep-files, compacted or not: one temporary a page, and no supporting folder.
  for (bool compress : {false, true}) {
    const Names made = MadeIn(temp.str(), [&] {
      ASSERT_EQ(Convert(source, output, true, false, compress), 100) << line;
    });
    EXPECT_EQ(made.size(), 3u);
    for (const std::string& name : made) EXPECT_EQ(name.find(".files"), std::string::npos);
  }
  // A folder of ours that holds nothing yet gets its list once.
  temp.MakeFolder("book_1.files");
  const Names made = MadeIn(temp / "book_1.files",
                            [&] { ASSERT_EQ(Convert(source, output, true, true), 100) << line; });
  ASSERT_EQ(made.size(), 1u);
  EXPECT_EQ(made[0].rfind("filelist.xml.gridcast-tmp", 0), 0u) << made[0];
}
#endif

TEST(WritePage, WithoutTheFolderPicturesAreStillUnpackedToFindDamage) {
  TempFolder temp;
  quillane::model::Blip blip;
  blip.size = 4;
  blip.unpack = [](const quillane::model::ByteSink&) {
    throw quillane::model::ReadError("The picture is damaged");
  };
  quillane::publish::Page page;
  page.html = "<html></html>";
  page.files.push_back({"image001.png", {}, &blip});
  EXPECT_THROW(
      quillane::publish::WritePage(page, temp / "p_1.htm", quillane::publish::FolderWork::Check),
      quillane::model::ReadError);
  EXPECT_FALSE(fs::exists(temp / "p_1.htm"));
  EXPECT_FALSE(fs::exists(temp / "p_1.files"));
}

TEST_F(ConvertRealWorkbook, OnlyWhatWeWroteIsReplacedOrRemoved) {
  std::vector<std::string> notices;
  SetNoticeHook([&](const std::string& text) { notices.push_back(text); });
  // A folder of somebody else's named like a supporting folder: left alone, no page.
  temp.Write("book_1.files/sub/deep.txt", "a");
  temp.Write("book_1.files/.hidden", "b");
  QUILLANE_SKIP_WITHOUT_LINKS();
  fs::create_symlink(temp.MakeFolder("elsewhere"), temp / "book_2.files");
  EXPECT_EQ(Convert(source, output, false), 103);
  EXPECT_NE(line.find("book_1.files was not written by this program"), std::string::npos) << line;
  EXPECT_EQ(ReadFile(temp / "book_1.files/sub/deep.txt"), "a");
  EXPECT_EQ(ReadFile(temp / "book_1.files/.hidden"), "b");
  EXPECT_FALSE(fs::exists(temp / "book_1.htm"));
  fs::remove_all(temp / "book_1.files");
  EXPECT_EQ(Convert(source, output, false), 103);
  EXPECT_NE(line.find("book_2.files is a link"), std::string::npos) << line;
  fs::remove(temp / "book_2.files");

  // Files added to our own folder stay, are never compacted, and are named when the folder stays.
  ASSERT_EQ(Convert(source, output, true, true, false), 100) << line;
  const std::string inner = "<table  x>  ";
  temp.Write("book_1.files/sheet.htm", inner);
  temp.Write("book_1.files/notes/n.txt", "n");
  ASSERT_EQ(Convert(source, output, true, false, true), 100) << line;
  EXPECT_EQ(ReadFile(temp / "book_1.files/sheet.htm"), inner);
  EXPECT_EQ(ReadFile(temp / "book_1.files/notes/n.txt"), "n");
  EXPECT_FALSE(fs::exists(temp / "book_1.files/filelist.xml"));
  EXPECT_FALSE(fs::exists(temp / "book_2.files"));
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_NE(notices[0].find("book_1.files: it holds 2 entries"), std::string::npos) << notices[0];
  SetNoticeHook(nullptr);
}

TEST_F(ConvertRealWorkbook, PagesAreReplacedWholeOrNotAtAll) {
  // A page path that is a link is replaced by the page; what it pointed to is not touched.
  const std::string victim = temp.Write("elsewhere/victim.txt", "mine");
  QUILLANE_SKIP_WITHOUT_LINKS();
  fs::create_symlink(victim, temp / "book_1.htm");
  fs::create_symlink(temp / "elsewhere/new.txt", temp / "book_2.htm");
  ASSERT_EQ(Convert(source, output), 100) << line;
  EXPECT_EQ(ReadFile(victim), "mine");
  EXPECT_FALSE(fs::exists(temp / "elsewhere/new.txt"));
  EXPECT_FALSE(fs::is_symlink(temp / "book_1.htm"));

#ifndef _WIN32  // a per-file size limit (setrlimit) plays the full disk
  // A disk that fills up (here: a file-size limit) keeps the earlier pages whole.
  const std::string page1 = ReadFile(temp / "book_1.htm");
  temp.Write("book_2.htm", "the old second page");
  quillane::testing::WithFileSizeLimit(64, [&] { EXPECT_EQ(Convert(source, output), 103); });
  EXPECT_EQ(failure, Failure::Output);
  EXPECT_EQ(ReadFile(temp / "book_1.htm"), page1);
  EXPECT_EQ(ReadFile(temp / "book_2.htm"), "the old second page");
  for (const auto& entry : fs::recursive_directory_iterator(temp.path())) {
    EXPECT_EQ(entry.path().string().find("gridcast-tmp"), std::string::npos) << entry.path();
    EXPECT_NE(entry.path().extension(), ".files") << "left behind: " << entry.path();
  }
#endif
}

TEST_F(ConvertRealWorkbook, AForgedFileListRemovesOnlyNamesOfTheShapesWeWrite) {
  ASSERT_EQ(Convert(source, output, true, true), 100) << line;
  const std::string notes = temp.Write("book_1.files/notes.txt", "mine");
  const std::string image = temp.Write("book_1.files/image1.png", "mine too");
  temp.Write("book_1.files/filelist.xml",
             "<filelist><file href=\"notes.txt\"/><file href=\"image1.png\"/>"
             "<file href=\"filelist.xml\"/></filelist>");
  SetNoticeHook([](const std::string&) {});
  ASSERT_EQ(Convert(source, output, true, true), 100) << line;  // replaces the folder's files
  ASSERT_EQ(Convert(source, output), 100) << line;              // removes the folder
  SetNoticeHook(nullptr);
  EXPECT_EQ(ReadFile(notes), "mine");
  EXPECT_EQ(ReadFile(image), "mine too");
}

TEST_F(ConvertRealWorkbook, AnyPageOfTheChosenSheetsFromBeforeTheRunStopsAConversion) {
  // The output path itself is never written and stops nothing.
  temp.Write("book.htm", "mine");
  std::string oldPage = temp.Write("book_3.htm", "old page");
  ASSERT_EQ(Convert(source, output, false, false, false, "1-2"), 100) << line;
  EXPECT_TRUE(fs::exists(temp / "book_2.htm"));
  fs::remove(temp / "book_1.htm");
  fs::remove(temp / "book_2.htm");
  NextRun();
  EXPECT_EQ(Convert(source, output, false), 101);
  EXPECT_TRUE(EndsWith(line, Text101(output)));
  EXPECT_EQ(ReadFile(oldPage), "old page");
  EXPECT_FALSE(fs::exists(temp / "book_1.htm"));
  EXPECT_EQ(Convert(source, output, true), 100) << line;
  EXPECT_NE(ReadFile(oldPage), "old page");
}

TEST_F(ConvertRealWorkbook, APageOfThisRunDoesNotStopAnotherWorkbook) {
  // book.xls writes book_1.htm, the output path of book_1.xls.
  std::string second = Copy("three-sheets.xls", "book_1.xls");
  ASSERT_EQ(Convert(source, output, false), 100) << line;
  EXPECT_EQ(Convert(second, temp / "book_1.htm", false), 100) << line;
  EXPECT_TRUE(fs::exists(temp / "book_1_3.htm"));
  // In the next run it is an earlier result like any other.
  NextRun();
  EXPECT_EQ(Convert(second, temp / "book_1.htm", false), 101) << line;
}

TEST_F(ConvertRealWorkbook, APageNeverReplacesItsWorkbook) {
  std::string odd = Copy("three-sheets.xls", "odd_1.htm");
  EXPECT_EQ(Convert(odd, temp / "odd.htm"), 103);
  EXPECT_EQ(ReadFile(odd), ReadFile(kData + "three-sheets.xls"));
}
