#pragma once
// The program's resources (compiled in): bitmaps, icons and data of numbered types such as the
// waves of type 100. A resource is named by a string (compared without regard to case) or a number.
#include <optional>
#include <string>
#include <variant>

#include <QByteArray>

#include "platform/Picture.h"
#include "platform/Types.h"

namespace quillane::platform {

using ResourceId = std::variant<int, std::string>;

constexpr int RT_BITMAP = 2;
constexpr int RT_ICON = 14;   // the group icon type; one image per resource here
constexpr int RT_WAVE = 100;  // the program's own type for its click sounds

// The raw bytes of a resource of a type (RT_BITMAP, RT_ICON or a number of the program's own),
// or nullopt when there is none.
std::optional<QByteArray> LoadResourceData(int type, const ResourceId& id);
// A new bitmap (the caller deletes it) or 0.
HBITMAP LoadResourceBitmap(const ResourceId& id);
// A new icon (the caller destroys it) or 0.
HICON LoadResourceIcon(const ResourceId& id);
// A picture of a bitmap (type RT_BITMAP) or icon (RT_ICON) resource; nothing when there is none.
Picture LoadResPicture(const ResourceId& id, int type);

}  // namespace quillane::platform
