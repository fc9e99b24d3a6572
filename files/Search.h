// Finds files whose names match a wildcard pattern in a folder, or in a folder and all its
// subfolders, and collects their full paths.
//
// The state is module-wide, as the callers (the command-line run, the add-folder dialog) expect:
// set SearchResults and SearchPattern, then call SearchTree or (with Searching set) SearchFolder.
// A search stops once Searching is false; the window clears it from its Cancel command while the
// search yields through DoEvents.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace quillane::files {

extern std::vector<std::string> SearchResults;
extern std::string SearchPattern;
extern bool Searching;
extern bool SearchingTree;

// Receives the progress texts of a search made with showProgress (the window shows them in its
// status bar). Without a hook they go nowhere.
void SetSearchProgressHook(std::function<void(const std::string&)> hook);

// Searches the folder and all its subfolders. A call while a search runs stops that search and
// searches nothing.
void SearchTree(const std::string& folder, bool showProgress);
// Searches only the folder (the caller has set Searching).
void SearchFolder(const std::string& folder, bool showProgress);
// The recursive step of SearchTree: the folder's own matches, then each subfolder's, depth first.
void SearchSubfolders(const std::string& folder, bool showProgress);

// Wildcard match of a file name: "*" any run, "?" any one character, letters compared without
// regard to case (ASCII). "*.*" matches every name, as on the platform the pattern comes from.
bool MatchesPattern(const std::string& name, const std::string& pattern);

}  // namespace quillane::files
