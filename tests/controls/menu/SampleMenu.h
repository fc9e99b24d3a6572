#pragma once
// A menu of three levels in the shape of the main window's, with pictures on a magenta mask
// colour, one icon, separators, checked and disabled items and descriptions. Used by the gallery,
// the interaction tests and menu_demo.
#include <string>

#include <QImage>
#include <QPainter>

#include "controls/menu/xMenu.h"
#include "platform/Gdi.h"

namespace quillane::test {

enum class SampleIcon { Page, Folder, Arrow, Stop, Help };

inline platform::Picture SamplePicture(SampleIcon kind) {
  QImage img(16, 16, QImage::Format_ARGB32);
  const bool icon = kind == SampleIcon::Help;
  img.fill(icon ? QColor(0, 0, 0, 0) : QColor(255, 0, 255));
  QPainter painter(&img);
  painter.setPen(QColor(40, 40, 40));
  switch (kind) {
    case SampleIcon::Page:
      painter.setBrush(Qt::white);
      painter.drawRect(3, 1, 9, 13);
      painter.setPen(QColor(40, 90, 200));
      for (int y = 4; y < 13; y += 3) painter.drawLine(5, y, 10, y);
      break;
    case SampleIcon::Folder:
      painter.setBrush(QColor(240, 200, 80));
      painter.drawRect(1, 4, 13, 9);
      painter.drawRect(1, 2, 5, 2);
      break;
    case SampleIcon::Arrow:
      painter.setBrush(QColor(40, 150, 60));
      painter.drawPolygon(QPolygon({QPoint(8, 2), QPoint(14, 8), QPoint(10, 8), QPoint(10, 14),
                                    QPoint(6, 14), QPoint(6, 8), QPoint(2, 8)}));
      break;
    case SampleIcon::Stop:
      painter.setBrush(QColor(210, 40, 40));
      painter.drawEllipse(2, 2, 11, 11);
      break;
    case SampleIcon::Help:
      painter.setBrush(QColor(40, 90, 200));
      painter.drawEllipse(1, 1, 13, 13);
      painter.setPen(Qt::white);
      painter.drawText(QRect(1, 1, 14, 14), Qt::AlignCenter, QStringLiteral("?"));
      break;
  }
  painter.end();
  return icon ? platform::Picture::FromIcon(platform::CreateIconFromImage(img))
              : platform::Picture::FromBitmap(platform::CreateBitmapFromImage(img));
}

inline void FillSampleMenu(controls::xMenu& menu) {
  struct Row {
    int ident;
    const char* name;
    const char* caption;
    const char* description;
    int picture;  // -1 none, else a SampleIcon
    bool enabled, checked;
  };
  const Row rows[] = {
      {0, "mnuFile", "File", "", -1, true, false},
      {1, "mnuAddFile", "&Add File", "Add workbooks to the list", 0, true, false},
      {1, "mnuAddFolder", "Add F&older", "Add every workbook of a folder", 1, true, false},
      {1, "mnuFilebar0", "-", "", -1, true, false},
      {1, "mnuRecent", "&Recent Folders", "Folders used lately", -1, true, false},
      {2, "mnuRecent1", "Reports 2026", "", -1, true, false},
      {2, "mnuRecent2", "Archive", "", -1, true, false},
      {2, "mnuRecentMore", "&More", "", -1, true, false},
      {3, "mnuRecent3", "Old Budgets", "", -1, true, false},
      {2, "mnuRecentGone", "Unreachable", "", -1, false, false},
      {1, "mnuFilebar1", "-", "", -1, true, false},
      {1, "mnuExit", "E&xit", "Close the window", -1, true, false},
      {0, "mnuedit", "Edit", "", -1, true, false},
      {1, "mnuOutput", "Output Directory && Password...", "", -1, true, false},
      {1, "mnuEditline2", "-", "", -1, true, false},
      {1, "mnuMoveup", "Move Up", "", 2, true, false},
      {1, "mnuStop", "Stop", "Stop the conversion", 3, false, false},
      {0, "mnuOptions", "Options", "", -1, true, false},
      {1, "mnuLogfile", "Create Log file", "", -1, true, true},
      {1, "mnuCompress", "Compress HTML files", "", -1, true, false},
      {1, "mnuOverwrite", "Overwrite existing file", "Overwrite existing file", -1, true, true},
      {1, "mnuKeep", "Keep the .files Dir", "", -1, false, true},
      {0, "mnuhelp", "Help", "", -1, true, false},
      {1, "mnuHelpFile", "&Help", "", 4, true, false},
      {1, "mnuHelpbar1", "-", "", -1, true, false},
      {1, "mnuAbout", "About...", "", -1, true, false},
  };
  for (const Row& row : rows) {
    controls::MenuItem item;
    item.Ident = row.ident;
    item.Name = row.name;
    item.Caption = row.caption;
    item.Description = row.description;
    item.Enabled = row.enabled;
    item.Checked = row.checked;
    if (row.picture >= 0) item.SetAPicture(SamplePicture(static_cast<SampleIcon>(row.picture)));
    menu.AddItem(item);
  }
}

}  // namespace quillane::test
