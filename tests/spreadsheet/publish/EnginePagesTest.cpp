// A workbook of the repository (tests/data/publish/looks.xls, made by make_books.py) read by the
// engine and published: the page shows what the sheet holds, as the sheet shows it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "spreadsheet/WorkbookPages.h"
#include "spreadsheet/publish/PagePublisher.h"

namespace fs = std::filesystem;
using namespace quillane;

TEST(EnginePages, WorkbookFromTheRepositoryPublishesAsTheSheetShowsIt) {
  const fs::path book = fs::path(QUILLANE_SOURCE_DIR) / "tests/data/publish/looks.xls";
  const fs::path out = fs::temp_directory_path() / "quillane_engine_pages";
  fs::remove_all(out);
  auto wb = spreadsheet::WorkbookPages::Read(book, "");
  ASSERT_EQ(wb.WorksheetCount(), 2);
  fs::create_directories(out);
  wb.Publish(1, out / "looks_1.htm");
  wb.Publish(2, out / "looks_2.htm");
  std::ifstream in(out / "looks_1.htm", std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  in.close();  // Windows removes no open file
  const std::string html = text.str();
  EXPECT_NE(html.find("<title>Looks &amp; &lt;more&gt;</title>"), std::string::npos);
  EXPECT_NE(html.find("<td colspan=\"4\">A long title that spills"), std::string::npos);
  EXPECT_NE(html.find("<td>&lt;script&gt;alert(1)&lt;/script&gt;</td>"), std::string::npos);
  EXPECT_NE(html.find("two&nbsp; blanks&nbsp;&nbsp; here"), std::string::npos);
  EXPECT_NE(html.find("-1,234.50"), std::string::npos);
  EXPECT_NE(html.find("<td colspan=\"3\" rowspan=\"2\">merged</td>"), std::string::npos);
  EXPECT_EQ(html.find("hidden row"), std::string::npos);
  EXPECT_EQ(html.find("hidden column"), std::string::npos);
  EXPECT_NE(html.find(">TRUE</td>"), std::string::npos);
  EXPECT_NE(html.find("border-bottom:3px double #000000"), std::string::npos);
  EXPECT_NE(html.find("background:#ffff00"), std::string::npos);
  EXPECT_TRUE(fs::exists(out / "looks_1.files" / "filelist.xml"));
  EXPECT_TRUE(fs::exists(out / "looks_2.htm"));
  fs::remove_all(out);
}
