#include "spreadsheet/biff/WorkbookReader.h"

namespace quillane::biff {

model::Workbook ReadWorkbook(std::span<const uint8_t>, const std::string&) {
  throw ReadError("Workbooks are not read yet");
}

model::Workbook ReadWorkbookFile(const std::filesystem::path& path, const std::string& password) {
  (void)path;
  return ReadWorkbook({}, password);
}

}  // namespace quillane::biff
