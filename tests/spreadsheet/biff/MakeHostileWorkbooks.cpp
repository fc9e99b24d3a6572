// Writes the small hostile workbooks the bounds of the reader and the page were measured with:
//   make_hostile_workbooks <folder>
// far-cell.xls           one cell at row 65536, column 65536 (the format has 256 columns)
// last-cell.xls          one cell at row 65536, column 256: the last of the grid
// wide-formats-grid.xls  as wide-formats.xls with the cell in column 256
// wide-formats.xls       a filled column format over columns 1..65536, a cell at row 1024 of the
// last filled-columns.xls     a filled column format over all 256 columns, a cell at the last row
// and column pictures.xls           120 deflated metafiles each claiming 1 GB, damaged after 15 MB
// of output small.xls              a small valid workbook (truncate it to 3 GB for the sparse-file
// measure)
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "tests/spreadsheet/biff/RecordWriter.h"
#include "tests/spreadsheet/container/CompoundFileWriter.h"

namespace {

using namespace quillane::biff::test;

void Write(const std::filesystem::path& path, const std::vector<uint8_t>& stream) {
  const auto layout = quillane::container::testing::WriteCompoundFile({{"Workbook", stream}});
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(layout.bytes.data()),
            static_cast<std::streamsize>(layout.bytes.size()));
  std::printf("%s\n", path.c_str());
}

// Style 0 plain, style 1 filled yellow.
void Styles(Stream& s) {
  s.Record(0x00E0,
           Data().U16(0).U16(0).U16(0).U8(0x20).U8(0).U8(0).U8(0).U32(0).U32(0).U16(0x20C0));
  s.Record(0x00E0, Data().U16(0).U16(0).U16(0).U8(0x20).U8(0).U8(0).U8(0).U32(0).U32(1u << 26).U16(
                       0x20C0 | 0x0D));
}

Data Number(uint16_t row, uint16_t col, double v) {
  return Data().U16(row).U16(col).U16(0).Double(v);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_hostile_workbooks <folder>\n");
    return 2;
  }
  const std::filesystem::path dir = argv[1];
  std::filesystem::create_directories(dir);
  Write(dir / "far-cell.xls",
        Book8(Styles, [](Stream& t) { t.Record(0x0203, Number(65535, 65535, 1)); }));
  Write(dir / "wide-formats.xls", Book8(Styles, [](Stream& t) {
          t.Record(0x007D, Data().U16(0).U16(65535).U16(2560).U16(1).U16(0).U16(0));
          t.Record(0x0203, Number(1023, 65535, 1));
        }));
  Write(dir / "last-cell.xls",
        Book8(Styles, [](Stream& t) { t.Record(0x0203, Number(65535, 255, 1)); }));
  Write(dir / "wide-formats-grid.xls", Book8(Styles, [](Stream& t) {
          t.Record(0x007D, Data().U16(0).U16(65535).U16(2560).U16(1).U16(0).U16(0));
          t.Record(0x0203, Number(1023, 255, 1));
        }));
  Write(dir / "filled-columns.xls", Book8(Styles, [](Stream& t) {
          t.Record(0x007D, Data().U16(0).U16(255).U16(2560).U16(1).U16(0).U16(0));
          t.Record(0x0203, Number(65535, 255, 1));
        }));
  const std::vector<uint8_t> store = MetafileStore(120, 1u << 30, RunawayDeflate(60000));
  Write(dir / "pictures.xls", Book8(
                                  [&](Stream& g) {
                                    Styles(g);
                                    ContinuedRecord(g, 0x00EB, store);
                                  },
                                  [](Stream& t) { t.Record(0x0203, Number(0, 0, 1)); }));
  Write(dir / "small.xls", Book8(Styles, [](Stream& t) {
          for (uint16_t r = 0; r < 20; ++r) t.Record(0x0203, Number(r, r % 5, r));
        }));
  return 0;
}
