// A streaming XML parser over expat for the parts of a package: element names and attribute
// names come without their namespace prefix (the transitional and the strict namespaces of a
// format use the same local names), text arrives in pieces.
//
// Hostile documents: a DOCTYPE that declares entities is refused, external entities are never
// read, nesting deeper than kMaxDepth is refused. Errors throw model::ReadError naming the part.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace quillane::ooxml {

// The attributes of a start tag: expat's list of name/value pairs.
class Attrs {
 public:
  explicit Attrs(const char** list) : list_(list) {}
  // The value of the attribute of that local name, or nullptr.
  const char* Get(std::string_view local) const;
  std::string_view View(std::string_view local) const {
    const char* v = Get(local);
    return v ? std::string_view(v) : std::string_view();
  }
  bool Has(std::string_view local) const { return Get(local) != nullptr; }
  // Numbers: `fallback` when absent or not a number.
  double Number(std::string_view local, double fallback) const;
  int64_t Int(std::string_view local, int64_t fallback) const;
  // "1"/"true" and "0"/"false".
  bool Bool(std::string_view local, bool fallback) const;

 private:
  const char** list_;
};

class XmlHandler {
 public:
  virtual ~XmlHandler() = default;
  virtual void Start(std::string_view name, const Attrs& attrs) = 0;
  virtual void End(std::string_view name) { (void)name; }
  virtual void Text(std::string_view text) { (void)text; }
};

inline constexpr int kMaxDepth = 256;

// Parses a document that arrives in pieces: Feed each piece in order, then Finish, which throws
// what ParseXml throws. Feed never throws: after a failure the pieces are passed over.
class XmlFeed {
 public:
  XmlFeed(XmlHandler& handler, std::string part);
  ~XmlFeed();
  XmlFeed(const XmlFeed&) = delete;
  XmlFeed& operator=(const XmlFeed&) = delete;

  void Feed(std::span<const uint8_t> piece);
  void Finish();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Parses a whole document. `part` names it in error messages.
void ParseXml(std::span<const uint8_t> document, XmlHandler& handler, const std::string& part);

// The local part of a qualified name ("x:sheet" -> "sheet").
std::string_view LocalName(std::string_view name);

}  // namespace quillane::ooxml
