// The handle table, device contexts, bitmaps, pens, brushes, palettes and icons.
#include <algorithm>
#include <cstring>
#include <utility>

#include <QGuiApplication>
#include <QScreen>

#include "platform/Colors.h"
#include "platform/GdiInternal.h"

namespace quillane::platform {
namespace detail {
namespace {

constexpr HGDIOBJ kStockBase = 0x10000;
constexpr HGDIOBJ kSysBrushBase = 0x20000;
constexpr HGDIOBJ kScreenDc = 0x30000;
constexpr HGDIOBJ kFirstHandle = 0x100000;
constexpr std::int64_t kMaxPixels = std::int64_t{1} << 25;  // 32 Mpixel (128 MB) per bitmap

struct Table {
  std::unordered_map<HGDIOBJ, Object> objects;
  HGDIOBJ next = kFirstHandle;
  std::size_t stockCount = 0;
  bool initialised = false;
};

Table& table() {
  static Table t;
  return t;
}

LOGFONT DefaultLogFont() {
  LOGFONT lf;
  lf.lfHeight = -11;
  lf.lfWeight = 400;
  return lf;
}

void AddFixed(HGDIOBJ handle, Payload payload) {
  Table& t = table();
  t.objects.emplace(handle, Object{std::move(payload), true, 0});
  ++t.stockCount;
}

void EnsureStock() {
  Table& t = table();
  if (t.initialised) return;
  t.initialised = true;
  AddFixed(kStockBase + WHITE_BRUSH, BrushObj{false, RGB(255, 255, 255)});
  AddFixed(kStockBase + LTGRAY_BRUSH, BrushObj{false, RGB(192, 192, 192)});
  AddFixed(kStockBase + GRAY_BRUSH, BrushObj{false, RGB(128, 128, 128)});
  AddFixed(kStockBase + DKGRAY_BRUSH, BrushObj{false, RGB(64, 64, 64)});
  AddFixed(kStockBase + BLACK_BRUSH, BrushObj{false, RGB(0, 0, 0)});
  AddFixed(kStockBase + NULL_BRUSH, BrushObj{true, 0});
  AddFixed(kStockBase + WHITE_PEN, PenObj{PS_SOLID, 1, RGB(255, 255, 255)});
  AddFixed(kStockBase + BLACK_PEN, PenObj{PS_SOLID, 1, RGB(0, 0, 0)});
  AddFixed(kStockBase + NULL_PEN, PenObj{PS_NULL, 1, 0});
  AddFixed(kStockBase + SYSTEM_FONT, FontObj{DefaultLogFont(), std::nullopt});
  AddFixed(kStockBase + DEFAULT_GUI_FONT, FontObj{DefaultLogFont(), std::nullopt});
  PaletteObj def;
  for (int i = 0; i < 16; ++i) def.entries.push_back(*QBColor(i));
  AddFixed(kStockBase + DEFAULT_PALETTE, std::move(def));
  // The stock 1 x 1 monochrome bitmap every new memory context starts with.
  BitmapObj mono;
  mono.format = BitmapObj::Format::Mono;
  mono.image = QImage(1, 1, QImage::Format_Mono);
  mono.image.setColorTable({0xFF000000u, 0xFFFFFFFFu});
  mono.image.fill(0);
  AddFixed(kStockBase + 21, std::move(mono));
  for (int i = 0; i < kSysColorCount; ++i)
    AddFixed(kSysBrushBase + static_cast<HGDIOBJ>(i), BrushObj{false, GetSysColor(i)});
  DcObj screen;
  screen.screen = true;
  screen.pen = kStockBase + BLACK_PEN;
  screen.brush = kStockBase + WHITE_BRUSH;
  screen.font = kStockBase + SYSTEM_FONT;
  screen.palette = kStockBase + DEFAULT_PALETTE;
  AddFixed(kScreenDc, std::move(screen));
}

constexpr HGDIOBJ kStockMonoBitmap = kStockBase + 21;

HGDIOBJ* SlotFor(DcObj& dc, const Object& obj) {
  switch (obj.payload.index()) {
    case 1:
      return &dc.bitmap;
    case 2:
      return &dc.pen;
    case 3:
      return &dc.brush;
    case 4:
      return &dc.font;
    default:
      return nullptr;
  }
}

QImage NewMono(int w, int h, QRgb c0, QRgb c1) {
  QImage img(w, h, QImage::Format_Mono);
  if (img.isNull()) return img;
  img.setColorTable({c0, c1});
  img.fill(0);
  return img;
}

void Release(HGDIOBJ handle) {
  if (Object* o = Find(handle)) {
    if (auto* b = std::get_if<BitmapObj>(&o->payload))
      b->selectedInto = 0;
    else if (o->selectedCount > 0)
      --o->selectedCount;
  }
}

void Hold(HDC hdc, HGDIOBJ handle) {
  if (Object* o = Find(handle)) {
    if (auto* b = std::get_if<BitmapObj>(&o->payload)) {
      if (!o->stock) b->selectedInto = hdc;
    } else {
      ++o->selectedCount;
    }
  }
}

HDC NewMemoryDc() {
  EnsureStock();
  DcObj dc;
  dc.bitmap = kStockMonoBitmap;
  dc.pen = kStockBase + BLACK_PEN;
  dc.brush = kStockBase + WHITE_BRUSH;
  dc.font = kStockBase + SYSTEM_FONT;
  dc.palette = kStockBase + DEFAULT_PALETTE;
  HDC h = Insert(std::move(dc));
  Hold(h, kStockBase + BLACK_PEN);
  Hold(h, kStockBase + WHITE_BRUSH);
  Hold(h, kStockBase + SYSTEM_FONT);
  Hold(h, kStockBase + DEFAULT_PALETTE);
  return h;
}

}  // namespace

bool SizeOk(int w, int h) {
  return w > 0 && h > 0 && static_cast<std::int64_t>(w) * h <= kMaxPixels;
}

Object* Find(HGDIOBJ handle) {
  EnsureStock();
  auto& objects = table().objects;
  auto it = objects.find(handle);
  return it == objects.end() ? nullptr : &it->second;
}

HGDIOBJ Insert(Payload payload, bool stock) {
  EnsureStock();
  Table& t = table();
  const HGDIOBJ h = t.next++;
  t.objects.emplace(h, Object{std::move(payload), stock, 0});
  return h;
}

BitmapObj* DcBitmap(DcObj& dc) {
  if (dc.screen) return nullptr;
  return Get<BitmapObj>(dc.bitmap);
}

}  // namespace detail

using namespace detail;

static QScreen* PrimaryScreen() {
  if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return nullptr;
  return QGuiApplication::primaryScreen();
}

// --- objects in general -------------------------------------------------------------------------

HGDIOBJ GetStockObject(int index) {
  EnsureStock();
  switch (index) {
    case WHITE_BRUSH:
    case LTGRAY_BRUSH:
    case GRAY_BRUSH:
    case DKGRAY_BRUSH:
    case BLACK_BRUSH:
    case NULL_BRUSH:
    case WHITE_PEN:
    case BLACK_PEN:
    case NULL_PEN:
    case SYSTEM_FONT:
    case DEFAULT_PALETTE:
    case DEFAULT_GUI_FONT:
      return kStockBase + static_cast<HGDIOBJ>(index);
    default:
      return 0;
  }
}

bool DeleteObject(HGDIOBJ obj) {
  Object* o = Find(obj);
  if (!o || std::holds_alternative<DcObj>(o->payload) ||
      std::holds_alternative<IconObj>(o->payload)) {
    return false;
  }
  if (o->stock) return true;
  if (o->selectedCount > 0) return false;
  if (auto* b = std::get_if<BitmapObj>(&o->payload); b && b->selectedInto != 0) return false;
  table().objects.erase(obj);
  return true;
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ obj) {
  auto* dc = Get<DcObj>(hdc);
  Object* o = Find(obj);
  if (!dc || !o) return 0;
  if (auto* rgn = std::get_if<RegionObj>(&o->payload)) {
    (void)rgn;
    return 0;  // clipping regions are not kept
  }
  HGDIOBJ* slot = SlotFor(*dc, *o);
  if (!slot) return 0;
  if (auto* b = std::get_if<BitmapObj>(&o->payload)) {
    if (dc->screen) return 0;
    if (b->selectedInto != 0 && b->selectedInto != hdc) return 0;
  }
  const HGDIOBJ previous = *slot;
  if (previous == obj) return previous;
  Release(previous);
  *slot = obj;
  Hold(hdc, obj);
  return previous;
}

int GetObjectType(HGDIOBJ obj) {
  Object* o = Find(obj);
  if (!o) return 0;
  switch (o->payload.index()) {
    case 0:
      return std::get<DcObj>(o->payload).screen ? OBJ_DC : OBJ_MEMDC;
    case 1:
      return OBJ_BITMAP;
    case 2:
      return OBJ_PEN;
    case 3:
      return OBJ_BRUSH;
    case 4:
      return OBJ_FONT;
    case 5:
      return OBJ_PAL;
    case 6:
      return OBJ_REGION;
    case 7:
      return OBJ_ICON;
  }
  return 0;
}

bool GetObject(HBITMAP hbm, BITMAP* out) {
  auto* b = Get<BitmapObj>(hbm);
  if (!b || !out) return false;
  out->bmType = 0;
  out->bmWidth = LogicalWidth(*b);
  out->bmHeight = LogicalHeight(*b);
  out->bmPlanes = 1;
  if (b->format == BitmapObj::Format::Color) {
    out->bmBitsPixel = 32;
    out->bmWidthBytes = b->image.width() * 4;
  } else {
    out->bmBitsPixel = 1;
    out->bmWidthBytes = ((b->image.width() + 15) / 16) * 2;
  }
  out->bmBits = b->format == BitmapObj::Format::Dib ? static_cast<void*>(b->image.bits()) : nullptr;
  return true;
}

bool GetObject(HFONT hfont, LOGFONT* out) {
  auto* f = Get<FontObj>(hfont);
  if (!f || !out) return false;
  *out = f->lf;
  return true;
}

std::size_t GdiObjectCount() {
  EnsureStock();
  const Table& t = table();
  return t.objects.size() - t.stockCount;
}

// --- device contexts ----------------------------------------------------------------------------

HDC GetDC(std::uintptr_t) {
  EnsureStock();
  return kScreenDc;
}

int ReleaseDC(std::uintptr_t, HDC hdc) { return hdc == kScreenDc ? 1 : 0; }

HDC CreateDC(std::string_view driver) {
  EnsureStock();
  if (driver != "DISPLAY") return 0;
  DcObj dc = *Get<DcObj>(kScreenDc);
  HDC h = Insert(std::move(dc));
  Hold(h, kStockBase + BLACK_PEN);
  Hold(h, kStockBase + WHITE_BRUSH);
  Hold(h, kStockBase + SYSTEM_FONT);
  Hold(h, kStockBase + DEFAULT_PALETTE);
  return h;
}

HDC CreateCompatibleDC(HDC hdc) {
  if (hdc != 0 && !Get<DcObj>(hdc)) return 0;
  return NewMemoryDc();
}

bool DeleteDC(HDC hdc) {
  auto* dc = Get<DcObj>(hdc);
  if (!dc || hdc == kScreenDc) return false;
  if (!dc->screen) Release(dc->bitmap);
  Release(dc->pen);
  Release(dc->brush);
  Release(dc->font);
  Release(dc->palette);
  table().objects.erase(hdc);
  return true;
}

int GetDeviceCaps(HDC hdc, int index) {
  auto* dc = Get<DcObj>(hdc);
  if (!dc) return 0;
  BitmapObj* bmp = DcBitmap(*dc);
  const bool mono = bmp && bmp->format != BitmapObj::Format::Color;
  switch (index) {
    case BITSPIXEL:
      return mono ? 1 : 32;
    case PLANES:
      return 1;
    case NUMCOLORS:
      return mono ? 2 : -1;
    case RASTERCAPS:
      return 0;  // no palette device
    case SIZEPALETTE:
      return 0;
    case LOGPIXELSX:
      return ScreenLogPixelsX();
    case LOGPIXELSY:
      return ScreenLogPixelsY();
    case HORZRES:
      if (bmp) return LogicalWidth(*bmp);
      if (QScreen* s = PrimaryScreen()) return s->geometry().width();
      return 1024;
    case VERTRES:
      if (bmp) return LogicalHeight(*bmp);
      if (QScreen* s = PrimaryScreen()) return s->geometry().height();
      return 768;
  }
  return 0;
}

HGDIOBJ GetCurrentObject(HDC hdc, int objectType) {
  auto* dc = Get<DcObj>(hdc);
  if (!dc) return 0;
  switch (objectType) {
    case OBJ_BITMAP:
      return dc->screen ? 0 : dc->bitmap;
    case OBJ_PEN:
      return dc->pen;
    case OBJ_BRUSH:
      return dc->brush;
    case OBJ_FONT:
      return dc->font;
    case OBJ_PAL:
      return dc->palette;
  }
  return 0;
}

#define DC_SETTER(Name, Getter, Field, Type, Fail) \
  Type Name(HDC hdc, Type value) {                 \
    auto* dc = Get<DcObj>(hdc);                    \
    if (!dc) return Fail;                          \
    Type old = dc->Field;                          \
    dc->Field = value;                             \
    return old;                                    \
  }                                                \
  Type Getter(HDC hdc) {                           \
    auto* dc = Get<DcObj>(hdc);                    \
    return dc ? dc->Field : Fail;                  \
  }

DC_SETTER(SetTextColor, GetTextColor, textColor, COLORREF, CLR_INVALID)
DC_SETTER(SetBkColor, GetBkColor, bkColor, COLORREF, CLR_INVALID)
#undef DC_SETTER

int SetBkMode(HDC hdc, int mode) {
  auto* dc = Get<DcObj>(hdc);
  if (!dc || (mode != TRANSPARENT && mode != OPAQUE)) return 0;
  return std::exchange(dc->bkMode, mode);
}
int GetBkMode(HDC hdc) {
  auto* dc = Get<DcObj>(hdc);
  return dc ? dc->bkMode : 0;
}
int SetMapMode(HDC hdc, int mode) {
  auto* dc = Get<DcObj>(hdc);
  if (!dc || mode < 1 || mode > 8) return 0;
  return std::exchange(dc->mapMode, mode);
}
int GetMapMode(HDC hdc) {
  auto* dc = Get<DcObj>(hdc);
  return dc ? dc->mapMode : 0;
}
int SetPolyFillMode(HDC hdc, int mode) {
  auto* dc = Get<DcObj>(hdc);
  if (!dc || (mode != ALTERNATE && mode != WINDING)) return 0;
  return std::exchange(dc->fillMode, mode);
}
int SetROP2(HDC hdc, int mode) {
  auto* dc = Get<DcObj>(hdc);
  if (!dc || (mode != R2_COPYPEN && mode != R2_XORPEN)) return 0;
  return std::exchange(dc->rop2, mode);
}
std::uint32_t SetTextAlign(HDC hdc, std::uint32_t align) {
  auto* dc = Get<DcObj>(hdc);
  if (!dc) return 0xFFFFFFFFu;
  return std::exchange(dc->textAlign, align);
}

bool MoveToEx(HDC hdc, int x, int y, POINT* previous) {
  auto* dc = Get<DcObj>(hdc);
  if (!dc) return false;
  if (previous) *previous = dc->pos;
  dc->pos = POINT{x, y};
  return true;
}

bool GetCurrentPositionEx(HDC hdc, POINT* out) {
  auto* dc = Get<DcObj>(hdc);
  if (!dc || !out) return false;
  *out = dc->pos;
  return true;
}

// --- bitmaps ------------------------------------------------------------------------------------

HBITMAP CreateCompatibleBitmap(HDC hdc, int width, int height) {
  auto* dc = Get<DcObj>(hdc);
  if (!dc || width < 0 || height < 0) return 0;
  BitmapObj* current = DcBitmap(*dc);
  const bool mono = current && current->format != BitmapObj::Format::Color;
  BitmapObj b;
  if (width == 0 || height == 0) {
    b.format = BitmapObj::Format::Mono;
    b.image = NewMono(1, 1, 0xFF000000u, 0xFFFFFFFFu);
  } else {
    if (!SizeOk(width, height)) return 0;
    if (mono) {
      b.format = BitmapObj::Format::Mono;
      b.image = NewMono(width, height, 0xFF000000u, 0xFFFFFFFFu);
    } else {
      b.image = QImage(width, height, QImage::Format_RGB32);
      if (!b.image.isNull()) b.image.fill(0xFF000000u);
    }
  }
  if (b.image.isNull()) return 0;
  // A context drawing at a device pixel ratio gets bitmaps of the same ratio.
  const double ratio = current ? Ratio(*current) : 1.0;
  const HBITMAP h = Insert(std::move(b));
  if (ratio != 1.0 && !SetBitmapRatio(h, ratio)) {
    DeleteObject(h);
    return 0;
  }
  return h;
}

HBITMAP CreateBitmap(int width, int height, unsigned planes, unsigned bitsPerPixel,
                     const void* bits) {
  if (planes != 1 || !SizeOk(width, height)) return 0;
  BitmapObj b;
  if (bitsPerPixel == 1) {
    b.format = BitmapObj::Format::Mono;
    b.image = NewMono(width, height, 0xFF000000u, 0xFFFFFFFFu);
    if (b.image.isNull()) return 0;
    if (bits) {
      const auto* src = static_cast<const uchar*>(bits);
      const int stride = ((width + 15) / 16) * 2;
      for (int y = 0; y < height; ++y)
        std::memcpy(b.image.scanLine(y), src + y * stride,
                    static_cast<std::size_t>((width + 7) / 8));
    }
  } else if (bitsPerPixel == 24 || bitsPerPixel == 32) {
    b.image = QImage(width, height, QImage::Format_RGB32);
    if (b.image.isNull()) return 0;
    b.image.fill(0xFF000000u);
    if (bits) {
      const auto* src = static_cast<const std::uint32_t*>(bits);
      for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(b.image.scanLine(y));
        for (int x = 0; x < width; ++x)
          line[x] = 0xFF000000u | src[static_cast<std::size_t>(y) * width + x];
      }
    }
  } else {
    return 0;
  }
  return Insert(std::move(b));
}

HBITMAP CreateDIBSection1(int width, int height, const RGBQUAD table[2], void** bits) {
  if (bits) *bits = nullptr;
  const int h = height < 0 ? -height : height;
  if (!table || height == INT32_MIN || !SizeOk(width, h)) return 0;
  BitmapObj b;
  b.format = BitmapObj::Format::Dib;
  b.image = NewMono(width, h, qRgb(table[0].rgbRed, table[0].rgbGreen, table[0].rgbBlue),
                    qRgb(table[1].rgbRed, table[1].rgbGreen, table[1].rgbBlue));
  if (b.image.isNull()) return 0;
  if (bits) *bits = b.image.bits();
  return Insert(std::move(b));
}

static unsigned DibTable(HDC hdc, unsigned start, unsigned count, RGBQUAD* colors, bool set) {
  auto* dc = Get<DcObj>(hdc);
  if (!dc || !colors) return 0;
  BitmapObj* b = DcBitmap(*dc);
  if (!b || b->format != BitmapObj::Format::Dib || start >= 2) return 0;
  const unsigned n = std::min(count, 2 - start);
  for (unsigned i = 0; i < n; ++i) {
    if (set) {
      b->image.setColor(static_cast<int>(start + i),
                        qRgb(colors[i].rgbRed, colors[i].rgbGreen, colors[i].rgbBlue));
    } else {
      const QRgb c = b->image.color(static_cast<int>(start + i));
      colors[i] = RGBQUAD{static_cast<std::uint8_t>(qBlue(c)), static_cast<std::uint8_t>(qGreen(c)),
                          static_cast<std::uint8_t>(qRed(c)), 0};
    }
  }
  return n;
}

unsigned SetDIBColorTable(HDC hdc, unsigned start, unsigned count, const RGBQUAD* colors) {
  return DibTable(hdc, start, count, const_cast<RGBQUAD*>(colors), true);
}

unsigned GetDIBColorTable(HDC hdc, unsigned start, unsigned count, RGBQUAD* colors) {
  return DibTable(hdc, start, count, colors, false);
}

HBITMAP CreateBitmapFromImage(const QImage& image) {
  if (image.isNull() || !SizeOk(image.width(), image.height())) return 0;
  BitmapObj b;
  b.image = image.convertToFormat(QImage::Format_RGB32);
  if (b.image.isNull()) return 0;
  b.image.setDevicePixelRatio(SaneRatio(image.devicePixelRatio()));
  return Insert(std::move(b));
}

QImage GetBitmapImage(HBITMAP hbm) {
  auto* b = Get<BitmapObj>(hbm);
  return b ? b->image.copy() : QImage();
}

QImage* BitmapImage(HBITMAP hbm) {
  auto* b = Get<BitmapObj>(hbm);
  return b ? &b->image : nullptr;
}

// --- pens and brushes ---------------------------------------------------------------------------

HPEN CreatePen(int style, int width, COLORREF color) {
  if (style < 0 || style > 6) return 0;
  EnsureStock();
  return Insert(PenObj{style, std::clamp(width, 1, 256), color & 0xFFFFFF});
}

HBRUSH CreateSolidBrush(COLORREF color) {
  EnsureStock();
  return Insert(BrushObj{false, color & 0xFFFFFF});
}

HBRUSH GetSysColorBrush(int index) {
  EnsureStock();
  if (index < 0 || index >= kSysColorCount) return 0;
  return kSysBrushBase + static_cast<HGDIOBJ>(index);
}

// --- palettes -----------------------------------------------------------------------------------

HPALETTE CreateHalftonePalette(HDC hdc) {
  if (!Get<DcObj>(hdc)) return 0;
  PaletteObj p;
  p.entries.reserve(256);
  for (int i = 0; i < 16; ++i) p.entries.push_back(*QBColor(i));
  static constexpr int kLevels[6] = {0, 51, 102, 153, 204, 255};
  for (int b = 0; b < 6; ++b)
    for (int g = 0; g < 6; ++g)
      for (int r = 0; r < 6; ++r) p.entries.push_back(RGB(kLevels[r], kLevels[g], kLevels[b]));
  for (int i = 1; p.entries.size() < 256; ++i) {
    const int v = std::min(255, i * 7);
    p.entries.push_back(RGB(v, v, v));
  }
  return Insert(std::move(p));
}

HPALETTE SelectPalette(HDC hdc, HPALETTE hpal, bool) {
  auto* dc = Get<DcObj>(hdc);
  if (!dc || !Get<PaletteObj>(hpal)) return 0;
  const HPALETTE previous = dc->palette;
  if (previous == hpal) return previous;
  Release(previous);
  dc->palette = hpal;
  Hold(hdc, hpal);
  return previous;
}

unsigned RealizePalette(HDC hdc) {
  (void)hdc;
  return 0;  // true colour: no entries to map
}

std::optional<COLORREF> GetPaletteColor(HPALETTE hpal, int index) {
  auto* p = Get<PaletteObj>(hpal);
  if (!p || index < 0 || static_cast<std::size_t>(index) >= p->entries.size()) return std::nullopt;
  return p->entries[static_cast<std::size_t>(index)];
}

// --- icons --------------------------------------------------------------------------------------

HICON CreateIconFromImage(const QImage& image) {
  if (image.isNull() || !SizeOk(image.width(), image.height())) return 0;
  EnsureStock();
  IconObj icon;
  icon.image = image.convertToFormat(QImage::Format_ARGB32);
  if (icon.image.isNull()) return 0;
  icon.image.setDevicePixelRatio(1.0);
  return Insert(std::move(icon));
}

bool DestroyIcon(HICON icon) {
  if (!Get<IconObj>(icon)) return false;
  table().objects.erase(icon);
  return true;
}

std::optional<SIZE> GetIconSize(HICON icon) {
  auto* i = Get<IconObj>(icon);
  if (!i) return std::nullopt;
  return SIZE{i->image.width(), i->image.height()};
}

QImage GetIconImage(HICON icon) {
  auto* i = Get<IconObj>(icon);
  return i ? i->image.copy() : QImage();
}

// --- screen -------------------------------------------------------------------------------------

static int ScreenDpi(bool vertical) {
  if (QScreen* s = PrimaryScreen()) {
    const double dpi = vertical ? s->logicalDotsPerInchY() : s->logicalDotsPerInchX();
    if (dpi >= 48 && dpi <= 960) return static_cast<int>(dpi + 0.5);
  }
  return 96;
}

int ScreenLogPixelsY() { return ScreenDpi(true); }
int ScreenLogPixelsX() { return ScreenDpi(false); }
float TwipsPerPixelX() { return 1440.0f / static_cast<float>(ScreenLogPixelsX()); }
float TwipsPerPixelY() { return 1440.0f / static_cast<float>(ScreenLogPixelsY()); }

}  // namespace quillane::platform
