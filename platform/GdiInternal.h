#pragma once
// The handle table and object records behind Gdi.h; shared by the drawing sources only.
#include <cstdint>
#include <optional>
#include <unordered_map>
#include <variant>
#include <vector>

#include <QFont>
#include <QImage>
#include <QRegion>

#include "platform/Gdi.h"

namespace quillane::platform::detail {

struct BitmapObj {
  enum class Format { Color, Mono, Dib };
  Format format = Format::Color;
  // RGB32 for colour; Mono (index 0/1) with its colour table otherwise. The image is in device
  // pixels; its device pixel ratio (1 unless the bitmap was made for a high-density screen) maps
  // the logical pixels every call speaks of onto them.
  QImage image;
  HDC selectedInto = 0;
};

// --- logical and device pixels ----------------------------------------------------------------
// A logical coordinate v covers the device pixels [Dev(v), Dev(v + 1)), Dev(v) = round(v * ratio),
// so neighbouring logical pixels share their edge and no seam or overlap appears at any ratio.
inline double Ratio(const BitmapObj& b) { return b.image.devicePixelRatio(); }
inline bool Scaled(const BitmapObj& b) { return b.image.devicePixelRatio() != 1.0; }
std::int64_t Dev(double ratio, std::int64_t v);
inline std::int64_t Dev(const BitmapObj& b, std::int64_t v) { return Dev(Ratio(b), v); }
// The device pixels of the logical range [from, to) of a bitmap, cut to its extent.
struct Span {
  int first = 0, last = 0;  // [first, last)
  int size() const { return last - first; }
};
Span DeviceSpan(double ratio, std::int64_t from, std::int64_t to, int extent);
// The bitmap's size in logical pixels.
int LogicalWidth(const BitmapObj& b);
int LogicalHeight(const BitmapObj& b);
// A ratio taken as given: 1 for anything under 1 or not a number, at most 8.
double SaneRatio(double ratio);

struct PenObj {
  int style = PS_SOLID;
  int width = 1;
  COLORREF color = 0;
};

struct BrushObj {
  bool null = false;
  COLORREF color = 0;
};

struct FontObj {
  LOGFONT lf;
  std::optional<QFont> font;  // made on first use (needs the application object)
};

struct PaletteObj {
  std::vector<COLORREF> entries;
};

struct RegionObj {
  QRegion region;
};

struct IconObj {
  QImage image;  // ARGB32, not premultiplied
};

struct DcObj {
  bool screen = false;
  HBITMAP bitmap = 0;
  HPEN pen = 0;
  HBRUSH brush = 0;
  HFONT font = 0;
  HPALETTE palette = 0;
  COLORREF textColor = 0x000000;
  COLORREF bkColor = 0xFFFFFF;
  int bkMode = OPAQUE;
  int mapMode = MM_TEXT;
  int fillMode = ALTERNATE;
  int rop2 = R2_COPYPEN;
  std::uint32_t textAlign = TA_LEFT | TA_TOP;
  POINT pos;
};

using Payload =
    std::variant<DcObj, BitmapObj, PenObj, BrushObj, FontObj, PaletteObj, RegionObj, IconObj>;

struct Object {
  Payload payload;
  bool stock = false;     // never deleted
  int selectedCount = 0;  // device contexts that hold this pen, brush, font or palette
};

// The object of that handle if it is of type T, else null.
Object* Find(HGDIOBJ handle);
template <typename T>
T* Get(HGDIOBJ handle) {
  Object* o = Find(handle);
  return o ? std::get_if<T>(&o->payload) : nullptr;
}
HGDIOBJ Insert(Payload payload, bool stock = false);
// Whether a bitmap of w x h pixels may be made (positive, at most 32 Mpixel).
bool SizeOk(int w, int h);

// The bitmap a context draws on, or null (screen context, bad handle).
BitmapObj* DcBitmap(DcObj& dc);

// A context and the bitmap it draws on (either may be null).
struct Target {
  DcObj* dc = nullptr;
  BitmapObj* bmp = nullptr;
};
Target TargetOf(HDC hdc);
// A brush handle to a colour; nullopt for the null brush or a bad handle. A handle from 1 to 31
// is the system colour (handle - 1).
std::optional<COLORREF> BrushColor(HBRUSH hbr);

// Pixel access that follows the bitmap's format, in device pixels.
COLORREF ReadColor(const BitmapObj& bmp, int x, int y);  // colour as seen (mono: black/white)
int ReadBit(const BitmapObj& bmp, int x, int y);         // index for Mono and Dib
void WriteBit(BitmapObj& bmp, int x, int y, int bit);    // Mono and Dib
void WriteColor(BitmapObj& bmp, int x, int y, COLORREF color);
// The same in logical pixels: reads the first device pixel of the logical one, writes all of them.
COLORREF ReadLogical(const BitmapObj& bmp, int x, int y);
void WriteLogical(BitmapObj& bmp, int x, int y, COLORREF color);
int NearestIndex(const QImage& dib, COLORREF color);
bool IsLight(COLORREF color);
// Blends an ARGB pixel (not premultiplied) onto the bitmap's device pixel; alpha 0 leaves it.
void BlendPixel(BitmapObj& bmp, int x, int y, std::uint32_t argb);

// The font a context uses (a copy), or nullopt without an application object.
std::optional<QFont> DcFont(DcObj& dc, LOGFONT* lf = nullptr);

// Pixels (as spans) inside a polygon with integer vertices, by the top-left rule.
bool RasterizePolygon(const POINT* points, int count, int fillMode, int clipWidth, int clipHeight,
                      bool clip, std::vector<QRect>* spans);

}  // namespace quillane::platform::detail
