// Runs the gridcast program as a process in a folder and collects what it printed.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

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
    if (c == '\'')
      quoted += "'\\''";
    else
      quoted += c;
  }
  return quoted + "'";
}

// Runs gridcast with `args` in `folder`; `environment` is put before the command
// (for example "GRIDCAST_PASSWORD=x"). A run that takes longer than `limitSeconds` is stopped.
inline GridcastRun RunGridcast(const std::string& folder, const std::vector<std::string>& args,
                               const std::string& environment = "", int limitSeconds = 120) {
  TempFolder outputs;
  std::string command =
      "cd " + ShellQuote(folder) + " && env -u GRIDCAST_PASSWORD -u DISPLAY -u WAYLAND_DISPLAY " +
      environment + " timeout " + std::to_string(limitSeconds) + " " + ShellQuote(GRIDCAST_PATH);
  for (const std::string& arg : args) command.append(" ").append(ShellQuote(arg));
  command +=
      " >" + ShellQuote(outputs / "out") + " 2>" + ShellQuote(outputs / "err") + " </dev/null";
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

// gridcast started with absolute paths in `args`, its standard output on a pipe (`out`, the
// read end, -1 when `closeOutput` closed it before the start) and SIGPIPE at its default, so a
// closed output would end it. Standard input and error are /dev/null.
struct SpawnedGridcast {
  pid_t pid = -1;
  int out = -1;

  explicit SpawnedGridcast(const std::vector<std::string>& args, bool closeOutput = false) {
    int fds[2];
    if (pipe(fds) != 0) return;
    if (closeOutput) close(fds[0]);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    if (!closeOutput) posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGINT);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    std::vector<std::string> words = {GRIDCAST_PATH};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid, GRIDCAST_PATH, &actions, &attributes, argv.data(), environ) != 0) {
      pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(fds[1]);
    if (!closeOutput) out = fds[0];
  }
  ~SpawnedGridcast() {
    if (out >= 0) close(out);
    if (pid > 0) Wait();
  }
  // Standard output up to and including the next line break (or the end).
  std::string ReadLine() {
    std::string line;
    char c;
    while (out >= 0 && read(out, &c, 1) == 1) {
      line += c;
      if (c == '\n') break;
    }
    return line;
  }
  std::string ReadRest() {
    std::string text;
    char buffer[4096];
    ssize_t got;
    while (out >= 0 && (got = read(out, buffer, sizeof buffer)) > 0) text.append(buffer, got);
    return text;
  }
  // The exit status, or 1000 + the signal that ended it.
  int Wait() {
    int raw = 0;
    if (pid <= 0 || waitpid(pid, &raw, 0) != pid) return -1;
    pid = -1;
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : 1000 + WTERMSIG(raw);
  }
};

// The coded part of a log line: what follows the time of day.
inline std::string CodedPart(const std::string& line) {
  size_t at = line.find("  10");
  return at == std::string::npos ? line : line.substr(at);
}

}  // namespace quillane::testing
