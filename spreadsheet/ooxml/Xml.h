// The parts of a package as XML (spreadsheet/xml without known namespaces: elements by their local
// name, attributes looked up by local name), with failures as model::ReadError naming the part.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "spreadsheet/xml/Xml.h"

namespace quillane::ooxml {

using xml::Attrs;

// Parses a part that arrives in pieces: Feed each piece in order, then Finish, which throws what
// ParseXml throws. Feed never throws: after a failure the pieces are passed over.
class XmlFeed {
 public:
  XmlFeed(xml::Handler& handler, std::string part) : stream_(handler), part_(std::move(part)) {}

  void Feed(std::span<const uint8_t> piece) { stream_.Feed(piece); }
  void Finish();

 private:
  xml::Stream stream_;
  std::string part_;
};

// Parses a whole part. `part` names it in error messages: a part that is not well-formed or is
// refused is damage, and the handler's exceptions come as model::ReadError.
void ParseXml(std::span<const uint8_t> document, xml::Handler& handler, const std::string& part);

}  // namespace quillane::ooxml
