#include "spreadsheet/container/MappedFile.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <system_error>

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace quillane::container {

uint64_t MappedFile::SizeOf(const std::filesystem::path& path) {
  std::error_code ec;
  const uintmax_t size = std::filesystem::file_size(path, ec);
  if (ec) throw FileError("Cannot read the file " + path.string() + ": " + ec.message());
  return size;
}

#if !defined(_WIN32)

MappedFile::MappedFile(const std::filesystem::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    throw FileError("Cannot open the file " + path.string() + ": " + std::strerror(errno));
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    const int error = errno;
    ::close(fd);
    throw FileError("Cannot read the file " + path.string() + ": " + std::strerror(error));
  }
  size_ = static_cast<size_t>(info.st_size);
  if (size_ > 0 && size_ <= kReadWhole) {
    // Read rather than mapped: one call instead of a fault for every few pages, and no mapping
    // to undo, which stalls every other thread of the process.
    copy_.reset(new uint8_t[size_]);  // not cleared: every byte is read into it
    size_t done = 0;
    while (done < size_) {
      const ssize_t n = ::read(fd, copy_.get() + done, size_ - done);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        const int error = errno;
        ::close(fd);
        copy_.reset();
        size_ = 0;
        throw FileError("Cannot read the file " + path.string() + ": " + std::strerror(error));
      }
      if (n == 0) break;  // the file got shorter meanwhile: what is there is read
      done += static_cast<size_t>(n);
    }
    size_ = done;
    data_ = copy_.get();
  } else if (size_ > 0) {
    void* p = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd, 0);
    if (p == MAP_FAILED) {
      const int error = errno;
      ::close(fd);
      size_ = 0;
      throw FileError("Cannot read the file " + path.string() + ": " + std::strerror(error));
    }
    data_ = static_cast<const uint8_t*>(p);
    mapped_ = true;
  }
  ::close(fd);  // the mapping stays valid without the descriptor
}

void MappedFile::Release() {
  if (mapped_) ::munmap(const_cast<uint8_t*>(data_), size_);
  mapped_ = false;
  copy_.reset();
  data_ = nullptr;
  size_ = 0;
}

#else

namespace {

std::string SystemMessage(DWORD code) {
  return std::system_category().message(static_cast<int>(code));
}

}  // namespace

// The wide name opens the file whatever characters its name has; others may read it, write it or
// delete it meanwhile, as on POSIX.
MappedFile::MappedFile(const std::filesystem::path& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    throw FileError("Cannot open the file " + path.string() + ": " + SystemMessage(GetLastError()));
  }
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file, &size) || static_cast<uint64_t>(size.QuadPart) > SIZE_MAX) {
    const DWORD error = GetLastError();
    CloseHandle(file);
    throw FileError("Cannot read the file " + path.string() + ": " + SystemMessage(error));
  }
  size_ = static_cast<size_t>(size.QuadPart);
  if (size_ > 0) {  // an empty file cannot be mapped, and needs no mapping
    HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    void* view = mapping ? MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0) : nullptr;
    const DWORD error = GetLastError();
    if (mapping) CloseHandle(mapping);  // the view keeps the mapping alive
    if (!view) {
      CloseHandle(file);
      size_ = 0;
      throw FileError("Cannot read the file " + path.string() + ": " + SystemMessage(error));
    }
    data_ = static_cast<const uint8_t*>(view);
    mapped_ = true;
  }
  CloseHandle(file);
}

void MappedFile::Release() {
  if (mapped_) UnmapViewOfFile(data_);
  mapped_ = false;
  copy_.reset();
  data_ = nullptr;
  size_ = 0;
}

#endif

MappedFile::~MappedFile() { Release(); }

}  // namespace quillane::container
