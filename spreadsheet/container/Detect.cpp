#include "spreadsheet/container/Detect.h"

#include <algorithm>
#include <string_view>

#include "spreadsheet/container/CompoundFile.h"
#include "support/Ascii.h"

namespace quillane::container {

namespace {

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

bool StartsWithNoCase(std::span<const uint8_t> bytes, size_t at, std::string_view text) {
  if (bytes.size() < at + text.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (support::AsciiLower(static_cast<char>(bytes[at + i])) != text[i]) return false;
  }
  return true;
}

bool IsZip(std::span<const uint8_t> bytes) {
  return bytes.size() >= 4 && bytes[0] == 'P' && bytes[1] == 'K' && bytes[2] == 3 && bytes[3] == 4;
}

// The BOF record that starts a bare BIFF2-4 stream (and a BIFF5-8 stream, which only comes
// wrapped in a compound file), with a length a BOF can have.
bool IsBiffStream(std::span<const uint8_t> bytes) {
  if (bytes.size() < 8) return false;
  const uint16_t id = Le16(&bytes[0]);
  const uint16_t length = Le16(&bytes[2]);
  return (id == 0x0809 || id == 0x0009 || id == 0x0209 || id == 0x0409) && length >= 4 &&
         length <= 16;
}

// Where the text of a file starts: after a UTF-8 byte-order mark and leading blanks.
size_t TextStart(std::span<const uint8_t> bytes) {
  size_t at = 0;
  if (bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) at = 3;
  while (at < bytes.size() && at < 4096 &&
         (bytes[at] == ' ' || bytes[at] == '\t' || bytes[at] == '\r' || bytes[at] == '\n')) {
    ++at;
  }
  return at;
}

}  // namespace

InputFormat DetectFormat(std::span<const uint8_t> bytes) {
  if (CompoundFile::IsCompoundFile(bytes)) return InputFormat::CompoundFile;
  if (IsBiffStream(bytes)) return InputFormat::BiffStream;
  if (IsZip(bytes)) return InputFormat::ZipPackage;
  if (StartsWithNoCase(bytes, TextStart(bytes), "<?xml")) return InputFormat::FlatXml;
  return InputFormat::Other;
}

CompoundContent ContentOf(const CompoundFile& file) {
  if (file.HasStream("Workbook")) return CompoundContent::BiffWorkbook;
  if (file.HasStream("Book")) return CompoundContent::BiffBook;
  if (file.HasStream("EncryptionInfo") && file.HasStream("EncryptedPackage")) {
    return CompoundContent::EncryptedPackage;
  }
  if (file.HasStream("WordDocument")) return CompoundContent::WordProcessing;
  if (file.HasStream("PowerPoint Document")) return CompoundContent::Presentation;
  return CompoundContent::Other;
}

std::string NotAWorkbook(CompoundContent content) {
  switch (content) {
    case CompoundContent::WordProcessing:
      return "Not a workbook: the file is a word-processing document";
    case CompoundContent::Presentation:
      return "Not a workbook: the file is a presentation";
    case CompoundContent::EncryptedPackage:
      return "Not a workbook this version reads: the file is an encrypted workbook of the newer "
             "format";
    default:
      return "Not a workbook: the file is a compound document without a workbook stream";
  }
}

std::string NotAWorkbook(std::span<const uint8_t> bytes) {
  if (bytes.empty()) return "Not a workbook: the file is empty";
  if (IsZip(bytes)) {
    return "Not a workbook: the file is a zip archive (perhaps a workbook of a newer format)";
  }
  const size_t at = TextStart(bytes);
  if (StartsWithNoCase(bytes, at, "<!doctype html") || StartsWithNoCase(bytes, at, "<html") ||
      StartsWithNoCase(bytes, at, "<head") || StartsWithNoCase(bytes, at, "<body") ||
      StartsWithNoCase(bytes, at, "<table") || StartsWithNoCase(bytes, at, "<meta")) {
    return "Not a workbook: the file is an HTML page";
  }
  if (StartsWithNoCase(bytes, at, "<?xml")) {
    // Spreadsheet XML and HTML saved by the spreadsheet application both start this way.
    size_t look = std::min<size_t>(bytes.size(), 4096);
    const std::string head =
        support::AsciiLower(std::string_view(reinterpret_cast<const char*>(bytes.data()), look));
    if (head.find("<html") != std::string::npos) return "Not a workbook: the file is an HTML page";
    return "Not a workbook: the file is an XML document";
  }
  if (StartsWithNoCase(bytes, at, "{\\rtf")) return "Not a workbook: the file is an RTF document";
  if (StartsWithNoCase(bytes, at, "%pdf")) return "Not a workbook: the file is a PDF document";
  size_t look = std::min<size_t>(bytes.size(), 4096);
  size_t text = 0;
  for (size_t i = 0; i < look; ++i) {
    uint8_t c = bytes[i];
    if (c == '\t' || c == '\r' || c == '\n' || c >= 0x20) ++text;
  }
  if (text == look) return "Not a workbook: the file is a text file (CSV or similar)";
  return "Not a workbook: the file is in no workbook format the reader knows";
}

}  // namespace quillane::container
