#include "spreadsheet/WorkbookPages.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using namespace quillane;
using quillane::spreadsheet::EngineError;
using quillane::spreadsheet::ErrorKind;
using quillane::spreadsheet::WorkbookPages;

namespace {

WorkbookPages BookWithSheets() {
  model::Workbook book;
  auto add = [&](const char* name, model::SheetType type, model::Visibility visibility) {
    model::Sheet sheet;
    sheet.name = name;
    sheet.type = type;
    sheet.visibility = visibility;
    book.sheets.push_back(sheet);
  };
  add("Chart1", model::SheetType::Chart, model::Visibility::Visible);
  add("Data", model::SheetType::Worksheet, model::Visibility::Visible);
  add("Macro1", model::SheetType::Macro, model::Visibility::Visible);
  add("Secret", model::SheetType::Worksheet, model::Visibility::Hidden);
  return WorkbookPages(std::move(book));
}

fs::path TempFolder(const char* name) {
  fs::path folder = fs::temp_directory_path() / ("quillane-engine-" + std::string(name));
  fs::remove_all(folder);
  fs::create_directories(folder);
  return folder;
}

}  // namespace

TEST(WorkbookPages, WorksheetsAreTheWorksheetTypeSheetsInOrderAndTheRightOneIsPublished) {
  WorkbookPages book = BookWithSheets();
  EXPECT_EQ(book.WorksheetCount(), 2);
  EXPECT_EQ(book.Worksheet(1).name, "Data");
  EXPECT_EQ(book.Worksheet(2).name, "Secret");
  EXPECT_THROW(book.Worksheet(0), EngineError);
  EXPECT_THROW(book.Worksheet(3), EngineError);

  fs::path folder = TempFolder("publish");
  book.Publish(2, folder / "book_2.htm");
  std::ifstream in(folder / "book_2.htm");
  std::string page((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  in.close();  // Windows removes no open file
  EXPECT_NE(page.find("Secret"), std::string::npos);
  EXPECT_THROW(book.Publish(5, folder / "book_5.htm"), EngineError);
  EXPECT_FALSE(fs::exists(folder / "book_5.htm"));
  fs::remove_all(folder);
}

TEST(WorkbookPages, WhatAWorkbookWritesIsBoundedByTheSizeOfItsFile) {
  // Two sheets of nine cells that each show a text of a megabyte, from a file of a hundred
  // bytes: the first page fits in the 16 MB the file may write, the second would pass it.
  model::Workbook book;
  book.fileBytes = 100;
  book.fonts.push_back(model::Font{});
  book.styles.resize(1);
  const uint32_t text = book.AddString(std::string(size_t{1} << 20, 'x'));
  for (const char* name : {"One", "Two"}) {
    model::Sheet& sheet = book.sheets.emplace_back();
    sheet.name = name;
    for (uint32_t row = 0; row < 9; ++row) {
      model::Cell cell{};
      cell.row = row;
      cell.type = model::CellType::String;
      cell.text = text;
      sheet.cells.push_back(cell);
    }
  }
  WorkbookPages open(std::move(book));
  fs::path folder = TempFolder("written");
  open.Publish(1, folder / "b_1.htm");
  try {
    open.Publish(2, folder / "b_2.htm");
    ADD_FAILURE() << "the second page was written";
  } catch (const EngineError& e) {
    EXPECT_NE(std::string(e.what()).find("its pages would pass 16 MB"), std::string::npos)
        << e.what();
  }
  EXPECT_TRUE(fs::exists(folder / "b_1.htm"));
  EXPECT_FALSE(fs::exists(folder / "b_2.htm"));
  fs::remove_all(folder);
}

TEST(WorkbookPages, ReadFailuresAreEngineErrorsOfTheirKindThatNameTheProblem) {
  fs::path folder = TempFolder("open");
  try {
    WorkbookPages::Read(folder / "missing.xls", "");
    FAIL() << "reading a missing file must fail";
  } catch (const EngineError& e) {
    EXPECT_EQ(e.Kind(), ErrorKind::Unreadable);
    EXPECT_STRNE(e.what(), "");
  }
  std::ofstream(folder / "page.xls") << "<html><body>not a workbook</body></html>";
  try {
    WorkbookPages::Read(folder / "page.xls", "");
    FAIL() << "a page is no workbook";
  } catch (const EngineError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Not a workbook", 0), 0u) << e.what();
  }
  fs::remove_all(folder);
}
