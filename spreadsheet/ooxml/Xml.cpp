#include "spreadsheet/ooxml/Xml.h"

#include <exception>

#include "spreadsheet/model/ReadError.h"

namespace quillane::ooxml {

void XmlFeed::Finish() {
  std::string error;
  try {
    error = stream_.Finish();
  } catch (const model::ReadError&) {
    throw;
  } catch (const std::exception& e) {
    throw model::ReadError(e.what());
  }
  if (error.empty()) return;
  const std::string damaged = "The workbook is damaged: the part " + part_;
  switch (stream_.Refused()) {
    case xml::Refusal::None:
      throw model::ReadError(damaged + " is not well-formed XML (" + error + ")");
    case xml::Refusal::Entities:
      throw model::ReadError(damaged + " is refused: it declares entities");
    case xml::Refusal::DefaultAttributes:
      throw model::ReadError(damaged + " is refused: it declares default attributes");
    case xml::Refusal::Depth:
      throw model::ReadError(damaged + " is refused: its elements nest too deep");
  }
}

void ParseXml(std::span<const uint8_t> document, xml::Handler& handler, const std::string& part) {
  XmlFeed feed(handler, part);
  feed.Feed(document);
  feed.Finish();
}

}  // namespace quillane::ooxml
