#include "spreadsheet/biff/Decryptor.h"

#include <gtest/gtest.h>
#include <nettle/arcfour.h>
#include <nettle/md5.h>
#include <nettle/sha1.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "spreadsheet/biff/WorkbookReader.h"
#include "spreadsheet/container/CompoundFile.h"
#include "tests/spreadsheet/container/EncryptedWorkbook.h"

namespace quillane::biff {
namespace {

using Bytes = std::vector<uint8_t>;

std::string PasswordMessage(const Bytes& filepass, const std::string& password, int biff = 8) {
  try {
    Decryptor::Create(biff, filepass, password);
  } catch (const PasswordError& e) {
    return e.what();
  }
  return "opened";
}

// Every prefix of a FILEPASS record gives ReadError (or PasswordError), never anything else.
void ExpectPrefixesFailCleanly(const Bytes& filepass) {
  for (size_t n = 0; n < filepass.size(); ++n) {
    try {
      Decryptor::Create(8, Bytes(filepass.begin(), filepass.begin() + n), "password");
    } catch (const ReadError&) {
    }
  }
}

// Known vectors: the FILEPASS records and some encrypted records of two real workbooks
// (password.xls, RC4, "password"; xor-encryption-abc.xls, XOR, "abc"), copied here so that the
// tests do not need the corpus.
const Bytes kRc4FilePass = {0x01, 0x00, 0x01, 0x00, 0x01, 0x00, 0x68, 0xA7, 0x5D, 0xAB, 0x8D,
                            0xFF, 0x01, 0xC4, 0xFA, 0x37, 0x63, 0x68, 0xE6, 0x5E, 0xFC, 0x5F,
                            0xDA, 0xA7, 0xA3, 0x6E, 0x24, 0x21, 0xFB, 0xA3, 0x6A, 0xB4, 0xEC,
                            0x92, 0xFA, 0x2A, 0xA0, 0x9A, 0xF7, 0x89, 0x69, 0x35, 0xE1, 0xC3,
                            0xAD, 0xB7, 0x16, 0x28, 0xED, 0xB7, 0x54, 0x3C, 0x09, 0xFA};
const Bytes kRc4Font = {0xA0, 0x98, 0x5B, 0x04, 0x66, 0x9B, 0xCB, 0x8B, 0x6F, 0x1C,
                        0xD7, 0x96, 0xAC, 0x15, 0x8D, 0x10, 0x3C, 0xF7, 0xAE, 0xD1,
                        0x4A, 0xB3, 0xBE, 0xA2, 0xA9, 0xDD, 0xED, 0x9C, 0xF6, 0x0C};  // at 334
const Bytes kRc4BoundSheet = {0x8E, 0x37, 0x00, 0x00, 0xFA, 0x29, 0x31, 0x95, 0xF7,
                              0x0F, 0xD6, 0xD4, 0x97, 0x4C, 0x3C, 0x66, 0xD2, 0x7B};  // at 12923
const Bytes kXorFilePass = {0x00, 0x00, 0x4A, 0x51, 0x1A, 0xCC};
const Bytes kXorBoundSheet = {0x6C, 0x04, 0x00, 0x00, 0x25, 0x77, 0x55,
                              0x99, 0xFE, 0x78, 0x76, 0xFB, 0xF6, 0x71};  // at 1036

std::string Ascii(const Bytes& b, size_t from, size_t step = 1) {
  std::string s;
  for (size_t i = from; i < b.size(); i += step) s += static_cast<char>(b[i]);
  return s;
}

TEST(Decryptor, XorObfuscationKnownVector) {
  auto decryptor = Decryptor::Create(8, kXorFilePass, "abc");
  EXPECT_EQ(decryptor->GetMethod(), Decryptor::Method::kXor);
  Bytes sheet = kXorBoundSheet;
  decryptor->DecryptRecord(0x0085, sheet.data(), sheet.size(), 1036);
  EXPECT_EQ(Bytes(sheet.begin(), sheet.begin() + 4),
            Bytes(kXorBoundSheet.begin(), kXorBoundSheet.begin() + 4));
  EXPECT_EQ(Ascii(sheet, 8), "Sheet1");
  Bytes codepage = {0xCC, 0xD7};
  decryptor->Decrypt(codepage.data(), 2, 34);  // a whole payload: CODEPAGE 1200
  EXPECT_EQ(codepage, (Bytes{0xB0, 0x04}));
  // BIFF5 keeps the key and the verifier without a type.
  EXPECT_NO_THROW(Decryptor::Create(5, Bytes(kXorFilePass.begin() + 2, kXorFilePass.end()), "abc"));
  EXPECT_EQ(PasswordMessage(kXorFilePass, "abd"),
            "The workbook is password-protected and the password did not open it");
  EXPECT_EQ(PasswordMessage(kXorFilePass, ""),
            "The workbook is password-protected and the password did not open it");
}

TEST(Decryptor, Rc4KnownVector) {
  auto decryptor = Decryptor::Create(8, kRc4FilePass, "password");
  EXPECT_EQ(decryptor->GetMethod(), Decryptor::Method::kRc4);
  Bytes font = kRc4Font;
  decryptor->DecryptRecord(0x0031, font.data(), font.size(), 334);
  EXPECT_EQ(Ascii(font, 16, 2), "Calibri");
  Bytes sheet = kRc4BoundSheet;
  decryptor->DecryptRecord(0x0085, sheet.data(), sheet.size(), 12923);
  // The name: 5 UTF-16 characters, "\u041B\u0438\u0441\u04421".
  EXPECT_EQ(Bytes(sheet.begin() + 6, sheet.end()),
            (Bytes{5, 1, 0x1B, 0x04, 0x38, 0x04, 0x41, 0x04, 0x42, 0x04, 0x31, 0x00}));
  // Going back in the stream rekeys.
  font = kRc4Font;
  decryptor->Decrypt(font.data() + 10, font.size() - 10, 344);
  decryptor->Decrypt(font.data(), 10, 334);
  EXPECT_EQ(Ascii(font, 16, 2), "Calibri");
  EXPECT_EQ(PasswordMessage(kRc4FilePass, "Password"),
            "The workbook is password-protected and the password did not open it");
}

// ---- Encryption made here, from the documented key derivations (EncryptedWorkbook.h).

using testing::Scheme;

TEST(Decryptor, Rc4SchemesDecryptAnySplitOfTheStream) {
  Bytes plain(5000);
  std::mt19937 random(7);
  for (auto& b : plain) b = static_cast<uint8_t>(random());
  const Scheme schemes[] = {{false, 40}, {true, 40}, {true, 56}, {true, 128}};
  for (const Scheme& scheme : schemes) {
    SCOPED_TRACE(std::string(scheme.cryptoApi ? "CryptoAPI " : "RC4 ") +
                 std::to_string(scheme.keyBits));
    const Bytes filepass = scheme.FilePass("s3cret");
    auto decryptor = Decryptor::Create(8, filepass, "s3cret");
    EXPECT_EQ(decryptor->GetMethod(),
              scheme.cryptoApi ? Decryptor::Method::kRc4CryptoApi : Decryptor::Method::kRc4);
    // Pieces of random length in stream order, with gaps as left by record headers.
    Bytes data = scheme.Encrypt("s3cret", plain);
    for (size_t at = 0; at < data.size();) {
      const size_t n = std::min<size_t>(data.size() - at, random() % 2100);
      decryptor->Decrypt(data.data() + at, n, at);
      at += n + 4;
      if (at < data.size() + 4)
        std::copy_n(plain.begin() + at - 4, std::min<size_t>(4, data.size() - (at - 4)),
                    data.begin() + at - 4);
    }
    EXPECT_EQ(data, plain);
    EXPECT_EQ(PasswordMessage(filepass, "secret"),
              "The workbook is password-protected and the password did not open it");
    // A workbook encrypted with the default password opens whatever password is given.
    EXPECT_NO_THROW(Decryptor::Create(8, scheme.FilePass(kDefaultPassword), "anything"));
    ExpectPrefixesFailCleanly(filepass);
  }
}

TEST(Decryptor, DamagedOrUnknownRecordsAreReadErrors) {
  auto readError = [](const Bytes& filepass) -> std::string {
    try {
      Decryptor::Create(8, filepass, "x");
    } catch (const PasswordError& e) {
      return std::string("password error: ") + e.what();
    } catch (const ReadError& e) {
      return e.what();
    }
    return "opened";
  };
  EXPECT_EQ(readError({}), "Damaged workbook: the encryption record (FILEPASS) is too short");
  EXPECT_EQ(readError({2, 0, 0, 0}), "The workbook is encrypted with an unknown method (type 2)");
  EXPECT_EQ(readError({1, 0, 9, 0, 1, 0}),
            "The workbook is encrypted with an unknown method (RC4 version 9.1)");
  Bytes filepass = Scheme{true, 128}.FilePass("x");
  filepass[11] = 0xFF;  // header size beyond the record
  EXPECT_EQ(readError(filepass),
            "Damaged workbook: the encryption record (FILEPASS) has a header of a wrong size");
  filepass = Scheme{true, 128}.FilePass("x");
  filepass[30] = 44;  // key size
  EXPECT_EQ(readError(filepass),
            "Damaged workbook: the encryption record (FILEPASS) names a key size of 44 bits");
  ExpectPrefixesFailCleanly(kXorFilePass);
  ExpectPrefixesFailCleanly(kRc4FilePass);
}

TEST(Decryptor, RecordsInTheClear) {
  auto decryptor = Decryptor::Create(8, kRc4FilePass, "password");
  for (uint16_t type : {0x0809, 0x002F, 0x0194, 0x0195, 0x00E1, 0x0196, 0x0138}) {
    Bytes data(10, 0xAB);
    decryptor->DecryptRecord(type, data.data(), data.size(), 100);
    EXPECT_EQ(data, Bytes(10, 0xAB)) << type;
  }
  Bytes sheet(3, 0xAB);  // a BOUNDSHEET shorter than its sheet offset
  decryptor->DecryptRecord(0x0085, sheet.data(), sheet.size(), 100);
  EXPECT_EQ(sheet, Bytes(3, 0xAB));
}

// ---- The two encrypted workbooks of the corpus, end to end through the compound file.

struct Record {
  uint16_t type;
  size_t offset;  // of the payload
  Bytes payload;
};

// Reads the workbook stream of a file and decrypts every record after FILEPASS.
std::vector<Record> ReadDecrypted(const std::filesystem::path& path, const std::string& password) {
  std::ifstream in(path, std::ios::binary);
  const Bytes bytes((std::istreambuf_iterator<char>(in)), {});
  const Bytes stream = container::CompoundFile(bytes).ReadStream("Workbook");
  std::vector<Record> records;
  std::unique_ptr<Decryptor> decryptor;
  for (size_t at = 0; at + 4 <= stream.size();) {
    const uint16_t type = stream[at] | stream[at + 1] << 8;
    const size_t length =
        std::min<size_t>(stream[at + 2] | stream[at + 3] << 8, stream.size() - at - 4);
    Record record{type, at + 4, Bytes(stream.begin() + at + 4, stream.begin() + at + 4 + length)};
    if (decryptor) decryptor->DecryptRecord(type, record.payload.data(), length, record.offset);
    if (type == 0x002F) decryptor = Decryptor::Create(8, record.payload, password);
    records.push_back(std::move(record));
    at += 4 + length;
  }
  return records;
}

TEST(Decryptor, OpensTheEncryptedWorkbooksOfTheCorpus) {
  // Reads password.xls and xor-encryption-abc.xls of /work/shared/corpus when present.
  struct Case {
    const char* file;
    const char* password;
    const char* firstSheet;
  };
  for (const auto& [file, password, firstSheet] :
       {Case{"password.xls", "password", "\u041B\u0438\u0441\u04421"},
        Case{"xor-encryption-abc.xls", "abc", "Sheet1"}}) {
    SCOPED_TRACE(file);
    if (!std::filesystem::exists(std::filesystem::path(QUILLANE_CORPUS_DIR) / file)) {
      GTEST_SKIP() << file << " not found in the corpus at " << QUILLANE_CORPUS_DIR;
    }
    const std::filesystem::path path = std::filesystem::path(QUILLANE_CORPUS_DIR) / file;
    const std::vector<Record> records = ReadDecrypted(path, password);
    std::vector<std::string> sheets;
    int eofs = 0;
    for (const Record& r : records) {
      if (r.type == 0x0085) {
        // BOUNDSHEET: offset of the sheet's BOF (in the clear), flags, name length, 8-bit name.
        const uint32_t bof =
            r.payload[0] | r.payload[1] << 8 | r.payload[2] << 16 | r.payload[3] << 24;
        EXPECT_TRUE(std::any_of(records.begin(), records.end(), [&](const Record& b) {
          return b.type == 0x0809 && b.offset == bof + 4;
        }));
        const bool wide = r.payload[7] & 1;
        std::string name;
        for (size_t i = 0; i < r.payload[6]; ++i) {
          const uint32_t c =
              wide ? r.payload[8 + 2 * i] | r.payload[9 + 2 * i] << 8 : r.payload[8 + i];
          if (c < 0x80) {
            name += static_cast<char>(c);
          } else {  // the names here need no more than two bytes of UTF-8
            name += static_cast<char>(0xC0 | (c >> 6));
            name += static_cast<char>(0x80 | (c & 0x3F));
          }
        }
        sheets.push_back(name);
      }
      if (r.type == 0x000A) ++eofs;
    }
    EXPECT_FALSE(sheets.empty());
    EXPECT_EQ(sheets[0], firstSheet);
    EXPECT_EQ(eofs, static_cast<int>(sheets.size()) + 1);  // workbook globals and each sheet
    EXPECT_THROW(ReadDecrypted(path, "wrong"), PasswordError);
  }
}

TEST(Decryptor, StoredFiles) {
  // tests/data/crypto: workbooks encrypted by MakeTestData.cpp (RC4, RC4 CryptoAPI with 40- and
  // 128-bit keys; A1 holds "Quillane"), and inputs that once broke decryption.
  const std::filesystem::path folder =
      std::filesystem::path(QUILLANE_SOURCE_DIR) / "tests/data/crypto";
  int made = 0;
  for (const auto& item : std::filesystem::directory_iterator(folder)) {
    SCOPED_TRACE(item.path().string());
    const std::string name = item.path().filename().string();
    if (!name.starts_with("cryptoapi-") && !name.starts_with("rc4-")) {
      try {
        ReadDecrypted(item.path(), "password");
      } catch (const ReadError&) {
      } catch (const container::ContainerError&) {
      }
      continue;
    }
    const std::vector<Record> records = ReadDecrypted(item.path(), "password");
    const auto label = std::find_if(records.begin(), records.end(),
                                    [](const Record& r) { return r.type == 0x0204; });
    ASSERT_NE(label, records.end());
    EXPECT_EQ(Ascii(label->payload, 9), "Quillane");
    EXPECT_EQ(
        name.starts_with("cryptoapi-") ? Decryptor::Method::kRc4CryptoApi : Decryptor::Method::kRc4,
        Decryptor::Create(8, records[1].payload, "password")->GetMethod());
    if (!name.ends_with("-default.xls")) {
      EXPECT_THROW(ReadDecrypted(item.path(), "wrong"), PasswordError);
    }
    ++made;
  }
  EXPECT_EQ(made, 3);
}

}  // namespace
}  // namespace quillane::biff
