// The targets of links in a page. A link's target comes from the workbook, so it is hostile
// input: it is cleaned the way a browser cleans a URL before the check, and the check is made on
// exactly the text that is written, so no control character can hide a scheme from it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillane::publish {

// The href of a link to a URL or a file (`isFile`: the workbook stored it as a file path), with
// `location` as its mark after '#'. Control characters are dropped everywhere and blanks trimmed
// at both ends, as a browser does; then only http, https, ftp, mailto and file URLs, and paths
// without a scheme (relative ones, drive paths, shares), give a link. Anything else, such as
// javascript:, data: or vbscript:, gives nothing and the cell is written as plain text.
std::optional<std::string> ExternalHref(std::string_view target, std::string_view location,
                                        bool isFile);

// The scheme of a cleaned URL in lower case ("http" for "HTTP://x"), or empty when it has none.
// A single letter before the colon is a drive, not a scheme.
std::string UrlScheme(std::string_view url);

// Percent-encodes a file name or relative path for a URL: everything but letters, digits and
// "-._~/" is encoded, so the result needs no further escaping in an attribute.
void AppendUrlPath(std::string& out, std::string_view path);

}  // namespace quillane::publish
