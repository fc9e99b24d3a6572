// The OpenDocument XML reader: the same calls whether a document comes whole or in pieces, the
// same as expat's, and a plain refusal of what is not well-formed.
#include <gtest/gtest.h>

#include <string>

#include "spreadsheet/ods/Xml.h"

using quillane::ods::XmlAttribute;

namespace {

class Recorder : public quillane::ods::XmlHandler {
 public:
  std::string calls, text;
  void Start(std::string_view name, std::span<const XmlAttribute> attributes) override {
    Flush();
    calls += "<" + std::string(name);
    for (const XmlAttribute& a : attributes)
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
std::string Parse(const std::string& document, size_t piece, bool expat = false) {
  Recorder r;
  quillane::ods::XmlStream stream(r, expat);
  for (size_t at = 0; at < document.size(); at += piece) {
    const std::string_view part = std::string_view(document).substr(at, piece);
    stream.Feed({reinterpret_cast<const uint8_t*>(part.data()), part.size()});
  }
  const std::string error = stream.Finish();
  r.Flush();
  return error.empty() ? r.calls : "error: " + error;
}

}  // namespace

TEST(OdsXml, PiecesAndExpatGiveTheSameCalls) {
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

TEST(OdsXml, WhatIsNotWellFormedIsRefused) {
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
