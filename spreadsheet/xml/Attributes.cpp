// The attributes of an element, read by name or as numbers, and the trees of elements kept whole
// (see Xml.h).
#include <charconv>
#include <cmath>
#include <span>
#include <string_view>

#include "spreadsheet/xml/Xml.h"

namespace quillane::xml {

std::string_view Value(std::span<const Attribute> attributes, std::string_view name) {
  for (const Attribute& a : attributes) {
    if (a.name == name) return a.value;
  }
  return {};
}

bool Has(std::span<const Attribute> attributes, std::string_view name) {
  for (const Attribute& a : attributes) {
    if (a.name == name) return true;
  }
  return false;
}

std::string_view LocalName(std::string_view name) {
  const size_t colon = name.rfind(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

std::optional<std::string_view> Attrs::Get(std::string_view local) const {
  for (const Attribute& a : list_) {
    if (LocalName(a.name) == local) return a.value;
  }
  return std::nullopt;
}

double Attrs::Number(std::string_view local, double fallback) const {
  // from_chars, not strtod: the process's locale (a window's) must not change the decimal point.
  std::string_view v = View(local);
  if (!v.empty() && v.front() == '+') v.remove_prefix(1);
  double d = 0;
  const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), d);
  (void)end;
  return ec == std::errc() && std::isfinite(d) ? d : fallback;
}

int64_t Attrs::Int(std::string_view local, int64_t fallback) const {
  std::string_view v = View(local);
  if (v.empty()) return fallback;
  int64_t out = 0;
  auto [ptr, ec] = std::from_chars(v.data(), v.data() + v.size(), out);
  if (ec != std::errc()) {
    // Some writers put "3.0" where an integer belongs.
    const double d = Number(local, static_cast<double>(fallback));
    return d > -9e18 && d < 9e18 ? static_cast<int64_t>(d) : fallback;
  }
  (void)ptr;
  return out;
}

bool Attrs::Bool(std::string_view local, bool fallback) const {
  std::string_view v = View(local);
  if (v == "1" || v == "true" || v == "on") return true;
  if (v == "0" || v == "false" || v == "off") return false;
  return fallback;
}

std::string_view Node::Get(std::string_view attribute) const {
  for (const auto& [name, value] : attributes) {
    if (name == attribute) return value;
  }
  return {};
}

bool Node::Has(std::string_view attribute) const {
  for (const auto& a : attributes) {
    if (a.first == attribute) return true;
  }
  return false;
}

namespace {
void Fill(Node& node, std::string_view name, std::span<const Attribute> attributes) {
  node.name.assign(name);
  for (const Attribute& a : attributes) node.attributes.emplace_back(a.name, a.value);
}
}  // namespace

void TreeBuilder::Begin(std::string_view name, std::span<const Attribute> attributes) {
  root_ = Node{};
  Fill(root_, name, attributes);
  open_.assign(1, &root_);
}

void TreeBuilder::Start(std::string_view name, std::span<const Attribute> attributes) {
  // Only the innermost open element gains children, so the pointers of the open path stay valid.
  Node& parent = *open_.back();
  parent.children.emplace_back();
  Fill(parent.children.back(), name, attributes);
  open_.push_back(&parent.children.back());
}

void TreeBuilder::End() { open_.pop_back(); }

void TreeBuilder::Text(std::string_view text) {
  if (!open_.empty()) open_.back()->text.append(text);
}

}  // namespace quillane::xml
