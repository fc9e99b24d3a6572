// Start-up and the command-line run: the choice of mode, the usage text, the expansion of the
// file list and the batch run itself.
#pragma once

#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "convert/ConvertOptions.h"

namespace quillane::app {

// What a command line asks for, whichever syntax it was written in.
struct RunRequest {
  convert::ConvertOptions options;
  std::vector<std::string> entries;  // workbook paths and wildcard patterns, in order
  std::string filesFrom;             // a file listing workbook paths ("-": standard input)
  bool nulSeparated = false;         // the list's paths end with NUL, not with a line break
  int jobs = 1;                      // workbooks converted at a time
  int shardIndex = 0;                // with shardCount: convert only share shardIndex (1-based)
  int shardCount = 0;                // of shardCount shares; 0: the whole list
  bool showUsage = false;
  bool showVersion = false;
  std::string error;  // not empty: the arguments are unusable
};

// Exit statuses of a command-line run.
inline constexpr int kExitConverted = 0;  // every workbook converted or skipped (100, 101)
inline constexpr int kExitFailures = 1;   // some workbook gave 102 or 103, or no log was written
inline constexpr int kExitUnusable = 2;   // bad arguments, or no arguments at all
// A run stopped by a signal ends with 128 + its number: 130 for SIGINT, 143 for SIGTERM.
inline constexpr int kExitSignalBase = 128;

inline constexpr long kMaxJobs = 1024;
inline constexpr long kMaxShards = 1000000;
// The workbooks converted at a time when -j is not given: one per processor core.
int DefaultJobs();

// Where the run writes: its log lines and usage to `out`, errors and progress to `err`. The
// progress line (workbooks done, the next one) is drawn only when `progress` is true. `in` is
// read for "--files-from -" (no standard input when null).
struct RunStreams {
  std::ostream& out;
  std::ostream& err;
  bool progress = false;
  std::istream* in = nullptr;
};

// The program's entry: with arguments the command-line run, without them the window mode. When
// the window cannot take over, a start without arguments prints the usage and ends with status 2.
int Main(int argc, char** argv);

// The usage text of this platform's syntax.
void ShowUsage(std::ostream& out);
// The usage text of the Windows syntax, lines ended by CR LF.
std::string WindowsUsageText();
// The usage text of the POSIX options.
std::string PosixUsageText();

// Runs a command-line request: converts every workbook of its file list and appends the log
// lines. Returns the exit status. The file list is expanded, a path named twice (compared in its
// lexically normal form) is kept once, of workbooks whose output paths name one file (through any
// spelling or link of its folder) all but the one whose path sorts first get line 103, and with
// shardCount only the workbooks of the chosen share are converted.
// Without overwriting, a workbook any of whose pages exists from before the run gets line 101.
// Up to `jobs` workbooks are converted at a time; lines are printed and logged in list order.
// After StopRun, no further workbook is started; the run ends with kExitSignalBase + signal.
int RunCommandLine(const RunRequest& request, RunStreams streams);

// Asks a running RunCommandLine to start no further workbook, as the signal `signal` does; the
// workbooks in flight are finished and logged. Safe to call from a signal handler.
void StopRun(int signal) noexcept;
// The signal that stopped the run, 0 when none.
int StopSignal() noexcept;

// Appends to `files` the workbook paths named by `entries`: a plain path as it is (made absolute
// against the current folder when relative), a wildcard pattern ("*", "?") by a search of its
// folder, or of the folder and its subfolders with `includeSubfolders`. A pattern that matches
// nothing, or whose folder does not exist, is said on `warnings` when given.
void ExpandFileList(const std::vector<std::string>& entries, std::vector<std::string>& files,
                    bool includeSubfolders, std::ostream* warnings = nullptr);

// Which of `shardCount` shares a workbook path belongs to (1-based): the same for every worker
// whatever the order of the list. The path counts relative to `currentFolder` when inside it.
int ShardOf(const std::string& path, const std::string& currentFolder, int shardCount);

// The request of the Windows syntax, from the arguments of modArguments. A password comes from
// "/p" or, without it, from the environment variable GRIDCAST_PASSWORD.
RunRequest ReadWindowsCommandLine();
// True when a Windows command line is in the POSIX syntax instead: its first argument (split as
// the C runtime splits it) is an option ("-o", "--dest", "--"), not a file of that name in the
// current folder or the program's.
bool UsesPosixSyntax(const std::vector<std::string>& arguments);

}  // namespace quillane::app
