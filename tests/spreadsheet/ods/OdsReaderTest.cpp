// The OpenDocument reader over small documents written here: tables, repeats, merges, values,
// styles, comments, links, pictures; packages, encrypted packages and hostile XML.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "spreadsheet/ReadWorkbook.h"
#include "spreadsheet/container/Zip.h"
#include "spreadsheet/ods/OdsReader.h"
#include "spreadsheet/publish/PagePublisher.h"
#include "tests/spreadsheet/container/ZipWriter.h"
#include "tests/spreadsheet/ods/OdsTestDocument.h"

using namespace quillane;
using quillane::testing::Bytes;
using quillane::testing::ContentXml;
using quillane::testing::FlatDocument;
using quillane::testing::StylesXml;

namespace {

model::Workbook ReadFlat(const std::string& tables, const std::string& styles = "",
                         const std::string& automatic = "") {
  return ods::ReadFlatOpenDocument(Bytes(FlatDocument(tables, styles, automatic)));
}

std::string Table(const std::string& rows, const std::string& attributes = "") {
  return "<table:table table:name=\"T\"" + attributes + ">" + rows + "</table:table>";
}

std::string Message(const std::function<void()>& f) {
  try {
    f();
  } catch (const model::ReadError& e) {
    return e.what();
  }
  return "(no error)";
}

const model::CellStyle& StyleAt(const model::Workbook& book, uint32_t row, uint16_t col) {
  const model::Cell* cell = book.sheets[0].Find(row, col);
  EXPECT_NE(cell, nullptr) << row << "," << col;
  return book.Style(cell ? cell->style : 0);
}

}  // namespace

TEST(OdsReader, TablesInOrderWithVisibilityAndRepeatsThatCostNothing) {
  const std::string automatic = R"(<style:style style:name="ta2" style:family="table">)"
                                R"(<style:table-properties table:display="false"/></style:style>)";
  const model::Workbook book = ReadFlat(
      Table(R"(<table:table-column table:number-columns-repeated="16384"/>)"
            R"(<table:table-row table:number-rows-repeated="1048575">)"
            R"(<table:table-cell table:number-columns-repeated="16384"/></table:table-row>)"
            R"(<table:table-row><table:table-cell table:number-columns-repeated="3"/>)"
            R"(<table:table-cell office:value-type="float" office:value="7"/></table:table-row>)") +
          R"(<table:table table:name="Second" table:style-name="ta2"><table:table-row>)"
          R"(<table:table-cell office:value-type="float" office:value="1")"
          R"( table:number-columns-repeated="3"/></table:table-row></table:table>)",
      "", automatic);
  ASSERT_EQ(book.sheets.size(), 2u);
  EXPECT_EQ(book.sheets[0].name, "T");
  EXPECT_EQ(book.sheets[0].visibility, model::Visibility::Visible);
  EXPECT_EQ(book.sheets[1].name, "Second");
  EXPECT_EQ(book.sheets[1].visibility, model::Visibility::Hidden);
  ASSERT_EQ(book.sheets[0].cells.size(), 1u);  // nothing for the empty runs
  EXPECT_EQ(book.sheets[0].cells[0].row, 1048575u);
  EXPECT_EQ(book.sheets[0].cells[0].col, 3);
  EXPECT_EQ(book.sheets[1].cells.size(), 3u);  // a repeated value is a value in every place

  // Values repeated past the limits are refused, not stored.
  EXPECT_NE(Message([] {
              ReadFlat(Table(R"(<table:table-row table:number-rows-repeated="999999999">)"
                             R"(<table:table-cell table:number-columns-repeated="999999999")"
                             R"( office:value-type="string"><text:p>X</text:p>)"
                             R"(</table:table-cell></table:table-row>)"));
            }).find("The workbook is too large"),
            std::string::npos);

  // Formats without values: every one is kept up to the sheet's bound of cells, and past it the
  // workbook is refused; none is cut without a word. A format repeated to the grid's last
  // column is the row's own format.
  const std::string filled = R"(<style:style style:name="F" style:family="table-cell">)"
                             R"(<style:table-cell-properties fo:background-color="#ffff00"/>)"
                             R"(</style:style>)";
  auto formats = [&](int rows, int columns) {
    return ReadFlat(Table("<table:table-row table:number-rows-repeated=\"" + std::to_string(rows) +
                          "\"><table:table-cell table:style-name=\"F\" "
                          "table:number-columns-repeated=\"" +
                          std::to_string(columns) + "\"/></table:table-row>"),
                    "", filled);
  };
  EXPECT_EQ(formats(2000, 1000).sheets[0].cells.size(), 2000000u);
  EXPECT_NE(Message([&] { formats(5000, 1000); }).find("holds more than 4194304 cells"),
            std::string::npos);
  // A few hundred bytes may not stand for more cells than a page could ever write of them.
  EXPECT_NE(Message([&] { formats(3000, 1000); }).find("the most for a file of its size"),
            std::string::npos);
  const model::Workbook whole = ReadFlat(
      Table(R"(<table:table-row table:number-rows-repeated="3000">)"
            R"(<table:table-cell office:value-type="float" office:value="1"/><table:table-cell/>)"
            R"(<table:table-cell table:style-name="F" table:number-columns-repeated="16382"/>)"
            R"(</table:table-row>)"),
      "", filled);
  const model::Sheet& sheet = whole.sheets[0];
  EXPECT_EQ(sheet.cells.size(), 6000u);  // the value and the unformatted blank before the run
  ASSERT_TRUE(sheet.rows.count(2999));
  EXPECT_TRUE(sheet.rows.at(2999).hasStyle);
  EXPECT_EQ(whole.Style(sheet.rows.at(2999).style).patternColor, model::Color::Rgb(0xFFFF00));
}

TEST(OdsReader, ValuesOfEveryTypeMergesCommentsAndLinks) {
  const model::Workbook book = ReadFlat(Table(
      R"(<table:table-row>)"
      R"(<table:table-cell office:value-type="float" office:value="-1.5E3" table:formula="of:=1"/>)"
      R"(<table:table-cell office:value-type="percentage" office:value="0.25"/>)"
      R"(<table:table-cell office:value-type="currency" office:currency="EUR" office:value="3"/>)"
      R"(<table:table-cell office:value-type="date" office:date-value="2024-03-01T12:00:00"/>)"
      R"(<table:table-cell office:value-type="date" office:date-value="1900-01-01"/>)"
      R"(<table:table-cell office:value-type="time" office:time-value="PT36H30M00S"/>)"
      R"(<table:table-cell office:value-type="boolean" office:boolean-value="true"/>)"
      R"(<table:table-cell office:value-type="string"><text:p>Two <text:s text:c="2"/>words</text:p>)"
      R"(<text:p>second line</text:p></table:table-cell>)"
      R"(<table:table-cell office:value-type="float" office:value="0" calcext:value-type="error">)"
      R"(<text:p>#DIV/0!</text:p></table:table-cell>)"
      R"(</table:table-row><table:table-row>)"
      R"(<table:table-cell table:number-columns-spanned="2" table:number-rows-spanned="2")"
      R"( office:value-type="string"><text:p>see <text:a xlink:href="#Other.B2">there</text:a>)"
      R"(</text:p><office:annotation><dc:creator>Ann</dc:creator><text:p>note</text:p>)"
      R"(<text:p>more</text:p></office:annotation></table:table-cell>)"
      R"(<table:covered-table-cell><text:p>hidden</text:p></table:covered-table-cell>)"
      R"(<table:table-cell><text:p><text:a xlink:href="https://example.org/a">web</text:a></text:p>)"
      R"(</table:table-cell></table:table-row>)"));
  const model::Sheet& sheet = book.sheets[0];
  auto cell = [&](uint32_t r, uint16_t c) { return *sheet.Find(r, c); };
  EXPECT_DOUBLE_EQ(cell(0, 0).number, -1500);
  EXPECT_TRUE(cell(0, 0).formula);
  EXPECT_DOUBLE_EQ(cell(0, 1).number, 0.25);
  EXPECT_EQ(book.Style(cell(0, 1).style).numberFormat, "0.00%");
  EXPECT_DOUBLE_EQ(cell(0, 3).number, 45352.5);  // the serial of the 1900 system
  EXPECT_DOUBLE_EQ(cell(0, 4).number, 1);
  EXPECT_EQ(book.Style(cell(0, 4).style).numberFormat, "mm/dd/yy");
  EXPECT_DOUBLE_EQ(cell(0, 5).number, 1.5208333333333333);
  EXPECT_EQ(cell(0, 6).type, model::CellType::Boolean);
  EXPECT_EQ(cell(0, 6).code, 1);
  EXPECT_EQ(book.strings[cell(0, 7).text], "Two   words\nsecond line");
  EXPECT_TRUE(book.Style(cell(0, 7).style).wrap);
  EXPECT_EQ(cell(0, 8).type, model::CellType::Error);
  EXPECT_EQ(cell(0, 8).code, 0x07);

  EXPECT_EQ(book.strings[cell(1, 0).text], "see there");
  EXPECT_EQ(sheet.Find(1, 1), nullptr);  // covered
  ASSERT_EQ(sheet.merged.size(), 1u);
  EXPECT_EQ(sheet.merged[0].lastRow, 2u);
  EXPECT_EQ(sheet.merged[0].lastCol, 1);
  ASSERT_EQ(sheet.comments.size(), 1u);
  EXPECT_EQ(sheet.comments[0].author, "Ann");
  EXPECT_EQ(sheet.comments[0].text, "note\nmore");
  ASSERT_EQ(sheet.hyperlinks.size(), 2u);
  EXPECT_EQ(sheet.hyperlinks[0].kind, model::LinkKind::Place);
  EXPECT_EQ(sheet.hyperlinks[0].location, "Other!B2");
  EXPECT_EQ(sheet.hyperlinks[1].kind, model::LinkKind::Url);
  EXPECT_EQ(sheet.hyperlinks[1].target, "https://example.org/a");
  EXPECT_EQ(sheet.hyperlinks[1].range.firstCol, 2);

  // A document counting from 1904 keeps that system.
  const model::Workbook b1904 =
      ReadFlat(R"(<table:calculation-settings><table:null-date table:date-value="1904-01-01"/>)"
               R"(</table:calculation-settings>)" +
               Table(R"(<table:table-row><table:table-cell office:value-type="date")"
                     R"( office:date-value="1904-01-03"/></table:table-row>)"));
  EXPECT_TRUE(b1904.date1904);
  EXPECT_DOUBLE_EQ(b1904.sheets[0].cells[0].number, 2);
}

TEST(OdsReader, CellColumnAndRowStylesWithParentsAndDefaults) {
  const std::string styles =
      R"(<style:default-style style:family="table-cell">)"
      R"(<style:text-properties style:font-name="Body" fo:font-size="11pt"/></style:default-style>)"
      R"(<style:style style:name="Default" style:family="table-cell"/>)"
      R"(<style:style style:name="Heading" style:family="table-cell" style:parent-style-name="Default">)"
      R"(<style:table-cell-properties fo:background-color="#ffcc00" fo:border="0.74pt solid #ff0000")"
      R"( fo:border-bottom="2.5pt double #0000ff" style:rotation-angle="270" fo:wrap-option="wrap")"
      R"( style:vertical-align="middle"/><style:paragraph-properties fo:text-align="center"/>)"
      R"(<style:text-properties fo:font-weight="bold" fo:color="#00ff00"/></style:style>)";
  const std::string automatic =
      R"(<style:style style:name="ce1" style:family="table-cell" style:parent-style-name="Heading">)"
      R"(<style:text-properties fo:font-style="italic"/></style:style>)"
      R"(<style:style style:name="co1" style:family="table-column">)"
      R"(<style:table-column-properties style:column-width="1in"/></style:style>)"
      R"(<style:style style:name="ro1" style:family="table-row">)"
      R"(<style:table-row-properties style:row-height="0.5in"/></style:style>)";
  const model::Workbook book = ReadFlat(
      R"(<office:font-face-decls/>)" +
          Table(
              R"(<table:table-column table:style-name="co1" table:number-columns-repeated="2")"
              R"( table:visibility="collapse"/><table:table-column/>)"
              R"(<table:table-row table:style-name="ro1"><table:table-cell table:style-name="ce1")"
              R"( office:value-type="float" office:value="1"/></table:table-row>)"
              R"(<table:table-row table:visibility="collapse"><table:table-cell/></table:table-row>)"),
      styles, automatic);
  EXPECT_EQ(book.FontOf(0).height, 220);  // the default style's font is the default font
  const model::CellStyle& s = StyleAt(book, 0, 0);
  const model::Font& font = book.FontOf(s.font);
  EXPECT_EQ(font.height, 220);
  EXPECT_EQ(font.weight, 700);
  EXPECT_TRUE(font.italic);
  EXPECT_EQ(font.color, model::Color::Rgb(0x00FF00));
  EXPECT_EQ(s.pattern, 1);
  EXPECT_EQ(s.patternColor, model::Color::Rgb(0xFFCC00));
  EXPECT_EQ(s.left.style, 1);
  EXPECT_EQ(s.left.color, model::Color::Rgb(0xFF0000));
  EXPECT_EQ(s.bottom.style, 6);
  EXPECT_EQ(s.hAlign, model::HAlign::Center);
  EXPECT_EQ(s.vAlign, model::VAlign::Center);
  EXPECT_TRUE(s.wrap);
  EXPECT_EQ(s.rotation, 180);  // 90 degrees down

  const model::Sheet& sheet = book.sheets[0];
  ASSERT_EQ(sheet.columns.size(), 2u);
  EXPECT_EQ(sheet.columns[0].last, 1);
  EXPECT_TRUE(sheet.ColumnHidden(1));
  EXPECT_FALSE(sheet.ColumnHidden(2));
  // 1 inch is 96 pixels: in 1/256 of the 11pt font's digit width (8 pixels).
  EXPECT_EQ(sheet.ColumnWidth(0), 96u * 256 / 8);
  EXPECT_EQ(sheet.RowHeight(0), 720);
  EXPECT_TRUE(sheet.RowHidden(1));
}

TEST(OdsReader, PicturesAnchoredToCells) {
  const std::string png = "\x89PNG\r\n\x1a\n0000";
  const std::string frame =
      R"(<draw:frame draw:name="Logo" svg:x="0.5in" svg:y="0in" svg:width="1in" svg:height="0.5in">)"
      R"(<draw:image xlink:href="Pictures/logo.png"/></draw:frame>)";
  const std::string tables = Table(R"(<table:table-column table:number-columns-repeated="4"/>)"
                                   R"(<table:table-row><table:table-cell/><table:table-cell>)" +
                                   frame + R"(</table:table-cell></table:table-row>)");
  quillane::testing::ZipWriter zip;
  zip.Add("mimetype", "application/vnd.oasis.opendocument.spreadsheet");
  zip.Add("content.xml", ContentXml(tables));
  zip.Add("Pictures/logo.png", png);
  const std::vector<uint8_t> bytes = zip.Finish();
  const container::Zip archive(bytes);
  ASSERT_TRUE(ods::IsOpenDocument(archive));
  const model::Workbook book = ods::ReadOpenDocumentPackage(archive);
  ASSERT_EQ(book.blips.size(), 1u);
  EXPECT_EQ(book.blips[0].type, model::BlipType::Png);
  ASSERT_EQ(book.sheets[0].pictures.size(), 1u);
  const model::Picture& p = book.sheets[0].pictures[0];
  EXPECT_EQ(p.name, "Logo");
  // Columns of 64pt: the picture starts 36pt into B and ends 44pt into C.
  EXPECT_EQ(p.col1, 1);
  EXPECT_NEAR(p.dx1, 576, 2);
  EXPECT_EQ(p.col2, 2);
  EXPECT_NEAR(p.dx2, 704, 2);
  EXPECT_EQ(p.row1, 0u);
  EXPECT_GT(p.row2, 0u);
  EXPECT_EQ(book.blips[0].Bytes(), std::vector<uint8_t>(png.begin(), png.end()));

  // Damage: a picture the content names that is missing or fails its check sum, the styles the
  // manifest lists missing.
  quillane::testing::ZipWriter lost;
  lost.Add("mimetype", "application/vnd.oasis.opendocument.spreadsheet");
  lost.Add(
      "META-INF/manifest.xml",
      R"(<manifest:manifest xmlns:manifest="urn:oasis:names:tc:opendocument:xmlns:manifest:1.0">)"
      R"(<manifest:file-entry manifest:full-path="styles.xml"/></manifest:manifest>)");
  lost.Add("content.xml", ContentXml(tables));
  const std::vector<uint8_t> lostBytes = lost.Finish();
  const std::string why = Message([&] { ods::ReadOpenDocumentPackage(container::Zip(lostBytes)); });
  EXPECT_NE(why.find("the part styles.xml, which the manifest lists, is missing"),
            std::string::npos)
      << why;
  std::vector<uint8_t> flipped = bytes;
  const std::vector<uint8_t> mark(png.begin(), png.end());
  auto at = std::search(flipped.begin(), flipped.end(), mark.begin(), mark.end());
  ASSERT_NE(at, flipped.end());
  at[9] ^= 1;
  EXPECT_NE(Message([&] {
              ods::ReadOpenDocumentPackage(container::Zip(flipped));
            }).find("fails its check sum"),
            std::string::npos);
  quillane::testing::ZipWriter missing;
  missing.Add("mimetype", "application/vnd.oasis.opendocument.spreadsheet");
  missing.Add("content.xml", ContentXml(tables));
  const std::vector<uint8_t> missingBytes = missing.Finish();
  EXPECT_NE(Message([&] {
              ods::ReadOpenDocumentPackage(container::Zip(missingBytes));
            }).find("the picture Pictures/logo.png is missing"),
            std::string::npos);
}

TEST(OdsReader, PackagesEncryptedPackagesAndTheEngine) {
  const std::string styles =
      R"(<number:date-style style:name="D1"><number:year number:style="long"/><number:text>-</number:text>)"
      R"(<number:month number:style="long"/></number:date-style>)"
      R"(<style:style style:name="Dated" style:family="table-cell" style:data-style-name="D1"/>)";
  const std::string tables = Table(
      R"(<table:table-row><table:table-cell table:style-name="Dated" office:value-type="date")"
      R"( office:date-value="2020-05-17"/></table:table-row>)");
  quillane::testing::ZipWriter zip;
  zip.Add("mimetype", "application/vnd.oasis.opendocument.spreadsheet-template");
  zip.Add("content.xml", ContentXml(tables));
  zip.Add("styles.xml", StylesXml(styles));
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("ods-test-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  auto write = [&](const std::string& name, const std::vector<uint8_t>& data) {
    std::ofstream(dir / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(data.data()),
               static_cast<std::streamsize>(data.size()));
    return dir / name;
  };
  const model::Workbook book = spreadsheet::ReadWorkbookFile(write("a.xls", zip.Finish()), "");
  EXPECT_EQ(book.Style(book.sheets[0].cells[0].style).numberFormat, "yyyy\"-\"mm");

  const model::Workbook flat =
      spreadsheet::ReadWorkbookFile(write("b.fods", Bytes(FlatDocument(tables, styles))), "");
  EXPECT_EQ(flat.sheets[0].cells[0].number, book.sheets[0].cells[0].number);

  quillane::testing::ZipWriter locked;
  locked.Add("mimetype", "application/vnd.oasis.opendocument.spreadsheet");
  locked.Add(
      "META-INF/manifest.xml",
      R"(<manifest:manifest xmlns:manifest="urn:oasis:names:tc:opendocument:xmlns:manifest:1.0">)"
      R"(<manifest:file-entry manifest:full-path="content.xml"><manifest:encryption-data/>)"
      R"(</manifest:file-entry></manifest:manifest>)");
  locked.Add("content.xml", "\x01\x02 not xml");
  const auto lockedPath = write("c.ods", locked.Finish());
  EXPECT_EQ(Message([&] { spreadsheet::ReadWorkbookFile(lockedPath, "secret"); }),
            "The workbook is encrypted: password-protected OpenDocument files are not read");

  const auto other = write("d.xml", Bytes("<?xml version=\"1.0\"?><html><body/></html>"));
  EXPECT_EQ(Message([&] { spreadsheet::ReadWorkbookFile(other, ""); }).rfind("Not a workbook", 0),
            0u);
  std::filesystem::remove_all(dir);
}

TEST(OdsReader, PartNamesWithBackslashesAndAnotherCaseReadAsTheirCleanTwin) {
  const std::string styles =
      R"(<number:date-style style:name="D1"><number:year number:style="long"/></number:date-style>)"
      R"(<style:style style:name="Dated" style:family="table-cell" style:data-style-name="D1"/>)";
  const std::string tables = Table(
      R"(<table:table-row><table:table-cell table:style-name="Dated" office:value-type="date")"
      R"( office:date-value="2020-05-17"/><table:table-cell><draw:frame svg:width="1in")"
      R"( svg:height="1in"><draw:image xlink:href="./Pictures/logo.png"/></draw:frame>)"
      R"(</table:table-cell></table:table-row>)");
  quillane::testing::ZipWriter zip;
  zip.Add("mimetype", "application/vnd.oasis.opendocument.spreadsheet");
  zip.Add("content.xml", ContentXml(tables));
  zip.Add("styles.xml", StylesXml(styles));
  zip.Add("Pictures/logo.png", "\x89PNG\r\n\x1a\n0000");
  const std::vector<uint8_t> clean = zip.Finish();
  const std::vector<uint8_t> odd =
      quillane::testing::Renamed(clean, quillane::testing::WindowsName);
  const container::Zip cleanZip(clean), oddZip(odd);
  ASSERT_TRUE(ods::IsOpenDocument(oddZip));
  const model::Workbook a = ods::ReadOpenDocumentPackage(cleanZip);
  const model::Workbook b = ods::ReadOpenDocumentPackage(oddZip);
  ASSERT_EQ(b.blips.size(), 1u);
  EXPECT_EQ(b.blips[0].data, a.blips[0].data);
  const std::string page = publish::RenderSheet(b, 0, "b_1.files", "b_1.htm").html;
  EXPECT_EQ(page, publish::RenderSheet(a, 0, "b_1.files", "b_1.htm").html);
  EXPECT_NE(page.find(">2020</td>"), std::string::npos);

  // The manifest is found by any spelling too: an encrypted package stays refused as such.
  quillane::testing::ZipWriter locked;
  locked.Add("mimetype", "application/vnd.oasis.opendocument.spreadsheet");
  locked.Add(
      "META-INF\\Manifest.xml",
      R"(<manifest:manifest xmlns:manifest="urn:oasis:names:tc:opendocument:xmlns:manifest:1.0">)"
      R"(<manifest:file-entry manifest:full-path="content.xml"><manifest:encryption-data/>)"
      R"(</manifest:file-entry></manifest:manifest>)");
  locked.Add("Content.XML", "\x01\x02 not xml");
  const std::vector<uint8_t> lockedBytes = locked.Finish();
  EXPECT_EQ(Message([&] { ods::ReadOpenDocumentPackage(container::Zip(lockedBytes)); }),
            "The workbook is encrypted: password-protected OpenDocument files are not read");
}

TEST(OdsReader, HostileXmlIsRefusedPlainly) {
  const std::string laughs =
      "<?xml version=\"1.0\"?><!DOCTYPE d [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;\">]>"
      "<office:document xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\">&b;"
      "</office:document>";
  EXPECT_NE(Message([&] { ods::ReadFlatOpenDocument(Bytes(laughs)); }).find("declares entities"),
            std::string::npos);
  std::string deep;
  for (int i = 0; i < 1000; ++i) deep += "<text:span>";
  const std::string doc = FlatDocument(Table("<table:table-row><table:table-cell><text:p>" + deep));
  EXPECT_NE(Message([&] { ods::ReadFlatOpenDocument(Bytes(doc)); }).find("nested more than"),
            std::string::npos);
  EXPECT_EQ(Message([] {
              ods::ReadFlatOpenDocument(Bytes("<office:document"));
            }).rfind("The workbook is damaged", 0),
            0u);
  // Namespaces count by their names, whatever the prefixes: other prefixes, a default namespace,
  // a prefix bound again inside; a prefix bound nowhere is damage.
  const std::string renamed =
      R"(<o:document xmlns:o="urn:oasis:names:tc:opendocument:xmlns:office:1.0")"
      R"( xmlns:t="urn:oasis:names:tc:opendocument:xmlns:table:1.0")"
      R"( xmlns="urn:oasis:names:tc:opendocument:xmlns:text:1.0"><o:body><o:spreadsheet>)"
      R"(<t:table t:name="N"><t:table-row><t:table-cell o:value-type="float" o:value="5"/>)"
      R"(<t:table-cell><p>hi</p></t:table-cell><x:table-cell)"
      R"( xmlns:x="urn:oasis:names:tc:opendocument:xmlns:table:1.0" xmlns:t="urn:other")"
      R"( x:number-columns-repeated="2" t:number-columns-repeated="9"><p>two</p></x:table-cell>)"
      R"(<t:table-cell o:value-type="float" o:value="6"/></t:table-row></t:table>)"
      R"(</o:spreadsheet></o:body></o:document>)";
  const model::Workbook book = ods::ReadFlatOpenDocument(Bytes(renamed));
  ASSERT_EQ(book.sheets.size(), 1u);
  EXPECT_EQ(book.sheets[0].name, "N");
  ASSERT_EQ(book.sheets[0].cells.size(), 5u);
  EXPECT_EQ(book.strings[book.sheets[0].Find(0, 1)->text], "hi");
  EXPECT_EQ(book.strings[book.sheets[0].Find(0, 3)->text], "two");
  EXPECT_EQ(book.sheets[0].Find(0, 4)->number, 6);
  std::string unbound = renamed;
  unbound.replace(unbound.find("<o:body>"), 8, "<o:body><q:x/>");
  EXPECT_NE(Message([&] { ods::ReadFlatOpenDocument(Bytes(unbound)); }).find("unbound prefix"),
            std::string::npos);
}

TEST(OdsReader, TextSpansBecomeRichTextInAStreamedPackage) {
  const std::string fonts =
      R"(<office:font-face-decls><style:font-face style:name="Mono" svg:font-family="'Courier New'")"
      R"( style:font-family-generic="modern"/></office:font-face-decls>)";
  const std::string automatic =
      R"(<style:style style:name="ce1" style:family="table-cell"><style:text-properties)"
      R"( fo:font-size="12pt" fo:color="#0000ff"/></style:style>)"
      R"(<style:style style:name="T1" style:family="text"><style:text-properties)"
      R"( fo:font-weight="bold" fo:font-style="italic"/></style:style>)"
      R"(<style:style style:name="T2" style:family="text"><style:text-properties)"
      R"( fo:color="#ff0000" style:font-name="Mono" style:text-underline-style="solid")"
      R"( style:text-line-through-style="solid"/></style:style>)"
      R"(<style:style style:name="T3" style:family="text"><style:text-properties)"
      R"( style:text-position="super 58%" fo:font-size="8pt"/></style:style>)";
  // Rows enough that content.xml comes in several pieces.
  std::string filler;
  for (int i = 0; i < 4000; ++i) {
    filler += R"(<table:table-row><table:table-cell office:value-type="float" office:value=")" +
              std::to_string(i) + R"("/></table:table-row>)";
  }
  const std::string tables = Table(
      R"(<table:table-row><table:table-cell table:style-name="ce1" office:value-type="string">)"
      R"(<text:p>é <text:span text:style-name="T1">bold</text:span> <text:span)"
      R"( text:style-name="T2">red<text:span text:style-name="T3">up</text:span></text:span></text:p>)"
      R"(<text:p>plain</text:p></table:table-cell><table:table-cell office:value-type="string">)"
      R"(<text:p>no <text:span>style</text:span></text:p></table:table-cell></table:table-row>)" +
      filler);
  std::string content = ContentXml(tables, automatic);
  content.insert(content.find("<office:automatic-styles>"), fonts);
  ASSERT_GT(content.size(), size_t{3} << 17);
  quillane::testing::ZipWriter zip;
  zip.Add("mimetype", "application/vnd.oasis.opendocument.spreadsheet");
  zip.Add("content.xml", content);
  const std::vector<uint8_t> bytes = zip.Finish();
  const model::Workbook book = ods::ReadOpenDocumentPackage(container::Zip(bytes));
  const model::Sheet& sheet = book.sheets[0];
  ASSERT_EQ(sheet.cells.size(), 4002u);
  ASSERT_NE(sheet.Find(4000, 0), nullptr);
  EXPECT_EQ(sheet.Find(4000, 0)->number, 3999);

  const model::Cell& cell = *sheet.Find(0, 0);
  EXPECT_EQ(book.strings[cell.text], "é bold redup\nplain");
  ASSERT_EQ(book.richText.count(cell.text), 1u);
  const std::vector<model::TextRun>& runs = book.richText.at(cell.text);
  ASSERT_EQ(runs.size(), 5u);
  const uint16_t cellFont = book.Style(cell.style).font;
  const uint32_t starts[] = {2, 6, 7, 10, 12};
  for (size_t i = 0; i < runs.size(); ++i) EXPECT_EQ(runs[i].first, starts[i]) << i;
  EXPECT_EQ(runs[1].font, cellFont);
  EXPECT_EQ(runs[4].font, cellFont);
  const model::Font& base = book.fonts[cellFont];
  const model::Font& bold = book.fonts[runs[0].font];
  EXPECT_TRUE(bold.weight == 700 && bold.italic && bold.height == 240);
  EXPECT_EQ(bold.color, base.color);
  const model::Font& red = book.fonts[runs[2].font];
  EXPECT_EQ(red.color, model::Color::Rgb(0xFF0000));
  EXPECT_TRUE(red.name == "Courier New" && red.underline == model::Underline::Single &&
              red.strike && red.weight == 400 && red.height == 240);
  const model::Font& up = book.fonts[runs[3].font];
  EXPECT_TRUE(up.script == model::Script::Super && up.height == 160 &&
              up.color == model::Color::Rgb(0xFF0000) && up.name == "Courier New");
  // A span without a style changes nothing.
  EXPECT_EQ(book.richText.count(sheet.Find(0, 1)->text), 0u);

  const publish::Page page = publish::RenderSheet(book, 0, "p.files");
  EXPECT_NE(page.html.find(">bold</span>"), std::string::npos);
  EXPECT_NE(page.html.find(">up</span>"), std::string::npos);
  EXPECT_NE(page.html.find("<br>plain"), std::string::npos);
}
