// Writing text into a page: escaping, blanks that survive blank squeezing, line breaks, and an
// estimate of how wide a text is drawn (to decide how far text spills into empty cells).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quillane::publish {

// Appends cell text as HTML content. Markup characters and quotes are escaped; a lone blank
// between two other characters stays a blank, every other blank (leading, trailing, or one of a
// run) is written as "&nbsp;", so the page never holds two blanks in a row and no squeezing of
// blanks can join two words. Line feeds become <br> when `breaks` is set, else a blank. Tabs count
// as blanks; other control characters are dropped; bytes that are not UTF-8 become U+FFFD.
// The few texts that the page compaction replaces wherever they stand are broken up with a
// character reference.
void AppendHtmlText(std::string& out, std::string_view text, bool breaks);

// Appends text for a double-quoted attribute value: as above, but line feeds become "&#10;"
// and blanks after the first of a run become "&#32;".
void AppendHtmlAttribute(std::string& out, std::string_view text);

}  // namespace quillane::publish
