#include "spreadsheet/Application.h"

#include "spreadsheet/ReadWorkbook.h"
#include "spreadsheet/model/Workbook.h"
#include "spreadsheet/publish/PageFiles.h"
#include "spreadsheet/publish/PagePublisher.h"

namespace quillane::spreadsheet {

OpenWorkbook::OpenWorkbook(std::unique_ptr<model::Workbook> book) : book_(std::move(book)) {}
OpenWorkbook::~OpenWorkbook() = default;

int OpenWorkbook::WorksheetCount() const {
  if (!book_) throw EngineError("The workbook is closed");
  int count = 0;
  for (const model::Sheet& sheet : book_->sheets) {
    if (sheet.type == model::SheetType::Worksheet) ++count;
  }
  return count;
}

size_t OpenWorkbook::SheetIndex(int index) const {
  if (!book_) throw EngineError("The workbook is closed");
  int seen = 0;
  for (size_t i = 0; i < book_->sheets.size(); ++i) {
    if (book_->sheets[i].type != model::SheetType::Worksheet) continue;
    if (++seen == index) return i;
  }
  throw EngineError("Worksheet " + std::to_string(index) + " does not exist");
}

std::string OpenWorkbook::WorksheetName(int index) const {
  return book_->sheets[SheetIndex(index)].name;
}

void OpenWorkbook::Publish(int index, const std::filesystem::path& page) const {
  size_t sheet = SheetIndex(index);
  try {
    publish::PublishSheet(*book_, sheet, page);
  } catch (const publish::PublishError& e) {
    throw EngineError(e.what(), ErrorKind::Output);
  }
}

void OpenWorkbook::Close() { book_.reset(); }

std::unique_ptr<OpenWorkbook> Application::Open(const std::filesystem::path& file, bool, bool,
                                                const std::string& password, bool) {
  if (quit_) throw EngineError("The spreadsheet engine has quit");
  try {
    auto book = std::make_unique<model::Workbook>(ReadWorkbookFile(file, password));
    return std::make_unique<OpenWorkbook>(std::move(book));
  } catch (const model::PasswordError& e) {
    throw EngineError(e.what(), ErrorKind::Password);
  } catch (const model::ReadError& e) {
    throw EngineError(e.what(), ErrorKind::Unreadable);
  }
}

void Application::Quit() { quit_ = true; }

}  // namespace quillane::spreadsheet
