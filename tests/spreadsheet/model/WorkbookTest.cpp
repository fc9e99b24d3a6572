#include "spreadsheet/model/Workbook.h"

#include <gtest/gtest.h>

using namespace quillane::model;

namespace {

Cell At(uint32_t row, uint16_t col, double value) {
  Cell c;
  c.row = row;
  c.col = col;
  c.type = CellType::Number;
  c.number = value;
  return c;
}

}  // namespace

TEST(Sheet, NormalizeSortsAndKeepsTheLaterCellAtAPosition) {
  Sheet sheet;
  sheet.cells = {At(2, 0, 1), At(0, 5, 2), At(0, 1, 3), At(2, 0, 4), At(0, 1, 5)};
  sheet.Normalize();
  ASSERT_EQ(sheet.cells.size(), 3u);
  EXPECT_EQ(sheet.cells[0].col, 1);
  EXPECT_EQ(sheet.cells[0].number, 5);
  EXPECT_EQ(sheet.cells[1].col, 5);
  EXPECT_EQ(sheet.cells[2].number, 4);
  ASSERT_NE(sheet.Find(0, 5), nullptr);
  EXPECT_EQ(sheet.Find(0, 5)->number, 2);
  EXPECT_EQ(sheet.Find(1, 0), nullptr);
}

TEST(Sheet, ColumnWidthsFallBackFromColinfoToStandardToDefault) {
  Sheet sheet;
  sheet.columns = {{2, 4, 3000, 0, false, 0}, {6, 6, 0, 0, false, 0}, {8, 9, 1000, 0, true, 0}};
  EXPECT_EQ(sheet.ColumnWidth(3), 3000u);
  EXPECT_EQ(sheet.ColumnWidth(1), 8u * 256);
  sheet.standardWidth = 2500;
  EXPECT_EQ(sheet.ColumnWidth(5), 2500u);
  EXPECT_TRUE(sheet.ColumnHidden(6));  // zero width hides a column
  EXPECT_TRUE(sheet.ColumnHidden(9));
  EXPECT_FALSE(sheet.ColumnHidden(7));
}

TEST(Workbook, ColoursResolveFixedPaletteAndAutomaticIndexes) {
  Workbook book;
  EXPECT_EQ(book.ColorRgb(2, 0), 0xFF0000u);
  EXPECT_EQ(book.ColorRgb(10, 0), 0xFF0000u);
  book.palette[2] = 0x123456;
  EXPECT_EQ(book.ColorRgb(10, 0), 0x123456u);
  EXPECT_EQ(book.ColorRgb(kColorAutoFont, 0xABCDEF), 0xABCDEFu);
  EXPECT_EQ(book.ColorRgb(64, 7), 7u);
}
