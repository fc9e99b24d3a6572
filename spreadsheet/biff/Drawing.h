// The drawing layer of a workbook (Office drawing records inside MSODRAWINGGROUP and
// MSODRAWING): the picture store, the pictures anchored to cells and the places of other shapes.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "spreadsheet/model/Workbook.h"

namespace quillane::biff {

// Reads the picture store of the workbook's drawing group into `blips`, one entry per store
// entry (entries without a picture stay empty, so the 1-based picture indexes of the shapes
// keep pointing at the right entry). Damaged parts are left out. Compressed metafiles unpack to at
// most `unpackBudget` bytes in all, counting the bytes of metafiles left out (damaged, or cut
// short by the budget) as well as those kept; a metafile past the budget is left empty. Returns
// the bytes unpacked.
size_t ReadPictureStore(std::span<const uint8_t> drawingGroup, size_t unpackBudget,
                        std::vector<model::Blip>& blips);

// Reads the shapes of a sheet's drawing and adds every picture that has a cell anchor and a
// picture from the store (`blipCount` entries) to `pictures`.
void ReadSheetPictures(std::span<const uint8_t> drawing, size_t blipCount,
                       std::vector<model::Picture>& pictures);

// A shape of a sheet's drawing that has a place on the sheet (its anchor and name in `place`;
// `place.blip` unused): `offset` is where the shape's record data start in the drawing.
struct PlacedShape {
  size_t offset = 0;
  model::Picture place;
};
// Reads every shape of a sheet's drawing that has a place on the sheet, in drawing order.
void ReadSheetShapes(std::span<const uint8_t> drawing, std::vector<PlacedShape>& shapes);

}  // namespace quillane::biff
