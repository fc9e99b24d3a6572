// Small OpenDocument spreadsheets written by the tests: a flat document around a body, or a
// package of parts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillane::testing {

inline constexpr const char* kOdsNamespaces =
    R"( xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0")"
    R"( xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0")"
    R"( xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0")"
    R"( xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0")"
    R"( xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0")"
    R"( xmlns:number="urn:oasis:names:tc:opendocument:xmlns:datastyle:1.0")"
    R"( xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0")"
    R"( xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0")"
    R"( xmlns:xlink="http://www.w3.org/1999/xlink")"
    R"( xmlns:dc="http://purl.org/dc/elements/1.1/")"
    R"( xmlns:calcext="urn:org:documentfoundation:names:experimental:calc:xmlns:calcext:1.0")";

// A flat document: `styles` inside office:styles, `automatic` inside office:automatic-styles,
// `tables` inside office:spreadsheet.
inline std::string FlatDocument(const std::string& tables, const std::string& styles = "",
                                const std::string& automatic = "") {
  return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><office:document") +
         kOdsNamespaces + " office:mimetype=\"application/vnd.oasis.opendocument.spreadsheet\">" +
         "<office:styles>" + styles + "</office:styles><office:automatic-styles>" + automatic +
         "</office:automatic-styles><office:body><office:spreadsheet>" + tables +
         "</office:spreadsheet></office:body></office:document>";
}

// content.xml of a package.
inline std::string ContentXml(const std::string& tables, const std::string& automatic = "") {
  return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><office:document-content") +
         kOdsNamespaces + "><office:automatic-styles>" + automatic +
         "</office:automatic-styles><office:body><office:spreadsheet>" + tables +
         "</office:spreadsheet></office:body></office:document-content>";
}

// styles.xml of a package.
inline std::string StylesXml(const std::string& styles) {
  return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><office:document-styles") +
         kOdsNamespaces + "><office:styles>" + styles + "</office:styles></office:document-styles>";
}

inline std::vector<uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

}  // namespace quillane::testing
