#include "app/WindowsConsole.h"

#include <windows.h>
// windows.h first
#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <csignal>

#include "app/modMain.h"
#include "files/AtomicFile.h"
#include "files/WideNames.h"

namespace quillane::app {

namespace {

std::atomic<bool> runEnded{false};

// Ctrl+C and Ctrl+Break stop the run as SIGINT does on POSIX, and a second one ends the process
// at once, leaving no temporary page file behind. Closing the console, logging off and shutting
// down stop it too; the system ends the process when this returns, so it waits a few seconds for
// the workbooks in progress and the log.
BOOL WINAPI OnConsoleEvent(DWORD event) {
  const bool interrupt = event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
  if (interrupt && StopSignal() != 0) {
    files::RemoveTemporaryFilesNow();
    ExitProcess(static_cast<UINT>(kExitSignalBase + SIGINT));
  }
  StopRun(SIGINT);
  if (!interrupt) {
    for (int i = 0; i < 40 && !runEnded; ++i) Sleep(100);
    files::RemoveTemporaryFilesNow();
  }
  return TRUE;
}

}  // namespace

void CatchConsoleEvents() { SetConsoleCtrlHandler(OnConsoleEvent, TRUE); }

void RunEnded() { runEnded = true; }

std::vector<std::string> ProcessArguments() {
  std::vector<std::string> arguments;
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!wide) return arguments;
  for (int i = 1; i < count; ++i) arguments.push_back(files::Utf8(wide[i]));
  LocalFree(wide);
  return arguments;
}

std::string CommandLineWithoutProgram() {
  const std::string text = files::Utf8(GetCommandLineW());
  size_t start = 0;
  if (!text.empty() && text[0] == '"') {
    const size_t close = text.find('"', 1);
    start = close == std::string::npos ? text.size() : close + 1;
  } else {
    start = std::min(text.find_first_of(" \t"), text.size());
  }
  return text.substr(start);
}

}  // namespace quillane::app
