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
  enum class Method { kXor, kRc4, kRc4CryptoApi };

  // Reads a FILEPASS payload (the record's data, without its 4-byte header) of a workbook of the
  // given BIFF version and checks the default password, then `password` (UTF-8). Throws
  // PasswordError when neither opens the workbook, ReadError when the record is damaged or of an
  // unknown kind. BIFF2-7 workbooks know XOR obfuscation only (a 4-byte record without a type).
  static std::unique_ptr<Decryptor> Create(int biffVersion, std::span<const uint8_t> filepass,
                                           const std::string& password);
  virtual ~Decryptor() = default;

  virtual Method GetMethod() const = 0;

  // True for the records the format keeps in the clear: BOF, FILEPASS, USREXCL, FILELOCK,
  // INTERFACEHDR, RRDINFO and RRDHEAD. (BOUNDSHEET keeps only its first 4 bytes in the clear.)
  static bool IsClearRecord(uint16_t recordType);

  // Decrypts in place the payload of one record of type `recordType` whose payload (the bytes
  // after its 4-byte header) starts at `payloadOffset` in the workbook stream, leaving in the clear
  // what the format keeps so (see IsClearRecord; the first 4 bytes of BOUNDSHEET). This is the
  // call to use for every record that follows FILEPASS: it is right for every method.
  void DecryptRecord(uint16_t recordType, uint8_t* payload, size_t length, size_t payloadOffset);

  // Decrypts in place `data`, bytes that stand at `streamOffset` in the workbook stream. The caller
  // passes record payloads only (never record headers) and leaves out what the format keeps in
  // the clear: the whole BOF, FILEPASS, USREXCL, FILELOCK, INTERFACEHDR, RRDINFO and RRDHEAD
  // records, and the first 4 bytes of BOUNDSHEET (the stream offset of the sheet).
  // RC4 and RC4 CryptoAPI decrypt any range. XOR obfuscation keys each byte by the length of its
  // record, so for XOR `data` must be one record's whole payload; use DecryptRecord for a part.
  virtual void Decrypt(uint8_t* data, size_t length, size_t streamOffset) = 0;

 protected:
  // Decrypts `length` bytes at `streamOffset` that belong to a record payload of
  // `recordLength` bytes. Only XOR obfuscation needs the record length.
  virtual void DecryptPart(uint8_t* data, size_t length, size_t streamOffset, size_t recordLength) {
    (void)recordLength;
    Decrypt(data, length, streamOffset);
  }
};

}  // namespace quillane::biff
