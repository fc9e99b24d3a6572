// The attributes of an element and the trees of elements kept whole (see Xml.h).
#include <span>
#include <string_view>

#include "spreadsheet/ods/Xml.h"

namespace quillane::ods {

std::string_view Attribute(std::span<const XmlAttribute> attributes, std::string_view name) {
  for (const XmlAttribute& a : attributes) {
    if (a.name == name) return a.value;
  }
  return {};
}

bool HasAttribute(std::span<const XmlAttribute> attributes, std::string_view name) {
  for (const XmlAttribute& a : attributes) {
    if (a.name == name) return true;
  }
  return false;
}

std::string_view XmlNode::Get(std::string_view attribute) const {
  for (const auto& [name, value] : attributes) {
    if (name == attribute) return value;
  }
  return {};
}

bool XmlNode::Has(std::string_view attribute) const {
  for (const auto& a : attributes) {
    if (a.first == attribute) return true;
  }
  return false;
}

namespace {
void Fill(XmlNode& node, std::string_view name, std::span<const XmlAttribute> attributes) {
  node.name.assign(name);
  for (const XmlAttribute& a : attributes) node.attributes.emplace_back(a.name, a.value);
}
}  // namespace

void XmlTreeBuilder::Begin(std::string_view name, std::span<const XmlAttribute> attributes) {
  root_ = XmlNode{};
  Fill(root_, name, attributes);
  open_.assign(1, &root_);
}

void XmlTreeBuilder::Start(std::string_view name, std::span<const XmlAttribute> attributes) {
  // Only the innermost open element gains children, so the pointers of the open path stay valid.
  XmlNode& parent = *open_.back();
  parent.children.emplace_back();
  Fill(parent.children.back(), name, attributes);
  open_.push_back(&parent.children.back());
}

void XmlTreeBuilder::End() { open_.pop_back(); }

void XmlTreeBuilder::Text(std::string_view text) {
  if (!open_.empty()) open_.back()->text.append(text);
}

}  // namespace quillane::ods
