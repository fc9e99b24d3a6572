// Text for the SVG of a chart: escaping and numbers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quillane::chart {

// Appends text escaped for XML content and attribute values: markup characters and quotes as
// references, characters XML does not allow dropped, bytes that are not UTF-8 as U+FFFD.
void AppendXmlText(std::string& out, std::string_view text);

// Appends a coordinate with at most two decimals ("12", "12.5", "-0.25").
void AppendNumber(std::string& out, double value);

// Appends "#RRGGBB".
void AppendColor(std::string& out, uint32_t rgb);

}  // namespace quillane::chart
