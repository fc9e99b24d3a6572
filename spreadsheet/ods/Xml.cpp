#include "spreadsheet/ods/Xml.h"

#include <expat.h>

#include <algorithm>
#include <exception>
#include <memory>

namespace quillane::ods {

namespace {

constexpr char kSeparator = '\x01';

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
    parser_ = XML_ParserCreateNS(nullptr, kSeparator);
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
          error_ = std::string(XML_ErrorString(XML_GetErrorCode(parser_))) + " at line " +
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
  // "uri\x01local" -> "prefix:local" in `out`.
  static std::string_view Name(const char* raw, std::string& out) {
    const std::string_view full(raw);
    const size_t sep = full.find(kSeparator);
    if (sep == std::string_view::npos) return full;
    const std::string_view uri = full.substr(0, sep), local = full.substr(sep + 1);
    std::string_view prefix = "?";
    for (const Namespace& ns : kNamespaces) {
      if (ns.uri == uri) {
        prefix = ns.prefix;
        break;
      }
    }
    out.assign(prefix);
    out += ':';
    out += local;
    return out;
  }

  static void OnStart(void* self, const XML_Char* name, const XML_Char** attrs) {
    auto& p = *static_cast<Parser*>(self);
    if (++p.depth_ > kMaxXmlDepth) {
      p.Stop("The elements are nested more than " + std::to_string(kMaxXmlDepth) + " deep");
      return;
    }
    size_t count = 0;
    while (attrs[2 * count]) ++count;
    if (p.names_.size() < count + 1) p.names_.resize(count + 1);
    p.attributes_.clear();
    for (size_t i = 0; i < count; ++i) {
      p.attributes_.push_back({Name(attrs[2 * i], p.names_[i + 1]), attrs[2 * i + 1]});
    }
    p.Call([&] { p.handler_.Start(Name(name, p.names_[0]), p.attributes_); });
  }

  static void OnEnd(void* self, const XML_Char* name) {
    auto& p = *static_cast<Parser*>(self);
    --p.depth_;
    if (p.names_.empty()) p.names_.resize(1);
    p.Call([&] { p.handler_.End(Name(name, p.names_[0])); });
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
