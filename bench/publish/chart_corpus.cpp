// chart_corpus [FOLDER ...] [--out DIR]: reads every workbook of the folders (default: the
// shared .xlsx and .xls corpora), publishes each worksheet that has charts and counts the charts
// drawn and those left out with their reasons, the kinds drawn as something else, and SVGs that
// an XML parser does not take (there must be none). --out keeps the pages and their folders.
// Prints the counts; exit code 1 when an SVG is not well-formed.
#include <expat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "spreadsheet/ReadWorkbook.h"
#include "spreadsheet/chart/ChartSvg.h"
#include "spreadsheet/publish/PagePublisher.h"

namespace fs = std::filesystem;
using namespace quillane;

namespace {

bool WellFormed(const std::vector<uint8_t>& bytes) {
  XML_Parser p = XML_ParserCreate("UTF-8");
  const bool ok = XML_Parse(p, reinterpret_cast<const char*>(bytes.data()),
                            static_cast<int>(bytes.size()), 1) == XML_STATUS_OK;
  XML_ParserFree(p);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<fs::path> folders;
  fs::path out;
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--out" && i + 1 < argc)
      out = argv[++i];
    else
      folders.emplace_back(argv[i]);
  }
  if (folders.empty()) {
    const fs::path here = fs::path(__FILE__).parent_path() / "../../../shared";
    folders = {here / "corpus-xlsx", here / "corpus"};
  }
  std::vector<fs::path> books;
  for (const fs::path& f : folders) {
    if (!fs::is_directory(f)) {
      std::printf("no corpus at %s: skipped\n", f.string().c_str());
      continue;
    }
    for (const auto& e : fs::directory_iterator(f)) {
      const std::string ext = e.path().extension().string();
      if (ext == ".xlsx" || ext == ".xlsm" || ext == ".xltx" || ext == ".xltm" || ext == ".xls")
        books.push_back(e.path());
    }
  }
  std::sort(books.begin(), books.end());
  int workbooks = 0, chartBooks = 0, charts = 0, drawn = 0, bad = 0;
  std::map<std::string, int> leftOut, drawnAs, kinds;
  double slowest = 0;
  std::string slowestName;
  for (const fs::path& book : books) {
    model::Workbook wb;
    try {
      wb = spreadsheet::ReadWorkbookFile(book, "");
    } catch (const std::exception&) {
      continue;
    }
    ++workbooks;
    bool any = false;
    for (size_t s = 0; s < wb.sheets.size(); ++s) {
      const model::Sheet& sheet = wb.sheets[s];
      if (sheet.type != model::SheetType::Worksheet || sheet.charts.empty()) continue;
      any = true;
      charts += static_cast<int>(sheet.charts.size());
      for (const model::Chart& c : sheet.charts) {
        ++kinds[chart::KindName(c)];
        if (!c.drawnAs.empty()) ++drawnAs[c.drawnAs];
      }
      const std::string stem = book.stem().string() + "_" + std::to_string(s + 1);
      const auto start = std::chrono::steady_clock::now();
      publish::Page page;
      try {
        page = publish::RenderSheet(wb, s, stem + ".files", stem + ".htm");
      } catch (const std::exception& e) {
        std::printf("%s sheet %zu: page not made: %s\n", book.filename().c_str(), s + 1, e.what());
        continue;
      }
      const double ms =
          std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
              .count();
      if (ms > slowest) slowest = ms, slowestName = stem;
      drawn += page.chartsDrawn;
      for (const std::string& why : page.chartsLeftOut) ++leftOut[why];
      for (const publish::PageFile& f : page.files) {
        if (f.name.size() > 4 && f.name.compare(f.name.size() - 4, 4, ".svg") == 0 &&
            !WellFormed(f.bytes)) {
          ++bad;
          std::printf("%s: %s is not well-formed\n", stem.c_str(), f.name.c_str());
        }
      }
      if (!out.empty()) {
        fs::create_directories(out / (stem + ".files"));
        std::ofstream(out / (stem + ".htm"), std::ios::binary) << page.html;
        for (const publish::PageFile& f : page.files)
          std::ofstream(out / (stem + ".files") / f.name, std::ios::binary)
              .write(reinterpret_cast<const char*>(f.bytes.data()),
                     static_cast<std::streamsize>(f.bytes.size()));
      }
    }
    chartBooks += any;
  }
  std::printf("workbooks read: %d, with charts: %d\n", workbooks, chartBooks);
  std::printf("charts: %d, drawn: %d, left out: %d, SVGs not well-formed: %d\n", charts, drawn,
              charts - drawn, bad);
  for (const auto& [why, n] : leftOut) std::printf("  left out (%s): %d\n", why.c_str(), n);
  for (const auto& [kind, n] : kinds) std::printf("  kind %s: %d\n", kind.c_str(), n);
  for (const auto& [as, n] : drawnAs)
    std::printf("  drawn as the nearest kind (%s): %d\n", as.c_str(), n);
  std::printf("slowest page with charts: %s, %.1f ms\n", slowestName.c_str(), slowest);
  return bad ? 1 : 0;
}
