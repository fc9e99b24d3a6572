// The command-line arguments in the Windows syntax: switches start with "/", double quotes group
// blanks and slashes into one argument and stay part of it. The list is parsed once, on first
// use, from the command-line text (the process's, or one set beforehand).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillane::app {

// Sets the command-line text (without the program's own path) that the next parse reads, and
// forgets any earlier parse. Windows start-up hands over the process's text; tests set their own.
void SetCommandLineText(const std::string& text);

// Number of arguments.
int32_t ArgCount();
// The argument at a 1-based position (the empty text outside the list); with `unquote` it
// passes through StripQuotes.
std::string GetArg(int32_t index, bool unquote = true);
// True when some argument begins with "/" followed by `name` (letters compared without regard to
// case): "/sub" and "/S" both count as switch "s".
bool SwitchPresent(const std::string& name);
// The text after "/" and `name` in the first argument that has the switch, through StripQuotes,
// without a leading "=", trimmed of blanks. The empty text when no argument has the switch.
std::string GetSwitchValue(const std::string& name);
// When the text begins and ends with a double quote: doubled quotes made single, then the first
// and last characters dropped. Otherwise the text unchanged.
std::string StripQuotes(const std::string& text);

// Splits a command-line text into arguments. An argument equal to an earlier one (letters
// compared without regard to case) is left out; the ones after it are kept.
std::vector<std::string> ParseCommandLine(const std::string& text);

}  // namespace quillane::app
