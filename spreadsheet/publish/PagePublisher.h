// One worksheet of the model -> one static HTML page and its supporting folder.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "spreadsheet/model/Limits.h"
#include "spreadsheet/model/Workbook.h"

namespace quillane::publish {

class PublishError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
// A page that grew past the most it may have.
class PageTooLarge : public PublishError {
 public:
  using PublishError::PublishError;
};

struct PageFile {
  std::string name;  // file name inside the supporting folder
  std::vector<uint8_t> bytes;
  // A picture of the workbook written as it is: its bytes are unpacked straight into the file
  // when it is written, never held whole (`bytes` is then empty).
  const model::Blip* blip = nullptr;

  uint64_t Size() const { return blip ? blip->Size() : bytes.size(); }
};

struct Page {
  std::string html;             // UTF-8
  std::vector<PageFile> files;  // the supporting folder's files, filelist.xml included
  // The work of rendering: the cells, the rows and the positions of the grid visited. It grows
  // with what shows on the page, not with the rectangle around it.
  uint64_t work = 0;
  // The sheet's charts: how many were drawn (as SVG files of the folder), and why each of the
  // others was left out.
  int chartsDrawn = 0;
  std::vector<std::string> chartsLeftOut;
};

// Renders sheet `sheetIndex` (index into Workbook::sheets). `folderName` is the supporting
// folder's name as the page refers to it (for book_1.htm: "book_1.files"); `pageName` is the
// page's own file name, which filelist.xml names and links to other worksheets are made from
// (empty: the folder's name with ".files" replaced by ".htm").
//
// The page: HTML5, UTF-8, the sheet's name as its title, one <style> element with one class per
// distinct cell look, one table whose columns and rows have the sheet's widths and heights,
// pictures placed over it at their anchors. Hidden rows and columns are left out; the table ends
// at the last row and column with content or a visible format. The same workbook always gives
// the same bytes. Where row and column formats show at more than a million positions, a run of
// empty positions showing one such format (without side borders) is one cell, so such a page
// grows with the formatted areas rather than with the rectangle they fill. The work of a page
// (Page::work) grows with its cells and with what shows. Cells past the file format's grid are
// left out; a sheet of more cells than model::kMaxSheetCells, or a page larger than
// `maxPageBytes`, throws PublishError.
Page RenderSheet(const model::Workbook& book, size_t sheetIndex, std::string_view folderName,
                 std::string_view pageName = {}, size_t maxPageBytes = model::kMaxPageBytes);

}  // namespace quillane::publish
