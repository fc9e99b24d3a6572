#include "spreadsheet/ReadWorkbook.h"

#include "spreadsheet/biff/WorkbookReader.h"
#include "spreadsheet/container/CompoundFile.h"
#include "spreadsheet/container/Detect.h"
#include "spreadsheet/container/MappedFile.h"
#include "spreadsheet/container/Zip.h"
#include "spreadsheet/model/Limits.h"
#include "spreadsheet/ods/OdsReader.h"

namespace quillane::spreadsheet {

namespace {

void RefuseLarge(uint64_t size) {
  if (size > model::kMaxFileBytes) {
    throw model::ReadError("The file is too large: " + std::to_string(size) +
                           " bytes, more than the " + std::to_string(model::kMaxFileBytes >> 20) +
                           " MB a workbook file may have");
  }
}

}  // namespace

model::Workbook ReadWorkbookFile(const std::filesystem::path& path, const std::string& password) {
  try {
    // Refused before anything is read: the limit bounds the work whatever the file holds.
    RefuseLarge(container::MappedFile::SizeOf(path));
    container::MappedFile file(path);
    const std::span<const uint8_t> bytes = file.Bytes();
    RefuseLarge(bytes.size());  // the file may have grown in between
    // A workbook of the older formats holds one sheet named after the file.
    const std::string single = path.stem().string();
    switch (container::DetectFormat(bytes)) {
      case container::InputFormat::CompoundFile:
      case container::InputFormat::BiffStream:
        return biff::ReadWorkbookBytes(bytes, &file, password, single);
      case container::InputFormat::ZipPackage: {
        const container::Zip zip(bytes);
        if (ods::IsOpenDocument(zip)) return ods::ReadOpenDocumentPackage(zip);
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
    throw model::ReadError(e.what());
  }
}

}  // namespace quillane::spreadsheet
