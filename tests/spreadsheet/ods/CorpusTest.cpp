// The reader over the corpus of real OpenDocument spreadsheets (../shared/corpus-ods): every file
// gives a workbook or a ReadError, and what a few of them hold. Skipped when the corpus is absent.
#include <gtest/gtest.h>

#include <filesystem>

#include "spreadsheet/ReadWorkbook.h"

using namespace quillane;
namespace fs = std::filesystem;

namespace {

fs::path Corpus() { return fs::path(QUILLANE_ODS_CORPUS_DIR); }

#define REQUIRE_CORPUS()                                                               \
  if (!fs::is_directory(Corpus())) {                                                   \
    GTEST_SKIP() << "the corpus of OpenDocument spreadsheets is absent: " << Corpus(); \
  }

model::Workbook Read(const std::string& name) {
  return spreadsheet::ReadWorkbookFile(Corpus() / name, "");
}

std::string Text(const model::Workbook& book, uint32_t row, uint16_t col, size_t sheet = 0) {
  const model::Cell* cell = book.sheets.at(sheet).Find(row, col);
  if (!cell || cell->type != model::CellType::String) return "<none>";
  return book.strings.at(cell->text);
}

}  // namespace

TEST(OdsCorpus, EveryFileGivesAWorkbookOrAReadError) {
  REQUIRE_CORPUS();
  int read = 0, refused = 0;
  for (const auto& entry : fs::directory_iterator(Corpus())) {
    const std::string ext = entry.path().extension().string();
    if (ext != ".ods" && ext != ".ots" && ext != ".fods") continue;
    try {
      const model::Workbook book = spreadsheet::ReadWorkbookFile(entry.path(), "");
      for (const model::Sheet& sheet : book.sheets) {
        for (const model::Cell& cell : sheet.cells) {
          if (cell.type == model::CellType::String) {
            ASSERT_LT(cell.text, book.strings.size());
          }
          ASSERT_LT(cell.style, book.styles.size());
        }
        for (const model::Picture& p : sheet.pictures) ASSERT_LT(p.blip, book.blips.size());
      }
      ++read;
    } catch (const model::ReadError& e) {
      EXPECT_NE(std::string(e.what()), "") << entry.path();
      ++refused;
    }
  }
  EXPECT_GE(read, 8);
  EXPECT_LE(refused, 2);  // the encrypted file and the one of a billion repeated values
}

TEST(OdsCorpus, KnownContents) {
  REQUIRE_CORPUS();
  EXPECT_THROW(Read("calamine-pass_protected.ods"), model::ReadError);
  EXPECT_THROW(Read("calamine-issue_594_dos.ods"), model::ReadError);

  const model::Workbook pictures = Read("calamine-picture.ods");
  ASSERT_EQ(pictures.sheets.size(), 3u);
  ASSERT_EQ(pictures.sheets[0].pictures.size(), 1u);
  EXPECT_EQ(pictures.blips[pictures.sheets[0].pictures[0].blip].type, model::BlipType::Jpeg);
  EXPECT_EQ(pictures.sheets[0].pictures[0].col2, 6);  // ends in G31
  EXPECT_EQ(pictures.sheets[0].pictures[0].row2, 30u);

  const model::Workbook special = Read("calamine-special_cells.ods");
  EXPECT_EQ(Text(special, 0, 0), "Split\nLine");
  EXPECT_EQ(Text(special, 4, 0), "  Value   With 2 spaces before and after  ");

  const model::Workbook covered = Read("calamine-covered.ods");
  EXPECT_FALSE(covered.sheets[0].merged.empty());

  const model::Workbook annotated = Read("calamine-with-annotation.ods");
  ASSERT_FALSE(annotated.sheets[0].comments.empty());
  EXPECT_FALSE(annotated.sheets[0].comments[0].text.empty());
}
