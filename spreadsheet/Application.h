// The engine's object model, in the shape of the automation calls a conversion makes: an
// application (its alert switches, open, quit) and the workbooks it opens (worksheet count,
// worksheet names, publish a worksheet as a page, close). Errors are exceptions of type
// EngineError whose message names the problem plainly.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

namespace quillane::model {
struct Workbook;
}

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

class OpenWorkbook {
 public:
  explicit OpenWorkbook(std::unique_ptr<model::Workbook> book);
  ~OpenWorkbook();
  OpenWorkbook(const OpenWorkbook&) = delete;
  OpenWorkbook& operator=(const OpenWorkbook&) = delete;

  // Worksheets are the sheets of type worksheet, in workbook order, hidden ones included.
  int WorksheetCount() const;
  // Name of the worksheet at a 1-based position.
  std::string WorksheetName(int index) const;
  // How a page is published.
  struct PublishOptions {
    // False: the supporting folder is not written, for a caller that removes it right after the
    // page (what stands there is checked all the same).
    bool writeFolder = true;
    // Applied to the page's text after it is rendered and before it is written (compaction).
    std::function<void(std::string&)> finishPage;
  };
  // Publishes the worksheet at a 1-based position to `page`, with its supporting folder beside
  // it (the page's extension replaced by ".files"). Replaces existing files.
  void Publish(int index, const std::filesystem::path& page) const { Publish(index, page, {}); }
  void Publish(int index, const std::filesystem::path& page, const PublishOptions& options) const;
  void Close();
  bool IsOpen() const { return book_ != nullptr; }
  const model::Workbook* Model() const { return book_.get(); }

 private:
  size_t SheetIndex(int index) const;
  std::unique_ptr<model::Workbook> book_;
  mutable uint64_t written_ = 0;  // the bytes of the pages published so far
};

class Application {
 public:
  // The three alert switches. The engine never shows a dialog; the switches are kept so the
  // caller's contract (set them all off before the first workbook) can be seen and tested.
  bool DisplayAlerts = true;
  bool EnableSound = true;
  bool AlertBeforeOverwriting = true;

  // Opens a workbook read-only. `password` opens an encrypted workbook; workbooks encrypted
  // with the default password open whatever is given.
  std::unique_ptr<OpenWorkbook> Open(const std::filesystem::path& file, bool updateLinks,
                                     bool readOnly, const std::string& password,
                                     bool ignoreReadOnlyRecommended);
  void Quit();
  bool HasQuit() const { return quit_; }

 private:
  bool quit_ = false;
};

}  // namespace quillane::spreadsheet
