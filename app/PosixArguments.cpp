#include "app/PosixArguments.h"

#include <algorithm>
#include <optional>

#include "files/modFuntions.h"

namespace quillane::app {

namespace {

enum class Value { None, Required };

// A long-only option has no short name ('\0').
struct Option {
  char shortName;
  const char* longName;
  Value value;
  char id;  // what apply() switches on
};

constexpr Option kOptions[] = {
    {'d', "dest", Value::Required, 'd'},
    {'s', "subfolders", Value::None, 's'},
    {'o', "overwrite", Value::None, 'o'},
    {'l', "log", Value::Required, 'l'},
    {'c', "compress", Value::None, 'c'},
    {'f', "keep-files", Value::None, 'f'},
    {'e', "sheets", Value::Required, 'e'},
    {'p', "password", Value::Required, 'p'},
    {'j', "jobs", Value::Required, 'j'},
    {'0', "null", Value::None, '0'},
    {'\0', "files-from", Value::Required, 'F'},
    {'\0', "shard", Value::Required, 'S'},
    {'h', "help", Value::None, 'h'},
    {'?', nullptr, Value::None, 'h'},
    {'\0', "version", Value::None, 'V'},
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

}  // namespace

RunRequest ParsePosixArguments(const std::vector<std::string>& arguments,
                               const std::string& currentFolder,
                               const std::string& environmentPassword) {
  RunRequest request;
  convert::ConvertOptions& options = request.options;
  std::optional<std::string> password;

  auto fail = [&](const std::string& message) {
    if (request.error.empty()) request.error = message;
  };
  auto apply = [&](const Option& option, const std::string& spelled, const std::string& value) {
    switch (option.id) {
      case 'd':
        if (value.empty()) return fail("option " + spelled + " needs a folder");
        options.OutputFolder = Absolute(value, currentFolder);
        break;
      case 's':
        options.IncludeSubfolders = true;
        break;
      case 'o':
        options.Overwrite = true;
        break;
      case 'l':
        if (value.empty()) return fail("option " + spelled + " needs a file");
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
          return fail("option " + spelled + " needs a number of workbooks from 1 to " +
                      std::to_string(kMaxJobs));
        }
        break;
      case '0':
        request.nulSeparated = true;
        break;
      case 'F':
        if (value.empty()) {
          return fail("option " + spelled + " needs a file (or - for standard input)");
        }
        if (!request.filesFrom.empty()) return fail("option " + spelled + " is given twice");
        request.filesFrom = value == "-" ? std::string("-") : Absolute(value, currentFolder);
        break;
      case 'S': {
        size_t slash = value.find('/');
        long k = slash == std::string::npos ? 0 : WholeNumber(value.substr(0, slash), kMaxShards);
        long n = slash == std::string::npos ? 0 : WholeNumber(value.substr(slash + 1), kMaxShards);
        if (k == 0 || n == 0 || k > n) {
          return fail("option " + spelled + " needs K/N with 1 <= K <= N, for example 2/3");
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
  options.Password = password ? *password : environmentPassword;
  if (request.nulSeparated && request.filesFrom.empty()) fail("option -0 goes with --files-from");
  return request;
}

}  // namespace quillane::app
