#include "app/modMain.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#ifdef __GLIBC__  // known once a standard header is in
#include <malloc.h>
#endif

#include "app/OrderedPool.h"
#include "app/PosixArguments.h"
#include "app/modArguments.h"
#include "convert/ConversionLog.h"
#include "convert/ConvertWorkbook.h"
#include "files/AtomicFile.h"
#include "files/Search.h"
#include "files/modFuntions.h"
#include "spreadsheet/WorkbookFormats.h"
#include "support/Ascii.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>

#include "app/WindowsConsole.h"
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#ifndef QUILLANE_VERSION
#define QUILLANE_VERSION "0"
#endif

namespace quillane::app {

namespace {

bool HasWildcard(const std::string& entry) {
  return entry.find_first_of("*?") != std::string::npos;
}

std::string CurrentFolder() {
  std::error_code ec;
  std::string folder = std::filesystem::current_path(ec).string();
  if (folder.empty() || !files::IsSeparator(folder.back())) folder += files::kSeparator;
  return folder;
}

// The folder a plain name without a folder refers to.
std::string DefaultFolder() {
#ifdef _WIN32
  return files::AppPath();
#else
  return CurrentFolder();
#endif
}

bool IsRelative(const std::string& path) {
#ifdef _WIN32
  return path.find_first_of("\\/") == std::string::npos;
#else
  return path.empty() || path[0] != '/';
#endif
}

std::string TrimBlanks(const std::string& text) {
  size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  size_t last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

std::string WithoutQuotes(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c != '"') out += c;
  }
  return out;
}

// A path value of "/d" or "/l": the colon of "/d:" dropped (only a colon), quotes removed,
// blanks trimmed.
std::string PathValue(std::string value) {
  if (!value.empty() && value[0] == ':') value.erase(0, 1);
  return TrimBlanks(WithoutQuotes(value));
}

std::string EnvironmentPassword() {
  const char* password = std::getenv("GRIDCAST_PASSWORD");
  return password ? password : "";
}

class Progress {
 public:
  Progress(std::ostream& err, bool enabled) : err_(err), enabled_(enabled) {}
  void Show(size_t done, size_t total, const std::string& next) {
    if (!enabled_) return;
    err_ << "\r\033[K" << done << " of " << total << " workbooks done";
    if (!next.empty()) err_ << ", next: " << convert::OneLineField(next);
    err_ << std::flush;
    shown_ = true;
  }
  void Clear() {
    if (!enabled_ || !shown_) return;
    err_ << "\r\033[K" << std::flush;
    shown_ = false;
  }

 private:
  std::ostream& err_;
  bool enabled_;
  bool shown_ = false;
};

std::atomic<int> stopSignal{0};

// The lexically normal form in which two paths of one run are compared.
std::string NormalKey(const std::string& path) {
  std::string key = std::filesystem::path(path).lexically_normal().string();
#ifdef _WIN32
  key = support::AsciiLower(key);
#endif
  return key;
}

// Reads the paths of a --files-from list: one a line (a CR before the line break is dropped),
// or NUL-terminated; empty ones are passed over. Relative paths are taken against the current
// folder. False, with `error`, when the list cannot be read.
bool ReadFileList(const std::string& from, bool nulSeparated, std::istream* in,
                  std::vector<std::string>& list, std::string& error) {
  std::string text;
  if (from == "-") {
    if (!in) {
      error = "no standard input";
      return false;
    }
    text.assign(std::istreambuf_iterator<char>(*in), {});
  } else {
    if (files::IsDirectory(from)) {
      error = "it is a folder";
      return false;
    }
    std::ifstream file(std::filesystem::path(from), std::ios::binary);
    if (!file) {
      error = std::strerror(errno);
      return false;
    }
    text.assign(std::istreambuf_iterator<char>(file), {});
    if (file.bad()) {
      error = "read error";
      return false;
    }
  }
  const char end = nulSeparated ? '\0' : '\n';
  size_t start = 0;
  while (start < text.size()) {
    size_t stop = text.find(end, start);
    if (stop == std::string::npos) stop = text.size();
    std::string path = text.substr(start, stop - start);
    start = stop + 1;
    if (!nulSeparated && !path.empty() && path.back() == '\r') path.pop_back();
    if (path.empty()) continue;
    list.push_back(IsRelative(path) ? CurrentFolder() + path : path);
  }
  return true;
}

#ifndef _WIN32
// A file entry that does not exist but looks like a switch of the Windows syntax ("/o", "/d:out",
// "/e1-3", "/?"): the option probably meant, or the empty text.
std::string WindowsSwitchHint(const std::string& entry) {
  if (entry.size() < 2 || entry[0] != '/' || entry.find('/', 1) != std::string::npos) return {};
  std::error_code ec;
  if (std::filesystem::exists(std::filesystem::symlink_status(entry, ec))) return {};
  const char first = entry[1];
  const char letter = static_cast<char>(first >= 'A' && first <= 'Z' ? first + 32 : first);
  std::string rest = entry.substr(2);
  auto onlyLetters = [&] {
    return rest.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ") ==
           std::string::npos;
  };
  switch (letter) {
    case '?':
    case 'h':
      return onlyLetters() ? "--help" : "";
    case 's':
    case 'o':
    case 'c':
    case 'f':
      return onlyLetters() ? std::string("-") + letter : "";
    case 'e':
      if (!rest.empty() && (rest[0] == ':' || rest[0] == '=')) rest.erase(0, 1);
      if (rest.find_first_not_of("0123456789,- ") != std::string::npos) return {};
      return rest.empty() ? "-e RANGE" : "-e " + rest;
    case 'd':
    case 'l':
    case 'p': {
      if (rest.empty()) {
        const char* value = letter == 'd' ? " DIR" : letter == 'l' ? " FILE" : " PASS";
        return std::string("-") + letter + value;
      }
      if (rest[0] != ':' && rest[0] != '=') return {};
      rest = WithoutQuotes(rest.substr(1));
      if (rest.empty()) return {};
      return std::string("-") + letter + " " + rest;
    }
    default:
      return {};
  }
}
#endif

// FNV-1a, 64 bits: the same on every machine.
uint64_t StableHash(const std::string& text) {
  uint64_t hash = 14695981039346656037ull;
  for (char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ull;
  }
  return hash;
}

// A workbook path as every worker of a sharded run spells it: lexically normal, and relative to
// the current folder when it lies inside it.
std::string RunKey(const std::string& path, const std::string& currentFolder) {
  std::string key = NormalKey(path);
  std::string folder = NormalKey(currentFolder);
  if (!folder.empty() && !files::IsSeparator(folder.back())) folder += files::kSeparator;
  if (key.size() > folder.size() && key.compare(0, folder.size(), folder) == 0) {
    key.erase(0, folder.size());
  }
  return key;
}

// The file an output path names, whatever the spelling of its folder: the folder's device and
// inode (a linked folder and its target are one folder) and the file name. The lexically normal
// path when the folder cannot be looked at.
std::string OutputKey(const std::string& output) {
  const std::filesystem::path path(output);
#ifndef _WIN32
  std::string folder = path.parent_path().string();
  struct stat status {};
  if (stat(folder.empty() ? "." : folder.c_str(), &status) == 0) {
    return std::to_string(status.st_dev) + ":" + std::to_string(status.st_ino) + "/" +
           path.filename().string();
  }
#else
  std::error_code ec;
  std::filesystem::path folder = std::filesystem::weakly_canonical(path.parent_path(), ec);
  if (!ec) return NormalKey((folder / path.filename()).string());
#endif
  return NormalKey(output);
}

// One workbook of the run: what it needs before its conversion, and how it ended.
struct Workbook {
  std::string source;
  std::string output;
  std::string clashWith;  // an earlier workbook of the run with the same output path
  bool done = false;
  int code = 0;
  std::string line;
};

void Convert(Workbook& book, const convert::ConvertOptions& options, convert::RunPages& run) {
  if (!book.clashWith.empty()) {
    book.code = 103;
    book.line = convert::Line103(
        book.source, "Its output path " + book.output + " is also that of " + book.clashWith +
                         ", which comes first by path and keeps its pages");
  } else {
    convert::ConvertResult result =
        convert::ConvertWorkbook(book.source, book.output, options, run);
    book.code = static_cast<int>(result.code);
    book.line = std::move(result.line);
  }
}

// Converts the workbooks on `jobs` threads, which take them in list order; `record` is called on
// this thread for each one, in list order, once all before it are recorded. A stop lets every
// worker finish the workbook it holds.
void ConvertSeveralAtATime(std::vector<Workbook>& books, size_t jobs,
                           const convert::ConvertOptions& options, convert::RunPages& run,
                           Progress& progress, const size_t& finished,
                           const std::function<void(Workbook&)>& record) {
  OrderedPool pool(
      books.size(), jobs, [&](size_t i) { Convert(books[i], options, run); },
      [] { return StopSignal() != 0; });
  for (;;) {
    const size_t next = pool.Next();
    progress.Show(finished, books.size(), next < books.size() ? books[next].source : "");
    const std::vector<size_t> ready = pool.WaitInOrder();
    if (ready.empty()) break;
    progress.Clear();
    for (size_t i : ready) record(books[i]);
  }
}

// The workbooks of the file list, each path once, in list order. Workbooks whose output paths
// name one file clash: the one whose path sorts first (as RunKey spells it) is converted, the
// others get line 103. Both are decided over the whole list and do not depend on its order, so
// every share of a sharded run agrees.
std::vector<Workbook> PlanWorkbooks(const std::vector<std::string>& list,
                                    const std::string& outputFolder,
                                    const std::string& currentFolder) {
  std::vector<Workbook> books;
  std::vector<std::string> order, outputs;
  std::unordered_set<std::string> sources;
  std::unordered_map<std::string, size_t> first;  // output key -> the book that goes first
  for (const std::string& source : list) {
    if (!sources.insert(NormalKey(source)).second) continue;
    Workbook book;
    book.source = source;
    book.output = files::ChangeExtension(source, ".htm");
    if (!outputFolder.empty()) book.output = files::PlaceInFolder(book.output, outputFolder);
    order.push_back(RunKey(source, currentFolder));
    outputs.push_back(OutputKey(book.output));
    auto [it, fresh] = first.emplace(outputs.back(), books.size());
    if (!fresh && order.back() < order[it->second]) it->second = books.size();
    books.push_back(std::move(book));
  }
  for (size_t i = 0; i < books.size(); ++i) {
    const size_t winner = first.at(outputs[i]);
    if (winner != i) books[i].clashWith = books[winner].source;
  }
  return books;
}

}  // namespace

int DefaultJobs() {
  unsigned cores = std::thread::hardware_concurrency();
  return cores == 0 ? 1 : static_cast<int>(std::min<unsigned>(cores, kMaxJobs));
}

void StopRun(int signal) noexcept {
  int none = 0;
  stopSignal.compare_exchange_strong(none, signal);
}

int StopSignal() noexcept { return stopSignal.load(); }

int ShardOf(const std::string& path, const std::string& currentFolder, int shardCount) {
  return static_cast<int>(StableHash(RunKey(path, currentFolder)) %
                          static_cast<uint64_t>(shardCount)) +
         1;
}

std::string WindowsUsageText() {
  const char* lines[] = {
      "gridcast <File List> [/d:Dest Path] [/s] [/o] [/l:[LogFile]] [/c] [/f] [e:<Range>] [/?]",
      "",
      "<File List>\tFile list want to be converted, Example: C:\\abc.xls D:\\*.xls",
      "[/d:Dest Path]\tDestination path, Default: Same as input file;",
      "[/s]\t\tInclude subfolders;",
      "[/o]\t\tOverwrite existing output files;",
      "[/e] Range\t\tSheets to convert, Exam: 1,4-5,10-20",
      "[/l:[LogFile]]\tCreate a .log File, if doesn't specify, will be create in app path;"
      "               ",
      "[/c]\t\tCompress HTML files;",
      "[/f]\t\tCreate the XXX.files Dir;",
      "[/?]\t\tShow this message box.",
      "",
      "Example: Convert C:\\test.xls and all XLS files in C:\\Temp to HTML files, save logs to "
      "c:\\abc.log",
      "gridcast C:\\test.xls C:\\Temp\\*.xls /l:c:\\abc.log",
  };
  std::string text;
  for (const char* line : lines) {
    text += line;
    text += "\r\n";
  }
  return text;
}

std::string PosixUsageText() {
  std::string formats;
  for (const auto& [family, name] : spreadsheet::kWorkbookFamilies) {
    std::string row = "  " + std::string(name);
    row.resize(std::max<size_t>(row.size() + 2, 38), ' ');
    formats += row + spreadsheet::WorkbookExtensions(family) + "\n";
  }
  return "Usage: gridcast [options] FILE...\n"
         "Converts spreadsheet workbooks into HTML pages, one page per worksheet:\n"
         "book.xls gives book_1.htm, book_2.htm, ... It reads (the format is told from\n"
         "the file's bytes, not its name):\n" +
         formats +
         "\n"
         "FILE is a workbook or a wildcard pattern such as \"data/*.xls\" (quote it).\n" +
         PosixOptionsHelp() +
         "Options may stand anywhere; \"--\" ends them.\n"
         "\n"
         "Each workbook gives one line, printed when it is done and at the end appended to\n"
         "the log: the --log FILE, or else a file named after today's date (such as\n"
         "120626.log) in the program's folder, or in $XDG_STATE_HOME/quillane\n"
         "(~/.local/state/quillane) when the program's folder is not writable.\n"
         "\n"
         "Exit status:\n"
         "  0    every workbook was converted or skipped, or there was none\n"
         "  1    some workbook is missing or could not be converted, or the log\n"
         "       could not be written\n"
         "  2    no arguments, unusable arguments, a --dest folder that does not\n"
         "       exist, or an unreadable --files-from list\n"
         "  130  interrupted (SIGINT; 143 for SIGTERM): the workbooks in progress were\n"
         "       finished and the lines of all finished ones logged\n"
         "\n"
         "Example: convert /data/test.xls and every .xls file in /tmp, logging to abc.log:\n"
         "  gridcast /data/test.xls \"/tmp/*.xls\" --log /tmp/abc.log\n";
}

void ShowUsage(std::ostream& out) {
#ifdef _WIN32
  out << WindowsUsageText();
#else
  out << PosixUsageText();
#endif
  out.flush();
}

void ExpandFileList(const std::vector<std::string>& entries, std::vector<std::string>& list,
                    bool includeSubfolders, std::ostream* warnings) {
  for (std::string entry : entries) {
#ifdef _WIN32
    entry = WithoutQuotes(entry);
#endif
    if (entry.empty()) continue;
    if (!HasWildcard(entry)) {
      if (IsRelative(entry)) entry = DefaultFolder() + entry;
      list.push_back(entry);
      continue;
    }
    std::string folder;
    std::string pattern;
    size_t cut = std::string::npos;
    for (size_t i = entry.size(); i > 0; --i) {
      if (files::IsSeparator(entry[i - 1])) {
        cut = i;
        break;
      }
    }
    if (cut == std::string::npos) {
      folder = DefaultFolder();
      pattern = entry;
    } else {
      folder = entry.substr(0, cut);
      pattern = entry.substr(cut);
#ifndef _WIN32
      if (IsRelative(folder)) folder = CurrentFolder() + folder;
#endif
    }
    if (!files::IsDirectory(folder)) {
      if (warnings) {
        *warnings << "gridcast: the folder " << convert::OneLineField(folder) << " of "
                  << convert::OneLineField(entry) << " does not exist\n";
      }
      continue;
    }
    const std::vector<std::string> found = includeSubfolders ? files::SearchTree(folder, pattern)
                                                             : files::SearchFolder(folder, pattern);
    if (found.empty() && warnings) {
      *warnings << "gridcast: nothing matches " << convert::OneLineField(entry)
                << (includeSubfolders ? " (subfolders searched too)\n" : "\n");
    }
    list.insert(list.end(), found.begin(), found.end());
  }
}

RunRequest ReadWindowsCommandLine() {
  RunRequest request;
  convert::ConvertOptions& options = request.options;
  request.showUsage = SwitchPresent("?") || SwitchPresent("H");
  options.IncludeSubfolders = SwitchPresent("s");
  options.Overwrite = SwitchPresent("o");
  options.Compress = SwitchPresent("c");
  options.CreateFilesDir = SwitchPresent("f");
  std::string sheets = GetSwitchValue("e");
  if (!sheets.empty() && sheets[0] == ':') sheets.erase(0, 1);
  options.SheetRange = sheets;
  options.LogPath = PathValue(GetSwitchValue("l"));
  options.OutputFolder = PathValue(GetSwitchValue("d"));
  std::string password = GetSwitchValue("p");
  if (!password.empty() && password[0] == ':') password = StripQuotes(password.substr(1));
  options.Password = password.empty() ? EnvironmentPassword() : password;
  options.WriteLog = true;
  for (int32_t i = 1; i <= ArgCount(); ++i) {
    std::string arg = WithoutQuotes(GetArg(i, true));
    if (!arg.empty() && arg[0] == '/') break;  // the file list ends at the first switch
    request.entries.push_back(arg);
  }
  return request;
}

int RunCommandLine(const RunRequest& request, RunStreams streams) {
  std::ostream& out = streams.out;
  std::ostream& err = streams.err;
  if (request.showUsage) {
    ShowUsage(out);
    return kExitConverted;
  }
  if (request.showVersion) {
    out << "gridcast " << QUILLANE_VERSION << "\n";
    return kExitConverted;
  }
  if (!request.error.empty()) {
    err << "gridcast: " << request.error << " (see 'gridcast --help')\n";
    return kExitUnusable;
  }
  const convert::ConvertOptions& options = request.options;
  if (!options.OutputFolder.empty() && !files::IsDirectory(options.OutputFolder)) {
    std::error_code ec;
    bool exists = std::filesystem::exists(options.OutputFolder, ec);
    err << "gridcast: the output folder " << convert::OneLineField(options.OutputFolder)
        << (exists ? " is not a folder\n" : " does not exist\n");
    return kExitUnusable;
  }
  std::vector<std::string> listed;
  if (!request.filesFrom.empty()) {
    std::string error;
    if (!ReadFileList(request.filesFrom, request.nulSeparated, streams.in, listed, error)) {
      err << "gridcast: cannot read the file list " << convert::OneLineField(request.filesFrom)
          << ": " << error << "\n";
      return kExitUnusable;
    }
  }

  convert::RunLog log;
  int status = kExitConverted;
  auto report = [&](const std::string& line) {
    log.Gather(line);
    out << line << "\n" << std::flush;  // a closed output stops the printing, not the run
  };
  Progress progress(err, streams.progress);
  size_t finished = 0;
#ifndef _WIN32
  for (const std::string& entry : request.entries) {
    std::string hint = WindowsSwitchHint(entry);
    if (!hint.empty()) {
      err << "gridcast: " << convert::OneLineField(entry)
          << " does not exist; options start with '-' here: did you mean " << hint << "?\n";
    }
  }
#endif
  std::vector<std::string> expanded;
  ExpandFileList(request.entries, expanded, options.IncludeSubfolders, &err);
  expanded.insert(expanded.end(), listed.begin(), listed.end());

  std::vector<Workbook> books = PlanWorkbooks(expanded, options.OutputFolder, CurrentFolder());
  if (request.shardCount > 0) {
    const std::string here = CurrentFolder();
    std::erase_if(books, [&](const Workbook& book) {
      return ShardOf(book.source, here, request.shardCount) != request.shardIndex;
    });
  }
  const size_t total = books.size();

  auto record = [&](Workbook& book) {
    report(book.line);
    if (book.code == 102 || book.code == 103) status = kExitFailures;
    ++finished;
  };
  const size_t jobs = std::min<size_t>(std::max(request.jobs, 1), books.size());
  convert::RunPages run;
  if (jobs <= 1) {
    for (Workbook& book : books) {
      if (StopSignal()) break;
      progress.Show(finished, total, book.source);
      Convert(book, options, run);
      progress.Clear();
      record(book);
    }
  } else {
    ConvertSeveralAtATime(books, jobs, options, run, progress, finished, record);
  }
  progress.Clear();
  if (options.WriteLog && !log.Empty()) {
    // A log the user names may be a link (-l /dev/stdout); the dated one is never followed.
    const bool named = !options.LogPath.empty();
    std::string path = named ? options.LogPath : convert::DefaultLogPath();
    std::string error;
    if (!log.AppendTo(path, error,
                      named ? convert::RunLog::Links::Follow : convert::RunLog::Links::Refuse)) {
      err << "gridcast: cannot write the log file " << convert::OneLineField(path) << ": " << error
          << "\n";
      if (status == kExitConverted) status = kExitFailures;
    }
  }
  if (int signal = StopSignal()) {
    err << "gridcast: stopped by signal " << signal << " after " << finished << " of " << total
        << " workbooks\n";
    return kExitSignalBase + signal;
  }
  return status;
}

#ifndef _WIN32
namespace {

// The first SIGINT or SIGTERM stops the run after the workbooks in progress; a second one ends
// the process at once, leaving no temporary page file behind.
extern "C" void OnStopSignal(int signal) {
  if (StopSignal() == 0) {
    StopRun(signal);
    return;
  }
  files::RemoveTemporaryFilesNow();
  _exit(kExitSignalBase + signal);
}

void CatchSignals() {
  // A closed standard output (gridcast ... | head) must not end the run: writes just fail.
  std::signal(SIGPIPE, SIG_IGN);
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

}  // namespace
#endif

bool UsesPosixSyntax(const std::vector<std::string>& arguments) {
  if (arguments.empty()) return false;
  const std::string& first = arguments[0];
  if (first.size() < 2 || first[0] != '-') return false;
  // A workbook of that name where the Windows syntax looks for it is taken as a file.
  return !files::FileExists(first) && !files::FileExists(files::AppPath() + first);
}

#ifndef _WIN32
namespace {

// Replaces this process with quillane from the program's folder when a display is available.
// Returns only when it does not (no display, no quillane beside it, or the start failed).
void HandOverToWindow() {
  const char* x11 = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  if (!((x11 && *x11) || (wayland && *wayland))) return;
  const std::string window = files::AppPath() + "quillane";
  if (access(window.c_str(), X_OK) != 0 || files::IsDirectory(window)) return;
  char* const args[] = {const_cast<char*>(window.c_str()), nullptr};
  execv(window.c_str(), args);
}

}  // namespace
#endif

int Main(int argc, char** argv) {
  if (argc > 0 && argv[0]) files::SetProgramPath(argv[0]);
#ifdef _WIN32
  // Texts are UTF-8 inside; the console shows them so.
  SetConsoleOutputCP(CP_UTF8);
  SetCommandLineText(CommandLineWithoutProgram());
  const std::vector<std::string> arguments = ProcessArguments();
  const bool commandLine = ArgCount() > 0;
  const bool progress = _isatty(_fileno(stderr)) != 0;
#else
  const bool commandLine = argc > 1;
  const bool progress = isatty(STDERR_FILENO) != 0;
#endif
  if (!commandLine) {
#ifndef _WIN32
    // The window program takes over when it is installed beside this one and there is a display.
    HandOverToWindow();
#endif
    // No window: show the usage.
    ShowUsage(std::cout);
    return kExitUnusable;
  }
#ifdef _WIN32
  CatchConsoleEvents();
  RunRequest request = UsesPosixSyntax(arguments)
                           ? ParsePosixArguments(arguments, CurrentFolder(), EnvironmentPassword())
                           : ReadWindowsCommandLine();
  const int status = RunCommandLine(request, RunStreams{std::cout, std::cerr, progress, &std::cin});
  RunEnded();
  return status;
#else
  CatchSignals();
#ifdef __GLIBC__
  // A batch frees for each workbook much of the memory it takes again for the next. The
  // allocator keeps it (up to a bound) instead of handing it back to the system and having every
  // page of it faulted in again: about a tenth of the time of a batch of small workbooks.
  mallopt(M_TRIM_THRESHOLD, 64 << 20);
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
#endif
  std::vector<std::string> arguments(argv + 1, argv + argc);
  RunRequest request = ParsePosixArguments(arguments, CurrentFolder(), EnvironmentPassword());
  return RunCommandLine(request, RunStreams{std::cout, std::cerr, progress, &std::cin});
#endif
}

}  // namespace quillane::app
