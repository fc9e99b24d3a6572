// The reader over the shared corpus of real workbooks (QUILLANE_CORPUS_DIR): every file loads or
// gives a ReadError, known values of a few workbooks, and the count of the embedded charts read
// and left out. Skipped when the corpus is absent.
#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>

#include "spreadsheet/ReadWorkbook.h"
#include "spreadsheet/biff/WorkbookReader.h"

using namespace quillane;
namespace fs = std::filesystem;

namespace {

fs::path Corpus() { return fs::path(QUILLANE_CORPUS_DIR); }

#define REQUIRE_CORPUS()                                                    \
  if (!fs::is_directory(Corpus())) {                                        \
    GTEST_SKIP() << "the corpus of real workbooks is absent: " << Corpus(); \
  }

model::Workbook Read(const std::string& name, const std::string& password = "") {
  return spreadsheet::ReadWorkbookFile(Corpus() / name, password);
}

const model::Sheet& SheetNamed(const model::Workbook& book, const std::string& name) {
  for (const model::Sheet& sheet : book.sheets) {
    if (sheet.name == name) return sheet;
  }
  throw std::runtime_error("no sheet " + name);
}

std::string Text(const model::Workbook& book, const model::Sheet& sheet, uint32_t row,
                 uint16_t col) {
  const model::Cell* cell = sheet.Find(row, col);
  if (!cell || cell->type != model::CellType::String) return "<none>";
  return book.strings.at(cell->text);
}

double Number(const model::Sheet& sheet, uint32_t row, uint16_t col) {
  const model::Cell* cell = sheet.Find(row, col);
  return cell && cell->type == model::CellType::Number ? cell->number : -1e300;
}

}  // namespace

TEST(ReaderCorpus, EveryWorkbookLoadsOrGivesAReadError) {
  REQUIRE_CORPUS();
  int loaded = 0, refused = 0;
  int charts = 0, chartsLeftOut = 0;
  for (const auto& entry : fs::directory_iterator(Corpus())) {
    std::string ext = entry.path().extension().string();
    if (ext != ".xls" && ext != ".xlt" && ext != ".xlw") continue;
    try {
      model::Workbook book = spreadsheet::ReadWorkbookFile(entry.path(), "");
      for (const model::Sheet& sheet : book.sheets) {
        for (const model::Cell& cell : sheet.cells) {
          if (cell.type == model::CellType::String) {
            ASSERT_LT(cell.text, book.strings.size());
          }
        }
        for (const model::Picture& picture : sheet.pictures)
          ASSERT_LT(picture.blip, book.blips.size());
        charts += static_cast<int>(sheet.charts.size());
      }
      // Embedded charts left out are counted with their reason.
      for (const std::string& reason : book.biff.chartsLeftOut) {
        std::cout << entry.path().filename().string() << ": " << reason << "\n";
      }
      chartsLeftOut += static_cast<int>(book.biff.chartsLeftOut.size());
      ++loaded;
    } catch (const biff::ReadError& e) {
      std::string what = e.what();
      EXPECT_TRUE(what.rfind("The workbook is", 0) == 0 || what.rfind("Not a workbook", 0) == 0)
          << entry.path() << ": " << what;
      ++refused;
    } catch (const std::exception& e) {
      ADD_FAILURE() << entry.path() << " gave an error other than ReadError: " << e.what();
    }
  }
  EXPECT_GT(loaded, 150);
  EXPECT_LT(refused, 20);
  std::cout << "embedded charts: " << charts << " read, " << chartsLeftOut << " left out\n";
  EXPECT_GE(charts, 11);
  EXPECT_EQ(chartsLeftOut, 0);
}

TEST(ReaderCorpus, EncryptedWorkbooksOpenWithTheirPasswordOnly) {
  REQUIRE_CORPUS();
  model::Workbook rc4 = Read("password.xls", "password");
  ASSERT_FALSE(rc4.sheets.empty());
  EXPECT_FALSE(rc4.sheets[0].cells.empty());
  model::Workbook xorBook = Read("xor-encryption-abc.xls", "abc");
  EXPECT_EQ(Number(xorBook.sheets.at(0), 2, 0), 3);
  for (const char* file : {"password.xls", "xor-encryption-abc.xls"}) {
    for (const char* wrong : {"", "wrong", "Password"}) {
      try {
        Read(file, wrong);
        ADD_FAILURE() << file << " opened with " << wrong;
      } catch (const biff::PasswordError& e) {
        EXPECT_STREQ(e.what(),
                     "The workbook is password-protected and the password did not open it");
      }
    }
  }
}

TEST(ReaderCorpus, KnownValuesOfRealWorkbooks) {
  REQUIRE_CORPUS();
  model::Workbook simple = Read("Simple.xls");
  EXPECT_EQ(simple.biff.version, 8);
  EXPECT_EQ(Text(simple, simple.sheets.at(0), 0, 0), "replaceMe");

  model::Workbook sample = Read("SampleSS.xls");
  ASSERT_EQ(sample.sheets.size(), 3u);
  EXPECT_EQ(sample.sheets[1].name, "Sheet Number 2");
  EXPECT_EQ(Text(sample, sample.sheets[0], 1, 1), "2nd row 2nd column");

  model::Workbook dates = Read("1900DateWindowing.xls");
  EXPECT_FALSE(dates.date1904);
  EXPECT_EQ(Number(dates.sheets.at(0), 0, 0), 36526);  // 1 January 2000
  EXPECT_EQ(dates.Style(dates.sheets[0].Find(0, 0)->style).numberFormat, "m/d/yyyy");

  model::Workbook biff5 = Read("testEXCEL_95.xls");
  EXPECT_EQ(biff5.biff.version, 5);
  EXPECT_EQ(biff5.sheets.at(0).name, "Feuil1");
  EXPECT_EQ(Text(biff5, biff5.sheets[0], 0, 0),
            "Sample Excel Worksheet - Numbers and their Squares");
  EXPECT_EQ(biff5.Style(biff5.sheets[0].Find(5, 4)->style).numberFormat, "0.00%");
  EXPECT_EQ(biff5.sheets[0].RowHeight(0), 282);

  model::Workbook biff4 = Read("testEXCEL_4.xls");
  EXPECT_EQ(biff4.biff.version, 4);
  ASSERT_EQ(biff4.sheets.size(), 1u);
  EXPECT_EQ(biff4.sheets[0].name, "testEXCEL_4");
  EXPECT_EQ(Number(biff4.sheets[0], 10, 3), 3);
  EXPECT_EQ(biff4.sheets[0].ColumnWidth(0), 7862u);
  EXPECT_EQ(biff4.sheets[0].RowHeight(1), 240);
  EXPECT_EQ(biff4.Style(biff4.sheets[0].Find(0, 3)->style).numberFormat, "0.00%");

  model::Workbook bare = Read("biff4_no_format_no_window2.xls");
  EXPECT_EQ(Text(bare, bare.sheets.at(0), 1, 1), "DOG & CAT PRODUCTS");
  EXPECT_EQ(bare.sheets[0].ColumnWidth(1), 3600u);

  model::Workbook chinese = Read("chinese-provinces.xls");
  EXPECT_EQ(Text(chinese, chinese.sheets.at(0), 1, 1), "\u5b89\u5fbd\u7701");

  model::Workbook rich = Read("14330-2.xls");
  const model::Cell* richCell = SheetNamed(rich, "Sheet1").Find(1, 1);
  ASSERT_NE(richCell, nullptr);
  EXPECT_EQ(rich.strings.at(richCell->text), "Test bold text");
  const auto& runs = rich.richText.at(richCell->text);
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0].first, 5u);
  EXPECT_EQ(runs[0].font, 6);
  EXPECT_EQ(rich.FontOf(runs[0].font).weight, 700);

  model::Workbook images = Read("SimpleWithImages.xls");
  const model::Sheet& withImages = images.sheets.at(0);
  ASSERT_EQ(withImages.pictures.size(), 4u);
  EXPECT_EQ(withImages.pictures[0].col1, 0);
  EXPECT_EQ(withImages.pictures[0].col2, 3);
  EXPECT_EQ(withImages.pictures[0].row2, 10u);
  const model::Blip& jpeg = images.blips.at(withImages.pictures[0].blip);
  EXPECT_EQ(jpeg.type, model::BlipType::Jpeg);
  ASSERT_GT(jpeg.data.size(), 2u);
  EXPECT_EQ(jpeg.data[0], 0xFF);
  EXPECT_EQ(jpeg.data[1], 0xD8);
  const model::Blip& png = images.blips.at(withImages.pictures[1].blip);
  EXPECT_EQ(png.type, model::BlipType::Png);
  EXPECT_EQ(png.data.at(1), 'P');

  // Metafiles of the picture store come deflate-compressed: the model holds them unpacked.
  model::Workbook embedded = Read("WithEmbeddedObjects.xls");
  ASSERT_FALSE(embedded.sheets.at(0).pictures.empty());
  const model::Blip& emf = embedded.blips.at(embedded.sheets[0].pictures[0].blip);
  EXPECT_EQ(emf.type, model::BlipType::Emf);
  ASSERT_GT(emf.data.size(), 44u);
  EXPECT_EQ(std::string(emf.data.begin() + 40, emf.data.begin() + 44), " EMF");

  model::Workbook merged = Read("52447.xls");
  const model::Sheet& list = merged.sheets.at(0);
  ASSERT_FALSE(list.merged.empty());
  EXPECT_EQ(list.merged[0].firstCol, 1);
  EXPECT_EQ(list.merged[0].lastCol, 9);
  ASSERT_EQ(list.hyperlinks.size(), 1u);
  EXPECT_EQ(list.hyperlinks[0].kind, model::LinkKind::Url);
  EXPECT_EQ(list.hyperlinks[0].target, "http://www.ceedirectory.org/");

  model::Workbook place = Read("46445.xls");
  ASSERT_EQ(place.sheets.at(0).hyperlinks.size(), 1u);
  EXPECT_EQ(place.sheets[0].hyperlinks[0].kind, model::LinkKind::Place);
  EXPECT_EQ(place.sheets[0].hyperlinks[0].location, "Sheet2!A1");
  EXPECT_EQ(place.sheets[0].hyperlinks[0].description, "Hyperlink made in excel");

  model::Workbook comments = Read("SimpleWithComments.xls");
  const model::Sheet& commented = comments.sheets.at(0);
  ASSERT_EQ(commented.comments.size(), 3u);
  EXPECT_EQ(commented.comments[0].row, 0u);
  EXPECT_EQ(commented.comments[0].col, 1);
  EXPECT_EQ(commented.comments[0].author, "Yegor Kozlov");
  EXPECT_EQ(commented.comments[0].text, "Yegor Kozlov:\nfirst cell");
}

// A few embedded charts of the corpus, checked against what the application shows.
TEST(ReaderCorpus, EmbeddedCharts) {
  REQUIRE_CORPUS();
  model::Workbook pies = Read("45538_classic_Header.xls");
  const model::Sheet& six = SheetNamed(pies, "Top Six Functions");
  ASSERT_EQ(six.charts.size(), 1u);
  const model::Chart& pie = six.charts[0];
  EXPECT_EQ(pie.title.text, "Top Six Functions - Intern");
  EXPECT_EQ(pie.drawnAs, "3-D pie");
  EXPECT_EQ(pie.legend, model::LegendPosition::None);
  ASSERT_EQ(pie.groups.size(), 1u);
  ASSERT_EQ(pie.groups[0].series.size(), 1u);
  const model::ChartSeries& slices = pie.groups[0].series[0];
  EXPECT_EQ(slices.values.formula, "'Top Six Functions'!$B$8:$B$14");
  EXPECT_EQ(slices.values.numbers.size(), 7u);
  EXPECT_TRUE(slices.labels.category || pie.groups[0].labels.category);
  EXPECT_TRUE(slices.labels.percent || pie.groups[0].labels.percent);

  model::Workbook results = Read("50939.xls");
  const model::Chart& columns = SheetNamed(results, "sheet3").charts.at(0);
  EXPECT_EQ(columns.title.text, "Test results");
  EXPECT_EQ(columns.groups.at(0).kind, model::ChartKind::Column);
  EXPECT_EQ(columns.groups[0].grouping, model::ChartGrouping::PercentStacked);
  EXPECT_EQ(columns.groups[0].series.size(), 4u);
  EXPECT_EQ(columns.valueAxis.title.text, "% test case blocked/passed/failed");
  EXPECT_EQ(columns.categoryAxis.title.text, "results per version");

  model::Workbook two = Read("WithTwoCharts.xls");
  const model::Chart& line = SheetNamed(two, "Sheet2").charts.at(0);
  EXPECT_EQ(line.groups.at(0).kind, model::ChartKind::Line);
  EXPECT_TRUE(line.groups[0].markers);
  EXPECT_EQ(line.legend, model::LegendPosition::Right);
  EXPECT_EQ(line.groups[0].series.at(1).values.formula, "Sheet1!$B$1:$B$6");
  EXPECT_EQ(SheetNamed(two, "Sheet3").charts.at(0).groups.at(0).kind, model::ChartKind::Area);
}
