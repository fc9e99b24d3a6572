#include "spreadsheet/ReadWorkbook.h"

#include "spreadsheet/biff/WorkbookReader.h"
#include "spreadsheet/container/CompoundFile.h"
#include "spreadsheet/container/Detect.h"
#include "spreadsheet/container/MappedFile.h"
#include "spreadsheet/container/Zip.h"
#include "spreadsheet/model/Limits.h"
#include "spreadsheet/ooxml/WorkbookReader.h"
#include "spreadsheet/ods/OdsReader.h"
#include "support/Ascii.h"

namespace quillane::spreadsheet {

namespace {

void RefuseLarge(uint64_t size) {
  if (size > model::kMaxFileBytes) {
    throw model::ReadError("The file is too large: " + std::to_string(size) +
                           " bytes, more than the " + std::to_string(model::kMaxFileBytes >> 20) +
                           " MB a workbook file may have");
  }
}

// A compound file with EncryptionInfo and EncryptedPackage: an encrypted zip package. A compound
// file that cannot be read is left to the .xls reader, which says what is wrong with it.
bool IsEncryptedPackage(std::span<const uint8_t> bytes) {
  try {
    return container::ContentOf(container::CompoundFile(bytes)) ==
           container::CompoundContent::EncryptedPackage;
  } catch (const container::ContainerError&) {
    return false;
  }
}

}  // namespace

namespace {

model::Workbook ReadMapped(const std::filesystem::path& path, const std::string& password,
                           uint64_t& fileBytes);

}  // namespace

model::Workbook ReadWorkbookFile(const std::filesystem::path& path, const std::string& password) {
  uint64_t fileBytes = 0;
  model::Workbook book = ReadMapped(path, password, fileBytes);
  book.fileBytes = fileBytes;
  return book;
}

namespace {

model::Workbook ReadMapped(const std::filesystem::path& path, const std::string& password,
                           uint64_t& fileBytes) {
  try {
    // Refused before anything is read: the limit bounds the work whatever the file holds.
    RefuseLarge(container::MappedFile::SizeOf(path));
    container::MappedFile file(path);
    const std::span<const uint8_t> bytes = file.Bytes();
    RefuseLarge(bytes.size());  // the file may have grown in between
    fileBytes = bytes.size();
    // A workbook of the older formats holds one sheet named after the file.
    const std::string single = path.stem().string();
    switch (container::DetectFormat(bytes)) {
      case container::InputFormat::CompoundFile:
        if (IsEncryptedPackage(bytes)) {
          return ooxml::ReadEncryptedWorkbook(container::CompoundFile(bytes), password);
        }
        [[fallthrough]];
      case container::InputFormat::BiffStream:
        return biff::ReadWorkbookBytes(bytes, &file, password, single);
      case container::InputFormat::ZipPackage: {
        const container::Zip zip(bytes);
        if (ooxml::IsSpreadsheetML(zip)) return ooxml::ReadWorkbook(zip);
        if (ods::IsOpenDocument(zip)) return ods::ReadOpenDocumentPackage(zip);
        // A package with a workbook part but without the content types every package has.
        if (zip.Find("[Content_Types].xml") == nullptr && zip.Find("xl/workbook.xml") != nullptr) {
          throw model::ReadError(
              "The workbook is damaged: the package has no content types ([Content_Types].xml)");
        }
        break;
      }
      case container::InputFormat::FlatXml:
        return ods::ReadFlatOpenDocument(bytes);
      case container::InputFormat::Other:
        break;
    }
    throw model::ReadError(container::NotAWorkbook(bytes));
  } catch (const container::FileError& e) {
    throw model::ReadError(e.what());
  } catch (const container::ContainerError& e) {
    std::string what = e.what();
    if (!what.empty()) what[0] = support::AsciiLower(what[0]);
    throw model::ReadError("The workbook is damaged: " + what);
  }
}

}  // namespace

}  // namespace quillane::spreadsheet
