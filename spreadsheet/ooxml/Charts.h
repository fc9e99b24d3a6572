// Chart parts of a package (DrawingML charts) into the model's charts.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "spreadsheet/model/Workbook.h"

namespace quillane::ooxml {

// The theme's colour scheme in its own order: dk1, lt1, dk2, lt2, accent1-6, hlink, folHlink.
using ThemeColors = std::array<uint32_t, 12>;

// Reads the chart part `bytes` (named `part` in errors) into `chart`, its anchor left as it is.
// Colours of the theme are resolved against `scheme`. Series keep their references as formulas
// (ChartData::formula) until ResolveChartReferences. At most `pointBudget` cached points are
// read; the points read are taken from it. Returns false when the part holds no chart. Throws
// model::ReadError when the part is not XML.
bool ReadChartPart(std::span<const uint8_t> bytes, const std::string& part,
                   const ThemeColors& scheme, uint64_t& pointBudget, model::Chart& chart);

// Resolves the references of every chart's series to the sheets of `book` (sheet index and
// range); references to other workbooks, names and lists of ranges stay unresolved.
void ResolveChartReferences(model::Workbook& book);

// A reference as a chart's series spells it ("Sheet1!$B$2:$B$9", "'My data'!A1", "Sheet1!$B:$B")
// -> the name of its sheet and the range. False for anything else.
bool ParseChartReference(std::string_view formula, std::string& sheet, model::Range& range);

}  // namespace quillane::ooxml
