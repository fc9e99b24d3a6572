// A streaming XML reader for the parts of the workbook packages, one for every reader.
//
// Names reach the handler in one of two ways. With a table of known namespaces (the OpenDocument
// reader's), element and attribute names come with the table's prefix for their namespace
// ("table:table-cell", "office:value"), whatever prefix the document itself binds; names of other
// namespaces get the prefix "?", and a prefix the document does not bind is an error. Without one
// (SpreadsheetML, whose transitional and strict namespaces use the same local names), elements
// come by their local name ("x:sheet" -> "sheet"), attributes as the document writes them (Attrs
// looks them up by local name), and prefixes are not checked.
//
// UTF-8 documents, which the packages hold, are read by a scanner of our own: the sheet of a large
// workbook is tens of megabytes of small elements, and a general parser spends most of the
// reading time there. It checks what makes a document well-formed (names, matching tags, quoted
// and unique attributes, references, characters, one root) and refuses the rest. A document in
// another encoding is read by expat.
//
// Hostile documents cost bounded work: a DOCTYPE that declares entities or default attributes is
// refused, no external entity is ever loaded, and nesting deeper than kMaxDepth is refused.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillane::xml {

inline constexpr int kMaxDepth = 256;

struct Attribute {
  std::string_view name;  // "office:value-type", or "r:id" without known namespaces
  std::string_view value;
};

// The value of attribute `name` (the whole name), or an empty view.
std::string_view Value(std::span<const Attribute> attributes, std::string_view name);
bool Has(std::span<const Attribute> attributes, std::string_view name);

// The local part of a qualified name ("x:sheet" -> "sheet").
std::string_view LocalName(std::string_view name);

// The attributes of a start tag in the document's order, and look-ups by local name with the
// values read as numbers and switches.
class Attrs {
 public:
  explicit Attrs(std::span<const Attribute> list) : list_(list) {}
  operator std::span<const Attribute>() const { return list_; }

  // The value of the attribute of that local name, or nothing.
  std::optional<std::string_view> Get(std::string_view local) const;
  std::string_view View(std::string_view local) const { return Get(local).value_or(""); }
  bool Has(std::string_view local) const { return Get(local).has_value(); }
  // Numbers: `fallback` when absent or not a number.
  double Number(std::string_view local, double fallback) const;
  int64_t Int(std::string_view local, int64_t fallback) const;
  // "1"/"true"/"on" and "0"/"false"/"off".
  bool Bool(std::string_view local, bool fallback) const;

 private:
  std::span<const Attribute> list_;
};

class Handler {
 public:
  virtual ~Handler() = default;
  virtual void Start(std::string_view name, const Attrs& attributes) = 0;
  virtual void End(std::string_view name) { (void)name; }
  virtual void Text(std::string_view text) { (void)text; }
};

// A namespace a reader knows, and the prefix its names get.
struct Namespace {
  std::string_view uri, prefix;
};

// Why a document was refused although it may be well-formed.
enum class Refusal { None, Entities, DefaultAttributes, Depth };

// Parses a document that arrives in pieces: Feed each piece in order, then Finish. Feed never
// throws: a failure (not well-formed, refused, an exception of the handler) is kept, the pieces
// after it are passed over, and Finish reports it.
class Stream {
 public:
  // `known`: see the names above (it must outlive the stream). `expatOnly` reads every document
  // with expat (to compare the two readers).
  explicit Stream(Handler& handler, std::span<const Namespace> known = {}, bool expatOnly = false);
  ~Stream();
  Stream(const Stream&) = delete;
  Stream& operator=(const Stream&) = delete;

  void Feed(std::span<const uint8_t> piece);
  // Ends the document. Throws the handler's exception again; else returns an empty string, or
  // why the document is not well-formed ("mismatched tag at line 3") or refused (Refused()).
  std::string Finish();
  Refusal Refused() const;

 private:
  class Parser;
  std::unique_ptr<Parser> parser_;
};

// Parses a whole document; returns what Stream::Finish returns.
std::string Parse(std::span<const uint8_t> document, Handler& handler,
                  std::span<const Namespace> known = {});

// An element kept whole with its subtree (small parts are read as trees, large ones streamed).
// `text` is the element's own character data.
struct Node {
  std::string name;
  std::vector<std::pair<std::string, std::string>> attributes;
  std::string text;
  std::vector<Node> children;

  std::string_view Get(std::string_view attribute) const;
  bool Has(std::string_view attribute) const;
};

// Builds Node trees from the calls of a Handler: Begin with the root element, then hand it
// every call until Done().
class TreeBuilder {
 public:
  void Begin(std::string_view name, std::span<const Attribute> attributes);
  void Start(std::string_view name, std::span<const Attribute> attributes);
  void End();
  void Text(std::string_view text);
  bool Done() const { return open_.empty(); }
  Node Take() { return std::move(root_); }

 private:
  Node root_;
  std::vector<Node*> open_;
};

}  // namespace quillane::xml
