// Regions and window shapes.
#include <QWidget>

#include "platform/GdiInternal.h"

namespace quillane::platform {

using namespace detail;

namespace {

int Kind(const QRegion& r) {
  if (r.isEmpty()) return NULLREGION;
  return r.rectCount() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

}  // namespace

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
  if (right < left) std::swap(left, right);
  if (bottom < top) std::swap(top, bottom);
  RegionObj r;
  const std::int64_t w = static_cast<std::int64_t>(right) - left,
                     h = static_cast<std::int64_t>(bottom) - top;
  if (w > 0 && h > 0 && w < (1 << 27) && h < (1 << 27))
    r.region = QRegion(left, top, static_cast<int>(w), static_cast<int>(h));

  return Insert(std::move(r));
}

HRGN CreatePolygonRgn(const POINT* points, int count, int fillMode) {
  if (!points || count < 2 || (fillMode != ALTERNATE && fillMode != WINDING)) return 0;
  std::vector<QRect> spans;
  if (!RasterizePolygon(points, count, fillMode, 0, 0, false, &spans)) return 0;
  RegionObj r;
  // Join equal spans of consecutive rows into one rectangle before adding.
  std::vector<QRect> rects;
  for (const QRect& s : spans) {
    bool merged = false;
    for (auto it = rects.rbegin(); it != rects.rend() && it->bottom() >= s.top() - 1; ++it) {
      if (it->bottom() == s.top() - 1 && it->left() == s.left() && it->width() == s.width()) {
        it->setBottom(s.top());
        merged = true;
        break;
      }
    }
    if (!merged) rects.push_back(s);
  }
  for (const QRect& rc : rects) r.region += rc;

  return Insert(std::move(r));
}

HRGN CreateRgnFromBitmap(HBITMAP hbm, COLORREF transparent) {
  auto* b = Get<BitmapObj>(hbm);
  if (!b) return 0;
  transparent &= 0xFFFFFF;
  // A logical pixel is kept when any of its device pixels is not the transparent colour.
  auto kept = [&](int x, int y) {
    if (!Scaled(*b)) return ReadColor(*b, x, y) != transparent;
    const Span xs = DeviceSpan(Ratio(*b), x, std::int64_t{x} + 1, b->image.width());
    const Span ys = DeviceSpan(Ratio(*b), y, std::int64_t{y} + 1, b->image.height());
    for (int j = ys.first; j < ys.last; ++j)
      for (int i = xs.first; i < xs.last; ++i)
        if (ReadColor(*b, i, j) != transparent) return true;
    return false;
  };
  // Runs of kept pixels per row, joined with the identical runs of the rows above.
  std::vector<QRect> rects;
  std::vector<std::size_t> previousRow, currentRow;
  const int w = LogicalWidth(*b), h = LogicalHeight(*b);
  for (int y = 0; y < h; ++y) {
    currentRow.clear();
    int x = 0;
    while (x < w) {
      while (x < w && !kept(x, y)) ++x;
      const int start = x;
      while (x < w && kept(x, y)) ++x;
      if (x > start) {
        bool merged = false;
        for (std::size_t i : previousRow) {
          if (rects[i].left() == start && rects[i].width() == x - start) {
            rects[i].setBottom(y);
            currentRow.push_back(i);
            merged = true;
            break;
          }
        }
        if (!merged) {
          rects.push_back(QRect(start, y, x - start, 1));
          currentRow.push_back(rects.size() - 1);
        }
      }
    }
    std::swap(previousRow, currentRow);
  }
  RegionObj r;
  for (const QRect& rc : rects) r.region += rc;
  return Insert(std::move(r));
}

int CombineRgn(HRGN dest, HRGN src1, HRGN src2, int mode) {
  auto* d = Get<RegionObj>(dest);
  auto* a = Get<RegionObj>(src1);
  if (!d || !a) return RGN_ERROR;
  if (mode == RGN_COPY) {
    d->region = a->region;
    return Kind(d->region);
  }
  auto* b = Get<RegionObj>(src2);
  if (!b) return RGN_ERROR;
  switch (mode) {
    case RGN_AND:
      d->region = a->region.intersected(b->region);
      break;
    case RGN_OR:
      d->region = a->region.united(b->region);
      break;
    case RGN_XOR:
      d->region = a->region.xored(b->region);
      break;
    case RGN_DIFF:
      d->region = a->region.subtracted(b->region);
      break;
    default:
      return RGN_ERROR;
  }
  return Kind(d->region);
}

bool PtInRegion(HRGN hrgn, int x, int y) {
  auto* r = Get<RegionObj>(hrgn);
  return r && r->region.contains(QPoint(x, y));
}

bool FillRgn(HDC hdc, HRGN hrgn, HBRUSH hbr) {
  auto* r = Get<RegionObj>(hrgn);
  if (!r) return false;
  for (const QRect& rc : r->region) {
    RECT box{rc.left(), rc.top(), rc.left() + rc.width(), rc.top() + rc.height()};
    if (!FillRect(hdc, &box, hbr)) return false;
  }
  return true;
}

bool GetRegion(HRGN hrgn, QRegion* out) {
  auto* r = Get<RegionObj>(hrgn);
  if (!r || !out) return false;
  *out = r->region;
  return true;
}

bool SetWindowRgn(QWidget* window, HRGN hrgn, bool redraw) {
  if (!window) return false;
  if (hrgn == 0) {
    window->clearMask();
  } else {
    auto* r = Get<RegionObj>(hrgn);
    if (!r) return false;
    window->setMask(r->region);
    DeleteObject(hrgn);
  }
  if (redraw) window->update();
  return true;
}

}  // namespace quillane::platform
