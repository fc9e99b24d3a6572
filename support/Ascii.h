// ASCII letter case for the texts the program compares without regard to case: switches, file
// patterns, format codes, sheet names, property keys. Only A-Z and a-z change; every other byte
// (UTF-8 included) compares as it is, whatever the locale.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillane::support {

constexpr char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }
constexpr char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

inline std::string AsciiLower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = AsciiLower(c);
  return lower;
}

constexpr bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

// True when `text` holds `part` at `at`, without regard to case.
constexpr bool HasNoCase(std::string_view text, std::size_t at, std::string_view part) {
  return at <= text.size() && text.size() - at >= part.size() &&
         EqualsNoCase(text.substr(at, part.size()), part);
}

}  // namespace quillane::support
