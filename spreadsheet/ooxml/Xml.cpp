#include "spreadsheet/ooxml/Xml.h"

#include <expat.h>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "spreadsheet/model/ReadError.h"

namespace quillane::ooxml {

std::string_view LocalName(std::string_view name) {
  const size_t colon = name.rfind(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

const char* Attrs::Get(std::string_view local) const {
  for (const char** p = list_; *p != nullptr; p += 2) {
    if (LocalName(*p) == local) return p[1];
  }
  return nullptr;
}

double Attrs::Number(std::string_view local, double fallback) const {
  // from_chars, not strtod: the process's locale (a window's) must not change the decimal point.
  std::string_view v = View(local);
  if (!v.empty() && v.front() == '+') v.remove_prefix(1);
  double d = 0;
  const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), d);
  (void)end;
  return ec == std::errc() && std::isfinite(d) ? d : fallback;
}

int64_t Attrs::Int(std::string_view local, int64_t fallback) const {
  std::string_view v = View(local);
  if (v.empty()) return fallback;
  int64_t out = 0;
  auto [ptr, ec] = std::from_chars(v.data(), v.data() + v.size(), out);
  if (ec != std::errc()) {
    // Some writers put "3.0" where an integer belongs.
    const double d = Number(local, static_cast<double>(fallback));
    return d > -9e18 && d < 9e18 ? static_cast<int64_t>(d) : fallback;
  }
  (void)ptr;
  return out;
}

bool Attrs::Bool(std::string_view local, bool fallback) const {
  std::string_view v = View(local);
  if (v == "1" || v == "true" || v == "on") return true;
  if (v == "0" || v == "false" || v == "off") return false;
  return fallback;
}

namespace {

struct State {
  XML_Parser parser = nullptr;
  XmlHandler* handler = nullptr;
  int depth = 0;
  const char* refused = nullptr;
  std::string error;  // an exception of the handler, carried over expat's C frames
  bool bad = false;
};

void Stop(State* s, const char* why) {
  if (s->refused == nullptr) s->refused = why;
  XML_StopParser(s->parser, XML_FALSE);
}

void XMLCALL OnStart(void* data, const XML_Char* name, const XML_Char** attrs) {
  auto* s = static_cast<State*>(data);
  if (++s->depth > kMaxDepth) return Stop(s, "its elements nest too deep");
  try {
    s->handler->Start(LocalName(name), Attrs(attrs));
  } catch (const std::exception& e) {
    s->error = e.what();
    s->bad = true;
    XML_StopParser(s->parser, XML_FALSE);
  }
}

void XMLCALL OnEnd(void* data, const XML_Char* name) {
  auto* s = static_cast<State*>(data);
  --s->depth;
  try {
    s->handler->End(LocalName(name));
  } catch (const std::exception& e) {
    s->error = e.what();
    s->bad = true;
    XML_StopParser(s->parser, XML_FALSE);
  }
}

void XMLCALL OnText(void* data, const XML_Char* text, int length) {
  auto* s = static_cast<State*>(data);
  try {
    s->handler->Text(std::string_view(text, static_cast<size_t>(length)));
  } catch (const std::exception& e) {
    s->error = e.what();
    s->bad = true;
    XML_StopParser(s->parser, XML_FALSE);
  }
}

void XMLCALL OnEntityDecl(void* data, const XML_Char*, int, const XML_Char*, int, const XML_Char*,
                          const XML_Char*, const XML_Char*, const XML_Char*) {
  Stop(static_cast<State*>(data), "it declares entities");
}

}  // namespace

struct XmlFeed::Impl {
  XML_Parser parser = nullptr;
  State state;
  std::string part;
  XML_Status status = XML_STATUS_OK;

  void Parse(std::span<const uint8_t> piece, bool last) {
    if (status != XML_STATUS_OK) return;
    // Fed in slices that fit expat's int lengths.
    constexpr size_t kSlice = size_t{1} << 30;
    size_t at = 0;
    do {
      const size_t n = std::min(kSlice, piece.size() - at);
      const bool end = last && at + n == piece.size();
      status = XML_Parse(parser, reinterpret_cast<const char*>(piece.data() + at),
                         static_cast<int>(n), end ? XML_TRUE : XML_FALSE);
      at += n;
    } while (status == XML_STATUS_OK && at < piece.size());
  }
};

XmlFeed::XmlFeed(XmlHandler& handler, std::string part) : impl_(std::make_unique<Impl>()) {
  XML_Parser parser = XML_ParserCreate(nullptr);
  if (parser == nullptr) throw std::bad_alloc();
  impl_->parser = parser;
  impl_->part = std::move(part);
  State& state = impl_->state;
  state.parser = parser;
  state.handler = &handler;
  XML_SetUserData(parser, &state);
  XML_SetElementHandler(parser, OnStart, OnEnd);
  XML_SetCharacterDataHandler(parser, OnText);
  XML_SetEntityDeclHandler(parser, OnEntityDecl);
  XML_SetParamEntityParsing(parser, XML_PARAM_ENTITY_PARSING_NEVER);
}

XmlFeed::~XmlFeed() { XML_ParserFree(impl_->parser); }

void XmlFeed::Feed(std::span<const uint8_t> piece) { impl_->Parse(piece, false); }

void XmlFeed::Finish() {
  impl_->Parse({}, true);
  const State& state = impl_->state;
  const std::string& part = impl_->part;
  std::string message;
  if (state.bad) {
    message = state.error;
  } else if (state.refused != nullptr) {
    message = "The workbook is damaged: the part " + part + " is refused: " + state.refused;
  } else if (impl_->status != XML_STATUS_OK) {
    message = "The workbook is damaged: the part " + part + " is not well-formed XML (" +
              XML_ErrorString(XML_GetErrorCode(impl_->parser)) + " at line " +
              std::to_string(XML_GetCurrentLineNumber(impl_->parser)) + ")";
  }
  if (!message.empty()) throw model::ReadError(message);
}

void ParseXml(std::span<const uint8_t> document, XmlHandler& handler, const std::string& part) {
  XmlFeed feed(handler, part);
  feed.Feed(document);
  feed.Finish();
}

}  // namespace quillane::ooxml
