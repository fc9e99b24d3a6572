#include "spreadsheet/publish/PagePublisher.h"

#include <fstream>

namespace quillane::publish {

Page RenderSheet(const model::Workbook& book, size_t sheetIndex, std::string_view) {
  Page page;
  page.html = "<!DOCTYPE html>\n<title>" + book.sheets.at(sheetIndex).name + "</title>\n";
  return page;
}

std::filesystem::path SupportingFolder(const std::filesystem::path& page) {
  std::filesystem::path folder = page;
  folder.replace_extension(".files");
  return folder;
}

void PublishSheet(const model::Workbook& book, size_t sheetIndex,
                  const std::filesystem::path& page) {
  std::filesystem::path folder = SupportingFolder(page);
  Page rendered = RenderSheet(book, sheetIndex, folder.filename().string());
  std::ofstream out(page, std::ios::binary | std::ios::trunc);
  out << rendered.html;
  if (!out) throw PublishError("Cannot write the page " + page.string());
}

}  // namespace quillane::publish
