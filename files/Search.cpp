#include "files/Search.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "files/modFuntions.h"
#include "support/Ascii.h"

namespace fs = std::filesystem;

namespace quillane::files {

namespace {

using support::AsciiLower;

std::string WithSeparator(std::string folder) {
  if (folder.empty() || !IsSeparator(folder.back())) folder += kSeparator;
  return folder;
}

// One search: its pattern, its hooks and what it found.
class Searcher {
 public:
  Searcher(const std::string& pattern, const SearchHooks& hooks)
      : pattern_(pattern), hooks_(hooks) {}

  bool KeepGoing() const { return !hooks_.keepGoing || hooks_.keepGoing(); }
  void Progress(const std::string& text) const {
    if (hooks_.progress) hooks_.progress(text);
  }

  // The folder's own matches, in name order (byte order, whatever the file system's order).
  void Folder(const std::string& folder) {
    std::vector<std::string> matches;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
      std::string name = TrimAtNul(it->path().filename().string());
      if (MatchesPattern(name, pattern_)) matches.push_back(name);
    }
    std::sort(matches.begin(), matches.end());
    for (const std::string& name : matches) {
      if (!KeepGoing()) {
        stopped_ = true;
        return;
      }
      found_.push_back(folder + name);
      Progress(std::to_string(found_.size()) + " files were found.");
    }
  }

  // The folder's matches, then each subfolder's, depth first. The subfolder names are collected
  // and the listing closed before descending.
  void Tree(const std::string& folder) {
    if (stopped_ || !KeepGoing()) {
      stopped_ = true;
      return;
    }
    std::vector<std::string> subfolders;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
      std::string name = TrimAtNul(it->path().filename().string());
      if (name.empty() || name[0] == '.') continue;
      std::error_code statusError;
      if (fs::is_directory(it->symlink_status(statusError)) && !statusError) {
        subfolders.push_back(name);
      }
    }
    Folder(folder);
    std::sort(subfolders.begin(), subfolders.end());
    for (const std::string& name : subfolders) {
      if (stopped_) return;
      Tree(folder + name + kSeparator);
    }
  }

  std::vector<std::string> Found() { return std::move(found_); }

 private:
  const std::string& pattern_;
  const SearchHooks& hooks_;
  std::vector<std::string> found_;
  bool stopped_ = false;
};

}  // namespace

bool MatchesPattern(const std::string& name, const std::string& pattern) {
  if (pattern == "*.*" || pattern == "*") return true;
  // Iterative match with one backtrack point for the last "*": linear in practice, no recursion.
  size_t n = 0, p = 0, starP = std::string::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starN = n;
    } else if (p < pattern.size() &&
               (pattern[p] == '?' || AsciiLower(pattern[p]) == AsciiLower(name[n]))) {
      ++p;
      ++n;
    } else if (starP != std::string::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

std::vector<std::string> SearchTree(const std::string& folder, const std::string& pattern,
                                    const SearchHooks& hooks) {
  if (folder.empty()) return {};
  Searcher searcher(pattern, hooks);
  searcher.Progress("Now searching Excel files, please wait...");
  if (pattern.empty()) return {};
  searcher.Tree(WithSeparator(folder));
  searcher.Progress("");
  return searcher.Found();
}

std::vector<std::string> SearchFolder(const std::string& folder, const std::string& pattern,
                                      const SearchHooks& hooks) {
  Searcher searcher(pattern, hooks);
  searcher.Folder(WithSeparator(folder));
  return searcher.Found();
}

}  // namespace quillane::files
