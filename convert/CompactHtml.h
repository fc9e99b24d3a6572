// Module modGRIDCAST: the compaction of a page written by the engine.
#pragma once

#include <stdexcept>
#include <string>

namespace quillane::convert {

// A page that could not be read or written while it was compacted.
class CompactError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Compacts an HTML page in place: cuts the office-specific blocks and attributes, squeezes runs
// of blanks and blank lines, and gives every table collapsed borders. The new text is written to
// a temporary file beside the page and renamed over it, so a failure or a kill leaves the page
// whole.
// Throws CompactError when the page cannot be read or written.
void CompactHtml(const std::string& path);
// The same cuts and replacements on a text held in memory.
void CompactHtmlText(std::string& text);

}  // namespace quillane::convert
