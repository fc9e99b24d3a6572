#include <gtest/gtest.h>

#include "CompoundFileWriter.h"
#include "spreadsheet/container/CompoundFile.h"
#include "spreadsheet/container/Detect.h"

using namespace quillane::container;

namespace {

std::vector<uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

}  // namespace

TEST(Detect, EachFormatFromItsBytesAlone) {
  EXPECT_EQ(DetectFormat(Bytes("PK\x03\x04 and the rest")), InputFormat::ZipPackage);
  EXPECT_EQ(DetectFormat(Bytes("\xEF\xBB\xBF\n <?XML version=\"1.0\"?><office:document/>")),
            InputFormat::FlatXml);
  EXPECT_EQ(DetectFormat(std::vector<uint8_t>{0x09, 0x02, 0x06, 0x00, 0x00, 0x00, 0x10, 0x00}),
            InputFormat::BiffStream);
  EXPECT_EQ(DetectFormat(std::vector<uint8_t>{0x09, 0x02, 0x40, 0x00, 0x00, 0x00, 0x10, 0x00}),
            InputFormat::Other);
  EXPECT_EQ(DetectFormat(Bytes("%PDF-1.7")), InputFormat::Other);
  EXPECT_EQ(NotAWorkbook(Bytes("%PDF-1.7")), "Not a workbook: the file is a PDF document");

  const auto package = quillane::container::testing::WriteCompoundFile(
      {{"EncryptionInfo", std::vector<uint8_t>(200, 1)}, {"EncryptedPackage", {1, 2, 3}}});
  EXPECT_EQ(DetectFormat(package.bytes), InputFormat::CompoundFile);
  EXPECT_EQ(ContentOf(CompoundFile(package.bytes)), CompoundContent::EncryptedPackage);
  const auto both =
      quillane::container::testing::WriteCompoundFile({{"Book", {1}}, {"WordDocument", {2}}});
  EXPECT_EQ(ContentOf(CompoundFile(both.bytes)), CompoundContent::BiffBook);
}
