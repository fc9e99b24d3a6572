// cond_formats_count FOLDER... : the conditional formats of every workbook in the folders (the
// password of encrypted ones from GRIDCAST_PASSWORD). Prints, per workbook with conditional
// formats, its blocks, the rules kept by kind, the cells whose look a rule changes and the rules
// left out by reason (CF_VERBOSE=1: and every rule kept); then the totals. Workbooks that do not
// open are counted apart.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "spreadsheet/ReadWorkbook.h"
#include "spreadsheet/publish/CondFormats.h"

using namespace quillane;

int main(int argc, char** argv) {
  const char* env = std::getenv("GRIDCAST_PASSWORD");
  const std::string password = env ? env : "";
  const bool verbose = std::getenv("CF_VERBOSE") != nullptr;
  static constexpr const char* kKinds[] = {"cell value", "expression", "colour scale", "data bar"};
  std::map<std::string, size_t> kept, leftOut;
  size_t books = 0, withRules = 0, failed = 0, blocks = 0, changed = 0, blanks = 0;
  std::vector<std::filesystem::path> files;
  for (int i = 1; i < argc; ++i) {
    for (const auto& e : std::filesystem::directory_iterator(argv[i])) {
      if (e.is_regular_file()) files.push_back(e.path());
    }
  }
  std::sort(files.begin(), files.end());
  for (const auto& path : files) {
    const std::string ext = path.extension().string();
    if (ext == ".md" || ext == ".txt") continue;
    model::Workbook book;
    try {
      book = spreadsheet::ReadWorkbookFile(path, password);
    } catch (const std::exception&) {
      ++failed;
      continue;
    }
    ++books;
    size_t bookBlocks = 0, bookChanged = 0, bookBlanks = 0, bookKept = 0, bookLeft = 0;
    for (const model::Sheet& sheet : book.sheets) {
      if (sheet.type != model::SheetType::Worksheet) continue;
      bookBlocks += sheet.conditionalFormats.size();
      for (const auto& block : sheet.conditionalFormats) {
        for (const auto& rule : block.rules) {
          ++kept[kKinds[static_cast<int>(rule.kind)]];
          ++bookKept;
          if (verbose) {
            const auto& r = block.ranges.front();
            std::printf(
                "  %s!R%uC%u:R%uC%u %s op %d operands %zu prio %u stop %d fill %d font %d\n",
                sheet.name.c_str(), r.firstRow + 1, r.firstCol + 1, r.lastRow + 1, r.lastCol + 1,
                kKinds[static_cast<int>(rule.kind)], static_cast<int>(rule.op),
                rule.operands.size(), rule.priority, rule.stopIfTrue,
                rule.style.fill ? static_cast<int>(rule.style.fill->color.rgb) : -1,
                rule.style.fontColor ? static_cast<int>(rule.style.fontColor->rgb) : -1);
          }
        }
      }
      for (const auto& [reason, n] : sheet.conditionalRulesLeftOut) {
        leftOut[reason] += n;
        bookLeft += n;
      }
      if (sheet.conditionalFormats.empty()) continue;
      std::vector<const model::Cell*> cells;
      int64_t lastRow = -1, lastCol = -1;
      for (const model::Cell& c : sheet.cells) {
        cells.push_back(&c);  // sorted by the reader
        lastRow = std::max<int64_t>(lastRow, c.row);
        lastCol = std::max<int64_t>(lastCol, c.col);
      }
      publish::CondFormats cf;
      cf.Prepare(book, sheet, cells, lastRow, lastCol);
      bookChanged += cf.ChangedCells();
      bookBlanks += cf.ChangedBlanks();
    }
    if (bookKept + bookLeft == 0) continue;
    ++withRules;
    blocks += bookBlocks;
    changed += bookChanged;
    blanks += bookBlanks;
    std::printf(
        "%s\tblocks %zu\trules kept %zu\tleft out %zu\tcells changed %zu\tblank cells %zu\n",
        path.filename().c_str(), bookBlocks, bookKept, bookLeft, bookChanged, bookBlanks);
  }
  std::printf("\nworkbooks read %zu (not opened %zu), with conditional formats %zu\n", books,
              failed, withRules);
  std::printf("blocks %zu, cells whose look a rule changes %zu, blank cells a rule colours %zu\n",
              blocks, changed, blanks);
  for (const auto& [kind, n] : kept) std::printf("kept\t%s\t%zu\n", kind.c_str(), n);
  for (const auto& [reason, n] : leftOut) std::printf("left out\t%s\t%zu\n", reason.c_str(), n);
  return 0;
}
