// Start-up and the command-line run: the choice of mode, the usage text, the expansion of the
// file list and the batch run itself.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "convert/ConvertOptions.h"

namespace quillane::app {

// What a command line asks for, whichever syntax it was written in.
struct RunRequest {
  convert::ConvertOptions options;
  std::vector<std::string> entries;  // workbook paths and wildcard patterns, in order
  bool showUsage = false;
  bool showVersion = false;
  std::string error;                 // not empty: the arguments are unusable
};

// Exit statuses of a command-line run.
inline constexpr int kExitConverted = 0;  // every workbook converted or skipped (100, 101)
inline constexpr int kExitFailures = 1;   // some workbook gave 102 or 103, or no log was written
inline constexpr int kExitUnusable = 2;   // the engine did not start (104), or bad arguments

// Where the run writes: its log lines and usage to `out`, errors and progress to `err`. The
// progress line (workbooks done, the next one) is drawn only when `progress` is true.
struct RunStreams {
  std::ostream& out;
  std::ostream& err;
  bool progress = false;
};

// The program's entry: with arguments the command-line run, without them the window mode. Until
// the main window exists, a start without arguments makes the engine presence test, prints the
// usage and ends with status 2.
int Main(int argc, char** argv);

// The usage text of this platform's syntax.
void ShowUsage(std::ostream& out);
// The usage text of the Windows syntax, lines ended by CR LF.
std::string WindowsUsageText();
// The usage text of the POSIX options.
std::string PosixUsageText();

// Runs a command-line request: converts every workbook of its file list and appends the log
// lines. Returns the exit status.
int RunCommandLine(const RunRequest& request, RunStreams streams);

// Appends to `files` the workbook paths named by `entries`: a plain path as it is (made absolute
// against the current folder when relative), a wildcard pattern ("*", "?") by a search of its
// folder, or of the folder and its subfolders with `includeSubfolders`.
void ExpandFileList(const std::vector<std::string>& entries, std::vector<std::string>& files,
                    bool includeSubfolders);

// The request of the Windows syntax, from the arguments of modArguments. A password comes from
// "/p" or, without it, from the environment variable GRIDCAST_PASSWORD.
RunRequest ReadWindowsCommandLine();

}  // namespace quillane::app
