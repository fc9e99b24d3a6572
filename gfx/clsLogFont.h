#pragma once
// A font description with a rotation angle, and the platform font handle made from both. The
// handle exists exactly while a description is held; it is remade when the description is set or
// the angle changes, and deleted when replaced or when the object goes. The owner selects it into
// a context to draw but never deletes it.
#include <optional>

#include "platform/StdFont.h"
#include "platform/Types.h"

namespace quillane::gfx {

class clsLogFont {
 public:
  clsLogFont() = default;
  ~clsLogFont();
  clsLogFont(const clsLogFont&) = delete;
  clsLogFont& operator=(const clsLogFont&) = delete;

  // The private copy of the description, or none.
  const std::optional<platform::StdFont>& LogFont() const { return font_; }
  void SetLogFont(const std::optional<platform::StdFont>& font);
  // Degrees, counter-clockwise.
  float Rotation() const { return rotation_; }
  void SetRotation(float angle);
  platform::HFONT handle() const { return handle_; }

 private:
  void DeleteHandle();
  void MakeHandle();

  std::optional<platform::StdFont> font_;
  float rotation_ = 0;
  platform::HFONT handle_ = 0;
};

}  // namespace quillane::gfx
