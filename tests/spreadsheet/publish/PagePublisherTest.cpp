#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "spreadsheet/publish/PageFiles.h"
#include "spreadsheet/publish/PagePublisher.h"

using namespace quillane;
using namespace quillane::model;
using quillane::publish::RenderSheet;

namespace {

// A workbook with one sheet, the default font and two styles: 0 plain, 1 spare for a test.
struct Book {
  Workbook book;
  Sheet& sheet;

  Book() : sheet(Init(book)) {}

  static Sheet& Init(Workbook& b) {
    b.fonts.push_back(Font{});
    b.styles.resize(2);
    b.sheets.reserve(4);  // tests add sheets; `sheet` must stay valid
    b.sheets.emplace_back();
    b.sheets[0].name = "Data";
    return b.sheets[0];
  }

  uint16_t AddStyle(CellStyle s) {
    book.styles.push_back(s);
    return static_cast<uint16_t>(book.styles.size() - 1);
  }
  uint16_t AddFont(Font f) {
    book.fonts.push_back(std::move(f));
    return static_cast<uint16_t>(book.fonts.size() - 1);
  }
  Cell& Text(uint32_t r, uint16_t c, std::string s, uint16_t style = 0) {
    Cell cell;
    cell.row = r;
    cell.col = c;
    cell.type = CellType::String;
    cell.text = book.AddString(std::move(s));
    cell.style = style;
    sheet.cells.push_back(cell);
    return sheet.cells.back();
  }
  Cell& Number(uint32_t r, uint16_t c, double v, uint16_t style = 0) {
    Cell cell;
    cell.row = r;
    cell.col = c;
    cell.type = CellType::Number;
    cell.number = v;
    cell.style = style;
    sheet.cells.push_back(cell);
    return sheet.cells.back();
  }
  Cell& Blank(uint32_t r, uint16_t c, uint16_t style) {
    Cell cell;
    cell.row = r;
    cell.col = c;
    cell.style = style;
    sheet.cells.push_back(cell);
    return sheet.cells.back();
  }
  std::string Html() {
    sheet.Normalize();
    return RenderSheet(book, 0, "book_1.files", "book_1.htm").html;
  }
};

int Count(const std::string& s, const std::string& what) {
  int n = 0;
  for (size_t p = s.find(what); p != std::string::npos; p = s.find(what, p + 1)) ++n;
  return n;
}

// The table rows of a page, each as its text between <tr ...> and </tr>.
std::vector<std::string> Rows(const std::string& html) {
  std::vector<std::string> rows;
  std::regex tr("<tr[^>]*>(.*?)</tr>");
  for (auto it = std::sregex_iterator(html.begin(), html.end(), tr); it != std::sregex_iterator();
       ++it) {
    rows.push_back((*it)[1]);
  }
  return rows;
}

// The rule of a class used by the first <td> whose text contains `text`.
std::string RuleOf(const std::string& html, const std::string& text) {
  size_t at = html.find(">" + text + "<");
  if (at == std::string::npos) return "(text not found)";
  size_t td = html.rfind("<td", at);
  std::smatch m;
  std::string tag = html.substr(td, at - td);
  if (!std::regex_search(tag, m, std::regex("class=\"(c\\d+)\""))) return "";
  size_t rule = html.find("." + m[1].str() + "{");
  return html.substr(rule, html.find('}', rule) - rule + 1);
}

}  // namespace

TEST(PagePublisher, PageSkeletonTitleAndEscaping) {
  Book b;
  b.sheet.name = "Q1 <draft> & \"final\"";
  b.Text(0, 0, "<script>alert(1)</script>");
  b.Text(1, 0, "a  b   c");
  const std::string html = b.Html();
  EXPECT_EQ(html.rfind("<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">", 0), 0u);
  EXPECT_NE(html.find("<title>Q1 &lt;draft&gt; &amp; &quot;final&quot;</title>"),
            std::string::npos);
  EXPECT_EQ(html.find("<script"), std::string::npos);
  EXPECT_NE(html.find("&lt;script&gt;alert(1)&lt;/script&gt;"), std::string::npos);
  EXPECT_NE(html.find("a&nbsp; b&nbsp;&nbsp; c"), std::string::npos);
  // Nothing in the page may hold two blanks in a row (the compaction would cut them), and the
  // table must take the compaction's style attribute without getting a second one.
  EXPECT_EQ(html.find("  "), std::string::npos);
  EXPECT_EQ(Count(html, "<table "), 1);
  const size_t table = html.find("<table ");
  EXPECT_EQ(html.substr(table, html.find('>', table) - table).find("style"), std::string::npos);
  EXPECT_EQ(html.find("\r"), std::string::npos);
}

TEST(PagePublisher, ColumnWidthsRowHeightsAndHiddenRowsAndColumns) {
  Book b;
  b.sheet.columns.push_back(ColumnInfo{0, 0, 2340, 0, false, 0});  // 64 px
  b.sheet.columns.push_back(ColumnInfo{1, 1, 2340, 0, true, 0});   // hidden
  b.sheet.columns.push_back(ColumnInfo{2, 2, 5000, 0, false, 0});  // 137 px
  b.sheet.rows[1] = RowInfo{600, false, true, false, 0};           // 40 px
  b.sheet.rows[2] = RowInfo{255, true, false, false, 0};           // hidden
  b.sheet.rows[3] = RowInfo{0, false, false, false, 0};            // fitted: default height
  b.sheet.rows[4] = RowInfo{0, false, true, false, 0};             // zero by hand: hidden
  b.Text(4, 0, "A5-zero");
  b.Text(0, 0, "A1");
  b.Text(0, 1, "B1-hidden");
  b.Text(0, 2, "C1");
  b.Text(2, 0, "A3-hidden");
  b.Text(3, 0, "A4");
  const std::string html = b.Html();
  EXPECT_NE(html.find("<colgroup><col style=\"width:64px\"><col style=\"width:137px\"></colgroup>"),
            std::string::npos);
  EXPECT_NE(html.find("width:201px"), std::string::npos);
  EXPECT_EQ(html.find("hidden<"), std::string::npos);
  const auto rows = Rows(html);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_NE(html.find("<tr style=\"height:17px\"><td>A1</td><td>C1</td></tr>"), std::string::npos);
  EXPECT_NE(html.find("<tr style=\"height:40px\"><td></td></tr>"), std::string::npos);
  EXPECT_NE(html.find("<tr style=\"height:17px\"><td>A4</td></tr>"), std::string::npos);
}

TEST(PagePublisher, ExtentEndsAtLastContentOrVisibleFormat) {
  Book b;
  CellStyle plain;
  plain.font = 0;
  plain.hAlign = HAlign::Center;  // a format that shows nothing on an empty cell
  const uint16_t invisible = b.AddStyle(plain);
  CellStyle filled;
  filled.pattern = 1;
  filled.patternColor = b.book.IndexedColor(13);  // yellow
  const uint16_t fill = b.AddStyle(filled);
  b.Number(0, 0, 1);
  b.Blank(5, 6, invisible);  // beyond the extent: left out
  b.Blank(3, 2, fill);       // a visible format: inside
  const std::string html = b.Html();
  // Rows 2 and 3 show nothing: one row as high as both.
  EXPECT_EQ(Rows(html).size(), 3u);
  EXPECT_NE(html.find("<tr style=\"height:34px\"><td></td></tr>"), std::string::npos);
  EXPECT_EQ(Count(html, "<col "), 3);
  EXPECT_NE(html.find("background:#ffff00"), std::string::npos);

  // Empty positions take the row's style, else the column's; they do not extend the page.
  CellStyle blue;
  blue.pattern = 1;
  blue.patternColor = b.book.IndexedColor(12);
  const uint16_t rowFill = b.AddStyle(blue);
  b.sheet.rows[1] = RowInfo{255, false, false, true, rowFill};
  b.sheet.columns.push_back(ColumnInfo{1, 1, 2340, fill, false, 0});
  const std::string styled = b.Html();
  const auto styledRows = Rows(styled);
  ASSERT_EQ(styledRows.size(), 4u);
  EXPECT_EQ(Count(styledRows[1], "<td class="), 3);
  EXPECT_EQ(Count(styledRows[2], "<td class="), 1);
  EXPECT_NE(styled.find("background:#0000ff"), std::string::npos);

  Book empty;
  const std::string none = empty.Html();
  EXPECT_EQ(none.find("<table"), std::string::npos);
  EXPECT_NE(none.find("</html>"), std::string::npos);
}

TEST(PagePublisher, GeneralAlignmentNumberFormatColourAndLooks) {
  Book b;
  Font bold;
  bold.name = "Times New Roman";
  bold.family = 1;
  bold.height = 240;
  bold.weight = 700;
  bold.italic = true;
  bold.strike = true;
  bold.underline = Underline::Double;
  bold.color = b.book.IndexedColor(10);  // red
  CellStyle s;
  s.font = b.AddFont(bold);
  s.top.style = 2;
  s.bottom.style = 6;
  s.bottom.color = b.book.IndexedColor(12);
  s.left.style = 4;
  s.right.style = 7;
  s.vAlign = VAlign::Top;
  s.wrap = true;
  s.pattern = 2;  // 50% grey of black on white
  const uint16_t looks = b.AddStyle(s);
  b.Number(0, 0, 42);
  b.Text(0, 1, "left");
  Cell& t = b.Text(0, 2, "x");
  t.type = CellType::Boolean;
  t.code = 1;
  Cell& e = b.Text(0, 3, "x");
  e.type = CellType::Error;
  e.code = 0x07;
  b.Text(1, 0, "styled", looks);
  const std::string html = b.Html();
  EXPECT_NE(RuleOf(html, "42").find("text-align:right"), std::string::npos);
  EXPECT_EQ(RuleOf(html, "left"), "");
  EXPECT_NE(RuleOf(html, "TRUE").find("text-align:center"), std::string::npos);
  EXPECT_NE(RuleOf(html, "#DIV/0!").find("text-align:center"), std::string::npos);
  const std::string rule = RuleOf(html, "styled");
  for (const char* part :
       {"font-family:'Times New Roman',serif", "font-size:12pt", "font-weight:bold",
        "font-style:italic", "text-decoration:underline line-through double", "color:#ff0000",
        "background:#808080", "border-top:2px solid #000000", "border-bottom:3px double #0000ff",
        "border-left:1px dotted", "border-right:1px dotted", "vertical-align:top",
        "white-space:normal"}) {
    EXPECT_NE(rule.find(part), std::string::npos) << part << " in " << rule;
  }
  // The colour a number format chooses; rotation and indent.
  CellStyle red;
  red.numberFormat = "0.00;[Red]-0.00";
  const uint16_t redFormat = b.AddStyle(red);
  b.Number(3, 0, -1.5, redFormat);
  b.Number(3, 1, 2.5, redFormat);
  CellStyle turned;
  turned.rotation = 45;
  turned.indent = 2;
  turned.hAlign = HAlign::Left;
  b.Text(4, 0, "turned", b.AddStyle(turned));
  CellStyle fillAlign;
  fillAlign.hAlign = HAlign::Fill;
  b.Text(5, 0, "-*", b.AddStyle(fillAlign));  // repeated across its 64 px
  const std::string more = b.Html();
  EXPECT_NE(more.find(">-*-*-*-*-*-*<"), std::string::npos);  // 9.6 px each, 60 px of room
  EXPECT_NE(RuleOf(more, "-1.50").find("color:#ff0000"), std::string::npos)
      << RuleOf(more, "-1.50");
  EXPECT_EQ(RuleOf(more, "2.50").find("color:"), std::string::npos);
  std::smatch rm;
  ASSERT_TRUE(std::regex_search(
      more, rm, std::regex("<td class=\"(c\\d+)\"><span class=\"(c\\d+)\">turned</span>")));
  EXPECT_NE(more.find("." + rm[2].str() + "{display:inline-block;transform:rotate(-45deg)}"),
            std::string::npos);
  EXPECT_NE(more.find("." + rm[1].str() + "{padding-left:20px}"), std::string::npos);

  // Same look, same class: one rule per distinct look.
  b.Text(2, 0, "again", looks);
  const std::string twice = b.Html();
  EXPECT_EQ(RuleOf(twice, "again"), RuleOf(twice, "styled"));
  // The compaction deletes ";border-top:none" wherever it stands: never written.
  EXPECT_EQ(twice.find("border-top:none"), std::string::npos);
}

TEST(PagePublisher, MergedRangesBecomeSpans) {
  Book b;
  b.Text(0, 0, "merged");
  b.Text(0, 1, "covered");  // inside the merge: not shown
  b.Text(2, 0, "below");
  b.sheet.merged.push_back(Range{0, 1, 0, 2});
  b.sheet.merged.push_back(Range{0, 0, 1, 1});  // overlaps the first: dropped
  const std::string html = b.Html();
  EXPECT_NE(html.find("<td colspan=\"3\" rowspan=\"2\">merged</td>"), std::string::npos);
  EXPECT_EQ(html.find("covered"), std::string::npos);
  const auto rows = Rows(html);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[1], "");
  EXPECT_EQ(rows[2], "<td>below</td>");
  // A hidden row inside a merge shortens the span.
  b.sheet.rows[1] = RowInfo{255, true, false, false, 0};
  EXPECT_NE(b.Html().find("<td colspan=\"3\">merged</td>"), std::string::npos);
}

TEST(PagePublisher, TextSpillsIntoEmptyNeighboursNumbersDoNot) {
  Book b;
  b.Text(0, 0, "A rather long title that needs room");
  b.Number(0, 5, 7);
  b.Text(1, 0, "Also long, but blocked here");
  b.Text(1, 1, "x");
  b.Number(2, 0, 123456789012.0);
  CellStyle r;
  r.hAlign = HAlign::Right;
  const uint16_t right = b.AddStyle(r);
  b.Text(3, 4, "Right aligned long text spills left", right);
  CellStyle w;
  w.wrap = true;
  const uint16_t wrap = b.AddStyle(w);
  b.Text(4, 0, "Wrapped text stays in its own cell", wrap);
  const std::string html = b.Html();
  const auto rows = Rows(html);
  ASSERT_EQ(rows.size(), 5u);
  std::smatch m;
  ASSERT_TRUE(std::regex_search(rows[0], m, std::regex("<td colspan=\"(\\d)\">A rather")));
  EXPECT_GE(std::stoi(m[1]), 3);
  EXPECT_LE(std::stoi(m[1]), 5);
  EXPECT_EQ(rows[1].rfind("<td>Also long, but blocked here</td><td>x</td>", 0), 0u);
  EXPECT_EQ(rows[2].find("colspan"), std::string::npos);
  // Right-aligned text takes the cells to its left.
  ASSERT_TRUE(std::regex_search(
      rows[3], m, std::regex("^((<td></td>)*)<td class=\"c\\d+\" colspan=\"(\\d)\">Right")));
  EXPECT_EQ(static_cast<int>(m[1].length()) / 9 + std::stoi(m[3]), 5);
  EXPECT_EQ(rows[4].find("colspan"), std::string::npos);

  // Over blanks with a fill the text is drawn over them; they keep their own cells.
  Book f;
  CellStyle filled;
  filled.pattern = 1;
  filled.patternColor = b.book.IndexedColor(13);
  const uint16_t fill = f.AddStyle(filled);
  f.Text(0, 0, "A rather long title that needs room");
  for (uint16_t c = 1; c < 6; ++c) f.Blank(0, c, fill);
  f.Text(1, 0, "Too long to fit, and a value stops it");
  f.Blank(1, 1, fill);
  f.Number(1, 2, 5);
  const std::string over = f.Html();
  const auto overRows = Rows(over);
  EXPECT_EQ(over.find("colspan"), std::string::npos);
  EXPECT_NE(RuleOf(over, "A rather long title that needs room").find("overflow:visible"),
            std::string::npos);
  EXPECT_EQ(RuleOf(over, "Too long to fit, and a value stops it"), "");
  EXPECT_EQ(Count(overRows[0], "<td"), 6);
  // Right-aligned text overflows to the left only from a flex box aligned to the end.
  CellStyle rightFill = filled;
  rightFill.hAlign = HAlign::Right;
  f.Text(2, 5, "Right aligned label that overflows", f.AddStyle(rightFill));
  for (uint16_t c = 0; c < 5; ++c) f.Blank(2, c, fill);
  const std::string flex = f.Html();
  std::smatch fm;
  ASSERT_TRUE(
      std::regex_search(flex, fm, std::regex("<div class=\"(c\\d+)\"><span>Right aligned label")));
  EXPECT_NE(flex.find("." + fm[1].str() + "{display:flex;justify-content:flex-end}"),
            std::string::npos);
}

TEST(PagePublisher, RichTextRunsAndScripts) {
  Book b;
  Font red;
  red.color = b.book.IndexedColor(10);
  red.weight = 700;
  const uint16_t redFont = b.AddFont(red);
  Font sup;
  sup.script = Script::Super;
  const uint16_t supFont = b.AddFont(sup);
  Cell& c = b.Text(0, 0, "plain é<bold>x2");
  b.book.richText[c.text] = {TextRun{7, redFont}, TextRun{14, supFont}};
  const std::string html = b.Html();
  std::smatch m;
  ASSERT_TRUE(
      std::regex_search(html, m,
                        std::regex("<td>plain é<span class=\"(c\\d+)\">&lt;bold&gt;x</span><span "
                                   "class=\"(c\\d+)\">2</span></td>")))
      << html;
  const size_t rule = html.find("." + m[1].str() + "{");
  EXPECT_NE(html.substr(rule, 200).find("font-weight:bold"), std::string::npos);
  const size_t supRule = html.find("." + m[2].str() + "{");
  EXPECT_NE(html.substr(supRule, 200).find("vertical-align:super"), std::string::npos);
}

TEST(PagePublisher, HyperlinksCommentsAndTheirSafety) {
  Book b;
  b.book.sheets.emplace_back().name = "Other";
  b.Text(0, 0, "web");
  b.Text(1, 0, "evil");
  b.Text(2, 0, "file");
  b.Text(3, 0, "here");
  b.Text(4, 0, "there");
  b.Text(5, 0, "target");
  b.Text(6, 0, "noted");
  b.Text(7, 0, "data");
  auto link = [&](uint32_t row, LinkKind kind, std::string target, std::string location) {
    Hyperlink h;
    h.range = Range{row, row, 0, 0};
    h.kind = kind;
    h.target = std::move(target);
    h.location = std::move(location);
    b.sheet.hyperlinks.push_back(h);
  };
  link(0, LinkKind::Url, "https://example.com/a b?x=1&y=\"2\"", "");
  link(1, LinkKind::Url, " JavaScript:alert(1)", "");
  link(2, LinkKind::File, "C:\\My Files\\report #1.xls", "");
  link(3, LinkKind::Place, "", "DATA!$A$6");  // sheet names compare without case
  link(4, LinkKind::Place, "", "'Other'!B2");
  link(7, LinkKind::Url, "data:text/html,<script>x</script>", "");
  // Control characters inside the scheme, in each way a link is stored.
  link(1, LinkKind::File, "JAVA\rSCRIPT:alert(1)", "");
  link(7, LinkKind::Url, "java\tscript:alert(1)", "x");
  b.sheet.comments.push_back(Comment{6, 0, "Ann", "Check \"this\"\nnow <b>"});
  const std::string html = b.Html();
  EXPECT_NE(html.find("<a href=\"https://example.com/a%20b?x=1&amp;y=%222%22\">web</a>"),
            std::string::npos);
  EXPECT_NE(html.find("<td>evil</td>"), std::string::npos);
  EXPECT_NE(html.find("<td>data</td>"), std::string::npos);
  EXPECT_EQ(html.find("javascript"), std::string::npos);
  EXPECT_EQ(html.find("JavaScript"), std::string::npos);
  EXPECT_NE(html.find("<a href=\"file:///C:/My%20Files/report%20%231.xls\">file</a>"),
            std::string::npos);
  EXPECT_NE(html.find("<a href=\"#A6\">here</a>"), std::string::npos);
  EXPECT_NE(html.find("<td id=\"A6\">target</td>"), std::string::npos);
  EXPECT_NE(html.find("<a href=\"book_2.htm#B2\">there</a>"), std::string::npos);
  EXPECT_NE(html.find("<td title=\"Ann:&#10;Check &quot;this&quot;&#10;now &lt;b&gt;\">noted</td>"),
            std::string::npos);
}

TEST(PagePublisher, PicturesGoToTheFolderPlacedAtTheirAnchors) {
  Book b;
  b.Text(0, 0, "x");
  Blip png;
  png.type = BlipType::Png;
  png.data = {0x89, 'P', 'N', 'G'};
  Blip emf;
  emf.type = BlipType::Emf;
  emf.data = {1, 2, 3};
  Blip dib;
  dib.type = BlipType::Dib;
  dib.data = {40, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 24, 0};
  dib.data.resize(40);
  dib.data.insert(dib.data.end(), {0, 0, 255, 0});
  b.book.blips = {png, emf, dib};
  Picture p;
  p.blip = 0;
  p.col1 = 1;
  p.dx1 = 512;
  p.row1 = 2;
  p.dy1 = 128;
  p.col2 = 3;
  p.row2 = 4;
  p.name = "Logo \"1\"";
  Picture q = p;
  q.blip = 1;
  Picture r = p;
  r.blip = 2;
  Picture again = p;  // the same picture twice: one file
  b.sheet.pictures = {p, q, r, again};
  b.sheet.Normalize();
  publish::Page page = RenderSheet(b.book, 0, "my book_1.files", "my book_1.htm");
  ASSERT_EQ(page.files.size(), 4u);
  EXPECT_EQ(page.files[0].name, "image001.png");
  EXPECT_EQ(page.files[1].name, "image002.emf");
  EXPECT_EQ(page.files[2].name, "image003.png");
  EXPECT_EQ(page.files[2].bytes[1], 'P');
  EXPECT_EQ(page.files[3].name, "filelist.xml");
  const std::string list(page.files[3].bytes.begin(), page.files[3].bytes.end());
  EXPECT_NE(list.find("<page href=\"../my%20book_1.htm\"/>"), std::string::npos);
  EXPECT_NE(list.find("<file href=\"image002.emf\"/>"), std::string::npos);
  // Default columns are 64 px (8 characters and the cell padding, rounded up to 8 pixels), rows
  // 17 px.
  EXPECT_NE(page.html.find("<img src=\"my%20book_1.files/image001.png\" alt=\"Logo &quot;1&quot;\" "
                           "style=\"left:96px;top:42px;width:96px;height:26px\">"),
            std::string::npos);
  EXPECT_EQ(Count(page.html, "<img "), 3);  // the EMF is kept, not shown
  EXPECT_EQ(page.html.find(".emf"), std::string::npos);
  // Every src stays inside the supporting folder.
  std::regex src("src=\"([^\"]*)\"");
  for (auto it = std::sregex_iterator(page.html.begin(), page.html.end(), src);
       it != std::sregex_iterator(); ++it) {
    EXPECT_EQ((*it)[1].str().rfind("my%20book_1.files/", 0), 0u);
  }
}

TEST(PagePublisher, SameWorkbookSameBytesAndPublishWritesTheFolder) {
  Book b;
  for (int i = 0; i < 50; ++i) {
    CellStyle s;
    s.pattern = 1;
    s.patternColor = b.book.IndexedColor(static_cast<uint16_t>(8 + i % 20));
    const uint16_t style = b.AddStyle(s);
    b.Number(i % 7, static_cast<uint16_t>(i % 5), i, style);
  }
  const std::string first = b.Html();
  EXPECT_EQ(first, b.Html());

  const auto dir = std::filesystem::temp_directory_path() / "quillane_publish_test";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir / "book_1.files");
  // A file an earlier page listed goes; one it did not list stays.
  std::ofstream(dir / "book_1.files" / "image009.png") << "old";
  std::ofstream(dir / "book_1.files" / "mine.txt") << "mine";
  std::ofstream(dir / "book_1.files" / "filelist.xml") << "<file href=\"image009.png\"/>";
  publish::PublishSheet(b.book, 0, dir / "book_1.htm");
  std::ifstream in(dir / "book_1.htm", std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  in.close();  // Windows removes no open file
  EXPECT_EQ(text.str(), first);
  EXPECT_TRUE(std::filesystem::exists(dir / "book_1.files" / "filelist.xml"));
  EXPECT_FALSE(std::filesystem::exists(dir / "book_1.files" / "image009.png"));
  EXPECT_TRUE(std::filesystem::exists(dir / "book_1.files" / "mine.txt"));
  std::filesystem::remove_all(dir);

  EXPECT_THROW(RenderSheet(b.book, 5, "x.files"), publish::PublishError);
}

TEST(PagePublisher, DamagedModelsGiveABoundedPageAndNoCrash) {
  Book b;
  Cell& c = b.Text(0, 0, "anchor", 999);  // style index out of range
  c.text = 12345;                         // string index out of range
  b.Text(1, 0, "runs");
  b.book.richText[b.book.strings.size() - 1] = {TextRun{50, 999}, TextRun{1, 3}, TextRun{0, 0}};
  b.sheet.merged.push_back(Range{0, 4000000000u, 0, 65535});  // far beyond the file format
  b.sheet.merged.push_back(Range{5, 2, 0, 0});                // inverted
  b.sheet.comments.push_back(Comment{4000000000u, 3, "", "far away"});
  Hyperlink big;
  big.range = Range{0, 100000, 0, 200};
  big.target = "http://example.com/";
  b.sheet.hyperlinks.push_back(big);
  Picture p;
  p.blip = 7;  // no such blip
  p.row2 = 4000000000u;
  p.col2 = 65535;
  b.sheet.pictures.push_back(p);
  Blip empty;
  empty.type = BlipType::Dib;
  b.book.blips.push_back(empty);
  p.blip = 0;
  b.sheet.pictures.push_back(p);
  const std::string html = b.Html();
  EXPECT_LE(Rows(html).size(), 65536u);
  EXPECT_LE(Count(html, "<col "), 256);
  EXPECT_NE(html.find("</html>"), std::string::npos);
  EXPECT_EQ(html.find("<img"), std::string::npos);
}
