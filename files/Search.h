// Finds files whose names match a wildcard pattern in a folder, or in a folder and all its
// subfolders, and returns their full paths.
//
// A search takes what it needs as arguments and keeps no state between calls, so two searches
// never disturb each other. The caller's hooks say whether to go on (asked before every folder and
// every found file: the window's Cancel command answers it while the search runs on a worker
// thread) and receive the progress texts for a status bar.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace quillane::files {

struct SearchHooks {
  // Asked before every folder and every found file; false stops the search, which returns what
  // it found so far. Empty: the search runs to its end.
  std::function<bool()> keepGoing;
  // Receives "Now searching Excel files, please wait...", then "N files were found." after each
  // find, and the empty text at the end of a tree search. Empty: no texts are made.
  std::function<void(const std::string&)> progress;
};

// The matches in the folder and all its subfolders: the folder's own in name order, then each
// subfolder's, depth first, in name order. Folders whose names start with "." and links to folders
// are not entered. A missing folder or an empty pattern finds nothing.
std::vector<std::string> SearchTree(const std::string& folder, const std::string& pattern,
                                    const SearchHooks& hooks = {});
// The matches in the folder alone, in name order.
std::vector<std::string> SearchFolder(const std::string& folder, const std::string& pattern,
                                      const SearchHooks& hooks = {});

// Wildcard match of a file name: "*" any run, "?" any one character, letters compared without
// regard to case (ASCII). "*.*" matches every name, as on the platform the pattern comes from.
bool MatchesPattern(const std::string& name, const std::string& pattern);

}  // namespace quillane::files
