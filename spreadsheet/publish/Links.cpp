#include "spreadsheet/publish/Links.h"

#include <algorithm>
#include <cctype>
#include <cstdint>

namespace quillane::publish {

namespace {

bool IsControl(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u < 0x20 || u == 0x7F;
}

bool IsAsciiAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Drops every control character (a browser drops tabs and line breaks anywhere and other
// controls at the ends; dropping all of them leaves nothing for a later step to strip) and trims
// blanks at both ends.
std::string Clean(std::string_view text) {
  std::string clean;
  clean.reserve(text.size());
  for (char c : text) {
    if (!IsControl(c)) clean += c;
  }
  const size_t first = clean.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  clean.erase(clean.find_last_not_of(' ') + 1);
  clean.erase(0, first);
  return clean;
}

void AppendEscaped(std::string& href, std::string_view text, std::string_view encode) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (encode.find(c) != std::string_view::npos) {
      href += '%';
      href += kHex[u >> 4];
      href += kHex[u & 0xF];
    } else {
      href += c;
    }
  }
}

// Characters that cannot stand as they are in a URL; a path also escapes what would end it.
constexpr std::string_view kUrlEncoded = " \"<>\\";
constexpr std::string_view kPathEncoded = "% #?\"<>";

}  // namespace

std::string UrlScheme(std::string_view url) {
  if (url.empty() || !IsAsciiAlpha(url[0])) return {};
  size_t i = 1;
  while (i < url.size() && (IsAsciiAlpha(url[i]) || (url[i] >= '0' && url[i] <= '9') ||
                            url[i] == '+' || url[i] == '-' || url[i] == '.')) {
    ++i;
  }
  if (i < 2 || i >= url.size() || url[i] != ':') return {};
  std::string scheme(url.substr(0, i));
  for (char& c : scheme) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return scheme;
}

std::optional<std::string> ExternalHref(std::string_view target, std::string_view location,
                                        bool isFile) {
  const std::string url = Clean(target);
  const std::string mark = Clean(location);
  std::string href;
  const std::string scheme = UrlScheme(url);
  if (!scheme.empty()) {
    static constexpr std::string_view kSafe[] = {"http", "https", "ftp", "mailto", "file"};
    if (std::find(std::begin(kSafe), std::end(kSafe), scheme) == std::end(kSafe)) {
      return std::nullopt;
    }
    AppendEscaped(href, url, kUrlEncoded);
  } else if (isFile || !url.empty()) {
    // A file path: drive paths and shares become file URLs, relative paths stay relative.
    std::string path = url;
    std::replace(path.begin(), path.end(), '\\', '/');
    if (path.size() >= 2 && IsAsciiAlpha(path[0]) && path[1] == ':') {
      href = "file:///";
    } else if (path.rfind("//", 0) == 0) {
      href = "file:";
    }
    AppendEscaped(href, path, kPathEncoded);
  }
  if (href.empty() && mark.empty()) return std::nullopt;
  if (!mark.empty()) {
    href += '#';
    AppendEscaped(href, mark, kUrlEncoded);
  }
  return href;
}

void AppendUrlPath(std::string& out, std::string_view path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (char ch : path) {
    const auto c = static_cast<uint8_t>(ch);
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
        c == '.' || c == '_' || c == '~' || c == '/') {
      out += ch;
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 0xF];
    }
  }
}

}  // namespace quillane::publish
