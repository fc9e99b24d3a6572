#include "files/modFuntions.h"

#include <filesystem>

namespace quillane::files {

bool FileExists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec);
}

}  // namespace quillane::files
