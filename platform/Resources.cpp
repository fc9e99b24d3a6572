#include "platform/Resources.h"

#include <QDir>
#include <QFile>
#include <QImage>

#include "platform/Gdi.h"

namespace quillane::platform {
namespace {

QString Folder(int type) {
  switch (type) {
    case RT_BITMAP:
      return QStringLiteral(":/quillane/bitmaps");
    case RT_ICON:
      return QStringLiteral(":/quillane/icons");
    case RT_WAVE:
      return QStringLiteral(":/quillane/sounds");
    default:
      return QStringLiteral(":/quillane/type%1").arg(type);
  }
}

QString Find(int type, const ResourceId& id) {
  const QString wanted = std::holds_alternative<int>(id)
                             ? QString::number(std::get<int>(id))
                             : QString::fromStdString(std::get<std::string>(id));
  if (wanted.isEmpty()) return {};
  const QDir dir(Folder(type));
  for (const QFileInfo& info : dir.entryInfoList(QDir::Files)) {
    if (info.completeBaseName().compare(wanted, Qt::CaseInsensitive) == 0) return info.filePath();
  }
  return {};
}

QImage LoadImage(int type, const ResourceId& id) {
  const QString path = Find(type, id);
  if (path.isEmpty()) return {};
  return QImage(path);
}

}  // namespace

std::optional<QByteArray> LoadResourceData(int type, const ResourceId& id) {
  const QString path = Find(type, id);
  if (path.isEmpty()) return std::nullopt;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
  return file.readAll();
}

HBITMAP LoadResourceBitmap(const ResourceId& id) {
  const QImage image = LoadImage(RT_BITMAP, id);
  return image.isNull() ? 0 : CreateBitmapFromImage(image);
}

HICON LoadResourceIcon(const ResourceId& id) {
  const QImage image = LoadImage(RT_ICON, id);
  return image.isNull() ? 0 : CreateIconFromImage(image);
}

Picture LoadResPicture(const ResourceId& id, int type) {
  if (type == RT_BITMAP) {
    if (HBITMAP hbm = LoadResourceBitmap(id)) return Picture::FromBitmap(hbm, true);
  } else if (type == RT_ICON) {
    if (HICON icon = LoadResourceIcon(id)) return Picture::FromIcon(icon, true);
  }
  return Picture();
}

}  // namespace quillane::platform
