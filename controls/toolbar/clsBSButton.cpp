#include "controls/toolbar/clsBSButton.h"

#include "platform/Host.h"

namespace quillane::controls {

namespace p = quillane::platform;

namespace {

void CheckIndex(std::int32_t which) {
  if (which < 0 || which > 2)
    throw p::ComError(9, p::StandardErrorText(9), p::ErrorSource("clsBSButton", "APicture"));
}

}  // namespace

const p::Picture& clsBSButton::APicture(std::int32_t whichPicture) const {
  CheckIndex(whichPicture);
  return pictures_[static_cast<std::size_t>(whichPicture)];
}

void clsBSButton::SetAPicture(std::int32_t whichPicture, p::Picture picture) {
  CheckIndex(whichPicture);
  pictures_[static_cast<std::size_t>(whichPicture)] = std::move(picture);
}

}  // namespace quillane::controls
