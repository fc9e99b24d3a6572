// The SpreadsheetML reader over packages written by the test: values, styles, layout, links,
// comments, pictures, and hostile or unsupported packages.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "spreadsheet/ReadWorkbook.h"
#include "spreadsheet/format/NumberFormat.h"
#include "spreadsheet/ooxml/WorkbookReader.h"
#include "spreadsheet/publish/PagePublisher.h"
#include "tests/spreadsheet/ooxml/Package.h"

using namespace quillane;
using model::CellType;
namespace qt = quillane::testing;
using qt::PackageParts;
using qt::SheetXml;

namespace {

model::Workbook Read(const PackageParts& p) { return ooxml::ReadWorkbookBytes(p.Build(), ""); }

std::string TextAt(const model::Workbook& book, const model::Sheet& sheet, uint32_t row,
                   uint16_t col) {
  const model::Cell* c = sheet.Find(row, col);
  return c && c->type == CellType::String ? book.strings.at(c->text) : "<none>";
}

std::string ReadError(const std::vector<uint8_t>& bytes) {
  try {
    ooxml::ReadWorkbookBytes(bytes, "");
  } catch (const model::ReadError& e) {
    return e.what();
  }
  return "<read>";
}

}  // namespace

TEST(OoxmlReader, SheetsValuesAndStrings) {
  PackageParts p;
  p.sheetNames = {"Data", "Secret", "Gone"};
  p.sheetStates = {"", "hidden", "veryHidden"};
  p.workbookPr = "<workbookPr date1904=\"1\"/>";
  p.parts["xl/sharedStrings.xml"] =
      "<sst><si><t>plain</t></si>"
      "<si><r><t>bold </t></r><r><rPr><b/><sz val=\"14\"/><color "
      "rgb=\"FFFF0000\"/></rPr><t>r\xC3\xA9"
      "d</t></r>"
      "<r><t xml:space=\"preserve\"> tail</t></r><rPh><t>yomi</t></rPh></si>"
      "<si><t>line_x000D_break _x005F_x</t></si></sst>";
  p.parts["xl/worksheets/sheet1.xml"] = SheetXml(
      "<sheetData><row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" t=\"s\"><v>1</v></c>"
      "<c t=\"s\"><v>2</v></c><c r=\"E1\"><v>-1.5E+3</v></c></row>"
      "<row><c t=\"b\"><v>1</v></c><c t=\"e\"><f>1/0</f><v>#DIV/0!</v></c>"
      "<c t=\"str\"><f>A1&amp;\"x\"</f><v>plainx</v></c><c "
      "t=\"inlineStr\"><is><t>in&lt;line</t></is></c>"
      "<c t=\"d\"><v>1904-01-03T12:00:00</v></c></row></sheetData>");
  p.parts["xl/worksheets/sheet2.xml"] = SheetXml("<sheetData/>");
  p.parts["xl/worksheets/sheet3.xml"] = SheetXml("<sheetData/>");
  const model::Workbook book = Read(p);
  ASSERT_EQ(book.sheets.size(), 3u);
  EXPECT_TRUE(book.date1904);
  EXPECT_EQ(book.sheets[1].visibility, model::Visibility::Hidden);
  EXPECT_EQ(book.sheets[2].visibility, model::Visibility::VeryHidden);
  const model::Sheet& s = book.sheets[0];
  EXPECT_EQ(TextAt(book, s, 0, 0), "plain");
  EXPECT_EQ(TextAt(book, s, 0, 1),
            "bold r\xC3\xA9"
            "d tail");  // the phonetic run is left out
  EXPECT_EQ(TextAt(book, s, 0, 2), "line\rbreak _x");
  EXPECT_EQ(s.Find(0, 4)->number, -1500);
  // Runs count code points: "bold " is 5, "réd" 3; the last run has no properties.
  const auto& runs = book.richText.at(1);
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0].first, 5u);
  const model::Font& red = book.fonts.at(runs[0].font);
  EXPECT_EQ(red.weight, 700);
  EXPECT_EQ(red.height, 280);
  EXPECT_EQ(red.color, model::Color::Rgb(0xFF0000));
  EXPECT_EQ(runs[1].first, 8u);
  EXPECT_EQ(s.Find(1, 0)->type, CellType::Boolean);
  EXPECT_EQ(s.Find(1, 0)->code, 1);
  EXPECT_EQ(s.Find(1, 1)->type, CellType::Error);
  EXPECT_EQ(s.Find(1, 1)->code, 0x07);
  EXPECT_TRUE(s.Find(1, 1)->formula);
  EXPECT_EQ(TextAt(book, s, 1, 2), "plainx");
  EXPECT_EQ(TextAt(book, s, 1, 3), "in<line");
  EXPECT_DOUBLE_EQ(s.Find(1, 4)->number, 2.5);  // 1904 system: day 0 is 1904-01-01
}

TEST(OoxmlReader, PartsThePackageNamesButCannotGiveAreDamage) {
  // A sheet with a string, a date style and a picture: each part it names, when missing,
  // unreadable or of the wrong kind, makes the workbook damaged, with the part named.
  PackageParts p;
  p.sheetNames = {"S"};
  p.parts["xl/sharedStrings.xml"] = "<sst><si><t>x</t></si></sst>";
  p.parts["xl/styles.xml"] = "<styleSheet><cellXfs><xf numFmtId=\"14\"/></cellXfs></styleSheet>";
  p.parts["xl/worksheets/sheet1.xml"] = SheetXml(
      "<sheetData><row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" s=\"0\"><v>45000</v>"
      "</c></row></sheetData><drawing r:id=\"rD\"/>");
  const std::string rel = std::string("<Relationship Type=\"") + qt::kRelNs;
  p.parts["xl/worksheets/_rels/sheet1.xml.rels"] =
      "<Relationships>" + rel + "/drawing\" Id=\"rD\" Target=\"../drawings/drawing1.xml\"/>" +
      "</Relationships>";
  p.parts["xl/drawings/drawing1.xml"] =
      "<xdr:wsDr xmlns:xdr=\"d\" xmlns:a=\"a\" xmlns:r=\"r\"><xdr:oneCellAnchor><xdr:from>"
      "<xdr:col>1</xdr:col><xdr:row>1</xdr:row></xdr:from><xdr:ext cx=\"952500\" cy=\"952500\"/>"
      "<xdr:pic><xdr:blipFill><a:blip r:embed=\"rI\"/></xdr:blipFill></xdr:pic>"
      "<xdr:clientData/></xdr:oneCellAnchor></xdr:wsDr>";
  p.parts["xl/drawings/_rels/drawing1.xml.rels"] =
      "<Relationships>" + rel +
      "/image\" Id=\"rI\" Target=\"../media/image1.png\"/></Relationships>";
  p.parts["xl/media/image1.png"] = std::string("\x89PNG\r\n\x1a\n", 8) + "PICTUREBYTES";
  const model::Workbook whole = Read(p);
  ASSERT_EQ(whole.blips.size(), 1u);
  EXPECT_EQ(whole.blips[0].Bytes().size(), 20u);  // left packed, unpacked on request

  auto damage = [&](PackageParts q) { return ReadError(q.Build()); };
  auto without = [&](const std::string& part) {
    PackageParts q = p;
    q.omit = {part};
    return damage(q);
  };
  EXPECT_NE(
      without("xl/sharedStrings.xml").find("shared strings part xl/sharedStrings.xml is missing"),
      std::string::npos);
  EXPECT_NE(without("xl/styles.xml").find("styles part xl/styles.xml is missing"),
            std::string::npos);
  EXPECT_NE(
      without("xl/_rels/workbook.xml.rels").find("relationships part xl/_rels/workbook.xml.rels"),
      std::string::npos);
  EXPECT_NE(without("xl/drawings/drawing1.xml").find("drawing part"), std::string::npos);
  EXPECT_NE(without("xl/media/image1.png").find("picture part xl/media/image1.png is missing"),
            std::string::npos);
  PackageParts past = p;
  past.parts["xl/worksheets/sheet1.xml"] =
      SheetXml("<sheetData><row r=\"1\"><c r=\"A1\" t=\"s\"><v>1</v></c></row></sheetData>");
  EXPECT_NE(damage(past).find("names shared string 1, but the shared strings part holds 1"),
            std::string::npos);
  PackageParts unknown = p;
  unknown.parts["xl/_rels/workbook.xml.rels"] = "<Relationships/>";
  unknown.omit.clear();
  EXPECT_NE(damage(unknown).find("names the relationship \"rId1\""), std::string::npos);
  PackageParts itself = p;
  itself.parts["xl/_rels/workbook.xml.rels"] =
      "<Relationships>" + rel + "/worksheet\" Id=\"rId1\" Target=\"workbook.xml\"/>" + rel +
      "/sharedStrings\" Id=\"s\" Target=\"sharedStrings.xml\"/></Relationships>";
  EXPECT_NE(damage(itself).find("does not lead to a sheet part"), std::string::npos);
  PackageParts other = p;
  other.parts["xl/worksheets/sheet1.xml"] = "<sst/>";
  EXPECT_NE(damage(other).find("is not a worksheet"), std::string::npos);
  // The sheet's or the drawing's relationships gone: what they led to would silently vanish.
  EXPECT_NE(without("xl/worksheets/_rels/sheet1.xml.rels")
                .find("names the drawing relationship \"rD\", which "
                      "xl/worksheets/_rels/sheet1.xml.rels does not hold"),
            std::string::npos);
  EXPECT_NE(without("xl/drawings/_rels/drawing1.xml.rels").find("names the relationship \"rI\""),
            std::string::npos);

  // A picture whose bytes fail their check sum.
  std::vector<uint8_t> bytes = p.Build();
  const std::string mark = "PICTUREBYTES";
  auto at = std::search(bytes.begin(), bytes.end(), mark.begin(), mark.end());
  ASSERT_NE(at, bytes.end());
  *at ^= 1;
  EXPECT_NE(ReadError(bytes).find("fails its check sum"), std::string::npos);
  // Damaged content types are damage, not a sign of some other kind of file.
  std::vector<uint8_t> types = p.Build();
  const std::string head = "<?xml version=\"1.0\"?><Types";
  auto t = std::search(types.begin(), types.end(), head.begin(), head.end());
  ASSERT_NE(t, types.end());
  t[3] ^= 1;
  const std::string why = ReadError(types);
  EXPECT_NE(why.find("[Content_Types].xml\" fails its check sum"), std::string::npos) << why;
}

TEST(OoxmlReader, StylesColoursAndNumberFormats) {
  PackageParts p;
  p.sheetNames = {"S"};
  p.parts["xl/theme/theme1.xml"] =
      "<a:theme xmlns:a=\"x\"><a:themeElements><a:clrScheme name=\"t\">"
      "<a:dk1><a:sysClr val=\"windowText\" lastClr=\"000000\"/></a:dk1><a:lt1><a:srgbClr "
      "val=\"FFFFFF\"/></a:lt1>"
      "<a:dk2><a:srgbClr val=\"1F497D\"/></a:dk2><a:lt2><a:srgbClr val=\"EEECE1\"/></a:lt2>"
      "<a:accent1><a:srgbClr "
      "val=\"4F81BD\"/></a:accent1></a:clrScheme></a:themeElements></a:theme>";
  p.parts["xl/styles.xml"] =
      "<styleSheet><numFmts count=\"1\"><numFmt numFmtId=\"164\" "
      "formatCode=\"0.000&quot;kg&quot;\"/></numFmts>"
      "<fonts><font><sz val=\"11\"/><name val=\"Calibri\"/></font>"
      "<font><i/><u val=\"double\"/><sz val=\"9\"/><color theme=\"4\" "
      "tint=\"0.39997558519241921\"/><name val=\"Cambria\"/></font></fonts>"
      "<fills><fill><patternFill patternType=\"none\"/></fill><fill><patternFill "
      "patternType=\"gray125\"/></fill>"
      "<fill><patternFill patternType=\"solid\"><fgColor indexed=\"10\"/><bgColor "
      "indexed=\"64\"/></patternFill></fill>"
      "<fill><patternFill patternType=\"lightGrid\"><fgColor theme=\"3\"/><bgColor "
      "rgb=\"FF00FF00\"/></patternFill></fill></fills>"
      "<borders><border><left/><right/><top/><bottom/></border>"
      "<border><left style=\"thin\"><color indexed=\"8\"/></left><right "
      "style=\"mediumDashDot\"><color auto=\"1\"/></right>"
      "<top style=\"double\"><color theme=\"1\"/></top><bottom style=\"hair\"/></border></borders>"
      "<cellXfs><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/>"
      "<xf numFmtId=\"14\" fontId=\"1\" fillId=\"2\" borderId=\"1\"><alignment "
      "horizontal=\"centerContinuous\" "
      "vertical=\"top\" wrapText=\"1\" indent=\"2\" textRotation=\"135\"/></xf>"
      "<xf numFmtId=\"164\" fontId=\"9\" fillId=\"3\"><alignment shrinkToFit=\"true\" "
      "textRotation=\"255\"/></xf></cellXfs>"
      "<dxfs><dxf><font><b/></font><fill><patternFill><bgColor "
      "rgb=\"FF123456\"/></patternFill></fill></dxf></dxfs>"
      "<colors><indexedColors>"
      "<rgbColor rgb=\"FF000000\"/><rgbColor rgb=\"FFFFFFFF\"/><rgbColor "
      "rgb=\"FFFF0000\"/><rgbColor rgb=\"FF00FF00\"/>"
      "<rgbColor rgb=\"FF0000FF\"/><rgbColor rgb=\"FFFFFF00\"/><rgbColor "
      "rgb=\"FFFF00FF\"/><rgbColor rgb=\"FF00FFFF\"/>"
      "<rgbColor rgb=\"FF010203\"/><rgbColor rgb=\"FF040506\"/><rgbColor "
      "rgb=\"FFABCDEF\"/></indexedColors></colors>"
      "</styleSheet>";
  p.parts["xl/worksheets/sheet1.xml"] = SheetXml(
      "<sheetData><row r=\"1\"><c r=\"A1\" s=\"1\"><v>1</v></c>"
      "<c r=\"B1\" s=\"2\"/><c r=\"C1\" s=\"7\"><v>2</v></c></row></sheetData>");
  const model::Workbook book = Read(p);
  ASSERT_EQ(book.styles.size(), 3u);
  const model::CellStyle& s1 = book.styles[1];
  EXPECT_EQ(s1.numberFormat, format::BuiltinFormat(14));
  EXPECT_EQ(book.styles[2].numberFormat, "0.000\"kg\"");
  EXPECT_EQ(s1.hAlign, model::HAlign::CenterAcross);
  EXPECT_EQ(s1.vAlign, model::VAlign::Top);
  EXPECT_TRUE(s1.wrap);
  EXPECT_EQ(s1.indent, 2);
  EXPECT_EQ(s1.rotation, 135);
  EXPECT_TRUE(book.styles[2].shrink);
  EXPECT_EQ(book.styles[2].rotation, 255);
  // Fonts: the theme's accent 1 lightened by 40%; a font index past the table falls back to 0.
  const model::Font& f = book.fonts.at(s1.font);
  EXPECT_TRUE(f.italic);
  EXPECT_EQ(f.underline, model::Underline::Double);
  EXPECT_EQ(f.height, 180);
  EXPECT_EQ(f.name, "Cambria");
  EXPECT_EQ(f.color, model::Color::Rgb(0x95B3D7));
  EXPECT_EQ(book.styles[2].font, 0);
  // Fills: the custom palette gives index 10; 64 is the automatic background.
  EXPECT_EQ(s1.pattern, 1);
  EXPECT_EQ(s1.patternColor, model::Color::Rgb(0xABCDEF));
  EXPECT_TRUE(s1.patternBackground.automatic);
  EXPECT_EQ(book.palette[2], 0xABCDEFu);
  EXPECT_EQ(book.styles[2].pattern, 15);
  EXPECT_EQ(book.styles[2].patternColor, model::Color::Rgb(0x1F497D));  // theme 3 is dk2
  // Borders.
  EXPECT_EQ(s1.left.style, 1);
  EXPECT_EQ(s1.left.color, model::Color::Rgb(0x010203));
  EXPECT_EQ(s1.right.style, 10);
  EXPECT_TRUE(s1.right.color.automatic);
  EXPECT_EQ(s1.top.style, 6);
  EXPECT_EQ(s1.top.color, model::Color::Rgb(0x000000));  // theme 1 is dk1
  EXPECT_EQ(s1.bottom.style, 7);
  // A styled empty cell stays; a style index past the table is the default.
  EXPECT_EQ(book.sheets[0].Find(0, 1)->type, CellType::Blank);
  EXPECT_EQ(book.sheets[0].Find(0, 2)->style, 0);
}

TEST(OoxmlReader, LayoutLinksCommentsAndPictures) {
  PackageParts p;
  p.sheetNames = {"One", "Two"};
  p.parts["xl/worksheets/sheet1.xml"] = SheetXml(
      "<dimension ref=\"A1:D20\"/><sheetViews><sheetView showGridLines=\"0\"><pane xSplit=\"1\" "
      "ySplit=\"2\" "
      "state=\"frozen\"/></sheetView></sheetViews>"
      "<sheetFormatPr baseColWidth=\"10\" defaultColWidth=\"12.5\" defaultRowHeight=\"14.4\"/>"
      "<cols><col min=\"2\" max=\"3\" width=\"20.7109375\" customWidth=\"1\"/><col min=\"5\" "
      "max=\"5\" width=\"9\" hidden=\"1\"/></cols>"
      "<sheetData><row r=\"2\" ht=\"30\" customHeight=\"1\"><c r=\"A2\"><v>1</v></c></row><row "
      "r=\"4\" hidden=\"1\"/></sheetData>"
      "<mergeCells><mergeCell ref=\"B2:C3\"/><mergeCell ref=\"bogus\"/></mergeCells>"
      "<hyperlinks><hyperlink ref=\"A1\" r:id=\"rL\" tooltip=\"tip\"/><hyperlink ref=\"B5:B6\" "
      "location=\"'Two'!A1\" display=\"go\"/>"
      "<hyperlink ref=\"C5\" r:id=\"rF\"/></hyperlinks><drawing r:id=\"rD\"/>");
  p.parts["xl/worksheets/sheet2.xml"] = SheetXml("<sheetData/>");
  const std::string rel = std::string("<Relationship Type=\"") + qt::kRelNs;
  p.parts["xl/worksheets/_rels/sheet1.xml.rels"] =
      "<Relationships>" + rel +
      "/hyperlink\" Id=\"rL\" Target=\"https://example.org/a?b#frag\" TargetMode=\"External\"/>" +
      rel + "/hyperlink\" Id=\"rF\" Target=\"../docs/other.xlsx\" TargetMode=\"External\"/>" + rel +
      "/comments\" Id=\"rC\" Target=\"../comments1.xml\"/>" + rel +
      "/drawing\" Id=\"rD\" Target=\"/xl/drawings/drawing1.xml\"/>"
      "</Relationships>";
  p.parts["xl/comments1.xml"] =
      "<comments><authors><author>Ann</author><author>Bob</author></authors><commentList>"
      "<comment ref=\"C4\" authorId=\"1\"><text><r><rPr><b/></rPr><t>Bob:</t></r><r><t "
      "xml:space=\"preserve\"> hi</t></r></text></comment>"
      "</commentList></comments>";
  p.parts["xl/drawings/drawing1.xml"] =
      "<xdr:wsDr xmlns:xdr=\"d\" xmlns:a=\"a\" xmlns:r=\"r\">"
      "<xdr:twoCellAnchor><xdr:from><xdr:col>1</xdr:col><xdr:colOff>190500</xdr:colOff><xdr:row>2</"
      "xdr:row><xdr:rowOff>0</xdr:rowOff></xdr:from>"
      "<xdr:to><xdr:col>3</xdr:col><xdr:colOff>0</xdr:colOff><xdr:row>6</"
      "xdr:row><xdr:rowOff>95250</xdr:rowOff></xdr:to>"
      "<xdr:pic><xdr:nvPicPr><xdr:cNvPr id=\"2\" "
      "name=\"Logo\"/></xdr:nvPicPr><xdr:blipFill><a:blip r:embed=\"rI\"/></xdr:blipFill>"
      "<xdr:spPr><a:xfrm><a:ext cx=\"1\" "
      "cy=\"1\"/></a:xfrm></xdr:spPr></xdr:pic><xdr:clientData/></xdr:twoCellAnchor>"
      "<xdr:oneCellAnchor><xdr:from><xdr:col>0</xdr:col><xdr:colOff>0</xdr:colOff><xdr:row>10</"
      "xdr:row><xdr:rowOff>0</xdr:rowOff></xdr:from>"
      "<xdr:ext cx=\"1905000\" cy=\"381000\"/><xdr:pic><xdr:blipFill><a:blip "
      "r:embed=\"rI\"/></xdr:blipFill></xdr:pic></xdr:oneCellAnchor>"
      "<xdr:absoluteAnchor><xdr:pos x=\"0\" y=\"0\"/><xdr:ext cx=\"10\" "
      "cy=\"10\"/><xdr:sp/></xdr:absoluteAnchor></xdr:wsDr>";
  p.parts["xl/drawings/_rels/drawing1.xml.rels"] =
      "<Relationships>" + rel +
      "/image\" Id=\"rI\" Target=\"../media/image1.png\"/></Relationships>";
  p.parts["xl/media/image1.png"] = std::string("\x89PNG\r\n\x1a\n", 8) + "rest";
  const model::Workbook book = Read(p);
  const model::Sheet& s = book.sheets[0];
  EXPECT_FALSE(s.showGridlines);
  EXPECT_EQ(s.frozenCols, 1);
  EXPECT_EQ(s.frozenRows, 2u);
  EXPECT_TRUE(s.hasDimensions);
  EXPECT_EQ(s.dimensions.lastRow, 19u);
  EXPECT_EQ(s.ColumnWidth(1), 5302u);  // 20.71 characters
  EXPECT_EQ(s.ColumnWidth(0), 3200u);  // the default width
  EXPECT_TRUE(s.ColumnHidden(4));
  EXPECT_EQ(s.RowHeight(1), 600);
  EXPECT_EQ(s.RowHeight(0), 288);
  EXPECT_TRUE(s.RowHidden(3));
  ASSERT_EQ(s.merged.size(), 1u);
  EXPECT_EQ(s.merged[0].lastCol, 2);
  ASSERT_EQ(s.hyperlinks.size(), 3u);
  EXPECT_EQ(s.hyperlinks[0].kind, model::LinkKind::Url);
  EXPECT_EQ(s.hyperlinks[0].target, "https://example.org/a?b");
  EXPECT_EQ(s.hyperlinks[0].location, "frag");
  EXPECT_EQ(s.hyperlinks[0].tooltip, "tip");
  EXPECT_EQ(s.hyperlinks[1].kind, model::LinkKind::Place);
  EXPECT_EQ(s.hyperlinks[1].location, "'Two'!A1");
  EXPECT_EQ(s.hyperlinks[1].range.lastRow, 5u);
  EXPECT_EQ(s.hyperlinks[2].kind, model::LinkKind::File);
  EXPECT_EQ(s.hyperlinks[2].target, "../docs/other.xlsx");  // external targets stay as written
  ASSERT_EQ(s.comments.size(), 1u);
  EXPECT_EQ(s.comments[0].author, "Bob");
  EXPECT_EQ(s.comments[0].text, "Bob: hi");
  EXPECT_EQ(s.comments[0].row, 3u);
  // Two pictures share one blip; the shape without a picture is left out.
  ASSERT_EQ(s.pictures.size(), 2u);
  ASSERT_EQ(book.blips.size(), 1u);
  EXPECT_EQ(book.blips[0].type, model::BlipType::Png);
  const model::Picture& a = s.pictures[0];
  EXPECT_EQ(a.name, "Logo");
  EXPECT_EQ(a.col1, 1);
  EXPECT_EQ(a.dx1, 1024 * 20 / 145);  // 20 of the column's 145 pixels
  EXPECT_EQ(a.row2, 6u);
  EXPECT_EQ(a.dy2, 256 * 100 / 192);  // 10 of the row's 19.2 pixels
  const model::Picture& b = s.pictures[1];
  // 200 pixels from column A: A is 12.5 characters (88 pixels), B 145: ends in B.
  EXPECT_EQ(b.col2, 1);
  EXPECT_EQ(b.row1, 10u);
  EXPECT_EQ(b.row2, 12u);  // 40 pixels over rows of 19.2
}

TEST(OoxmlReader, StrictPackagesContentDetectionAndRefusals) {
  // The strict namespaces, read from a file named .xls: recognised by content.
  PackageParts p;
  p.relsNs = "http://purl.oclc.org/ooxml/officeDocument/relationships";
  p.sheetNames = {"Strict"};
  p.parts["xl/worksheets/sheet1.xml"] =
      "<worksheet xmlns=\"http://purl.oclc.org/ooxml/spreadsheetml/main\"><sheetData><row "
      "r=\"3\"><c r=\"C3\"><v>42</v></c>"
      "</row></sheetData></worksheet>";
  const auto path = std::filesystem::temp_directory_path() / "ooxml-strict-test.xls";
  {
    const auto bytes = p.Build();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
  }
  const model::Workbook book = spreadsheet::ReadWorkbookFile(path, "");
  EXPECT_EQ(book.sheets.at(0).name, "Strict");
  EXPECT_EQ(book.sheets[0].Find(2, 2)->number, 42);
  // Without its content types the package is damaged, not some other kind of file.
  PackageParts untyped = p;
  untyped.omit = {"[Content_Types].xml"};
  {
    const auto bytes = untyped.Build();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
  }
  try {
    spreadsheet::ReadWorkbookFile(path, "");
    ADD_FAILURE() << "a package without content types was read";
  } catch (const model::ReadError& e) {
    EXPECT_NE(std::string(e.what()).find("no content types"), std::string::npos) << e.what();
  }
  std::filesystem::remove(path);

  // Hostile XML: entity declarations, deep nesting; damage; a binary workbook.
  PackageParts bomb = p;
  bomb.parts["xl/worksheets/sheet1.xml"] =
      "<!DOCTYPE w [<!ENTITY a \"aaaa\"><!ENTITY b "
      "\"&a;&a;&a;&a;\">]><worksheet><sheetData>&b;</sheetData></worksheet>";
  EXPECT_NE(ReadError(bomb.Build()).find("declares entities"), std::string::npos);
  PackageParts deep = p;
  deep.parts["xl/worksheets/sheet1.xml"] = "<worksheet>";
  for (int i = 0; i < 1000; ++i) deep.parts["xl/worksheets/sheet1.xml"] += "<x>";
  EXPECT_NE(ReadError(deep.Build()).find("nest too deep"), std::string::npos);
  PackageParts defaults = p;
  defaults.parts["xl/worksheets/sheet1.xml"] =
      "<!DOCTYPE w [<!ATTLIST c t CDATA \"e\">]><worksheet><sheetData/></worksheet>";
  EXPECT_NE(ReadError(defaults.Build()).find("declares default attributes"), std::string::npos);
  PackageParts broken = p;
  broken.parts["xl/worksheets/sheet1.xml"] = "<worksheet><sheetData>";
  EXPECT_NE(
      ReadError(broken.Build()).find("The workbook is damaged: the part xl/worksheets/sheet1.xml"),
      std::string::npos);
  qt::ZipWriter xlsb;
  xlsb.Add("[Content_Types].xml",
           "<Types><Override PartName=\"/xl/workbook.bin\" ContentType=\"application/"
           "vnd.ms-excel.sheet.binary.macroEnabled.main\"/></Types>");
  xlsb.Add("xl/workbook.bin", "binary");
  EXPECT_NE(ReadError(xlsb.Finish()).find("not supported"), std::string::npos);
  qt::ZipWriter other;
  other.Add("[Content_Types].xml", "<Types/>");
  EXPECT_EQ(ReadError(other.Finish()).rfind("Not a workbook", 0), 0u);
}

TEST(OoxmlReader, PartNamesWithBackslashesAndAnotherCaseReadAsTheirCleanTwin) {
  PackageParts p;
  p.sheetNames = {"Names", "Second"};
  p.parts["xl/sharedStrings.xml"] = "<sst><si><t>shared</t></si></sst>";
  p.parts["xl/styles.xml"] =
      "<styleSheet><cellXfs><xf numFmtId=\"0\"/><xf numFmtId=\"14\"/></cellXfs></styleSheet>";
  p.parts["xl/worksheets/sheet1.xml"] = SheetXml(
      "<sheetData><row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" s=\"1\"><v>43000</v>"
      "</c></row></sheetData><drawing r:id=\"rD\"/>");
  p.parts["xl/worksheets/sheet2.xml"] =
      SheetXml("<sheetData><row><c><v>2</v></c></row></sheetData>");
  const std::string rel = std::string("<Relationship Type=\"") + qt::kRelNs;
  p.parts["xl/worksheets/_rels/sheet1.xml.rels"] =
      "<Relationships>" + rel + "/comments\" Id=\"rC\" Target=\"../comments1.xml\"/>" + rel +
      "/drawing\" Id=\"rD\" Target=\"/xl/drawings/drawing1.xml\"/></Relationships>";
  p.parts["xl/comments1.xml"] =
      "<comments><authors><author>Ann</author></authors><commentList><comment ref=\"A1\" "
      "authorId=\"0\"><text><t>note</t></text></comment></commentList></comments>";
  p.parts["xl/drawings/drawing1.xml"] =
      "<xdr:wsDr xmlns:xdr=\"d\" xmlns:a=\"a\" xmlns:r=\"r\"><xdr:oneCellAnchor><xdr:from>"
      "<xdr:col>2</xdr:col><xdr:colOff>0</xdr:colOff><xdr:row>1</xdr:row><xdr:rowOff>0</xdr:rowOff>"
      "</xdr:from><xdr:ext cx=\"190500\" cy=\"190500\"/><xdr:pic><xdr:blipFill><a:blip "
      "r:embed=\"rI\"/></xdr:blipFill></xdr:pic></xdr:oneCellAnchor></xdr:wsDr>";
  p.parts["xl/drawings/_rels/drawing1.xml.rels"] =
      "<Relationships>" + rel +
      "/image\" Id=\"rI\" Target=\"../media/image1.png\"/></Relationships>";
  p.parts["xl/media/image1.png"] = std::string("\x89PNG\r\n\x1a\n", 8) + "rest";
  const std::vector<uint8_t> clean = p.Build();
  const std::vector<uint8_t> odd = qt::Renamed(clean, [](const std::string& name) {
    return name == "[Content_Types].xml" ? "[content_types].xml" : qt::WindowsName(name);
  });
  ASSERT_NE(odd, clean);
  const model::Workbook a = ooxml::ReadWorkbookBytes(clean, "");
  const model::Workbook b = ooxml::ReadWorkbookBytes(odd, "");
  ASSERT_EQ(b.sheets.size(), 2u);
  ASSERT_EQ(b.sheets[0].comments.size(), 1u);
  ASSERT_EQ(b.blips.size(), 1u);
  EXPECT_EQ(b.blips[0].data, a.blips[0].data);
  for (size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(publish::RenderSheet(b, i, "b_1.files", "b_1.htm").html,
              publish::RenderSheet(a, i, "b_1.files", "b_1.htm").html);
  }
  const std::string page = publish::RenderSheet(b, 0, "b_1.files", "b_1.htm").html;
  EXPECT_NE(page.find(">shared</td>"), std::string::npos);
  EXPECT_EQ(page.find(">43000</td>"), std::string::npos);  // a date, not its serial number
}

TEST(OoxmlReader, SheetsThatShareOnePartEachCostWhatItHolds) {
  // A hundred sheets that lead to one part of a cell at A1 and one at the grid's last
  // position: each is read, and each page is a few rows, not a row per row of the grid.
  PackageParts p;
  std::string rels = "<Relationships>";
  std::string sheets;
  for (int i = 1; i <= 100; ++i) {
    p.sheetNames.push_back("S" + std::to_string(i));
    rels += std::string("<Relationship Id=\"rId") + std::to_string(i) + "\" Type=\"" + qt::kRelNs +
            "/worksheet\" Target=\"worksheets/sheet1.xml\"/>";
  }
  p.parts["xl/_rels/workbook.xml.rels"] = rels + "</Relationships>";
  p.parts["xl/worksheets/sheet1.xml"] = SheetXml(
      "<sheetData><row r=\"1\"><c r=\"A1\"><v>1</v></c></row><row r=\"1048576\">"
      "<c r=\"XFD1048576\"><v>2</v></c></row></sheetData>");
  const model::Workbook book = Read(p);
  ASSERT_EQ(book.sheets.size(), 100u);
  size_t bytes = 0;
  for (size_t i = 0; i < book.sheets.size(); ++i)
    bytes += publish::RenderSheet(book, i, "b.files", "b.htm").html.size();
  EXPECT_LT(bytes, 100u * 2048);
}

TEST(OoxmlReader, PagesReachPastTheOlderGrid) {
  // Row 70,000 and column 300 lie past the .xls grid but inside this format's: the page shows
  // them, as far down and to the right as the rows and columns before them reach (runs of empty
  // rows and columns are one row or column each).
  PackageParts p;
  p.sheetNames = {"Wide"};
  p.parts["xl/worksheets/sheet1.xml"] = SheetXml(
      "<sheetData><row r=\"70000\"><c r=\"KN70000\"><v>7</v></c></row></sheetData>"
      "<mergeCells><mergeCell ref=\"A1:XFD2\"/></mergeCells>");
  const model::Workbook book = Read(p);
  const publish::Page page = publish::RenderSheet(book, 0, "b_1.files", "b_1.htm");
  size_t rows = 0, cols = 0;
  for (size_t at = page.html.find("<tr "); at != std::string::npos;
       at = page.html.find("<tr ", at + 1))
    ++rows;
  for (size_t at = page.html.find("<col "); at != std::string::npos;
       at = page.html.find("<col ", at + 1))
    ++cols;
  EXPECT_LE(rows, 4u);
  EXPECT_LE(cols, 4u);  // the empty merge over every column adds none
  int64_t height = 0, width = 0;
  for (size_t at = page.html.find("<tr style=\"height:"); at != std::string::npos;
       at = page.html.find("<tr style=\"height:", at + 1))
    height += std::stoll(page.html.substr(at + 18));
  for (size_t at = page.html.find("<col style=\"width:"); at != std::string::npos;
       at = page.html.find("<col style=\"width:", at + 1))
    width += std::stoll(page.html.substr(at + 18));
  EXPECT_EQ(height, 70000 * 20);
  EXPECT_EQ(width, 300 * 72);
  EXPECT_NE(page.html.find(">7</td>"), std::string::npos);
}
