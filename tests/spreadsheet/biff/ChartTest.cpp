// Embedded charts of .xls workbooks: the chart substreams after their chart objects, read into
// the chart model at their shapes' anchors; damaged charts cost only themselves.
#include <gtest/gtest.h>

#include <cmath>

#include "RecordWriter.h"
#include "spreadsheet/biff/WorkbookReader.h"

using namespace quillane;
using namespace quillane::biff::test;

namespace {

Data Zeros(Data d, size_t n) { return d.Raw(std::vector<uint8_t>(n, 0)); }

// A chart shape of the drawing layer anchored from (col1, row1) to (col2, row2).
std::vector<uint8_t> ChartShape(uint16_t col1, uint16_t row1, uint16_t col2, uint16_t row2,
                                const std::string& name) {
  Data options;
  options.U16(0x8380).U32(static_cast<uint32_t>(2 * name.size() + 2)).Wide(name).U16(0);
  Data shape;
  shape.Raw(Escher(0xF00A, 0x0C92, Data().U32(1025).U32(0xA00).bytes));
  shape.Raw(Escher(0xF00B, 0x0013, options.bytes));
  shape.Raw(Escher(
      0xF010, 0,
      Data().U16(0).U16(col1).U16(0).U16(row1).U16(0).U16(col2).U16(0).U16(row2).U16(0).bytes));
  shape.Raw(Escher(0xF011, 0, {}));
  return Escher(0xF004, 0x000F, shape.bytes);
}

Data ChartObj(uint16_t id) {
  return Zeros(Data().U16(0x15).U16(0x12).U16(5).U16(id).U16(0x6011), 12).U32(0);
}

// A column, bar or pie group's records and the records around it.
Data Bof(uint16_t type) { return Bof8(type); }
Data Ai(uint8_t id, uint8_t type, const Data& formula = Data()) {
  return Data()
      .U8(id)
      .U8(type)
      .U16(0)
      .U16(0)
      .U16(static_cast<uint16_t>(formula.bytes.size()))
      .Raw(formula.bytes);
}
Data Area3d(uint16_t ixti, uint16_t r1, uint16_t r2, uint16_t c1, uint16_t c2) {
  return Data().U8(0x3B).U16(ixti).U16(r1).U16(r2).U16(c1 | 0xC000).U16(c2 | 0xC000);
}
Data Text(uint16_t flags) { return Zeros(Data(), 24).U16(flags).U16(0x4D).U16(0).U16(0); }
Data Line(uint16_t style, uint16_t icv, uint16_t flags = 0) {
  return Data().U32(0).U16(style).U16(1).U16(flags).U16(icv);
}
Data Fill(uint16_t icv) { return Data().U32(0).U32(0).U16(1).U16(0).U16(icv).U16(9); }

void Begin(Stream& s) { s.Record(0x1033, Data()); }
void End(Stream& s) { s.Record(0x1034, Data()); }

// A series of `points` values: its name, and its values as a reference (or none).
void Series(Stream& s, const std::string& name, const Data& values, uint16_t points,
            uint16_t fillIcv) {
  s.Record(0x1003, Data().U16(1).U16(1).U16(points).U16(points).U16(1).U16(0));
  Begin(s);
  s.Record(0x1051, Ai(0, 1));
  s.Record(0x100D, Data().U16(0).Str8(name));
  s.Record(0x1051, Ai(1, values.bytes.empty() ? 1 : 2, values));
  s.Record(0x1051, Ai(2, 1));
  s.Record(0x1006, Data().U16(0xFFFF).U16(0).U16(0).U16(0));
  Begin(s);
  s.Record(0x100A, Fill(fillIcv));
  End(s);
  s.Record(0x1045, Data().U16(0));
  End(s);
}

void ChartTitle(Stream& s, uint16_t link, const std::string& text, uint16_t font) {
  s.Record(0x1025, Text(text.empty() ? 0x10 : 0));
  Begin(s);
  if (font) s.Record(0x1026, Data().U16(font));
  if (!text.empty()) s.Record(0x100D, Data().U16(0).Str8(text));
  s.Record(0x1027, Data().U16(link).U16(0).U16(0));
  End(s);
}

// A column chart of two series over Data!B2:B4 and Data!C2:C4, stacked, on fixed value axes.
void ColumnChart(Stream& s) {
  s.Record(0x0809, Bof(0x0020));
  s.Record(0x1002, Zeros(Data(), 16));
  Begin(s);
  s.Record(0x1032, Data().U16(0).U16(3));
  Begin(s);
  s.Record(0x1007, Line(5, 8));
  s.Record(0x100A, Fill(22));
  End(s);
  Series(s, "North", Area3d(0, 1, 3, 1, 1), 3, 10);
  Series(s, "South", Area3d(0, 1, 3, 2, 2), 3, 12);
  s.Record(0x1044, Data().U16(0x000A).U8(2).U8(0));
  s.Record(0x1041, Zeros(Data().U16(0), 16));
  Begin(s);
  s.Record(0x101D, Zeros(Data().U16(0), 16));
  Begin(s);
  s.Record(0x1020, Data().U16(1).U16(1).U16(1).U16(0x04));
  End(s);
  s.Record(0x101D, Zeros(Data().U16(1), 16));
  Begin(s);
  s.Record(0x101F, Data().Double(0).Double(0).Double(25).Double(0).Double(0).U16(0x1A));
  s.Record(0x104E, Data().U16(164));
  s.Record(0x101E, Zeros(Data().U8(2).U8(0).U8(0).U8(1), 20).U16(0x23).U16(0x4D).U16(0));
  s.Record(0x1021, Data().U16(0));
  s.Record(0x1007, Line(0, 8));  // without the axis-on flag: the axis was deleted
  s.Record(0x1021, Data().U16(1));
  s.Record(0x1007, Line(2, 23));
  End(s);
  ChartTitle(s, 2, "Units", 0);
  s.Record(0x1035, Data());
  s.Record(0x1032, Data().U16(0).U16(3));
  Begin(s);
  s.Record(0x100A, Fill(9));
  End(s);
  s.Record(0x1014, Zeros(Data(), 16).U16(0).U16(0));
  Begin(s);
  s.Record(0x1017, Data().U16(100).U16(80).U16(0x02));
  s.Record(0x1015, Zeros(Data(), 16).U8(0).U8(1).U16(0));
  Begin(s);
  End(s);
  End(s);
  End(s);
  ChartTitle(s, 1, "Sales", 5);
  End(s);
  s.Record(0x000A, Data());
}

// A pie whose values refer to another workbook: the chart's cached values stand, and its third
// slice is pulled out.
void PieChart(Stream& s) {
  s.Record(0x0809, Bof(0x0020));
  s.Record(0x1002, Zeros(Data(), 16));
  Begin(s);
  Series(s, "Share", Area3d(1, 0, 2, 0, 0), 3, 10);
  s.Record(0x1006, Data().U16(2).U16(0).U16(0).U16(0));
  Begin(s);
  s.Record(0x100B, Data().U16(25));
  End(s);
  s.Record(0x1041, Zeros(Data().U16(0), 16));
  Begin(s);
  s.Record(0x1014, Zeros(Data(), 16).U16(1).U16(0));
  Begin(s);
  s.Record(0x1019, Data().U16(90).U16(0).U16(0));
  s.Record(0x103A, Zeros(Data(), 12));
  End(s);
  End(s);
  ChartTitle(s, 1, "", 0);
  s.Record(0x1065, Data().U16(1));
  s.Record(0x0203, Data().U16(0).U16(0).U16(0).Double(5));
  s.Record(0x0203, Data().U16(2).U16(0).U16(0).Double(7.5));
  s.Record(0x1065, Data().U16(2));
  for (uint16_t i = 0; i < 3; ++i) {
    s.Record(0x0204, Data().U16(i).U16(0).U16(0).Str16(std::string(1, static_cast<char>('x' + i))));
  }
  End(s);
  s.Record(0x000A, Data());
}

// A workbook whose sheet "Data" holds values in B2:C4 and the charts `charts` writes, each after
// its shape and object. tests/data/biff/embedded-charts.xls is Workbook({ColumnChart, PieChart}),
// a seed of the reader's fuzz target.
std::vector<uint8_t> Workbook(const std::vector<std::function<void(Stream&)>>& charts) {
  return Book8(
      [](Stream& s) {
        for (const char* name : {"A", "B", "C", "D", "Title"}) {
          s.Record(0x0031, Data().U16(240).U16(0).U16(0x7FFF).U16(700).U16(0).U32(0).Str8(name));
        }
        s.Record(0x041E, Data().U16(164).Str16("0.0%"));
        s.Record(0x01AE, Data().U16(1).U16(0x0401));
        s.Record(0x01AE, Data().U16(1).Str16("other.xls").Str16("S"));
        s.Record(0x0017, Data().U16(2).U16(0).U16(0).U16(0).U16(1).U16(0).U16(0));
      },
      [&](Stream& s) {
        for (uint16_t r = 1; r <= 3; ++r) {
          s.Record(0x0203, Data().U16(r).U16(1).U16(0).Double(r));
          s.Record(0x0203, Data().U16(r).U16(2).U16(0).Double(10 * r));
        }
        // One drawing for all shapes, its containers opened in the first record.
        std::vector<std::vector<uint8_t>> shapes;
        Data all;
        for (size_t i = 0; i < charts.size(); ++i) {
          uint16_t c = static_cast<uint16_t>(4 + 8 * i);
          shapes.push_back(ChartShape(c, 2, c + 6, 20, "Chart " + std::to_string(i + 1)));
          all.Raw(shapes.back());
        }
        std::vector<uint8_t> group = Escher(0xF003, 0x000F, all.bytes);
        std::vector<uint8_t> drawing = Escher(0xF002, 0x000F, group);
        size_t head = drawing.size() - all.bytes.size();
        for (size_t i = 0; i < charts.size(); ++i) {
          std::vector<uint8_t> piece = shapes[i];
          if (i == 0) piece.insert(piece.begin(), drawing.begin(), drawing.begin() + head);
          s.Record(0x00EC, piece);
          s.Record(0x005D, ChartObj(static_cast<uint16_t>(i + 1)));
          charts[i](s);
        }
      });
}

}  // namespace

TEST(ReaderCharts, ColumnChartWithTwoSeriesReferringToCells) {
  model::Workbook book = biff::ReadWorkbook(Workbook({ColumnChart}), "");
  const model::Sheet& sheet = book.sheets.at(0);
  ASSERT_EQ(sheet.charts.size(), 1u);
  EXPECT_EQ(sheet.cells.size(), 6u);
  const model::Chart& chart = sheet.charts[0];
  EXPECT_EQ(chart.name, "Chart 1");
  EXPECT_EQ(chart.anchor.col1, 4);
  EXPECT_EQ(chart.anchor.row1, 2u);
  EXPECT_EQ(chart.anchor.col2, 10);
  EXPECT_EQ(chart.anchor.row2, 20u);
  ASSERT_EQ(chart.groups.size(), 1u);
  const model::ChartGroup& group = chart.groups[0];
  EXPECT_EQ(group.kind, model::ChartKind::Column);
  EXPECT_EQ(group.grouping, model::ChartGrouping::Stacked);
  EXPECT_EQ(group.gapWidth, 80);
  EXPECT_EQ(group.overlap, 100);
  ASSERT_EQ(group.series.size(), 2u);
  const model::ChartSeries& north = group.series[0];
  EXPECT_EQ(north.name.texts, std::vector<std::string>{"North"});
  EXPECT_EQ(north.values.sheet, 0);
  EXPECT_EQ(north.values.range.firstRow, 1u);
  EXPECT_EQ(north.values.range.lastRow, 3u);
  EXPECT_EQ(north.values.range.firstCol, 1);
  EXPECT_EQ(north.values.formula, "Data!$B$2:$B$4");
  EXPECT_EQ(group.series[1].values.formula, "Data!$C$2:$C$4");
  EXPECT_EQ(north.fill.color, model::Color::Rgb(0xFF0000));  // palette colour 10
  EXPECT_EQ(group.series[1].fill.color, model::Color::Rgb(0x0000FF));
  // Title with its font, legend, chart and plot areas.
  EXPECT_EQ(chart.title.text, "Sales");
  ASSERT_TRUE(chart.title.hasFont);
  EXPECT_EQ(chart.title.font.name, "Title");
  EXPECT_FALSE(chart.autoTitle);
  EXPECT_EQ(chart.legend, model::LegendPosition::Bottom);
  EXPECT_FALSE(chart.chartBorder.visible);
  EXPECT_EQ(chart.chartFill.color, model::Color::Rgb(0xC0C0C0));
  EXPECT_EQ(chart.plotFill.color, model::Color::Rgb(0xFFFFFF));
  EXPECT_EQ(chart.emptyPoints, model::EmptyPoints::Span);
  EXPECT_TRUE(chart.visibleCellsOnly);
  // Axes: reversed categories; values (of a deleted axis) from a fixed 0 with a major unit of
  // 25, a format of the workbook and dotted gridlines; the axis title.
  EXPECT_TRUE(chart.categoryAxis.visible);
  EXPECT_TRUE(chart.categoryAxis.reversed);
  const model::ChartAxis& values = chart.valueAxis;
  EXPECT_FALSE(values.visible);
  EXPECT_EQ(values.min, 0.0);
  EXPECT_FALSE(values.max.has_value());
  EXPECT_EQ(values.majorUnit, 25.0);
  EXPECT_EQ(values.numberFormat, "0.0%");
  EXPECT_TRUE(values.majorGridlines);
  EXPECT_EQ(values.gridLine.dash, 2);
  EXPECT_EQ(values.gridLine.color, model::Color::Rgb(0x808080));
  EXPECT_EQ(values.title.text, "Units");
  EXPECT_FALSE(chart.secondaryValueAxis.visible);
  EXPECT_TRUE(book.biff.chartsLeftOut.empty());
}

TEST(ReaderCharts, PieWithExplodedSliceAndCachedValuesOfAnotherWorkbook) {
  model::Workbook book = biff::ReadWorkbook(Workbook({ColumnChart, PieChart}), "");
  const model::Sheet& sheet = book.sheets.at(0);
  ASSERT_EQ(sheet.charts.size(), 2u);
  const model::Chart& pie = sheet.charts[1];
  EXPECT_EQ(pie.name, "Chart 2");
  EXPECT_EQ(pie.anchor.col1, 12);
  ASSERT_EQ(pie.groups.size(), 1u);
  const model::ChartGroup& group = pie.groups[0];
  EXPECT_EQ(group.kind, model::ChartKind::Pie);
  EXPECT_EQ(pie.drawnAs, "3-D pie");
  EXPECT_TRUE(group.varyColors);
  EXPECT_EQ(group.firstSliceAngle, 90);
  EXPECT_TRUE(pie.autoTitle);
  EXPECT_EQ(pie.legend, model::LegendPosition::None);
  ASSERT_EQ(group.series.size(), 1u);
  const model::ChartSeries& s = group.series[0];
  EXPECT_EQ(s.values.sheet, -1);  // the cells are in another workbook
  ASSERT_EQ(s.values.numbers.size(), 3u);
  EXPECT_EQ(s.values.numbers[0], 5);
  EXPECT_TRUE(std::isnan(s.values.numbers[1]));
  EXPECT_EQ(s.values.numbers[2], 7.5);
  EXPECT_EQ(s.categories.texts, (std::vector<std::string>{"x", "y", "z"}));
  ASSERT_EQ(s.points.size(), 1u);
  EXPECT_EQ(s.points[0].index, 2u);
  EXPECT_EQ(s.points[0].explosion, 25);
  EXPECT_EQ(s.explosion, 0);
}

// A damaged chart is left out with its reason; the sheet, and the charts around it, stand.
TEST(ReaderCharts, DamagedChartsAreLeftOutAlone) {
  auto truncated = [](Stream& s) {  // the substream ends inside the chart's block
    s.Record(0x0809, Bof(0x0020));
    s.Record(0x1002, Zeros(Data(), 16));
    Begin(s);
    s.Record(0x1003, Data().U16(1).U16(1).U16(3).U16(3).U16(1).U16(0));
    s.Record(0x000A, Data());
  };
  auto cutRecord = [](Stream& s) {  // a SERIES record shorter than its fields
    s.Record(0x0809, Bof(0x0020));
    s.Record(0x1002, Zeros(Data(), 16));
    Begin(s);
    s.Record(0x1003, Data().U16(1));
    Begin(s);
    s.Record(0x1051, Data().U8(1).U8(2));
    End(s);
    End(s);
    s.Record(0x000A, Data());
  };
  auto deep = [](Stream& s) {  // blocks nested past any real chart
    s.Record(0x0809, Bof(0x0020));
    s.Record(0x1002, Zeros(Data(), 16));
    for (int i = 0; i < 100; ++i) Begin(s);
    for (int i = 0; i < 100; ++i) End(s);
    s.Record(0x000A, Data());
  };
  auto hoard = [](Stream& s) {  // a few records asking for millions of cached values
    s.Record(0x0809, Bof(0x0020));
    s.Record(0x1002, Zeros(Data(), 16));
    Begin(s);
    for (int i = 0; i < 20; ++i) Series(s, "s", Data(), 3, 10);
    s.Record(0x1065, Data().U16(1));
    for (uint16_t i = 0; i < 20; ++i) {
      s.Record(0x0203, Data().U16(0xFFFF).U16(i).U16(0).Double(1));
    }
    End(s);
    s.Record(0x000A, Data());
  };
  model::Workbook book =
      biff::ReadWorkbook(Workbook({truncated, ColumnChart, cutRecord, deep, PieChart, hoard}), "");
  const model::Sheet& sheet = book.sheets.at(0);
  EXPECT_EQ(sheet.cells.size(), 6u);
  ASSERT_EQ(sheet.charts.size(), 2u);
  EXPECT_EQ(sheet.charts[0].name, "Chart 2");
  EXPECT_EQ(sheet.charts[1].name, "Chart 5");
  EXPECT_EQ(sheet.charts[1].groups.at(0).kind, model::ChartKind::Pie);
  ASSERT_EQ(book.biff.chartsLeftOut.size(), 4u);
  EXPECT_EQ(book.biff.chartsLeftOut[0],
            "a chart on sheet \"Data\" is damaged: it ends inside an open block");
  EXPECT_EQ(book.biff.chartsLeftOut[1],
            "a chart on sheet \"Data\" is damaged: a record is cut short");
  EXPECT_EQ(book.biff.chartsLeftOut[2],
            "a chart on sheet \"Data\" is damaged: its records nest too deeply");
  EXPECT_EQ(book.biff.chartsLeftOut[3],
            "a chart on sheet \"Data\" is damaged: more cached values than the file could hold");
}

// BIFF5/7: the chart object holds its own anchor, the strings are 8-bit and the 3-D reference
// names the sheet by its place.
TEST(ReaderCharts, Biff5LineChart) {
  Stream s;
  s.Record(0x0809, Data().U16(0x0500).U16(0x0005).U16(0).U16(0));
  size_t offsetAt = s.Size() + 4;
  s.Record(0x0085, Data().U32(0).U8(0).U8(0).Bytes8("S"));
  s.Record(0x000A, Data());
  s.Patch32(offsetAt, static_cast<uint32_t>(s.Size()));
  s.Record(0x0809, Data().U16(0x0500).U16(0x0010).U16(0).U16(0));
  Data obj = Data().U32(1).U16(5).U16(1).U16(0);
  obj.U16(1).U16(0).U16(2).U16(0).U16(7).U16(0).U16(15).U16(0);
  s.Record(0x005D, Zeros(obj, 6));
  s.Record(0x0809, Data().U16(0x0500).U16(0x0020).U16(0).U16(0));
  s.Record(0x1002, Zeros(Data(), 16));
  Begin(s);
  s.Record(0x1003, Data().U16(1).U16(1).U16(3).U16(3));
  Begin(s);
  s.Record(0x1051, Ai(0, 1));
  s.Record(0x100D, Data().U16(0).Bytes8("Trend"));
  Data ref = Data().U8(0x3B).U16(0xFFFF);
  s.Record(0x1051, Ai(1, 2, Zeros(ref, 8).U16(0).U16(0).U16(0).U16(2).U8(1).U8(1)));
  End(s);
  s.Record(0x1041, Zeros(Data().U16(0), 16));
  Begin(s);
  s.Record(0x1014, Zeros(Data(), 16).U16(0).U16(0));
  Begin(s);
  s.Record(0x1018, Data().U16(0));
  End(s);
  End(s);
  End(s);
  s.Record(0x000A, Data());
  s.Record(0x000A, Data());
  model::Workbook book = biff::ReadWorkbook(s.bytes, "");
  ASSERT_EQ(book.sheets.at(0).charts.size(), 1u);
  const model::Chart& chart = book.sheets[0].charts[0];
  EXPECT_EQ(chart.anchor.col1, 1);
  EXPECT_EQ(chart.anchor.row1, 2u);
  EXPECT_EQ(chart.anchor.col2, 7);
  EXPECT_EQ(chart.anchor.row2, 15u);
  ASSERT_EQ(chart.groups.at(0).series.size(), 1u);
  EXPECT_EQ(chart.groups[0].kind, model::ChartKind::Line);
  EXPECT_EQ(chart.groups[0].series[0].name.texts, std::vector<std::string>{"Trend"});
  EXPECT_EQ(chart.groups[0].series[0].values.formula, "S!$B$1:$B$3");
}

// A chart substream that lost its EOF takes the sheet's: the chart is left out, the sheet ends at
// the next sheet's BOF, and the next sheet is read as it stands.
TEST(ReaderCharts, ChartWithoutItsEofCostsOnlyTheChart) {
  Stream s;
  s.Record(0x0809, Bof8(0x0005));
  const size_t first = s.Size() + 4;
  s.Record(0x0085, Data().U32(0).U8(0).U8(0).Str8("A"));
  const size_t second = s.Size() + 4;
  s.Record(0x0085, Data().U32(0).U8(0).U8(0).Str8("B"));
  s.Record(0x000A, Data());
  s.Patch32(first, static_cast<uint32_t>(s.Size()));
  s.Record(0x0809, Bof8(0x0010));
  s.Record(0x0203, Data().U16(0).U16(0).U16(0).Double(1));
  s.Record(0x005D, ChartObj(1));
  s.Record(0x0809, Bof(0x0020));
  s.Record(0x1002, Zeros(Data(), 16));
  Begin(s);
  s.Record(0x000A, Data());  // the sheet's EOF
  s.Patch32(second, static_cast<uint32_t>(s.Size()));
  s.Record(0x0809, Bof8(0x0010));
  s.Record(0x0203, Data().U16(1).U16(1).U16(0).Double(2));
  s.Record(0x000A, Data());
  model::Workbook book = biff::ReadWorkbook(s.bytes, "");
  ASSERT_EQ(book.sheets.size(), 2u);
  EXPECT_EQ(book.sheets[0].cells.size(), 1u);
  EXPECT_TRUE(book.sheets[0].charts.empty());
  ASSERT_EQ(book.sheets[1].cells.size(), 1u);
  EXPECT_EQ(book.sheets[1].cells[0].number, 2);
  EXPECT_EQ(
      book.biff.chartsLeftOut,
      std::vector<std::string>{"a chart on sheet \"A\" is damaged: it ends inside an open block"});
}
