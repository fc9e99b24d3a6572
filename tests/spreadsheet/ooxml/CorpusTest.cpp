// The reader over the shared corpus of real packages (beside the .xls corpus, "corpus-xlsx"):
// every file gives a model or a ReadError, and known values of a few. Skipped when absent.
#include <gtest/gtest.h>

#include <filesystem>

#include "spreadsheet/ReadWorkbook.h"

using namespace quillane;
namespace fs = std::filesystem;

namespace {

fs::path Corpus() { return fs::path(std::string(QUILLANE_CORPUS_DIR) + "-xlsx"); }

}  // namespace

TEST(OoxmlCorpus, EveryPackageLoadsOrGivesAReadError) {
  if (!fs::is_directory(Corpus()))
    GTEST_SKIP() << "the corpus of real packages is absent: " << Corpus();
  int loaded = 0, refused = 0;
  size_t cells = 0;
  for (const auto& entry : fs::directory_iterator(Corpus())) {
    if (entry.path().extension() == ".md") continue;
    try {
      const model::Workbook book = spreadsheet::ReadWorkbookFile(entry.path(), "");
      for (const model::Sheet& sheet : book.sheets) {
        for (const model::Cell& cell : sheet.cells) {
          if (cell.type == model::CellType::String) {
            ASSERT_LT(cell.text, book.strings.size()) << entry.path();
          }
          ASSERT_LT(cell.style, std::max<size_t>(book.styles.size(), 1)) << entry.path();
        }
        for (const model::Picture& picture : sheet.pictures)
          ASSERT_LT(picture.blip, book.blips.size());
        cells += sheet.cells.size();
      }
      for (const auto& [index, runs] : book.richText) {
        for (const model::TextRun& run : runs)
          ASSERT_LT(run.font, book.fonts.size()) << entry.path();
      }
      ++loaded;
    } catch (const model::ReadError& e) {
      ++refused;
      EXPECT_FALSE(std::string(e.what()).empty());
      std::cout << entry.path().filename().string() << ": " << e.what() << "\n";
    }
  }
  std::cout << loaded << " packages read (" << cells << " cells), " << refused << " refused\n";
  EXPECT_GT(loaded, refused * 10);
}

TEST(OoxmlCorpus, AgileEncryptedPackageOpensWithItsPassword) {
  const fs::path file = Corpus() / "poi-protected_passtika.xlsx";
  if (!fs::exists(file)) GTEST_SKIP() << "the corpus of real packages is absent: " << Corpus();
  EXPECT_THROW(spreadsheet::ReadWorkbookFile(file, "wrong"), model::PasswordError);
  const model::Workbook book = spreadsheet::ReadWorkbookFile(file, "tika");
  ASSERT_FALSE(book.sheets.empty());
  EXPECT_FALSE(book.sheets[0].cells.empty());
}
