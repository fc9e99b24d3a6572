#include "spreadsheet/Application.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "spreadsheet/model/Workbook.h"

namespace fs = std::filesystem;
using namespace quillane;
using quillane::spreadsheet::Application;
using quillane::spreadsheet::EngineError;
using quillane::spreadsheet::OpenWorkbook;

namespace {

std::unique_ptr<OpenWorkbook> BookWithSheets() {
  auto book = std::make_unique<model::Workbook>();
  auto add = [&](const char* name, model::SheetType type, model::Visibility visibility) {
    model::Sheet sheet;
    sheet.name = name;
    sheet.type = type;
    sheet.visibility = visibility;
    book->sheets.push_back(sheet);
  };
  add("Chart1", model::SheetType::Chart, model::Visibility::Visible);
  add("Data", model::SheetType::Worksheet, model::Visibility::Visible);
  add("Macro1", model::SheetType::Macro, model::Visibility::Visible);
  add("Secret", model::SheetType::Worksheet, model::Visibility::Hidden);
  return std::make_unique<OpenWorkbook>(std::move(book));
}

fs::path TempFolder(const char* name) {
  fs::path folder = fs::temp_directory_path() / ("quillane-engine-" + std::string(name));
  fs::remove_all(folder);
  fs::create_directories(folder);
  return folder;
}

}  // namespace

TEST(OpenWorkbook, WorksheetsAreTheWorksheetTypeSheetsInOrderHiddenOnesIncluded) {
  auto book = BookWithSheets();
  EXPECT_EQ(book->WorksheetCount(), 2);
  EXPECT_EQ(book->WorksheetName(1), "Data");
  EXPECT_EQ(book->WorksheetName(2), "Secret");
  EXPECT_THROW(book->WorksheetName(0), EngineError);
  EXPECT_THROW(book->WorksheetName(3), EngineError);
}

TEST(OpenWorkbook, PublishWritesThePageOfTheRightSheetAndCloseEndsTheWorkbook) {
  fs::path folder = TempFolder("publish");
  auto book = BookWithSheets();
  book->Publish(2, folder / "book_2.htm");
  std::ifstream in(folder / "book_2.htm");
  std::string page((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  in.close();  // Windows removes no open file
  EXPECT_NE(page.find("Secret"), std::string::npos);
  EXPECT_THROW(book->Publish(5, folder / "book_5.htm"), EngineError);
  EXPECT_FALSE(fs::exists(folder / "book_5.htm"));

  book->Close();
  EXPECT_FALSE(book->IsOpen());
  EXPECT_THROW(book->WorksheetCount(), EngineError);
  fs::remove_all(folder);
}

TEST(OpenWorkbook, WhatAWorkbookWritesIsBoundedByTheSizeOfItsFile) {
  // Two sheets of nine cells that each show a text of a megabyte, from a file of a hundred
  // bytes: the first page fits in the 16 MB the file may write, the second would pass it.
  auto book = std::make_unique<model::Workbook>();
  book->fileBytes = 100;
  book->fonts.push_back(model::Font{});
  book->styles.resize(1);
  const uint32_t text = book->AddString(std::string(size_t{1} << 20, 'x'));
  for (const char* name : {"One", "Two"}) {
    model::Sheet& sheet = book->sheets.emplace_back();
    sheet.name = name;
    for (uint32_t row = 0; row < 9; ++row) {
      model::Cell cell{};
      cell.row = row;
      cell.type = model::CellType::String;
      cell.text = text;
      sheet.cells.push_back(cell);
    }
  }
  OpenWorkbook open(std::move(book));
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

TEST(Application, OpenFailuresAreEngineErrorsThatNameTheProblem) {
  fs::path folder = TempFolder("open");
  Application app;
  try {
    app.Open(folder / "missing.xls", false, true, "wxqz", true);
    FAIL() << "opening a missing file must fail";
  } catch (const EngineError& e) {
    EXPECT_STRNE(e.what(), "");
  }
  std::ofstream(folder / "page.xls") << "<html><body>not a workbook</body></html>";
  EXPECT_THROW(app.Open(folder / "page.xls", false, true, "wxqz", true), EngineError);

  app.Quit();
  EXPECT_TRUE(app.HasQuit());
  EXPECT_THROW(app.Open(folder / "page.xls", false, true, "wxqz", true), EngineError);
  fs::remove_all(folder);
}
