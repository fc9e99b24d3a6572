// Module modGRIDCAST: the conversion of one workbook (read, then one page per chosen worksheet),
// within a batch run that knows the pages it has written. The compaction of a page is in
// CompactHtml.h.
#pragma once

#include <functional>
#include <mutex>
#include <set>
#include <string>

#include "convert/CompactHtml.h"
#include "convert/ConversionLog.h"
#include "convert/ConvertOptions.h"

namespace quillane::convert {

// The pages a batch run has written so far: its own output, which never stops a later workbook
// of the same run the way an earlier run's pages do. One per run, shared by its conversions,
// which may run on several threads at once.
class RunPages {
 public:
  bool Contains(const std::string& page) const;
  void Add(const std::string& page);

 private:
  mutable std::mutex mutex_;
  std::set<std::string> pages_;
};

// Receives what a conversion says beside its log line: the entries of somebody else's that it left
// in a supporting folder instead of removing them. Without a hook they go to standard error.
void SetNoticeHook(std::function<void(const std::string&)> hook);

// Why a conversion gave line 103, kept as the layer that failed said it.
enum class Failure {
  None,
  Password,    // the workbook is encrypted and the password did not open it
  Unreadable,  // not a workbook, damaged, or beyond the engine's limits
  Output,      // a page, its supporting folder or its compaction could not be written
  Other,
};

struct ConvertResult {
  LogCode code = LogCode::Failed;
  std::string line;  // exactly one log line
  Failure failure = Failure::None;
  int firstPage = 0;  // the sheet of the first page written (0: none), and how many were written
  int pages = 0;
  bool Converted() const { return code == LogCode::Converted; }
};

// Converts `source` into one page per chosen worksheet, named after `output` (book.htm gives
// book_1.htm, book_2.htm, ...), with the overwrite, supporting-folder, compaction, password and
// sheet switches of `options` (an empty password means none). The pages it writes are added to
// `run`. May run on several threads at once, each with its own workbook.
ConvertResult ConvertWorkbook(const std::string& source, const std::string& output,
                              const ConvertOptions& options, RunPages& run);

// The page of worksheet `index`: "_" and the index put before the extension of the file name of
// `output` (at its end when the name has none).
std::string PagePath(const std::string& output, int index);

}  // namespace quillane::convert
