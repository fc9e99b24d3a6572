// Path, file and size functions shared by the conversion and the window.
#pragma once

#include <string>

namespace quillane::files {

bool FileExists(const std::string& path);

}  // namespace quillane::files
