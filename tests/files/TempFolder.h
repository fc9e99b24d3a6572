// A fresh temporary folder for one test, removed with everything in it at the end.
#pragma once

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>

#ifndef _WIN32
#include <sys/resource.h>
#endif
#include <unistd.h>

#include <csignal>

namespace quillane::testing {

class TempFolder {
 public:
  // In `base`, by default the system's temporary folder.
  explicit TempFolder(const std::filesystem::path& base = std::filesystem::temp_directory_path()) {
    static std::atomic<int> counter{0};
    path_ = base / ("quillane-test-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ec;
    // Give back write permission first, so read-only test files can go too.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ec);
    }
    std::filesystem::remove_all(path_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string str() const { return path_.string(); }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

  // Writes a file (and its folders) below the temporary folder; returns its path.
  std::string Write(const std::string& name, const std::string& bytes = "x") const {
    std::filesystem::path file = path_ / name;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << bytes;
    return file.string();
  }
  std::string MakeFolder(const std::string& name) const {
    std::filesystem::create_directories(path_ / name);
    return (path_ / name).string();
  }

 private:
  std::filesystem::path path_;
};

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// True when this system lets a test make symbolic links: Windows lets only administrators and
// developer mode make them, and Wine makes none.
inline bool CanMakeLinks() {
#ifdef _WIN32
  static const bool can = [] {
    TempFolder temp;
    std::error_code ec;
    std::filesystem::create_symlink(temp.path() / "target", temp.path() / "link", ec);
    return !ec;
  }();
  return can;
#else
  return true;
#endif
}
// Ends the test here, as skipped, where links cannot be made.
#define QUILLANE_SKIP_WITHOUT_LINKS()     \
  if (!quillane::testing::CanMakeLinks()) \
  GTEST_SKIP() << "symbolic links cannot be made here (Windows without the right to, or Wine)"

#ifndef _WIN32
// Runs `body` with writes past `bytes` in any one file failing, the way they fail on a full disk.
template <typename Body>
void WithFileSizeLimit(rlim_t bytes, Body body) {
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  rlimit limited = old;
  limited.rlim_cur = bytes;
  setrlimit(RLIMIT_FSIZE, &limited);
  body();
  setrlimit(RLIMIT_FSIZE, &old);
}
#endif

}  // namespace quillane::testing
