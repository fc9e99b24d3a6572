#pragma once
// The shared, reference-counted picture object: none, bitmap or icon, with its handle. An empty
// reference ("nothing") is a Picture without an object; copies share the object, and the handle
// is deleted (once) when the last reference goes, if the picture owns it.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/Types.h"

namespace quillane::platform {

enum class PictureType : std::int16_t { None = 0, Bitmap = 1, Icon = 3 };

class Picture {
 public:
  Picture() = default;  // nothing

  // A picture object for a bitmap or an icon handle; with own, it deletes the handle when the last
  // reference is released. A zero or unknown handle gives nothing.
  static Picture FromBitmap(HBITMAP hbm, bool own = true);
  static Picture FromIcon(HICON icon, bool own = true);
  // A bitmap picture that also holds a finer drawing of itself for dense screens: `dense` is a
  // bitmap of the same logical size with a device pixel ratio above 1 (see SetBitmapRatio). With
  // own, the picture deletes both. A dense bitmap that does not fit is deleted (with own) and left
  // out.
  static Picture FromBitmaps(HBITMAP hbm, HBITMAP dense, bool own = true);
  // A picture object of type none (not the same as nothing).
  static Picture Empty();

  bool IsNothing() const { return !data_; }
  explicit operator bool() const { return static_cast<bool>(data_); }
  PictureType Type() const;
  // The bitmap or icon handle, 0 for none or nothing.
  std::uint32_t Handle() const;
  // The finer bitmap, or 0.
  std::uint32_t DenseHandle() const;
  // The handle to draw with into a context of that device pixel ratio: the finer bitmap when the
  // ratio is above 1 and there is one, else Handle().
  std::uint32_t HandleFor(double ratio) const;
  // Size in pixels (0 for none or nothing) and in 0.01 mm at the screen's resolution.
  int WidthPixels() const;
  int HeightPixels() const;
  std::int32_t Width() const;
  std::int32_t Height() const;
  long UseCount() const { return data_.use_count(); }

  // Same object (or both nothing).
  friend bool operator==(const Picture& a, const Picture& b) { return a.data_ == b.data_; }

 private:
  struct Data;
  std::shared_ptr<const Data> data_;
};

// Loads a picture file: .ico and .cur files give icons, every other image a bitmap (its alpha
// dropped). An empty path gives nothing. Throws ComError 53 "File not found" for a missing file
// and 481 "Invalid picture" for one that is not a picture.
Picture LoadPicture(const std::string& path);

}  // namespace quillane::platform
