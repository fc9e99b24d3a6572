#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "CompactReference.h"
#include "TempFolder.h"
#include "convert/CompactHtml.h"

namespace fs = std::filesystem;
using quillane::convert::CompactHtml;
using quillane::convert::CompactHtmlText;
using quillane::testing::ReadFile;
using quillane::testing::ReferenceCompact;
using quillane::testing::TempFolder;

namespace {

std::string Compact(std::string text) {
  CompactHtmlText(text);
  return text;
}

// Pieces from which random pages are made: whole markers, their halves (so that cuts can join
// two halves into a new marker), replacement texts and their parts, and plain text.
std::vector<std::string> Pieces() {
  std::vector<std::string> whole = {"<meta name=\"Excel",
                                    "<meta name=ProgId",
                                    "<meta name=Generator",
                                    "<link rel=Edit-Time-Data",
                                    "<link rel=OLE-Object-Data",
                                    "<!--[if gte mso 9]>",
                                    "<!--[if gte vml 1]>",
                                    "<!--[if !mso]>",
                                    "<![if supportMisalignedColumns]>",
                                    "<![endif]-->",
                                    "<![endif]>",
                                    ">",
                                    " style='border-top:none;border-left:none'",
                                    " style='mso-ignore:colspan'",
                                    " style='style='border-left:none'",
                                    ";border-top:none",
                                    "mso-height-source:userset;",
                                    "xmlns:o=\"urn:schemas-microsoft-com:office:office\"",
                                    "xmlns:x=\"urn:schemas-microsoft-com:office:excel\"",
                                    "xmlns=\"http://www.w3.org/TR/REC-html40\"",
                                    "<table ",
                                    "\r\n",
                                    "\r\n\r\n"};
  std::vector<std::string> pieces = whole;
  for (const std::string& w : whole) {
    for (size_t cut = 1; cut < w.size(); cut += 1 + w.size() / 4) {
      pieces.push_back(w.substr(0, cut));
      pieces.push_back(w.substr(cut));
    }
  }
  for (const char* plain : {" ", "  ", "   ", "a", "<td>", "</table>", "x y", "\r", "\n", "<",
                            "&nbsp;", "\"", "'", "<!--", "-->", "style='"}) {
    pieces.push_back(plain);
  }
  return pieces;
}

}  // namespace

TEST(CompactHtml, SameBytesAsThePlainAlgorithmOnGeneratedPages) {
  const std::vector<std::string> pieces = Pieces();
  std::mt19937 random(20261206);
  std::uniform_int_distribution<size_t> pick(0, pieces.size() - 1);
  std::uniform_int_distribution<int> length(0, 80);
  for (int round = 0; round < 20000; ++round) {
    std::string page;
    for (int n = length(random); n > 0; --n) page += pieces[pick(random)];
    ASSERT_EQ(Compact(page), ReferenceCompact(page)) << "page: " << page;
  }
}

TEST(CompactHtml, BlocksAreCutWithTheirContents) {
  EXPECT_EQ(Compact("a<meta name=ProgId content=Excel.Sheet>b"), "ab");
  EXPECT_EQ(Compact("<meta name=\"Excel Workbook Frameset\">x"), "x");
  EXPECT_EQ(Compact("1<!--[if gte mso 9]><xml>...</xml><![endif]-->2"), "12");
  // Two blocks in a row both go; a block ends at its first end marker.
  EXPECT_EQ(Compact("<!--[if !mso]>a<![endif]--><!--[if !mso]>b<![endif]-->c"), "c");
  EXPECT_EQ(Compact("<!--[if gte mso 9]>a<![endif]-->b<![endif]-->"), "b<![endif]-->");
  // A start marker without an end after it stays, and the later steps still apply.
  EXPECT_EQ(Compact("<!--[if gte vml 1]>  x<table a>"),
            "<!--[if gte vml 1]>x<table style='border-collapse:collapse' a>");
  // Other letter case is not a marker.
  EXPECT_EQ(Compact("<META NAME=ProgId>"), "<META NAME=ProgId>");
  // A cut that joins two halves into a new marker cuts that one too.
  EXPECT_EQ(Compact("<meta name=<meta name=ProgId x>ProgId y>z"), "z");
}

TEST(CompactHtml, BlanksLineBreaksAndTables) {
  EXPECT_EQ(Compact("a  b"), "ab");
  EXPECT_EQ(Compact("a    b"), "a b");
  EXPECT_EQ(Compact("a     b"), "ab");
  EXPECT_EQ(Compact("a\r\n\r\n\r\nb"), "a\r\nb");
  EXPECT_EQ(Compact("a\r\n\r\n\r\n\r\nb"), "a\r\nb");
  EXPECT_EQ(Compact("a\r\n\r\n\r\n\r\n\r\nb"), "a\r\n\r\nb");
  EXPECT_EQ(Compact("<table style='x'>"), "<table style='border-collapse:collapse' style='x'>");
  EXPECT_EQ(Compact("<td style='mso-height-source:userset;height:12pt;border-top:none'>"),
            "<td style='height:12pt'>");
  EXPECT_EQ(Compact("<html xmlns:o=\"urn:schemas-microsoft-com:office:office\">"), "<html >");
  EXPECT_EQ(Compact(""), "");
  // Bytes are bytes: nothing outside the markers changes, whatever the encoding.
  std::string binary("\xff\xfe\0\x80 x", 6);
  EXPECT_EQ(Compact(binary), binary);
}

TEST(CompactHtml, RewritesTheFileInPlace) {
  TempFolder temp;
  std::string page = temp.Write("book_1.htm", "<meta name=Generator content=x><table border=1>");
  CompactHtml(page);
  EXPECT_EQ(ReadFile(page), "<table style='border-collapse:collapse' border=1>");
  size_t entries = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(temp.path())) ++entries;
  EXPECT_EQ(entries, 1u);  // no temporary file left behind
}

// (How a failed write leaves the page whole is the atomic file's own test.)
TEST(CompactHtml, UnreadablePagesThrow) {
  TempFolder temp;
  EXPECT_THROW(CompactHtml(temp / "missing.htm"), std::runtime_error);
  EXPECT_FALSE(fs::exists(temp / "missing.htm"));
  EXPECT_THROW(CompactHtml(temp.str()), std::runtime_error);  // a folder
}
