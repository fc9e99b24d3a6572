#include "convert/ConvertWorkbook.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string_view>
#include <system_error>
#include <vector>

#include "convert/CompactHtml.h"
#include "convert/ConversionLog.h"
#include "convert/SheetRange.h"
#include "files/modFuntions.h"
#include "spreadsheet/WorkbookPages.h"
#include "spreadsheet/publish/PageFiles.h"

namespace fs = std::filesystem;

namespace quillane::convert {

namespace {

// True when both paths name one existing file (false when either is missing).
bool SameFile(const std::string& a, const std::string& b) {
  std::error_code ec;
  return fs::equivalent(a, b, ec) && !ec;
}

std::function<void(const std::string&)>& NoticeHook() {
  static std::function<void(const std::string&)> hook;
  return hook;
}

void Notice(const std::string& text) {
  if (NoticeHook()) {
    NoticeHook()(text);
  } else {
    std::fprintf(stderr, "%s\n", text.c_str());
  }
}

// Removes the supporting folder we wrote; entries of somebody else's in it stay, and are named.
void RemoveOwnFolder(const std::string& folder) {
  const std::vector<std::string> left = publish::RemoveSupportingFolder(folder);
  if (left.empty()) return;
  std::string names;
  for (size_t i = 0; i < left.size() && i < 5; ++i) names += (i ? ", " : "") + left[i];
  if (left.size() > 5) names += ", ...";
  Notice("Kept " + folder + ": it holds " + std::to_string(left.size()) +
         (left.size() == 1 ? " entry" : " entries") + " this program did not write (" + names +
         ")");
}

// Publishes a sheet, compacted in memory when asked; the supporting folder is written only when
// it is kept. When that fails (a full disk), a supporting folder that the attempt made is removed
// again with what it wrote there, so no empty folder is left beside the old page.
void PublishSheet(spreadsheet::WorkbookPages& book, int index, const std::string& page,
                  const std::string& folder, const ConvertOptions& options) {
  spreadsheet::WorkbookPages::PublishOptions publish;
  publish.writeFolder = options.CreateFilesDir;
  if (options.Compress) publish.finishPage = CompactHtmlText;
  std::error_code ec;
  const bool existed =
      !options.CreateFilesDir || fs::symlink_status(folder, ec).type() != fs::file_type::not_found;
  try {
    book.Publish(index, page, publish);
  } catch (...) {
    if (!existed) publish::RemoveSupportingFolder(folder);
    throw;
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// The run

void SetNoticeHook(std::function<void(const std::string&)> hook) { NoticeHook() = std::move(hook); }

bool RunPages::Contains(const std::string& page) const {
  std::lock_guard lock(mutex_);
  return pages_.count(page) != 0;
}

void RunPages::Add(const std::string& page) {
  std::lock_guard lock(mutex_);
  pages_.insert(page);
}

// ---------------------------------------------------------------------------------------------
// One workbook

std::string PagePath(const std::string& output, int index) {
  std::string folderAndName = files::ChangeExtension(output, "");  // drops the extension
  folderAndName.pop_back();                                        // and the dot it added
  std::string extension = output.substr(folderAndName.size());
  return folderAndName + "_" + std::to_string(index) + extension;
}

ConvertResult ConvertWorkbook(const std::string& source, const std::string& output,
                              const ConvertOptions& options, RunPages& run) {
  ConvertResult result;
  try {
    if (!files::FileExists(source)) return {LogCode::SourceMissing, Line102(source)};
    SheetRange range(options.SheetRange);
    // The first page, when it is chosen and exists, skips the workbook before it is read: a
    // batch run again without overwriting costs a look at one file per workbook.
    if (!options.Overwrite && range.Contains(1) && files::FileExists(PagePath(output, 1)) &&
        !run.Contains(PagePath(output, 1))) {
      return {LogCode::OutputExists, Line101(output)};
    }
    spreadsheet::WorkbookPages book = spreadsheet::WorkbookPages::Read(source, options.Password);
    const int count = book.WorksheetCount();
    // Without overwriting, any page the workbook would write that exists from before this run
    // keeps the whole workbook from being converted.
    for (int i = 1; i <= count && !options.Overwrite; ++i) {
      const std::string page = PagePath(output, i);
      if (range.Contains(i) && files::FileExists(page) && !run.Contains(page))
        return {LogCode::OutputExists, Line101(output)};
    }
    for (int i = 1; i <= count; ++i) {
      if (!range.Contains(i)) continue;
      const std::string page = PagePath(output, i);
      // A page must never take the place of the workbook it comes from.
      if (SameFile(page, source)) {
        throw std::runtime_error("The page " + page + " would replace the workbook");
      }
      run.Add(page);
      // The folder the publisher writes beside the page: only pictures, charts and filelist.xml,
      // never a page to compact.
      const std::string folder = publish::SupportingFolder(page).string();
      PublishSheet(book, i, page, folder, options);
      if (result.pages++ == 0) result.firstPage = i;
      if (!options.CreateFilesDir) RemoveOwnFolder(folder);
    }
    result.code = LogCode::Converted;
    result.line = Line100(source, output);
    return result;
  } catch (const spreadsheet::EngineError& e) {
    static constexpr Failure kFailures[] = {Failure::Other, Failure::Password, Failure::Unreadable,
                                            Failure::Output};
    result = {LogCode::Failed, Line103(source, e.what()), kFailures[static_cast<int>(e.Kind())]};
  } catch (const CompactError& e) {
    result = {LogCode::Failed, Line103(source, e.what()), Failure::Output};
  } catch (const std::exception& e) {
    result = {LogCode::Failed, Line103(source, e.what()), Failure::Other};
  } catch (...) {
    result = {LogCode::Failed, Line103(source, "Unknown error"), Failure::Other};
  }
  return result;
}

}  // namespace quillane::convert
