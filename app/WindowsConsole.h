// Windows start-up: the process's command line in UTF-8, and the console's Ctrl+C, Ctrl+Break and
// close events, which stop a run as SIGINT does on POSIX.
#pragma once

#include <string>
#include <vector>

namespace quillane::app {

// Ctrl+C and Ctrl+Break stop the run after the workbooks in progress; a second one ends the process
// at once without leaving temporary page files. Closing the console, logging off and shutting
// down stop the run too, and wait a few seconds for it to end (RunEnded).
void CatchConsoleEvents();
// Says that the run has ended and its log is written.
void RunEnded();
// The process's arguments after the program's own path, split as the C runtime splits them.
std::vector<std::string> ProcessArguments();
// The command-line text without the program's own path, as the Windows syntax reads it.
std::string CommandLineWithoutProgram();

}  // namespace quillane::app
