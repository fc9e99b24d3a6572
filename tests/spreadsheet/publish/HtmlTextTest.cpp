#include <gtest/gtest.h>

#include <string>

#include "spreadsheet/publish/HtmlText.h"
#include "support/TextWidth.h"

using namespace quillane::publish;
using quillane::support::EstimateTextWidth;

namespace {

std::string Text(std::string_view s, bool breaks = false) {
  std::string out;
  AppendHtmlText(out, s, breaks);
  return out;
}

std::string Attr(std::string_view s) {
  std::string out;
  AppendHtmlAttribute(out, s);
  return out;
}

// What the page compaction does to blanks: three at a time removed, then pairs.
std::string SqueezeBlanks(std::string s) {
  for (const char* find : {"   ", "  "}) {
    size_t pos = 0;
    while ((pos = s.find(find, pos)) != std::string::npos) s.erase(pos, std::string(find).size());
  }
  return s;
}

}  // namespace

TEST(HtmlText, EscapesMarkupAndQuotes) {
  EXPECT_EQ(Text("<script>alert('x')</script>"), "&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt;");
  EXPECT_EQ(Text("a & \"b\""), "a &amp; &quot;b&quot;");
  EXPECT_EQ(Attr("x\"><img src=y>"), "x&quot;&gt;&lt;img src=y&gt;");
}

TEST(HtmlText, BlanksNeverFormARunSoSqueezingCannotJoinWords) {
  for (int n = 1; n <= 7; ++n) {
    std::string text(static_cast<size_t>(n) + 2, ' ');
    text.front() = 'a';
    text.back() = 'b';
    const std::string html = Text(text);
    EXPECT_EQ(html.find("  "), std::string::npos) << html;
    EXPECT_EQ(SqueezeBlanks(html), html);
    EXPECT_NE(html.find('a'), html.find('b') - 1) << html;
  }
  EXPECT_EQ(Text("a b"), "a b");
  EXPECT_EQ(Text("a  b"), "a&nbsp; b");
  EXPECT_EQ(Text(" lead"), "&nbsp;lead");
  EXPECT_EQ(Text("trail "), "trail&nbsp;");
  EXPECT_EQ(Text("a\tb"), "a b");
  // A dropped control character between two blanks must not bring them together.
  EXPECT_EQ(Text("a \x01 b").find("  "), std::string::npos);
  const std::string attr = Attr("x   y  z");
  EXPECT_EQ(attr.find("  "), std::string::npos);
  EXPECT_EQ(attr, "x &#32; y &#32;z");
}

TEST(HtmlText, LineBreaksControlCharactersAndBadUtf8) {
  EXPECT_EQ(Text("one\r\ntwo", true), "one<br>two");
  EXPECT_EQ(Text("one\ntwo", false), "one two");
  EXPECT_EQ(Attr("one\ntwo"), "one&#10;two");
  EXPECT_EQ(Text("a\x02\x7f"
                 "b"),
            "ab");
  EXPECT_EQ(Text("caf\xC3\xA9"), "caf\xC3\xA9");
  EXPECT_EQ(Text("bad\xFF"
                 "x"),
            "bad\xEF\xBF\xBDx");
  EXPECT_EQ(Text("\xC0\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD");  // overlong encoding
  EXPECT_EQ(Text("\xC2\xA0"), "&nbsp;");
}

TEST(HtmlText, TextsThePageCompactionReplacesAreBrokenUp) {
  const std::string a = Text("x;border-top:none");
  EXPECT_EQ(a.find(";border-top:none"), std::string::npos);
  const std::string b = Text("mso-height-source:userset;");
  EXPECT_EQ(b.find("mso-height-source:userset;"), std::string::npos);
  EXPECT_EQ(Text("<table x>"), "&lt;table x&gt;");
}

TEST(HtmlText, WidthEstimateGrowsWithTextAndBold) {
  const double narrow = EstimateTextWidth("iiii", 13.3, false);
  const double wide = EstimateTextWidth("WWWW", 13.3, false);
  EXPECT_LT(narrow, wide);
  EXPECT_NEAR(EstimateTextWidth("0000000000", 13.3333, false), 74.1, 0.5);
  EXPECT_GT(EstimateTextWidth("abc", 13.3, true), EstimateTextWidth("abc", 13.3, false));
}
