// The .xls family's entry: takes the workbook stream out of its compound file (or a bare BIFF2-4
// stream as it is), checks it against the size limit, and hands it to the record walk
// (RecordWalk.cpp), which fills the model.
#include "spreadsheet/biff/WorkbookReader.h"

#include "spreadsheet/biff/Parser.h"
#include "spreadsheet/container/CompoundFile.h"
#include "spreadsheet/container/Detect.h"
#include "spreadsheet/container/MappedFile.h"

namespace quillane::biff {

namespace {

std::string Megabytes(uint64_t bytes) { return std::to_string(bytes >> 20) + " MB"; }

}  // namespace

model::Workbook ReadWorkbookBytes(std::span<const uint8_t> bytes, container::MappedFile* mapping,
                                  const std::string& password, const std::string& singleSheetName) {
  const container::InputFormat format = container::DetectFormat(bytes);
  if (format == container::InputFormat::CompoundFile) {
    std::vector<uint8_t> stream;
    bool book = false;
    try {
      container::CompoundFile file(bytes);
      const container::CompoundContent content = container::ContentOf(file);
      if (content != container::CompoundContent::BiffWorkbook &&
          content != container::CompoundContent::BiffBook) {
        throw ReadError(container::NotAWorkbook(content));
      }
      book = content == container::CompoundContent::BiffBook;
      const std::string name = book ? "Book" : "Workbook";
      if (file.StreamSize(name) > model::kMaxStreamBytes) {
        throw ReadError("The workbook is too large: its workbook stream holds more than " +
                        Megabytes(model::kMaxStreamBytes));
      }
      stream = file.ReadStream(name);
    } catch (const container::ContainerError& e) {
      std::string what = e.what();
      const std::string prefix = "Damaged compound file: ";
      if (what.compare(0, prefix.size(), prefix) == 0) what = what.substr(prefix.size());
      reader::Damaged(what);
    }
    if (mapping) mapping->Release();
    if (stream.empty()) reader::Damaged("the workbook stream is empty");
    reader::Parser parser(std::move(stream), password, true, book);
    return parser.Run(singleSheetName);
  }
  if (format == container::InputFormat::BiffStream) {
    if (bytes.size() > model::kMaxStreamBytes) {
      throw ReadError("The workbook is too large: its workbook stream holds more than " +
                      Megabytes(model::kMaxStreamBytes));
    }
    std::vector<uint8_t> stream(bytes.begin(), bytes.end());
    if (mapping) mapping->Release();
    reader::Parser parser(std::move(stream), password, false);
    return parser.Run(singleSheetName);
  }
  throw ReadError(container::NotAWorkbook(bytes));
}

model::Workbook ReadWorkbook(std::span<const uint8_t> bytes, const std::string& password) {
  return ReadWorkbookBytes(bytes, nullptr, password, "Sheet1");
}

}  // namespace quillane::biff
