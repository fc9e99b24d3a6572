#include "spreadsheet/biff/Decryptor.h"

#include "spreadsheet/biff/WorkbookReader.h"

namespace quillane::biff {

std::unique_ptr<Decryptor> Decryptor::Create(int, std::span<const uint8_t>, const std::string&) {
  throw ReadError("Encrypted workbooks are not supported yet");
}

}  // namespace quillane::biff
