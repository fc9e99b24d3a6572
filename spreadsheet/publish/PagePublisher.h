// One worksheet of the model -> one static HTML page and its supporting folder.
#pragma once

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "spreadsheet/model/Workbook.h"

namespace quillane::publish {

class PublishError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct PageFile {
  std::string name;  // file name inside the supporting folder
  std::vector<uint8_t> bytes;
};

struct Page {
  std::string html;             // UTF-8
  std::vector<PageFile> files;  // the supporting folder's files, filelist.xml included
};

// Renders sheet `sheetIndex` (index into Workbook::sheets). `folderName` is the supporting
// folder's name as the page refers to it (for book_1.htm: "book_1.files").
Page RenderSheet(const model::Workbook& book, size_t sheetIndex, std::string_view folderName);

// Renders and writes the page and its supporting folder: the page path with its extension
// replaced by ".files". Existing files are replaced.
void PublishSheet(const model::Workbook& book, size_t sheetIndex,
                  const std::filesystem::path& page);

// The supporting folder of a page: book_1.htm -> book_1.files.
std::filesystem::path SupportingFolder(const std::filesystem::path& page);

}  // namespace quillane::publish
