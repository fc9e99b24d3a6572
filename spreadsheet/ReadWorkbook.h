// The one way into the engine for a workbook file: its format is told from its bytes and the
// file is handed to the reader of that format, which fills the model.
//
// A new input format is a new reader under spreadsheet/, a case of container::DetectFormat (or
// container::ContentOf for what a compound file holds) and a line in ReadWorkbookFile.
#pragma once

#include <filesystem>
#include <string>

#include "spreadsheet/model/ReadError.h"
#include "spreadsheet/model/Workbook.h"

namespace quillane::spreadsheet {

// Reads the workbook at `path`. Files larger than the limit of Limits.h are refused before
// anything is read; the file is mapped, not loaded, so memory follows what the reader uses.
// Throws model::ReadError (model::PasswordError when the password does not open it).
model::Workbook ReadWorkbookFile(const std::filesystem::path& path, const std::string& password);

}  // namespace quillane::spreadsheet
