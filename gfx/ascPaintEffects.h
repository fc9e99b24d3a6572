#pragma once
// Drawing of pictures and device-context contents onto a destination: plain, with one colour
// transparent, in the embossed disabled look, or as a tiled checked pattern. Every operation takes
// an optional palette (0 = the object's default halftone palette) that it selects into the memory
// contexts it makes, never into the destination. Failures of the platform calls are not reported:
// the operation simply draws less.
#include "platform/Picture.h"
#include "platform/Types.h"

namespace quillane::gfx {

using platform::HDC;
using platform::HPALETTE;
using platform::OLE_COLOR;
using platform::Picture;

class ascPaintEffects {
 public:
  ascPaintEffects();
  ~ascPaintEffects();
  ascPaintEffects(const ascPaintEffects&) = delete;
  ascPaintEffects& operator=(const ascPaintEffects&) = delete;

  // Fills the destination rectangle with copies of the bitmap's top-left lWidth x lHeight block,
  // the last ones cut at the right and bottom edges. lLeft and lTop are not used. A picture that is
  // not a bitmap raises error 481; a step of 0 or less draws nothing.
  void TileBitmapToHDC(HDC lhDCDest, const Picture& picSource, int lLeft, int lTop, int lWidth,
                       int lHeight, int lDestLeft, int lDestTop, int lDestWidth, int lDestHeight,
                       HPALETTE lhPal = 0);
  // Paints a disabled appearing image (embossed) given a source picture object.
  void PaintDisabledPicture(HDC hDCDest, const Picture& picSource, int xDest, int yDest, int Width,
                            int Height, int xSrc = 0, int ySrc = 0, OLE_COLOR clrMask = 0,
                            HPALETTE hPal = 0);
  // Fills a rectangle with the two-colour pattern of the 8 x 8 block at (0, 0) of hdcSrc: black
  // pixels in the destination's background colour, the others in clrRequired (which stays the
  // destination's text colour).
  void PaintCheckedPattern(HDC hDCDest, HDC hdcSrc, int xDest, int yDest, int wRequired,
                           int hRequired, OLE_COLOR clrRequired, HPALETTE hPal = 0);
  // Embossed drawing of a picture object with the library's own algorithm.
  void PaintDisabledPictureEx(HDC hDCDest, int xDest, int yDest, int Width, int Height,
                              const Picture& picSource, int xSrc = 0, int ySrc = 0,
                              OLE_COLOR clrMask = 0, OLE_COLOR clrHighlight = 0,
                              OLE_COLOR clrShadow = 0, HPALETTE hPal = 0);
  // Paints a disabled appearing image (embossed) given a source hDC.
  void PaintDisabledDC(HDC hDCDest, int xDest, int yDest, int Width, int Height, HDC hdcSrc,
                       int xSrc = 0, int ySrc = 0, OLE_COLOR clrMask = 0,
                       OLE_COLOR clrHighlight = 0, OLE_COLOR clrShadow = 0, HPALETTE hPal = 0);
  // Paints an image with transparent pixels defined by the mask color. Accepts an hDC as its
  // image source.
  void PaintTransparentDC(HDC hDCDest, int xDest, int yDest, int Width, int Height, HDC hdcSrc,
                          int xSrc = 0, int ySrc = 0, OLE_COLOR clrMask = 0, HPALETTE hPal = 0);
  // Paints an image with transparent pixels defined by the mask color. Accepts a picture object as
  // its image source.
  void PaintTransparentPicture(HDC hDCDest, const Picture& picSource, int xDest, int yDest,
                               int Width, int Height, int xSrc = 0, int ySrc = 0,
                               OLE_COLOR clrMask = 0, HPALETTE hPal = 0);
  // Paints an image provided by a picture object to an hDC with no effects.
  void PaintStandardPicture(HDC hDCDest, const Picture& picSource, int xDest, int yDest, int Width,
                            int Height, int xSrc = 0, int ySrc = 0, HPALETTE hPal = 0);

  HPALETTE DefaultPalette() const { return defaultPalette_; }

 private:
  HPALETTE PaletteOr(HPALETTE hPal) const { return hPal != 0 ? hPal : defaultPalette_; }

  HPALETTE defaultPalette_ = 0;
};

}  // namespace quillane::gfx
