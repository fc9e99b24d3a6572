#include "app/modArguments.h"
#include "support/Ascii.h"

#include <optional>

namespace quillane::app {

namespace {

constexpr char kDoubledQuote = '\x01';
constexpr char kQuotedBlank = '\x02';
constexpr char kQuotedSlash = '\x03';

std::string& CommandLineText() {
  static std::string text;
  return text;
}

std::optional<std::vector<std::string>>& ArgList() {
  static std::optional<std::vector<std::string>> list;
  return list;
}

bool EqualNoCase(const std::string& a, const std::string& b) { return support::EqualsNoCase(a, b); }

std::string TrimBlanks(const std::string& text) {
  size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  size_t last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

std::string ReplaceAll(const std::string& text, const std::string& find, const std::string& with) {
  std::string out;
  size_t start = 0;
  for (;;) {
    size_t at = text.find(find, start);
    if (at == std::string::npos) break;
    out.append(text, start, at - start);
    out += with;
    start = at + find.size();
  }
  out.append(text, start, std::string::npos);
  return out;
}

const std::vector<std::string>& Arguments() {
  if (!ArgList()) ArgList() = ParseCommandLine(CommandLineText());
  return *ArgList();
}

// The argument that has switch `name`, or nullptr.
const std::string* FindSwitch(const std::string& name) {
  for (const std::string& arg : Arguments()) {
    if (arg.size() < 1 + name.size() || arg[0] != '/') continue;
    if (EqualNoCase(arg.substr(1, name.size()), name)) return &arg;
  }
  return nullptr;
}

}  // namespace

void SetCommandLineText(const std::string& text) {
  CommandLineText() = TrimBlanks(text);
  ArgList().reset();
}

std::vector<std::string> ParseCommandLine(const std::string& commandLine) {
  std::vector<std::string> list;
  std::string text = TrimBlanks(commandLine);
  if (text.empty()) return list;
  text = ReplaceAll(text, "\"\"", std::string(1, kDoubledQuote));
  text = " " + text + " ";

  // Inside quotes, blanks and slashes are hidden so that neither splits the argument.
  std::string joined;
  bool quoted = false;
  size_t pieceStart = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i < text.size() && text[i] != '"') continue;
    std::string piece = text.substr(pieceStart, i - pieceStart);
    if (quoted) {
      for (char& c : piece) {
        if (c == ' ') c = kQuotedBlank;
        if (c == '/') c = kQuotedSlash;
      }
      joined += '"' + piece + '"';
    } else {
      joined += piece;
    }
    quoted = !quoted;
    pieceStart = i + 1;
  }
  joined = TrimBlanks(joined);
  joined = ReplaceAll(joined, "/", " /");

  size_t start = 0;
  while (start <= joined.size()) {
    size_t blank = joined.find(' ', start);
    if (blank == std::string::npos) blank = joined.size();
    std::string piece = joined.substr(start, blank - start);
    start = blank + 1;
    if (piece.empty()) continue;
    std::string arg;
    for (char c : piece) {
      if (c == kDoubledQuote) {
        arg += "\"\"";
      } else if (c == kQuotedBlank) {
        arg += ' ';
      } else if (c == kQuotedSlash) {
        arg += '/';
      } else {
        arg += c;
      }
    }
    bool repeated = false;
    for (const std::string& earlier : list) {
      if (EqualNoCase(earlier, arg)) {
        repeated = true;
        break;
      }
    }
    if (!repeated) list.push_back(arg);
  }
  return list;
}

int32_t ArgCount() { return static_cast<int32_t>(Arguments().size()); }

std::string GetArg(int32_t index, bool unquote) {
  const std::vector<std::string>& list = Arguments();
  if (index < 1 || static_cast<size_t>(index) > list.size()) return {};
  const std::string& arg = list[static_cast<size_t>(index) - 1];
  return unquote ? StripQuotes(arg) : arg;
}

bool SwitchPresent(const std::string& name) { return FindSwitch(name) != nullptr; }

std::string GetSwitchValue(const std::string& name) {
  const std::string* arg = FindSwitch(name);
  if (!arg) return {};
  std::string value = StripQuotes(arg->substr(1 + name.size()));
  if (!value.empty() && value[0] == '=') value.erase(0, 1);
  return TrimBlanks(value);
}

std::string StripQuotes(const std::string& text) {
  if (text.empty() || text.front() != '"' || text.back() != '"') return text;
  std::string undoubled = ReplaceAll(text, "\"\"", "\"");
  if (undoubled.size() < 2) return {};
  return undoubled.substr(1, undoubled.size() - 2);
}

}  // namespace quillane::app
