// Reads OpenDocument spreadsheets into the model: packages (.ods, .ots: a zip holding content.xml,
// styles.xml and the pictures) and flat documents (.fods: one XML document).
//
// Tables come in order with their visibility; rows and cells with their repeat counts (runs of
// empty rows or cells cost nothing, runs of values are bounded by the model's limits), covered
// cells as merges, values of every type (dates and times as serial numbers), data styles as
// number-format codes, cell, column and row styles with their parents and the default styles,
// annotations as comments, links in cells, and pictures anchored to cells.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "spreadsheet/model/ReadError.h"
#include "spreadsheet/model/Workbook.h"

namespace quillane::container {
class Zip;
}

namespace quillane::ods {

using model::PasswordError;
using model::ReadError;

// The grid of the format's applications: 1,048,576 rows and 16,384 columns. Positions past it are
// left out.
inline constexpr uint32_t kMaxRow = 1048575;
inline constexpr uint16_t kMaxColumn = 16383;

// Whether a zip package is an OpenDocument spreadsheet or spreadsheet template (its "mimetype"
// entry, else the media type of its manifest's root entry).
bool IsOpenDocument(const container::Zip& zip);

// The parts of a package by name ("content.xml", "Pictures/1.png"), or nothing when absent.
using PartReader = std::function<std::optional<std::vector<uint8_t>>(std::string_view name)>;

// A part handed over in pieces, in order: false when the part is absent.
using PartSink = std::function<void(std::span<const uint8_t> piece)>;
using PartStreamer = std::function<bool(std::string_view name, const PartSink& sink)>;

// A picture part of a package, checked and left packed (Blip::unpack), or nothing when absent.
using PictureReader = std::function<std::optional<model::Blip>(std::string_view name)>;

// Reads a package through its parts; with `stream`, content.xml is parsed piece by piece as it
// comes, never held whole; `contentBytes`, its size when known, lets the tables make room for
// their cells at once; with `pictures`, pictures are taken from it instead of read whole from
// `parts`; `fileBytes`, the size of the package when known, bounds the cells it may stand for
// (model::CellBudget). Throws ReadError (an encrypted package too: those are not read).
model::Workbook ReadOpenDocumentParts(const PartReader& parts, const PartStreamer* stream = nullptr,
                                      uint64_t contentBytes = 0,
                                      const PictureReader* pictures = nullptr,
                                      uint64_t fileBytes = 0);
// The same for a zip package.
model::Workbook ReadOpenDocumentPackage(const container::Zip& zip);
// Reads a flat document. A document that is no OpenDocument spreadsheet gives the plain
// "Not a workbook" message.
model::Workbook ReadFlatOpenDocument(std::span<const uint8_t> bytes);

}  // namespace quillane::ods
