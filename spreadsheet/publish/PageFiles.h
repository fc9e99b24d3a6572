// Writing a rendered page and its supporting folder to the disk, and removing that folder again.
//
// Only what this program wrote is ever replaced or removed. The supporting folder's filelist.xml
// names the files we wrote there; a folder of that name without one is somebody else's and is
// left alone (the page is not written), and files in our folder that the list does not name are
// neither overwritten nor removed. Every file is written under a temporary name and renamed into
// place once whole, so a page is always either the complete new page or the complete old one, and
// no symbolic link at a page's or a file's path is ever followed.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "spreadsheet/model/Workbook.h"
#include "spreadsheet/publish/PagePublisher.h"

namespace quillane::publish {

// The supporting folder of a page: book_1.htm -> book_1.files.
std::filesystem::path SupportingFolder(const std::filesystem::path& page);

// Renders sheet `sheetIndex` and writes the page and its supporting folder. The folder's files
// are written first and the page last; files an earlier run wrote that the new page no longer
// needs are removed. Failures throw PublishError and leave the old page as it was.
void PublishSheet(const model::Workbook& book, size_t sheetIndex,
                  const std::filesystem::path& page);

// What WritePage does with the supporting folder.
enum class FolderWork {
  Write,  // writes the folder's files
  // Writes none (the caller removes the folder right after the page): the folder is neither made
  // nor changed, but checked as for Write, and the pictures are unpacked to find damage.
  Check,
};

// Writes a rendered page (see PublishSheet).
void WritePage(const Page& page, const std::filesystem::path& path,
               FolderWork folderWork = FolderWork::Write);

// The supporting folder's filelist.xml: the page it belongs to and the files named (filelist.xml
// itself last, whether `names` holds it or not).
std::string FileListXml(const std::vector<std::string>& names, std::string_view pageName);

// Whether `name` has a shape of the names this program writes into a supporting folder:
// filelist.xml, and image001.png, image002.svg, ... (three or more digits; the extensions of
// pictures and charts: png, jpg, dib, emf, wmf, pct, tif, svg). Nothing else is ever written there,
// so nothing else is ever replaced or removed there, whatever a filelist.xml says.
bool IsOwnFileName(std::string_view name);

// The names of the files the folder's filelist.xml says we wrote there, filelist.xml included;
// empty when the folder holds no filelist.xml. Only names of our shapes (IsOwnFileName) count.
std::vector<std::string> ListedFiles(const std::filesystem::path& folder);

// Removes the files of a supporting folder that its filelist.xml names (plain files only, never
// what a link points to), then the folder when that left it empty. A folder without a
// filelist.xml, a link, or anything else is left alone. Returns the entries left in the folder
// (empty when the folder is gone or was never there). Never throws.
std::vector<std::string> RemoveSupportingFolder(const std::filesystem::path& folder);

}  // namespace quillane::publish
