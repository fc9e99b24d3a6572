// Encrypted packages: agile and standard encryption, made here from the documented key
// derivations, read back with the default password, a given one and a wrong one.
#include <gtest/gtest.h>
#include <nettle/aes.h>
#include <nettle/base64.h>
#include <nettle/nettle-meta.h>
#include <nettle/sha1.h>
#include <nettle/sha2.h>

#include "spreadsheet/ooxml/WorkbookReader.h"
#include "tests/spreadsheet/container/CompoundFileWriter.h"
#include "tests/spreadsheet/ooxml/Package.h"

using namespace quillane;
using Bytes = std::vector<uint8_t>;
namespace qt = quillane::testing;

namespace {

Bytes Utf16(const std::string& ascii) {
  Bytes out;
  for (char c : ascii) out.push_back(static_cast<uint8_t>(c)), out.push_back(0);
  return out;
}
Bytes Le32(uint32_t v) { return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}; }
Bytes Cat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}
Bytes Sha1(const Bytes& d) {
  sha1_ctx c;
  sha1_init(&c);
  sha1_update(&c, d.size(), d.data());
  Bytes out(SHA1_DIGEST_SIZE);
  sha1_digest(&c, out.size(), out.data());
  return out;
}
Bytes Digest(const nettle_hash& kind, const Bytes& d) {
  std::vector<uint8_t> context(kind.context_size);
  kind.init(context.data());
  kind.update(context.data(), d.size(), d.data());
  Bytes out(kind.digest_size);
  kind.digest(context.data(), out.size(), out.data());
  return out;
}
// AES-256 or AES-128 encryption, CBC when an IV is given, else ECB; pads with zeros.
Bytes Encrypt(const Bytes& key, Bytes data, const Bytes* iv) {
  data.resize((data.size() + 15) / 16 * 16, 0);
  uint8_t prev[16] = {};
  if (iv) std::copy(iv->begin(), iv->begin() + 16, prev);
  aes256_ctx c256;
  aes128_ctx c128;
  if (key.size() == 32)
    aes256_set_encrypt_key(&c256, key.data());
  else
    aes128_set_encrypt_key(&c128, key.data());
  for (size_t at = 0; at < data.size(); at += 16) {
    if (iv)
      for (int i = 0; i < 16; ++i) data[at + i] ^= prev[i];
    if (key.size() == 32)
      aes256_encrypt(&c256, 16, &data[at], &data[at]);
    else
      aes128_encrypt(&c128, 16, &data[at], &data[at]);
    std::copy(&data[at], &data[at] + 16, prev);
  }
  return data;
}
std::string B64(const Bytes& b) {
  std::string out(BASE64_ENCODE_RAW_LENGTH(b.size()), '\0');
  base64_encode_raw(out.data(), b.size(), b.data());
  return out;
}
Bytes Package(const Bytes& zip, const Bytes& body) {
  return Cat(Cat(Le32(static_cast<uint32_t>(zip.size())), Le32(0)), body);
}

// The cipher of one block of an agile description: AES of `keyBits` with the hash `hash`.
struct Cipher {
  size_t keyBits;
  const nettle_hash& hash;
  std::string name;
  std::string Attributes() const {
    return "saltSize=\"16\" blockSize=\"16\" keyBits=\"" + std::to_string(keyBits) +
           "\" hashSize=\"" + std::to_string(hash.digest_size) +
           "\" cipherAlgorithm=\"AES\" cipherChaining=\"ChainingModeCBC\" hashAlgorithm=\"" + name +
           "\"";
  }
};
const Cipher kAes256Sha512{256, nettle_sha512, "SHA512"}, kAes128Sha1{128, nettle_sha1, "SHA1"};

// The data and the password's key encryptor each with their own cipher.
Bytes Agile(const Bytes& zip, const std::string& password, const Cipher& data = kAes256Sha512,
            const Cipher& encryptor = kAes256Sha512) {
  const Bytes salt(16, 0x11), keySalt(16, 0x22), secret(data.keyBits / 8, 0x5A), verifier(16, 0x77);
  const nettle_hash& hash = encryptor.hash;
  Bytes h = Digest(hash, Cat(salt, Utf16(password)));
  for (uint32_t i = 0; i < 1000; ++i) h = Digest(hash, Cat(Le32(i), h));
  auto key = [&](Bytes block) {
    Bytes k = Digest(hash, Cat(h, block));
    k.resize(encryptor.keyBits / 8, 0x36);
    return k;
  };
  const std::string info =
      "<?xml version=\"1.0\"?><encryption "
      "xmlns=\"http://schemas.microsoft.com/office/2006/encryption\" "
      "xmlns:p=\"http://schemas.microsoft.com/office/2006/keyEncryptor/password\"><keyData " +
      data.Attributes() + " saltValue=\"" + B64(keySalt) +
      "\"/><keyEncryptors><keyEncryptor "
      "uri=\"http://schemas.microsoft.com/office/2006/keyEncryptor/password\"><p:encryptedKey "
      "spinCount=\"1000\" " +
      encryptor.Attributes() + " saltValue=\"" + B64(salt) + "\" encryptedVerifierHashInput=\"" +
      B64(Encrypt(key({0xFE, 0xA7, 0xD2, 0x76, 0x3B, 0x4B, 0x9E, 0x79}), verifier, &salt)) +
      "\" encryptedVerifierHashValue=\"" +
      B64(Encrypt(key({0xD7, 0xAA, 0x0F, 0x6D, 0x30, 0x61, 0x34, 0x4E}), Digest(hash, verifier),
                  &salt)) +
      "\" encryptedKeyValue=\"" +
      B64(Encrypt(key({0x14, 0x6E, 0x0B, 0xE7, 0xAB, 0xAC, 0xD0, 0xD6}), secret, &salt)) +
      "\"/></keyEncryptor></keyEncryptors></encryption>";
  Bytes body;
  for (size_t at = 0, i = 0; at < zip.size(); at += 4096, ++i) {
    Bytes iv = Digest(data.hash, Cat(keySalt, Le32(static_cast<uint32_t>(i))));
    body = Cat(
        body, Encrypt(secret,
                      Bytes(zip.begin() + at, zip.begin() + std::min(zip.size(), at + 4096)), &iv));
  }
  Bytes infoStream = {4, 0, 4, 0, 0x40, 0, 0, 0};
  infoStream.insert(infoStream.end(), info.begin(), info.end());
  return quillane::container::testing::WriteCompoundFile(
             {{"EncryptionInfo", infoStream}, {"EncryptedPackage", Package(zip, body)}})
      .bytes;
}

Bytes Standard(const Bytes& zip, const std::string& password) {
  const Bytes salt(16, 0x33), verifier(16, 0x44);
  Bytes h = Sha1(Cat(salt, Utf16(password)));
  for (uint32_t i = 0; i < 50000; ++i) h = Sha1(Cat(Le32(i), h));
  h = Sha1(Cat(h, Le32(0)));
  Bytes x1(64, 0x36);
  for (size_t i = 0; i < 20; ++i) x1[i] ^= h[i];
  Bytes key = Sha1(x1);
  key.resize(16);
  Bytes header = Cat(Cat(Cat(Le32(0x24), Le32(0)), Cat(Le32(0x660E), Le32(0x8004))),
                     Cat(Le32(128), Le32(0x18)));
  header = Cat(header, Bytes(8 + 4, 0));  // reserved, and an empty provider name
  Bytes info = Cat(Bytes{3, 0, 2, 0, 0x24, 0, 0, 0}, Le32(static_cast<uint32_t>(header.size())));
  info = Cat(Cat(info, header), Cat(Le32(16), salt));
  info = Cat(Cat(info, Encrypt(key, verifier, nullptr)),
             Cat(Le32(20), Encrypt(key, Sha1(verifier), nullptr)));
  return quillane::container::testing::WriteCompoundFile(
             {{"EncryptionInfo", info},
              {"EncryptedPackage", Package(zip, Encrypt(key, zip, nullptr))}})
      .bytes;
}

std::string ErrorOf(const Bytes& file, const std::string& password, bool* passwordError) {
  try {
    ooxml::ReadWorkbookBytes(file, password);
  } catch (const model::PasswordError& e) {
    *passwordError = true;
    return e.what();
  } catch (const model::ReadError& e) {
    *passwordError = false;
    return e.what();
  }
  return "<read>";
}

}  // namespace

TEST(OoxmlEncryption, AgileAndStandardWithDefaultGivenAndWrongPasswords) {
  qt::PackageParts p;
  p.sheetNames = {"Locked"};
  std::string row;
  for (int i = 0; i < 300; ++i)
    row += "<c t=\"inlineStr\"><is><t>cell " + std::to_string(i) + "</t></is></c>";
  p.parts["xl/worksheets/sheet1.xml"] =
      qt::SheetXml("<sheetData><row>" + row + "</row></sheetData>");
  const Bytes zip = p.Build();
  ASSERT_GT(zip.size(), 8192u);  // three segments of agile encryption
  // Agile descriptions whose data and key encryptor differ in cipher, key size and hash too.
  for (const Bytes& file : {Agile(zip, "s3cret"), Agile(zip, "s3cret", kAes128Sha1, kAes256Sha512),
                            Agile(zip, "s3cret", kAes256Sha512, kAes128Sha1),
                            Standard(zip, "s3cret"), Standard(zip, "VelvetSweatshop")}) {
    const model::Workbook book = ooxml::ReadWorkbookBytes(file, "s3cret");
    ASSERT_EQ(book.sheets.at(0).cells.size(), 300u);
    EXPECT_EQ(book.strings.at(book.sheets[0].cells[299].text), "cell 299");
  }
  bool passwordError = false;
  const std::string wrong = ErrorOf(Agile(zip, "s3cret"), "guess", &passwordError);
  EXPECT_TRUE(passwordError);
  EXPECT_EQ(wrong, "The workbook is password-protected and the password did not open it");
  EXPECT_EQ(ErrorOf(Standard(zip, "s3cret"), "", &passwordError), wrong);
  EXPECT_TRUE(passwordError);
  EXPECT_EQ(ErrorOf(Agile(zip, "s3cret", kAes128Sha1, kAes256Sha512), "guess", &passwordError),
            wrong);
  EXPECT_TRUE(passwordError);
  // A damaged description is a read error, not a password error.
  Bytes broken = Agile(zip, "s3cret");
  const std::string marker = "cipherAlgorithm=\"AES\"";
  auto at = std::search(broken.begin(), broken.end(), marker.begin(), marker.end());
  ASSERT_NE(at, broken.end());
  *(at + 17) = 'X';
  EXPECT_NE(ErrorOf(broken, "s3cret", &passwordError).find("the cipher XES"), std::string::npos);
  EXPECT_FALSE(passwordError);
}
