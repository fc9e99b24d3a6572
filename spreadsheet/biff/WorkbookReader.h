// Reads a workbook of the .xls family (a compound file with a BIFF5/7/8 stream, or a bare BIFF2-4
// stream) into the model.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "spreadsheet/model/ReadError.h"
#include "spreadsheet/model/Workbook.h"

namespace quillane::container {
class MappedFile;
}

namespace quillane::biff {

using model::PasswordError;
using model::ReadError;

// Reads the bytes of a workbook. `mapping`, when given, holds those bytes and is released as soon
// as the workbook stream has been copied out, to keep the peak memory low. A workbook of the
// older formats holds one sheet, named `singleSheetName`. Throws ReadError (PasswordError for a
// password that does not open it).
model::Workbook ReadWorkbookBytes(std::span<const uint8_t> bytes, container::MappedFile* mapping,
                                  const std::string& password, const std::string& singleSheetName);

// The same for bytes in memory, the single sheet of the older formats named "Sheet1".
model::Workbook ReadWorkbook(std::span<const uint8_t> bytes, const std::string& password);

}  // namespace quillane::biff
