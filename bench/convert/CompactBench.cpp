// CompactHtml on a 50 MB page. The page is made by the engine: it publishes each worksheet of the
// example workbooks, and the pages are repeated until 50 MB (the engine's pages of one sheet are
// small; what the compaction sees is the same kind of text at any size). A second page of the
// same size, in the markup of the spreadsheet application (conditional comments, office
// attributes, blank runs, blank lines), measures the cutting work as well.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "convert/CompactHtml.h"
#include "spreadsheet/WorkbookPages.h"

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr size_t kPageSize = 50u << 20;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

fs::path Scratch() {
  fs::path folder = fs::temp_directory_path() / ("quillane-bench-" + std::to_string(getpid()));
  fs::create_directories(folder);
  return folder;
}

std::string EnginePage() {
  static const std::string page = [] {
    fs::path scratch = Scratch();
    std::string pages;
    for (const char* name : {"quarterly-sales.xls", "staff-rota.xls", "notes.xls"}) {
      auto book = quillane::spreadsheet::WorkbookPages::Read(
          std::string(QUILLANE_SOURCE_DIR) + "/examples/" + name, "");
      for (int i = 1; i <= book.WorksheetCount(); ++i) {
        fs::path file = scratch / "page.htm";
        book.Publish(i, file);
        pages += ReadFile(file);
      }
    }
    fs::remove_all(scratch);
    if (pages.empty()) throw std::runtime_error("the engine wrote no page");
    std::string big;
    big.reserve(kPageSize + pages.size());
    while (big.size() < kPageSize) big += pages;
    return big;
  }();
  return page;
}

std::string OfficePage() {
  static const std::string page = [] {
    const std::string head =
        "<html xmlns:o=\"urn:schemas-microsoft-com:office:office\"\r\n"
        "xmlns:x=\"urn:schemas-microsoft-com:office:excel\"\r\n"
        "xmlns=\"http://www.w3.org/TR/REC-html40\">\r\n\r\n<head>\r\n"
        "<meta name=ProgId content=Excel.Sheet>\r\n<meta name=Generator content=\"x\">\r\n"
        "<link rel=File-List href=\"book_1.files/filelist.xml\">\r\n"
        "<!--[if gte mso 9]><xml>\r\n <x:ExcelWorkbook>\r\n  <x:ExcelWorksheets>\r\n"
        "  </x:ExcelWorksheets>\r\n </x:ExcelWorkbook>\r\n</xml><![endif]-->\r\n</head>\r\n\r\n"
        "<body>\r\n<table x:str border=0 cellpadding=0 cellspacing=0 width=256>\r\n";
    const std::string row =
        " <tr height=17 style='mso-height-source:userset;height:12.75pt'>\r\n"
        "  <td height=17 class=xl24 width=64 style='height:12.75pt;border-top:none'>Text</td>\r\n"
        "  <td class=xl25 style='border-top:none;border-left:none' x:num>1234.5</td>\r\n"
        "  <td colspan=2 style='mso-ignore:colspan'></td>\r\n </tr>\r\n"
        " <![if supportMisalignedColumns]>\r\n <tr height=0 style='display:none'>\r\n"
        "  <td width=64 style='width:48pt'></td>\r\n </tr>\r\n <![endif]>\r\n\r\n";
    std::string big = head;
    big.reserve(kPageSize + row.size());
    while (big.size() < kPageSize) big += row;
    return big + "</table>\r\n</body>\r\n</html>\r\n";
  }();
  return page;
}

void Compact(benchmark::State& state, const std::string& source) {
  for (auto _ : state) {
    state.PauseTiming();
    std::string text = source;
    state.ResumeTiming();
    quillane::convert::CompactHtmlText(text);
    benchmark::DoNotOptimize(text.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(source.size()));
}

void CompactFile(benchmark::State& state, const std::string& source) {
  fs::path scratch = Scratch();
  std::string path = (scratch / "page.htm").string();
  for (auto _ : state) {
    state.PauseTiming();
    std::ofstream(path, std::ios::binary | std::ios::trunc) << source;
    state.ResumeTiming();
    quillane::convert::CompactHtml(path);
  }
  fs::remove_all(scratch);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(source.size()));
}

void BM_CompactEnginePage(benchmark::State& state) { Compact(state, EnginePage()); }
void BM_CompactOfficePage(benchmark::State& state) { Compact(state, OfficePage()); }
void BM_CompactHtmlFileEnginePage(benchmark::State& state) { CompactFile(state, EnginePage()); }
void BM_CompactHtmlFileOfficePage(benchmark::State& state) { CompactFile(state, OfficePage()); }

}  // namespace

BENCHMARK(BM_CompactEnginePage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CompactOfficePage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CompactHtmlFileEnginePage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CompactHtmlFileOfficePage)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
