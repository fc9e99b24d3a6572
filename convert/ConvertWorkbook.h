// Module modGRIDCAST: the conversion of one workbook over the spreadsheet engine (starting and
// quitting the engine, one workbook to one page per chosen worksheet). The compaction of a page
// is in CompactHtml.h.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "convert/CompactHtml.h"
#include "convert/ConversionLog.h"
#include "convert/ConvertOptions.h"
#include "spreadsheet/Application.h"

namespace quillane::convert {

// The engine shared by all conversions of a run; StartExcel makes it, QuitExcel ends it.
extern std::unique_ptr<spreadsheet::Application> ExcelApp;

// Makes the engine and sets its three alert switches off. False when any step fails (an engine
// made before the failure stays in ExcelApp, so QuitExcel must still be called).
bool StartExcel();
// Quits the engine and lets it go. Safe when there is none.
void QuitExcel();
// Replaces how StartExcel makes the engine (tests use it to stand in a failing start). An empty
// function restores the default.
void SetEngineFactory(std::function<std::unique_ptr<spreadsheet::Application>()> factory);

// Receives what a conversion says beside its log line: the entries of somebody else's that it left
// in a supporting folder instead of removing them. Without a hook they go to standard error.
void SetNoticeHook(std::function<void(const std::string&)> hook);

// The password given when the caller has none.
inline constexpr const char* kDummyPassword = "wxqz";

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
// sheet switches of `options`. May run on several threads at once, each with its own workbook.
ConvertResult ConvertWorkbook(const std::string& source, const std::string& output,
                              const ConvertOptions& options);

// The page of worksheet `index`: "_" and the index put before the extension of the file name of
// `output` (at its end when the name has none).
std::string PagePath(const std::string& output, int index);

}  // namespace quillane::convert
