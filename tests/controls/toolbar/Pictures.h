#pragma once
// Small 16 x 16 button pictures (magenta is the mask colour) for the screenshots and the demo.
#include <QImage>
#include <QPainter>

#include "platform/Gdi.h"
#include "platform/Picture.h"

namespace quillane::test {

inline platform::Picture DrawnPicture(int kind) {
  QImage img(16, 16, QImage::Format_RGB32);
  img.fill(qRgb(255, 0, 255));
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing, false);
  switch (kind % 6) {
    case 0:  // a page
      p.fillRect(3, 1, 10, 14, Qt::white);
      p.setPen(Qt::black);
      p.drawRect(3, 1, 9, 13);
      for (int y = 4; y < 13; y += 3) p.drawLine(5, y, 10, y);
      break;
    case 1:  // a disk
      p.fillRect(2, 2, 12, 12, QColor(30, 60, 160));
      p.fillRect(5, 2, 6, 4, QColor(220, 220, 220));
      p.fillRect(4, 9, 8, 5, Qt::white);
      break;
    case 2:  // a green arrow
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(20, 140, 40));
      p.drawPolygon(QPolygon({QPoint(2, 6), QPoint(9, 6), QPoint(9, 2), QPoint(14, 8),
                              QPoint(9, 14), QPoint(9, 10), QPoint(2, 10)}));
      break;
    case 3:  // align lines
      p.setPen(Qt::black);
      for (int y = 3; y < 14; y += 3) p.drawLine(2, y, kind == 3 ? 13 : 10, y);
      break;
    case 4:  // a red stop square
      p.fillRect(3, 3, 10, 10, QColor(200, 30, 30));
      p.fillRect(5, 5, 6, 6, QColor(240, 120, 120));
      break;
    default:  // a yellow folder
      p.fillRect(1, 4, 14, 10, QColor(230, 190, 60));
      p.fillRect(1, 3, 6, 2, QColor(230, 190, 60));
      p.setPen(QColor(150, 110, 20));
      p.drawRect(1, 4, 13, 9);
      break;
  }
  p.end();
  return platform::Picture::FromBitmap(platform::CreateBitmapFromImage(img));
}

}  // namespace quillane::test
