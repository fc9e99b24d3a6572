// Test helper: RC4 and RC4 CryptoAPI encryption made from the documented key derivations, and a
// minimal BIFF8 workbook stream to encrypt, so that decryption is checked against data this
// repository makes itself.
#pragma once

#include <nettle/arcfour.h>
#include <nettle/md5.h>
#include <nettle/sha1.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace quillane::testing {

using Bytes = std::vector<uint8_t>;

inline Bytes Md5(const Bytes& data) {
  md5_ctx c;
  md5_init(&c);
  md5_update(&c, data.size(), data.data());
  Bytes out(MD5_DIGEST_SIZE);
  md5_digest(&c, out.size(), out.data());
  return out;
}
inline Bytes Sha1(const Bytes& data) {
  sha1_ctx c;
  sha1_init(&c);
  sha1_update(&c, data.size(), data.data());
  Bytes out(SHA1_DIGEST_SIZE);
  sha1_digest(&c, out.size(), out.data());
  return out;
}
inline Bytes Utf16(const std::string& ascii) {
  Bytes out(ascii.size() * 2, 0);
  for (size_t i = 0; i < ascii.size(); ++i) out[2 * i] = static_cast<uint8_t>(ascii[i]);
  return out;
}
inline Bytes Le16(uint32_t v) { return {uint8_t(v), uint8_t(v >> 8)}; }
inline Bytes Le32(uint32_t v) {
  return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
}
inline Bytes Cat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}
inline Bytes Rc4(const Bytes& key, Bytes data) {
  arcfour_ctx c;
  arcfour_set_key(&c, key.size(), key.data());
  arcfour_crypt(&c, data.size(), data.data(), data.data());
  return data;
}

// One way of encrypting: RC4 (MD5, 40 bits) or RC4 CryptoAPI (SHA-1, 40 to 128 bits).
struct Scheme {
  bool cryptoApi;
  uint32_t keyBits;
  Bytes salt = Bytes(16, 0x5A);

  Bytes BlockKey(const std::string& password, uint32_t block) const {
    if (cryptoApi) {
      Bytes h = Sha1(Cat(Sha1(Cat(salt, Utf16(password))), Le32(block)));
      h.resize(keyBits / 8);
      if (keyBits == 40) h.resize(16, 0);
      return h;
    }
    Bytes h0 = Md5(Utf16(password));
    h0.resize(5);
    Bytes buffer;
    for (int i = 0; i < 16; ++i) buffer = Cat(Cat(buffer, h0), salt);
    Bytes h1 = Md5(buffer);
    h1.resize(5);
    return Md5(Cat(h1, Le32(block)));
  }
  // The FILEPASS payload.
  Bytes FilePass(const std::string& password) const {
    const Bytes verifier(16, 0x33);
    const Bytes check =
        Rc4(BlockKey(password, 0), Cat(verifier, cryptoApi ? Sha1(verifier) : Md5(verifier)));
    if (!cryptoApi) return Cat(Cat({1, 0, 1, 0, 1, 0}, salt), check);
    Bytes header = Cat(Cat(Cat(Le32(4), Le32(0)), Cat(Le32(0x6801), Le32(0x8004))),
                       Cat(Cat(Le32(keyBits), Le32(1)), Cat(Le32(0), Le32(0))));
    header = Cat(header, Utf16("CSP"));
    Bytes out = Cat(Cat({1, 0, 4, 0, 2, 0}, Le32(4)), Le32(static_cast<uint32_t>(header.size())));
    out = Cat(Cat(out, header), Cat(Le32(16), salt));
    out = Cat(Cat(out, Bytes(check.begin(), check.begin() + 16)), Le32(20));
    return Cat(out, Bytes(check.begin() + 16, check.end()));
  }
  // Encrypts every byte of a stream as a writer does: each 1024-byte block with its own key.
  Bytes Encrypt(const std::string& password, const Bytes& plain) const {
    Bytes out;
    for (size_t at = 0; at < plain.size(); at += 1024) {
      const Bytes block(plain.begin() + at, plain.begin() + std::min(plain.size(), at + 1024));
      out = Cat(out, Rc4(BlockKey(password, static_cast<uint32_t>(at / 1024)), block));
    }
    return out;
  }
};

inline Bytes Record(uint16_t type, const Bytes& payload) {
  return Cat(Cat(Le16(type), Le16(static_cast<uint32_t>(payload.size()))), payload);
}

// A BIFF8 workbook stream with one worksheet named `sheet` holding the text `text` in A1 and
// the number 42.5 in B1, encrypted with `scheme` and `password` (none when `scheme` is null).
// Records stay in the clear where the format says so (BOF, FILEPASS, the sheet offset of
// BOUNDSHEET).
inline Bytes WorkbookStream(const Scheme* scheme, const std::string& password,
                            const std::string& sheet, const std::string& text) {
  const Bytes globalsBof = Record(0x0809, {0x00, 0x06, 0x05, 0x00, 0xAF, 0x18, 0xCD, 0x07, 0xC1,
                                           0x00, 0x00, 0x00, 0x06, 0x04, 0x00, 0x00});
  const Bytes filepass = scheme ? Record(0x002F, scheme->FilePass(password)) : Bytes{};
  const Bytes codepage = Record(0x0042, Le16(1200));
  const size_t boundSheetSize = 4 + 8 + sheet.size();
  const size_t sheetBof =
      globalsBof.size() + filepass.size() + codepage.size() + boundSheetSize + 4;
  Bytes boundSheet =
      Cat(Le32(static_cast<uint32_t>(sheetBof)), {0, 0, static_cast<uint8_t>(sheet.size()), 0});
  boundSheet.insert(boundSheet.end(), sheet.begin(), sheet.end());
  Bytes label = Cat(Cat(Le16(0), Le16(0)), Cat(Le16(15), Le16(static_cast<uint32_t>(text.size()))));
  label.push_back(0);
  label.insert(label.end(), text.begin(), text.end());
  const Bytes number = Cat(Cat(Cat(Le16(0), Le16(1)), Le16(15)),
                           {0x00, 0x00, 0x00, 0x00, 0x00, 0x40, 0x45, 0x40});  // 42.5
  Bytes plain = Cat(Cat(globalsBof, filepass), Cat(codepage, Record(0x0085, boundSheet)));
  plain = Cat(plain, Record(0x000A, {}));
  plain = Cat(plain, Record(0x0809, {0x00, 0x06, 0x10, 0x00, 0xAF, 0x18, 0xCD, 0x07, 0xC1, 0x00,
                                     0x00, 0x00, 0x06, 0x04, 0x00, 0x00}));
  plain =
      Cat(plain, Record(0x0200, Cat(Cat(Le32(0), Le32(1)), Cat(Cat(Le16(0), Le16(2)), Le16(0)))));
  plain = Cat(Cat(plain, Record(0x0204, label)), Record(0x0203, number));
  plain = Cat(plain, Record(0x000A, {}));

  if (!scheme) return plain;
  // Encrypt what follows FILEPASS: payloads only, keyed by their stream offsets.
  const Bytes keystream = scheme->Encrypt(password, Bytes(plain.size(), 0));
  Bytes out = plain;
  for (size_t at = globalsBof.size() + filepass.size(); at + 4 <= out.size();) {
    const uint16_t type = static_cast<uint16_t>(out[at] | out[at + 1] << 8);
    const size_t length = static_cast<size_t>(out[at + 2] | out[at + 3] << 8);
    const size_t skip = type == 0x0809 ? length : type == 0x0085 ? 4 : 0;
    for (size_t i = at + 4 + skip; i < at + 4 + length; ++i) out[i] ^= keystream[i];
    at += 4 + length;
  }
  return out;
}

}  // namespace quillane::testing
