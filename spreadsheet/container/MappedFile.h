// A file's bytes in memory. Small files are read whole; larger ones are mapped read-only, so that
// their pages are read when they are touched and the memory a reader needs follows what it reads,
// not the size of the file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <stdexcept>

namespace quillane::container {

class FileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class MappedFile {
 public:
  // Maps the whole file. Throws FileError ("Cannot open the file ...", "Cannot read ...").
  explicit MappedFile(const std::filesystem::path& path);
  ~MappedFile();
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  // Files up to this size are read into memory whole rather than mapped.
  static constexpr size_t kReadWhole = size_t{16} << 20;

  // The file's size, from the file system.
  static uint64_t SizeOf(const std::filesystem::path& path);
  std::span<const uint8_t> Bytes() const { return {data_, size_}; }
  // Gives the mapping back early (Bytes() is empty afterwards).
  void Release();

 private:
  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
  bool mapped_ = false;              // data_ is a mapping to undo
  std::unique_ptr<uint8_t[]> copy_;  // the bytes of a file read whole
};

}  // namespace quillane::container
