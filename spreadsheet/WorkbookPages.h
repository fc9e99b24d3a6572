// A workbook read for publishing: its worksheets, and the page of one of them written with its
// supporting folder. It keeps what the workbook has written so far, which its file's size bounds.
// Errors are exceptions of type EngineError whose message names the problem plainly.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "spreadsheet/model/Workbook.h"

namespace quillane::spreadsheet {

// What kind of failure an EngineError reports, so callers can act on it without reading its text.
enum class ErrorKind {
  Other,
  Password,    // the workbook is encrypted and the password did not open it
  Unreadable,  // not a workbook, damaged, or beyond the engine's limits
  Output,      // a page or its supporting folder could not be written
};

class EngineError : public std::runtime_error {
 public:
  explicit EngineError(const std::string& message, ErrorKind kind = ErrorKind::Other)
      : std::runtime_error(message), kind_(kind) {}
  ErrorKind Kind() const { return kind_; }

 private:
  ErrorKind kind_;
};

class WorkbookPages {
 public:
  // Reads the workbook at `file` (ReadWorkbookFile). An empty password means none; workbooks
  // encrypted with the default password open whatever is given.
  static WorkbookPages Read(const std::filesystem::path& file, const std::string& password);
  // Over a workbook already read.
  explicit WorkbookPages(model::Workbook book);

  // Worksheets are the sheets of type worksheet, in workbook order, hidden ones included; they
  // are counted from 1, as their pages are numbered.
  int WorksheetCount() const { return static_cast<int>(worksheets_.size()); }
  const model::Sheet& Worksheet(int index) const { return book_.sheets[SheetIndex(index)]; }
  const model::Workbook& Model() const { return book_; }

  // How a page is published.
  struct PublishOptions {
    // False: the supporting folder is not written, for a caller that removes it right after the
    // page (what stands there is checked all the same).
    bool writeFolder = true;
    // Applied to the page's text after it is rendered and before it is written (compaction).
    std::function<void(std::string&)> finishPage;
  };
  // Publishes the worksheet at `index` to `page`, with its supporting folder beside it (the
  // page's extension replaced by ".files"). Replaces existing files.
  void Publish(int index, const std::filesystem::path& page) { Publish(index, page, {}); }
  void Publish(int index, const std::filesystem::path& page, const PublishOptions& options);

 private:
  size_t SheetIndex(int index) const;
  model::Workbook book_;
  std::vector<size_t> worksheets_;  // the sheet index of each worksheet
  uint64_t written_ = 0;            // the bytes of the pages published so far
};

}  // namespace quillane::spreadsheet
