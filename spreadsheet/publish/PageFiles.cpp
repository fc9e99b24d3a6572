#include "spreadsheet/publish/PageFiles.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <set>
#include <span>

#include "files/AtomicFile.h"
#include "spreadsheet/publish/Links.h"

namespace quillane::publish {

namespace fs = std::filesystem;

namespace {

constexpr const char* kFileList = "filelist.xml";

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string PercentDecoded(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
        HexValue(text[i + 2]) >= 0) {
      out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

// What stands at a path, without following a link: false when nothing does.
bool Occupied(const fs::path& path) {
  std::error_code ec;
  return fs::symlink_status(path, ec).type() != fs::file_type::not_found && !ec;
}

bool IsPlainFile(const fs::path& path) {
  std::error_code ec;
  return fs::is_regular_file(fs::symlink_status(path, ec));
}

void Write(const fs::path& path, std::string_view bytes) {
  try {
    files::WriteFileAtomically(path.string(), bytes);
  } catch (const std::exception& e) {
    throw PublishError(e.what());
  }
}

// A file of the folder: its bytes, or a picture unpacked straight into it.
void Write(const fs::path& path, const PageFile& file) {
  if (!file.blip) {
    Write(path,
          std::string_view(reinterpret_cast<const char*>(file.bytes.data()), file.bytes.size()));
    return;
  }
  try {
    files::AtomicFile out(path.string());
    file.blip->BytesTo([&out](std::span<const uint8_t> piece) {
      out.Write(std::string_view(reinterpret_cast<const char*>(piece.data()), piece.size()));
    });
    out.Commit();
  } catch (const std::exception& e) {
    throw PublishError(e.what());
  }
}

}  // namespace

std::string FileListXml(const std::vector<std::string>& names, std::string_view pageName) {
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<filelist>\n<page href=\"../";
  AppendUrlPath(xml, pageName);
  xml += "\"/>\n";
  for (const std::string& name : names) {
    if (name == kFileList) continue;
    xml += "<file href=\"";
    AppendUrlPath(xml, name);
    xml += "\"/>\n";
  }
  xml += "<file href=\"filelist.xml\"/>\n</filelist>\n";
  return xml;
}

bool IsOwnFileName(std::string_view name) {
  if (name == kFileList) return true;
  static constexpr std::string_view kImage = "image";
  if (name.substr(0, kImage.size()) != kImage) return false;
  size_t dot = kImage.size();
  while (dot < name.size() && name[dot] >= '0' && name[dot] <= '9') ++dot;
  if (dot - kImage.size() < 3 || dot == name.size() || name[dot] != '.') return false;
  const std::string_view extension = name.substr(dot + 1);
  for (std::string_view ours : {"png", "jpg", "dib", "emf", "wmf", "pct", "tif", "svg"}) {
    if (extension == ours) return true;
  }
  return false;
}

fs::path SupportingFolder(const fs::path& page) {
  fs::path folder = page;
  folder.replace_extension(".files");
  return folder;
}

std::vector<std::string> ListedFiles(const fs::path& folder) {
  const fs::path list = folder / kFileList;
  if (!IsPlainFile(list)) return {};
  std::ifstream in(list, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::string> names;
  static constexpr std::string_view kOpen = "<file href=\"";
  for (size_t at = text.find(kOpen); at != std::string::npos; at = text.find(kOpen, at)) {
    at += kOpen.size();
    const size_t end = text.find('"', at);
    if (end == std::string::npos) break;
    std::string name = PercentDecoded(std::string_view(text).substr(at, end - at));
    if (IsOwnFileName(name) && std::find(names.begin(), names.end(), name) == names.end()) {
      names.push_back(std::move(name));
    }
    at = end;
  }
  if (std::find(names.begin(), names.end(), kFileList) == names.end()) names.push_back(kFileList);
  return names;
}

std::vector<std::string> RemoveSupportingFolder(const fs::path& folder) {
  std::error_code ec;
  if (!fs::is_directory(fs::symlink_status(folder, ec))) return {};
  for (const std::string& name : ListedFiles(folder)) {
    if (name == kFileList) continue;
    if (IsPlainFile(folder / name)) fs::remove(folder / name, ec);
  }
  fs::remove(folder / kFileList, ec);
  std::vector<std::string> left;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    left.push_back(it->path().filename().string());
  }
  std::sort(left.begin(), left.end());
  if (left.empty()) fs::remove(folder, ec);
  return left;
}

namespace {

// Throws unless the page and its folder may be written: no folder stands at the page's path, and
// the folder is absent or ours and holds none of the page's files' names that its list does not
// name. Returns the names its filelist.xml lists; `present` tells whether the folder is there.
std::vector<std::string> CheckPlaces(const Page& page, const fs::path& path, const fs::path& folder,
                                     bool& present) {
  // A name a later run would not know as ours would be somebody else's file from then on.
  for (const PageFile& f : page.files) {
    if (!IsOwnFileName(f.name)) {
      throw PublishError("The page names a supporting file " + f.name +
                         " of a shape this program does not write");
    }
  }
  std::error_code ec;
  if (fs::is_directory(fs::symlink_status(path, ec))) {
    throw PublishError("Cannot write the page " + path.string() +
                       ": a folder of that name is in the way");
  }
  const fs::file_status folderStatus = fs::symlink_status(folder, ec);
  present = fs::is_directory(folderStatus);
  if (fs::is_symlink(folderStatus)) {
    throw PublishError("The supporting folder " + folder.string() +
                       " is a link; it was left alone and the page not written");
  } else if (fs::exists(folderStatus) && !present) {
    throw PublishError("Cannot write the supporting folder " + folder.string() +
                       ": a file of that name is in the way");
  } else if (!present) {
    return {};
  }
  std::vector<std::string> previous = ListedFiles(folder);
  if (previous.empty() && !fs::is_empty(folder, ec)) {
    throw PublishError("The folder " + folder.string() +
                       " was not written by this program; it was left alone and the page "
                       "not written");
  }
  const std::set<std::string> ours(previous.begin(), previous.end());
  for (const PageFile& f : page.files) {
    if (!ours.count(f.name) && Occupied(folder / f.name)) {
      throw PublishError("The supporting folder " + folder.string() + " holds " + f.name +
                         ", which this program did not write; it was left alone and the page "
                         "not written");
    }
  }
  return previous;
}

// Writes the folder's files, making the folder when it is absent; files an earlier run wrote
// there that the page no longer needs are removed.
void WriteFolder(const Page& page, const fs::path& path, const fs::path& folder, bool present,
                 const std::vector<std::string>& previous) {
  std::error_code ec;
  if (!present) {
    fs::create_directory(folder, ec);
    if (ec) {
      throw PublishError("Cannot create the supporting folder " + folder.string() + ": " +
                         ec.message());
    }
    files::NoteNewFolder(folder.string());
  }
  std::vector<std::string> names;
  const PageFile* list = nullptr;
  for (const PageFile& f : page.files) {
    names.push_back(f.name);
    if (f.name == kFileList) list = &f;
  }
  const std::string_view listBytes =
      list ? std::string_view(reinterpret_cast<const char*>(list->bytes.data()), list->bytes.size())
           : std::string_view();
  // While the files are replaced, the list names both the old and the new ones, so that an
  // interrupted run leaves nothing in the folder that a later run would not know as its own.
  // When that is the page's own list (a new folder), it is written once, first.
  std::vector<std::string> both = previous;
  for (const std::string& name : names) {
    if (std::find(both.begin(), both.end(), name) == both.end()) both.push_back(name);
  }
  bool listDone = false;
  if (both.size() > previous.size()) {
    const std::string interim = FileListXml(both, path.filename().string());
    listDone = list && interim == listBytes;
    Write(folder / kFileList, interim);
  }
  for (const PageFile& f : page.files) {
    if (&f != list) Write(folder / f.name, f);
  }
  for (const std::string& name : previous) {
    if (std::find(names.begin(), names.end(), name) == names.end() && IsPlainFile(folder / name)) {
      fs::remove(folder / name, ec);
    }
  }
  if (list && !listDone) Write(folder / kFileList, listBytes);
}

}  // namespace

void WritePage(const Page& page, const fs::path& path, FolderWork folderWork) {
  const fs::path folder = SupportingFolder(path);
  bool present = false;
  const std::vector<std::string> previous = CheckPlaces(page, path, folder, present);
  if (folderWork == FolderWork::Write) {
    WriteFolder(page, path, folder, present, previous);
  } else {
    // The pictures are unpacked all the same, so that a damaged one is found as when written.
    for (const PageFile& f : page.files) {
      if (f.blip) f.blip->BytesTo([](std::span<const uint8_t>) {});
    }
  }
  Write(path, page.html);
}

void PublishSheet(const model::Workbook& book, size_t sheetIndex, const fs::path& page) {
  const fs::path folder = SupportingFolder(page);
  WritePage(RenderSheet(book, sheetIndex, folder.filename().string(), page.filename().string()),
            page);
}

}  // namespace quillane::publish
