#pragma once
// A GDI-shaped drawing layer over QImage.
//
// Device contexts, bitmaps, pens, brushes, fonts, palettes, regions and icons are objects in one
// handle table; a handle is a 32-bit number that is never reused, so a deleted handle stays
// invalid. The pixel rules are the platform's own, done here per pixel rather than through
// QPainter where the two differ:
//  - a line leaves out its end point (with any pen width);
//  - Rectangle outlines [left, right-1] x [top, bottom-1] and fills the inside with the brush;
//    with the null pen it fills [left, right-2] x [top, bottom-2]; FillRect fills
//    [left, right-1] x [top, bottom-1];
//  - polygons fill the pixels whose corner point (x, y) lies inside, with the top-left rule
//    (left and top edges in, right and bottom edges out), then outline with the pen;
//  - colour bitmaps are 24-bit; monochrome bitmaps are 1-bit with 0 = black and 1 = white;
//    1-bit DIB sections carry a two-entry colour table that can be changed at any time;
//  - BitBlt with any ternary raster operation; colour to monochrome: source pixels equal to the
//    source context's background colour become 1, all others 0; monochrome to colour: 0 takes the
//    destination's text colour and 1 its background colour; anything into a 1-bit DIB section
//    takes the nearer of its two table colours; a 1-bit DIB section as a source reads through its
//    colour table;
//  - pen, brush and text colours drawn into a monochrome bitmap become black or white by
//    brightness (at least 128 of 255 in the average of the three channels is white);
//  - only the low 24 bits of a colour reference are drawn (a failed translation, -1, draws white).
//
// Bitmaps can be made for a screen of high pixel density: a bitmap with a device pixel ratio r
// holds round(r * width) x round(r * height) device pixels, while every call still speaks of its
// logical pixels. Lines, fills and polygons cover whole device pixels (a one-pixel line is
// round(r) device pixels wide, an oblique one is drawn at the device's resolution), text is laid
// out in logical pixels and drawn at the device's, and BitBlt between bitmaps of different ratios
// takes for each device pixel of the destination the source pixel under its centre. At a ratio of
// 1 every rule above holds pixel for pixel.
//
// Small text (under 24 pixels, unless the font asks for antialiased quality) is drawn without
// antialiasing, so text pixels are stable. Everything runs on the user-interface thread.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <QImage>

#include "platform/Types.h"

class QWidget;
class QRegion;

namespace quillane::platform {

// --- objects in general ---------------------------------------------------------------------
HGDIOBJ GetStockObject(int index);
// Deletes a pen, brush, font, bitmap, palette or region. Fails (false) for an unknown or already
// deleted handle and for an object that is selected into a device context; stock objects stay.
bool DeleteObject(HGDIOBJ obj);
// The previous object of the same kind, or 0 on failure. A bitmap can be selected into one memory
// context at a time. Palettes go through SelectPalette.
HGDIOBJ SelectObject(HDC hdc, HGDIOBJ obj);
int GetObjectType(HGDIOBJ obj);

// Selects an object into a device context for the length of a scope and puts the previous object
// of its kind back at the end. False (and nothing to put back) when the selection failed.
class ScopedSelect {
 public:
  ScopedSelect(HDC hdc, HGDIOBJ obj)
      : hdc_(hdc), previous_(hdc && obj ? SelectObject(hdc, obj) : 0) {}
  ~ScopedSelect() {
    if (previous_) SelectObject(hdc_, previous_);
  }
  ScopedSelect(const ScopedSelect&) = delete;
  ScopedSelect& operator=(const ScopedSelect&) = delete;
  explicit operator bool() const { return previous_ != 0; }

 private:
  HDC hdc_;
  HGDIOBJ previous_;
};
bool GetObject(HBITMAP hbm, BITMAP* out);
bool GetObject(HFONT hfont, LOGFONT* out);
// Live objects created by the program (stock objects and the screen context not counted).
std::size_t GdiObjectCount();

// --- device contexts ----------------------------------------------------------------------------
// The screen's context: 32 bits per pixel, no drawing surface of its own. GetDC(0) and ReleaseDC
// hand out the same context; CreateDC("DISPLAY") makes a new one that DeleteDC removes.
HDC GetDC(std::uintptr_t hwnd = 0);
int ReleaseDC(std::uintptr_t hwnd, HDC hdc);
HDC CreateDC(std::string_view driver);
// A memory context compatible with hdc (0 = the screen), holding a 1 x 1 monochrome bitmap.
HDC CreateCompatibleDC(HDC hdc);
bool DeleteDC(HDC hdc);
int GetDeviceCaps(HDC hdc, int index);
HGDIOBJ GetCurrentObject(HDC hdc, int objectType);

COLORREF SetTextColor(HDC hdc, COLORREF color);
COLORREF GetTextColor(HDC hdc);
COLORREF SetBkColor(HDC hdc, COLORREF color);
COLORREF GetBkColor(HDC hdc);
int SetBkMode(HDC hdc, int mode);
int GetBkMode(HDC hdc);
int SetMapMode(HDC hdc, int mode);
int GetMapMode(HDC hdc);
int SetPolyFillMode(HDC hdc, int mode);
// Pen drawing mode: R2_COPYPEN (default) or R2_XORPEN (lines and outlines only).
int SetROP2(HDC hdc, int mode);
std::uint32_t SetTextAlign(HDC hdc, std::uint32_t align);
bool MoveToEx(HDC hdc, int x, int y, POINT* previous = nullptr);
bool GetCurrentPositionEx(HDC hdc, POINT* out);

// --- bitmaps ------------------------------------------------------------------------------------
// A bitmap of the kind the context holds: colour for the screen or a context with a colour
// bitmap selected, monochrome for a context holding a monochrome bitmap, at the device pixel ratio
// of the context's bitmap. 0 x 0 gives a 1 x 1
// monochrome bitmap; negative or huge sizes fail (0).
HBITMAP CreateCompatibleBitmap(HDC hdc, int width, int height);
// bitsPerPixel 1 gives a monochrome bitmap, 24 or 32 a colour bitmap; bits (rows of 16-bit
// aligned bytes for 1 bit, 32-bit pixels 0x00RRGGBB otherwise) may be null.
HBITMAP CreateBitmap(int width, int height, unsigned planes, unsigned bitsPerPixel,
                     const void* bits);
// A 1-bit device-independent section with a two-entry colour table; a negative height is top-down
// (the stored rows are always top-down). *bits receives the rows (32-bit aligned, most
// significant bit first) when not null.
HBITMAP CreateDIBSection1(int width, int height, const RGBQUAD table[2], void** bits);
unsigned SetDIBColorTable(HDC hdc, unsigned start, unsigned count, const RGBQUAD* colors);
unsigned GetDIBColorTable(HDC hdc, unsigned start, unsigned count, RGBQUAD* colors);
// A colour bitmap holding a copy of the image (alpha dropped), at the image's device pixel ratio.
HBITMAP CreateBitmapFromImage(const QImage& image);
// The bitmap's pixels as an image (RGB32 for colour, Mono with its table otherwise); null image
// for an invalid handle.
QImage GetBitmapImage(HBITMAP hbm);
// Direct access for the owner of a drawing surface (for example to show it in a window). The image
// carries the bitmap's device pixel ratio, so QPainter::drawImage shows it at its logical size.
QImage* BitmapImage(HBITMAP hbm);
// Gives the bitmap a device pixel ratio (below 1 is taken as 1, above 8 as 8), keeping its logical
// size and resampling what it shows. Changes the rows a 1-bit section's bits pointer points at.
bool SetBitmapRatio(HBITMAP hbm, double ratio);
double GetBitmapRatio(HBITMAP hbm);  // 1 for an unknown handle
// The ratio of the bitmap a context draws on (1 for the screen context or a bad handle).
double GetDeviceRatio(HDC hdc);
COLORREF SetPixel(HDC hdc, int x, int y, COLORREF color);
COLORREF GetPixel(HDC hdc, int x, int y);

// --- pens and brushes ---------------------------------------------------------------------------
// PS_NULL draws nothing; every other style draws solid. Widths above 1 draw a square dot of that
// width at each pixel of the line (an even width reaches one more pixel up and left).
HPEN CreatePen(int style, int width, COLORREF color);
HBRUSH CreateSolidBrush(COLORREF color);
// A brush of a system colour; it belongs to the system and is never deleted.
HBRUSH GetSysColorBrush(int index);

// --- palettes -----------------------------------------------------------------------------------
// The 256-entry halftone palette. In true colour, selecting and realising it changes nothing.
HPALETTE CreateHalftonePalette(HDC hdc);
HPALETTE SelectPalette(HDC hdc, HPALETTE hpal, bool forceBackground);
unsigned RealizePalette(HDC hdc);
std::optional<COLORREF> GetPaletteColor(HPALETTE hpal, int index);

// --- drawing ------------------------------------------------------------------------------------
bool LineTo(HDC hdc, int x, int y);
bool Polyline(HDC hdc, const POINT* points, int count);
bool Rectangle(HDC hdc, int left, int top, int right, int bottom);
// A brush handle from 1 to 31 is the system colour (handle - 1), as the platform allows.
int FillRect(HDC hdc, const RECT* rect, HBRUSH hbr);
bool Polygon(HDC hdc, const POINT* points, int count);
bool BitBlt(HDC dest, int x, int y, int width, int height, HDC src, int xSrc, int ySrc,
            std::uint32_t rop);
// The disabled (embossed) look: dark pixels of the image in the 3-D highlight colour one pixel
// right and down, then in the button shadow colour in place; light pixels are left out. A bitmap's
// dark pixels are those that are not white; an icon's those that are opaque and not white.
// width/height 0 take the image's own size. Fails (false) for an unknown handle.
bool DrawState(HDC hdc, HBRUSH hbr, std::uintptr_t data, int x, int y, int width, int height,
               std::uint32_t flags);
bool DrawIconEx(HDC hdc, int x, int y, HICON icon, int width, int height, unsigned step,
                HBRUSH flickerFree, std::uint32_t flags);
bool DrawIcon(HDC hdc, int x, int y, HICON icon);

// --- icons --------------------------------------------------------------------------------------
// An icon from an image with alpha (alpha 0 is transparent).
HICON CreateIconFromImage(const QImage& image);
bool DestroyIcon(HICON icon);
std::optional<SIZE> GetIconSize(HICON icon);
QImage GetIconImage(HICON icon);

// --- fonts and text -----------------------------------------------------------------------------
HFONT CreateFontIndirect(const LOGFONT& lf);
bool TextOut(HDC hdc, int x, int y, std::string_view text);
bool GetTextExtentPoint32(HDC hdc, std::string_view text, SIZE* out);
bool GetTextMetrics(HDC hdc, TEXTMETRIC* out);
// Formatted text in a rectangle: DT_LEFT, DT_CENTER, DT_RIGHT, DT_TOP, DT_VCENTER and DT_BOTTOM
// (the last two with DT_SINGLELINE), DT_SINGLELINE, DT_WORDBREAK, DT_NOCLIP, DT_NOPREFIX
// ("&x" underlines x, "&&" is "&") and DT_CALCRECT (the rectangle is fitted to the text and
// nothing is drawn). Returns the height of the text. A font with an escapement is laid out as if
// unrotated and turned about each line's starting point.
int DrawText(HDC hdc, std::string_view text, RECT* rect, std::uint32_t format);

// --- regions ------------------------------------------------------------------------------------
HRGN CreateRectRgn(int left, int top, int right, int bottom);
HRGN CreatePolygonRgn(const POINT* points, int count, int fillMode);
int CombineRgn(HRGN dest, HRGN src1, HRGN src2, int mode);
bool PtInRegion(HRGN hrgn, int x, int y);
bool FillRgn(HDC hdc, HRGN hrgn, HBRUSH hbr);
bool GetRegion(HRGN hrgn, QRegion* out);
// A region of the pixels of a bitmap that are not the transparent colour (the shape of a surface
// whose background is to be see-through). 0 for an unknown bitmap.
HRGN CreateRgnFromBitmap(HBITMAP hbm, COLORREF transparent);
// Shapes a window by the region (0 removes the shape). As on the platform, the region then belongs
// to the window: its handle is deleted here.
bool SetWindowRgn(QWidget* window, HRGN hrgn, bool redraw);

// --- screen -------------------------------------------------------------------------------------
// Pixels per logical inch of the screen (96 unless a screen says otherwise).
int ScreenLogPixelsY();
int ScreenLogPixelsX();
// Twips (1/1440 inch) per screen pixel: 15 at 96 pixels per inch.
float TwipsPerPixelX();
float TwipsPerPixelY();

}  // namespace quillane::platform
