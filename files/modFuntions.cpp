#include "files/modFuntions.h"

#include <filesystem>
#include <system_error>
#include <vector>

#if defined(__APPLE__)
#include <mach-o/dyld.h>
#elif defined(_WIN32)
#include <windows.h>

#include "files/WideNames.h"
#endif

namespace fs = std::filesystem;

namespace quillane::files {

namespace {

std::string& ProgramPath() {
  static std::string path;
  return path;
}

// Position of the first character of the file-name part of `path`.
size_t FileNameStart(const std::string& path) {
  for (size_t i = path.size(); i > 0; --i) {
    if (IsSeparator(path[i - 1])) return i;
  }
#ifdef _WIN32
  if (path.size() >= 2 && path[1] == ':') return 2;  // C:book.xls
#endif
  return 0;
}

std::string ExecutablePath() {
  std::error_code ec;
#if defined(__linux__)
  fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (!ec && !self.empty()) return self.string();
#elif defined(_WIN32)
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) break;
    if (length < buffer.size()) return Utf8(std::wstring_view(buffer.data(), length));
    if (buffer.size() >= 32768) break;
    buffer.resize(buffer.size() * 2);
  }
#elif defined(__APPLE__)
  char buffer[4096];
  uint32_t size = sizeof buffer;
  if (_NSGetExecutablePath(buffer, &size) == 0) {
    fs::path self = fs::weakly_canonical(buffer, ec);
    if (!ec) return self.string();
  }
#endif
  if (!ProgramPath().empty()) {
    fs::path self = fs::absolute(ProgramPath(), ec);
    if (!ec) return self.string();
  }
  return {};
}

// Digits of a non-negative integer grouped by three with `separator`.
std::string GroupThousands(uint64_t value, char separator) {
  std::string digits = std::to_string(value);
  std::string out;
  out.reserve(digits.size() + digits.size() / 3);
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += separator;
    out += digits[i];
  }
  return out;
}

// numerator / denominator with `places` decimals, halves rounded away from zero.
std::string FixedPoint(int64_t numerator, int64_t denominator, int places, char decimal) {
  int64_t scale = 1;
  for (int i = 0; i < places; ++i) scale *= 10;
  int64_t scaled = (numerator * scale * 2 + denominator) / (denominator * 2);
  std::string text = std::to_string(scaled / scale);
  if (places > 0) {
    std::string fraction = std::to_string(scaled % scale);
    text += decimal;
    text += std::string(static_cast<size_t>(places) - fraction.size(), '0') + fraction;
  }
  return text;
}

}  // namespace

bool FileExists(const std::string& path) {
  if (path.empty()) return false;
  std::error_code ec;
  fs::file_status status = fs::status(path, ec);
  // Only a regular file (or a link to one): a pipe or a device would make a reader wait forever.
  return !ec && fs::is_regular_file(status);
}

bool IsDirectory(const std::string& path) {
  if (path.empty()) return false;
  std::error_code ec;
  return fs::is_directory(path, ec);
}

void SetProgramPath(const std::string& argv0) { ProgramPath() = argv0; }

std::string AppPath() {
  std::string self = ExecutablePath();
  std::string folder;
  if (self.empty()) {
    std::error_code ec;
    folder = fs::current_path(ec).string();
  } else {
    folder = self.substr(0, FileNameStart(self));
  }
  if (folder.empty() || !IsSeparator(folder.back())) folder += kSeparator;
  return folder;
}

std::string ChangeExtension(const std::string& path, const std::string& extension) {
  size_t nameStart = FileNameStart(path);
  size_t dot = path.rfind('.');
  std::string base = (dot == std::string::npos || dot < nameStart) ? path : path.substr(0, dot);
  if (!extension.empty() && extension[0] == '.') return base + extension;
  return base + "." + extension;
}

std::string PlaceInFolder(const std::string& path, const std::string& folder) {
  std::string name = path.substr(FileNameStart(path));
  std::string result = folder;
  while (result.size() > 1 && IsSeparator(result.back())) result.pop_back();
  if (result.empty() || !IsSeparator(result.back())) result += kSeparator;
  return result + name;
}

std::string TrimAtNul(const std::string& text) {
  size_t nul = text.find('\0');
  return nul == std::string::npos ? text : text.substr(0, nul);
}

void DeleteFolder(const std::string& folder) {
  if (folder.empty()) return;
  std::error_code ec;
  // Only a real folder: a link to one elsewhere is not ours to empty.
  if (!fs::is_directory(fs::symlink_status(folder, ec))) return;
  std::vector<fs::path> plain;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const fs::directory_entry& entry = *it;
    std::string name = entry.path().filename().string();
    if (name.empty() || name[0] == '.') continue;  // hidden
    std::error_code statusError;
    fs::file_status status = entry.symlink_status(statusError);
    if (statusError) continue;
    if (!fs::is_regular_file(status) && !fs::is_symlink(status)) continue;
    if (fs::is_regular_file(status) &&
        (status.permissions() & fs::perms::owner_write) == fs::perms::none)
      continue;  // read-only
    plain.push_back(entry.path());
  }
  for (const fs::path& file : plain) {
    std::error_code removeError;
    fs::remove(file, removeError);
  }
  std::error_code removeError;
  fs::remove(folder, removeError);  // fails, as it should, when anything is left
}

const std::locale& UserLocale() {
  static const std::locale locale = [] {
    try {
      return std::locale("");
    } catch (const std::exception&) {
      return std::locale::classic();
    }
  }();
  return locale;
}

std::string FormatFileSize(int32_t bytes, const std::locale& locale) {
  const auto& punct = std::use_facet<std::numpunct<char>>(locale);
  char decimal = punct.decimal_point();
  char thousands = punct.thousands_sep();
  // A separator that is not one plain character in this locale's encoding gets a plain stand-in.
  if (static_cast<unsigned char>(decimal) >= 0x80 || decimal == '\0') decimal = '.';
  if (static_cast<unsigned char>(thousands) >= 0x80 || thousands == '\0') thousands = ' ';

  int64_t n = bytes;
  if (n < 1024) {
    if (n < 0) return GroupThousands(static_cast<uint64_t>(-n), thousands).insert(0, 1, '-');
    return GroupThousands(static_cast<uint64_t>(n), thousands);
  }
  int64_t k = n / 1024;
  if (k < 10) return FixedPoint(n, 1024, 2, decimal) + "KB";
  if (k < 1000) return FixedPoint(n, 1024, 1, decimal) + "KB";
  if (k < 10000) return FixedPoint(n, 1048576, 2, decimal) + "MB";
  if (k < 1000000) return FixedPoint(n, 1048576, 1, decimal) + "MB";
  return FixedPoint(n, 1073741824, 2, decimal) + "GB";
}

std::string FormatFileSize(int32_t bytes) { return FormatFileSize(bytes, UserLocale()); }

}  // namespace quillane::files
