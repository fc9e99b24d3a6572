#include "spreadsheet/WorkbookPages.h"

#include <algorithm>

#include "spreadsheet/ReadWorkbook.h"
#include "spreadsheet/model/Workbook.h"
#include "spreadsheet/publish/PageFiles.h"
#include "spreadsheet/publish/PagePublisher.h"

namespace quillane::spreadsheet {

WorkbookPages WorkbookPages::Read(const std::filesystem::path& file, const std::string& password) {
  try {
    return WorkbookPages(ReadWorkbookFile(file, password));
  } catch (const model::PasswordError& e) {
    throw EngineError(e.what(), ErrorKind::Password);
  } catch (const model::ReadError& e) {
    throw EngineError(e.what(), ErrorKind::Unreadable);
  }
}

WorkbookPages::WorkbookPages(model::Workbook book) : book_(std::move(book)) {
  for (size_t i = 0; i < book_.sheets.size(); ++i) {
    if (book_.sheets[i].type == model::SheetType::Worksheet) worksheets_.push_back(i);
  }
}

size_t WorkbookPages::SheetIndex(int index) const {
  if (index < 1 || index > WorksheetCount()) {
    throw EngineError("Worksheet " + std::to_string(index) + " does not exist");
  }
  return worksheets_[static_cast<size_t>(index - 1)];
}

void WorkbookPages::Publish(int index, const std::filesystem::path& page,
                            const PublishOptions& options) {
  size_t sheet = SheetIndex(index);
  // What one workbook may write is bounded by the size of its file, so a few kilobytes that
  // stand for a huge sheet, or many sheets that share one part, cannot fill a disk.
  const uint64_t budget = model::WrittenBudget(book_.fileBytes);
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
      rendered = publish::RenderSheet(book_, sheet, folder.filename().string(),
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

}  // namespace quillane::spreadsheet
