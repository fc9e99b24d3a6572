// Publish throughput: a synthetic sheet of numbers and texts in a few styles, rendered to a page.
// Reports cells per second and the process's peak resident memory.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <string>

#include "spreadsheet/publish/PageFiles.h"
#include "spreadsheet/publish/PagePublisher.h"

using namespace quillane::model;

namespace {

Workbook MakeBook(int rows, int cols) {
  Workbook book;
  book.fonts.push_back(Font{});
  Font bold;
  bold.weight = 700;
  book.fonts.push_back(bold);
  book.styles.resize(16);
  CellStyle money;
  money.numberFormat = "#,##0.00";
  CellStyle boxed;
  boxed.font = 1;
  boxed.left.style = boxed.right.style = boxed.top.style = boxed.bottom.style = 1;
  boxed.pattern = 1;
  boxed.patternColor = book.IndexedColor(13);
  CellStyle wrapped;
  wrapped.wrap = true;
  wrapped.hAlign = HAlign::Center;
  book.styles.push_back(money);
  book.styles.push_back(boxed);
  book.styles.push_back(wrapped);
  const uint16_t styles[4] = {0, 16, 17, 18};
  for (int i = 0; i < 1000; ++i) book.AddString("Item " + std::to_string(i) + " & more");
  Sheet& sheet = book.sheets.emplace_back();
  sheet.name = "Bench";
  sheet.cells.reserve(static_cast<size_t>(rows) * cols);
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < cols; ++c) {
      Cell cell;
      cell.row = static_cast<uint32_t>(r);
      cell.col = static_cast<uint16_t>(c);
      cell.style = styles[(r + c) % 4];
      if (c % 2 == 0) {
        cell.type = CellType::Number;
        cell.number = r * 1.5 + c;
      } else {
        cell.type = CellType::String;
        cell.text = static_cast<uint32_t>((r * 7 + c) % 1000);
      }
      sheet.cells.push_back(cell);
    }
  }
  return book;
}

void BM_PublishSheet(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0)), cols = 10;
  Workbook book = MakeBook(rows, cols);
  size_t bytes = 0;
  for (auto _ : state) {
    quillane::publish::Page page = quillane::publish::RenderSheet(book, 0, "bench_1.files");
    bytes = page.html.size();
    benchmark::DoNotOptimize(page.html.data());
  }
  state.SetItemsProcessed(state.iterations() * rows * cols);
  state.counters["cells_per_second"] = benchmark::Counter(
      static_cast<double>(rows) * cols, benchmark::Counter::kIsIterationInvariantRate);
  state.counters["page_MB"] = static_cast<double>(bytes) / 1e6;
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["peak_RSS_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// The same sheet under conditional formats over every cell: a comparison with a fill, a
// formula rule, a colour scale over the number columns and a data bar over the first.
void BM_PublishSheetWithRules(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0)), cols = 10;
  Workbook book = MakeBook(rows, cols);
  Sheet& sheet = book.sheets[0];
  const uint32_t last = static_cast<uint32_t>(rows - 1);
  CfRule greater;
  greater.op = CfOperator::Greater;
  greater.operands.push_back(CfOperand{CfOperand::Kind::Number, 1000, "", 0, 0, false, false});
  greater.style.fill = CfFill{1, Color::Rgb(0xFFC7CE), Color::Auto()};
  greater.style.fontColor = Color::Rgb(0x9C0006);
  CfRule odd;  // ISODD(ROW())
  odd.kind = CfKind::Expression;
  odd.priority = 1;
  odd.formula.resize(2);
  odd.formula[1].kind = CfToken::Kind::Call;
  odd.formula[0].kind = CfToken::Kind::Call;
  odd.formula[0].function = CfFunction::Row;
  odd.formula[1].function = CfFunction::IsOdd;
  odd.formula[1].args = 1;
  odd.style.italic = true;
  CfRule scale;
  scale.kind = CfKind::ColorScale;
  scale.priority = 2;
  scale.scale = {{{CfThreshold::Kind::Min, 0}, Color::Rgb(0xF8696B)},
                 {{CfThreshold::Kind::Percentile, 50}, Color::Rgb(0xFFEB84)},
                 {{CfThreshold::Kind::Max, 0}, Color::Rgb(0x63BE7B)}};
  CfRule bar;
  bar.kind = CfKind::DataBar;
  bar.priority = 3;
  sheet.conditionalFormats.push_back({{{0, last, 0, 9}}, {greater, odd}});
  sheet.conditionalFormats.push_back({{{0, last, 2, 2}, {0, last, 4, 8}}, {scale}});
  sheet.conditionalFormats.push_back({{{0, last, 0, 0}}, {bar}});
  size_t bytes = 0;
  for (auto _ : state) {
    quillane::publish::Page page = quillane::publish::RenderSheet(book, 0, "bench_1.files");
    bytes = page.html.size();
    benchmark::DoNotOptimize(page.html.data());
  }
  state.counters["cells_per_second"] = benchmark::Counter(
      static_cast<double>(rows) * cols, benchmark::Counter::kIsIterationInvariantRate);
  state.counters["page_MB"] = static_cast<double>(bytes) / 1e6;
}

// Sheets whose rectangle is the whole grid but whose content is small: one cell at the last
// position (0), the same with every column filled (1), with only the first column filled (2).
// The page's work and size follow what shows, not the 16.7 million positions of the grid.
void BM_PublishWholeGridSheet(benchmark::State& state) {
  Workbook book = MakeBook(0, 0);
  Sheet& sheet = book.sheets[0];
  Cell last;
  last.row = 65535;
  last.col = 255;
  last.type = CellType::Number;
  sheet.cells.push_back(last);
  CellStyle filled;
  filled.pattern = 1;
  filled.patternColor = book.IndexedColor(13);
  book.styles.push_back(filled);
  const auto fill = static_cast<uint16_t>(book.styles.size() - 1);
  if (state.range(0) == 1) sheet.columns.push_back(ColumnInfo{0, 255, 2560, fill, false, 0});
  if (state.range(0) == 2) sheet.columns.push_back(ColumnInfo{0, 0, 2560, fill, false, 0});
  quillane::publish::Page page;
  for (auto _ : state) {
    page = quillane::publish::RenderSheet(book, 0, "bench_1.files");
    benchmark::DoNotOptimize(page.html.data());
  }
  state.counters["work"] = static_cast<double>(page.work);
  state.counters["page_MB"] = static_cast<double>(page.html.size()) / 1e6;
}

}  // namespace

// A sheet of ten charts of 1,000 points each (columns, lines, areas, scatter, pies ... two of
// each of five kinds, two series of 500 points), their values in the sheet's cells; the page
// and its ten SVG files.
void BM_PublishTenCharts(benchmark::State& state) {
  Workbook book = MakeBook(500, 20);
  Sheet& sheet = book.sheets[0];
  const ChartKind kinds[] = {ChartKind::Column, ChartKind::Line, ChartKind::Area,
                             ChartKind::Scatter, ChartKind::Radar};
  for (int i = 0; i < 10; ++i) {
    Chart c;
    c.anchor = {static_cast<uint16_t>(i % 2 * 8),     0, static_cast<uint32_t>(i / 2 * 20),      0,
                static_cast<uint16_t>(i % 2 * 8 + 7), 0, static_cast<uint32_t>(i / 2 * 20 + 18), 0};
    c.title.text = "Chart " + std::to_string(i);
    ChartGroup g;
    g.kind = kinds[i % 5];
    for (int s = 0; s < 2; ++s) {
      ChartSeries series;
      series.values.sheet = 0;
      series.values.range = {0, 499, static_cast<uint16_t>(s * 2), static_cast<uint16_t>(s * 2)};
      series.categories.sheet = 0;
      series.categories.range = {0, 499, 1, 1};
      g.series.push_back(series);
    }
    c.groups.push_back(g);
    c.valueAxis.majorGridlines = true;
    sheet.charts.push_back(c);
  }
  size_t svgBytes = 0;
  for (auto _ : state) {
    quillane::publish::Page page = quillane::publish::RenderSheet(book, 0, "bench_1.files");
    if (page.chartsDrawn != 10) state.SkipWithError("a chart was not drawn");
    svgBytes = 0;
    for (const auto& f : page.files) svgBytes += f.Size();
    benchmark::DoNotOptimize(page.html.data());
  }
  state.counters["files_MB"] = static_cast<double>(svgBytes) / 1e6;
}

BENCHMARK(BM_PublishSheet)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PublishSheetWithRules)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PublishTenCharts)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PublishWholeGridSheet)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
