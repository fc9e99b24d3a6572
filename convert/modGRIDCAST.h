// The conversion of one workbook over the spreadsheet engine: starting and quitting the engine,
// one workbook to one page per chosen worksheet, and the compaction of a page.
#pragma once

#include <functional>
#include <memory>
#include <string>

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

// Converts `source` into one page per chosen worksheet, named after `output` (book.htm gives
// book_1.htm, book_2.htm, ...). Sets `logLine` to exactly one log line; true only when the
// workbook was converted (line 100). Between StartExcel and QuitExcel, several threads may convert
// workbooks at once, as long as no two write the same pages.
bool ConvertWorkbook(const std::string& source, const std::string& output, std::string& logLine,
                     bool overwrite, bool createFilesDir, bool compress,
                     const std::string& password, const std::string& sheetRange);

// The same, returning the code of the line written (100 to 103).
int ConvertWorkbookCode(const std::string& source, const std::string& output, std::string& logLine,
                        bool overwrite, bool createFilesDir, bool compress,
                        const std::string& password, const std::string& sheetRange);

// The page of worksheet `index`: "_" and the index put before the extension of the file name of
// `output` (at its end when the name has none).
std::string PagePath(const std::string& output, int index);

// Compacts an HTML page in place: cuts the office-specific blocks and attributes, squeezes runs
// of blanks and blank lines, and gives every table collapsed borders. The new text is written to
// a temporary file beside the page and renamed over it, so a failure or a kill leaves the page
// whole.
// Throws std::runtime_error when the page cannot be read or written.
void CompactHtml(const std::string& path);
// The same cuts and replacements on a text held in memory.
void CompactHtmlText(std::string& text);

}  // namespace quillane::convert
