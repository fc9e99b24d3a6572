#include <gtest/gtest.h>

#include "spreadsheet/publish/Links.h"

using namespace quillane::publish;

namespace {

// What a browser takes for the scheme of an href: it strips control characters and blanks at
// the ends and tabs and line breaks anywhere before it parses the URL.
std::string BrowserScheme(std::string href) {
  std::string cleaned;
  for (char c : href) {
    if (c != '\t' && c != '\n' && c != '\r') cleaned += c;
  }
  while (!cleaned.empty() && static_cast<unsigned char>(cleaned.front()) <= ' ')
    cleaned.erase(0, 1);
  return UrlScheme(cleaned);
}

}  // namespace

TEST(Links, NoControlCharacterOrCaseHidesAnUnsafeScheme) {
  const std::string hostile[] = {"javascript:alert(1)", "JAVASCRIPT:alert(1)",
                                 "data:text/html,<script>x</script>", "vbscript:msgbox(1)"};
  const char controls[] = {'\t', '\r', '\n', '\x01', '\x1F', '\x7F', ' '};
  int checked = 0;
  for (const std::string& url : hostile) {
    for (size_t at = 0; at <= url.find(':') + 1; ++at) {
      for (char c : controls) {
        std::string target = url;
        target.insert(at, 1, c);
        for (bool isFile : {false, true}) {
          const auto href = ExternalHref(target, "", isFile);
          ++checked;
          if (!href) continue;
          const std::string scheme = BrowserScheme(*href);
          EXPECT_TRUE(scheme.empty() || scheme == "file") << target << " -> " << *href;
        }
      }
    }
  }
  EXPECT_GT(checked, 300);
  EXPECT_FALSE(ExternalHref("java\tscript:alert(1)", "", false));
  EXPECT_FALSE(ExternalHref("\x7Fjavascript:alert(1)", "x", false));
  EXPECT_FALSE(ExternalHref("da\tta:text/html,x", "", true));
  EXPECT_FALSE(ExternalHref("news:comp.lang", "", false));
}

TEST(Links, SafeTargetsKeepTheirForm) {
  EXPECT_EQ(ExternalHref(" HTTPS://example.com/a b\t", "p\"q", false),
            "HTTPS://example.com/a%20b#p%22q");
  EXPECT_EQ(ExternalHref("mailto:me@example.com", "", false), "mailto:me@example.com");
  EXPECT_EQ(ExternalHref("C:\\My Files\\r #1.xls", "", true), "file:///C:/My%20Files/r%20%231.xls");
  EXPECT_EQ(ExternalHref("\\\\server\\share\\x.xls", "", true), "file://server/share/x.xls");
  EXPECT_EQ(ExternalHref("..\\data\\x.xls", "Sheet1!A1", true), "../data/x.xls#Sheet1!A1");
  EXPECT_FALSE(ExternalHref("", "", true));
}

// One parser gives both the href of a place link and the id of the cell it points to, so the two
// always agree.
TEST(Links, PlacesNameOneCell) {
  auto place = [](std::string_view text) {
    std::string out;
    std::optional<Place> p = ParsePlace(text);
    if (!p) return std::string("-");
    out = std::string(p->sheet) + "|";
    AppendCellName(out, p->cell);
    return out;
  };
  EXPECT_EQ(place("B3"), "|B3");
  EXPECT_EQ(place(" 'My sheet'!$b$3:C4\t"), "My sheet|B3");
  EXPECT_EQ(place("Data!XFD1048576"), "Data|XFD1048576");
  EXPECT_EQ(place("!A1"), "|A1");
  for (std::string_view bad :
       {"", "Total", "B0", "B03X", "ABCD1", "A12345678", "Sheet1!", "$$A1"}) {
    EXPECT_EQ(place(bad), "-") << bad;
  }
  Place p{"data", {}};
  EXPECT_TRUE(PlaceOnSheet(p, "DATA"));
  EXPECT_FALSE(PlaceOnSheet(p, "Other"));
}
