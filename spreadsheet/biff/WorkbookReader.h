// Reads a workbook file (compound file with BIFF5/7/8, or plain BIFF2-4) into the model.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <stdexcept>
#include <string>

#include "spreadsheet/model/Workbook.h"

namespace quillane::biff {

// Any reason a workbook could not be read; the message names the problem plainly.
class ReadError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The workbook is encrypted and neither the default password nor the given one opens it.
class PasswordError : public ReadError {
 public:
  using ReadError::ReadError;
};

model::Workbook ReadWorkbook(std::span<const uint8_t> bytes, const std::string& password);
model::Workbook ReadWorkbookFile(const std::filesystem::path& path, const std::string& password);

}  // namespace quillane::biff
