// File names and texts between this program's UTF-8 and the UTF-16 of Windows' wide calls.
// On Windows the C library's own conversion of narrow texts (used by std::filesystem::path) is
// replaced by UTF-8 as well, so a path made from a std::string names the file the text spells,
// whatever the system's code page.
#pragma once

#ifdef _WIN32
#include <string>
#include <string_view>

namespace quillane::files {

// UTF-8 to UTF-16; bytes that are not UTF-8 become U+FFFD.
std::wstring Wide(std::string_view utf8);
// UTF-16 to UTF-8; unpaired surrogates become U+FFFD.
std::string Utf8(std::wstring_view wide);

}  // namespace quillane::files
#endif
