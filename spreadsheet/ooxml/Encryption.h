// Encrypted packages: the EncryptionInfo and EncryptedPackage streams of a compound file, with
// agile encryption (an XML key description, AES in CBC mode, SHA-1 to SHA-512; the data and the
// password's key encryptor each with the cipher, key size and hash they name) and standard
// encryption (AES in ECB mode, SHA-1 key derivation).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace quillane::ooxml {

// The password the spreadsheet application uses for packages encrypted without an open password.
inline constexpr const char* kDefaultPassword = "VelvetSweatshop";

// Decrypts the package with `password` (UTF-8). Returns false when the password is wrong; throws
// model::ReadError when the streams are damaged or use a cipher that is not supported.
bool DecryptPackage(std::span<const uint8_t> info, std::span<const uint8_t> package,
                    const std::string& password, std::vector<uint8_t>& out);

}  // namespace quillane::ooxml
