// A chart's SVG read back as shapes with their coordinates, for tests that check a drawing by its
// numbers: texts, rectangles and paths (the points of their M, L, C, h, v and V commands).
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace quillane::test {

struct SvgText {
  double x = 0, y = 0;
  std::string text, anchor;
  double rotate = 0;
  double Number() const;  // the text as a number ("1,000" and "25%" too); NaN when it is none
};

struct SvgRect {
  double x = 0, y = 0, w = 0, h = 0;
  std::string fill;
  double Bottom() const { return y + h; }
  double Right() const { return x + w; }
};

struct SvgPath {
  std::map<std::string, std::string> attrs;
  std::vector<std::pair<double, double>> points;  // absolute, in the order of the commands
  int moves = 0;                                  // how many subpaths (M commands)
  bool closed = false;                            // ends with Z
  bool IsLine() const { return attrs.count("stroke-linejoin") > 0; }  // a series' line
};

struct SvgDrawing {
  bool ok = false;
  std::string error;
  std::vector<SvgText> texts;
  std::vector<SvgRect> rects;  // the chart's frame first
  std::vector<SvgPath> paths;

  const SvgText* Find(const std::string& text) const;  // the first text that reads so
  // The plot of a chart with axes: the first rectangle after the frame that has no fill (the
  // legend's symbols are filled).
  const SvgRect& Plot() const;
  // The texts of the given anchor ("start", "middle", "end"; "" for none).
  std::vector<SvgText> Anchored(const std::string& anchor) const;
  std::vector<SvgPath> Lines() const;
};

// Reads `svg`; `ok` is false (and `error` says why) when it is not well-formed XML.
SvgDrawing ParseSvg(const std::string& svg);

}  // namespace quillane::test
