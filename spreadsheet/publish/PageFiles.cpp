#include "spreadsheet/publish/PageFiles.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <set>

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

std::string FileListOf(const std::vector<std::string>& names, const std::string& pageName) {
  // In the form the renderer writes.
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

}  // namespace

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

void WritePage(const Page& page, const fs::path& path) {
  // A name a later run would not know as ours would be somebody else's file from then on.
  for (const PageFile& f : page.files) {
    if (!IsOwnFileName(f.name)) {
      throw PublishError("The page names a supporting file " + f.name +
                         " of a shape this program does not write");
    }
  }
  const fs::path folder = SupportingFolder(path);
  std::error_code ec;
  const fs::file_status status = fs::symlink_status(path, ec);
  if (fs::is_directory(status)) {
    throw PublishError("Cannot write the page " + path.string() +
                       ": a folder of that name is in the way");
  }
  const fs::file_status folderStatus = fs::symlink_status(folder, ec);
  std::vector<std::string> previous;
  if (fs::is_symlink(folderStatus)) {
    throw PublishError("The supporting folder " + folder.string() +
                       " is a link; it was left alone and the page not written");
  } else if (fs::exists(folderStatus) && !fs::is_directory(folderStatus)) {
    throw PublishError("Cannot write the supporting folder " + folder.string() +
                       ": a file of that name is in the way");
  } else if (fs::is_directory(folderStatus)) {
    previous = ListedFiles(folder);
    if (previous.empty() && !fs::is_empty(folder, ec)) {
      throw PublishError("The folder " + folder.string() +
                         " was not written by this program; it was left alone and the page "
                         "not written");
    }
  } else {
    fs::create_directory(folder, ec);
    if (ec) {
      throw PublishError("Cannot create the supporting folder " + folder.string() + ": " +
                         ec.message());
    }
  }
  const std::set<std::string> ours(previous.begin(), previous.end());
  std::vector<std::string> names;
  for (const PageFile& f : page.files) {
    if (!ours.count(f.name) && Occupied(folder / f.name)) {
      throw PublishError("The supporting folder " + folder.string() + " holds " + f.name +
                         ", which this program did not write; it was left alone and the page "
                         "not written");
    }
    names.push_back(f.name);
  }
  // While the files are replaced, the list names both the old and the new ones, so that an
  // interrupted run leaves nothing in the folder that a later run would not know as its own.
  std::vector<std::string> both = previous;
  for (const std::string& name : names) {
    if (std::find(both.begin(), both.end(), name) == both.end()) both.push_back(name);
  }
  if (both.size() > previous.size()) {
    Write(folder / kFileList, FileListOf(both, path.filename().string()));
  }
  const PageFile* list = nullptr;
  for (const PageFile& f : page.files) {
    if (f.name == kFileList) {
      list = &f;
      continue;
    }
    Write(folder / f.name, f);
  }
  for (const std::string& name : previous) {
    if (std::find(names.begin(), names.end(), name) == names.end() && IsPlainFile(folder / name)) {
      fs::remove(folder / name, ec);
    }
  }
  if (list) {
    Write(folder / kFileList,
          std::string_view(reinterpret_cast<const char*>(list->bytes.data()), list->bytes.size()));
  }
  Write(path, page.html);
}

void PublishSheet(const model::Workbook& book, size_t sheetIndex, const fs::path& page) {
  const fs::path folder = SupportingFolder(page);
  WritePage(RenderSheet(book, sheetIndex, folder.filename().string(), page.filename().string()),
            page);
}

}  // namespace quillane::publish
