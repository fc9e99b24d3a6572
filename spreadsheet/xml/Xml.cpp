#include "spreadsheet/xml/Xml.h"

#include <expat.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <exception>
#include <memory>
#include <optional>

#include "support/Utf8.h"

namespace quillane::xml {

class Stream::Parser {
 public:
  Parser(Handler& handler, std::span<const Namespace> known, bool expatOnly)
      : handler_(handler), known_(known) {
    if (expatOnly) StartExpat();
  }
  ~Parser() {
    if (expat_) XML_ParserFree(expat_);
  }

  // Parses the next piece; after a failure the pieces are passed over.
  void Feed(std::span<const uint8_t> piece, bool last) {
    if (failed_) return;
    if (expat_) return FeedExpat(piece, last);
    const char* data = reinterpret_cast<const char*>(piece.data());
    if (buf_.empty() && piece.size() >= kPrologue) {
      const size_t used = Scan(data, piece.size(), last);
      if (!failed_ && !expat_) Keep(data + used, piece.size() - used, last);
      if (expat_) FeedExpat(piece.subspan(used), last);
      return;
    }
    // A construct cut by the end of the last piece: joined with this one, and scanned again
    // only once the bytes kept have doubled, so one long construct costs linear time.
    buf_.append(data, piece.size());
    if (!last && buf_.size() < want_) return;
    const std::string joined = std::move(buf_);
    buf_.clear();
    const size_t used = Scan(joined.data(), joined.size(), last);
    if (expat_) {
      FeedExpat({reinterpret_cast<const uint8_t*>(joined.data()) + used, joined.size() - used},
                last);
    } else if (!failed_) {
      Keep(joined.data() + used, joined.size() - used, last);
    }
  }

  Refusal Refused() const { return refusal_; }

  std::string Finish() {
    Feed({}, true);
    if (exception_) std::rethrow_exception(exception_);
    return refused_.empty() ? error_ : refused_;
  }

 private:
  static constexpr size_t kPrologue = 512;  // enough to see the encoding of a document

  // ---- Namespaces and the handler, for both readers.

  // The reader's prefix of a namespace: "?" for namespaces it does not know.
  std::string_view Canonical(std::string_view uri) const {
    for (const Namespace& ns : known_) {
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
  bool Name(std::string_view raw, bool attribute, std::string& out, std::string_view& name) const {
    name = raw;
    if (known_.empty()) {  // local names
      if (!attribute) name = LocalName(raw);
      return true;
    }
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

  // An element starts: `raw` holds its attributes as the document names them (values decoded).
  // False when the reading stops.
  bool StartElement(std::string_view name, const std::vector<Attribute>& raw) {
    if (++depth_ > kMaxDepth) {
      Stop(Refusal::Depth,
           "The elements are nested more than " + std::to_string(kMaxDepth) + " deep");
      return false;
    }
    if (known_.empty()) {  // local names: the attributes as they stand, no prefix checked
      const std::string_view local = LocalName(name);
      return Call([&] { handler_.Start(local, Attrs(raw)); });
    }
    scopes_.push_back(bindings_.size());
    for (const Attribute& a : raw) {
      if (IsDeclaration(a.name)) {
        const std::string_view prefix = a.name.size() > 5 ? a.name.substr(6) : "";
        bindings_.emplace_back(std::string(prefix), a.value.empty() ? "" : Canonical(a.value));
      }
    }
    if (names_.size() < raw.size() + 1) names_.resize(raw.size() + 1);
    attributes_.clear();
    std::string_view resolved;
    for (size_t i = 0; i < raw.size(); ++i) {
      if (IsDeclaration(raw[i].name)) continue;
      if (!Name(raw[i].name, true, names_[i + 1], resolved)) return Unbound();
      attributes_.push_back({resolved, raw[i].value});
    }
    if (!Name(name, false, names_[0], resolved)) return Unbound();
    return Call([&] { handler_.Start(resolved, Attrs(attributes_)); });
  }

  bool EndElement(std::string_view name) {
    --depth_;
    if (names_.empty()) names_.resize(1);
    std::string_view resolved;
    Name(name, false, names_[0], resolved);
    const bool going = Call([&] { handler_.End(resolved); });
    if (!scopes_.empty()) {
      bindings_.resize(scopes_.back());
      scopes_.pop_back();
    }
    return going;
  }

  bool TextData(std::string_view text) {
    return Call([&] { handler_.Text(text); });
  }

  bool Unbound() {
    unbound_ = true;
    Fail("unbound prefix");
    return false;
  }

  // The handler's exceptions are not thrown through the parsers: kept, and thrown again by
  // Finish.
  template <typename F>
  bool Call(F&& f) {
    if (exception_) return false;
    try {
      f();
      return true;
    } catch (...) {
      exception_ = std::current_exception();
      failed_ = true;
      if (expat_) XML_StopParser(expat_, XML_FALSE);
      return false;
    }
  }

  void Stop(Refusal refusal, std::string why) {
    if (refused_.empty()) refused_ = std::move(why), refusal_ = refusal;
    failed_ = true;
    if (expat_) XML_StopParser(expat_, XML_FALSE);
  }

  // ---- The scanner.

  // Why the document is not well-formed; the line is counted up to where the scan stopped.
  bool Fail(std::string_view why, const char* from = nullptr, const char* at = nullptr) {
    if (!failed_ && !expat_) {
      if (from && at) line_ += static_cast<uint64_t>(std::count(from, at, '\n'));
      error_ = std::string(why) + " at line " + std::to_string(line_);
    }
    failed_ = true;
    if (expat_) XML_StopParser(expat_, XML_FALSE);
    return false;
  }

  // The bytes after the last whole construct, kept for the next piece.
  void Keep(const char* rest, size_t size, bool last) {
    if (last) {
      if (size > 0 && !failed_) Fail("unclosed token", rest, rest);
      if (!failed_ && !sawRoot_) Fail("no element found");
      if (!failed_ && depth_ > 0) Fail("no element found");
      return;
    }
    buf_.assign(rest, size);
    want_ = std::max<size_t>(2 * size, kPrologue);
  }

  static bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
  static bool IsNameStart(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' || c >= 0x80;
  }
  static bool IsNameChar(unsigned char c) {
    return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
  }

  // The name at p (before end): its length, 0 when none starts there.
  static size_t NameLength(const char* p, const char* end) {
    if (p >= end || !IsNameStart(static_cast<unsigned char>(*p))) return 0;
    const char* q = p + 1;
    while (q < end && IsNameChar(static_cast<unsigned char>(*q))) ++q;
    return static_cast<size_t>(q - p);
  }

  static bool IsXmlChar(uint32_t cp) {
    return cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp != 0xFFFE && cp != 0xFFFF);
  }

  // The reference at p ('&' ... ';', before end) appended to `out`; its length, or 0 when it is
  // not one of the predefined entities or a character reference of an XML character.
  static size_t Reference(const char* p, const char* end, std::string& out, bool& undefined) {
    const char* semi = static_cast<const char*>(std::memchr(p, ';', std::min<size_t>(end - p, 16)));
    if (!semi) return 0;
    const std::string_view ref(p + 1, static_cast<size_t>(semi - p - 1));
    const size_t length = static_cast<size_t>(semi - p) + 1;
    if (ref.size() >= 2 && ref[0] == '#') {
      uint32_t cp = 0;
      const bool hex = ref[1] == 'x';
      const std::string_view digits = ref.substr(hex ? 2 : 1);
      if (digits.empty() || digits.size() > 8) return 0;
      for (char c : digits) {
        uint32_t d;
        if (c >= '0' && c <= '9') {
          d = static_cast<uint32_t>(c - '0');
        } else if (hex && ((c | 0x20) >= 'a' && (c | 0x20) <= 'f')) {
          d = static_cast<uint32_t>((c | 0x20) - 'a' + 10);
        } else {
          return 0;
        }
        cp = cp * (hex ? 16 : 10) + d;
        if (cp > 0x10FFFF) return 0;
      }
      if (!IsXmlChar(cp) || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
      support::AppendUtf8(out, cp);
      return length;
    }
    static constexpr std::pair<std::string_view, char> kEntities[] = {
        {"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"quot", '"'}, {"apos", '\''}};
    for (const auto& [entity, c] : kEntities) {
      if (ref == entity) {
        out += c;
        return length;
      }
    }
    undefined = NameLength(ref.data(), ref.data() + ref.size()) == ref.size() && !ref.empty();
    return 0;
  }

  enum class Data { Text, Attribute, Section };

  // Checks and decodes character data [p, end): references resolved (not in a CDATA section),
  // line ends as line feeds (in attribute values every blank as a space), the characters
  // checked. Returns the text (a view of the input when nothing changes it) or nullopt when it
  // is not well-formed.
  std::optional<std::string_view> Decode(const char* p, const char* end, Data kind,
                                         std::string& scratch) {
    const bool attribute = kind == Data::Attribute, section = kind == Data::Section;
    const char* q = p;
    // The plain prefix: printable ASCII without references.
    while (q < end) {
      const auto c = static_cast<unsigned char>(*q);
      if (c < 0x20 || c >= 0x80 || c == '&' || c == '<') break;
      ++q;
    }
    if (q == end) return std::string_view(p, static_cast<size_t>(end - p));
    scratch.assign(p, q);
    bool changed = false;
    while (q < end) {
      const auto c = static_cast<unsigned char>(*q);
      if (c >= 0x20 && c < 0x80 && ((c != '&' && c != '<') || section)) {
        scratch += static_cast<char>(c);
        ++q;
      } else if (c == '&') {
        bool undefined = false;
        const size_t n = Reference(q, end, scratch, undefined);
        if (n == 0) {
          Fail(undefined ? "undefined entity" : "not well-formed (invalid token)");
          return std::nullopt;
        }
        q += n;
        changed = true;
      } else if (c == '<') {
        Fail("not well-formed (invalid token)");
        return std::nullopt;
      } else if (c == '\r') {
        scratch += attribute ? ' ' : '\n';
        q += (q + 1 < end && q[1] == '\n') ? 2 : 1;
        changed = true;
      } else if (c == '\n' || c == '\t') {
        scratch += attribute ? ' ' : static_cast<char>(c);
        changed = changed || attribute;
        ++q;
      } else if (c < 0x20) {
        Fail("not well-formed (invalid token)");
        return std::nullopt;
      } else {
        uint32_t cp = 0;
        const size_t n =
            support::DecodeUtf8(std::string_view(q, static_cast<size_t>(end - q)), 0, cp);
        if (n == 0 || !IsXmlChar(cp)) {
          Fail("not well-formed (invalid token)");
          return std::nullopt;
        }
        scratch.append(q, n);
        q += n;
      }
    }
    if (!changed) return std::string_view(p, static_cast<size_t>(end - p));
    return std::string_view(scratch);
  }

  // Character data between markup: outside the root element only blanks may stand.
  bool Text(const char* p, const char* end) {
    if (depth_ == 0) {
      for (const char* q = p; q < end; ++q) {
        if (!IsSpace(*q)) return Fail(sawRoot_ ? "junk after document element" : "syntax error");
      }
      return true;
    }
    const auto text = Decode(p, end, Data::Text, text_);
    return text && TextData(*text);
  }

  // The end of the construct that starts at p and ends with `close`, or nullptr.
  static const char* Find(const char* p, const char* end, std::string_view close) {
    const std::string_view rest(p, static_cast<size_t>(end - p));
    const size_t at = rest.find(close);
    return at == std::string_view::npos ? nullptr : p + at + close.size();
  }

  // The XML declaration or the first bytes: a document in another encoding than UTF-8 goes to
  // expat. Returns false when more bytes are needed to tell.
  bool Prologue(const char*& p, const char* end, bool last) {
    const std::string_view head(p, static_cast<size_t>(end - p));
    if (!last && head.size() < kPrologue) return false;
    if (head.size() >= 2 &&
        ((head[0] == '\xFE' && head[1] == '\xFF') || (head[0] == '\xFF' && head[1] == '\xFE') ||
         head[0] == '\0' || head[1] == '\0')) {
      StartExpat();
      return true;
    }
    if (head.starts_with("\xEF\xBB\xBF")) p += 3;
    const std::string_view rest(p, static_cast<size_t>(end - p));
    if (!rest.starts_with("<?xml") || rest.size() < 6 || !IsSpace(rest[5])) {
      prologueDone_ = true;
      return true;
    }
    const size_t close = rest.substr(0, kPrologue).find("?>");
    if (close == std::string_view::npos) {
      StartExpat();  // a declaration this long is expat's to judge
      return true;
    }
    const std::string_view declaration = rest.substr(0, close);
    const size_t at = declaration.find("encoding");
    if (at != std::string_view::npos) {
      size_t q = declaration.find_first_of("\"'", at);
      if (q != std::string_view::npos) {
        const size_t e = declaration.find(declaration[q], q + 1);
        std::string name(declaration.substr(q + 1, e == std::string_view::npos ? 0 : e - q - 1));
        for (char& c : name) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
        if (name != "UTF-8" && name != "UTF8" && name != "US-ASCII" && name != "ASCII") {
          StartExpat();
          return true;
        }
      }
    }
    p += close + 2;
    prologueDone_ = true;
    return true;
  }

  // What one step of the scan did: went past a construct (Next), met a construct cut by the end
  // of the piece (More), found the document not well-formed at `at` (Failed; an empty `why`
  // when the handler or Decode said why already), or was refused (Refused).
  struct Step {
    enum Kind { Next, More, Failed, Refused } kind = Next;
    std::string_view why = {};
    const char* at = nullptr;
  };
  static Step Bad(std::string_view why, const char* at) { return {Step::Failed, why, at}; }
  static Step Invalid(const char* at) { return Bad("not well-formed (invalid token)", at); }

  // Scans [data, data + n): calls the handler for every whole construct and returns how many
  // bytes it used; the rest is a construct cut by the end of the piece (or, when `last`, left
  // unclosed). Stops at a failure.
  size_t Scan(const char* data, size_t n, bool last) {
    const char* p = data;
    const char* const end = data + n;
    if (!prologueDone_) {
      const char* start = p;
      if (!Prologue(p, end, last)) return 0;
      if (failed_) return 0;
      if (expat_) return static_cast<size_t>(start - data);
    }
    while (p < end && !failed_) {
      Step step;
      if (*p != '<') {
        step = Characters(p, end, last);
      } else if (end - p < 2) {
        break;
      } else if (p[1] == '/') {
        step = EndTag(p, end);
      } else if (p[1] == '?') {
        step = Instruction(p, end);
      } else if (p[1] == '!') {
        step = Declaration(p, end, last);
      } else {
        step = StartTag(p, end, last);
      }
      if (step.kind == Step::More) break;
      if (step.kind == Step::Refused) return static_cast<size_t>(p - data);
      if (step.kind == Step::Failed) {
        Fail(step.why, data, step.at);
        return static_cast<size_t>(step.at - data);
      }
    }
    line_ += static_cast<uint64_t>(std::count(data, p, '\n'));
    return static_cast<size_t>(p - data);
  }

  // Character data up to the next '<' or as far as the piece holds whole references, line ends
  // and characters.
  Step Characters(const char*& p, const char* end, bool last) {
    const char* lt = static_cast<const char*>(std::memchr(p, '<', static_cast<size_t>(end - p)));
    const char* stop = lt ? lt : end;
    if (!lt && !last) {
      // A reference or a line end cut by the end of the piece waits for the rest.
      // (A reference is short: an '&' further back is either closed or an error.)
      for (const char* q = end; q > p && end - q < 16;) {
        if (*--q == '&') {
          if (!std::memchr(q, ';', static_cast<size_t>(end - q))) stop = q;
          break;
        }
      }
      if (stop > p && stop[-1] == '\r') --stop;
      // So does a character cut in its bytes.
      for (const char* q = stop; q > p && stop - q < 4;) {
        const auto c = static_cast<unsigned char>(*--q);
        if (c < 0x80) break;
        if (c >= 0xC0) {
          const ptrdiff_t need = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
          if (stop - q < need) stop = q;
          break;
        }
      }
    }
    if (stop > p && !Text(p, stop)) return Bad("", stop);
    p = stop;
    return {lt ? Step::Next : Step::More};
  }

  Step EndTag(const char*& p, const char* end) {
    const char* gt = static_cast<const char*>(std::memchr(p, '>', static_cast<size_t>(end - p)));
    if (!gt) return {Step::More};
    const size_t nameLength = NameLength(p + 2, gt);
    const char* q = p + 2 + nameLength;
    while (q < gt && IsSpace(*q)) ++q;
    if (nameLength == 0 || q != gt) return Invalid(p);
    const std::string_view name(p + 2, nameLength);
    if (open_.empty() || std::string_view(stack_).substr(open_.back()) != name) {
      return Bad("mismatched tag", p);
    }
    stack_.resize(open_.back());
    open_.pop_back();
    if (!EndElement(name)) return Bad("", p);
    p = gt + 1;
    return {};
  }

  // A processing instruction, passed over.
  Step Instruction(const char*& p, const char* end) {
    const char* close = Find(p + 2, end, "?>");
    if (!close) return {Step::More};
    // The target: a name, then a blank or the end.
    const size_t target = NameLength(p + 2, close - 2);
    const std::string_view name(p + 2, target);
    const char* after = p + 2 + target;
    if (target == 0 || (after != close - 2 && !IsSpace(*after))) return Invalid(p);
    if (name.size() == 3 && (name[0] | 0x20) == 'x' && (name[1] | 0x20) == 'm' &&
        (name[2] | 0x20) == 'l') {
      return Bad("XML or text declaration not at start of entity", p);
    }
    p = close;
    return {};
  }

  // A comment, a CDATA section or the document type declaration.
  Step Declaration(const char*& p, const char* end, bool last) {
    const size_t left = static_cast<size_t>(end - p);
    if (left < 9 && !last) return {Step::More};
    const std::string_view rest(p, left);
    if (rest.starts_with("<!--")) {
      const char* close = Find(p + 4, end, "-->");
      if (!close) return {Step::More};
      p = close;
    } else if (rest.starts_with("<![CDATA[")) {
      const char* close = Find(p + 9, end, "]]>");
      if (!close) return {Step::More};
      if (depth_ == 0) return Bad("syntax error", p);
      // Taken as it stands, but for line ends and the characters.
      const auto text = Decode(p + 9, close - 3, Data::Section, text_);
      if (!text || (!text->empty() && !TextData(*text))) return Bad("", p);
      p = close;
    } else if (rest.starts_with("<!DOCTYPE")) {
      return DocumentType(p, end);
    } else {
      return Invalid(p);
    }
    return {};
  }

  Step DocumentType(const char*& p, const char* end) {
    if (sawRoot_) return Bad("syntax error", p);
    // To its end, past an internal subset in brackets and quoted texts.
    const char* q = p + 9;
    int brackets = 0;
    char quote = 0;
    bool entities = false, defaults = false;
    for (; q < end; ++q) {
      if (quote) {
        if (*q == quote) quote = 0;
      } else if (*q == '"' || *q == '\'') {
        quote = *q;
      } else if (*q == '[') {
        ++brackets;
      } else if (*q == ']') {
        --brackets;
      } else if (*q == '<') {
        const std::string_view declaration(q, static_cast<size_t>(end - q));
        entities = entities || declaration.starts_with("<!ENTITY");
        defaults = defaults || declaration.starts_with("<!ATTLIST");
      } else if (*q == '>' && brackets <= 0) {
        break;
      }
    }
    if (entities || defaults) {
      // Entities are refused outright; default attributes would add to what the document
      // says in a way this reader does not follow.
      Stop(
          entities ? Refusal::Entities : Refusal::DefaultAttributes,
          entities ? "The document declares entities" : "The document declares default attributes");
      return {Step::Refused};
    }
    if (q == end) return {Step::More};
    p = q + 1;
    return {};
  }

  Step StartTag(const char*& p, const char* end, bool last) {
    const size_t nameLength = NameLength(p + 1, end);
    if (nameLength == 0) {
      if (p + 1 == end) return {Step::More};
      return Invalid(p);
    }
    if (sawRoot_ && depth_ == 0) return Bad("junk after document element", p);
    const char* q = p + 1 + nameLength;
    bool empty = false, whole = false;
    if (const Step step = TagAttributes(p, q, end, empty, whole); step.kind != Step::Next)
      return step;
    if (!whole) {
      if (last) return Bad("unclosed token", p);
      return {Step::More};
    }
    if (!UniqueAttributes()) return Bad("duplicate attribute", p);
    const std::string_view name(p + 1, nameLength);
    if (open_.size() >= static_cast<size_t>(kMaxDepth)) {
      // StartElement refuses it with its own message.
    } else {
      open_.push_back(stack_.size());
      stack_.append(name);
    }
    sawRoot_ = true;
    if (!StartElement(name, raw_)) return Bad("", p);
    if (empty) {
      stack_.resize(open_.back());
      open_.pop_back();
      if (!EndElement(name)) return Bad("", p);
    }
    p = q;
    return {};
  }

  // The attributes of the start tag at `p` from `q` on, into raw_, up to the tag's end (`whole`;
  // `empty` for "/>"); `q` ends past the tag. A tag cut by the end of the piece is not `whole`.
  Step TagAttributes(const char* p, const char*& q, const char* end, bool& empty, bool& whole) {
    raw_.clear();
    size_t decoded = 0;
    for (;;) {
      const char* spaced = q;
      while (q < end && IsSpace(*q)) ++q;
      if (q >= end) break;
      if (*q == '>') {
        whole = true;
        ++q;
        break;
      }
      if (*q == '/') {
        if (q + 1 >= end) break;
        if (q[1] != '>') return Invalid(p);
        whole = empty = true;
        q += 2;
        break;
      }
      const size_t attributeLength = NameLength(q, end);
      if (attributeLength == 0 || q == spaced) {
        if (q + attributeLength >= end) break;
        return Invalid(p);
      }
      const std::string_view name(q, attributeLength);
      q += attributeLength;
      while (q < end && IsSpace(*q)) ++q;
      if (q >= end) break;
      if (*q != '=') return Invalid(p);
      ++q;
      while (q < end && IsSpace(*q)) ++q;
      if (q >= end) break;
      if (*q != '"' && *q != '\'') return Invalid(p);
      const char* close =
          static_cast<const char*>(std::memchr(q + 1, *q, static_cast<size_t>(end - q - 1)));
      if (!close) {
        q = end;
        break;
      }
      if (decoded == values_.size()) values_.emplace_back();
      const auto value = Decode(q + 1, close, Data::Attribute, values_[decoded]);
      if (!value) return Bad("", p);
      if (value->data() == values_[decoded].data()) ++decoded;
      raw_.push_back({name, *value});
      q = close + 1;
    }
    return {};
  }

  bool UniqueAttributes() {
    const size_t n = raw_.size();
    if (n < 2) return true;
    if (n <= 16) {
      for (size_t i = 0; i < n; ++i) {
        for (size_t j = i + 1; j < n; ++j) {
          if (raw_[i].name == raw_[j].name) return false;
        }
      }
      return true;
    }
    std::vector<std::string_view> names;
    names.reserve(n);
    for (const Attribute& a : raw_) names.push_back(a.name);
    std::sort(names.begin(), names.end());
    return std::adjacent_find(names.begin(), names.end()) == names.end();
  }

  // ---- expat, for documents in other encodings.

  void StartExpat() {
    // Namespaces are resolved here, not by expat: most names then pass through without a copy.
    expat_ = XML_ParserCreate(nullptr);
    XML_SetUserData(expat_, this);
    XML_SetElementHandler(expat_, &Parser::OnStart, &Parser::OnEnd);
    XML_SetCharacterDataHandler(expat_, &Parser::OnText);
    XML_SetEntityDeclHandler(expat_, &Parser::OnEntityDecl);
    XML_SetParamEntityParsing(expat_, XML_PARAM_ENTITY_PARSING_NEVER);
  }

  void FeedExpat(std::span<const uint8_t> piece, bool last) {
    if (failed_) return;
    // Fed in slices: expat takes an int length.
    constexpr size_t kSlice = size_t{1} << 30;
    size_t offset = 0;
    do {
      const size_t n = std::min(kSlice, piece.size() - offset);
      const bool end = last && offset + n == piece.size();
      const char* data = reinterpret_cast<const char*>(piece.data() + offset);
      if (XML_Parse(expat_, data, static_cast<int>(n), end) != XML_STATUS_OK || exception_ ||
          failed_) {
        if (!exception_ && refused_.empty()) {
          const XML_Error code = unbound_ ? XML_ERROR_UNBOUND_PREFIX : XML_GetErrorCode(expat_);
          error_ = std::string(XML_ErrorString(code)) + " at line " +
                   std::to_string(XML_GetCurrentLineNumber(expat_));
        }
        failed_ = true;
        return;
      }
      offset += n;
    } while (offset < piece.size());
  }

  static void OnStart(void* self, const XML_Char* name, const XML_Char** attrs) {
    auto& p = *static_cast<Parser*>(self);
    p.raw_.clear();
    for (size_t i = 0; attrs[2 * i]; ++i) p.raw_.push_back({attrs[2 * i], attrs[2 * i + 1]});
    p.StartElement(name, p.raw_);
  }

  static void OnEnd(void* self, const XML_Char* name) {
    static_cast<Parser*>(self)->EndElement(name);
  }

  static void OnText(void* self, const XML_Char* text, int length) {
    static_cast<Parser*>(self)->TextData(std::string_view(text, static_cast<size_t>(length)));
  }

  static void OnEntityDecl(void* self, const XML_Char*, int, const XML_Char*, int, const XML_Char*,
                           const XML_Char*, const XML_Char*, const XML_Char*) {
    static_cast<Parser*>(self)->Stop(Refusal::Entities, "The document declares entities");
  }

  Handler& handler_;
  std::span<const Namespace> known_;
  XML_Parser expat_ = nullptr;
  int depth_ = 0;
  std::vector<std::string> names_;
  std::vector<Attribute> attributes_;
  std::vector<Attribute> raw_;  // the attributes of the element being started
  // The namespace prefixes in scope (document prefix, reader's prefix; "" when undeclared) and
  // how many were in scope at each open element.
  std::vector<std::pair<std::string, std::string_view>> bindings_;
  std::vector<size_t> scopes_;
  bool unbound_ = false;
  std::string refused_, error_;
  Refusal refusal_ = Refusal::None;
  std::exception_ptr exception_;
  bool failed_ = false;

  // The scanner's state between pieces.
  std::string buf_;  // the start of a construct cut by the end of the last piece
  size_t want_ = 0;  // scan again once buf_ holds this many bytes
  bool prologueDone_ = false, sawRoot_ = false;
  uint64_t line_ = 1;
  std::string stack_;               // the names of the open elements, one after the other
  std::vector<size_t> open_;        // where each starts in stack_
  std::string text_;                // decoded character data
  std::deque<std::string> values_;  // decoded attribute values (kept in place as it grows)
};

Stream::Stream(Handler& handler, std::span<const Namespace> known, bool expatOnly)
    : parser_(std::make_unique<Parser>(handler, known, expatOnly)) {}
Stream::~Stream() = default;
void Stream::Feed(std::span<const uint8_t> piece) { parser_->Feed(piece, false); }
std::string Stream::Finish() { return parser_->Finish(); }
Refusal Stream::Refused() const { return parser_->Refused(); }

std::string Parse(std::span<const uint8_t> document, Handler& handler,
                  std::span<const Namespace> known) {
  Stream stream(handler, known);
  stream.Feed(document);
  return stream.Finish();
}

}  // namespace quillane::xml
