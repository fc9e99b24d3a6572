// The compound file and the decryption of the workbook stream over arbitrary bytes: every stream is
// read; when the workbook stream has a FILEPASS record, its decryptor is made and every record
// after it decrypted. ContainerError and ReadError are the expected answers to bad input.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "spreadsheet/biff/Decryptor.h"
#include "spreadsheet/biff/WorkbookReader.h"
#include "spreadsheet/container/CompoundFile.h"

namespace {

using quillane::biff::Decryptor;

void DecryptWorkbookStream(std::vector<uint8_t>& s, const char* password) {
  std::unique_ptr<Decryptor> decryptor;
  int version = 8;
  for (size_t at = 0; at + 4 <= s.size();) {
    const uint16_t type = static_cast<uint16_t>(s[at] | s[at + 1] << 8);
    const size_t length =
        std::min<size_t>(static_cast<size_t>(s[at + 2] | s[at + 3] << 8), s.size() - at - 4);
    uint8_t* payload = s.data() + at + 4;
    if (decryptor) {
      decryptor->DecryptRecord(type, payload, length, at + 4);
    } else if (type == 0x0809 && length >= 2) {
      version = (payload[0] | payload[1] << 8) == 0x0600 ? 8 : 5;
    } else if (type == 0x002F) {
      try {
        decryptor = Decryptor::Create(version, std::span<const uint8_t>(payload, length), password);
      } catch (const quillane::biff::ReadError&) {
        return;
      }
    }
    at += 4 + length;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    quillane::container::CompoundFile file(std::span<const uint8_t>(data, size));
    for (uint32_t i = 0; i < file.Entries().size(); ++i) {
      if (file.Entries()[i].type != 2) continue;
      try {
        std::vector<uint8_t> stream = file.ReadStreamEntry(i);
        if (stream.size() > size) __builtin_trap();  // a stream larger than its file
        const std::string& name = file.Entries()[i].name;
        if (name == "Workbook" || name == "Book") {
          std::vector<uint8_t> copy = stream;
          DecryptWorkbookStream(stream, "password");
          DecryptWorkbookStream(copy, "abc");
        }
      } catch (const quillane::container::ContainerError&) {
      }
    }
    file.HasStream("Workbook");
    file.StreamNames();
  } catch (const quillane::container::ContainerError&) {
  }
  return 0;
}
