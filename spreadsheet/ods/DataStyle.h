// OpenDocument data styles (number:number-style, number:date-style, ...) as number-format codes,
// so the number-format engine shows a cell's value as the document's own application shows it.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "spreadsheet/xml/Xml.h"

namespace quillane::ods {

// The data style of that name, or nullptr (for the styles a style:map applies).
using DataStyleLookup = std::function<const xml::Node*(std::string_view name)>;

// The format code of a data style element. `palette` holds the numbered colours 8-63 a colour of
// the style may match ([Color10]).
std::string DataStyleCode(const xml::Node& style, const DataStyleLookup& lookup,
                          const std::array<uint32_t, 56>& palette);

}  // namespace quillane::ods
