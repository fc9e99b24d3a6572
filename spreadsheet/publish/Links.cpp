#include "spreadsheet/publish/Links.h"

#include <algorithm>
#include <cctype>
#include <cstdint>

#include "support/Ascii.h"

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

// The one percent-encoder of the publisher: every byte `keep` refuses becomes %XX.
template <typename Keep>
void PercentEncode(std::string& out, std::string_view text, Keep keep) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (keep(u)) {
      out += c;
    } else {
      out += '%';
      out += kHex[u >> 4];
      out += kHex[u & 0xF];
    }
  }
}

void AppendEscaped(std::string& href, std::string_view text, std::string_view encode) {
  PercentEncode(href, text, [&](unsigned char u) {
    return encode.find(static_cast<char>(u)) == std::string_view::npos;
  });
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
  PercentEncode(out, path, [](unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~' || c == '/';
  });
}

void AppendCellName(std::string& out, CellRef cell) {
  char letters[8];
  int n = 0;
  uint32_t c = static_cast<uint32_t>(cell.col) + 1;
  while (c > 0 && n < 8) {
    letters[n++] = static_cast<char>('A' + (c - 1) % 26);
    c = (c - 1) / 26;
  }
  while (n > 0) out += letters[--n];
  out += std::to_string(static_cast<uint64_t>(cell.row) + 1);
}

std::optional<Place> ParsePlace(std::string_view location) {
  std::string_view loc = location;
  while (!loc.empty() && static_cast<unsigned char>(loc.front()) <= ' ') loc.remove_prefix(1);
  while (!loc.empty() && static_cast<unsigned char>(loc.back()) <= ' ') loc.remove_suffix(1);
  Place place;
  if (size_t bang = loc.rfind('!'); bang != std::string_view::npos) {
    place.sheet = loc.substr(0, bang);
    loc = loc.substr(bang + 1);
    if (place.sheet.size() >= 2 && place.sheet.front() == '\'' && place.sheet.back() == '\'') {
      place.sheet = place.sheet.substr(1, place.sheet.size() - 2);
    }
  }
  if (size_t colon = loc.find(':'); colon != std::string_view::npos) loc = loc.substr(0, colon);
  size_t i = 0;
  if (i < loc.size() && loc[i] == '$') ++i;
  uint32_t col = 0, row = 0;
  size_t letters = 0, digits = 0;
  while (i < loc.size() && IsAsciiAlpha(loc[i]) && letters < 3) {
    col = col * 26 + static_cast<uint32_t>(support::AsciiUpper(loc[i]) - 'A' + 1);
    ++i;
    ++letters;
  }
  if (i < loc.size() && loc[i] == '$') ++i;
  while (i < loc.size() && loc[i] >= '0' && loc[i] <= '9' && digits < 7) {
    row = row * 10 + static_cast<uint32_t>(loc[i] - '0');
    ++i;
    ++digits;
  }
  if (i != loc.size() || letters == 0 || digits == 0 || row == 0) return std::nullopt;
  place.cell = {row - 1, static_cast<uint16_t>(col - 1)};
  return place;
}

bool PlaceOnSheet(const Place& place, std::string_view sheetName) {
  return place.sheet.empty() || support::EqualsNoCase(place.sheet, sheetName);
}

std::string OtherSheetPage(const model::Workbook& book, size_t own, std::string_view pageName,
                           size_t target) {
  auto worksheetNumber = [&](size_t index) {
    int number = 0;
    for (size_t i = 0; i <= index && i < book.sheets.size(); ++i) {
      if (book.sheets[i].type == model::SheetType::Worksheet) ++number;
    }
    return index < book.sheets.size() && book.sheets[index].type == model::SheetType::Worksheet
               ? number
               : 0;
  };
  const int ownNumber = worksheetNumber(own), otherNumber = worksheetNumber(target);
  if (ownNumber == 0 || otherNumber == 0) return {};
  std::string suffix = "_";
  suffix += std::to_string(ownNumber);
  const size_t dot = pageName.rfind('.');
  const std::string_view stem = pageName.substr(0, dot);
  if (stem.size() <= suffix.size() ||
      stem.compare(stem.size() - suffix.size(), suffix.size(), suffix) != 0) {
    return {};
  }
  std::string page(stem.substr(0, stem.size() - suffix.size()));
  page += '_';
  page += std::to_string(otherNumber);
  if (dot != std::string_view::npos) page += pageName.substr(dot);
  return page;
}

std::optional<std::string> PlaceHref(const model::Workbook& book, size_t sheetIndex,
                                     std::string_view pageName, std::string_view location) {
  const std::optional<Place> place = ParsePlace(location);
  if (!place || sheetIndex >= book.sheets.size()) return std::nullopt;
  size_t target = sheetIndex;
  if (!PlaceOnSheet(*place, book.sheets[sheetIndex].name)) {
    // Of two sheets of one name (damaged files), the last.
    target = book.sheets.size();
    for (size_t i = 0; i < book.sheets.size(); ++i) {
      if (support::EqualsNoCase(book.sheets[i].name, place->sheet)) target = i;
    }
    if (target == book.sheets.size()) return std::nullopt;
  }
  std::string href;
  if (target != sheetIndex) {
    const std::string page = OtherSheetPage(book, sheetIndex, pageName, target);
    if (page.empty()) return std::nullopt;
    AppendUrlPath(href, page);
  }
  href += '#';
  AppendCellName(href, place->cell);
  return href;
}

}  // namespace quillane::publish
