// Module modGRIDCAST: the compaction of a page. Plain text surgery with fixed markers; the page
// is never parsed as HTML.
//
// Order of work: one pass finds which groups of steps can match at all; the block cuts (meta and
// link tags, conditional comments) come first, then the replacements, each over the whole text,
// left to right. Every step works in place and in linear time: a cut or a shrinking replacement
// moves the kept text down once, the one growing replacement makes the new text in one pass.
#include "convert/CompactHtml.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "files/AtomicFile.h"
#include "files/modFuntions.h"

namespace fs = std::filesystem;

namespace quillane::convert {

namespace {

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
      continue;
    }
    size_t s = Find(text.data(), text.size(), start, i);
    if (s == std::string::npos) break;
    size_t e = Find(text.data(), text.size(), end, s + start.size());
    if (e == std::string::npos) break;
    out.append(text, i, s - i);
    i = e + end.size();
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
  if (files::IsDirectory(path)) throw CompactError("Cannot read " + path + ": it is a folder");
#ifdef _WIN32
  std::FILE* file = _wfopen(fs::path(path).c_str(), L"rb");
#else
  std::FILE* file = std::fopen(path.c_str(), "rb");
#endif
  if (!file) throw CompactError("Cannot read " + path + ": " + std::strerror(errno));
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
  if (failed) throw CompactError("Cannot read " + path);
  return text;
}

}  // namespace

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
  try {
    files::WriteFileAtomically(path, text);
  } catch (const std::runtime_error& e) {
    throw CompactError(e.what());
  }
}

}  // namespace quillane::convert
