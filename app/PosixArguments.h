// The POSIX front end of the command line: short and long options anywhere on the line, "--" to
// end them, file arguments made absolute against the current folder.
#pragma once

#include <string>
#include <vector>

#include "app/modMain.h"

namespace quillane::app {

// Reads the arguments after the program's name. `currentFolder` makes relative file arguments
// absolute; `environmentPassword` (GRIDCAST_PASSWORD) is the password when none is given.
RunRequest ParsePosixArguments(const std::vector<std::string>& arguments,
                               const std::string& currentFolder,
                               const std::string& environmentPassword);

// The options' lines of the usage text, made from the one table that the parser reads.
std::string PosixOptionsHelp();

}  // namespace quillane::app
