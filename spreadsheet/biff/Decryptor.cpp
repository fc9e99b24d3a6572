// Decryption of a workbook stream after its FILEPASS record, in place, one record payload at a
// time (record headers are never encrypted).
//
// Order of work: Create reads the FILEPASS payload and picks the method (XOR obfuscation for
// BIFF2-7 and FILEPASS type 0; RC4 with an MD5-based key for version 1.1; RC4 CryptoAPI with a
// SHA-1-based key for versions 2.2, 3.2 and 4.2), then tries the default password and the given
// one against the verifier the record holds. The record walk then hands every later payload to
// DecryptRecord with its offset in the stream.
// Invariants: the key stream of a byte depends only on its stream offset (and, for XOR, on its
// record's length), so each record decrypts on its own: XOR cycles a 16-byte array, RC4 is rekeyed
// every 1024 bytes of the stream. BOF, FILEPASS, the interface and revision headers and the sheet
// offset in BOUNDSHEET stay in the clear.
// Bounds: every size in the record (salt, header, verifier, key bits) is checked against the
// payload before use; a damaged or unknown FILEPASS is a ReadError, a password that opens nothing
// a PasswordError.
#include "spreadsheet/biff/Decryptor.h"

#include <nettle/arcfour.h>
#include <nettle/md5.h>
#include <nettle/sha1.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "spreadsheet/biff/WorkbookReader.h"

namespace quillane::biff {

namespace {

constexpr const char* kWrongPassword =
    "The workbook is password-protected and the password did not open it";
constexpr size_t kBlockSize = 1024;  // RC4 takes a fresh key every 1024 bytes of the stream

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

[[noreturn]] void Damaged(const std::string& what) {
  throw ReadError("Damaged workbook: the encryption record (FILEPASS) " + what);
}

// UTF-8 to UTF-16 code units; a byte that is not valid UTF-8 stands for itself (Latin-1).
std::u16string ToUtf16(const std::string& text) {
  std::u16string out;
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  const size_t n = text.size();
  for (size_t i = 0; i < n;) {
    uint32_t c = s[i];
    size_t len = 1;
    if (c >= 0xC2 && c < 0xE0 && i + 1 < n && (s[i + 1] & 0xC0) == 0x80) {
      c = ((c & 0x1F) << 6) | (s[i + 1] & 0x3F);
      len = 2;
    } else if (c >= 0xE0 && c < 0xF0 && i + 2 < n && (s[i + 1] & 0xC0) == 0x80 &&
               (s[i + 2] & 0xC0) == 0x80) {
      c = ((c & 0x0F) << 12) | ((s[i + 1] & 0x3F) << 6) | (s[i + 2] & 0x3F);
      len = 3;
    } else if (c >= 0xF0 && c < 0xF5 && i + 3 < n && (s[i + 1] & 0xC0) == 0x80 &&
               (s[i + 2] & 0xC0) == 0x80 && (s[i + 3] & 0xC0) == 0x80) {
      c = ((c & 0x07) << 18) | ((s[i + 1] & 0x3F) << 12) | ((s[i + 2] & 0x3F) << 6) |
          (s[i + 3] & 0x3F);
      len = 4;
    }
    if (c >= 0x10000) {
      c -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (c >> 10));
      out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
    i += len;
  }
  return out;
}

std::vector<uint8_t> Utf16Le(const std::u16string& text) {
  std::vector<uint8_t> out;
  out.reserve(text.size() * 2);
  for (char16_t c : text) {
    out.push_back(static_cast<uint8_t>(c & 0xFF));
    out.push_back(static_cast<uint8_t>(c >> 8));
  }
  return out;
}

// The passwords to try: the default one, then the given one.
std::vector<std::u16string> Candidates(const std::string& password) {
  std::vector<std::u16string> out{ToUtf16(kDefaultPassword)};
  if (password != kDefaultPassword) out.push_back(ToUtf16(password));
  return out;
}

// ---------------------------------------------------------------------------------------------
// XOR obfuscation ("method 1").

constexpr uint16_t kInitialCode[15] = {0xE1F0, 0x1D0F, 0xCC9C, 0x84C0, 0x110C,
                                       0x0E10, 0xF1CE, 0x313E, 0x1872, 0xE139,
                                       0xD40F, 0x84F9, 0x280C, 0xA96A, 0x4EC3};
constexpr uint16_t kXorMatrix[105] = {
    0xAEFC, 0x4DD9, 0x9BB2, 0x2745, 0x4E8A, 0x9D14, 0x2A09, 0x7B61, 0xF6C2, 0xFDA5, 0xEB6B, 0xC6F7,
    0x9DCF, 0x2BBF, 0x4563, 0x8AC6, 0x05AD, 0x0B5A, 0x16B4, 0x2D68, 0x5AD0, 0x0375, 0x06EA, 0x0DD4,
    0x1BA8, 0x3750, 0x6EA0, 0xDD40, 0xD849, 0xA0B3, 0x5147, 0xA28E, 0x553D, 0xAA7A, 0x44D5, 0x6F45,
    0xDE8A, 0xAD35, 0x4A4B, 0x9496, 0x390D, 0x721A, 0xEB23, 0xC667, 0x9CEF, 0x29FF, 0x53FE, 0xA7FC,
    0x5FD9, 0x47D3, 0x8FA6, 0x0F6D, 0x1EDA, 0x3DB4, 0x7B68, 0xF6D0, 0xB861, 0x60E3, 0xC1C6, 0x93AD,
    0x377B, 0x6EF6, 0xDDEC, 0x45A0, 0x8B40, 0x06A1, 0x0D42, 0x1A84, 0x3508, 0x6A10, 0xAA51, 0x4483,
    0x8906, 0x022D, 0x045A, 0x08B4, 0x1168, 0x76B4, 0xED68, 0xCAF1, 0x85C3, 0x1BA7, 0x374E, 0x6E9C,
    0x3730, 0x6E60, 0xDCC0, 0xA9A1, 0x4363, 0x86C6, 0x1DAD, 0x3331, 0x6662, 0xCCC4, 0x89A9, 0x0373,
    0x06E6, 0x0DCC, 0x1021, 0x2042, 0x4084, 0x8108, 0x1231, 0x2462, 0x48C4};
constexpr uint8_t kPadArray[15] = {0xBB, 0xFF, 0xFF, 0xBA, 0xFF, 0xFF, 0xB9, 0x80,
                                   0x00, 0xBE, 0x0F, 0x00, 0xBF, 0x0F, 0x00};

// The password as the obfuscation sees it: one byte per character (the low byte, or the high
// byte when the low one is zero), at most 15 of them.
std::vector<uint8_t> XorPasswordBytes(const std::u16string& password) {
  std::vector<uint8_t> out;
  for (char16_t c : password) {
    if (out.size() == 15) break;
    const uint8_t low = static_cast<uint8_t>(c & 0xFF);
    out.push_back(low ? low : static_cast<uint8_t>(c >> 8));
  }
  return out;
}

uint16_t XorKey(const std::vector<uint8_t>& password) {
  uint16_t key = kInitialCode[password.size() - 1];
  int element = 104;
  for (size_t i = password.size(); i-- > 0;) {
    uint8_t c = password[i];
    for (int bit = 0; bit < 7; ++bit, --element) {
      if (c & 0x40) key ^= kXorMatrix[element];
      c = static_cast<uint8_t>(c << 1);
    }
  }
  return key;
}

uint16_t XorVerifier(const std::vector<uint8_t>& password) {
  uint16_t verifier = 0;
  auto step = [&verifier](uint8_t b) {
    verifier = static_cast<uint16_t>((((verifier >> 14) & 1) | ((verifier << 1) & 0x7FFF)) ^ b);
  };
  for (size_t i = password.size(); i-- > 0;) step(password[i]);
  step(static_cast<uint8_t>(password.size()));
  return verifier ^ 0xCE4B;
}

uint8_t RotateRight1(uint8_t b) { return static_cast<uint8_t>((b >> 1) | (b << 7)); }

std::array<uint8_t, 16> XorArray(const std::vector<uint8_t>& password, uint16_t key) {
  std::array<uint8_t, 16> a{};
  const uint8_t high = static_cast<uint8_t>(key >> 8), low = static_cast<uint8_t>(key & 0xFF);
  size_t index = password.size();
  if (index % 2 == 1) {
    a[index] = RotateRight1(kPadArray[0] ^ high);
    --index;
    a[index] = RotateRight1(password.back() ^ low);
  }
  while (index > 0) {
    --index;
    a[index] = RotateRight1(password[index] ^ high);
    --index;
    a[index] = RotateRight1(password[index] ^ low);
  }
  index = 15;
  size_t pad = 15 - password.size();
  while (pad > 0) {
    a[index--] = RotateRight1(kPadArray[pad--] ^ high);
    a[index--] = RotateRight1(kPadArray[pad--] ^ low);
  }
  return a;
}

class XorDecryptor final : public Decryptor {
 public:
  explicit XorDecryptor(const std::array<uint8_t, 16>& array) : array_(array) {}
  Method GetMethod() const override { return Method::kXor; }
  void Decrypt(uint8_t* data, size_t length, size_t streamOffset) override {
    DecryptPart(data, length, streamOffset, length);
  }

 protected:
  // The key index of a byte is its stream offset plus the length of its record, modulo 16.
  void DecryptPart(uint8_t* data, size_t length, size_t streamOffset,
                   size_t recordLength) override {
    size_t index = (streamOffset + recordLength) & 15;
    for (size_t i = 0; i < length; ++i) {
      const uint8_t v = data[i] ^ array_[index];
      data[i] = static_cast<uint8_t>((v << 3) | (v >> 5));
      index = (index + 1) & 15;
    }
  }

 private:
  std::array<uint8_t, 16> array_;
};

std::unique_ptr<Decryptor> CreateXor(uint16_t key, uint16_t verifier, const std::string& password) {
  for (const std::u16string& candidate : Candidates(password)) {
    const std::vector<uint8_t> bytes = XorPasswordBytes(candidate);
    if (bytes.empty()) continue;
    if (XorVerifier(bytes) == verifier && XorKey(bytes) == key) {
      return std::make_unique<XorDecryptor>(XorArray(bytes, key));
    }
  }
  throw PasswordError(kWrongPassword);
}

// ---------------------------------------------------------------------------------------------
// RC4, rekeyed every 1024 bytes of the stream; the two kinds differ in how a block's key is made.

class Rc4Decryptor : public Decryptor {
 public:
  void Decrypt(uint8_t* data, size_t length, size_t streamOffset) override {
    while (length > 0) {
      const uint64_t block = streamOffset / kBlockSize;
      const size_t position = streamOffset % kBlockSize;
      if (!keyed_ || block != block_ || position < position_) {
        Rekey(static_cast<uint32_t>(block));
      }
      Skip(position - position_);
      const size_t n = std::min(length, kBlockSize - position);
      arcfour_crypt(&cipher_, n, data, data);
      position_ = position + n;
      data += n;
      streamOffset += n;
      length -= n;
    }
  }

  // Decrypts the verifier and its hash with the key of block 0, as one run of the cipher.
  void DecryptVerifier(uint8_t* data, size_t length) {
    Rekey(0);
    arcfour_crypt(&cipher_, length, data, data);
    keyed_ = false;
  }

 protected:
  virtual void BlockKey(uint32_t block, std::vector<uint8_t>& key) const = 0;

 private:
  void Rekey(uint32_t block) {
    BlockKey(block, key_);
    arcfour_set_key(&cipher_, key_.size(), key_.data());
    block_ = block;
    position_ = 0;
    keyed_ = true;
  }
  void Skip(size_t n) {
    uint8_t scratch[kBlockSize];
    while (n > 0) {
      const size_t step = std::min(n, sizeof scratch);
      arcfour_crypt(&cipher_, step, scratch, scratch);
      n -= step;
    }
  }

  arcfour_ctx cipher_{};
  std::vector<uint8_t> key_;
  uint64_t block_ = 0;
  size_t position_ = 0;
  bool keyed_ = false;
};

// RC4 with an MD5-based 40-bit key: FILEPASS version 1.1.
class Rc4Md5Decryptor final : public Rc4Decryptor {
 public:
  Rc4Md5Decryptor(const std::u16string& password, const uint8_t* salt) {
    const std::vector<uint8_t> bytes = Utf16Le(password);
    uint8_t h0[MD5_DIGEST_SIZE];
    md5_ctx md5;
    md5_init(&md5);
    md5_update(&md5, bytes.size(), bytes.data());
    md5_digest(&md5, sizeof h0, h0);
    md5_init(&md5);
    for (int i = 0; i < 16; ++i) {
      md5_update(&md5, 5, h0);
      md5_update(&md5, 16, salt);
    }
    uint8_t h1[MD5_DIGEST_SIZE];
    md5_digest(&md5, sizeof h1, h1);
    std::memcpy(truncated_, h1, sizeof truncated_);
  }
  Method GetMethod() const override { return Method::kRc4; }

 protected:
  void BlockKey(uint32_t block, std::vector<uint8_t>& key) const override {
    const uint8_t blockBytes[4] = {static_cast<uint8_t>(block), static_cast<uint8_t>(block >> 8),
                                   static_cast<uint8_t>(block >> 16),
                                   static_cast<uint8_t>(block >> 24)};
    md5_ctx md5;
    md5_init(&md5);
    md5_update(&md5, sizeof truncated_, truncated_);
    md5_update(&md5, 4, blockBytes);
    key.resize(MD5_DIGEST_SIZE);
    md5_digest(&md5, MD5_DIGEST_SIZE, key.data());
  }

 private:
  uint8_t truncated_[5];
};

// RC4 with a SHA-1-based key of 40 to 128 bits: FILEPASS versions 2.2, 3.2 and 4.2.
class Rc4CryptoApiDecryptor final : public Rc4Decryptor {
 public:
  Rc4CryptoApiDecryptor(const std::u16string& password, const uint8_t* salt, size_t keyBits)
      : keyBytes_(keyBits / 8) {
    const std::vector<uint8_t> bytes = Utf16Le(password);
    sha1_ctx sha;
    sha1_init(&sha);
    sha1_update(&sha, 16, salt);
    sha1_update(&sha, bytes.size(), bytes.data());
    sha1_digest(&sha, sizeof h0_, h0_);
  }
  Method GetMethod() const override { return Method::kRc4CryptoApi; }

 protected:
  void BlockKey(uint32_t block, std::vector<uint8_t>& key) const override {
    const uint8_t blockBytes[4] = {static_cast<uint8_t>(block), static_cast<uint8_t>(block >> 8),
                                   static_cast<uint8_t>(block >> 16),
                                   static_cast<uint8_t>(block >> 24)};
    sha1_ctx sha;
    sha1_init(&sha);
    sha1_update(&sha, sizeof h0_, h0_);
    sha1_update(&sha, 4, blockBytes);
    uint8_t digest[SHA1_DIGEST_SIZE];
    sha1_digest(&sha, sizeof digest, digest);
    // A 40-bit key is used as 128 bits: the 5 bytes and 11 zero bytes.
    key.assign(keyBytes_ == 5 ? 16 : keyBytes_, 0);
    std::memcpy(key.data(), digest, keyBytes_);
  }

 private:
  size_t keyBytes_;
  uint8_t h0_[SHA1_DIGEST_SIZE];
};

std::unique_ptr<Decryptor> CreateRc4(std::span<const uint8_t> info, const std::string& password) {
  // Version 1.1, salt, encrypted verifier, encrypted hash of the verifier.
  if (info.size() < 4 + 48) Damaged("is too short");
  const uint8_t* salt = info.data() + 4;
  for (const std::u16string& candidate : Candidates(password)) {
    auto decryptor = std::make_unique<Rc4Md5Decryptor>(candidate, salt);
    uint8_t check[32];
    std::memcpy(check, info.data() + 20, 32);
    decryptor->DecryptVerifier(check, 32);
    uint8_t hash[MD5_DIGEST_SIZE];
    md5_ctx md5;
    md5_init(&md5);
    md5_update(&md5, 16, check);
    md5_digest(&md5, sizeof hash, hash);
    if (std::memcmp(hash, check + 16, 16) == 0) return decryptor;
  }
  throw PasswordError(kWrongPassword);
}

std::unique_ptr<Decryptor> CreateRc4CryptoApi(std::span<const uint8_t> info,
                                              const std::string& password) {
  // Version (4), flags (4), header size (4), header, verifier.
  if (info.size() < 12) Damaged("is too short");
  const uint32_t headerSize = U32(info.data() + 8);
  if (headerSize < 32 || headerSize > info.size() - 12) Damaged("has a header of a wrong size");
  const uint8_t* header = info.data() + 12;
  const uint32_t algorithm = U32(header + 8);
  const uint32_t hashAlgorithm = U32(header + 12);
  uint32_t keyBits = U32(header + 16);
  if (keyBits == 0) keyBits = 40;
  if ((algorithm != 0 && algorithm != 0x6801) || (hashAlgorithm != 0 && hashAlgorithm != 0x8004)) {
    throw ReadError("The workbook is encrypted with an unsupported method (algorithm " +
                    std::to_string(algorithm) + ", hash " + std::to_string(hashAlgorithm) + ")");
  }
  if (keyBits < 40 || keyBits > 128 || keyBits % 8 != 0) {
    Damaged("names a key size of " + std::to_string(keyBits) + " bits");
  }
  const std::span<const uint8_t> verifier = info.subspan(12 + headerSize);
  // Salt size (4), salt (16), encrypted verifier (16), hash size (4), encrypted hash (20).
  if (verifier.size() < 60) Damaged("is too short");
  if (U32(verifier.data()) != 16) Damaged("has a salt of a wrong size");
  if (U32(verifier.data() + 36) != SHA1_DIGEST_SIZE) Damaged("has a verifier hash of a wrong size");
  const uint8_t* salt = verifier.data() + 4;
  for (const std::u16string& candidate : Candidates(password)) {
    auto decryptor = std::make_unique<Rc4CryptoApiDecryptor>(candidate, salt, keyBits);
    uint8_t check[36];
    std::memcpy(check, verifier.data() + 20, 16);
    std::memcpy(check + 16, verifier.data() + 40, 20);
    decryptor->DecryptVerifier(check, sizeof check);
    uint8_t hash[SHA1_DIGEST_SIZE];
    sha1_ctx sha;
    sha1_init(&sha);
    sha1_update(&sha, 16, check);
    sha1_digest(&sha, sizeof hash, hash);
    if (std::memcmp(hash, check + 16, SHA1_DIGEST_SIZE) == 0) return decryptor;
  }
  throw PasswordError(kWrongPassword);
}

}  // namespace

bool Decryptor::IsClearRecord(uint16_t recordType) {
  switch (recordType) {
    case 0x0809:  // BOF (BIFF5-8)
    case 0x0009:  // BOF (BIFF2)
    case 0x0209:  // BOF (BIFF3)
    case 0x0409:  // BOF (BIFF4)
    case 0x002F:  // FILEPASS
    case 0x0194:  // USREXCL
    case 0x0195:  // FILELOCK
    case 0x00E1:  // INTERFACEHDR
    case 0x0196:  // RRDINFO
    case 0x0138:  // RRDHEAD
      return true;
    default:
      return false;
  }
}

void Decryptor::DecryptRecord(uint16_t recordType, uint8_t* payload, size_t length,
                              size_t payloadOffset) {
  if (IsClearRecord(recordType)) return;
  size_t skip = 0;
  if (recordType == 0x0085) skip = std::min<size_t>(length, 4);  // BOUNDSHEET: the sheet offset
  if (length > skip) DecryptPart(payload + skip, length - skip, payloadOffset + skip, length);
}

std::unique_ptr<Decryptor> Decryptor::Create(int biffVersion, std::span<const uint8_t> filepass,
                                             const std::string& password) {
  if (biffVersion < 8) {
    if (filepass.size() < 4) Damaged("is too short");
    return CreateXor(U16(filepass.data()), U16(filepass.data() + 2), password);
  }
  if (filepass.size() < 2) Damaged("is too short");
  const uint16_t type = U16(filepass.data());
  if (type == 0) {
    if (filepass.size() < 6) Damaged("is too short");
    return CreateXor(U16(filepass.data() + 2), U16(filepass.data() + 4), password);
  }
  if (type != 1) {
    throw ReadError("The workbook is encrypted with an unknown method (type " +
                    std::to_string(type) + ")");
  }
  const std::span<const uint8_t> info = filepass.subspan(2);
  if (info.size() < 4) Damaged("is too short");
  const uint16_t major = U16(info.data()), minor = U16(info.data() + 2);
  if (major == 1 && minor == 1) return CreateRc4(info, password);
  if ((major == 2 || major == 3 || major == 4) && minor == 2) {
    return CreateRc4CryptoApi(info, password);
  }
  throw ReadError("The workbook is encrypted with an unknown method (RC4 version " +
                  std::to_string(major) + "." + std::to_string(minor) + ")");
}

}  // namespace quillane::biff
