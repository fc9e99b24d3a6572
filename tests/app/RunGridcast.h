// Runs the gridcast program as a process in a folder and collects what it printed.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "TempFolder.h"

namespace quillane::testing {

struct GridcastRun {
  int status = -1;
  std::string out;
  std::string err;
  std::vector<std::string> lines;  // standard output, line by line
};

inline std::string ShellQuote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'') quoted += "'\\''";
    else quoted += c;
  }
  return quoted + "'";
}

// Runs gridcast with `args` in `folder`; `environment` is put before the command
// (for example "GRIDCAST_PASSWORD=x"). A run that takes longer than `limitSeconds` is stopped.
inline GridcastRun RunGridcast(const std::string& folder, const std::vector<std::string>& args,
                               const std::string& environment = "", int limitSeconds = 120) {
  TempFolder outputs;
  std::string command = "cd " + ShellQuote(folder) + " && env -u GRIDCAST_PASSWORD " +
                        environment + " timeout " + std::to_string(limitSeconds) + " " +
                        ShellQuote(GRIDCAST_PATH);
  for (const std::string& arg : args) command.append(" ").append(ShellQuote(arg));
  command += " >" + ShellQuote(outputs / "out") + " 2>" + ShellQuote(outputs / "err") + " </dev/null";
  GridcastRun run;
  int raw = std::system(command.c_str());
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  run.out = ReadFile(outputs / "out");
  run.err = ReadFile(outputs / "err");
  size_t start = 0;
  while (start < run.out.size()) {
    size_t end = run.out.find('\n', start);
    if (end == std::string::npos) end = run.out.size();
    run.lines.push_back(run.out.substr(start, end - start));
    start = end + 1;
  }
  return run;
}

// The coded part of a log line: what follows the time of day.
inline std::string CodedPart(const std::string& line) {
  size_t at = line.find("  10");
  return at == std::string::npos ? line : line.substr(at);
}

}  // namespace quillane::testing
