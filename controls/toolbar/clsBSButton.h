#pragma once
// The toolbar's per-button record: its fields with their values after AddButton, the three picture
// slots and the temporary picture.
#include <array>
#include <cstdint>
#include <string>

#include "platform/Picture.h"
#include "platform/Types.h"

namespace quillane::controls {

class clsBSButton {
 public:
  // Indexes of the picture slots.
  static constexpr std::int32_t kNormal = 0;  // ButtonPicture
  static constexpr std::int32_t kOver = 1;    // ButtonPictureOver
  static constexpr std::int32_t kDown = 2;    // ButtonPictureDown

  std::string Caption;
  std::string ToolTipText;
  bool Enabled = true;
  bool Visible = true;
  bool UseMaskColor = true;
  bool Checked = false;
  platform::OLE_COLOR MaskColor = 0xFF00FF;
  float ClientLeft = 0;
  float ClientHeight = 0;
  float ClientWidth = 0;
  float ClientTop = 0;
  std::string Key;
  std::string Description;
  std::int32_t Style = 1;
  float PlaceholderSize = 0;
  bool AlwaysShowCaption = false;
  std::int16_t GroupID = 0;
  platform::Picture TemporaryPicture;

  // Slot 0 normal, 1 while the mouse is over the button, 2 while pressed or checked. Another index
  // raises error 9 "Subscript out of range".
  const platform::Picture& APicture(std::int32_t whichPicture) const;
  void SetAPicture(std::int32_t whichPicture, platform::Picture picture);

 private:
  std::array<platform::Picture, 3> pictures_;
};

}  // namespace quillane::controls
