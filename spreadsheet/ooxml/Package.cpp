// The package of a SpreadsheetML workbook: its parts and the relationships between them.
#include <string>
#include <vector>

#include "spreadsheet/ooxml/ReaderParts.h"

namespace quillane::ooxml::parts {

[[noreturn]] void Damaged(const std::string& what) {
  throw ReadError("The workbook is damaged: " + what);
}

// A container's message inside ours: "The zip archive is damaged: ..." -> "the zip archive ...".
std::string Inner(const char* message) {
  std::string text(message);
  if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z')
    text[0] = static_cast<char>(text[0] - 'A' + 'a');
  return text;
}

bool EndsWith(std::string_view s, std::string_view tail) {
  return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

namespace {

std::string FolderOf(std::string_view part) {
  const size_t slash = part.rfind('/');
  return slash == std::string_view::npos ? std::string() : std::string(part.substr(0, slash + 1));
}

// A relationship target taken against the folder of the part that names it: "../media/a.png"
// from "xl/drawings/drawing1.xml" is "xl/media/a.png"; "/xl/x.xml" is from the package's root.
std::string ResolveTarget(std::string_view source, std::string_view target) {
  std::string joined = !target.empty() && target.front() == '/'
                           ? std::string(target.substr(1))
                           : FolderOf(source) + std::string(target);
  std::vector<std::string> parts;
  size_t at = 0;
  while (at <= joined.size()) {
    size_t slash = joined.find('/', at);
    if (slash == std::string::npos) slash = joined.size();
    std::string piece = joined.substr(at, slash - at);
    if (piece == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!piece.empty() && piece != ".") {
      parts.push_back(std::move(piece));
    }
    at = slash + 1;
  }
  std::string out;
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i) out += '/';
    out += parts[i];
  }
  return out;
}

class RelsHandler : public xml::Handler {
 public:
  RelsHandler(std::string_view source, Relationships& out) : source_(source), out_(out) {}
  void Start(std::string_view name, const Attrs& a) override {
    if (name != "Relationship") return;
    Relationship rel;
    rel.type = a.View("Type");
    rel.external = a.View("TargetMode") == "External";
    const std::string_view target = a.View("Target");
    rel.target = rel.external ? std::string(target) : ResolveTarget(source_, target);
    out_.emplace(std::string(a.View("Id")), std::move(rel));
  }

 private:
  std::string_view source_;
  Relationships& out_;
};

}  // namespace

std::string RelsOf(std::string_view part) {
  const size_t slash = part.rfind('/');
  const std::string folder =
      slash == std::string_view::npos ? "" : std::string(part.substr(0, slash + 1));
  const std::string name(slash == std::string_view::npos ? part : part.substr(slash + 1));
  return folder + "_rels/" + name + ".rels";
}

// The last segment of a relationship type ("worksheet" of ".../relationships/worksheet").
std::string_view TypeName(std::string_view type) {
  const size_t slash = type.rfind('/');
  return slash == std::string_view::npos ? type : type.substr(slash + 1);
}

Relationships Package::Rels(std::string_view part) const {
  Relationships rels;
  const std::string name = RelsOf(part);
  if (auto bytes = Read(name)) {
    RelsHandler handler(part, rels);
    ParseXml(*bytes, handler, name);
  }
  return rels;
}

const Relationship* FirstOfType(const Relationships& rels, std::string_view typeName) {
  const Relationship* found = nullptr;
  for (const auto& [id, rel] : rels) {
    // The first target in name order, so the choice does not depend on the map's order.
    if (TypeName(rel.type) == typeName && (found == nullptr || rel.target < found->target))
      found = &rel;
  }
  return found;
}

}  // namespace quillane::ooxml::parts
