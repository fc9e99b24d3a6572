// A file's bytes mapped read-only into memory: its pages are read when they are touched, so the
// memory a reader needs follows what it reads, not the size of the file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <stdexcept>
#include <vector>

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

  // The file's size, from the file system.
  static uint64_t SizeOf(const std::filesystem::path& path);
  std::span<const uint8_t> Bytes() const { return {data_, size_}; }
  // Gives the mapping back early (Bytes() is empty afterwards).
  void Release();

 private:
  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
  std::vector<uint8_t> copy_;  // where the platform has no mapping
};

}  // namespace quillane::container
