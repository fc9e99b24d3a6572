#pragma once
// Helpers of the toolbar tests: a toolbar of a given size, pictures, pixel reading.
#include <memory>
#include <string>
#include <vector>

#include <QImage>

#include "controls/toolbar/xToolbar.h"
#include "gfx/basGDI.h"
#include "platform/Colors.h"
#include "platform/Gdi.h"

namespace quillane::test {

namespace tb = quillane::controls;
namespace p = quillane::platform;

// System colours as the fixed table draws them.
constexpr p::COLORREF kFace = 0xF0F0F0, kShadow = 0xA0A0A0, kHighlight = 0xFFFFFF,
                      kLight = 0xE3E3E3, kDark = 0x696969, kGreyText = 0x6D6D6D;

inline std::unique_ptr<tb::xToolbar> MakeBar(int w, int h, std::int32_t docking = tb::tbdsLocked) {
  auto bar = std::make_unique<tb::xToolbar>();
  bar->resize(w, h);
  bar->SetDockingStyle(docking);
  return bar;
}

// A w x h bitmap picture: a black square with a one-pixel magenta margin.
inline p::Picture SquarePicture(int w = 16, int h = 16, QRgb ink = qRgb(0, 0, 0)) {
  QImage img(w, h, QImage::Format_RGB32);
  img.fill(qRgb(255, 0, 255));
  for (int y = 1; y < h - 1; ++y)
    for (int x = 1; x < w - 1; ++x) img.setPixel(x, y, ink);
  return p::Picture::FromBitmap(p::CreateBitmapFromImage(img));
}

// The colour reference of a pixel of the surface.
inline p::COLORREF Px(const tb::xToolbar& bar, int x, int y) {
  return p::FromQRgb(bar.SurfaceImage().pixel(x, y));
}

inline int CountColour(const QImage& img, p::COLORREF c, QRect r = {}) {
  if (r.isNull()) r = img.rect();
  int n = 0;
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x) n += p::FromQRgb(img.pixel(x, y)) == c;
  return n;
}

}  // namespace quillane::test
