#include "spreadsheet/ods/Xml.h"

#include <expat.h>

#include <algorithm>
#include <exception>
#include <memory>

namespace quillane::ods {

namespace {

struct Namespace {
  std::string_view uri, prefix;
};

constexpr Namespace kNamespaces[] = {
    {"urn:oasis:names:tc:opendocument:xmlns:office:1.0", "office"},
    {"urn:oasis:names:tc:opendocument:xmlns:table:1.0", "table"},
    {"urn:oasis:names:tc:opendocument:xmlns:text:1.0", "text"},
    {"urn:oasis:names:tc:opendocument:xmlns:style:1.0", "style"},
    {"urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0", "fo"},
    {"urn:oasis:names:tc:opendocument:xmlns:datastyle:1.0", "number"},
    {"urn:oasis:names:tc:opendocument:xmlns:drawing:1.0", "draw"},
    {"urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0", "svg"},
    {"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0", "manifest"},
    {"http://www.w3.org/1999/xlink", "xlink"},
    {"http://purl.org/dc/elements/1.1/", "dc"},
    {"urn:org:documentfoundation:names:experimental:calc:xmlns:calcext:1.0", "calcext"},
    {"urn:org:documentfoundation:names:experimental:office:xmlns:loext:1.0", "loext"},
};

}  // namespace

class XmlStream::Parser {
 public:
  explicit Parser(XmlHandler& handler) : handler_(handler) {
    // Namespaces are resolved here, not by expat: most names then pass through without a copy.
    parser_ = XML_ParserCreate(nullptr);
    XML_SetUserData(parser_, this);
    XML_SetElementHandler(parser_, &Parser::OnStart, &Parser::OnEnd);
    XML_SetCharacterDataHandler(parser_, &Parser::OnText);
    XML_SetEntityDeclHandler(parser_, &Parser::OnEntityDecl);
    XML_SetParamEntityParsing(parser_, XML_PARAM_ENTITY_PARSING_NEVER);
  }
  ~Parser() { XML_ParserFree(parser_); }

  // Parses the next piece; after a failure the pieces are passed over.
  void Feed(std::span<const uint8_t> piece, bool last) {
    if (failed_) return;
    // Fed in slices: expat takes an int length.
    constexpr size_t kSlice = size_t{1} << 30;
    size_t offset = 0;
    do {
      const size_t n = std::min(kSlice, piece.size() - offset);
      const bool end = last && offset + n == piece.size();
      const char* data = reinterpret_cast<const char*>(piece.data() + offset);
      if (XML_Parse(parser_, data, static_cast<int>(n), end) != XML_STATUS_OK || exception_) {
        failed_ = true;
        if (!exception_ && refused_.empty()) {
          const XML_Error code = unbound_ ? XML_ERROR_UNBOUND_PREFIX : XML_GetErrorCode(parser_);
          error_ = std::string(XML_ErrorString(code)) + " at line " +
                   std::to_string(XML_GetCurrentLineNumber(parser_));
        }
        return;
      }
      offset += n;
    } while (offset < piece.size());
  }

  std::string Finish() {
    Feed({}, true);
    if (exception_) std::rethrow_exception(exception_);
    return refused_.empty() ? error_ : refused_;
  }

 private:
  // The reader's prefix of a namespace: "?" for namespaces it does not know.
  static std::string_view Canonical(std::string_view uri) {
    for (const Namespace& ns : kNamespaces) {
      if (ns.uri == uri) return ns.prefix;
    }
    return "?";
  }

  // The binding of a prefix in scope ("" for the default namespace), or nullptr.
  const std::string_view* Bound(std::string_view prefix) const {
    for (auto it = bindings_.rbegin(); it != bindings_.rend(); ++it) {
      if (it->first == prefix) return it->second.empty() ? nullptr : &it->second;
    }
    return nullptr;
  }

  // A name as the document writes it -> "prefix:local" with the reader's prefix, in `out` when
  // it differs from the document's. Unprefixed attributes have no namespace; false for a prefix
  // that is not bound.
  bool Name(const char* raw, bool attribute, std::string& out, std::string_view& name) const {
    name = raw;
    const size_t colon = name.find(':');
    std::string_view prefix, local = name, canonical;
    if (colon == std::string_view::npos) {
      if (attribute) return true;
      const std::string_view* bound = Bound({});
      if (!bound) return true;
      canonical = *bound;
    } else {
      prefix = name.substr(0, colon);
      local = name.substr(colon + 1);
      if (prefix == "xml") {
        canonical = "?";
      } else {
        const std::string_view* bound = Bound(prefix);
        if (!bound) return false;
        canonical = *bound;
        if (canonical == prefix) return true;
      }
    }
    out.assign(canonical);
    out += ':';
    out += local;
    name = out;
    return true;
  }

  static bool IsDeclaration(std::string_view name) {
    return name.starts_with("xmlns") && (name.size() == 5 || name[5] == ':');
  }

  static void OnStart(void* self, const XML_Char* name, const XML_Char** attrs) {
    auto& p = *static_cast<Parser*>(self);
    if (++p.depth_ > kMaxXmlDepth) {
      p.Stop("The elements are nested more than " + std::to_string(kMaxXmlDepth) + " deep");
      return;
    }
    p.scopes_.push_back(p.bindings_.size());
    size_t count = 0;
    for (; attrs[2 * count]; ++count) {
      const std::string_view attribute = attrs[2 * count];
      if (IsDeclaration(attribute)) {
        const std::string_view prefix = attribute.size() > 5 ? attribute.substr(6) : "";
        const std::string_view uri = attrs[2 * count + 1];
        p.bindings_.emplace_back(std::string(prefix), uri.empty() ? "" : Canonical(uri));
      }
    }
    if (p.names_.size() < count + 1) p.names_.resize(count + 1);
    p.attributes_.clear();
    std::string_view resolved;
    for (size_t i = 0; i < count; ++i) {
      if (IsDeclaration(attrs[2 * i])) continue;
      if (!p.Name(attrs[2 * i], true, p.names_[i + 1], resolved)) return p.Unbound();
      p.attributes_.push_back({resolved, attrs[2 * i + 1]});
    }
    if (!p.Name(name, false, p.names_[0], resolved)) return p.Unbound();
    p.Call([&] { p.handler_.Start(resolved, p.attributes_); });
  }

  static void OnEnd(void* self, const XML_Char* name) {
    auto& p = *static_cast<Parser*>(self);
    --p.depth_;
    if (p.names_.empty()) p.names_.resize(1);
    std::string_view resolved;
    p.Name(name, false, p.names_[0], resolved);
    p.Call([&] { p.handler_.End(resolved); });
    if (!p.scopes_.empty()) {
      p.bindings_.resize(p.scopes_.back());
      p.scopes_.pop_back();
    }
  }

  void Unbound() {
    unbound_ = true;
    XML_StopParser(parser_, XML_FALSE);
  }

  static void OnText(void* self, const XML_Char* text, int length) {
    auto& p = *static_cast<Parser*>(self);
    p.Call([&] { p.handler_.Text(std::string_view(text, static_cast<size_t>(length))); });
  }

  static void OnEntityDecl(void* self, const XML_Char*, int, const XML_Char*, int, const XML_Char*,
                           const XML_Char*, const XML_Char*, const XML_Char*) {
    static_cast<Parser*>(self)->Stop("The document declares entities");
  }

  // The handler's exceptions are not thrown through expat: kept, and thrown again by Run.
  template <typename F>
  void Call(F&& f) {
    if (exception_) return;
    try {
      f();
    } catch (...) {
      exception_ = std::current_exception();
      XML_StopParser(parser_, XML_FALSE);
    }
  }

  void Stop(std::string why) {
    if (refused_.empty()) refused_ = std::move(why);
    XML_StopParser(parser_, XML_FALSE);
  }

  XmlHandler& handler_;
  XML_Parser parser_;
  int depth_ = 0;
  std::vector<std::string> names_;
  std::vector<XmlAttribute> attributes_;
  // The namespace prefixes in scope (document prefix, reader's prefix; "" when undeclared) and
  // how many were in scope at each open element.
  std::vector<std::pair<std::string, std::string_view>> bindings_;
  std::vector<size_t> scopes_;
  bool unbound_ = false;
  std::string refused_, error_;
  std::exception_ptr exception_;
  bool failed_ = false;
};

XmlStream::XmlStream(XmlHandler& handler) : parser_(std::make_unique<Parser>(handler)) {}
XmlStream::~XmlStream() = default;
void XmlStream::Feed(std::span<const uint8_t> piece) { parser_->Feed(piece, false); }
std::string XmlStream::Finish() { return parser_->Finish(); }

std::string ParseXml(std::span<const uint8_t> document, XmlHandler& handler) {
  XmlStream stream(handler);
  stream.Feed(document);
  return stream.Finish();
}

std::string_view Attribute(std::span<const XmlAttribute> attributes, std::string_view name) {
  for (const XmlAttribute& a : attributes) {
    if (a.name == name) return a.value;
  }
  return {};
}

bool HasAttribute(std::span<const XmlAttribute> attributes, std::string_view name) {
  for (const XmlAttribute& a : attributes) {
    if (a.name == name) return true;
  }
  return false;
}

std::string_view XmlNode::Get(std::string_view attribute) const {
  for (const auto& [name, value] : attributes) {
    if (name == attribute) return value;
  }
  return {};
}

bool XmlNode::Has(std::string_view attribute) const {
  for (const auto& a : attributes) {
    if (a.first == attribute) return true;
  }
  return false;
}

namespace {
void Fill(XmlNode& node, std::string_view name, std::span<const XmlAttribute> attributes) {
  node.name.assign(name);
  for (const XmlAttribute& a : attributes) node.attributes.emplace_back(a.name, a.value);
}
}  // namespace

void XmlTreeBuilder::Begin(std::string_view name, std::span<const XmlAttribute> attributes) {
  root_ = XmlNode{};
  Fill(root_, name, attributes);
  open_.assign(1, &root_);
}

void XmlTreeBuilder::Start(std::string_view name, std::span<const XmlAttribute> attributes) {
  // Only the innermost open element gains children, so the pointers of the open path stay valid.
  XmlNode& parent = *open_.back();
  parent.children.emplace_back();
  Fill(parent.children.back(), name, attributes);
  open_.push_back(&parent.children.back());
}

void XmlTreeBuilder::End() { open_.pop_back(); }

void XmlTreeBuilder::Text(std::string_view text) {
  if (!open_.empty()) open_.back()->text.append(text);
}

}  // namespace quillane::ods
