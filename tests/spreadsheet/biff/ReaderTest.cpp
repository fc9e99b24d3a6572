// The reader on workbook streams built in memory, one per record family and format version, and
// on the small workbooks of tests/data/biff.
#include <gtest/gtest.h>

#include <filesystem>

#include "RecordWriter.h"
#include "spreadsheet/ReadWorkbook.h"
#include "spreadsheet/biff/WorkbookReader.h"

using namespace quillane;
using namespace quillane::biff::test;

namespace {

Data Font8(const std::string& name, uint16_t weight = 400) {
  return Data().U16(200).U16(0).U16(0x7FFF).U16(weight).U16(0).U8(0).U8(0).U8(0).U8(0).Str8(name);
}

Data Xf8(uint16_t font, uint16_t format, uint8_t align = 0x20, uint8_t rotation = 0,
         uint8_t indent = 0, uint32_t b1 = 0, uint32_t b2 = 0, uint16_t fill = 0x20C0) {
  return Data()
      .U16(font)
      .U16(format)
      .U16(0x0001)
      .U8(align)
      .U8(rotation)
      .U8(indent)
      .U8(0)
      .U32(b1)
      .U32(b2)
      .U16(fill);
}

Data Cell(uint16_t row, uint16_t col, uint16_t xf) { return Data().U16(row).U16(col).U16(xf); }

Data Formula(uint16_t row, uint16_t col, std::initializer_list<uint8_t> result) {
  return Cell(row, col, 0).Raw(result).U16(0x0008).U32(0).U16(0);
}

const model::Cell& At(const model::Sheet& sheet, uint32_t row, uint16_t col) {
  const model::Cell* cell = sheet.Find(row, col);
  if (!cell)
    throw std::runtime_error("no cell at " + std::to_string(row) + "," + std::to_string(col));
  return *cell;
}

}  // namespace

TEST(Reader, Biff8CellsStringsStylesAndLayout) {
  auto bytes = Book8(
      [](Stream& s) {
        s.Record(0x0042, Data().U16(1200));
        s.Record(0x0022, Data().U16(1));
        for (const char* name : {"A", "B", "C", "D", "E", "F"}) s.Record(0x0031, Font8(name));
        s.Record(0x041E, Data().U16(164).Str16("0.000"));
        s.Record(0x00E0, Xf8(0, 0));
        uint32_t b1 = 1 | 2 << 4 | 3 << 8 | 6 << 12 | 10u << 16 | 12u << 23;
        uint32_t b2 = 8 | 9 << 7 | 1u << 26;
        s.Record(0x00E0, Xf8(5, 164, 0x0A, 45, 0x13, b1, b2, 13 | 64 << 7));
        Data palette;
        palette.U16(56);
        for (int i = 0; i < 56; ++i) palette.Raw({0x11, 0x22, static_cast<uint8_t>(i), 0});
        s.Record(0x0092, palette);
        // Three strings; the second is split, its characters going on 16-bit after the split.
        Data sst;
        sst.U32(4).U32(4).Str16("Hello").U16(5).U8(0).Raw("AB");
        s.Record(0x00FC, sst);
        Data cont;
        cont.U8(1).U16(0xE9).U16(0x416).U16('E');
        cont.U16(3).U8(0x08).U16(2).Raw("xyz").U16(1).U16(5).U16(2).U16(6);
        // A character beyond U+FFFF takes two UTF-16 units; the run after it starts at the
        // third character.
        cont.U16(4).U8(0x09).U16(1).U16(0xD83D).U16(0xDE00).U16('a').U16('b').U16(3).U16(5);
        s.Record(0x003C, cont);
      },
      [](Stream& s) {
        s.Record(0x0200, Data().U32(0).U32(1000000).U16(0).U16(200).U16(0));
        s.Record(0x0055, Data().U16(10));
        s.Record(0x007D, Data().U16(1).U16(3).U16(5000).U16(0).U16(1).U16(0));
        s.Record(0x0208, Data().U16(2).U16(0).U16(4).U16(600).U16(0).U16(0).U16(0x0060).U16(0));
        s.Record(0x0203, Cell(0, 0, 1).Double(3.5));
        s.Record(0x027E, Cell(0, 1, 0).U32(7 << 2 | 3));
        s.Record(0x027E, Cell(0, 2, 0).U32(0x3FF80000));
        s.Record(0x00BD, Data()
                             .U16(1)
                             .U16(0)
                             .U16(0)
                             .U32(1 << 2 | 2)
                             .U16(1)
                             .U32(static_cast<uint32_t>(-3) << 2 | 2)
                             .U16(2));
        s.Record(0x00FD, Cell(1, 4, 0).U32(1));
        s.Record(0x00FD, Cell(1, 5, 0).U32(2));
        s.Record(0x00FD, Cell(1, 6, 0).U32(99));  // no such string
        s.Record(0x0201, Cell(2, 0, 1));
        s.Record(0x00BE, Data().U16(2).U16(1).U16(1).U16(1).U16(1).U16(3));
        s.Record(0x0205, Cell(3, 0, 0).U8(1).U8(0));
        s.Record(0x0205, Cell(3, 1, 0).U8(0x07).U8(1));
        s.Record(0x0006, Formula(4, 0, {0, 0, 0, 0, 0, 0, 0xFF, 0xFF}));
        s.Record(0x04BC, Data().Raw({0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
        s.Record(0x0207, Data().Str16("calc"));
        // A long result goes on in a CONTINUE record, 16-bit after the split.
        s.Record(0x0006, Formula(5, 5, {0, 0, 0, 0, 0, 0, 0xFF, 0xFF}));
        s.Record(0x0207, Data().U16(6).U8(0).Raw("lon"));
        s.Record(0x003C, Data().U8(1).Wide("ger"));
        s.Record(0x0006, Formula(4, 1, {1, 0, 1, 0, 0, 0, 0xFF, 0xFF}));
        s.Record(0x0006, Formula(4, 2, {2, 0, 0x2A, 0, 0, 0, 0xFF, 0xFF}));
        s.Record(0x0006, Formula(4, 3, {3, 0, 0, 0, 0, 0, 0xFF, 0xFF}));
        s.Record(0x0006, Cell(4, 4, 0).Double(2.25).U16(0).U32(0).U16(0));
        s.Record(0x00E5, Data().U16(2).U16(5).U16(6).U16(0).U16(1).U16(9).U16(8).U16(0).U16(0));
        s.Record(0x023E, Data().U16(0x0008).U16(0).U16(0).U16(0).U16(0));
        s.Record(0x0041, Data().U16(1).U16(2).U16(2).U16(1).U8(0));
      });
  model::Workbook book = biff::ReadWorkbook(bytes, "");
  EXPECT_EQ(book.biff.version, 8);
  EXPECT_TRUE(book.date1904);
  // FONT index 4 is never written: the fifth record is font 5.
  ASSERT_EQ(book.fonts.size(), 7u);
  EXPECT_EQ(book.fonts[3].name, "D");
  EXPECT_EQ(book.fonts[5].name, "E");
  EXPECT_EQ(book.fonts[6].name, "F");
  EXPECT_EQ(book.biff.formats.at(164), "0.000");
  ASSERT_EQ(book.styles.size(), 2u);
  const model::XfRecord& xf = book.biff.xfs[1];
  EXPECT_EQ(book.fonts[xf.font].name, "E");
  EXPECT_EQ(xf.format, 164);
  EXPECT_EQ(xf.hAlign, model::HAlign::Center);
  EXPECT_EQ(xf.vAlign, model::VAlign::Top);
  EXPECT_TRUE(xf.wrap);
  EXPECT_EQ(xf.rotation, 45);
  EXPECT_EQ(xf.indent, 3);
  EXPECT_TRUE(xf.shrink);
  EXPECT_EQ(xf.left.style, 1);
  EXPECT_EQ(xf.left.color, 10);
  EXPECT_EQ(xf.right.style, 2);
  EXPECT_EQ(xf.right.color, 12);
  EXPECT_EQ(xf.top.style, 3);
  EXPECT_EQ(xf.top.color, 8);
  EXPECT_EQ(xf.bottom.style, 6);
  EXPECT_EQ(xf.bottom.color, 9);
  EXPECT_EQ(xf.pattern, 1);
  EXPECT_EQ(xf.patternColor, 13);
  EXPECT_EQ(xf.patternBackground, 64);
  EXPECT_EQ(book.palette[5], 0x112205u);
  // The model's own style: colours from the palette read after the XF, the code of the format.
  const model::CellStyle& style = book.styles[1];
  EXPECT_EQ(style.numberFormat, "0.000");
  EXPECT_EQ(style.patternColor, model::Color::Rgb(0x112205));
  EXPECT_EQ(style.left.color, model::Color::Rgb(0x112202));
  EXPECT_TRUE(style.patternBackground.automatic);

  ASSERT_EQ(book.strings.size() >= 3, true);
  EXPECT_EQ(book.strings[0], "Hello");
  EXPECT_EQ(book.strings[1], "AB\u00e9\u0416E");
  EXPECT_EQ(book.strings[2], "xyz");
  ASSERT_EQ(book.richText.count(2), 1u);
  EXPECT_EQ(book.richText[2][1].first, 2u);
  EXPECT_EQ(book.richText[2][1].font, 6);
  EXPECT_EQ(book.strings[3], "\U0001F600ab");
  EXPECT_EQ(book.richText.at(3)[0].first, 2u);

  ASSERT_EQ(book.sheets.size(), 1u);
  const model::Sheet& sheet = book.sheets[0];
  EXPECT_EQ(sheet.name, "Data");
  EXPECT_EQ(At(sheet, 0, 0).number, 3.5);
  EXPECT_EQ(At(sheet, 0, 0).style, 1);
  EXPECT_DOUBLE_EQ(At(sheet, 0, 1).number, 0.07);
  EXPECT_EQ(At(sheet, 0, 2).number, 1.5);
  EXPECT_EQ(At(sheet, 1, 0).number, 1);
  EXPECT_EQ(At(sheet, 1, 1).number, -3);
  EXPECT_EQ(sheet.Find(1, 2), nullptr);  // the MULRK's last column field is not a cell
  EXPECT_EQ(book.strings[At(sheet, 1, 4).text], "AB\u00e9\u0416E");
  EXPECT_EQ(At(sheet, 1, 5).text, 2u);
  EXPECT_EQ(At(sheet, 1, 6).type, model::CellType::Blank);
  EXPECT_EQ(At(sheet, 2, 0).type, model::CellType::Blank);
  EXPECT_EQ(At(sheet, 2, 0).style, 1);
  EXPECT_EQ(At(sheet, 2, 2).style, 1);
  EXPECT_NE(sheet.Find(2, 3), nullptr);
  EXPECT_EQ(sheet.Find(2, 4), nullptr);
  EXPECT_EQ(At(sheet, 3, 0).type, model::CellType::Boolean);
  EXPECT_EQ(At(sheet, 3, 0).code, 1);
  EXPECT_EQ(At(sheet, 3, 1).type, model::CellType::Error);
  EXPECT_EQ(At(sheet, 3, 1).code, 0x07);
  EXPECT_TRUE(At(sheet, 4, 0).formula);
  EXPECT_EQ(book.strings[At(sheet, 4, 0).text], "calc");
  EXPECT_EQ(book.strings[At(sheet, 5, 5).text], "longer");
  EXPECT_EQ(At(sheet, 4, 1).type, model::CellType::Boolean);
  EXPECT_EQ(At(sheet, 4, 2).type, model::CellType::Error);
  EXPECT_EQ(At(sheet, 4, 2).code, 0x2A);
  EXPECT_EQ(At(sheet, 4, 3).type, model::CellType::Blank);
  EXPECT_TRUE(At(sheet, 4, 3).formula);
  EXPECT_EQ(At(sheet, 4, 4).number, 2.25);

  EXPECT_TRUE(sheet.hasDimensions);
  EXPECT_EQ(sheet.dimensions.lastRow, 65535u);  // 1000000 is past the grid
  EXPECT_EQ(sheet.defaultColWidth, 10);
  EXPECT_EQ(sheet.ColumnWidth(2), 5000u);
  EXPECT_TRUE(sheet.ColumnHidden(3));
  EXPECT_EQ(sheet.RowHeight(2), 600);
  EXPECT_TRUE(sheet.RowHidden(2));
  EXPECT_TRUE(sheet.rows.at(2).customHeight);
  ASSERT_EQ(sheet.merged.size(), 1u);  // the second range is reversed and left out
  EXPECT_EQ(sheet.merged[0].lastRow, 6u);
  EXPECT_EQ(sheet.merged[0].lastCol, 1);
  EXPECT_FALSE(sheet.showGridlines);
  EXPECT_EQ(sheet.frozenCols, 1);
  EXPECT_EQ(sheet.frozenRows, 2u);
}

TEST(Reader, Biff8HyperlinksAndComments) {
  const uint8_t kUrl[16] = {0xE0, 0xC9, 0xEA, 0x79, 0xF9, 0xBA, 0xCE, 0x11,
                            0x8C, 0x82, 0x00, 0xAA, 0x00, 0x4B, 0xA9, 0x0B};
  const uint8_t kFile[16] = {0x03, 0x03, 0, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};
  auto bytes = Book8(
      [](Stream&) {},
      [&](Stream& s) {
        Data url;
        url.U16(0).U16(0).U16(0).U16(1).Raw(std::vector<uint8_t>(16, 0)).U32(2).U32(0x17);
        url.U32(5).Wide("Site").U16(0);
        url.Raw(std::vector<uint8_t>(kUrl, kUrl + 16)).U32(28).Wide("http://x.org/").U16(0);
        s.Record(0x01B8, url);
        s.Record(0x0800, Data().U16(0x0800).U16(0).U16(0).U16(0).U16(1).Wide("Tip").U16(0));
        Data file;
        file.U16(1).U16(1).U16(0).U16(0).Raw(std::vector<uint8_t>(16, 0)).U32(2).U32(0x01);
        file.Raw(std::vector<uint8_t>(kFile, kFile + 16)).U16(1).U32(8).Raw("doc.xls").U8(0);
        file.U16(0xFFFF).U16(0xDEAD).Raw(std::vector<uint8_t>(20, 0)).U32(0);
        s.Record(0x01B8, file);
        Data place;
        place.U16(2).U16(2).U16(0).U16(0).Raw(std::vector<uint8_t>(16, 0)).U32(2).U32(0x08);
        place.U32(10).Wide("Sheet2!A1").U16(0);
        s.Record(0x01B8, place);
        // A comment: OBJ, its text box (TXO with the text in CONTINUE records,
        // 8-bit then 16-bit), and the NOTE that points at the object.
        s.Record(0x005D, Data()
                             .U16(0x15)
                             .U16(0x12)
                             .U16(0x19)
                             .U16(7)
                             .U16(0)
                             .Raw(std::vector<uint8_t>(12, 0))
                             .U32(0));
        s.Record(
            0x01B6,
            Data().U16(0x12).U16(0).Raw(std::vector<uint8_t>(6, 0)).U16(12).U16(16).U16(0).U32(0));
        s.Record(0x003C, Data().U8(0).Raw("Hello\r"));
        s.Record(0x003C, Data().U8(1).Wide("world!"));
        s.Record(0x003C, Data().Raw(std::vector<uint8_t>(16, 0)));
        s.Record(0x001C, Data().U16(3).U16(2).U16(0).U16(7).Str16("Ann"));
      });
  model::Workbook book = biff::ReadWorkbook(bytes, "");
  const model::Sheet& sheet = book.sheets.at(0);
  ASSERT_EQ(sheet.hyperlinks.size(), 3u);
  EXPECT_EQ(sheet.hyperlinks[0].kind, model::LinkKind::Url);
  EXPECT_EQ(sheet.hyperlinks[0].target, "http://x.org/");
  EXPECT_EQ(sheet.hyperlinks[0].description, "Site");
  EXPECT_EQ(sheet.hyperlinks[0].tooltip, "Tip");
  EXPECT_EQ(sheet.hyperlinks[0].range.lastCol, 1);
  EXPECT_EQ(sheet.hyperlinks[1].kind, model::LinkKind::File);
  EXPECT_EQ(sheet.hyperlinks[1].target, "..\\doc.xls");
  EXPECT_EQ(sheet.hyperlinks[2].kind, model::LinkKind::Place);
  EXPECT_EQ(sheet.hyperlinks[2].location, "Sheet2!A1");
  ASSERT_EQ(sheet.comments.size(), 1u);
  EXPECT_EQ(sheet.comments[0].row, 3u);
  EXPECT_EQ(sheet.comments[0].col, 2);
  EXPECT_EQ(sheet.comments[0].author, "Ann");
  EXPECT_EQ(sheet.comments[0].text, "Hello\nworld!");
}

TEST(Reader, PicturesFromTheDrawingLayer) {
  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', 13, 10, 26, 10, 1, 2, 3};
  Data blip;
  blip.Raw(std::vector<uint8_t>(16, 0xAB)).U8(0xFF).Raw(png);
  Data fbse;
  fbse.U8(6)
      .U8(6)
      .Raw(std::vector<uint8_t>(16, 0xAB))
      .U16(0xFF)
      .U32(0)
      .U32(1)
      .U32(0)
      .U8(0)
      .U8(0)
      .U8(0)
      .U8(0);
  fbse.Raw(Escher(0xF01E, 0x6E00, blip.bytes));
  // An empty store entry first: the shape's index 2 must still find the picture.
  Data emptyEntry;
  emptyEntry.Raw(std::vector<uint8_t>(36, 0));
  Data store;
  store.Raw(Escher(0xF007, 0x0002, emptyEntry.bytes)).Raw(Escher(0xF007, 0x0062, fbse.bytes));
  std::vector<uint8_t> group = Escher(0xF000, 0x000F, Escher(0xF001, 0x002F, store.bytes));

  Data options;
  options.U16(0x4104).U32(2).U16(0x8380).U32(8).Wide("Pic").U16(0);
  Data anchor;
  anchor.U16(0).U16(2).U16(100).U16(3).U16(50).U16(5).U16(0).U16(8).U16(0);
  Data shape;
  shape.Raw(Escher(0xF00A, 0x4B02, Data().U32(1025).U32(0xA00).bytes));
  shape.Raw(Escher(0xF00B, 0x0023, options.bytes));
  shape.Raw(Escher(0xF010, 0x0000, anchor.bytes));
  shape.Raw(Escher(0xF011, 0x0000, {}));
  std::vector<uint8_t> spContainer = Escher(0xF004, 0x000F, shape.bytes);
  std::vector<uint8_t> drawing = Escher(0xF002, 0x000F, Escher(0xF003, 0x000F, spContainer));

  auto bytes = Book8(
      [&](Stream& s) {
        // The group goes on in a CONTINUE record.
        size_t half = group.size() / 2;
        s.Record(0x00EB, std::vector<uint8_t>(group.begin(), group.begin() + half));
        s.Record(0x003C, std::vector<uint8_t>(group.begin() + half, group.end()));
      },
      [&](Stream& s) {
        // The sheet's drawing is split across two records with an OBJ between them.
        size_t split = drawing.size() - spContainer.size();
        s.Record(0x00EC, std::vector<uint8_t>(drawing.begin(), drawing.begin() + split));
        s.Record(0x00EC, std::vector<uint8_t>(drawing.begin() + split, drawing.end()));
        s.Record(0x005D, Data()
                             .U16(0x15)
                             .U16(0x12)
                             .U16(0x08)
                             .U16(1)
                             .U16(0)
                             .Raw(std::vector<uint8_t>(12, 0))
                             .U32(0));
      });
  model::Workbook book = biff::ReadWorkbook(bytes, "");
  ASSERT_EQ(book.blips.size(), 2u);
  EXPECT_EQ(book.blips[0].type, model::BlipType::Unknown);
  EXPECT_EQ(book.blips[1].type, model::BlipType::Png);
  EXPECT_EQ(book.blips[1].data, png);
  const model::Sheet& sheet = book.sheets.at(0);
  ASSERT_EQ(sheet.pictures.size(), 1u);
  const model::Picture& pic = sheet.pictures[0];
  EXPECT_EQ(pic.blip, 1u);
  EXPECT_EQ(pic.col1, 2);
  EXPECT_EQ(pic.dx1, 100);
  EXPECT_EQ(pic.row1, 3u);
  EXPECT_EQ(pic.dy1, 50);
  EXPECT_EQ(pic.col2, 5);
  EXPECT_EQ(pic.row2, 8u);
  EXPECT_EQ(pic.name, "Pic");
}

// Pictures inside a group are anchored in the group's own coordinates; their cells follow from
// the group's cell anchor by proportion.
TEST(Reader, PicturesInsideGroups) {
  Data blip;
  blip.Raw(std::vector<uint8_t>(16, 0)).U8(0xFF).Raw({0x89, 'P', 'N', 'G'});
  Data fbse;
  fbse.U8(6)
      .U8(6)
      .Raw(std::vector<uint8_t>(16, 0))
      .U16(0xFF)
      .U32(0)
      .U32(1)
      .U32(0)
      .U8(0)
      .U8(0)
      .U8(0)
      .U8(0);
  fbse.Raw(Escher(0xF01E, 0x6E00, blip.bytes));
  std::vector<uint8_t> group =
      Escher(0xF000, 0x000F, Escher(0xF001, 0x001F, Escher(0xF007, 0x0062, fbse.bytes)));
  auto rect = [](int32_t l, int32_t t, int32_t r, int32_t b) {
    return Data()
        .U32(static_cast<uint32_t>(l))
        .U32(static_cast<uint32_t>(t))
        .U32(static_cast<uint32_t>(r))
        .U32(static_cast<uint32_t>(b))
        .bytes;
  };
  auto picture = [&](std::vector<uint8_t> anchor) {
    Data shape;
    shape.Raw(Escher(0xF00A, 0x4B02, Data().U32(1026).U32(0xA02).bytes));
    shape.Raw(Escher(0xF00B, 0x0013, Data().U16(0x4104).U32(1).bytes));
    shape.Raw(Escher(0xF00F, 0x0000, anchor));
    return Escher(0xF004, 0x000F, shape.bytes);
  };
  // The group covers columns 2-6 and rows 10-20 and has the space 0-1000 by 0-1000.
  Data groupShape;
  groupShape.Raw(Escher(0xF009, 0x0001, rect(0, 0, 1000, 1000)));
  groupShape.Raw(Escher(0xF00A, 0x0002, Data().U32(1025).U32(0x201).bytes));
  groupShape.Raw(
      Escher(0xF010, 0x0000,
             Data().U16(0).U16(2).U16(0).U16(10).U16(0).U16(6).U16(0).U16(20).U16(0).bytes));
  // A group inside it: the right half of the space, with its own space 0-100 by 0-100.
  Data nestedShape;
  nestedShape.Raw(Escher(0xF009, 0x0001, rect(0, 0, 100, 100)));
  nestedShape.Raw(Escher(0xF00F, 0x0000, rect(500, 0, 1000, 1000)));
  Data nested;
  nested.Raw(Escher(0xF004, 0x000F, nestedShape.bytes)).Raw(picture(rect(0, 50, 50, 100)));
  Data members;
  members.Raw(Escher(0xF004, 0x000F, groupShape.bytes)).Raw(picture(rect(250, 0, 750, 500)));
  members.Raw(Escher(0xF003, 0x000F, nested.bytes));
  Data patriarch;
  patriarch.Raw(Escher(0xF004, 0x000F, Escher(0xF009, 0x0001, rect(0, 0, 0, 0))));
  patriarch.Raw(Escher(0xF003, 0x000F, members.bytes));
  std::vector<uint8_t> drawing = Escher(0xF002, 0x000F, Escher(0xF003, 0x000F, patriarch.bytes));
  auto bytes = Book8([&](Stream& s) { s.Record(0x00EB, group); },
                     [&](Stream& s) { s.Record(0x00EC, drawing); });
  model::Workbook book = biff::ReadWorkbook(bytes, "");
  const model::Sheet& sheet = book.sheets.at(0);
  ASSERT_EQ(sheet.pictures.size(), 2u);
  EXPECT_EQ(sheet.pictures[0].col1, 3);
  EXPECT_EQ(sheet.pictures[0].dx1, 0);
  EXPECT_EQ(sheet.pictures[0].col2, 5);
  EXPECT_EQ(sheet.pictures[0].row1, 10u);
  EXPECT_EQ(sheet.pictures[0].row2, 15u);
  // Nested: columns 4-6 of the outer group, its left half and lower half.
  EXPECT_EQ(sheet.pictures[1].col1, 4);
  EXPECT_EQ(sheet.pictures[1].col2, 5);
  EXPECT_EQ(sheet.pictures[1].row1, 15u);
  EXPECT_EQ(sheet.pictures[1].row2, 20u);
}

TEST(Reader, Biff5SheetsCodepageRichTextAndNotes) {
  Stream s;
  s.Record(0x0809, Data().U16(0x0500).U16(0x0005).U16(0).U16(0));
  s.Record(0x0042, Data().U16(1251));
  s.Record(
      0x0031,
      Data().U16(240).U16(0x0002).U16(10).U16(700).U16(0).U8(1).U8(0).U8(0).U8(0).Bytes8("Arial"));
  s.Record(0x041E, Data().U16(170).Bytes8("0.0%"));
  // XF: font 0, format 170, centred and wrapped, a thin red bottom line, solid fill colour 13.
  s.Record(0x00E0, Data()
                       .U16(0)
                       .U16(170)
                       .U16(1)
                       .U8(0x0A)
                       .U8(0)
                       .U32(13 | 64 << 7 | 1 << 16 | 1 << 22 | 10u << 25)
                       .U32(0));
  size_t offsetAt = s.Size() + 4;
  s.Record(0x0085, Data().U32(0).U8(1).U8(0).Bytes8("\xCB\xE8\xF1\xF2"));
  s.Record(0x0085, Data().U32(0xFFFFFF).U8(0).U8(2).Bytes8("Chart"));
  s.Record(0x000A, Data());
  s.Patch32(offsetAt, static_cast<uint32_t>(s.Size()));
  s.Record(0x0809, Data().U16(0x0500).U16(0x0010).U16(0).U16(0));
  s.Record(0x0200, Data().U16(0).U16(3).U16(0).U16(2).U16(0));
  s.Record(0x0204, Cell(0, 0, 0).Bytes16("\xCF\xF0\xE8\xE2\xE5\xF2"));
  s.Record(0x00D6, Cell(1, 0, 0).Bytes16("abcd").U8(1).U8(2).U8(0));
  s.Record(0x001C, Data().U16(2).U16(1).U16(6).Raw("abc"));
  s.Record(0x001C, Data().U16(0xFFFF).U16(0).U16(3).Raw("def"));
  s.Record(0x000A, Data());
  model::Workbook book = biff::ReadWorkbook(s.bytes, "");
  EXPECT_EQ(book.biff.version, 5);
  ASSERT_EQ(book.sheets.size(), 2u);
  EXPECT_EQ(book.sheets[0].name, "\u041b\u0438\u0441\u0442");
  EXPECT_EQ(book.sheets[0].visibility, model::Visibility::Hidden);
  EXPECT_EQ(book.sheets[1].type, model::SheetType::Chart);
  ASSERT_EQ(book.fonts.size(), 1u);
  EXPECT_EQ(book.fonts[0].weight, 700);
  EXPECT_TRUE(book.fonts[0].italic);
  EXPECT_EQ(book.fonts[0].underline, model::Underline::Single);
  EXPECT_EQ(book.biff.formats.at(170), "0.0%");
  const model::XfRecord& xf = book.biff.xfs.at(0);
  EXPECT_EQ(xf.hAlign, model::HAlign::Center);
  EXPECT_TRUE(xf.wrap);
  EXPECT_EQ(xf.bottom.style, 1);
  EXPECT_EQ(xf.bottom.color, 10);
  EXPECT_EQ(xf.pattern, 1);
  EXPECT_EQ(xf.patternColor, 13);
  const model::Sheet& sheet = book.sheets[0];
  EXPECT_EQ(book.strings[At(sheet, 0, 0).text], "\u041f\u0440\u0438\u0432\u0435\u0442");
  const model::Cell& rich = At(sheet, 1, 0);
  EXPECT_EQ(book.strings[rich.text], "abcd");
  ASSERT_EQ(book.richText.at(rich.text).size(), 1u);
  EXPECT_EQ(book.richText.at(rich.text)[0].first, 2u);
  ASSERT_EQ(sheet.comments.size(), 1u);
  EXPECT_EQ(sheet.comments[0].text, "abcdef");
}

TEST(Reader, Biff4AndBiff3SingleSheets) {
  // BIFF4: FORMAT records numbered in order, 12-byte XF records.
  Stream s4;
  s4.Record(0x0409, Data().U16(0).U16(0x0010).U16(0));
  s4.Record(0x041E, Data().U16(0).Bytes8("General"));
  s4.Record(0x041E, Data().U16(0).Bytes8("0.00"));
  s4.Record(0x0231, Data().U16(200).U16(1).U16(0x7FFF).Bytes8("Courier"));
  s4.Record(0x0443, Data().U8(0).U8(0).U16(0x0001).U8(0x20).U8(0).U16(0).U32(0));
  s4.Record(0x0443, Data().U8(0).U8(1).U16(0x0001).U8(0x13).U8(0).U16(1 | 12 << 6).U32(2 | 9 << 3));
  s4.Record(0x0208, Data().U16(0).U16(0).U16(2).U16(0x8000 | 255).U16(0).U16(0).U16(0).U16(0));
  s4.Record(0x0203, Cell(0, 0, 1).Double(12.5));
  s4.Record(0x0406, Cell(0, 1, 0).Double(4).U16(0).U16(0));
  s4.Record(0x000A, Data());
  model::Workbook book4 = biff::ReadWorkbook(s4.bytes, "");
  EXPECT_EQ(book4.biff.version, 4);
  ASSERT_EQ(book4.sheets.size(), 1u);
  EXPECT_EQ(book4.sheets[0].name, "Sheet1");
  EXPECT_EQ(book4.biff.formats.at(1), "0.00");
  const model::XfRecord& xf = book4.biff.xfs.at(1);
  EXPECT_EQ(xf.format, 1);
  EXPECT_EQ(xf.hAlign, model::HAlign::Right);
  EXPECT_EQ(xf.vAlign, model::VAlign::Center);
  EXPECT_EQ(xf.pattern, 1);
  EXPECT_EQ(xf.patternColor, 12);
  EXPECT_EQ(xf.top.style, 2);
  EXPECT_EQ(xf.top.color, 9);
  EXPECT_EQ(book4.fonts.at(0).weight, 700);
  const model::Sheet& sheet4 = book4.sheets[0];
  EXPECT_EQ(At(sheet4, 0, 0).number, 12.5);
  EXPECT_EQ(At(sheet4, 0, 0).style, 1);
  EXPECT_TRUE(At(sheet4, 0, 1).formula);
  EXPECT_EQ(At(sheet4, 0, 1).number, 4);
  EXPECT_FALSE(sheet4.rows.at(0).customHeight);

  // BIFF3: the XF record keeps the parent index beside the alignment.
  Stream s3;
  s3.Record(0x0209, Data().U16(0).U16(0x0010).U16(0));
  s3.Record(0x001E, Data().Bytes8("General"));
  s3.Record(0x001E, Data().Bytes8("0%"));
  s3.Record(0x0243, Data().U8(0).U8(1).U8(1).U8(0).U16(0x0001 | 8).U16(0).U32(0));
  s3.Record(0x0225, Data().U16(0x0002).U16(300));
  s3.Record(0x0204, Cell(1, 1, 0).Bytes16("three"));
  s3.Record(0x000A, Data());
  model::Workbook book3 = biff::ReadWorkbook(s3.bytes, "");
  EXPECT_EQ(book3.biff.version, 3);
  EXPECT_EQ(book3.biff.formats.at(book3.biff.xfs.at(0).format), "0%");
  EXPECT_EQ(book3.styles.at(0).hAlign, model::HAlign::Left);
  EXPECT_TRUE(book3.styles.at(0).wrap);
  EXPECT_EQ(book3.sheets[0].defaultRowHeight, 300);
  EXPECT_TRUE(book3.sheets[0].defaultRowsHidden);
  EXPECT_EQ(book3.strings[At(book3.sheets[0], 1, 1).text], "three");
}

TEST(Reader, Biff2CellAttributes) {
  Stream s;
  s.Record(0x0009, Data().U16(0x0002).U16(0x0010));
  s.Record(0x0031, Data().U16(200).U16(0x0001).Bytes8("Helv"));
  s.Record(0x0045, Data().U16(10));
  s.Record(0x001E, Data().Bytes8("General"));
  s.Record(0x001E, Data().Bytes8("0.0"));
  s.Record(0x0043, Data().U8(0).U8(0).U8(0x00).U8(0x00));
  s.Record(0x0024, Data().U8(0).U8(1).U16(3000));
  s.Record(0x0002, Data().U16(0).U16(0).Raw({0, 0, 0}).U16(42));
  s.Record(0x0003, Data().U16(0).U16(1).Raw({0, 1, 3}).Double(0.25));
  s.Record(0x0004, Data().U16(1).U16(0).Raw({0, 0, 0}).Bytes8("two"));
  s.Record(0x0005, Data().U16(1).U16(1).Raw({0, 0, 0}).U8(0x0F).U8(1));
  s.Record(0x0044, Data().U16(0));
  s.Record(0x0001, Data().U16(2).U16(0).Raw({63, 1, 0x08}));
  s.Record(0x0006,
           Data().U16(3).U16(0).Raw({0, 0, 0}).Raw({0, 0, 0, 0, 0, 0, 0xFF, 0xFF}).U8(0).U8(0));
  s.Record(0x0007, Data().Bytes8("result"));
  s.Record(0x000A, Data());
  model::Workbook book = biff::ReadWorkbook(s.bytes, "");
  EXPECT_EQ(book.biff.version, 2);
  EXPECT_EQ(book.fonts.at(0).weight, 700);
  EXPECT_EQ(book.biff.fontColors.at(0), 10);
  const model::Sheet& sheet = book.sheets.at(0);
  EXPECT_EQ(At(sheet, 0, 0).number, 42);
  EXPECT_EQ(At(sheet, 0, 0).style, 0);  // agrees with XF 0
  const model::CellStyle& own = book.Style(At(sheet, 0, 1).style);
  EXPECT_EQ(own.numberFormat, "0.0");
  EXPECT_EQ(own.hAlign, model::HAlign::Right);
  EXPECT_EQ(book.strings[At(sheet, 1, 0).text], "two");
  EXPECT_EQ(At(sheet, 1, 1).type, model::CellType::Error);
  EXPECT_EQ(At(sheet, 1, 1).code, 0x0F);
  const model::CellStyle& blank = book.Style(At(sheet, 2, 0).style);
  EXPECT_EQ(blank.numberFormat, "0.0");
  EXPECT_EQ(blank.left.style, 1);
  EXPECT_EQ(book.strings[At(sheet, 3, 0).text], "result");
  EXPECT_EQ(sheet.ColumnWidth(1), 3000u);
}

TEST(Reader, Biff4WorkbookSheetsKeepTheirOwnFormatting) {
  Stream s;
  s.Record(0x0409, Data().U16(0).U16(0x0100).U16(0));
  s.Record(0x0031, Data().U16(200).U16(0).Bytes8("Global"));
  size_t offsetAt = s.Size() + 4;
  s.Record(0x008F, Data().U32(0).U8(0).U8(0).Bytes8("Book1"));
  s.Record(0x000A, Data());
  s.Patch32(offsetAt, static_cast<uint32_t>(s.Size()));
  s.Record(0x0409, Data().U16(0).U16(0x0010).U16(0));
  s.Record(0x041E, Data().U16(0).Bytes8("General"));
  s.Record(0x041E, Data().U16(0).Bytes8("0.000"));
  s.Record(0x0231, Data().U16(200).U16(0).U16(0x7FFF).Bytes8("Local"));
  s.Record(0x0443, Data().U8(0).U8(1).U16(0x0001).U8(0x20).U8(0).U16(0).U32(0));
  s.Record(0x0203, Cell(0, 0, 0).Double(1));
  s.Record(0x000A, Data());
  model::Workbook book = biff::ReadWorkbook(s.bytes, "");
  ASSERT_EQ(book.sheets.size(), 1u);
  EXPECT_EQ(book.sheets[0].name, "Book1");
  const model::CellStyle& style = book.Style(At(book.sheets[0], 0, 0).style);
  EXPECT_EQ(book.FontOf(style.font).name, "Local");
  EXPECT_EQ(style.numberFormat, "0.000");
}

// Workbooks written by python3-xlwt (tests/data/biff/make_workbooks.py): real compound files.
TEST(Reader, XlwtWorkbook) {
  std::filesystem::path file =
      std::filesystem::path(QUILLANE_SOURCE_DIR) / "tests/data/biff/xlwt_basic.xls";
  model::Workbook book = spreadsheet::ReadWorkbookFile(file, "");
  EXPECT_EQ(book.biff.version, 8);
  ASSERT_EQ(book.sheets.size(), 2u);
  EXPECT_EQ(book.sheets[0].name, "Values");
  EXPECT_EQ(book.sheets[1].name, "Hidden \u00e9t\u00e9");
  const model::Sheet& sheet = book.sheets[0];
  EXPECT_EQ(book.strings[At(sheet, 0, 0).text], "Text \u00e4\u00f6\u00fc \u20ac");
  EXPECT_EQ(At(sheet, 1, 0).number, 1234.5678);
  EXPECT_EQ(book.biff.xfs.at(At(sheet, 1, 0).style).format, 4);  // built-in "#,##0.00"
  EXPECT_EQ(At(sheet, 2, 0).number, 45000);
  EXPECT_EQ(book.biff.xfs.at(At(sheet, 2, 0).style).format, 14);
  EXPECT_EQ(At(sheet, 3, 0).type, model::CellType::Boolean);
  EXPECT_EQ(At(sheet, 4, 0).type, model::CellType::Blank);
  const model::CellStyle& style = book.Style(At(sheet, 4, 0).style);
  EXPECT_EQ(style.pattern, 1);
  EXPECT_EQ(style.patternColor, model::Color::Rgb(0xFFFF00));  // colour 13 of the palette
  EXPECT_EQ(book.fonts.at(book.Style(At(sheet, 0, 0).style).font).weight, 700);
  ASSERT_EQ(sheet.merged.size(), 1u);
  EXPECT_EQ(sheet.merged[0].firstRow, 6u);
  EXPECT_EQ(sheet.merged[0].lastCol, 2);
  EXPECT_EQ(sheet.ColumnWidth(0), 6000u);
  EXPECT_EQ(sheet.RowHeight(1), 500);
  EXPECT_EQ(sheet.frozenRows, 1u);
  const model::Cell& rich = At(sheet, 5, 0);
  EXPECT_EQ(book.strings[rich.text], "plain bold");
  ASSERT_TRUE(book.richText.count(rich.text));
  EXPECT_EQ(book.richText.at(rich.text).back().first, 6u);
  EXPECT_EQ(book.fonts.at(book.richText.at(rich.text).back().font).weight, 700);
  EXPECT_EQ(book.sheets[1].visibility, model::Visibility::Hidden);
}

TEST(Reader, XlwtSharedStringsAcrossContinueRecords) {
  std::filesystem::path file =
      std::filesystem::path(QUILLANE_SOURCE_DIR) / "tests/data/biff/xlwt_strings.xls";
  model::Workbook book = spreadsheet::ReadWorkbookFile(file, "");
  const model::Sheet& sheet = book.sheets.at(0);
  for (uint32_t i = 0; i < 2000; ++i) {
    std::string expected = "row " + std::to_string(i) + " ";
    for (uint32_t k = 0; k < i % 40; ++k) expected += i % 3 == 0 ? "\u0416\u00e9" : "ab";
    ASSERT_EQ(book.strings.at(At(sheet, i, 0).text), expected) << "row " << i;
  }
  std::string wide;
  for (int k = 0; k < 5000; ++k) wide += "\u4e2d";
  EXPECT_EQ(book.strings.at(At(sheet, 0, 1).text), wide);
  EXPECT_EQ(book.strings.at(At(sheet, 1, 1).text), std::string(9000, 'x'));
}
