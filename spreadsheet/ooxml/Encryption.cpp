#include "spreadsheet/ooxml/Encryption.h"

#include <nettle/aes.h>
#include <nettle/base64.h>
#include <nettle/nettle-meta.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "spreadsheet/model/ReadError.h"
#include "spreadsheet/ooxml/Xml.h"

namespace quillane::ooxml {

namespace {

using Bytes = std::vector<uint8_t>;

constexpr size_t kSegment = 4096;           // agile packages are encrypted in segments
constexpr int64_t kMaxSpinCount = 1000000;  // hash rounds of the key derivation (10x the usual)

[[noreturn]] void Damaged(const std::string& what) {
  throw model::ReadError("The workbook is damaged: its encryption " + what);
}
[[noreturn]] void Unsupported(const std::string& what) {
  throw model::ReadError("The workbook is encrypted in a way this version does not read: " + what);
}

uint32_t U32(const uint8_t* p) {
  return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

void PutU32(Bytes& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// The password as UTF-16LE code units.
Bytes Utf16(const std::string& utf8) {
  Bytes out;
  for (size_t i = 0; i < utf8.size();) {
    const uint8_t c = static_cast<uint8_t>(utf8[i]);
    uint32_t cp = c;
    size_t len = 1;
    if (c >= 0xF0 && i + 3 < utf8.size()) {
      cp = ((c & 0x07u) << 18) | ((utf8[i + 1] & 0x3Fu) << 12) | ((utf8[i + 2] & 0x3Fu) << 6) |
           (utf8[i + 3] & 0x3Fu);
      len = 4;
    } else if (c >= 0xE0 && i + 2 < utf8.size()) {
      cp = ((c & 0x0Fu) << 12) | ((utf8[i + 1] & 0x3Fu) << 6) | (utf8[i + 2] & 0x3Fu);
      len = 3;
    } else if (c >= 0xC0 && i + 1 < utf8.size()) {
      cp = ((c & 0x1Fu) << 6) | (utf8[i + 1] & 0x3Fu);
      len = 2;
    }
    i += len;
    auto unit = [&](uint32_t u) {
      out.push_back(static_cast<uint8_t>(u));
      out.push_back(static_cast<uint8_t>(u >> 8));
    };
    if (cp >= 0x10000) {
      cp -= 0x10000;
      unit(0xD800 + (cp >> 10));
      unit(0xDC00 + (cp & 0x3FF));
    } else {
      unit(cp);
    }
  }
  return out;
}

class Hash {
 public:
  explicit Hash(const nettle_hash* kind) : kind_(kind), ctx_(kind->context_size) {}
  size_t Size() const { return kind_->digest_size; }
  Bytes Of(std::initializer_list<std::span<const uint8_t>> parts) {
    kind_->init(ctx_.data());
    for (auto part : parts) kind_->update(ctx_.data(), part.size(), part.data());
    Bytes out(kind_->digest_size);
    kind_->digest(ctx_.data(), out.size(), out.data());
    return out;
  }

 private:
  const nettle_hash* kind_;
  Bytes ctx_;
};

const nettle_hash* HashNamed(std::string_view name) {
  if (name == "SHA1" || name == "SHA-1") return &nettle_sha1;
  if (name == "SHA256" || name == "SHA-256") return &nettle_sha256;
  if (name == "SHA384" || name == "SHA-384") return &nettle_sha384;
  if (name == "SHA512" || name == "SHA-512") return &nettle_sha512;
  Unsupported("the hash " + std::string(name));
}

// AES decryption with a key of 16, 24 or 32 bytes.
class Aes {
 public:
  explicit Aes(std::span<const uint8_t> key) : size_(key.size()) {
    if (size_ == 16)
      aes128_set_decrypt_key(&c128_, key.data());
    else if (size_ == 24)
      aes192_set_decrypt_key(&c192_, key.data());
    else if (size_ == 32)
      aes256_set_decrypt_key(&c256_, key.data());
    else
      Unsupported("an AES key of " + std::to_string(key.size() * 8) + " bits");
  }
  // ECB: every block alone. `length` is a multiple of 16.
  void Ecb(uint8_t* data, size_t length) const {
    if (size_ == 16)
      aes128_decrypt(&c128_, length, data, data);
    else if (size_ == 24)
      aes192_decrypt(&c192_, length, data, data);
    else
      aes256_decrypt(&c256_, length, data, data);
  }
  void Cbc(std::span<const uint8_t> iv, uint8_t* data, size_t length) const {
    uint8_t previous[16], cipher[16];
    std::memcpy(previous, iv.data(), 16);
    for (size_t at = 0; at + 16 <= length; at += 16) {
      std::memcpy(cipher, data + at, 16);
      Ecb(data + at, 16);
      for (int i = 0; i < 16; ++i) data[at + i] ^= previous[i];
      std::memcpy(previous, cipher, 16);
    }
  }

 private:
  size_t size_;
  aes128_ctx c128_{};
  aes192_ctx c192_{};
  aes256_ctx c256_{};
};

// Cut or pad (with 0x36) to `size` bytes, as the key derivation asks.
Bytes Fit(Bytes b, size_t size) {
  b.resize(size, 0x36);
  return b;
}

Bytes Base64(std::string_view text) {
  Bytes out(BASE64_DECODE_LENGTH(text.size()) + 1);
  base64_decode_ctx ctx;
  base64_decode_init(&ctx);
  size_t length = out.size();
  if (!base64_decode_update(&ctx, &length, out.data(), text.size(), text.data()) ||
      !base64_decode_final(&ctx)) {
    Damaged("description holds a value that is not base64");
  }
  out.resize(length);
  return out;
}

// The package stream: its size (8 bytes) and the encrypted bytes.
std::span<const uint8_t> PackageData(std::span<const uint8_t> package, uint64_t& size) {
  if (package.size() < 8) Damaged("package is too short");
  size = uint64_t{U32(package.data())} | (uint64_t{U32(package.data() + 4)} << 32);
  std::span<const uint8_t> data = package.subspan(8);
  if (size > data.size()) Damaged("package is shorter than its stated size");
  return data;
}

// ---- Standard encryption (AES in ECB mode, one SHA-1 key).

bool DecryptStandard(std::span<const uint8_t> info, std::span<const uint8_t> package,
                     const std::string& password, Bytes& out) {
  if (info.size() < 12) Damaged("information is too short");
  const uint32_t headerSize = U32(info.data() + 8);
  if (headerSize < 32 || headerSize > info.size() - 12) Damaged("header is damaged");
  const uint8_t* header = info.data() + 12;
  const uint32_t algorithm = U32(header + 8);
  const uint32_t keyBits = U32(header + 16);
  if (algorithm != 0x660E && algorithm != 0x660F && algorithm != 0x6610) {
    Unsupported("the cipher 0x" + [&] {
      char buf[9];
      std::snprintf(buf, sizeof buf, "%04X", algorithm);
      return std::string(buf);
    }());
  }
  if (keyBits != 128 && keyBits != 192 && keyBits != 256)
    Unsupported("a key of " + std::to_string(keyBits) + " bits");
  const size_t at = 12 + headerSize;
  if (info.size() - at < 4 + 16 + 16 + 4 + 32) Damaged("verifier is too short");
  const uint8_t* v = info.data() + at;
  if (U32(v) != 16) Damaged("verifier has a salt of another size");
  const std::span<const uint8_t> salt(v + 4, 16);

  Hash sha1(&nettle_sha1);
  const Bytes pw = Utf16(password);
  Bytes h = sha1.Of({salt, pw});
  Bytes counter(4);
  for (uint32_t i = 0; i < 50000; ++i) {
    for (int k = 0; k < 4; ++k)
      counter[static_cast<size_t>(k)] = static_cast<uint8_t>(i >> (8 * k));
    h = sha1.Of({counter, h});
  }
  const Bytes zero(4, 0);
  const Bytes final = sha1.Of({h, zero});
  Bytes x1(64, 0x36), x2(64, 0x5C);
  for (size_t i = 0; i < final.size(); ++i) x1[i] ^= final[i], x2[i] ^= final[i];
  Bytes key = sha1.Of({x1});
  const Bytes key2 = sha1.Of({x2});
  key.insert(key.end(), key2.begin(), key2.end());
  key.resize(keyBits / 8);

  const Aes aes(key);
  Bytes verifier(v + 20, v + 36);
  Bytes verifierHash(v + 40, v + 72);
  aes.Ecb(verifier.data(), verifier.size());
  aes.Ecb(verifierHash.data(), verifierHash.size());
  const Bytes expected = sha1.Of({verifier});
  if (!std::equal(expected.begin(), expected.end(), verifierHash.begin())) return false;

  uint64_t size = 0;
  const std::span<const uint8_t> data = PackageData(package, size);
  out.assign(data.begin(), data.begin() + static_cast<ptrdiff_t>(data.size() & ~size_t{15}));
  if (size > out.size()) Damaged("package is shorter than its stated size");
  aes.Ecb(out.data(), out.size());
  out.resize(size);
  return true;
}

// ---- Agile encryption (an XML description, AES in CBC mode).

struct CipherParams {
  std::string cipher, chaining, hash;
  int64_t keyBits = 0, blockSize = 0, hashSize = 0, saltSize = 0, spinCount = -1;
  Bytes salt, hashInput, hashValue, keyValue;
  bool seen = false;

  void Take(const Attrs& a) {
    seen = true;
    cipher = a.View("cipherAlgorithm");
    chaining = a.View("cipherChaining");
    hash = a.View("hashAlgorithm");
    keyBits = a.Int("keyBits", 0);
    blockSize = a.Int("blockSize", 0);
    hashSize = a.Int("hashSize", 0);
    saltSize = a.Int("saltSize", 0);
    spinCount = a.Int("spinCount", -1);
    salt = Base64(a.View("saltValue"));
    hashInput = Base64(a.View("encryptedVerifierHashInput"));
    hashValue = Base64(a.View("encryptedVerifierHashValue"));
    keyValue = Base64(a.View("encryptedKeyValue"));
  }
  void Check(bool password) const {
    if (!seen) Damaged("description is incomplete");
    if (cipher != "AES") Unsupported("the cipher " + cipher);
    if (chaining != "ChainingModeCBC") Unsupported("the chaining " + chaining);
    if (keyBits != 128 && keyBits != 192 && keyBits != 256)
      Unsupported("a key of " + std::to_string(keyBits) + " bits");
    if (blockSize != 16 || salt.empty() || salt.size() > 1024) Damaged("description is damaged");
    // The encrypted key value holds the key of the data, whose size the key data name: it is
    // checked against that once decrypted, not against the key encryptor's own key size.
    if (password && (spinCount < 0 || hashInput.empty() || hashValue.empty() || keyValue.empty()))
      Damaged("description is damaged");
    if (password && spinCount > kMaxSpinCount)
      Unsupported("a spin count of " + std::to_string(spinCount));
  }
};

class AgileHandler : public xml::Handler {
 public:
  CipherParams keyData, passwordKey;
  void Start(std::string_view name, const Attrs& a) override {
    if (name == "keyData" && !keyData.seen) keyData.Take(a);
    // The key encryptor of the password (certificate encryptors have no spin count).
    if (name == "encryptedKey" && a.Has("spinCount") && !passwordKey.seen) passwordKey.Take(a);
  }
};

Bytes CbcDecrypt(std::span<const uint8_t> key, std::span<const uint8_t> iv, Bytes data) {
  data.resize(data.size() & ~size_t{15});
  Aes(key).Cbc(iv, data.data(), data.size());
  return data;
}

bool DecryptAgile(std::span<const uint8_t> info, std::span<const uint8_t> package,
                  const std::string& password, Bytes& out) {
  AgileHandler params;
  ParseXml(info.subspan(8), params, "EncryptionInfo");
  const CipherParams& pk = params.passwordKey;
  const CipherParams& kd = params.keyData;
  pk.Check(true);
  kd.Check(false);

  Hash hash(HashNamed(pk.hash));
  const Bytes pw = Utf16(password);
  Bytes h = hash.Of({pk.salt, pw});
  Bytes counter(4);
  for (int64_t i = 0; i < pk.spinCount; ++i) {
    for (int k = 0; k < 4; ++k)
      counter[static_cast<size_t>(k)] = static_cast<uint8_t>(i >> (8 * k));
    h = hash.Of({counter, h});
  }
  const size_t keyBytes = static_cast<size_t>(pk.keyBits / 8);
  auto derive = [&](std::initializer_list<uint8_t> block) {
    const Bytes b(block);
    return Fit(hash.Of({h, b}), keyBytes);
  };
  const Bytes iv = Fit(pk.salt, 16);
  const Bytes input =
      CbcDecrypt(derive({0xFE, 0xA7, 0xD2, 0x76, 0x3B, 0x4B, 0x9E, 0x79}), iv, pk.hashInput);
  const Bytes value =
      CbcDecrypt(derive({0xD7, 0xAA, 0x0F, 0x6D, 0x30, 0x61, 0x34, 0x4E}), iv, pk.hashValue);
  const size_t inputSize =
      std::min<size_t>(input.size(), static_cast<size_t>(std::max<int64_t>(pk.saltSize, 0)));
  const Bytes expected = hash.Of({std::span<const uint8_t>(input.data(), inputSize)});
  if (value.size() < expected.size() ||
      !std::equal(expected.begin(), expected.end(), value.begin()))
    return false;
  Bytes secret =
      CbcDecrypt(derive({0x14, 0x6E, 0x0B, 0xE7, 0xAB, 0xAC, 0xD0, 0xD6}), iv, pk.keyValue);
  if (secret.size() < static_cast<size_t>(kd.keyBits / 8)) Damaged("key is too short");
  secret.resize(static_cast<size_t>(kd.keyBits / 8));

  uint64_t size = 0;
  const std::span<const uint8_t> data = PackageData(package, size);
  Hash segmentHash(HashNamed(kd.hash));
  const Aes aes(secret);
  out.assign(data.begin(), data.begin() + static_cast<ptrdiff_t>(data.size() & ~size_t{15}));
  if (size > out.size()) Damaged("package is shorter than its stated size");
  Bytes index;
  for (size_t at = 0, segment = 0; at < out.size(); at += kSegment, ++segment) {
    index.clear();
    PutU32(index, static_cast<uint32_t>(segment));
    const Bytes segmentIv = Fit(segmentHash.Of({kd.salt, index}), 16);
    aes.Cbc(segmentIv, out.data() + at, std::min(kSegment, out.size() - at));
  }
  out.resize(size);
  return true;
}

}  // namespace

bool DecryptPackage(std::span<const uint8_t> info, std::span<const uint8_t> package,
                    const std::string& password, std::vector<uint8_t>& out) {
  if (info.size() < 8) Damaged("information is too short");
  const uint16_t major = static_cast<uint16_t>(info[0] | (info[1] << 8));
  const uint16_t minor = static_cast<uint16_t>(info[2] | (info[3] << 8));
  if (major == 4 && minor == 4) return DecryptAgile(info, package, password, out);
  if ((major == 2 || major == 3 || major == 4) && minor == 2)
    return DecryptStandard(info, package, password, out);
  Unsupported("version " + std::to_string(major) + "." + std::to_string(minor));
}

}  // namespace quillane::ooxml
