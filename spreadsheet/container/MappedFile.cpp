#include "spreadsheet/container/MappedFile.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <string>

#if !defined(_WIN32)
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
  if (size_ > 0) {
    void* p = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd, 0);
    if (p == MAP_FAILED) {
      const int error = errno;
      ::close(fd);
      size_ = 0;
      throw FileError("Cannot read the file " + path.string() + ": " + std::strerror(error));
    }
    data_ = static_cast<const uint8_t*>(p);
  }
  ::close(fd);  // the mapping stays valid without the descriptor
}

void MappedFile::Release() {
  if (data_ && copy_.empty()) ::munmap(const_cast<uint8_t*>(data_), size_);
  copy_.clear();
  copy_.shrink_to_fit();
  data_ = nullptr;
  size_ = 0;
}

#else

// No mapping here: the file is read whole.
MappedFile::MappedFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw FileError("Cannot open the file " + path.string());
  copy_.resize(static_cast<size_t>(SizeOf(path)));
  if (!copy_.empty() &&
      !in.read(reinterpret_cast<char*>(copy_.data()), static_cast<std::streamsize>(copy_.size()))) {
    throw FileError("Cannot read the file " + path.string());
  }
  data_ = copy_.data();
  size_ = copy_.size();
}

void MappedFile::Release() {
  copy_.clear();
  copy_.shrink_to_fit();
  data_ = nullptr;
  size_ = 0;
}

#endif

MappedFile::~MappedFile() { Release(); }

}  // namespace quillane::container
