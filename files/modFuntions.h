// Path, file and size functions shared by the conversion and the window.
#pragma once

#include <cstdint>
#include <locale>
#include <string>

namespace quillane::files {

// The platform's path separator ("/" on POSIX, "\" on Windows, where "/" is accepted as well).
#ifdef _WIN32
inline constexpr char kSeparator = '\\';
inline bool IsSeparator(char c) { return c == '\\' || c == '/'; }
#else
inline constexpr char kSeparator = '/';
inline bool IsSeparator(char c) { return c == '/'; }
#endif

// True when the path names an existing regular file (not a folder, pipe or device). Never throws.
bool FileExists(const std::string& path);
// True when the path names an existing folder; false for the empty text. Never throws.
bool IsDirectory(const std::string& path);

// The folder of the running program, ending with a separator.
std::string AppPath();
// Where the program was started from (argv[0]); used by AppPath when the platform cannot name the
// running executable itself.
void SetProgramPath(const std::string& argv0);

// Replaces the extension of the file name (the part from its last "."; folder names are left
// alone) by `extension`, given with or without its dot: book.xls -> book.htm, book -> book.htm.
std::string ChangeExtension(const std::string& path, const std::string& extension);
// The file-name part of `path` placed in `folder`, with exactly one separator between them.
std::string PlaceInFolder(const std::string& path, const std::string& folder);
// The text before its first NUL character; all of it when it has none.
std::string TrimAtNul(const std::string& text);
// Deletes the plain files of a folder (not hidden ones, not read-only ones, not subfolders),
// then the folder itself when that left it empty. Never throws.
void DeleteFolder(const std::string& folder);

// A short size text: 1,023 / 1.00KB / 10.0KB / 1.00MB / 1.00GB, with the separators of `locale`.
std::string FormatFileSize(int32_t bytes, const std::locale& locale);
// The same with the user's separators.
std::string FormatFileSize(int32_t bytes);
// The user's locale (from the environment), or the classic one when the environment names a
// locale the system does not have.
const std::locale& UserLocale();

}  // namespace quillane::files
