#include "platform/Picture.h"

#include <cmath>

#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include "platform/Gdi.h"
#include "platform/Host.h"

namespace quillane::platform {

struct Picture::Data {
  PictureType type = PictureType::None;
  std::uint32_t handle = 0;
  bool own = false;
  std::uint32_t dense = 0;
  int width = 0;
  int height = 0;
  ~Data() {
    if (own && dense != 0) DeleteObject(dense);
    if (!own || handle == 0) return;
    if (type == PictureType::Bitmap)
      DeleteObject(handle);
    else if (type == PictureType::Icon)
      DestroyIcon(handle);
  }
};

Picture Picture::FromBitmap(HBITMAP hbm, bool own) {
  BITMAP bm;
  if (!GetObject(hbm, &bm)) return Picture();
  auto d = std::make_shared<Data>();
  d->type = PictureType::Bitmap;
  d->handle = hbm;
  d->own = own;
  d->width = bm.bmWidth;
  d->height = bm.bmHeight;
  Picture p;
  p.data_ = std::move(d);
  return p;
}

Picture Picture::FromBitmaps(HBITMAP hbm, HBITMAP dense, bool own) {
  Picture p = FromBitmap(hbm, own);
  BITMAP bm;
  const bool fits = !p.IsNothing() && dense != 0 && dense != hbm && GetBitmapRatio(dense) > 1.0 &&
                    GetObject(dense, &bm) && bm.bmWidth == p.data_->width &&
                    bm.bmHeight == p.data_->height;
  if (fits)
    std::const_pointer_cast<Data>(p.data_)->dense = dense;
  else if (own && dense != 0 && dense != hbm)
    DeleteObject(dense);
  return p;
}

Picture Picture::FromIcon(HICON icon, bool own) {
  const auto size = GetIconSize(icon);
  if (!size) return Picture();
  auto d = std::make_shared<Data>();
  d->type = PictureType::Icon;
  d->handle = icon;
  d->own = own;
  d->width = size->cx;
  d->height = size->cy;
  Picture p;
  p.data_ = std::move(d);
  return p;
}

Picture Picture::Empty() {
  Picture p;
  p.data_ = std::make_shared<Data>();
  return p;
}

PictureType Picture::Type() const { return data_ ? data_->type : PictureType::None; }
std::uint32_t Picture::Handle() const { return data_ ? data_->handle : 0; }
std::uint32_t Picture::DenseHandle() const { return data_ ? data_->dense : 0; }
std::uint32_t Picture::HandleFor(double ratio) const {
  return ratio > 1.0 && DenseHandle() != 0 ? DenseHandle() : Handle();
}
int Picture::WidthPixels() const { return data_ ? data_->width : 0; }
int Picture::HeightPixels() const { return data_ ? data_->height : 0; }

std::int32_t Picture::Width() const {
  return static_cast<std::int32_t>(std::lround(WidthPixels() * 2540.0 / ScreenLogPixelsX()));
}
std::int32_t Picture::Height() const {
  return static_cast<std::int32_t>(std::lround(HeightPixels() * 2540.0 / ScreenLogPixelsY()));
}

Picture LoadPicture(const std::string& path) {
  if (path.empty()) return Picture();
  const QString file = QString::fromStdString(path);
  const QFileInfo info(file);
  if (!info.exists() || !info.isFile())
    throw ComError(53, StandardErrorText(53), ErrorSource("Picture", "LoadPicture"));
  QImageReader reader(file);
  reader.setDecideFormatFromContent(true);
  const QByteArray format = reader.format().toLower();
  const QImage image = reader.read();
  if (image.isNull())
    throw ComError(481, StandardErrorText(481), ErrorSource("Picture", "LoadPicture"));
  if (format == "ico" || format == "cur") {
    if (HICON icon = CreateIconFromImage(image)) return Picture::FromIcon(icon, true);
  } else if (HBITMAP hbm = CreateBitmapFromImage(image)) {
    return Picture::FromBitmap(hbm, true);
  }
  throw ComError(7, StandardErrorText(7), ErrorSource("Picture", "LoadPicture"));
}

}  // namespace quillane::platform
