#include "gfx/ascPaintEffects.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>

#include <QImage>

#include "gfx/basGDI.h"
#include "platform/Colors.h"
#include "platform/Gdi.h"
#include "platform/Host.h"

namespace quillane::gfx {

namespace p = quillane::platform;

namespace {

// A memory context with the palette selected and realised; the previous palette goes back and is
// realised before the context is deleted.
class MemDC {
 public:
  MemDC(HDC compatibleWith, HPALETTE hPal) : dc_(p::CreateCompatibleDC(compatibleWith)) {
    if (dc_ && hPal) {
      oldPal_ = p::SelectPalette(dc_, hPal, true);
      p::RealizePalette(dc_);
    }
  }
  ~MemDC() {
    if (!dc_) return;
    if (oldBmp_) p::SelectObject(dc_, oldBmp_);
    if (oldPal_) {
      p::SelectPalette(dc_, oldPal_, true);
      p::RealizePalette(dc_);
    }
    p::DeleteDC(dc_);
    if (ownBmp_) p::DeleteObject(ownBmp_);
  }
  MemDC(const MemDC&) = delete;
  MemDC& operator=(const MemDC&) = delete;

  HDC get() const { return dc_; }
  explicit operator bool() const { return dc_ != 0; }
  // Selects a bitmap (owned: deleted with the context). False when it cannot be selected.
  bool Select(p::HBITMAP bmp, bool own) {
    if (!dc_ || !bmp) {
      if (own && bmp) p::DeleteObject(bmp);
      return false;
    }
    const p::HGDIOBJ previous = p::SelectObject(dc_, bmp);
    if (!previous) {
      if (own) p::DeleteObject(bmp);
      return false;
    }
    if (!oldBmp_) oldBmp_ = previous;
    if (own) ownBmp_ = bmp;
    return true;
  }
  // Puts the original bitmap back (the selected one stays alive until the context goes).
  void Deselect() {
    if (dc_ && oldBmp_) {
      p::SelectObject(dc_, oldBmp_);
      oldBmp_ = 0;
    }
  }

 private:
  HDC dc_;
  p::HGDIOBJ oldBmp_ = 0;
  p::HPALETTE oldPal_ = 0;
  p::HBITMAP ownBmp_ = 0;
};

// A bitmap at the device pixel ratio of the context it is drawn for (0: the screen, ratio 1), so
// the steps in between keep the destination's resolution.
p::HBITMAP AtRatioOf(HDC like, p::HBITMAP bmp) {
  const double ratio = like ? p::GetDeviceRatio(like) : 1.0;
  if (bmp && ratio != 1.0 && !p::SetBitmapRatio(bmp, ratio)) {
    p::DeleteObject(bmp);
    return 0;
  }
  return bmp;
}

p::HBITMAP ScreenBitmap(int w, int h, HDC like = 0) {
  if (w <= 0 || h <= 0) return 0;
  const HDC screen = p::GetDC(0);
  const p::HBITMAP bmp = p::CreateCompatibleBitmap(screen, w, h);
  p::ReleaseDC(0, screen);
  return AtRatioOf(like, bmp);
}

p::COLORREF Ref(std::int32_t translated) { return static_cast<p::COLORREF>(translated); }

// A bitmap picture's finer drawing fitted to a context whose device pixel ratio lies between 1 and
// the drawing's own (or above it): scaled smoothly to the context's device pixels rather than
// picked pixel by pixel, with the mask colour (when given) kept out of the mixing and each pixel
// left either wholly in the mask colour or wholly in the picture's. 0 where the picture's own
// handle for the ratio serves (ratio 1, the finer drawing's own ratio, or no finer drawing).
p::HBITMAP FittedPicture(const Picture& pic, double ratio, std::optional<p::COLORREF> mask) {
  const p::HBITMAP dense = pic.DenseHandle();
  if (ratio <= 1.0 || dense == 0 || ratio == p::GetBitmapRatio(dense)) return 0;
  QImage fine = p::GetBitmapImage(dense).convertToFormat(QImage::Format_ARGB32);
  const QRgb key = mask ? p::ToQRgb(*mask) : 0;
  if (mask)
    for (int y = 0; y < fine.height(); ++y) {
      auto* line = reinterpret_cast<QRgb*>(fine.scanLine(y));
      for (int x = 0; x < fine.width(); ++x)
        if ((line[x] & 0xFFFFFFu) == (key & 0xFFFFFFu)) line[x] = 0;
    }
  const QSize size(static_cast<int>(std::lround(pic.WidthPixels() * ratio)),
                   static_cast<int>(std::lround(pic.HeightPixels() * ratio)));
  const QImage scaled = fine.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                            .convertToFormat(QImage::Format_ARGB32);
  QImage out(size, QImage::Format_RGB32);
  for (int y = 0; y < out.height(); ++y)
    for (int x = 0; x < out.width(); ++x) {
      const QRgb c = scaled.pixel(x, y);
      out.setPixel(x, y, mask && qAlpha(c) < 128 ? key : (c | 0xFF000000u));
    }
  out.setDevicePixelRatio(ratio);
  return p::CreateBitmapFromImage(out);
}

// Selects the picture's bitmap for the destination's ratio into the context.
bool SelectPicture(MemDC& src, const Picture& pic, HDC dest, std::optional<p::COLORREF> mask) {
  const double ratio = p::GetDeviceRatio(dest);
  if (const p::HBITMAP fitted = FittedPicture(pic, ratio, mask)) return src.Select(fitted, true);
  return src.Select(pic.HandleFor(ratio), false);
}

int SurfaceExtent(HDC dc, bool width) {
  p::BITMAP bm;
  if (!p::GetObject(p::GetCurrentObject(dc, p::OBJ_BITMAP), &bm)) return 0;
  return width ? bm.bmWidth : bm.bmHeight;
}

// The tile starts from `from` to `from + extent` inclusive in steps of `step` that can reach the
// surface [0, limit): tiles wholly before 0 or from `limit` on are skipped without being visited.
void TileRange(std::int64_t from, std::int64_t extent, std::int64_t step, std::int64_t limit,
               std::int64_t* first, std::int64_t* last) {
  std::int64_t start = from;
  if (start + step <= 0) start += ((-start - step) / step + 1) * step;
  *first = start;
  *last = std::min(from + extent, limit - 1);
}

// Copies tiles of the tw x th block at (0, 0) of src over dest's rectangle (x0, y0, w, h): one at
// every step from the left edge to the right edge inclusive (outer loop) and from the top to the
// bottom inclusive (inner loop), the last ones cut to what is left of the rectangle.
void Tile(HDC dest, HDC src, std::int64_t x0, std::int64_t y0, std::int64_t w, std::int64_t h,
          std::int64_t tw, std::int64_t th) {
  if (tw <= 0 || th <= 0) return;
  std::int64_t xFirst, xLast, yFirst, yLast;
  TileRange(x0, w, tw, SurfaceExtent(dest, true), &xFirst, &xLast);
  TileRange(y0, h, th, SurfaceExtent(dest, false), &yFirst, &yLast);
  for (std::int64_t x = xFirst; x <= xLast; x += tw) {
    const std::int64_t cw = x + tw > x0 + w ? x0 + w - x : tw;
    for (std::int64_t y = yFirst; y <= yLast; y += th) {
      const std::int64_t ch = y + th > y0 + h ? y0 + h - y : th;
      p::BitBlt(dest, static_cast<int>(x), static_cast<int>(y), static_cast<int>(cw),
                static_cast<int>(ch), src, 0, 0, p::SRCCOPY);
    }
  }
}

}  // namespace

ascPaintEffects::ascPaintEffects() {
  const HDC screen = p::GetDC(0);
  defaultPalette_ = p::CreateHalftonePalette(screen);
  p::ReleaseDC(0, screen);
}

ascPaintEffects::~ascPaintEffects() {
  if (defaultPalette_) p::DeleteObject(defaultPalette_);
}

void ascPaintEffects::TileBitmapToHDC(HDC lhDCDest, const Picture& picSource, int, int, int lWidth,
                                      int lHeight, int lDestLeft, int lDestTop, int lDestWidth,
                                      int lDestHeight, HPALETTE lhPal) {
  if (picSource.IsNothing() || picSource.Type() != p::PictureType::Bitmap) {
    throw p::ComError(481, p::StandardErrorText(481),
                      p::ErrorSource("ascPaintEffects", "TileBitmapToHDC"));
  }
  MemDC src(0, PaletteOr(lhPal));
  if (!src.Select(picSource.HandleFor(p::GetDeviceRatio(lhDCDest)), false)) return;
  Tile(lhDCDest, src.get(), lDestLeft, lDestTop, lDestWidth, lDestHeight, lWidth, lHeight);
}

void ascPaintEffects::PaintDisabledPicture(HDC hDCDest, const Picture& picSource, int xDest,
                                           int yDest, int Width, int Height, int xSrc, int ySrc,
                                           OLE_COLOR clrMask, HPALETTE hPal) {
  if (picSource.IsNothing() || picSource.Type() == p::PictureType::None) return;
  constexpr OLE_COLOR k3DHighlight = static_cast<OLE_COLOR>(0x80000014u);
  constexpr OLE_COLOR kButtonShadow = static_cast<OLE_COLOR>(0x80000010u);
  if (picSource.Type() == p::PictureType::Icon) {
    if (!p::DrawState(hDCDest, 0, picSource.Handle(), xDest, yDest, 0, 0,
                      p::DST_ICON | p::DSS_DISABLED)) {
      PaintDisabledPictureEx(hDCDest, xDest, yDest, Width, Height, picSource, xSrc, ySrc, clrMask,
                             k3DHighlight, kButtonShadow, hPal);
    }
    return;
  }
  MemDC tmp(0, PaletteOr(hPal));
  const p::HBITMAP bmp = ScreenBitmap(Width, Height, hDCDest);
  if (!tmp.Select(bmp, true)) return;
  p::SetBkColor(tmp.get(), 0xFFFFFF);
  p::BitBlt(tmp.get(), 0, 0, Width, Height, 0, 0, 0, p::WHITENESS);
  PaintTransparentPicture(tmp.get(), picSource, 0, 0, Width, Height, xSrc, ySrc, clrMask, hPal);
  tmp.Deselect();
  if (!p::DrawState(hDCDest, 0, bmp, xDest, yDest, 0, 0, p::DST_BITMAP | p::DSS_DISABLED)) {
    PaintDisabledPictureEx(hDCDest, xDest, yDest, Width, Height, picSource, xSrc, ySrc, clrMask,
                           k3DHighlight, kButtonShadow, hPal);
  }
}

void ascPaintEffects::PaintCheckedPattern(HDC hDCDest, HDC hdcSrc, int xDest, int yDest,
                                          int wRequired, int hRequired, OLE_COLOR clrRequired,
                                          HPALETTE hPal) {
  const HPALETTE pal = PaletteOr(hPal);
  const std::int32_t color = TranslateColor(clrRequired, pal);
  MemDC colour(hDCDest, pal);
  if (!colour.Select(ScreenBitmap(8, 8), true)) return;
  p::SetBkColor(colour.get(), p::GetBkColor(hdcSrc));
  p::SetTextColor(colour.get(), p::GetTextColor(hdcSrc));
  p::BitBlt(colour.get(), 0, 0, 8, 8, hdcSrc, 0, 0, p::SRCCOPY);
  MemDC mono(hDCDest, pal);
  if (!mono.Select(p::CreateBitmap(8, 8, 1, 1, nullptr), true)) return;
  p::SetBkColor(colour.get(), 0x000000);
  p::SetTextColor(colour.get(), 0xFFFFFF);
  p::BitBlt(mono.get(), 0, 0, 8, 8, colour.get(), 0, 0, p::SRCCOPY);
  p::SetTextColor(hDCDest, Ref(color));
  Tile(hDCDest, mono.get(), xDest, yDest, wRequired, hRequired, 8, 8);
}

void ascPaintEffects::PaintDisabledPictureEx(HDC hDCDest, int xDest, int yDest, int Width,
                                             int Height, const Picture& picSource, int xSrc,
                                             int ySrc, OLE_COLOR clrMask, OLE_COLOR clrHighlight,
                                             OLE_COLOR clrShadow, HPALETTE hPal) {
  if (picSource.IsNothing()) return;
  if (picSource.Type() == p::PictureType::Bitmap) {
    MemDC src(0, PaletteOr(hPal));
    if (!src.Select(picSource.HandleFor(p::GetDeviceRatio(hDCDest)), false)) return;
    PaintDisabledDC(hDCDest, xDest, yDest, Width, Height, src.get(), xSrc, ySrc, clrMask,
                    clrHighlight, clrShadow, hPal);
  } else if (picSource.Type() == p::PictureType::Icon) {
    if (p::DrawState(hDCDest, 0, picSource.Handle(), xDest, yDest, 0, 0,
                     p::DST_ICON | p::DSS_DISABLED))
      return;
    MemDC tmp(0, PaletteOr(hPal));
    if (!tmp.Select(ScreenBitmap(Width, Height, hDCDest), true)) return;
    const p::HBRUSH brush = p::CreateSolidBrush(Ref(TranslateColor(clrMask)));
    const p::RECT rc{0, 0, Width, Height};
    p::FillRect(tmp.get(), &rc, brush);
    p::DeleteObject(brush);
    p::DrawIcon(tmp.get(), 0, 0, picSource.Handle());
    PaintDisabledDC(hDCDest, xDest, yDest, Width, Height, tmp.get(), 0, 0, clrMask, clrHighlight,
                    clrShadow, hPal);
  }
}

void ascPaintEffects::PaintDisabledDC(HDC hDCDest, int xDest, int yDest, int Width, int Height,
                                      HDC hdcSrc, int xSrc, int ySrc, OLE_COLOR clrMask,
                                      OLE_COLOR clrHighlight, OLE_COLOR clrShadow, HPALETTE hPal) {
  if (Width <= 0 || Height <= 0) return;
  const HPALETTE pal = PaletteOr(hPal);
  const std::int32_t shadow = TranslateColor(clrShadow, pal);
  const std::int32_t highlight = TranslateColor(clrHighlight, pal);
  // The bit context: a top-down 1-bit section, entry 0 black and entry 1 white.
  const p::RGBQUAD blackWhite[2] = {{0, 0, 0, 0}, {255, 255, 255, 0}};
  MemDC bits(hDCDest, pal);
  if (!bits.Select(AtRatioOf(hDCDest, p::CreateDIBSection1(Width, -Height, blackWhite, nullptr)),
                   true))
    return;
  const std::int32_t white = TranslateColor(0xFFFFFF, pal);
  const std::int32_t mask = TranslateColor(clrMask, pal);
  if (mask != white) {
    MemDC tmp(hDCDest, pal);
    if (tmp.Select(ScreenBitmap(Width, Height, hDCDest), true)) {
      p::BitBlt(tmp.get(), 0, 0, Width, Height, 0, 0, 0, p::WHITENESS);
      PaintTransparentDC(tmp.get(), 0, 0, Width, Height, hdcSrc, xSrc, ySrc, clrMask, hPal);
      p::BitBlt(bits.get(), 0, 0, Width, Height, tmp.get(), 0, 0, p::SRCCOPY);
    }
  } else {
    p::BitBlt(bits.get(), 0, 0, Width, Height, hdcSrc, xSrc, ySrc, p::SRCCOPY);
  }
  MemDC result(hDCDest, pal);
  if (!result.Select(ScreenBitmap(Width, Height, hDCDest), true)) return;
  p::BitBlt(result.get(), 0, 0, Width, Height, hDCDest, xDest, yDest, p::SRCCOPY);
  std::int32_t key = 0;
  for (const OLE_COLOR candidate : {0x000000, 0x0000FF, 0xFF0000}) {
    key = TranslateColor(candidate, pal);
    if (key != highlight && key != shadow) break;
  }
  const p::RGBQUAD whiteBlack[2] = {{255, 255, 255, 0}, {0, 0, 0, 0}};
  p::SetDIBColorTable(bits.get(), 0, 2, whiteBlack);
  MemDC maskDc(hDCDest, pal);
  if (!maskDc.Select(AtRatioOf(hDCDest, p::CreateBitmap(Width, Height, 1, 1, nullptr)), true))
    return;
  p::SetMapMode(maskDc.get(), p::GetMapMode(hdcSrc));
  p::SetBkColor(maskDc.get(), Ref(highlight));
  p::SetTextColor(maskDc.get(), Ref(key));
  p::BitBlt(maskDc.get(), 0, 0, Width, Height, bits.get(), 0, 0, p::SRCCOPY);
  PaintTransparentDC(result.get(), 1, 1, Width, Height, maskDc.get(), 0, 0, key, hPal);
  p::SetBkColor(maskDc.get(), Ref(shadow));
  p::BitBlt(maskDc.get(), 0, 0, Width, Height, bits.get(), 0, 0, p::SRCCOPY);
  PaintTransparentDC(result.get(), 0, 0, Width, Height, maskDc.get(), 0, 0, key, hPal);
  p::BitBlt(hDCDest, xDest, yDest, Width, Height, result.get(), 0, 0, p::SRCCOPY);
}

void ascPaintEffects::PaintTransparentDC(HDC hDCDest, int xDest, int yDest, int Width, int Height,
                                         HDC hdcSrc, int xSrc, int ySrc, OLE_COLOR clrMask,
                                         HPALETTE hPal) {
  if (Width <= 0 || Height <= 0) return;
  const HPALETTE pal = PaletteOr(hPal);
  const std::int32_t mask = TranslateColor(clrMask, pal);
  // Background copy.
  MemDC background(hDCDest, pal);
  if (!background.Select(ScreenBitmap(Width, Height, hDCDest), true)) return;
  p::BitBlt(background.get(), 0, 0, Width, Height, hDCDest, xDest, yDest, p::SRCCOPY);
  // Source copy, in the source's own colours.
  MemDC source(hDCDest, pal);
  if (!source.Select(ScreenBitmap(Width, Height, hDCDest), true)) return;
  p::SetBkColor(source.get(), p::GetBkColor(hdcSrc));
  p::SetTextColor(source.get(), p::GetTextColor(hdcSrc));
  p::BitBlt(source.get(), 0, 0, Width, Height, hdcSrc, xSrc, ySrc, p::SRCCOPY);
  // Mask: 1 where the source has the mask colour.
  MemDC maskDc(hDCDest, pal);
  if (!maskDc.Select(AtRatioOf(hDCDest, p::CreateBitmap(Width, Height, 1, 1, nullptr)), true))
    return;
  p::SetBkColor(source.get(), Ref(mask));
  p::SetTextColor(source.get(), 0xFFFFFF);
  p::BitBlt(maskDc.get(), 0, 0, Width, Height, source.get(), 0, 0, p::SRCCOPY);
  // Transparent pixels of the source to black.
  p::SetTextColor(source.get(), 0x000000);
  p::SetBkColor(source.get(), 0xFFFFFF);
  p::BitBlt(source.get(), 0, 0, Width, Height, maskDc.get(), 0, 0, p::ROP_DSna);
  // Keep the background only where the source is transparent, then add the source.
  p::BitBlt(background.get(), 0, 0, Width, Height, maskDc.get(), 0, 0, p::SRCAND);
  p::BitBlt(background.get(), 0, 0, Width, Height, source.get(), 0, 0, p::SRCPAINT);
  p::BitBlt(hDCDest, xDest, yDest, Width, Height, background.get(), 0, 0, p::SRCCOPY);
}

void ascPaintEffects::PaintTransparentPicture(HDC hDCDest, const Picture& picSource, int xDest,
                                              int yDest, int Width, int Height, int xSrc, int ySrc,
                                              OLE_COLOR clrMask, HPALETTE hPal) {
  if (picSource.IsNothing()) return;
  if (picSource.Type() == p::PictureType::Bitmap) {
    MemDC src(0, PaletteOr(hPal));
    if (!SelectPicture(src, picSource, hDCDest, Ref(TranslateColor(clrMask, PaletteOr(hPal)))))
      return;
    PaintTransparentDC(hDCDest, xDest, yDest, Width, Height, src.get(), xSrc, ySrc, clrMask, hPal);
  } else if (picSource.Type() == p::PictureType::Icon) {
    const std::int32_t mask = TranslateColor(clrMask);
    MemDC src(0, PaletteOr(hPal));
    if (!src.Select(ScreenBitmap(Width, Height, hDCDest), true)) return;
    const p::HBRUSH brush = p::CreateSolidBrush(Ref(mask));
    const p::RECT rc{0, 0, Width, Height};
    p::FillRect(src.get(), &rc, brush);
    p::DeleteObject(brush);
    p::DrawIcon(src.get(), 0, 0, picSource.Handle());
    PaintTransparentDC(hDCDest, xDest, yDest, Width, Height, src.get(), xSrc, ySrc, mask, hPal);
  }
}

void ascPaintEffects::PaintStandardPicture(HDC hDCDest, const Picture& picSource, int xDest,
                                           int yDest, int Width, int Height, int xSrc, int ySrc,
                                           HPALETTE hPal) {
  if (picSource.IsNothing()) return;
  if (picSource.Type() == p::PictureType::Bitmap) {
    MemDC src(0, PaletteOr(hPal));
    if (!SelectPicture(src, picSource, hDCDest, std::nullopt)) return;
    p::BitBlt(hDCDest, xDest, yDest, Width, Height, src.get(), xSrc, ySrc, p::SRCCOPY);
  } else if (picSource.Type() == p::PictureType::Icon) {
    p::DrawIconEx(hDCDest, xDest, yDest, picSource.Handle(), Width, Height, 0, 0, p::DI_NORMAL);
  }
}

}  // namespace quillane::gfx
