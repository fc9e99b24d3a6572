// A streaming XML reader for the OpenDocument parts: element names come with a short prefix for
// the namespaces the reader knows ("table:table-cell", "office:value"), whatever prefix the
// document itself binds; names of other namespaces get the prefix "?".
//
// UTF-8 documents, which OpenDocument packages hold, are read by a scanner of our own: the table
// of a large sheet is tens of megabytes of small elements, and a general parser spends most of
// the reading time there. It checks what makes a document well-formed (names, matching tags,
// quoted and unique attributes, references, characters, one root) and refuses the rest. A
// document in another encoding is read by expat.
//
// Hostile documents cost bounded work: a DOCTYPE that declares entities is refused, no external
// entity is ever loaded, and nesting deeper than kMaxXmlDepth is refused.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillane::ods {

inline constexpr int kMaxXmlDepth = 256;

struct XmlAttribute {
  std::string_view name;  // "office:value-type"
  std::string_view value;
};

class XmlHandler {
 public:
  virtual ~XmlHandler() = default;
  virtual void Start(std::string_view name, std::span<const XmlAttribute> attributes) = 0;
  virtual void End(std::string_view name) = 0;
  virtual void Text(std::string_view text) = 0;
};

// An element kept whole with its subtree (the styles are small and read as trees; the tables are
// streamed). `text` is the element's own character data.
struct XmlNode {
  std::string name;
  std::vector<std::pair<std::string, std::string>> attributes;
  std::string text;
  std::vector<XmlNode> children;

  std::string_view Get(std::string_view attribute) const;
  bool Has(std::string_view attribute) const;
};

// Builds XmlNode trees from the calls of an XmlHandler: Begin with the root element, then hand it
// every call until Done().
class XmlTreeBuilder {
 public:
  void Begin(std::string_view name, std::span<const XmlAttribute> attributes);
  void Start(std::string_view name, std::span<const XmlAttribute> attributes);
  void End();
  void Text(std::string_view text);
  bool Done() const { return open_.empty(); }
  XmlNode Take() { return std::move(root_); }

 private:
  XmlNode root_;
  std::vector<XmlNode*> open_;
};

// Parses a document that arrives in pieces: Feed each piece in order, then Finish. Feed never
// throws: a failure (not well-formed, refused, an exception of the handler) is kept, the pieces
// after it are passed over, and Finish reports it.
class XmlStream {
 public:
  // `expatOnly` reads every document with expat (to compare the two readers).
  explicit XmlStream(XmlHandler& handler, bool expatOnly = false);
  ~XmlStream();
  XmlStream(const XmlStream&) = delete;
  XmlStream& operator=(const XmlStream&) = delete;

  void Feed(std::span<const uint8_t> piece);
  // Ends the document. Throws the handler's exception again; else returns an empty string, or
  // why the document is not well-formed (or refused).
  std::string Finish();

 private:
  class Parser;
  std::unique_ptr<Parser> parser_;
};

// Parses `document` and calls `handler`. Returns an empty string, or why the document is not
// well-formed (or refused).
std::string ParseXml(std::span<const uint8_t> document, XmlHandler& handler);

// The value of attribute `name`, or an empty view.
std::string_view Attribute(std::span<const XmlAttribute> attributes, std::string_view name);
bool HasAttribute(std::span<const XmlAttribute> attributes, std::string_view name);

}  // namespace quillane::ods
