// Decryption of encrypted workbook streams (the FILEPASS record): XOR obfuscation, RC4 with an
// MD5-based key, and RC4 CryptoAPI with a SHA-1-based key.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace quillane::biff {

// The password the spreadsheet application uses for workbooks encrypted without an open password.
inline constexpr const char* kDefaultPassword = "VelvetSweatshop";

class Decryptor {
 public:
  // Reads a FILEPASS payload (the record's data, without its 4-byte header) of a workbook of the
  // given BIFF version and checks the default password, then `password`. Throws PasswordError when
  // neither opens the workbook, ReadError when the record is damaged or of an unknown kind.
  static std::unique_ptr<Decryptor> Create(int biffVersion, std::span<const uint8_t> filepass,
                                           const std::string& password);
  virtual ~Decryptor() = default;

  // Decrypts in place `data`, bytes that stand at `streamOffset` in the workbook stream. The caller
  // passes record payloads only (never record headers) and leaves out what the format keeps in
  // the clear: the whole BOF, FILEPASS, USREXCL, FILELOCK, INTERFACEHDR, RRDINFO and RRDHEAD
  // records, and the first 4 bytes of BOUNDSHEET (the stream offset of the sheet).
  virtual void Decrypt(uint8_t* data, size_t length, size_t streamOffset) = 0;
};

}  // namespace quillane::biff
