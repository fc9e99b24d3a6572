#include "convert/ConversionLog.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <system_error>

#include "files/modFuntions.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#else
#include <io.h>
#include <windows.h>

#include "files/WideNames.h"
#endif

namespace fs = std::filesystem;

namespace quillane::convert {

namespace {

std::string Put(const std::tm& time, const std::locale& locale, const char* format) {
  std::ostringstream out;
  out.imbue(locale);
  const auto& facet = std::use_facet<std::time_put<char>>(locale);
  facet.put(std::ostreambuf_iterator<char>(out), out, ' ', &time, format,
            format + std::strlen(format));
  return out.str();
}

std::tm Now() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  return local;
}

bool FolderIsWritable(const std::string& folder) {
#ifdef _WIN32
  // The attributes do not tell (a folder under Program Files is not read-only, only closed to
  // users): a file is made there and goes again when it is closed.
  const std::wstring probe =
      files::Wide(folder) + L"quillane-" + std::to_wstring(GetCurrentProcessId()) + L".tmp";
  HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
#else
  return access(folder.c_str(), W_OK | X_OK) == 0;
#endif
}

}  // namespace

std::string TimeOfDayText(const std::tm& time, const std::locale& locale) {
  if (locale == std::locale::classic()) return Put(time, locale, "%H:%M:%S");
  return Put(time, locale, "%X");
}

std::string ShortDateText(const std::tm& time, const std::locale& locale) {
  std::string date = Put(time, locale, "%x");
  std::string out;
  for (char c : date) {
    if (c != '/' && c != '\\') out += c;
  }
  return out;
}

std::string OneLineField(const std::string& text) {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7f) {
      out += c;
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else {
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 15];
    }
  }
  return out;
}

std::string Text100(const std::string& source, const std::string& output) {
  return "  100, Successfully convert " + OneLineField(source) + " to " + OneLineField(output);
}
std::string Text101(const std::string& output) {
  return "  101, Output file " + OneLineField(output) + " exists, Ignore!";
}
std::string Text102(const std::string& source) {
  return "  102, Source file " + OneLineField(source) + " doesn't exist, Convert failure!";
}
std::string Text103(const std::string& source, const std::string& message) {
  return "  103, Convert " + OneLineField(source) + " failure, the error message is " +
         OneLineField(message);
}

std::string LogLine(const std::string& codedText) {
  return TimeOfDayText(Now(), files::UserLocale()) + codedText;
}
std::string Line100(const std::string& source, const std::string& output) {
  return LogLine(Text100(source, output));
}
std::string Line101(const std::string& output) { return LogLine(Text101(output)); }
std::string Line102(const std::string& source) { return LogLine(Text102(source)); }
std::string Line103(const std::string& source, const std::string& message) {
  return LogLine(Text103(source, message));
}

std::string DefaultLogFolder() {
  std::string app = files::AppPath();
  if (FolderIsWritable(app)) return app;
#ifdef _WIN32
  const wchar_t* local = _wgetenv(L"LOCALAPPDATA");
  if (!local || !*local) return app;  // nowhere better; the append will report the failure
  const std::string folder = files::Utf8(local) + "\\Quillane";
  std::error_code ec;
  fs::create_directories(folder, ec);
  return folder + files::kSeparator;
#else
  std::string state;
  if (const char* xdg = std::getenv("XDG_STATE_HOME"); xdg && *xdg) {
    state = xdg;
  } else if (const char* home = std::getenv("HOME"); home && *home) {
    state = std::string(home) + files::kSeparator + ".local" + files::kSeparator + "state";
  } else {
    return app;  // nowhere better; the append will report the failure
  }
  std::string folder = state + files::kSeparator + "quillane";
  std::error_code ec;
  fs::create_directories(folder, ec);
  return folder + files::kSeparator;
#endif
}

std::string DefaultLogPath() {
  return DefaultLogFolder() + ShortDateText(Now(), files::UserLocale()) + ".log";
}

void RunLog::Gather(const std::string& line) {
  if (text_.empty()) {
    text_ = line;
  } else {
    text_ += "\r\n";
    text_ += line;
  }
}

bool RunLog::AppendTo(const std::string& path, std::string& error, Links links) const {
  if (text_.empty()) return true;
  if (path.empty()) {
    error = "no log file named";
    return false;
  }
  const std::string block = text_ + "\r\n";
#ifdef _WIN32
  if (files::IsDirectory(path)) {
    error = "it is a folder";
    return false;
  }
  const std::wstring wide = files::Wide(path);
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (links == Links::Refuse && attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    error = "it is a symbolic link, which this log is never written through";
    return false;
  }
  std::FILE* file = _wfopen(wide.c_str(), L"ab");
  if (!file) {
    error = std::strerror(errno);
    return false;
  }
  const long before = std::ftell(file);
  size_t written = std::fwrite(block.data(), 1, block.size(), file);
  int writeErrno = errno;
  if (written == block.size() && std::fflush(file) != 0) written = 0, writeErrno = errno;
  if (written != block.size() && before >= 0) _chsize(_fileno(file), before);
  bool closed = std::fclose(file) == 0;
  if (written != block.size() || !closed) {
    error = std::strerror(written != block.size() ? writeErrno : errno);
    return false;
  }
  return true;
#else
  int flags = O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC;
  if (links == Links::Refuse) flags |= O_NOFOLLOW;
  const int fd = open(path.c_str(), flags, 0666);
  if (fd < 0) {
    error = errno == EISDIR                            ? "it is a folder"
            : errno == ELOOP && links == Links::Refuse ? "it is a symbolic link, which this log "
                                                         "is never written through"
                                                       : std::strerror(errno);
    return false;
  }
  struct stat status {};
  const bool plain = fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
  off_t before = 0;
  if (plain) {
    while (flock(fd, LOCK_EX) != 0 && errno == EINTR) {
    }
    before = lseek(fd, 0, SEEK_END);
  }
  int failure = 0;
  for (size_t done = 0; done < block.size() && !failure;) {
    const ssize_t n = write(fd, block.data() + done, block.size() - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
    } else if (n < 0 && errno != EINTR) {
      failure = errno;
    } else if (n == 0) {
      failure = EIO;
    }
  }
  if (failure && plain && before >= 0) {
    while (ftruncate(fd, before) != 0 && errno == EINTR) {
    }
  }
  if (close(fd) != 0 && !failure && errno != EINTR) failure = errno;
  if (failure) {
    error = std::strerror(failure);
    return false;
  }
  return true;
#endif
}

}  // namespace quillane::convert
