#include "controls/menu/MenuItem.h"
#include "support/Ascii.h"

namespace quillane::controls {

const platform::Picture& MenuItem::APicture(std::int32_t) const { return picture_; }

void MenuItem::SetAPicture(platform::Picture picture, std::int32_t) {
  picture_ = std::move(picture);
}

bool MenuItem::PointInside(float x, float y) const {
  return rect_.left <= x && x <= rect_.right && rect_.top <= y && y <= rect_.bottom;
}

void MenuItem::SetRect(std::int32_t left, std::int32_t top, std::int32_t right,
                       std::int32_t bottom) {
  rect_ = platform::RECT{left, top, right, bottom};
}

void MenuItem::GetRect(std::int32_t& left, std::int32_t& top, std::int32_t& right,
                       std::int32_t& bottom) const {
  left = rect_.left;
  top = rect_.top;
  right = rect_.right;
  bottom = rect_.bottom;
}

bool SameName(std::string_view a, std::string_view b) { return support::EqualsNoCase(a, b); }

}  // namespace quillane::controls
