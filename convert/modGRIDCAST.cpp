#include "convert/modGRIDCAST.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string_view>
#include <system_error>
#include <vector>

#include "convert/ConversionLog.h"
#include "convert/SheetRange.h"
#include "files/AtomicFile.h"
#include "files/Search.h"
#include "files/modFuntions.h"
#include "spreadsheet/publish/PageFiles.h"

namespace fs = std::filesystem;

namespace quillane::convert {

std::unique_ptr<spreadsheet::Application> ExcelApp;

namespace {

// The pages written since the engine was started: the run's own output. Conversions may run on
// several threads at once; the mutex guards the set.
std::set<std::string>& PagesOfThisRun() {
  static std::set<std::string> pages;
  return pages;
}
std::mutex pagesMutex;

bool IsPageOfThisRun(const std::string& path) {
  std::lock_guard lock(pagesMutex);
  return PagesOfThisRun().count(path) != 0;
}

std::function<std::unique_ptr<spreadsheet::Application>()>& EngineFactory() {
  static std::function<std::unique_ptr<spreadsheet::Application>()> factory;
  return factory;
}

// ---------------------------------------------------------------------------------------------
// Compaction

// First occurrence of `needle` in text[from..size), or npos.
size_t Find(const char* text, size_t size, std::string_view needle, size_t from) {
  if (from > size || needle.size() > size - from) return std::string_view::npos;
#if defined(__GLIBC__) || defined(__APPLE__)
  const void* hit = memmem(text + from, size - from, needle.data(), needle.size());
  return hit ? static_cast<size_t>(static_cast<const char*>(hit) - text) : std::string_view::npos;
#else
  return std::string_view(text, size).find(needle, from);
#endif
}

struct MarkerPair {
  std::string_view start;
  std::string_view end;
};

// The blocks cut, in this order. No end marker can begin inside its start marker after the
// start marker's first character, so the end is looked for after the whole start marker.
constexpr MarkerPair kBlocks[] = {
    {"<meta name=\"Excel", ">"},
    {"<meta name=ProgId", ">"},
    {"<meta name=Generator", ">"},
    {"<link rel=Edit-Time-Data", ">"},
    {"<link rel=OLE-Object-Data", ">"},
    {"<!--[if gte mso 9]>", "<![endif]-->"},
    {"<!--[if gte vml 1]>", "<![endif]-->"},
    {"<!--[if !mso]>", "<![endif]-->"},
    {"<![if supportMisalignedColumns]>", "<![endif]>"},
};

struct Replacement {
  std::string_view find;
  std::string_view with;
};

// The replacements after the cuts, in this order; each replaces every occurrence left to right.
// All but the last make the text shorter.
constexpr Replacement kShrinking[] = {
    {"   ", ""},
    {"  ", ""},
    {" style='border-top:none;border-left:none'", ""},
    {" style='mso-ignore:colspan'", ""},
    {" style='style='border-left:none'", ""},
    {" style='style='border-left:none'", ""},
    {";border-top:none", ""},
    {"mso-height-source:userset;", ""},
    {"xmlns:o=\"urn:schemas-microsoft-com:office:office\"", ""},
    {"xmlns:x=\"urn:schemas-microsoft-com:office:excel\"", ""},
    {"xmlns=\"http://www.w3.org/TR/REC-html40\"", ""},
    {"\r\n\r\n", "\r\n"},
    {"\r\n\r\n", "\r\n"},
};
constexpr Replacement kTableStyle = {"<table ", "<table style='border-collapse:collapse' "};

// Cuts every block from a start marker to the first end marker after it, starting each search
// again from the beginning of the text as it is after the previous cut, until a start marker
// has no end marker after it. A cut can join two pieces into a new start marker; the search
// resumes far enough back to find it, so the result is that of the restarting search, in one
// pass.
bool CutBlocks(std::string& text, const MarkerPair& pair) {
  const std::string_view start = pair.start;
  const std::string_view end = pair.end;
  size_t first = Find(text.data(), text.size(), start, 0);
  if (first == std::string::npos) return false;
  if (Find(text.data(), text.size(), end, first + start.size()) == std::string::npos) return false;

  std::string out;  // the text before the next start marker; it holds no start marker itself
  out.reserve(text.size());
  size_t i = 0;  // the rest of the text is text[i..]
  for (;;) {
    // A start marker across the join of `out` and the rest comes first.
    size_t joined = 0;
    for (size_t k = std::min(out.size(), start.size() - 1); k > 0; --k) {
      if (std::string_view(out).substr(out.size() - k) == start.substr(0, k) &&
          std::string_view(text).substr(i, start.size() - k) == start.substr(k)) {
        joined = k;
        break;
      }
    }
    if (joined > 0) {
      size_t e = Find(text.data(), text.size(), end, i + (start.size() - joined));
      if (e == std::string::npos) break;
      out.resize(out.size() - joined);
      i = e + end.size();
      files::DoEvents();
      continue;
    }
    size_t s = Find(text.data(), text.size(), start, i);
    if (s == std::string::npos) break;
    size_t e = Find(text.data(), text.size(), end, s + start.size());
    if (e == std::string::npos) break;
    out.append(text, i, s - i);
    i = e + end.size();
    files::DoEvents();
  }
  out.append(text, i, std::string::npos);
  text.swap(out);
  return true;
}

// Replaces every occurrence of `r.find`, left to right, by the shorter or equal `r.with`, in
// place.
bool ReplaceShrinking(std::string& text, const Replacement& r) {
  char* data = text.data();
  const size_t size = text.size();
  size_t hit = Find(data, size, r.find, 0);
  if (hit == std::string::npos) return false;
  size_t read = 0, write = 0;
  while (hit != std::string::npos) {
    if (write != read) std::memmove(data + write, data + read, hit - read);
    write += hit - read;
    std::memcpy(data + write, r.with.data(), r.with.size());
    write += r.with.size();
    read = hit + r.find.size();
    hit = Find(data, size, r.find, read);
  }
  if (write != read) std::memmove(data + write, data + read, size - read);
  write += size - read;
  text.resize(write);
  return true;
}

void ReplaceGrowing(std::string& text, const Replacement& r) {
  size_t hit = Find(text.data(), text.size(), r.find, 0);
  if (hit == std::string::npos) return;
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  size_t read = 0;
  while (hit != std::string::npos) {
    out.append(text, read, hit - read);
    out.append(r.with);
    read = hit + r.find.size();
    hit = Find(text.data(), text.size(), r.find, read);
  }
  out.append(text, read, std::string::npos);
  text.swap(out);
}

// The beginnings shared by the texts of each group of steps.
constexpr std::string_view kMeta = "<meta name=";
constexpr std::string_view kLink = "<link rel=";
constexpr std::string_view kConditional = "<!--[if ";
constexpr std::string_view kBlanks = "  ";
constexpr std::string_view kStyle = " style='";
constexpr std::string_view kXmlns = "xmlns";

struct GroupsPresent {
  bool meta = false, link = false, conditional = false, misaligned = false, blanks = false,
       style = false, borderTop = false, heightSource = false, xmlns = false, blankLines = false,
       table = false;
};

// Which group beginnings occur in the text, in one pass.
GroupsPresent FindGroups(const std::string& text) {
  GroupsPresent found;
  const char* data = text.data();
  const size_t size = text.size();
  auto at = [&](size_t i, std::string_view part) {
    return size - i >= part.size() && std::memcmp(data + i, part.data(), part.size()) == 0;
  };
  for (size_t i = 0; i < size; ++i) {
    switch (data[i]) {
      case '<':
        found.meta |= at(i, kMeta);
        found.link |= at(i, kLink);
        found.conditional |= at(i, kConditional);
        found.misaligned |= at(i, kBlocks[8].start);
        found.table |= at(i, kTableStyle.find);
        break;
      case ' ':
        found.blanks |= at(i, kBlanks);
        found.style |= at(i, kStyle);
        break;
      case ';':
        found.borderTop |= at(i, kShrinking[6].find);
        break;
      case 'm':
        found.heightSource |= at(i, kShrinking[7].find);
        break;
      case 'x':
        found.xmlns |= at(i, kXmlns);
        break;
      case '\r':
        found.blankLines |= at(i, kShrinking[11].find);
        break;
      default:
        break;
    }
  }
  return found;
}

std::string ReadWholeFile(const std::string& path) {
  if (files::IsDirectory(path)) throw std::runtime_error("Cannot read " + path + ": it is a folder");
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) throw std::runtime_error("Cannot read " + path + ": " + std::strerror(errno));
  std::string text;
  std::error_code ec;
  uintmax_t size = fs::file_size(path, ec);
  if (!ec && size < (uintmax_t{1} << 40)) {
    // Read straight into the text; a file that changed size meanwhile is read to its end below.
    text.resize(static_cast<size_t>(size));
    text.resize(std::fread(text.data(), 1, text.size(), file));
  }
  char buffer[1 << 16];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, got);
  bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) throw std::runtime_error("Cannot read " + path);
  return text;
}

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code ec;
  return fs::exists(a, ec) && fs::exists(b, ec) && fs::equivalent(a, b, ec) && !ec;
}

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// The ".htm" files of a supporting folder that we wrote there, in name order, without the
// sheet-tab page.
std::vector<std::string> PagesInFolder(const std::string& folder) {
  std::vector<std::string> names;
  for (const std::string& name : publish::ListedFiles(folder)) {
    if (!files::MatchesPattern(name, "*.htm")) continue;
    if (Lower(name) == "tabstrip.htm") continue;
    std::error_code statusError;
    if (!fs::is_regular_file(fs::symlink_status(folder + files::kSeparator + name, statusError)))
      continue;
    names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  std::vector<std::string> paths;
  for (const std::string& name : names) {
    paths.push_back(folder + files::kSeparator + name);
    files::DoEvents();
  }
  return paths;
}

std::function<void(const std::string&)>& NoticeHook() {
  static std::function<void(const std::string&)> hook;
  return hook;
}

void Notice(const std::string& text) {
  if (NoticeHook()) {
    NoticeHook()(text);
  } else {
    std::fprintf(stderr, "%s\n", text.c_str());
  }
}

// Removes the supporting folder we wrote; entries of somebody else's in it stay, and are named.
void RemoveOwnFolder(const std::string& folder) {
  const std::vector<std::string> left = publish::RemoveSupportingFolder(folder);
  if (left.empty()) return;
  std::string names;
  for (size_t i = 0; i < left.size() && i < 5; ++i) names += (i ? ", " : "") + left[i];
  if (left.size() > 5) names += ", ...";
  Notice("Kept " + folder + ": it holds " + std::to_string(left.size()) +
         (left.size() == 1 ? " entry" : " entries") + " this program did not write (" + names +
         ")");
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// The engine

void SetNoticeHook(std::function<void(const std::string&)> hook) { NoticeHook() = std::move(hook); }

void SetEngineFactory(std::function<std::unique_ptr<spreadsheet::Application>()> factory) {
  EngineFactory() = std::move(factory);
}

bool StartExcel() {
  {
    std::lock_guard lock(pagesMutex);
    PagesOfThisRun().clear();
  }
  try {
    ExcelApp = EngineFactory() ? EngineFactory()() : std::make_unique<spreadsheet::Application>();
    if (!ExcelApp) return false;
    ExcelApp->DisplayAlerts = false;
    ExcelApp->EnableSound = false;
    ExcelApp->AlertBeforeOverwriting = false;
    return true;
  } catch (...) {
    return false;
  }
}

void QuitExcel() {
  try {
    if (ExcelApp) ExcelApp->Quit();
  } catch (...) {
  }
  ExcelApp.reset();
}

// ---------------------------------------------------------------------------------------------
// One workbook

std::string PagePath(const std::string& output, int index) {
  std::string folderAndName = files::ChangeExtension(output, "");  // drops the extension
  folderAndName.pop_back();                                         // and the dot it added
  std::string extension = output.substr(folderAndName.size());
  return folderAndName + "_" + std::to_string(index) + extension;
}

bool ConvertWorkbook(const std::string& source, const std::string& output, std::string& logLine,
                     bool overwrite, bool createFilesDir, bool compress,
                     const std::string& password, const std::string& sheetRange) {
  return ConvertWorkbookCode(source, output, logLine, overwrite, createFilesDir, compress,
                             password, sheetRange) == 100;
}

int ConvertWorkbookCode(const std::string& source, const std::string& output, std::string& logLine,
                        bool overwrite, bool createFilesDir, bool compress,
                        const std::string& password, const std::string& sheetRange) {
  try {
    // A page this run wrote under another workbook's output path (book.xls gives book_1.htm,
    // the output path of book_1.xls) is not an earlier result: it does not stop that workbook.
    if (!overwrite && files::FileExists(output) && !IsPageOfThisRun(output)) {
      logLine = Line101(output);
      return 101;
    }
    if (!files::FileExists(source)) {
      logLine = Line102(source);
      return 102;
    }
    if (!ExcelApp) throw std::runtime_error("The spreadsheet engine is not started");
    std::unique_ptr<spreadsheet::OpenWorkbook> book =
        ExcelApp->Open(source, false, true, password.empty() ? kDummyPassword : password, true);
    SheetRange range(sheetRange);
    const int count = book->WorksheetCount();
    for (int i = 1; i <= count; ++i) {
      if (!range.Contains(i)) continue;
      const std::string page = PagePath(output, i);
      // A page must never take the place of the workbook it comes from.
      if (SameFile(page, source)) {
        throw std::runtime_error("The page " + page + " would replace the workbook");
      }
      const std::string name = book->WorksheetName(i);
      (void)name;  // the engine publishes by position; the name is read as the caller's check
      {
        std::lock_guard lock(pagesMutex);
        PagesOfThisRun().insert(page);
      }
      book->Publish(i, page);
      const std::string folder = files::ChangeExtension(page, ".files");
      if (!createFilesDir) RemoveOwnFolder(folder);
      if (compress) {
        CompactHtml(page);
        if (createFilesDir && files::IsDirectory(folder)) {
          for (const std::string& file : PagesInFolder(folder)) CompactHtml(file);
        }
      }
    }
    book->Close();
    logLine = Line100(source, output);
    return 100;
  } catch (const std::exception& e) {
    logLine = Line103(source, e.what());
  } catch (...) {
    logLine = Line103(source, "Unknown error");
  }
  return 103;
}

// ---------------------------------------------------------------------------------------------
// Compaction

void CompactHtmlText(std::string& text) {
  // The steps come in groups whose texts share a beginning. When the text holds no occurrence of
  // that beginning, no step of the group finds anything, so none of them changes the text and
  // the whole group can be passed over. One pass over the text tells which beginnings occur;
  // once a step has changed the text, the later groups look again for themselves.
  const GroupsPresent first = FindGroups(text);
  bool changed = false;
  auto holds = [&](bool before, std::string_view part) {
    if (!changed) return before;
    return Find(text.data(), text.size(), part, 0) != std::string::npos;
  };
  auto cut = [&](size_t from, size_t to) {
    for (size_t i = from; i < to; ++i) changed |= CutBlocks(text, kBlocks[i]);
  };
  auto replace = [&](size_t from, size_t to) {
    for (size_t i = from; i < to; ++i) changed |= ReplaceShrinking(text, kShrinking[i]);
  };
  if (holds(first.meta, kMeta)) cut(0, 3);
  if (holds(first.link, kLink)) cut(3, 5);
  if (holds(first.conditional, kConditional)) cut(5, 8);
  if (holds(first.misaligned, kBlocks[8].start)) cut(8, 9);
  if (holds(first.blanks, kBlanks)) replace(0, 2);
  if (holds(first.style, kStyle)) replace(2, 6);
  if (holds(first.borderTop, kShrinking[6].find)) replace(6, 7);
  if (holds(first.heightSource, kShrinking[7].find)) replace(7, 8);
  if (holds(first.xmlns, kXmlns)) replace(8, 11);
  if (holds(first.blankLines, kShrinking[11].find)) replace(11, 13);
  if (holds(first.table, kTableStyle.find)) ReplaceGrowing(text, kTableStyle);
}

void CompactHtml(const std::string& path) {
  std::string text = ReadWholeFile(path);
  CompactHtmlText(text);
  files::WriteFileAtomically(path, text);
}

}  // namespace quillane::convert
