// Number formats on the page: the same cells and codes written into an .xls stream and an .xlsx
// package made here, read by each reader and published; the cell texts must agree with the
// formatter's and with each other.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "spreadsheet/biff/WorkbookReader.h"
#include "spreadsheet/ooxml/WorkbookReader.h"
#include "spreadsheet/publish/PagePublisher.h"
#include "tests/spreadsheet/biff/RecordWriter.h"
#include "tests/spreadsheet/ooxml/Package.h"

using namespace quillane;

namespace {

// The codes of styles 1, 2 and 3 (style 0 is General).
const std::string kNen = "\xe5\xb9\xb4", kGatsu = "\xe6\x9c\x88", kNichi = "\xe6\x97\xa5";
const std::vector<std::string> kCodes = {
    ".0", ";;;", "[$-411]ggge\"" + kNen + "\"m\"" + kGatsu + "\"d\"" + kNichi + "\""};

// One row per case: a number or a logical value ("b1", "b0") or an error ("e7"), and its style.
struct Value {
  std::string v;
  uint16_t style;
};
const std::vector<Value> kCells = {{"45.61911", 1}, {"0.61", 1}, {"b1", 2},   {"b0", 2},
                                   {"e7", 2},       {"5", 2},    {"44197", 3}};

// UTF-16 code units of a UTF-8 string (no characters beyond U+FFFF).
std::vector<uint16_t> Utf16(const std::string& s) {
  std::vector<uint16_t> out;
  for (std::size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      out.push_back(c), i += 1;
    } else if (c < 0xE0) {
      out.push_back(static_cast<uint16_t>((c & 0x1F) << 6 | (s[i + 1] & 0x3F))), i += 2;
    } else {
      out.push_back(
          static_cast<uint16_t>((c & 0x0F) << 12 | (s[i + 1] & 0x3F) << 6 | (s[i + 2] & 0x3F)));
      i += 3;
    }
  }
  return out;
}

model::Workbook Xls() {
  using namespace quillane::biff::test;
  auto bytes = Book8(
      [](Stream& s) {
        s.Record(0x0031, Data().U16(200).U16(0).U16(0x7FFF).U16(400).U16(0).U32(0).Str8("Arial"));
        for (std::size_t i = 0; i < kCodes.size(); ++i) {
          const std::vector<uint16_t> units = Utf16(kCodes[i]);
          Data d;
          d.U16(static_cast<uint16_t>(164 + i)).U16(static_cast<uint16_t>(units.size())).U8(1);
          for (uint16_t u : units) d.U16(u);
          s.Record(0x041E, d);
        }
        for (uint16_t f : {0, 164, 165, 166})
          s.Record(0x00E0, Data().U16(0).U16(f).U16(1).U8(0x20).U8(0).U32(0).U32(0).U32(0).U16(0));
      },
      [](Stream& s) {
        for (std::size_t r = 0; r < kCells.size(); ++r) {
          const Value& c = kCells[r];
          Data d = Data().U16(static_cast<uint16_t>(r)).U16(0).U16(c.style);
          if (c.v[0] == 'b' || c.v[0] == 'e')
            s.Record(0x0205, d.U8(static_cast<uint8_t>(c.v[1] - '0')).U8(c.v[0] == 'e'));
          else
            s.Record(0x0203, d.Double(std::stod(c.v)));
        }
      });
  return biff::ReadWorkbook(bytes, "");
}

std::string XmlEscaped(const std::string& s) {
  return std::regex_replace(std::regex_replace(s, std::regex("&"), "&amp;"), std::regex("\""),
                            "&quot;");
}

model::Workbook Xlsx() {
  quillane::testing::PackageParts p;
  p.sheetNames = {"Data"};
  std::string fmts, xfs = "<xf numFmtId=\"0\"/>";
  for (std::size_t i = 0; i < kCodes.size(); ++i) {
    const std::string id = std::to_string(164 + i);
    fmts += "<numFmt numFmtId=\"" + id + "\" formatCode=\"" + XmlEscaped(kCodes[i]) + "\"/>";
    xfs += "<xf numFmtId=\"" + id + "\"/>";
  }
  p.parts["xl/styles.xml"] = "<styleSheet><numFmts>" + fmts +
                             "</numFmts><fonts><font><sz val=\"10\"/><name val=\"Arial\"/></font>"
                             "</fonts><cellXfs>" +
                             xfs + "</cellXfs></styleSheet>";
  std::string rows;
  for (std::size_t r = 0; r < kCells.size(); ++r) {
    const Value& c = kCells[r];
    const std::string type = c.v[0] == 'b' ? " t=\"b\"" : c.v[0] == 'e' ? " t=\"e\"" : "";
    const std::string v = c.v[0] == 'b' ? c.v.substr(1) : c.v[0] == 'e' ? "#DIV/0!" : c.v;
    rows += "<row r=\"" + std::to_string(r + 1) + "\"><c r=\"A" + std::to_string(r + 1) +
            "\" s=\"" + std::to_string(c.style) + "\"" + type + "><v>" + v + "</v></c></row>";
  }
  p.parts["xl/worksheets/sheet1.xml"] =
      quillane::testing::SheetXml("<sheetData>" + rows + "</sheetData>");
  return ooxml::ReadWorkbookBytes(p.Build(), "");
}

// The text of every cell of the page, row by row.
std::vector<std::string> CellTexts(const model::Workbook& book) {
  const std::string html = publish::RenderSheet(book, 0, "book_1.files").html;
  std::vector<std::string> texts;
  const std::regex td("<td[^>]*>([^<]*)</td>");
  for (auto it = std::sregex_iterator(html.begin(), html.end(), td); it != std::sregex_iterator();
       ++it)
    texts.push_back((*it)[1]);
  return texts;
}

}  // namespace

TEST(FormatPages, BothFormatsShowTheIntegerPartHideLogicalValuesAndShowEras) {
  const std::vector<std::string> expected = {"45.6",
                                             ".6",
                                             "",
                                             "",
                                             "#DIV/0!",
                                             "",
                                             "\xe4\xbb\xa4\xe5\x92\x8c"
                                             "3" +
                                                 kNen + "1" + kGatsu + "1" + kNichi};
  EXPECT_EQ(CellTexts(Xls()), expected);
  EXPECT_EQ(CellTexts(Xlsx()), expected);
}
