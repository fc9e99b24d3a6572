// The targets of links in a page: links out of the workbook (URLs and files), links to a place in
// it (a cell of this or another worksheet's page), the cell references they name, and the one URL
// encoder of the publisher. A link's target comes from the workbook, so it is hostile input: it is
// cleaned the way a browser cleans a URL before the check, and the check is made on exactly the
// text that is written, so no control character can hide a scheme from it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "spreadsheet/model/Workbook.h"

namespace quillane::publish {

// The href of a link to a URL or a file (`isFile`: the workbook stored it as a file path), with
// `location` as its mark after '#'. Control characters are dropped everywhere and blanks trimmed
// at both ends, as a browser does; then only http, https, ftp, mailto and file URLs, and paths
// without a scheme (relative ones, drive paths, shares), give a link. Anything else, such as
// javascript:, data: or vbscript:, gives nothing and the cell is written as plain text.
std::optional<std::string> ExternalHref(std::string_view target, std::string_view location,
                                        bool isFile);

// The scheme of a cleaned URL in lower case ("http" for "HTTP://x"), or empty when it has none.
// A single letter before the colon is a drive, not a scheme.
std::string UrlScheme(std::string_view url);

// Percent-encodes a file name or relative path for a URL: everything but letters, digits and
// "-._~/" is encoded, so the result needs no further escaping in an attribute.
void AppendUrlPath(std::string& out, std::string_view path);

// A cell of a sheet, 0-based.
struct CellRef {
  uint32_t row = 0;
  uint16_t col = 0;
};

// "B3" for row 2, column 1: the id a page gives a cell that links point to, and the mark after
// '#' of a link to it.
void AppendCellName(std::string& out, CellRef cell);

// A place in the workbook as a link names it: "Sheet2!B3", "'My sheet'!B3:C4", "$B$3", "b3".
// Blanks and control characters around it are ignored, a range stands for its first cell, a
// quoted sheet name loses its quotes; `sheet` is empty when the place names no sheet (the link's
// own). Anything but a cell reference of at most three letters and seven digits (a defined name,
// damaged text) gives nothing. `sheet` points into `location`.
struct Place {
  std::string_view sheet;
  CellRef cell;
};
std::optional<Place> ParsePlace(std::string_view location);

// Whether `place` lies on sheet `sheetName` (its own, when it names none); sheet names compare
// without regard to ASCII case.
bool PlaceOnSheet(const Place& place, std::string_view sheetName);

// The page of worksheet `target` seen from page `pageName` of worksheet `own` (indexes into
// Workbook::sheets), when that name follows the conversion's naming (book_1.htm, book_2.htm, ...
// by worksheet number); empty otherwise, and for sheets that are not worksheets.
std::string OtherSheetPage(const model::Workbook& book, size_t own, std::string_view pageName,
                           size_t target);

// The href of a link of sheet `sheetIndex` (on page `pageName`) to the place `location`: "#B3" on
// the same page, "book_2.htm#B3" on another worksheet's page; nothing when the place is not a
// cell, names no sheet of the workbook, or its sheet has no page.
std::optional<std::string> PlaceHref(const model::Workbook& book, size_t sheetIndex,
                                     std::string_view pageName, std::string_view location);

}  // namespace quillane::publish
