#pragma once
// A memory device context that holds its own copy of a bitmap, loaded from a picture object, a
// picture file or a bitmap resource of the program.
#include <string>

#include "platform/Picture.h"
#include "platform/Resources.h"
#include "platform/Types.h"

namespace quillane::gfx {

class ascMemoryBitmap {
 public:
  ascMemoryBitmap() = default;
  ~ascMemoryBitmap() { ClearUp(); }
  ascMemoryBitmap(const ascMemoryBitmap&) = delete;
  ascMemoryBitmap& operator=(const ascMemoryBitmap&) = delete;

  // A new picture object of the held bitmap, or nothing when empty. The picture owns a copy of the
  // bitmap, so each handle is deleted exactly once and either side may be released first.
  platform::Picture Picture() const;
  platform::HBITMAP hBmp() const { return hBmp_; }
  std::int32_t Width() const { return width_; }
  std::int32_t Height() const { return height_; }
  void ClearUp();
  platform::HDC hdc() const { return hdc_; }
  // Every Create call empties the object first.
  // Loads a picture file; false when it cannot be read or is not a bitmap.
  bool CreateByFile(const std::string& fileName);
  // False for nothing; error 481 "Picture property must be of type Bitmap" for another type.
  bool CreateByPicture(const platform::Picture& picture);
  // Loads a bitmap resource of the program by name or number.
  bool CreateByResource(const platform::ResourceId& resourceId);

 private:
  bool LoadBitmapIntoMemory(const platform::Picture& picture);

  platform::HDC hdc_ = 0;
  platform::HBITMAP hBmp_ = 0;
  platform::HGDIOBJ previousBmp_ = 0;
  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
};

}  // namespace quillane::gfx
