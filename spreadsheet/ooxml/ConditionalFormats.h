// Conditional formats of the .xlsx family: the differential formats (<dxfs> of the styles part)
// and the <conditionalFormatting> blocks of a worksheet part, read into the model's
// ConditionalFormat. Private to spreadsheet/ooxml: the workbook reader hands them the events of
// its own parses.
#pragma once

#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "spreadsheet/model/Workbook.h"
#include "spreadsheet/ooxml/Xml.h"

namespace quillane::ooxml {

// The colour a <color>-like element names (rgb, indexed, theme with tint, auto).
using ColorOf = std::function<model::Color(const Attrs&)>;

// The <dxf> elements of a styles part, in order. Parses the whole part (only <dxfs> is read).
std::vector<model::DiffStyle> ReadDifferentialFormats(std::span<const uint8_t> stylesPart,
                                                      const std::string& partName,
                                                      const ColorOf& colorOf);

// Takes the events of a worksheet part inside <conditionalFormatting> and adds the blocks to the
// sheet, counting the rules it leaves out. Blocks of the newer extension list (no sqref
// attribute: the ranges follow the rules) are read too: a data bar there that carries the
// details of a main-list bar (the same id) completes that bar; any other rule is read like one
// of the main list, with its formulas in <f> and its format inline in <dxf>.
class ConditionalFormatReader {
 public:
  ConditionalFormatReader(model::Sheet& sheet, const std::vector<model::DiffStyle>& dxfs,
                          ColorOf colorOf)
      : sheet_(sheet), dxfs_(dxfs), colorOf_(std::move(colorOf)) {}

  // Each returns true when the event was inside a block (and so taken).
  bool Start(std::string_view name, const Attrs& a);
  bool End(std::string_view name);
  bool Text(std::string_view text);

 private:
  void EndRule();
  void EndExtensionBlock();
  void StartExtension(std::string_view name, const Attrs& a);
  void EndExtension(std::string_view name);

  // A rule of an extension-list block, kept until the block's ranges are known.
  struct Pending {
    std::string type, id;
    model::CfRule rule;
    std::vector<std::string> formulas;
    std::vector<model::CfThreshold> thresholds;
    std::vector<model::Color> colors;
    bool unevaluated = false;
  };

  model::Sheet& sheet_;
  const std::vector<model::DiffStyle>& dxfs_;
  ColorOf colorOf_;
  int depth_ = 0;        // inside a block: the depth of elements; 0 outside
  bool skip_ = false;    // a block of an extension list
  bool inRule_ = false;  // the current rule is one that is kept
  bool collect_ = false;
  std::string text_;
  std::string type_;
  model::ConditionalFormat block_;
  model::CfRule rule_;
  std::vector<std::string> formulas_;
  std::vector<model::CfThreshold> thresholds_;
  bool unevaluated_ = false;  // a threshold given by a formula
  std::vector<model::Color> colors_;
  std::string barId_;  // a main-list data bar's link to its details
  std::unordered_map<std::string, std::pair<size_t, uint32_t>> barIds_;  // -> (block, priority)
  bool extension_ = false;  // the block is of the extension list
  std::vector<Pending> pending_;
  std::string sqref_;
  bool collectId_ = false, inCfvo_ = false;
  std::unique_ptr<xml::Handler> dxf_;  // the inline format of the current rule
  int dxfDepth_ = 0;
};

}  // namespace quillane::ooxml
