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
  QImage image;  // RGB32 for colour; Mono (index 0/1) with its colour table otherwise
  HDC selectedInto = 0;
};

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

// The bitmap a context draws on, or null (screen context, bad handle).
BitmapObj* DcBitmap(DcObj& dc);

// Pixel access that follows the bitmap's format.
COLORREF ReadColor(const BitmapObj& bmp, int x, int y);  // colour as seen (mono: black/white)
int ReadBit(const BitmapObj& bmp, int x, int y);         // index for Mono and Dib
void WriteColor(BitmapObj& bmp, int x, int y, COLORREF color);
int NearestIndex(const QImage& dib, COLORREF color);
bool IsLight(COLORREF color);
// Blends an ARGB pixel (not premultiplied) onto the bitmap; alpha 0 leaves it.
void BlendPixel(BitmapObj& bmp, int x, int y, std::uint32_t argb);

// The font a context uses (a copy), or nullopt without an application object.
std::optional<QFont> DcFont(DcObj& dc, LOGFONT* lf = nullptr);

// Pixels (as spans) inside a polygon with integer vertices, by the top-left rule.
bool RasterizePolygon(const POINT* points, int count, int fillMode, int clipWidth, int clipHeight,
                      bool clip, std::vector<QRect>* spans);

}  // namespace quillane::platform::detail
