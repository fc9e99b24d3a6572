// Conditional formats of .xlsx sheets: <conditionalFormatting> with the <dxfs> of the styles.
#include <gtest/gtest.h>

#include <regex>

#include "spreadsheet/ooxml/WorkbookReader.h"
#include "spreadsheet/publish/PagePublisher.h"
#include "tests/spreadsheet/ooxml/Package.h"

using namespace quillane;
using model::CfKind;
using model::CfOperand;
using model::CfThreshold;
namespace qt = quillane::testing;

TEST(OoxmlCondFormats, RulesDifferentialFormatsAndLeftOut) {
  qt::PackageParts p;
  p.sheetNames = {"S"};
  p.parts["xl/styles.xml"] =
      std::string("<styleSheet xmlns=\"") + qt::kMainNs +
      "\"><fonts count=\"1\"><font><sz val=\"11\"/></font></fonts>"
      "<cellXfs count=\"1\"><xf/></cellXfs><dxfs count=\"2\">"
      "<dxf><font><b/><color rgb=\"FF9C0006\"/></font>"
      "<fill><patternFill><bgColor rgb=\"FFFFC7CE\"/></patternFill></fill></dxf>"
      "<dxf><font><i val=\"0\"/><color theme=\"4\"/></font>"
      "<border><left style=\"thin\"><color indexed=\"10\"/></left><right/></border></dxf>"
      "</dxfs></styleSheet>";
  p.parts["xl/worksheets/sheet1.xml"] = qt::SheetXml(
      "<sheetData><row r=\"1\"><c r=\"A1\"><v>1</v></c></row></sheetData>"
      "<conditionalFormatting sqref=\"B2:B9 D2:D9\">"
      "<cfRule type=\"cellIs\" dxfId=\"0\" priority=\"3\" operator=\"between\">"
      "<formula>-1.5</formula><formula>\"a\"\"b\"</formula></cfRule>"
      "<cfRule type=\"cellIs\" dxfId=\"1\" priority=\"1\" stopIfTrue=\"1\" "
      "operator=\"lessThan\"><formula>$A1</formula></cfRule>"
      "<cfRule type=\"expression\" dxfId=\"0\" priority=\"2\"><formula>SUM(A1:A3)&gt;2</formula>"
      "</cfRule><cfRule type=\"top10\" dxfId=\"0\" priority=\"4\" rank=\"3\"/>"
      "</conditionalFormatting>"
      "<conditionalFormatting sqref=\"F1:F5\"><cfRule type=\"colorScale\" priority=\"5\">"
      "<colorScale><cfvo type=\"min\"/><cfvo type=\"num\" val=\"7\"/>"
      "<color rgb=\"FFF8696B\"/><color theme=\"1\"/></colorScale></cfRule>"
      "<cfRule type=\"dataBar\" priority=\"6\"><dataBar showValue=\"0\"><cfvo type=\"min\"/>"
      "<cfvo type=\"percentile\" val=\"90\"/><color rgb=\"FF638EC6\"/></dataBar>"
      "<extLst><ext><id>{B}</id></ext></extLst></cfRule>"
      "<cfRule type=\"colorScale\" priority=\"7\"><colorScale><cfvo type=\"min\"/>"
      "<cfvo type=\"formula\" val=\"$A$1*2\"/><color rgb=\"FF000000\"/><color rgb=\"FFFFFFFF\"/>"
      "</colorScale></cfRule></conditionalFormatting>"
      // The extension list: the details of the bar above, and rules found only there.
      "<extLst><ext><conditionalFormattings><conditionalFormatting><cfRule type=\"dataBar\" "
      "id=\"{B}\"><dataBar gradient=\"0\"><cfvo type=\"autoMin\"/><cfvo type=\"autoMax\"/>"
      "</dataBar></cfRule><sqref>F1:F5</sqref></conditionalFormatting><conditionalFormatting>"
      "<cfRule type=\"expression\" priority=\"8\"><f>ISEVEN(ROW())</f><dxf><fill><patternFill>"
      "<bgColor rgb=\"FF00FF00\"/></patternFill></fill></dxf></cfRule>"
      "<cfRule type=\"cellIs\" priority=\"9\" operator=\"greaterThan\"><f>Other!$A$1</f>"
      "</cfRule><cfRule type=\"iconSet\" priority=\"10\"><iconSet iconSet=\"3Stars\">"
      "<cfvo type=\"percent\"><f>0</f></cfvo></iconSet></cfRule><sqref>H1:H3</sqref>"
      "</conditionalFormatting></conditionalFormattings></ext></extLst>");
  const model::Workbook book = ooxml::ReadWorkbookBytes(p.Build(), "");
  const model::Sheet& sheet = book.sheets.at(0);
  ASSERT_EQ(sheet.conditionalFormats.size(), 3u);
  const auto& values = sheet.conditionalFormats[0];
  ASSERT_EQ(values.ranges.size(), 2u);
  EXPECT_EQ(values.ranges[1].firstCol, 3);
  ASSERT_EQ(values.rules.size(), 2u);  // sorted by priority
  const auto& less = values.rules[0];
  EXPECT_EQ(less.op, model::CfOperator::Less);
  EXPECT_TRUE(less.stopIfTrue);
  const CfOperand& ref = less.operands.at(0);
  EXPECT_EQ(ref.kind, CfOperand::Kind::Cell);
  EXPECT_FALSE(ref.colRelative);
  EXPECT_EQ(ref.col, 0);
  EXPECT_TRUE(ref.rowRelative);
  EXPECT_EQ(ref.row, -1);  // row 1 written for the first cell, B2
  EXPECT_EQ(less.style.italic, false);
  EXPECT_EQ(less.style.fontColor, model::Color::Rgb(0x4472C4));
  ASSERT_TRUE(less.style.left);
  EXPECT_EQ(less.style.left->style, 1);
  EXPECT_EQ(less.style.left->color, model::Color::Rgb(0xFF0000));
  EXPECT_FALSE(less.style.right);
  const auto& between = values.rules[1];
  EXPECT_EQ(between.op, model::CfOperator::Between);
  EXPECT_EQ(between.operands.at(0).number, -1.5);
  EXPECT_EQ(between.operands.at(1).text, "a\"b");
  EXPECT_EQ(between.style.bold, true);
  EXPECT_EQ(between.style.fontColor, model::Color::Rgb(0x9C0006));
  ASSERT_TRUE(between.style.fill);
  EXPECT_EQ(between.style.fill->color, model::Color::Rgb(0xFFC7CE));

  const auto& scales = sheet.conditionalFormats[1];
  ASSERT_EQ(scales.rules.size(), 2u);
  EXPECT_EQ(scales.rules[0].kind, CfKind::ColorScale);
  ASSERT_EQ(scales.rules[0].scale.size(), 2u);
  EXPECT_EQ(scales.rules[0].scale[1].threshold.kind, CfThreshold::Kind::Number);
  EXPECT_EQ(scales.rules[0].scale[1].threshold.value, 7);
  EXPECT_EQ(scales.rules[0].scale[1].color, model::Color::Rgb(0x000000));  // theme dark 1
  const auto& bar = scales.rules[1];
  EXPECT_EQ(bar.kind, CfKind::DataBar);
  EXPECT_FALSE(bar.bar.showValue);
  EXPECT_EQ(bar.bar.max.kind, CfThreshold::Kind::Percentile);
  EXPECT_EQ(bar.bar.max.value, 90);
  EXPECT_FALSE(bar.bar.gradient);  // from the extension list
  EXPECT_EQ(bar.bar.minLength, 0);
  EXPECT_EQ(bar.bar.maxLength, 100);
  const auto& extension = sheet.conditionalFormats[2];
  ASSERT_EQ(extension.rules.size(), 1u);
  EXPECT_EQ(extension.ranges.at(0).lastRow, 2u);
  EXPECT_EQ(extension.rules[0].kind, CfKind::Expression);
  ASSERT_TRUE(extension.rules[0].style.fill);
  EXPECT_EQ(extension.rules[0].style.fill->color, model::Color::Rgb(0x00FF00));

  const std::map<std::string, uint32_t> leftOut = {
      {"formula the engine cannot evaluate", 3}, {"iconSet rule", 1}, {"top10 rule", 1}};
  EXPECT_EQ(sheet.conditionalRulesLeftOut, leftOut);
}

// Expression rules as the page evaluates them: banding by row, functions of the cells, the
// precedence of the operators.
TEST(OoxmlCondFormats, ExpressionsOnThePage) {
  qt::PackageParts p;
  p.sheetNames = {"S"};
  p.parts["xl/styles.xml"] =
      std::string("<styleSheet xmlns=\"") + qt::kMainNs +
      "\"><fonts count=\"1\"><font><sz val=\"11\"/></font></fonts><cellXfs count=\"1\"><xf/>"
      "</cellXfs><dxfs count=\"2\"><dxf><fill><patternFill><bgColor rgb=\"FFFFFF00\"/>"
      "</patternFill></fill></dxf><dxf><font><color rgb=\"FFFF0000\"/></font></dxf></dxfs>"
      "</styleSheet>";
  std::string rows;
  for (int r = 1; r <= 4; ++r) {
    const std::string n = std::to_string(r);
    rows += "<row r=\"" + n + "\"><c r=\"A" + n + "\"><v>" + std::to_string(r * 10 + 1) +
            "</v></c><c r=\"B" + n + "\" t=\"inlineStr\"><is><t>" + std::string(r, 'x') +
            "</t></is></c></row>";
  }
  p.parts["xl/worksheets/sheet1.xml"] = qt::SheetXml(
      "<sheetData>" + rows +
      "</sheetData><conditionalFormatting sqref=\"A1:A4\"><cfRule type=\"expression\" "
      "dxfId=\"0\" priority=\"1\"><formula>ISEVEN(ROW())</formula></cfRule></conditionalFormatting>"
      "<conditionalFormatting sqref=\"B1:B4\"><cfRule type=\"expression\" dxfId=\"1\" "
      "priority=\"2\"><formula>AND($A1&gt;12,LEN(B1)&lt;&gt;3,-2^2=4,MOD(A1,10)*2%=0.02,"
      "B1&amp;\"!\"&lt;&gt;\"x!\")</formula></cfRule></conditionalFormatting>");
  const model::Workbook book = ooxml::ReadWorkbookBytes(p.Build(), "");
  ASSERT_EQ(book.sheets.at(0).conditionalFormats.size(), 2u);
  const std::string html = publish::RenderSheet(book, 0, "x.files").html;
  auto css = [&](const std::string& content) {
    std::smatch m, rule;
    if (!std::regex_search(html, m, std::regex("<td class=\"(c\\d+)\">" + content + "<")))
      return std::string();
    std::regex_search(html, rule, std::regex("\\." + m[1].str() + "\\{([^}]*)\\}"));
    return rule[1].str();
  };
  EXPECT_EQ(css("11").find("background"), std::string::npos);
  EXPECT_NE(css("21").find("background:#ffff00"), std::string::npos);
  EXPECT_EQ(css("31").find("background"), std::string::npos);
  EXPECT_NE(css("41").find("background:#ffff00"), std::string::npos);
  EXPECT_EQ(css("x").find("color:#ff0000"), std::string::npos);     // A1 is 11
  EXPECT_NE(css("xx").find("color:#ff0000"), std::string::npos);    // 21, two letters
  EXPECT_EQ(css("xxx").find("color:#ff0000"), std::string::npos);   // three letters
  EXPECT_NE(css("xxxx").find("color:#ff0000"), std::string::npos);  // 41
}

// Which expression formulas are kept: those of the operators and functions the page evaluates,
// written whole.
TEST(OoxmlCondFormats, ExpressionsKeptOrLeftOut) {
  const std::vector<std::pair<std::string, bool>> cases = {
      {"NOT(ISBLANK($A$1))", true},
      {"(A1+2)*3&gt;=-4%", true},
      {"OR(A1=\"a\"\"b\",TRUE)", true},
      {"ROW()=COLUMN($B$2)", true},
      {"A1:B2&gt;1", false},    // a range
      {"Sheet2!A1=1", false},   // another sheet
      {"SUM(A1)&gt;1", false},  // another function
      {"(1+2", false},          // unclosed
      {"1+", false},            // an operator without its operand
      {"MOD(A1)=1", false},     // too few arguments
      {"\"open=1", false},      // an unended text
      {"MyName&gt;1", false},   // a name
  };
  for (const auto& [formula, kept] : cases) {
    qt::PackageParts p;
    p.sheetNames = {"S"};
    p.parts["xl/worksheets/sheet1.xml"] = qt::SheetXml(
        "<sheetData/><conditionalFormatting sqref=\"A1\"><cfRule type=\"expression\" "
        "priority=\"1\"><formula>" +
        formula + "</formula></cfRule></conditionalFormatting>");
    const model::Workbook book = ooxml::ReadWorkbookBytes(p.Build(), "");
    EXPECT_EQ(book.sheets.at(0).conditionalFormats.size(), kept ? 1u : 0u) << formula;
    EXPECT_EQ(book.sheets.at(0).conditionalRulesLeftOut.size(), kept ? 0u : 1u) << formula;
  }
}
