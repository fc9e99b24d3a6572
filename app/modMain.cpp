#include "app/modMain.h"

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <system_error>

#include "app/PosixArguments.h"
#include "app/modArguments.h"
#include "convert/ConversionLog.h"
#include "convert/modGRIDCAST.h"
#include "files/Search.h"
#include "files/modFuntions.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
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
    err_ << "\r\033[K" << done << " of " << total << " workbooks done, next: " << next
         << std::flush;
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

}  // namespace

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
  return "gridcast [options] <file>...\n"
         "\n"
         "<file>...            File list want to be converted, Example: /data/abc.xls "
         "\"/data/*.xls\"\n"
         "-d, --dest DIR       Destination path, Default: Same as input file;\n"
         "-s, --subfolders     Include subfolders;\n"
         "-o, --overwrite      Overwrite existing output files;\n"
         "-e, --sheets RANGE   Sheets to convert, Exam: 1,4-5,10-20\n"
         "-l, --log[=FILE]     Create a .log File, if doesn't specify, will be create in app path;\n"
         "-c, --compress       Compress HTML files;\n"
         "-f, --keep-files     Create the XXX.files Dir;\n"
         "-p, --password PASS  Password of encrypted workbooks (default: $GRIDCAST_PASSWORD);\n"
         "-h, -?, --help       Show this message.\n"
         "    --version        Show the version.\n"
         "\n"
         "Options may stand anywhere; \"--\" ends them. Quote wildcard entries.\n"
         "Exit status: 0 all converted or skipped, 1 some workbook failed or the log was not\n"
         "written, 2 the engine could not be started or the arguments were unusable.\n"
         "\n"
         "Example: Convert /data/test.xls and all XLS files in /tmp to HTML files, save logs to "
         "/tmp/abc.log\n"
         "gridcast /data/test.xls \"/tmp/*.xls\" --log=/tmp/abc.log\n";
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
                    bool includeSubfolders) {
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
    files::SearchResults.clear();
    std::string folder;
    size_t cut = std::string::npos;
    for (size_t i = entry.size(); i > 0; --i) {
      if (files::IsSeparator(entry[i - 1])) {
        cut = i;
        break;
      }
    }
    if (cut == std::string::npos) {
      folder = DefaultFolder();
      files::SearchPattern = entry;
    } else {
      folder = entry.substr(0, cut);
      files::SearchPattern = entry.substr(cut);
#ifndef _WIN32
      if (IsRelative(folder)) folder = CurrentFolder() + folder;
#endif
    }
    if (includeSubfolders) {
      files::Searching = false;
      files::SearchTree(folder, false);
    } else {
      files::Searching = true;
      files::SearchFolder(folder, false);
      files::Searching = false;
    }
    list.insert(list.end(), files::SearchResults.begin(), files::SearchResults.end());
    files::SearchResults.clear();
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
    err << "gridcast: the output folder " << options.OutputFolder << " does not exist\n";
    return kExitUnusable;
  }

  convert::RunLog log;
  int status = kExitConverted;
  auto report = [&](const std::string& line) {
    log.Gather(line);
    out << line << "\n" << std::flush;
  };
  Progress progress(err, streams.progress);
  if (convert::StartExcel()) {
    std::vector<std::string> list;
    ExpandFileList(request.entries, list, options.IncludeSubfolders);
    for (size_t i = 0; i < list.size(); ++i) {
      files::DoEvents();
      const std::string& source = list[i];
      progress.Show(i, list.size(), source);
      std::string output = files::ChangeExtension(source, ".htm");
      if (!options.OutputFolder.empty()) output = files::PlaceInFolder(output, options.OutputFolder);
      std::string line;
      int code = convert::ConvertWorkbookCode(source, output, line, options.Overwrite,
                                              options.CreateFilesDir, options.Compress,
                                              options.Password, options.SheetRange);
      progress.Clear();
      report(line);
      if (code == 102 || code == 103) status = kExitFailures;
    }
  } else {
    report(convert::Line104());
    status = kExitUnusable;
  }
  if (options.WriteLog && !log.Empty()) {
    std::string path = options.LogPath.empty() ? convert::DefaultLogPath() : options.LogPath;
    std::string error;
    if (!log.AppendTo(path, error)) {
      err << "gridcast: cannot write the log file " << path << ": " << error << "\n";
      if (status == kExitConverted) status = kExitFailures;
    }
  }
  convert::QuitExcel();
  return status;
}

int Main(int argc, char** argv) {
  if (argc > 0 && argv[0]) files::SetProgramPath(argv[0]);
#ifdef _WIN32
  // The command-line text without the program's own path, as the Windows syntax reads it.
  std::string text = GetCommandLineA();
  size_t start = 0;
  if (!text.empty() && text[0] == '"') {
    size_t close = text.find('"', 1);
    start = close == std::string::npos ? text.size() : close + 1;
  } else {
    size_t blank = text.find(' ');
    start = blank == std::string::npos ? text.size() : blank;
  }
  SetCommandLineText(text.substr(start));
  const bool commandLine = ArgCount() > 0;
  const bool progress = _isatty(_fileno(stderr)) != 0;
#else
  const bool commandLine = argc > 1;
  const bool progress = isatty(STDERR_FILENO) != 0;
#endif
  if (!commandLine) {
    // Window mode is not built yet: make the presence test it starts with, then show the usage.
    if (!convert::StartExcel()) {
      std::cerr << "Can not load Microsoft Excel, you must install Microsoft Excel 2000 or higher, "
                   "please try again!\n";
      convert::QuitExcel();
      return kExitUnusable;
    }
    convert::QuitExcel();
    ShowUsage(std::cout);
    return kExitUnusable;
  }
#ifdef _WIN32
  RunRequest request = ReadWindowsCommandLine();
#else
  std::vector<std::string> arguments(argv + 1, argv + argc);
  RunRequest request = ParsePosixArguments(arguments, CurrentFolder(), EnvironmentPassword());
#endif
  return RunCommandLine(request, RunStreams{std::cout, std::cerr, progress});
}

}  // namespace quillane::app
