// Compound files (OLE2 structured storage): the container of BIFF5-8 workbooks.
#pragma once

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace quillane::container {

class ContainerError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class CompoundFile {
 public:
  // Parses the header, FAT, DIFAT, mini FAT and directory. Throws ContainerError.
  explicit CompoundFile(std::span<const uint8_t> bytes);
  static bool IsCompoundFile(std::span<const uint8_t> bytes);
  // Names of the root storage's streams compare without regard to case.
  bool HasStream(const std::string& name) const;
  std::vector<uint8_t> ReadStream(const std::string& name) const;

 private:
  std::span<const uint8_t> bytes_;
};

}  // namespace quillane::container
