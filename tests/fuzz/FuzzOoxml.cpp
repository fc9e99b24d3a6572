// The SpreadsheetML reader over arbitrary bytes. A zip package or a compound file goes to the
// reader as it is; anything else is taken as XML and put, stored (so the mutations reach the
// parsers rather than the check sums), into a package as every part at once: worksheet, shared
// strings, styles, theme, comments, drawing and chart; the charts read are drawn. A ReadError is
// the expected answer to bad input.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "spreadsheet/chart/ChartSvg.h"
#include "spreadsheet/ooxml/WorkbookReader.h"
#include "tests/spreadsheet/ooxml/Package.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quillane;
  const std::span<const uint8_t> bytes(data, size);
  std::vector<uint8_t> package;
  if (size >= 4 && (data[0] == 'P' || data[0] == 0xD0)) {
    package.assign(data, data + size);
  } else {
    const std::string xml(reinterpret_cast<const char*>(data), size);
    testing::PackageParts p;
    p.sheetNames = {"S"};
    for (const char* part : {"xl/worksheets/sheet1.xml", "xl/sharedStrings.xml", "xl/styles.xml",
                             "xl/theme/theme1.xml", "xl/comments1.xml", "xl/drawings/drawing1.xml",
                             "xl/charts/chart1.xml"}) {
      p.parts[part] = xml;
    }
    const std::string rel = std::string("<Relationship Type=\"") + testing::kRelNs;
    p.parts["xl/worksheets/_rels/sheet1.xml.rels"] =
        "<Relationships>" + rel + "/comments\" Id=\"rC\" Target=\"../comments1.xml\"/>" + rel +
        "/drawing\" Id=\"rId1\" Target=\"../drawings/drawing1.xml\"/>" + rel +
        "/hyperlink\" Id=\"rId2\" Target=\"http://x/\" TargetMode=\"External\"/></Relationships>";
    p.parts["xl/drawings/_rels/drawing1.xml.rels"] =
        "<Relationships>" + rel + "/image\" Id=\"rId1\" Target=\"../media/i.png\"/>" + rel +
        "/chart\" Id=\"rId2\" Target=\"../charts/chart1.xml\"/></Relationships>";
    p.parts["xl/media/i.png"] = "\x89PNG";
    package = p.Build();
  }
  try {
    const model::Workbook book = quillane::ooxml::ReadWorkbookBytes(package, "password");
    // Whatever charts came out are drawn too.
    for (const model::Sheet& sheet : book.sheets) {
      for (const model::Chart& c : sheet.charts) {
        try {
          chart::DrawSvg(book, c, 320, 200);
        } catch (const chart::ChartError&) {
        }
      }
    }
  } catch (const quillane::model::ReadError&) {
  }
  (void)bytes;
  return 0;
}
