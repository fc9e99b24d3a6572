// Chart parts of a package written by the test -> the chart model; references to sheets.
#include <gtest/gtest.h>

#include <cmath>

#include "spreadsheet/ooxml/Charts.h"
#include "spreadsheet/ooxml/WorkbookReader.h"
#include "tests/spreadsheet/ooxml/Package.h"

using namespace quillane;
namespace qt = quillane::testing;
using model::ChartKind;

namespace {

// One sheet "Data" with a drawing of one chart anchored B2:H16, and a second sheet "My 'Data'"
// that the series refer to (read after the chart: references are resolved at the end).
qt::PackageParts ChartPackage(const std::string& chartBody) {
  qt::PackageParts p;
  p.sheetNames = {"Data", "My 'Data'"};
  p.parts["xl/worksheets/sheet1.xml"] = qt::SheetXml("<sheetData/><drawing r:id=\"rD\"/>");
  p.parts["xl/worksheets/sheet2.xml"] =
      qt::SheetXml("<sheetData><row r=\"2\"><c r=\"B2\"><v>5</v></c></row></sheetData>");
  const std::string rel = std::string("<Relationship Type=\"") + qt::kRelNs;
  p.parts["xl/worksheets/_rels/sheet1.xml.rels"] =
      "<Relationships>" + rel + "/drawing\" Id=\"rD\" Target=\"../drawings/drawing1.xml\"/>" +
      "</Relationships>";
  p.parts["xl/drawings/drawing1.xml"] =
      "<xdr:wsDr xmlns:xdr=\"d\" xmlns:a=\"a\" xmlns:r=\"r\" xmlns:c=\"c\"><xdr:twoCellAnchor>"
      "<xdr:from><xdr:col>1</xdr:col><xdr:colOff>0</xdr:colOff><xdr:row>1</xdr:row>"
      "<xdr:rowOff>0</xdr:rowOff></xdr:from><xdr:to><xdr:col>7</xdr:col><xdr:colOff>0</"
      "xdr:colOff><xdr:row>15</xdr:row><xdr:rowOff>0</xdr:rowOff></xdr:to>"
      "<xdr:graphicFrame><xdr:nvGraphicFramePr><xdr:cNvPr id=\"2\" name=\"Chart 1\"/>"
      "</xdr:nvGraphicFramePr><a:graphic><a:graphicData><c:chart r:id=\"rC\"/></a:graphicData>"
      "</a:graphic></xdr:graphicFrame><xdr:clientData/></xdr:twoCellAnchor></xdr:wsDr>";
  p.parts["xl/drawings/_rels/drawing1.xml.rels"] =
      "<Relationships>" + rel + "/chart\" Id=\"rC\" Target=\"../charts/chart1.xml\"/>" +
      "</Relationships>";
  p.parts["xl/charts/chart1.xml"] =
      "<c:chartSpace xmlns:c=\"c\" xmlns:a=\"a\" xmlns:r=\"r\">" + chartBody + "</c:chartSpace>";
  return p;
}

}  // namespace

TEST(OoxmlCharts, ChartPartFillsTheModel) {
  const std::string body =
      "<c:chart><c:title><c:tx><c:rich><a:p><a:pPr><a:defRPr sz=\"1600\" b=\"1\"/></a:pPr>"
      "<a:r><a:t>Sales &amp; more</a:t></a:r></a:p></c:rich></c:tx></c:title>"
      "<c:autoTitleDeleted val=\"0\"/><c:plotArea>"
      "<c:barChart><c:barDir val=\"bar\"/><c:grouping val=\"stacked\"/><c:varyColors val=\"0\"/>"
      "<c:ser><c:idx val=\"0\"/><c:order val=\"1\"/><c:tx><c:v>Second</c:v></c:tx></c:ser>"
      "<c:ser><c:idx val=\"1\"/><c:order val=\"0\"/>"
      "<c:tx><c:strRef><c:f>'My ''Data'''!$B$1</c:f><c:strCache><c:ptCount val=\"1\"/>"
      "<c:pt idx=\"0\"><c:v>North</c:v></c:pt></c:strCache></c:strRef></c:tx>"
      "<c:spPr><a:solidFill><a:schemeClr val=\"accent2\"><a:lumMod val=\"50000\"/></a:schemeClr>"
      "</a:solidFill><a:ln w=\"25400\"><a:solidFill><a:srgbClr val=\"FF0000\"/></a:solidFill>"
      "<a:prstDash val=\"dash\"/></a:ln></c:spPr>"
      "<c:dPt><c:idx val=\"2\"/><c:spPr><a:solidFill><a:srgbClr val=\"00FF00\"/></a:solidFill>"
      "</c:spPr></c:dPt>"
      "<c:dLbls><c:numFmt formatCode=\"0.0\" sourceLinked=\"0\"/><c:showVal val=\"1\"/>"
      "</c:dLbls>"
      "<c:cat><c:strLit><c:ptCount val=\"3\"/><c:pt idx=\"0\"><c:v>a</c:v></c:pt>"
      "<c:pt idx=\"2\"><c:v>c</c:v></c:pt></c:strLit></c:cat>"
      "<c:val><c:numRef><c:f>'My ''Data'''!$B$2:$B$4</c:f><c:numCache>"
      "<c:formatCode>#,##0</c:formatCode><c:ptCount val=\"3\"/><c:pt idx=\"0\"><c:v>1.5</c:v>"
      "</c:pt><c:pt idx=\"2\"><c:v>3</c:v></c:pt></c:numCache></c:numRef></c:val></c:ser>"
      "<c:gapWidth val=\"80\"/><c:overlap val=\"100\"/>"
      "<c:axId val=\"10\"/><c:axId val=\"20\"/></c:barChart>"
      "<c:lineChart><c:grouping val=\"standard\"/><c:marker val=\"1\"/><c:ser><c:idx val=\"2\"/>"
      "<c:marker><c:symbol val=\"none\"/></c:marker><c:smooth val=\"1\"/>"
      "<c:trendline><c:spPr><a:ln w=\"12700\"><a:prstDash val=\"lgDash\"/></a:ln></c:spPr>"
      "<c:trendlineType val=\"poly\"/><c:order val=\"9\"/><c:forward val=\"0.5\"/>"
      "<c:intercept val=\"2\"/></c:trendline><c:trendline><c:trendlineType val=\"movingAvg\"/>"
      "<c:period val=\"3\"/></c:trendline>"
      "<c:val><c:numLit><c:ptCount val=\"2\"/><c:pt idx=\"1\"><c:v>7</c:v></c:pt></c:numLit>"
      "</c:val></c:ser><c:axId val=\"10\"/><c:axId val=\"30\"/></c:lineChart>"
      "<c:catAx><c:axId val=\"10\"/><c:scaling><c:orientation val=\"maxMin\"/></c:scaling>"
      "<c:delete val=\"1\"/><c:txPr><a:bodyPr rot=\"-2700000\"/></c:txPr><c:crosses val=\"max\"/>"
      "<c:tickLblSkip val=\"3\"/></c:catAx>"
      "<c:valAx><c:axId val=\"20\"/><c:scaling><c:orientation val=\"minMax\"/>"
      "<c:max val=\"10\"/><c:min val=\"-2\"/></c:scaling><c:delete val=\"0\"/>"
      "<c:majorGridlines/><c:numFmt formatCode=\"0%\" sourceLinked=\"0\"/>"
      "<c:crossBetween val=\"midCat\"/><c:majorUnit val=\"2\"/><c:txPr><a:p><a:pPr><a:defRPr "
      "sz=\"800\"><a:latin "
      "typeface=\"Verdana\"/></a:defRPr></a:pPr></a:p></c:txPr></c:valAx>"
      "<c:valAx><c:axId val=\"30\"/><c:scaling><c:logBase val=\"10\"/></c:scaling></c:valAx>"
      "<c:spPr><a:noFill/></c:spPr></c:plotArea>"
      "<c:legend><c:legendPos val=\"b\"/></c:legend></c:chart>"
      "<c:spPr><a:solidFill><a:srgbClr val=\"FFFFCC\"/></a:solidFill><a:ln><a:noFill/></a:ln>"
      "</c:spPr>";
  qt::PackageParts p = ChartPackage(body);
  p.parts["xl/theme/theme1.xml"] =
      "<a:theme xmlns:a=\"a\"><a:themeElements><a:clrScheme name=\"x\"><a:accent1><a:srgbClr "
      "val=\"123456\"/></a:accent1></a:clrScheme></a:themeElements></a:theme>";
  const model::Workbook book = ooxml::ReadWorkbookBytes(p.Build(), "");
  ASSERT_EQ(book.sheets[0].charts.size(), 1u);
  const model::Chart& c = book.sheets[0].charts[0];
  EXPECT_EQ(c.anchor.col1, 1);
  EXPECT_EQ(c.anchor.row2, 15u);
  EXPECT_EQ(c.name, "Chart 1");
  EXPECT_EQ(c.title.text, "Sales & more");
  EXPECT_EQ(c.title.font.height, 320);
  EXPECT_EQ(c.title.font.weight, 700);
  EXPECT_EQ(c.legend, model::LegendPosition::Bottom);
  EXPECT_EQ(c.chartFill.color, model::Color::Rgb(0xFFFFCC));
  EXPECT_FALSE(c.chartBorder.visible);
  EXPECT_FALSE(c.plotFill.visible);
  ASSERT_EQ(c.groups.size(), 2u);
  const model::ChartGroup& bars = c.groups[0];
  EXPECT_EQ(bars.kind, ChartKind::Bar);
  EXPECT_EQ(bars.grouping, model::ChartGrouping::Stacked);
  EXPECT_EQ(bars.gapWidth, 80);
  EXPECT_EQ(bars.overlap, 100);
  ASSERT_EQ(bars.series.size(), 2u);
  const model::ChartSeries& s = bars.series[0];  // order 0 comes first
  EXPECT_EQ(s.name.texts, std::vector<std::string>{"North"});
  EXPECT_EQ(s.name.sheet, 1);
  EXPECT_EQ(s.fill.color, model::Color::Rgb(0x843C0B));  // accent2 at half its luminance
  EXPECT_EQ(s.line.color, model::Color::Rgb(0xFF0000));
  EXPECT_FLOAT_EQ(s.line.widthPt, 2);
  EXPECT_EQ(s.line.dash, 1);
  ASSERT_EQ(s.points.size(), 1u);
  EXPECT_EQ(s.points[0].index, 2u);
  EXPECT_TRUE(s.labels.value);
  EXPECT_EQ(s.labels.numberFormat, "0.0");
  EXPECT_EQ(s.categories.texts, (std::vector<std::string>{"a", "", "c"}));
  ASSERT_EQ(s.values.numbers.size(), 3u);
  EXPECT_EQ(s.values.numbers[2], 3);
  EXPECT_TRUE(std::isnan(s.values.numbers[1]));
  EXPECT_EQ(s.values.numberFormat, "#,##0");
  EXPECT_EQ(s.values.sheet, 1);
  EXPECT_EQ(s.values.range.firstRow, 1u);
  EXPECT_EQ(s.values.range.lastRow, 3u);
  EXPECT_EQ(bars.series[1].name.texts, std::vector<std::string>{"Second"});
  const model::ChartGroup& line = c.groups[1];
  EXPECT_EQ(line.kind, ChartKind::Line);
  EXPECT_TRUE(line.secondaryAxis);
  EXPECT_EQ(line.series[0].marker, model::MarkerShape::None);
  EXPECT_TRUE(line.series[0].smooth);
  const auto& trends = line.series[0].trendlines;
  ASSERT_EQ(trends.size(), 2u);
  EXPECT_EQ(trends[0].kind, model::TrendKind::Polynomial);
  EXPECT_EQ(trends[0].order, 6);  // at most 6
  EXPECT_EQ(trends[0].forward, 0.5);
  EXPECT_EQ(trends[0].intercept, 2.0);
  EXPECT_EQ(trends[0].line.dash, 1);
  EXPECT_EQ(trends[1].kind, model::TrendKind::MovingAverage);
  EXPECT_EQ(trends[1].period, 3);
  EXPECT_EQ(trends[1].line.dash, 2);  // dotted unless the file says otherwise
  EXPECT_FALSE(c.categoryAxis.visible);
  EXPECT_TRUE(c.categoryAxis.reversed);
  EXPECT_TRUE(c.categoryAxis.crossesAtMax);
  EXPECT_FALSE(c.categoryAxis.betweenTicks);
  EXPECT_EQ(c.categoryAxis.labelSkip, 3u);
  EXPECT_EQ(c.categoryAxis.labelRotation, -45);
  ASSERT_EQ(c.palette.size(), 6u);
  EXPECT_EQ(c.palette[0], 0x123456u);  // the theme's accents for automatic series
  EXPECT_EQ(c.valueAxis.max, 10);
  EXPECT_EQ(c.valueAxis.min, -2);
  EXPECT_EQ(c.valueAxis.majorUnit, 2);
  EXPECT_TRUE(c.valueAxis.majorGridlines);
  EXPECT_EQ(c.valueAxis.numberFormat, "0%");
  EXPECT_EQ(c.valueAxis.font.name, "Verdana");
  EXPECT_EQ(c.valueAxis.font.height, 160);
  EXPECT_TRUE(c.secondaryValueAxis.logScale);
}

TEST(OoxmlCharts, OtherKindsAreMappedAndHostilePartsCostOnlyThemselves) {
  struct Case {
    std::string group;
    ChartKind kind;
    std::string drawnAs;
  };
  const Case cases[] = {
      {"<c:bar3DChart><c:barDir val=\"col\"/></c:bar3DChart>", ChartKind::Column, "3-D column"},
      {"<c:doughnutChart><c:holeSize val=\"75\"/><c:firstSliceAng val=\"90\"/></c:doughnutChart>",
       ChartKind::Doughnut, ""},
      {"<c:scatterChart><c:scatterStyle val=\"marker\"/></c:scatterChart>", ChartKind::Scatter, ""},
      {"<c:bubbleChart/>", ChartKind::Scatter, "bubble"},
      {"<c:stockChart/>", ChartKind::Line, "stock"},
      {"<c:radarChart><c:radarStyle val=\"filled\"/></c:radarChart>", ChartKind::Radar, ""},
      {"<c:futureChart/>", ChartKind::None, "future"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.group);
    const model::Workbook book = ooxml::ReadWorkbookBytes(
        ChartPackage("<c:chart><c:plotArea>" + k.group + "</c:plotArea></c:chart>").Build(), "");
    ASSERT_EQ(book.sheets[0].charts.size(), 1u);
    const model::Chart& c = book.sheets[0].charts[0];
    EXPECT_EQ(c.groups.at(0).kind, k.kind);
    EXPECT_EQ(c.drawnAs, k.drawnAs);
    EXPECT_TRUE(c.autoTitle);
    EXPECT_EQ(c.legend, model::LegendPosition::None);
    if (k.kind == ChartKind::Doughnut) {
      EXPECT_EQ(c.groups[0].holeSize, 75);
      EXPECT_EQ(c.groups[0].firstSliceAngle, 90);
    }
    if (k.kind == ChartKind::Radar) {
      EXPECT_TRUE(c.groups[0].filled);
    }
  }
  // A chart part that is not XML, or that is missing, is damage; a cache of a huge point count
  // costs only the chart.
  qt::PackageParts broken = ChartPackage("");
  broken.parts["xl/charts/chart1.xml"] = "<c:chartSpace><c:chart>";
  EXPECT_THROW(ooxml::ReadWorkbookBytes(broken.Build(), ""), model::ReadError);
  qt::PackageParts missing = ChartPackage("");
  missing.omit = {"xl/charts/chart1.xml"};
  try {
    ooxml::ReadWorkbookBytes(missing.Build(), "");
    ADD_FAILURE() << "a missing chart part was read";
  } catch (const model::ReadError& e) {
    EXPECT_NE(std::string(e.what()).find("the chart part xl/charts/chart1.xml is missing"),
              std::string::npos);
  }
  const model::Workbook big = ooxml::ReadWorkbookBytes(
      ChartPackage("<c:chart><c:plotArea><c:lineChart><c:ser><c:val><c:numLit><c:ptCount "
                   "val=\"4000000000\"/><c:pt idx=\"99999999\"><c:v>1</c:v></c:pt></c:numLit>"
                   "</c:val></c:ser></c:lineChart></c:plotArea></c:chart>")
          .Build(),
      "");
  EXPECT_LE(big.sheets[0].charts.at(0).groups[0].series[0].values.numbers.size(), 100000u);
}

TEST(OoxmlCharts, References) {
  std::string sheet;
  model::Range r;
  ASSERT_TRUE(ooxml::ParseChartReference("Sheet1!$B$2:$C$9", sheet, r));
  EXPECT_EQ(sheet, "Sheet1");
  EXPECT_EQ(r.firstRow, 1u);
  EXPECT_EQ(r.lastRow, 8u);
  EXPECT_EQ(r.firstCol, 1);
  EXPECT_EQ(r.lastCol, 2);
  ASSERT_TRUE(ooxml::ParseChartReference("'It''s a:b'!A1", sheet, r));
  EXPECT_EQ(sheet, "It's a:b");
  EXPECT_EQ(r.lastRow, 0u);
  ASSERT_TRUE(ooxml::ParseChartReference("S!$D:$D", sheet, r));
  EXPECT_EQ(r.firstCol, 3);
  EXPECT_EQ(r.lastRow, 1048575u);
  for (const char* bad : {"(S!A1,S!A3)", "[1]S!A1", "Name", "S!A1:B", "S!XFE1", "'open!A1", "S!"})
    EXPECT_FALSE(ooxml::ParseChartReference(bad, sheet, r)) << bad;
}
