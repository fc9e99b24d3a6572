// The bounds of a page: small workbooks with extreme positions and formatted ranges, read and
// published. The work of a page (counted by the renderer) and its size grow with the cells and
// the formats that show, never with the rectangle around them; positions past the grid of the
// format are left out; a page past its limit is a clear error.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "spreadsheet/biff/WorkbookReader.h"
#include "spreadsheet/model/Limits.h"
#include "spreadsheet/publish/PagePublisher.h"
#include "tests/spreadsheet/biff/RecordWriter.h"

using namespace quillane;
using namespace quillane::biff::test;

namespace {

constexpr uint16_t kFilled = 1, kBoxed = 2, kCentred = 3;

// Styles 0 plain, 1 filled, 2 with borders, 3 centred (a format that shows nothing when empty).
void Styles(Stream& s) {
  auto xf = [&](uint8_t align, uint32_t lines, uint32_t fill, uint16_t colours) {
    s.Record(
        0x00E0,
        Data().U16(0).U16(0).U16(0).U8(align).U8(0).U8(0).U8(0).U32(lines).U32(fill).U16(colours));
  };
  xf(0x20, 0, 0, 0x20C0);
  xf(0x20, 0, 1u << 26, 0x20C0 | 13);
  xf(0x20, 0x1111, 0, 0x20C0);
  xf(0x22, 0, 0, 0x20C0);
}

struct Result {
  model::Workbook book;
  publish::Page page;
};

// Pages are limited to 4 MB here, so that pages past the limit fail fast.
constexpr size_t kPageLimit = size_t{4} << 20;

Result Publish(const std::function<void(Stream&)>& sheet) {
  Result r{biff::ReadWorkbook(Book8(Styles, sheet), ""), {}};
  r.page = publish::RenderSheet(r.book, 0, "b_1.files", "b_1.htm", kPageLimit);
  return r;
}

Data Number(uint32_t row, uint32_t col) {
  return Data().U16(static_cast<uint16_t>(row)).U16(static_cast<uint16_t>(col)).U16(0).Double(1);
}
Data ColumnFormat(uint32_t first, uint32_t last, uint16_t xf) {
  return Data()
      .U16(static_cast<uint16_t>(first))
      .U16(static_cast<uint16_t>(last))
      .U16(2560)
      .U16(xf)
      .U16(0)
      .U16(0);
}

size_t Count(const std::string& s, const std::string& what) {
  size_t n = 0;
  for (size_t p = s.find(what); p != std::string::npos; p = s.find(what, p + 1)) ++n;
  return n;
}

}  // namespace

TEST(PageBounds, ExtremePositionsCostWhatShows) {
  // One cell at the last row and column of the grid: the empty rows before it are one row as
  // high as all of them, the empty columns one column as wide, and none of them is walked.
  Result last = Publish([](Stream& t) { t.Record(0x0203, Number(65535, 255)); });
  EXPECT_EQ(Count(last.page.html, "<tr "), 2u);
  EXPECT_EQ(Count(last.page.html, "<col "), 2u);
  EXPECT_NE(last.page.html.find("<tr style=\"height:" + std::to_string(65535 * 17) + "px\">"),
            std::string::npos);
  EXPECT_NE(last.page.html.find("<col style=\"width:" + std::to_string(255 * 64) + "px\">"),
            std::string::npos);
  EXPECT_LE(last.page.html.size(), 4096u);
  EXPECT_LE(last.page.work, 4u * 256);

  // Past the grid (the format has 256 columns): damage, left out.
  Result past = Publish([](Stream& t) { t.Record(0x0203, Number(65535, 65535)); });
  EXPECT_TRUE(past.book.sheets[0].cells.empty());
  EXPECT_EQ(past.page.html.find("<table"), std::string::npos);

  // A filled first column and a cell far away: each row is walked up to the filled column only.
  Result first = Publish([](Stream& t) {
    t.Record(0x007D, ColumnFormat(0, 0, kFilled));
    t.Record(0x007D, ColumnFormat(1, 65535, kCentred));
    t.Record(0x0203, Number(65535, 255));
  });
  EXPECT_EQ(Count(first.page.html, "<td class="), 65536u + 1);  // and the number's
  EXPECT_LE(first.page.work, 4u * 65536 + 4 * 256);

  // Filled column formats over every column and a cell at row 128: 128 rows of filled cells.
  Result wide = Publish([](Stream& t) {
    t.Record(0x007D, ColumnFormat(0, 65535, kFilled));
    t.Record(0x0203, Number(127, 255));
  });
  EXPECT_EQ(Count(wide.page.html, "<td class="), 128u * 256);
  EXPECT_LE(wide.page.html.size(), 128u * 256 * 21 + 128 * 40 + 16384);

  // Every column filled, down to row 32768: where formats fill that much of the rectangle, each
  // run of one format is one cell.
  Result filled = Publish([](Stream& t) {
    t.Record(0x007D, ColumnFormat(0, 255, kFilled));
    t.Record(0x0203, Number(32767, 255));
  });
  EXPECT_EQ(Count(filled.page.html, "<td class="), 32767u + 2);  // the last row: run and number
  EXPECT_EQ(Count(filled.page.html, " colspan=\"256\""), 32767u);
  EXPECT_LE(filled.page.html.size(), 64u * 32768 + 16384);
  EXPECT_LE(filled.page.work, 4u * 32768 + 4 * 256);

  // Filled and plain columns in turn down to the last row: the page would pass its limit.
  try {
    Publish([](Stream& t) {
      for (uint32_t c = 0; c < 256; c += 2) t.Record(0x007D, ColumnFormat(c, c, kFilled));
      t.Record(0x0203, Number(65535, 255));
    });
    ADD_FAILURE() << "a page past its limit was written";
  } catch (const publish::PublishError& e) {
    EXPECT_STREQ(
        e.what(),
        "The page of sheet \"Data\" is too large: more than 4 MB, the most a page may have");
  }
}

// Random small workbooks of extreme positions, column and row formats, formatted blank ranges
// and merged ranges: the page stays inside the grid, its size grows with the rows and with what
// shows in them, and its work with its size and its cells.
TEST(PageBounds, RandomExtremeWorkbooksStayWithinTheirBounds) {
  std::mt19937 random(8);
  const uint32_t rows[] = {0, 1, 2, 1023, 16383, 16384, 40000, 65534, 65535};
  const uint32_t cols[] = {0, 1, 2, 100, 254, 255, 256, 65535};
  auto row = [&] { return rows[random() % std::size(rows)]; };
  auto col = [&] { return cols[random() % std::size(cols)]; };
  int published = 0;
  for (int round = 0; round < 40; ++round) {
    uint64_t mergeArea = 0, styledRows = 0;
    bool filledColumns = false;
    auto sheet = [&](Stream& t) {
      for (uint32_t k = random() % 3; k > 0; --k) {
        uint32_t a = col(), b = col();
        const uint16_t xf = static_cast<uint16_t>(random() % 4);
        filledColumns = filledColumns || xf == kFilled || xf == kBoxed;
        t.Record(0x007D, ColumnFormat(std::min(a, b), std::max(a, b), xf));
      }
      for (uint32_t k = random() % 3; k > 0; --k) {
        const uint16_t xf = static_cast<uint16_t>(random() % 4);
        styledRows += xf == kFilled || xf == kBoxed;
        t.Record(0x0208, Data()
                             .U16(static_cast<uint16_t>(row()))
                             .U16(0)
                             .U16(256)
                             .U16(300)
                             .U32(0)
                             .U16(0x0180)
                             .U16(xf));
      }
      for (uint32_t k = 1 + random() % 4; k > 0; --k) t.Record(0x0203, Number(row(), col()));
      if (random() % 2) {  // a formatted blank range
        const uint32_t first = random() % 2 ? 0 : 200;
        Data blanks = Data().U16(static_cast<uint16_t>(row())).U16(static_cast<uint16_t>(first));
        for (uint32_t c = first; c < 256; ++c) blanks.U16(kBoxed);
        t.Record(0x00BE, blanks.U16(255));
      }
      if (random() % 2) {
        uint32_t r1 = row(), r2 = row(), c1 = col(), c2 = col();
        if (r1 > r2) std::swap(r1, r2);
        if (c1 > c2) std::swap(c1, c2);
        mergeArea +=
            uint64_t{std::min(r2, 65535u) - r1 + 1} * (std::min(c2, 255u) - std::min(c1, 255u) + 1);
        t.Record(0x00E5, Data()
                             .U16(1)
                             .U16(static_cast<uint16_t>(r1))
                             .U16(static_cast<uint16_t>(r2))
                             .U16(static_cast<uint16_t>(c1))
                             .U16(static_cast<uint16_t>(c2)));
      }
    };
    Result r;
    try {
      r = Publish(sheet);
    } catch (const publish::PublishError& e) {
      EXPECT_NE(std::string(e.what()).find("is too large"), std::string::npos) << e.what();
      EXPECT_TRUE(filledColumns || styledRows > 0) << "round " << round;
      continue;
    }
    ++published;
    const std::string& html = r.page.html;
    const uint64_t tableRows = Count(html, "<tr ");
    const uint64_t cells = r.book.sheets[0].cells.size();
    EXPECT_LE(tableRows, 65536u);
    EXPECT_LE(Count(html, "<col "), 256u);
    uint64_t sizeBound = 16384 + 48 * tableRows + 2400 * cells + 24 * 256 * styledRows;
    if (filledColumns) sizeBound += 24 * 256 * tableRows;
    EXPECT_LE(html.size(), sizeBound) << "round " << round;
    EXPECT_LE(r.page.work, 3 * tableRows + html.size() + 1100 * (cells + 2) + 2 * mergeArea)
        << "round " << round;
  }
  EXPECT_GT(published, 20);
}
