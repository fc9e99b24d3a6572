// Conditional formats of the .xlsx family: the differential formats (<dxfs> of the styles part)
// and the <conditionalFormatting> blocks of a worksheet part, read into the model's
// ConditionalFormat. Private to spreadsheet/ooxml: the workbook reader hands them the events of
// its own parses.
#pragma once

#include <functional>
#include <span>
#include <string>
#include <string_view>
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

// Takes the events of a worksheet part inside <conditionalFormatting> (those of the newer
// extension lists, which repeat rules of the main list, are passed over) and adds the blocks to
// the sheet, counting the rules it leaves out.
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
};

}  // namespace quillane::ooxml
