#include "app/PosixArguments.h"

#include <algorithm>
#include <iterator>
#include <optional>

#include "files/modFuntions.h"

namespace quillane::app {

namespace {

enum class Value { None, Required };

// Each option once: its names, its value, what apply() switches on, and its lines of the usage
// text (the value's name and the help, lines after the first on lines of their own). A
// long-only option has no short name ('\0'); a row without help is another name of the row
// before it with the same id.
struct Option {
  char shortName;
  const char* longName;
  Value value;
  char id;
  const char* valueName;
  const char* help;
};

constexpr Option kOptions[] = {
    {'d', "dest", Value::Required, 'd', "DIR",
     "write the pages into DIR, which must exist\n(default: beside each workbook)"},
    {'s', "subfolders", Value::None, 's', nullptr,
     "let wildcard patterns search all subfolders too"},
    {'o', "overwrite", Value::None, 'o', nullptr,
     "convert even when a page it writes (book_1.htm) exists;\nwithout it such a workbook is "
     "skipped"},
    {'e', "sheets", Value::Required, 'e', "RANGE",
     "convert only these worksheets, for example 1,4-5,10-20"},
    {'c', "compress", Value::None, 'c', nullptr, "compact the pages written"},
    {'f', "keep-files", Value::None, 'f', nullptr,
     "keep the supporting folder of each page (book_1.files)"},
    {'p', "password", Value::Required, 'p', "PASS",
     "password of encrypted workbooks\n(default: the environment variable GRIDCAST_PASSWORD)"},
    {'l', "log", Value::Required, 'l', "FILE", "append the log lines to FILE"},
    {'j', "jobs", Value::Required, 'j', "N",
     "convert N workbooks at a time (default: one per core)"},
    {'\0', "files-from", Value::Required, 'F', "LIST",
     "also convert the workbooks listed in the file LIST,\none path a line (\"-\" reads standard "
     "input)"},
    {'0', "null", Value::None, '0', nullptr, "the paths of LIST end with a NUL character instead"},
    {'\0', "shard", Value::Required, 'S', "K/N",
     "convert only the K-th of N shares of the workbooks"},
    {'h', "help", Value::None, 'h', nullptr, "show this help"},
    {'?', nullptr, Value::None, 'h', nullptr, nullptr},
    {'\0', "version", Value::None, 'V', nullptr, "show the version"},
};

const Option* FindShort(char name) {
  for (const Option& option : kOptions) {
    if (option.shortName != '\0' && option.shortName == name) return &option;
  }
  return nullptr;
}

const Option* FindLong(const std::string& name) {
  for (const Option& option : kOptions) {
    if (option.longName && name == option.longName) return &option;
  }
  return nullptr;
}

// A whole decimal number from 1 to `limit`, or 0.
long WholeNumber(const std::string& text, long limit) {
  if (text.empty() || text.size() > 9) return 0;
  long value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return 0;
    value = value * 10 + (c - '0');
  }
  return value <= limit ? value : 0;
}

std::string Absolute(const std::string& path, const std::string& currentFolder) {
  if (path.empty() || files::IsSeparator(path[0])) return path;
#ifdef _WIN32
  if (path.size() >= 2 && path[1] == ':') return path;  // C:\book.xls (C:book.xls as well)
#endif
  std::string folder = currentFolder;
  if (folder.empty() || !files::IsSeparator(folder.back())) folder += files::kSeparator;
  return folder + path;
}

// Applies one option to the request; an error message, or "" when it is fine.
std::string Apply(RunRequest& request, std::optional<std::string>& password, const Option& option,
                  const std::string& spelled, const std::string& value,
                  const std::string& currentFolder) {
  convert::ConvertOptions& options = request.options;
  switch (option.id) {
    case 'd':
      if (value.empty()) return "option " + spelled + " needs a folder";
      options.OutputFolder = Absolute(value, currentFolder);
      break;
    case 's':
      options.IncludeSubfolders = true;
      break;
    case 'o':
      options.Overwrite = true;
      break;
    case 'l':
      if (value.empty()) return "option " + spelled + " needs a file";
      options.LogPath = Absolute(value, currentFolder);
      break;
    case 'c':
      options.Compress = true;
      break;
    case 'f':
      options.CreateFilesDir = true;
      break;
    case 'e':
      options.SheetRange = value;
      break;
    case 'p':
      password = value;
      break;
    case 'j':
      request.jobs = static_cast<int>(WholeNumber(value, kMaxJobs));
      if (request.jobs == 0) {
        return "option " + spelled + " needs a number of workbooks from 1 to " +
               std::to_string(kMaxJobs);
      }
      break;
    case '0':
      request.nulSeparated = true;
      break;
    case 'F':
      if (value.empty()) return "option " + spelled + " needs a file (or - for standard input)";
      if (!request.filesFrom.empty()) return "option " + spelled + " is given twice";
      request.filesFrom = value == "-" ? std::string("-") : Absolute(value, currentFolder);
      break;
    case 'S': {
      const size_t slash = value.find('/');
      const long k =
          slash == std::string::npos ? 0 : WholeNumber(value.substr(0, slash), kMaxShards);
      const long n =
          slash == std::string::npos ? 0 : WholeNumber(value.substr(slash + 1), kMaxShards);
      if (k == 0 || n == 0 || k > n) {
        return "option " + spelled + " needs K/N with 1 <= K <= N, for example 2/3";
      }
      request.shardIndex = static_cast<int>(k);
      request.shardCount = static_cast<int>(n);
      break;
    }
    case 'h':
      request.showUsage = true;
      break;
    case 'V':
      request.showVersion = true;
      break;
  }
  return {};
}

}  // namespace

RunRequest ParsePosixArguments(const std::vector<std::string>& arguments,
                               const std::string& currentFolder,
                               const std::string& environmentPassword) {
  RunRequest request;
  std::optional<std::string> password;

  auto fail = [&](const std::string& message) {
    if (request.error.empty() && !message.empty()) request.error = message;
  };
  auto apply = [&](const Option& option, const std::string& spelled, const std::string& value) {
    fail(Apply(request, password, option, spelled, value, currentFolder));
  };
  request.jobs = DefaultJobs();

  bool optionsEnded = false;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& arg = arguments[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      if (arg.empty()) {
        fail("an empty file name was given");
        continue;
      }
      std::string entry = Absolute(arg, currentFolder);
      if (std::find(request.entries.begin(), request.entries.end(), entry) == request.entries.end())
        request.entries.push_back(entry);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    if (arg[1] == '-') {  // --name, --name=value, --name value
      size_t equals = arg.find('=');
      std::string name =
          arg.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
      const Option* option = FindLong(name);
      if (!option) {
        fail("unknown option '--" + name + "'");
        continue;
      }
      std::string spelled = "--" + name;
      if (option->value == Value::None) {
        if (equals != std::string::npos)
          fail("option " + spelled + " takes no value");
        else
          apply(*option, spelled, "");
      } else if (equals != std::string::npos) {
        apply(*option, spelled, arg.substr(equals + 1));
      } else if (i + 1 < arguments.size()) {
        apply(*option, spelled, arguments[++i]);
      } else {
        fail("option " + spelled + " needs a value");
      }
      continue;
    }
    // -x, bundles of flags such as -ocf, and -xVALUE / -x VALUE for options with a value.
    for (size_t j = 1; j < arg.size(); ++j) {
      const Option* option = FindShort(arg[j]);
      std::string spelled = std::string("-") + arg[j];
      if (!option) {
        fail("unknown option '" + spelled + "'");
        break;
      }
      if (option->value == Value::None) {
        apply(*option, spelled, "");
        continue;
      }
      std::string rest = arg.substr(j + 1);
      if (!rest.empty() && rest[0] == '=') rest.erase(0, 1);  // -l=FILE as well as -lFILE
      if (!rest.empty() || (j + 1 < arg.size() && arg[j + 1] == '=')) {
        apply(*option, spelled, rest);
      } else if (i + 1 < arguments.size()) {
        apply(*option, spelled, arguments[++i]);
      } else {
        fail("option " + spelled + " needs a value");
      }
      break;
    }
  }
  request.options.Password = password ? *password : environmentPassword;
  if (request.nulSeparated && request.filesFrom.empty()) fail("option -0 goes with --files-from");
  return request;
}

std::string PosixOptionsHelp() {
  std::string text;
  for (size_t i = 0; i < std::size(kOptions); ++i) {
    const Option& option = kOptions[i];
    if (!option.help) continue;
    std::string names = option.shortName ? std::string("-") + option.shortName + ", " : "    ";
    for (size_t j = i + 1; j < std::size(kOptions) && !kOptions[j].help; ++j) {
      if (kOptions[j].id == option.id && kOptions[j].shortName)
        names += std::string("-") + kOptions[j].shortName + ", ";
    }
    names += std::string("--") + option.longName;
    if (option.valueName) names += std::string(" ") + option.valueName;
    std::string row = "  " + names;
    row.resize(std::max<size_t>(row.size() + 1, 24), ' ');
    for (const char* at = option.help; *at; ++at) {
      if (*at == '\n') {
        row += "\n" + std::string(24, ' ');
      } else {
        row += *at;
      }
    }
    text += row + "\n";
  }
  return text;
}

}  // namespace quillane::app
