#include "files/AtomicFile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <random>
#include <set>
#include <stdexcept>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>
#include <windows.h>

#include "files/WideNames.h"
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace quillane::files {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kMarker = ".gridcast-tmp";

// The temporaries in flight, in a table a signal handler can read: a slot's path is written
// while the slot is claimed (1) and read only while it is published (2).
constexpr int kSlots = 256;
constexpr size_t kSlotPath = 4096;
std::atomic<int> slotState[kSlots];
char slotPath[kSlots][kSlotPath];

int ClaimSlot(const std::string& path) {
  if (path.size() >= kSlotPath) return -1;
  for (int i = 0; i < kSlots; ++i) {
    int expected = 0;
    if (slotState[i].compare_exchange_strong(expected, 1)) {
      std::memcpy(slotPath[i], path.c_str(), path.size() + 1);
      slotState[i].store(2);
      return i;
    }
  }
  return -1;  // more temporaries than slots: this one is only cleaned on the next run
}

void ReleaseSlot(int slot) {
  if (slot >= 0) slotState[slot].store(0);
}

long ProcessId() {
#ifdef _WIN32
  return static_cast<long>(_getpid());
#else
  return static_cast<long>(getpid());
#endif
}

// This machine's name, reduced to characters that are safe in a file name.
const std::string& HostTag() {
  static const std::string tag = [] {
    std::string name;
#ifdef _WIN32
    char buffer[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = sizeof buffer;
    if (GetComputerNameA(buffer, &size)) name.assign(buffer, size);
#else
    char buffer[256] = {};
    if (gethostname(buffer, sizeof buffer - 1) == 0) name = buffer;
#endif
    std::string safe;
    for (char c : name) {
      if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.')
        safe += c;
    }
    return safe.empty() ? std::string("host") : safe.substr(0, 64);
  }();
  return tag;
}

std::string RandomTag() {
  static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  static std::mutex mutex;
  static std::mt19937_64 generator{std::random_device{}() ^ static_cast<uint64_t>(ProcessId())
                                                                << 32};
  std::lock_guard<std::mutex> lock(mutex);
  std::string tag;
  for (int i = 0; i < 6; ++i) tag += kChars[generator() % (sizeof kChars - 1)];
  return tag;
}

bool ProcessIsGone(long pid) {
#ifdef _WIN32
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
  if (!process) return pid > 0 && GetLastError() == ERROR_INVALID_PARAMETER;
  const bool ended = WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
  CloseHandle(process);
  return ended;
#else
  return pid > 0 && kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
#endif
}

// True for the name of a temporary that a process of this host which is gone left behind:
// "<name>.gridcast-tmp-<host>-<pid>-<tag>", or "<name>.gridcast-tmp<pid>" of older versions.
bool IsStaleTemporary(const std::string& name) {
  const size_t marker = name.rfind(kMarker);
  if (marker == std::string::npos || marker == 0) return false;
  std::string rest = name.substr(marker + kMarker.size());
  auto digits = [](std::string_view s) {
    return !s.empty() && s.size() <= 9 && s.find_first_not_of("0123456789") == std::string::npos;
  };
  if (digits(rest)) return ProcessIsGone(std::stol(rest));
  const std::string host = "-" + HostTag() + "-";
  if (rest.compare(0, host.size(), host) != 0 || rest.size() < host.size() + 8) return false;
  rest = rest.substr(host.size());
  const size_t dash = rest.size() - 7;
  if (rest[dash] != '-' || !digits(std::string_view(rest).substr(0, dash))) return false;
  return ProcessIsGone(std::stol(rest.substr(0, dash)));
}

std::string ErrorText(int error) { return std::strerror(error); }

// The folders looked through for stale temporaries (or made by this process) so far.
std::mutex foldersMutex;
std::set<std::string>& FoldersDone() {
  static std::set<std::string> done;
  return done;
}

// True the first time a folder is named.
bool FirstTime(const std::string& folder) {
  std::lock_guard<std::mutex> lock(foldersMutex);
  return FoldersDone().insert(folder).second;
}

}  // namespace

void NoteNewFolder(const std::string& folder) { FirstTime(folder); }

void RemoveStaleTemporaries(const std::string& folder) {
  if (!FirstTime(folder)) return;
  std::error_code ec;
  for (fs::directory_iterator it(folder.empty() ? "." : folder, ec), end; !ec && it != end;
       it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.find(kMarker) == std::string::npos || !IsStaleTemporary(name)) continue;
    std::error_code statusError;
    if (!fs::is_regular_file(it->symlink_status(statusError))) continue;
    std::error_code ignored;
    fs::remove(it->path(), ignored);
  }
}

AtomicFile::AtomicFile(std::string path) : path_(std::move(path)) {
  const fs::path target(path_);
  const std::string folder = target.parent_path().string();
  RemoveStaleTemporaries(folder);
  const std::string prefix =
      path_ + std::string(kMarker) + "-" + HostTag() + "-" + std::to_string(ProcessId()) + "-";
  for (int attempt = 0; attempt < 16 && fd_ < 0; ++attempt) {
    temporary_ = prefix + RandomTag();
    // O_EXCL: a name that exists, a link included, is never opened.
#ifdef _WIN32
    // CREATE_NEW as O_EXCL; others may delete it while it is open, as the console's handler does.
    HANDLE handle =
        CreateFileW(Wide(temporary_).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                    nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      const DWORD error = GetLastError();
      errno = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? EEXIST
              : error == ERROR_PATH_NOT_FOUND                             ? ENOENT
                                                                          : EACCES;
    } else {
      fd_ = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
      if (fd_ < 0) CloseHandle(handle);
    }
#else
    fd_ = open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
#endif
    if (fd_ < 0 && errno != EEXIST) break;
  }
  if (fd_ < 0) throw std::runtime_error("Cannot write " + path_ + ": " + ErrorText(errno));
  slot_ = ClaimSlot(temporary_);
}

AtomicFile::~AtomicFile() {
  if (fd_ >= 0) {
#ifdef _WIN32
    _close(fd_);
#else
    close(fd_);
#endif
  }
  if (!committed_) {
    std::error_code ignored;
    fs::remove(temporary_, ignored);
  }
  ReleaseSlot(slot_);
}

void AtomicFile::Write(std::string_view bytes) {
  while (!bytes.empty()) {
#ifdef _WIN32
    const int chunk = static_cast<int>(std::min<size_t>(bytes.size(), 1 << 30));
    const int written = _write(fd_, bytes.data(), chunk);
#else
    const ssize_t written = write(fd_, bytes.data(), bytes.size());
#endif
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      const int error = written < 0 ? errno : ENOSPC;
      throw std::runtime_error("Cannot write " + path_ + ": " + ErrorText(error));
    }
    bytes.remove_prefix(static_cast<size_t>(written));
  }
}

void AtomicFile::Commit() {
  // No flush to the disk: the rename already makes a kill, an error or a full disk leave the old
  // file whole, and flushing every page would make a batch several times slower.
#ifdef _WIN32
  const bool closed = _close(fd_) == 0;
#else
  const bool closed = close(fd_) == 0;
#endif
  fd_ = -1;
  if (!closed) throw std::runtime_error("Cannot write " + path_ + ": " + ErrorText(errno));
#ifdef _WIN32
  // A link in the page's place is replaced itself, never written through.
  if (!MoveFileExW(Wide(temporary_).c_str(), Wide(path_).c_str(), MOVEFILE_REPLACE_EXISTING)) {
    throw std::runtime_error("Cannot replace " + path_ + ": " +
                             std::system_category().message(static_cast<int>(GetLastError())));
  }
#else
  std::error_code ec;
  fs::rename(temporary_, path_, ec);
  if (ec) throw std::runtime_error("Cannot replace " + path_ + ": " + ec.message());
#endif
  committed_ = true;
}

void WriteFileAtomically(const std::string& path, std::string_view bytes) {
  AtomicFile file(path);
  file.Write(bytes);
  file.Commit();
}

void RemoveTemporaryFilesNow() noexcept {
  for (int i = 0; i < kSlots; ++i) {
    if (slotState[i].load() == 2) {
#ifdef _WIN32
      wchar_t wide[kSlotPath];
      if (MultiByteToWideChar(CP_UTF8, 0, slotPath[i], -1, wide, kSlotPath) > 0) DeleteFileW(wide);
#else
      unlink(slotPath[i]);
#endif
    }
  }
}

}  // namespace quillane::files
