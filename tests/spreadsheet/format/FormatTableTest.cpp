// The display text of (value, format) pairs as real spreadsheet programs show them, with the rows
// where they differ from the application reviewed (tests/data/format: cases.src, the recipe
// make_oracle.py, review.tsv and the table format_cases.tsv made by make_table.py).
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "spreadsheet/format/NumberFormat.h"

namespace quillane::format {
namespace {

struct Row {
  std::string kind, code, value, expected, origin;
  int line = 0;
};

std::vector<Row> ReadTable() {
  std::ifstream in(std::string(QUILLANE_SOURCE_DIR) + "/tests/data/format/format_cases.tsv");
  std::vector<Row> rows;
  std::string line;
  int n = 0;
  while (std::getline(in, line)) {
    ++n;
    if (line.empty() || line[0] == '#') continue;
    Row r;
    r.line = n;
    std::vector<std::string*> fields{&r.kind, &r.code, &r.value, &r.expected, &r.origin};
    std::size_t start = 0;
    for (std::size_t i = 0; i < fields.size(); ++i) {
      std::size_t tab = line.find('\t', start);
      *fields[i] = line.substr(start, tab == std::string::npos ? std::string::npos : tab - start);
      if (tab == std::string::npos) break;
      start = tab + 1;
    }
    rows.push_back(std::move(r));
  }
  return rows;
}

TEST(FormatTableTest, MatchesSpreadsheetOutput) {
  std::vector<Row> rows = ReadTable();
  ASSERT_GE(rows.size(), 300u) << "table missing or short";
  // One compiled format per code, as the publisher uses them.
  std::map<uint16_t, std::string> none;
  FormatTable builtins(none);
  int failures = 0;
  for (const Row& r : rows) {
    std::string shown;
    if (r.kind == "s") {
      shown = NumberFormat(r.code).FormatText(r.value).text;
    } else if (r.kind == "b") {
      shown = builtins.Get(static_cast<uint16_t>(std::atoi(r.code.c_str())))
                  .Format(std::strtod(r.value.c_str(), nullptr), false)
                  .text;
    } else {
      shown = NumberFormat(r.code)
                  .Format(std::strtod(r.value.c_str(), nullptr), r.kind == "n1904")
                  .text;
    }
    if (shown != r.expected) {
      ++failures;
      ADD_FAILURE() << "line " << r.line << ": " << r.kind << " [" << r.code << "] " << r.value
                    << "\n  shown    [" << shown << "]\n  expected [" << r.expected << "] ("
                    << r.origin << ")";
    }
  }
  EXPECT_EQ(failures, 0);
}

}  // namespace
}  // namespace quillane::format
