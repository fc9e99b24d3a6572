#include "app/PosixArguments.h"

#include <algorithm>
#include <optional>

#include "files/modFuntions.h"

namespace quillane::app {

namespace {

enum class Value { None, Required, Optional };

struct Option {
  char shortName;
  const char* longName;
  Value value;
};

constexpr Option kOptions[] = {
    {'d', "dest", Value::Required},      {'s', "subfolders", Value::None},
    {'o', "overwrite", Value::None},     {'l', "log", Value::Optional},
    {'c', "compress", Value::None},      {'f', "keep-files", Value::None},
    {'e', "sheets", Value::Required},    {'p', "password", Value::Required},
    {'h', "help", Value::None},          {'?', nullptr, Value::None},
    {'V', "version", Value::None},
};

const Option* FindShort(char name) {
  for (const Option& option : kOptions) {
    if (option.shortName == name && name != 'V') return &option;
  }
  return nullptr;
}

const Option* FindLong(const std::string& name) {
  for (const Option& option : kOptions) {
    if (option.longName && name == option.longName) return &option;
  }
  return nullptr;
}

std::string Absolute(const std::string& path, const std::string& currentFolder) {
  if (path.empty() || files::IsSeparator(path[0])) return path;
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
    switch (option.shortName) {
      case 'd':
        if (value.empty()) return fail("option " + spelled + " needs a folder");
        options.OutputFolder = Absolute(value, currentFolder);
        break;
      case 's': options.IncludeSubfolders = true; break;
      case 'o': options.Overwrite = true; break;
      case 'l': options.LogPath = Absolute(value, currentFolder); break;
      case 'c': options.Compress = true; break;
      case 'f': options.CreateFilesDir = true; break;
      case 'e': options.SheetRange = value; break;
      case 'p': password = value; break;
      case 'h':
      case '?': request.showUsage = true; break;
      case 'V': request.showVersion = true; break;
    }
  };

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
      std::string name = arg.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
      const Option* option = FindLong(name);
      if (!option) {
        fail("unknown option '--" + name + "'");
        continue;
      }
      std::string spelled = "--" + name;
      if (option->value == Value::None) {
        if (equals != std::string::npos) fail("option " + spelled + " takes no value");
        else apply(*option, spelled, "");
      } else if (equals != std::string::npos) {
        apply(*option, spelled, arg.substr(equals + 1));
      } else if (option->value == Value::Optional) {
        apply(*option, spelled, "");
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
      if (!rest.empty() || option->value == Value::Optional || (j + 1 < arg.size() && arg[j + 1] == '=')) {
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
  return request;
}

}  // namespace quillane::app
