#include "spreadsheet/Application.h"

#include <algorithm>

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

void OpenWorkbook::Publish(int index, const std::filesystem::path& page,
                           const PublishOptions& options) const {
  size_t sheet = SheetIndex(index);
  // What one workbook may write is bounded by the size of its file, so a few kilobytes that
  // stand for a huge sheet, or many sheets that share one part, cannot fill a disk.
  const uint64_t budget = model::WrittenBudget(book_->fileBytes);
  const uint64_t left = budget - std::min(written_, budget);
  auto tooMuch = [&] {
    return EngineError("The workbook is too large: its pages would pass " +
                           std::to_string(budget >> 20) +
                           " MB, the most written for a file of its size (64 times its size "
                           "plus 16 MB)",
                       ErrorKind::Unreadable);
  };
  try {
    const std::filesystem::path folder = publish::SupportingFolder(page);
    const size_t most = static_cast<size_t>(std::min<uint64_t>(model::kMaxPageBytes, left));
    publish::Page rendered;
    try {
      rendered = publish::RenderSheet(*book_, sheet, folder.filename().string(),
                                      page.filename().string(), most);
    } catch (const publish::PageTooLarge&) {
      if (most < model::kMaxPageBytes) throw tooMuch();
      throw;
    }
    uint64_t bytes = rendered.html.size();
    for (const publish::PageFile& f : rendered.files) bytes += f.Size();
    if (bytes > left) throw tooMuch();
    written_ += bytes;
    if (options.finishPage) options.finishPage(rendered.html);
    publish::WritePage(
        rendered, page,
        options.writeFolder ? publish::FolderWork::Write : publish::FolderWork::Check);
  } catch (const publish::PublishError& e) {
    throw EngineError(e.what(), ErrorKind::Output);
  } catch (const model::ReadError& e) {
    // A picture that turns out damaged as it is unpacked into its file.
    throw EngineError(e.what(), ErrorKind::Unreadable);
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
