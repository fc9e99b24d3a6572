// The whole workbook reader over arbitrary bytes. A ReadError is the expected answer to bad input;
// any other exception (std::bad_alloc included), a crash, a hang or a sanitizer report is a
// finding.
#include <cstddef>
#include <cstdint>
#include <span>

#include "spreadsheet/biff/WorkbookReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    quillane::biff::ReadWorkbook(std::span<const uint8_t>(data, size), "password");
  } catch (const quillane::biff::ReadError&) {
  }
  return 0;
}
