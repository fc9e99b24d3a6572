#include "gfx/ascMemoryBitmap.h"

#include "platform/Gdi.h"
#include "platform/Host.h"

namespace quillane::gfx {

namespace p = quillane::platform;

p::Picture ascMemoryBitmap::Picture() const {
  if (hBmp_ == 0) return p::Picture();
  const p::HDC screen = p::GetDC(0);
  const p::HBITMAP copy = p::CreateCompatibleBitmap(screen, width_, height_);
  p::ReleaseDC(0, screen);
  if (!copy) return p::Picture();
  const p::HDC dc = p::CreateCompatibleDC(0);
  {
    const p::ScopedSelect selected(dc, copy);
    p::BitBlt(dc, 0, 0, width_, height_, hdc_, 0, 0, p::SRCCOPY);
  }
  p::DeleteDC(dc);
  return p::Picture::FromBitmap(copy, true);
}

void ascMemoryBitmap::ClearUp() {
  if (previousBmp_ != 0) p::SelectObject(hdc_, previousBmp_);
  if (hBmp_ != 0) p::DeleteObject(hBmp_);
  if (hdc_ != 0) p::DeleteDC(hdc_);
  previousBmp_ = 0;
  hBmp_ = 0;
  hdc_ = 0;
  width_ = 0;
  height_ = 0;
}

bool ascMemoryBitmap::LoadBitmapIntoMemory(const p::Picture& picture) {
  ClearUp();
  const p::HBITMAP source = picture.Handle();
  p::BITMAP header;
  if (picture.Type() != p::PictureType::Bitmap || !p::GetObject(source, &header)) return false;
  const p::HDC display = p::CreateDC("DISPLAY");
  const p::HDC temp = p::CreateCompatibleDC(display);
  bool ok = false;
  if (const p::ScopedSelect selected(temp, source); selected) {
    hdc_ = p::CreateCompatibleDC(display);
    hBmp_ = hdc_ ? p::CreateCompatibleBitmap(display, header.bmWidth, header.bmHeight) : 0;
    previousBmp_ = hBmp_ ? p::SelectObject(hdc_, hBmp_) : 0;
    ok = hdc_ != 0 && hBmp_ != 0 && previousBmp_ != 0;
    if (ok) {
      width_ = header.bmWidth;
      height_ = header.bmHeight;
      p::BitBlt(hdc_, 0, 0, width_, height_, temp, 0, 0, p::SRCCOPY);
    }
  }
  if (temp) p::DeleteDC(temp);
  if (display) p::DeleteDC(display);
  if (!ok) ClearUp();
  return ok;
}

bool ascMemoryBitmap::CreateByFile(const std::string& fileName) {
  ClearUp();
  p::Picture picture;
  try {
    picture = p::LoadPicture(fileName);
  } catch (const p::ComError&) {
    return false;
  }
  if (picture.IsNothing()) return false;
  return LoadBitmapIntoMemory(picture);
}

bool ascMemoryBitmap::CreateByPicture(const p::Picture& picture) {
  ClearUp();
  if (picture.IsNothing()) return false;
  if (picture.Type() != p::PictureType::Bitmap) {
    throw p::ComError(481, "Picture property must be of type Bitmap",
                      p::ErrorSource("ascMemoryBitmap", "CreateByPicture"));
  }
  return LoadBitmapIntoMemory(picture);
}

bool ascMemoryBitmap::CreateByResource(const p::ResourceId& resourceId) {
  ClearUp();
  const p::Picture picture = p::LoadResPicture(resourceId, p::RT_BITMAP);
  if (picture.IsNothing()) return false;
  return LoadBitmapIntoMemory(picture);
}

}  // namespace quillane::gfx
