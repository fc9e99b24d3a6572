// Conditional formats on the page: the look rules give cells, on models the tests build.
#include <gtest/gtest.h>

#include <regex>

#include "spreadsheet/publish/PagePublisher.h"

using namespace quillane;
using namespace quillane::model;

namespace {

struct Book {
  Workbook book;
  Book() {
    book.fonts.push_back(Font{});
    book.styles.resize(1);
    book.sheets.emplace_back().name = "Data";
  }
  Sheet& sheet() { return book.sheets[0]; }
  void Number(uint32_t r, uint16_t c, double v) {
    Cell cell{r, c, 0, CellType::Number, false, 0, 0, v};
    sheet().cells.push_back(cell);
  }
  void Text(uint32_t r, uint16_t c, const std::string& s) {
    Cell cell{r, c, 0, CellType::String, false, 0, book.AddString(s), 0};
    sheet().cells.push_back(cell);
  }
  // The CSS of the cell showing `content` (its class's rule), or "" when it has no class.
  std::string CssOf(const std::string& content) {
    const std::string html = publish::RenderSheet(book, 0, "x.files").html;
    std::smatch m;
    if (!std::regex_search(html, m, std::regex("<td class=\"(c\\d+)\">" + content + "</td>")))
      return "";
    std::smatch rule;
    std::regex_search(html, rule, std::regex("\\." + m[1].str() + "\\{([^}]*)\\}"));
    return rule[1];
  }
};

CfOperand Num(double v) {
  CfOperand o;
  o.number = v;
  return o;
}

CfRule ValueRule(CfOperator op, std::vector<CfOperand> operands, uint32_t fill, uint32_t priority,
                 bool stop = false) {
  CfRule r;
  r.op = op;
  r.operands = std::move(operands);
  r.style.fill = CfFill{1, Color::Rgb(fill), Color::Auto()};
  r.priority = priority;
  r.stopIfTrue = stop;
  return r;
}

}  // namespace

TEST(CondFormats, CellValueRulesReferencesAndPriority) {
  Book b;
  for (uint32_t r = 0; r < 4; ++r) b.Number(r, 0, 5.0 + 5 * r);  // 5 10 15 20
  b.Number(0, 2, 16);                                            // C1: the limit
  for (uint32_t r = 0; r < 4; ++r) b.Number(r, 1, 100 + r);      // B: compared with D and $C$1
  b.Text(4, 0, "abc");
  ConditionalFormat between;
  between.ranges = {{0, 4, 0, 0}};
  CfRule bold = ValueRule(CfOperator::Between, {Num(10), Num(15)}, 0xFF0000, 1);
  bold.style.bold = true;
  bold.style.fontColor = Color::Rgb(0x0000FF);
  between.rules = {bold, ValueRule(CfOperator::Equal, {}, 0, 9)};
  between.rules[1].operands = {CfOperand{CfOperand::Kind::Text, 0, "ABC"}};
  between.rules[1].style.fill->color = Color::Rgb(0x00FF00);
  // B1:B4 greater than the cell two to the right in the same row (relative), else than $C$1.
  ConditionalFormat ref;
  ref.ranges = {{0, 3, 1, 1}};
  CfOperand right{CfOperand::Kind::Cell, 0, "", 0, 2, true, true};
  CfOperand fixed{CfOperand::Kind::Cell, 0, "", 0, 2, false, false};
  ref.rules = {ValueRule(CfOperator::Less, {right}, 0x111111, 0, true),
               ValueRule(CfOperator::Greater, {fixed}, 0x222222, 2)};
  ref.rules[1].style.italic = true;
  b.sheet().conditionalFormats = {between, ref};
  b.Number(0, 3, 500);  // D1 > B1: the first rule holds and stops the second
  b.sheet().Normalize();

  EXPECT_EQ(b.CssOf("5"), "text-align:right");  // no rule holds: the cell's own class
  const std::string ten = b.CssOf("10");
  EXPECT_NE(ten.find("font-weight:bold"), std::string::npos) << ten;
  EXPECT_NE(ten.find("color:#0000ff"), std::string::npos) << ten;
  EXPECT_NE(ten.find("background:#ff0000"), std::string::npos) << ten;
  EXPECT_EQ(b.CssOf("15"), ten);  // the same look shares its class
  EXPECT_EQ(b.CssOf("20"), "text-align:right");
  EXPECT_NE(b.CssOf("abc").find("background:#00ff00"), std::string::npos);  // text, any case
  EXPECT_EQ(b.CssOf("100"), "background:#111111;text-align:right");         // stopped
  EXPECT_NE(b.CssOf("101").find("background:#222222"), std::string::npos);
  EXPECT_NE(b.CssOf("101").find("font-style:italic"), std::string::npos);
}

TEST(CondFormats, ColourScalesAndDataBars) {
  Book b;
  for (uint32_t r = 0; r < 5; ++r) b.Number(r, 0, r * 25.0);  // 0 25 50 75 100
  for (uint32_t r = 0; r < 3; ++r) b.Number(r, 1, 1000 + r * 10.0);
  b.Text(5, 0, "x");
  ConditionalFormat scale;
  scale.ranges = {{0, 5, 0, 0}};
  CfRule three;
  three.kind = CfKind::ColorScale;
  three.scale = {{{CfThreshold::Kind::Min, 0}, Color::Rgb(0xF8696B)},
                 {{CfThreshold::Kind::Percentile, 50}, Color::Rgb(0xFFEB84)},
                 {{CfThreshold::Kind::Max, 0}, Color::Rgb(0x63BE7B)}};
  scale.rules = {three};
  ConditionalFormat bars;
  bars.ranges = {{0, 2, 1, 1}};
  CfRule bar;
  bar.kind = CfKind::DataBar;
  bar.bar.gradient = false;
  bars.rules = {bar};
  b.sheet().conditionalFormats = {scale, bars};
  b.sheet().Normalize();
  EXPECT_NE(b.CssOf("0").find("background:#f8696b"), std::string::npos);
  EXPECT_NE(b.CssOf("50").find("background:#ffeb84"), std::string::npos);
  EXPECT_NE(b.CssOf("100").find("background:#63be7b"), std::string::npos);
  // Halfway between the low and the middle colour, by channel.
  EXPECT_NE(b.CssOf("25").find("background:#fcaa78"), std::string::npos) << b.CssOf("25");
  EXPECT_EQ(b.CssOf("x"), "");  // texts take no colour
  EXPECT_NE(b.CssOf("1000").find("linear-gradient(90deg,#638ec6 10%,transparent 10%)"),
            std::string::npos);
  EXPECT_NE(b.CssOf("1010").find("#638ec6 50%,transparent 50%"), std::string::npos);
  EXPECT_NE(b.CssOf("1020").find("#638ec6 90%,transparent 90%"), std::string::npos);

  // Two colours over fixed numbers; values past the ends take the end colours.
  three.scale = {{{CfThreshold::Kind::Number, 25}, Color::Rgb(0x000000)},
                 {{CfThreshold::Kind::Percent, 75}, Color::Rgb(0xFFFFFF)}};
  b.sheet().conditionalFormats = {ConditionalFormat{{{0, 5, 0, 0}}, {three}}};
  EXPECT_NE(b.CssOf("0").find("background:#000000"), std::string::npos);
  EXPECT_NE(b.CssOf("100").find("background:#ffffff"), std::string::npos);
  EXPECT_NE(b.CssOf("50").find("background:#808080"), std::string::npos) << b.CssOf("50");
}

// Comparisons across kinds of values, and data bars that fade or hide their value.
TEST(CondFormats, MixedValuesAndBarLooks) {
  Book b;
  b.Number(0, 0, 5);
  b.Text(1, 0, "five");
  Cell error{2, 0, 0, CellType::Error, false, 0x07, 0, 0};
  b.sheet().cells.push_back(error);
  b.Number(3, 0, 50);
  ConditionalFormat block;
  block.ranges = {{0, 3, 0, 0}};
  // Not between 1 and 10: texts sort after every number, errors never match.
  block.rules = {ValueRule(CfOperator::NotBetween, {Num(10), Num(1)}, 0x123456, 1)};
  ConditionalFormat bars;
  bars.ranges = {{0, 3, 0, 0}};
  CfRule bar;
  bar.kind = CfKind::DataBar;
  bar.priority = 2;
  bar.bar.showValue = false;
  bar.bar.color = Color::Rgb(0x000000);
  bars.rules = {bar};
  b.sheet().conditionalFormats = {block, bars};
  b.sheet().Normalize();
  EXPECT_EQ(b.CssOf("5").find("#123456"), std::string::npos);
  EXPECT_NE(b.CssOf("five").find("background:#123456"), std::string::npos);
  EXPECT_EQ(b.CssOf("#DIV/0!"), "text-align:center");
  const std::string fifty = b.CssOf("50");
  EXPECT_NE(fifty.find("background:#123456"), std::string::npos) << fifty;
  EXPECT_NE(fifty.find("linear-gradient(90deg,#000000,#bfbfbf 90%,transparent 90%)"),
            std::string::npos)
      << fifty;
  EXPECT_NE(fifty.find("color:transparent"), std::string::npos);
}

// Cell-value rules hold at blank positions as for an empty cell (an empty cell counts as 0), up
// to the page's last row; looks that show nothing on an empty cell (a font) are left out.
TEST(CondFormats, BlankPositionsInsideThePage) {
  Book b;
  b.Number(0, 0, 5);
  b.Number(2, 0, 20);
  b.Text(4, 2, "end");  // the page runs to C5
  ConditionalFormat block;
  block.ranges = {{0, 999, 0, 1}};                                 // A1:B1000
  CfRule fontOnly = ValueRule(CfOperator::Equal, {Num(0)}, 0, 0);  // holds on blanks
  fontOnly.style.fill.reset();
  fontOnly.style.fontColor = Color::Rgb(0x0000FF);
  block.rules = {ValueRule(CfOperator::Less, {Num(10)}, 0xFF0000, 1)};
  ConditionalFormat font;
  font.ranges = {{0, 3, 2, 2}};  // C1:C4, all blank
  font.rules = {fontOnly};
  b.sheet().conditionalFormats = {block, font};
  b.sheet().Normalize();
  const std::string html = publish::RenderSheet(b.book, 0, "x.files").html;
  std::smatch red;
  ASSERT_TRUE(std::regex_search(html, red, std::regex("\\.(c\\d+)\\{background:#ff0000\\}")));
  const std::string cell = "<td class=\"" + red[1].str() + "\"></td>";
  std::vector<std::string> rows;
  const std::regex tr("<tr[^>]*>(.*?)</tr>");
  for (auto it = std::sregex_iterator(html.begin(), html.end(), tr); it != std::sregex_iterator();
       ++it) {
    rows.push_back((*it)[1]);
  }
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_NE(rows[0].find(">5</td>" + cell), std::string::npos) << rows[0];  // B1 blank
  EXPECT_EQ(rows[1], cell + cell);  // a row without cells is walked for its two blanks
  EXPECT_NE(rows[2].find(">20</td>" + cell), std::string::npos) << rows[2];  // 20 is not < 10
  EXPECT_EQ(rows[2].find("ff0000"), std::string::npos);
  EXPECT_EQ(rows[4].substr(0, cell.size() * 2), cell + cell);
  EXPECT_EQ(html.find("0000ff"), std::string::npos);  // no blank shows the font rule

  // Rules that need more work than the sheet's budget are refused whole, never applied in part.
  Book big;
  big.Text(59999, 0, "end");
  ConditionalFormat band;
  band.ranges = {{0, 59999, 0, 0}};
  CfRule rule = ValueRule(CfOperator::Less, {Num(10)}, 0xFF0000, 1);
  rule.kind = CfKind::Expression;
  rule.formula.assign(300, CfToken{});
  band.rules = {rule};
  big.sheet().conditionalFormats = {band};
  big.sheet().Normalize();
  try {
    publish::RenderSheet(big.book, 0, "x.files");
    ADD_FAILURE() << "the rules were applied in part";
  } catch (const publish::PublishError& e) {
    EXPECT_NE(std::string(e.what()).find("more than 16777280 formula steps"), std::string::npos)
        << e.what();
  }
}
