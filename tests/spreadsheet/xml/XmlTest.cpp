// The XML reader: the same calls whether a document comes whole or in pieces, the same as expat's,
// names with the prefixes of known namespaces or by their local name, and a plain refusal of what
// is not well-formed.
#include <gtest/gtest.h>

#include <string>

#include "spreadsheet/xml/Xml.h"

using quillane::xml::Attribute;

namespace {

constexpr quillane::xml::Namespace kKnown[] = {
    {"urn:oasis:names:tc:opendocument:xmlns:office:1.0", "office"},
    {"urn:oasis:names:tc:opendocument:xmlns:table:1.0", "table"}};

class Recorder : public quillane::xml::Handler {
 public:
  std::string calls, text;
  void Start(std::string_view name, const quillane::xml::Attrs& attributes) override {
    Flush();
    calls += "<" + std::string(name);
    for (const Attribute& a : std::span<const Attribute>(attributes))
      calls += " " + std::string(a.name) + "=[" + std::string(a.value) + "]";
    calls += ">";
  }
  void End(std::string_view name) override {
    Flush();
    calls += "</" + std::string(name) + ">";
  }
  void Text(std::string_view t) override { text += t; }
  void Flush() {
    if (!text.empty()) calls += "{" + text + "}";
    text.clear();
  }
};

// The calls, or "error: ..." when the document is refused.
std::string Parse(const std::string& document, size_t piece, bool expat = false,
                  std::span<const quillane::xml::Namespace> known = kKnown) {
  Recorder r;
  quillane::xml::Stream stream(r, known, expat);
  for (size_t at = 0; at < document.size(); at += piece) {
    const std::string_view part = std::string_view(document).substr(at, piece);
    stream.Feed({reinterpret_cast<const uint8_t*>(part.data()), part.size()});
  }
  const std::string error = stream.Finish();
  r.Flush();
  return error.empty() ? r.calls : "error: " + error;
}

}  // namespace

TEST(Xml, PiecesAndExpatGiveTheSameCalls) {
  std::string padding(600, ' ');  // past the first look at the encoding
  const std::string doc =
      "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<!DOCTYPE d>" + padding +
      "<!-- note --><?pi data?><o:doc xmlns:o=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\""
      " xmlns=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\">\r\n<row a=\"1&amp;2&#x41;&#66;\""
      " b='tab\there\r\nline' c=\"&lt;&gt;&quot;&apos;\">x&amp;y\r\nz\rw <![CDATA[a<b&c\r\n]]>"
      "\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80</row><p xml:space=\"preserve\"/>"
      "<o:x xmlns:o=\"urn:other\"><o:in/></o:x></o:doc>\n<!-- end -->\n";
  const std::string whole = Parse(doc, doc.size());
  EXPECT_EQ(whole,
            "<office:doc>{\n}<table:row a=[1&2AB] b=[tab here line] c=[<>\"']>{x&y\nz\nw a<b&c\n"
            "\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80}</table:row><table:p ?:space=[preserve]>"
            "</table:p><?:x><?:in></?:in></?:x></office:doc>");
  for (size_t piece : {1, 2, 3, 7, 64}) EXPECT_EQ(Parse(doc, piece), whole) << piece;
  EXPECT_EQ(Parse(doc, doc.size(), true), whole);
  // Another encoding goes to expat.
  const std::string latin = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>\xE9</a>";
  EXPECT_EQ(Parse(latin, 5), "<a>{\xC3\xA9}</a>");
}

TEST(Xml, WhatIsNotWellFormedIsRefused) {
  const char* const bad[] = {
      "<a><b></a></b>",
      "<a x=\"1\" x=\"2\"/>",
      "<a>&nbsp;</a>",
      "<a x=\"<\"/>",
      "<a>&#0;</a>",
      "<a>\x01</a>",
      "<a>\xC3</a>",
      "<a>\xED\xA0\x80</a>",
      "<a/>text",
      "<a/><b/>",
      "text<a/>",
      "<a>",
      "<a x=1/>",
      "<a x=\"1\"y=\"2\"/>",
      "<a><?xml version=\"1.0\"?></a>",
      "<a><!-- open",
      "<1a/>",
      "",
      "<a>&#xD800;</a>",
      "<a><![CDATA[x]]</a>",
      "<?xm[x?><a/>",
      "<!DOCTYPE a [<!ATTLIST a b CDATA \"c\">]><a/>",
  };
  for (const char* doc : bad) {
    for (size_t piece : {size_t{1}, size_t{1000}})
      EXPECT_EQ(Parse(doc, piece).rfind("error: ", 0), 0u) << doc << " in pieces of " << piece;
  }
}

TEST(Xml, WithoutKnownNamespacesNamesAreLocalAndPrefixesUnchecked) {
  class Cells : public quillane::xml::Handler {
   public:
    std::string seen;
    void Start(std::string_view name, const quillane::xml::Attrs& a) override {
      seen += std::string(name) + "(" + std::string(a.View("id")) + "," +
              std::to_string(a.Int("n", -1)) + "," + (a.Bool("on", false) ? "on" : "off") + ")";
    }
  };
  const std::string doc =
      "<x:sheet xmlns:x=\"urn:any\"><x:c r:id=\"rId5\" n=\"3.0\" on=\"true\"/><y:c/></x:sheet>";
  for (bool expat : {false, true}) {
    Cells cells;
    quillane::xml::Stream stream(cells, {}, expat);
    stream.Feed({reinterpret_cast<const uint8_t*>(doc.data()), doc.size()});
    EXPECT_EQ(stream.Finish(), "");
    EXPECT_EQ(cells.seen, "sheet(,-1,off)c(rId5,3,on)c(,-1,off)") << expat;
  }
  EXPECT_EQ(Parse(doc, 3, false, {}),
            "<sheet xmlns:x=[urn:any]><c r:id=[rId5] n=[3.0] on=[true]></c><c></c></sheet>");
  // With known namespaces the unbound prefix "y" is an error.
  EXPECT_EQ(Parse(doc, 3).rfind("error: unbound prefix", 0), 0u);
}
