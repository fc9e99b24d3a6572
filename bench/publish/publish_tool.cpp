// publish_tool BOOK OUTDIR [--password P] [--formulas FILE]: publishes every worksheet of BOOK
// through the engine as OUTDIR/<stem>_<n>.htm with its supporting folder, as the conversion names
// them. Prints one line per worksheet: the number, the name, the page and "visible" or "hidden"
// (tab-separated); errors go to stderr
// with exit code 1. --formulas writes one line per formula cell (worksheet number, row, column,
// kind and the stored result, tab-separated; rows and columns counted as the page counts them) for
// the fidelity comparison, which leaves out cells that the comparison application recalculates.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "spreadsheet/WorkbookPages.h"
#include "spreadsheet/model/Workbook.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: publish_tool BOOK OUTDIR [--password P]\n");
    return 2;
  }
  std::filesystem::path book = argv[1], outdir = argv[2];
  std::string password, formulas;
  for (int i = 3; i + 1 < argc; i += 2) {
    if (std::string(argv[i]) == "--password") password = argv[i + 1];
    if (std::string(argv[i]) == "--formulas") formulas = argv[i + 1];
  }
  try {
    auto wb = quillane::spreadsheet::WorkbookPages::Read(book, password);
    std::filesystem::create_directories(outdir);
    const int count = wb.WorksheetCount();
    for (int i = 1; i <= count; ++i) {
      auto page = outdir / (book.stem().string() + "_" + std::to_string(i) + ".htm");
      wb.Publish(i, page);
      const quillane::model::Sheet& sheet = wb.Worksheet(i);
      std::printf("%d\t%s\t%s\t%s\n", i, sheet.name.c_str(), page.string().c_str(),
                  sheet.visibility != quillane::model::Visibility::Visible ? "hidden" : "visible");
    }
    if (!formulas.empty()) {
      FILE* out = std::fopen(formulas.c_str(), "w");
      if (!out) throw std::runtime_error("cannot write " + formulas);
      int number = 0;
      for (const auto& sheet : wb.Model().sheets) {
        if (sheet.type != quillane::model::SheetType::Worksheet) continue;
        ++number;
        // Positions as the page counts them: hidden rows and columns are left out.
        uint32_t maxRow = 0;
        for (const auto& c : sheet.cells) maxRow = std::max(maxRow, c.row);
        std::vector<uint32_t> pageRow(maxRow + 1), pageCol(65536);
        for (uint32_t r = 0, n = 0; r <= maxRow; ++r)
          pageRow[r] = sheet.RowHidden(r) ? UINT32_MAX : n++;
        for (uint32_t k = 0, n = 0; k < 65536; ++k) {
          pageCol[k] = sheet.ColumnHidden(static_cast<uint16_t>(k)) ? UINT32_MAX : n++;
        }
        for (const auto& c : sheet.cells) {
          if (!c.formula || pageRow[c.row] == UINT32_MAX || pageCol[c.col] == UINT32_MAX) continue;
          std::string value;
          switch (c.type) {
            case quillane::model::CellType::Number: {
              char buf[32];
              std::snprintf(buf, sizeof buf, "%.17g", c.number);
              value = std::string("n\t") + buf;
              break;
            }
            case quillane::model::CellType::String: {
              value = "s\t";
              for (char ch : wb.Model().strings.at(c.text))
                value += (ch == '\t' || ch == '\n' || ch == '\r') ? ' ' : ch;
              break;
            }
            case quillane::model::CellType::Boolean:
              value = c.code ? "b\tTRUE" : "b\tFALSE";
              break;
            case quillane::model::CellType::Error:
              value = "e\t" + std::string(quillane::model::ErrorText(c.code));
              break;
            case quillane::model::CellType::Blank:
              value = "s\t";
              break;
          }
          std::fprintf(out, "%d\t%u\t%u\t%s\n", number, pageRow[c.row], pageCol[c.col],
                       value.c_str());
        }
      }
      std::fclose(out);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s: %s\n", book.string().c_str(), e.what());
    return 1;
  }
  return 0;
}
