#include "files/Search.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "files/modFuntions.h"

namespace fs = std::filesystem;

namespace quillane::files {

std::vector<std::string> SearchResults;
std::string SearchPattern;
bool Searching = false;
bool SearchingTree = false;

namespace {

std::function<void(const std::string&)>& ProgressHook() {
  static std::function<void(const std::string&)> hook;
  return hook;
}

void ShowProgress(const std::string& text) {
  if (ProgressHook()) ProgressHook()(text);
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string WithSeparator(std::string folder) {
  if (folder.empty() || !IsSeparator(folder.back())) folder += kSeparator;
  return folder;
}

// Names in a folder in a fixed order (byte order), so results do not depend on the file system.
std::vector<std::string> SortedNames(std::vector<std::string> names) {
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

void SetSearchProgressHook(std::function<void(const std::string&)> hook) {
  ProgressHook() = std::move(hook);
}

bool MatchesPattern(const std::string& name, const std::string& pattern) {
  if (pattern == "*.*" || pattern == "*") return true;
  // Iterative match with one backtrack point for the last "*": linear in practice, no recursion.
  size_t n = 0, p = 0, starP = std::string::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starN = n;
    } else if (p < pattern.size() && (pattern[p] == '?' || Lower(pattern[p]) == Lower(name[n]))) {
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

void SearchTree(const std::string& folder, bool showProgress) {
  if (folder.empty()) return;
  if (Searching) {
    Searching = false;
    return;
  }
  std::string start = WithSeparator(folder);
  if (showProgress) ShowProgress("Now searching Excel files, please wait...");
  if (!SearchPattern.empty()) {
    Searching = true;
    SearchingTree = true;
    SearchSubfolders(start, showProgress);
    Searching = false;
    SearchingTree = false;
    if (showProgress) ShowProgress("");
  }
}

void SearchSubfolders(const std::string& folder, bool showProgress) {
  DoEvents();
  if (!Searching) return;
  // Collect the subfolder names first and close the listing before descending. Hidden folders
  // (names starting with ".") are not entered, nor links to folders, which could lead in circles.
  std::vector<std::string> subfolders;
  {
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
      std::string name = TrimAtNul(it->path().filename().string());
      if (name.empty() || name[0] == '.') continue;
      std::error_code statusError;
      if (fs::is_directory(it->symlink_status(statusError)) && !statusError) {
        subfolders.push_back(name);
      }
    }
  }
  if (SearchingTree) SearchFolder(folder, showProgress);
  for (const std::string& name : SortedNames(std::move(subfolders))) {
    if (!Searching) return;
    SearchSubfolders(folder + name + kSeparator, showProgress);
  }
}

void SearchFolder(const std::string& folder, bool showProgress) {
  std::string start = WithSeparator(folder);
  std::vector<std::string> matches;
  {
    std::error_code ec;
    for (fs::directory_iterator it(start, ec), end; !ec && it != end; it.increment(ec)) {
      std::string name = TrimAtNul(it->path().filename().string());
      if (MatchesPattern(name, SearchPattern)) matches.push_back(name);
    }
  }
  for (const std::string& name : SortedNames(std::move(matches))) {
    DoEvents();
    if (!Searching) return;
    SearchResults.push_back(start + name);
    if (showProgress) ShowProgress(std::to_string(SearchResults.size()) + " files were found.");
  }
}

}  // namespace quillane::files
