// The namespaces the OpenDocument reader knows, and the prefix its names carry for each whatever
// prefix a document binds ("table:table-cell"); names of other namespaces come as "?:name".
#pragma once

#include "spreadsheet/xml/Xml.h"

namespace quillane::ods {

inline constexpr xml::Namespace kNamespaces[] = {
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

}  // namespace quillane::ods
