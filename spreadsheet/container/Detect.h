// What a file is, from its bytes alone: the first step of reading any workbook. The engine's entry
// point (spreadsheet/ReadWorkbook.h) hands the bytes to the reader of the format found here; the
// readers never guess formats themselves, and the "Not a workbook" messages are made here.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace quillane::container {

class CompoundFile;

enum class InputFormat {
  CompoundFile,  // an OLE2 compound file: see CompoundContent
  BiffStream,    // a bare BIFF2-4 workbook stream (the older formats are not wrapped)
  ZipPackage,    // a zip archive: an Office Open XML or OpenDocument package
  FlatXml,       // an XML document (a flat OpenDocument spreadsheet, or another XML file)
  Other,         // nothing a reader knows; NotAWorkbook says what it seems to be
};

InputFormat DetectFormat(std::span<const uint8_t> bytes);

// What a compound file holds.
enum class CompoundContent {
  BiffWorkbook,      // a "Workbook" stream (BIFF8)
  BiffBook,          // a "Book" stream (BIFF5/7)
  EncryptedPackage,  // "EncryptionInfo" and "EncryptedPackage": an encrypted zip package
  WordProcessing,
  Presentation,
  Other,
};

CompoundContent ContentOf(const CompoundFile& file);

// The plain message for a file that is no workbook: names what it seems to be ("Not a workbook:
// the file is a PDF document"), or that it is in no format the reader knows.
std::string NotAWorkbook(std::span<const uint8_t> bytes);
// The same for a compound file that holds no workbook.
std::string NotAWorkbook(CompoundContent content);

}  // namespace quillane::container
