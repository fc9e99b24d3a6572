// Publishes every worksheet of the real workbooks in the shared corpus (QUILLANE_CORPUS_DIR)
// and checks what must hold for any page: whole, safe, compaction-proof and reproducible.
// Skipped when the corpus is not there.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <sstream>

#include "spreadsheet/WorkbookPages.h"
#include "spreadsheet/model/Workbook.h"
#include "spreadsheet/publish/PageFiles.h"
#include "spreadsheet/publish/PagePublisher.h"

namespace fs = std::filesystem;
using namespace quillane;

namespace {

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace

TEST(CorpusPages, EveryWorksheetGivesAWholeSafeReproduciblePage) {
  const fs::path corpus = QUILLANE_CORPUS_DIR;
  if (!fs::is_directory(corpus)) GTEST_SKIP() << "no corpus at " << corpus;
  const fs::path out = fs::temp_directory_path() / "quillane_corpus_pages";
  fs::remove_all(out);
  fs::create_directories(out);
  int pages = 0;
  const std::regex src("(?:src|href)=\"([^\"#]*)");
  std::vector<fs::path> books;
  for (const auto& entry : fs::directory_iterator(corpus)) {
    if (entry.path().extension() == ".xls") books.push_back(entry.path());
  }
  std::sort(books.begin(), books.end());
  for (const fs::path& book : books) {
    std::optional<spreadsheet::WorkbookPages> wb;
    try {
      wb.emplace(spreadsheet::WorkbookPages::Read(book, ""));
    } catch (const spreadsheet::EngineError&) {
      continue;  // damaged or encrypted: the reader's tests cover the message
    }
    for (int i = 1; i <= wb->WorksheetCount(); ++i) {
      SCOPED_TRACE(book.filename().string() + " sheet " + std::to_string(i));
      const fs::path page = out / (book.stem().string() + "_" + std::to_string(i) + ".htm");
      wb->Publish(i, page);
      ++pages;
      const std::string html = ReadAll(page);
      EXPECT_EQ(html.rfind("<!DOCTYPE html>", 0), 0u);
      EXPECT_EQ(html.substr(html.size() - 8), "</html>\n");
      EXPECT_EQ(html.find("  "), std::string::npos);
      EXPECT_EQ(html.find("<script"), std::string::npos);
      EXPECT_EQ(html.find("border-top:none"), std::string::npos);
      EXPECT_EQ(html.find("<table style"), std::string::npos);
      EXPECT_TRUE(fs::exists(publish::SupportingFolder(page) / "filelist.xml"));
      // Pictures come from the page's own folder; links never run script.
      for (auto it = std::sregex_iterator(html.begin(), html.end(), src);
           it != std::sregex_iterator(); ++it) {
        const std::string ref = (*it)[1];
        EXPECT_EQ(ref.find("javascript:"), std::string::npos) << ref;
      }
      std::regex img("<img src=\"([^\"]*)\"");
      for (auto it = std::sregex_iterator(html.begin(), html.end(), img);
           it != std::sregex_iterator(); ++it) {
        const std::string ref = (*it)[1];
        const std::string folder = publish::SupportingFolder(page).filename().string() + "/";
        ASSERT_EQ(ref.rfind(folder, 0), 0u) << ref;
        EXPECT_TRUE(fs::exists(out / ref)) << ref;
      }
    }
    // The same workbook gives the same bytes.
    const model::Workbook& model = wb->Model();
    for (size_t s = 0; s < model.sheets.size(); ++s) {
      EXPECT_EQ(publish::RenderSheet(model, s, "x.files").html,
                publish::RenderSheet(model, s, "x.files").html);
    }
  }
  EXPECT_GT(pages, 300);
  fs::remove_all(out);
}
