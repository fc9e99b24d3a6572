// Reads SpreadsheetML packages (.xlsx, .xlsm, .xltx, .xltm; the transitional and the strict
// namespaces) into the model, and encrypted packages (a compound file holding EncryptionInfo and
// EncryptedPackage) after decrypting them.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "spreadsheet/model/ReadError.h"
#include "spreadsheet/model/Workbook.h"

namespace quillane::container {
class CompoundFile;
class Zip;
}  // namespace quillane::container

namespace quillane::ooxml {

// True when a zip archive is a SpreadsheetML package (its content types name a spreadsheet
// part), whatever the file is called. A binary workbook (.xlsb) counts: reading it gives the
// "not supported" error.
bool IsSpreadsheetML(const container::Zip& zip);

// Reads a package. Throws model::ReadError.
model::Workbook ReadWorkbook(const container::Zip& zip);

// Decrypts an encrypted package with the default password, then `password`, and reads it.
// Throws model::PasswordError when neither opens it, model::ReadError otherwise.
model::Workbook ReadEncryptedWorkbook(const container::CompoundFile& file,
                                      const std::string& password);

// Either of the above from bytes: a zip package, or a compound file with an encrypted one.
model::Workbook ReadWorkbookBytes(std::span<const uint8_t> bytes, const std::string& password);

}  // namespace quillane::ooxml
