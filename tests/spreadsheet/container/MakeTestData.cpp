// Writes the small files of tests/data/container and tests/data/crypto:
//   make_container_test_data <repository>/tests/data
// Compound files with 512- and 4096-byte sectors holding a small workbook and some small streams
// (they also seed the fuzz targets when the corpus of real workbooks is absent), and workbooks
// encrypted with RC4 and RC4 CryptoAPI.
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "tests/spreadsheet/container/CompoundFileWriter.h"
#include "tests/spreadsheet/container/EncryptedWorkbook.h"

namespace {

using namespace quillane;
using quillane::testing::Bytes;
using quillane::testing::Scheme;

void Write(const std::filesystem::path& path, const Bytes& workbook, uint32_t shift = 9) {
  std::filesystem::create_directories(path.parent_path());
  const Bytes summary(200, 0x11);
  const auto layout = container::testing::WriteCompoundFile(
      {{"Workbook", workbook}, {"\x05SummaryInformation", summary}}, shift);
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(layout.bytes.data()),
            static_cast<std::streamsize>(layout.bytes.size()));
  std::printf("%s\n", path.string().c_str());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_container_test_data <repository>/tests/data\n");
    return 2;
  }
  const std::filesystem::path data = argv[1];
  const Bytes plain = quillane::testing::WorkbookStream(nullptr, "", "Sheet1", "Quillane");
  Write(data / "container/streams-512.xls", plain, 9);
  Write(data / "container/streams-4096.xls", plain, 12);
  const Scheme cryptoApi128{true, 128}, cryptoApi40{true, 40}, rc4{false, 40};
  Write(data / "crypto/cryptoapi-128-password.xls",
        quillane::testing::WorkbookStream(&cryptoApi128, "password", "Sheet1", "Quillane"));
  Write(data / "crypto/cryptoapi-40-default.xls",
        quillane::testing::WorkbookStream(&cryptoApi40, "VelvetSweatshop", "Sheet1", "Quillane"));
  Write(data / "crypto/rc4-password.xls",
        quillane::testing::WorkbookStream(&rc4, "password", "Sheet1", "Quillane"));
  return 0;
}
