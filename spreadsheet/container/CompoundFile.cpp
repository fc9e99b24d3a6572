#include "spreadsheet/container/CompoundFile.h"

namespace quillane::container {

CompoundFile::CompoundFile(std::span<const uint8_t> bytes) : bytes_(bytes) {
  throw ContainerError("Compound files are not read yet");
}
bool CompoundFile::IsCompoundFile(std::span<const uint8_t>) { return false; }
bool CompoundFile::HasStream(const std::string&) const { return false; }
std::vector<uint8_t> CompoundFile::ReadStream(const std::string&) const { return {}; }

}  // namespace quillane::container
