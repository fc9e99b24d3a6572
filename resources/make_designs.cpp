// make_designs: writes the stored designs of the main window's menu bar and toolbar, with their
// pictures, into resources/designs as property-bag text. The pictures are drawn here from fixed
// shapes, so the files come out the same on every run.
//   make_designs <resources folder>
#include <cstdio>
#include <fstream>
#include <string>

#include <QApplication>
#include <QPainter>
#include <QPainterPath>

#include "app/Commands.h"
#include "controls/menu/xMenu.h"
#include "controls/toolbar/xToolbar.h"
#include "platform/Gdi.h"
#include "platform/PropertyBag.h"

namespace p = quillane::platform;
namespace c = quillane::controls;
namespace app = quillane::app;

namespace {

enum class Shape { AddFile, AddFolder, Remove, Up, Down, Convert, Stop, Help, Home, Mail };

// The shape on a 16-unit grid scaled to the painter's `size` pixels.
void Paint(QPainter& g, Shape shape, int size) {
  g.scale(size / 16.0, size / 16.0);
  g.setRenderHint(QPainter::Antialiasing, size > 16);
  const QColor ink(60, 60, 60);
  auto page = [&] {
    g.setPen(ink);
    g.setBrush(Qt::white);
    g.drawRect(QRectF(2.5, 1.5, 9, 13));
    g.setPen(QColor(40, 120, 60));
    for (int y = 4; y < 13; y += 2) g.drawLine(QPointF(4.5, y + 0.5), QPointF(9.5, y + 0.5));
  };
  auto plus = [&] {
    g.setPen(Qt::NoPen);
    g.setBrush(QColor(30, 150, 50));
    g.drawRect(QRectF(10, 7, 2, 8));
    g.drawRect(QRectF(7, 10, 8, 2));
  };
  switch (shape) {
    case Shape::AddFile:
      page();
      plus();
      break;
    case Shape::AddFolder:
      g.setPen(QColor(150, 110, 20));
      g.setBrush(QColor(245, 200, 80));
      g.drawRect(QRectF(1.5, 4.5, 12, 9));
      g.drawRect(QRectF(1.5, 2.5, 5, 2));
      plus();
      break;
    case Shape::Remove:
      page();
      g.setPen(QPen(QColor(200, 30, 30), 2.2));
      g.drawLine(QPointF(8, 8), QPointF(14, 14));
      g.drawLine(QPointF(14, 8), QPointF(8, 14));
      break;
    case Shape::Up:
    case Shape::Down: {
      g.setPen(QColor(20, 70, 160));
      g.setBrush(QColor(60, 120, 220));
      const bool up = shape == Shape::Up;
      QPolygonF arrow;
      for (QPointF pt : {QPointF(8, 2), QPointF(14, 8), QPointF(10.5, 8), QPointF(10.5, 14),
                         QPointF(5.5, 14), QPointF(5.5, 8), QPointF(2, 8)})
        arrow << (up ? pt : QPointF(pt.x(), 16 - pt.y()));
      g.drawPolygon(arrow);
      break;
    }
    case Shape::Convert:
      page();
      g.setPen(QColor(20, 110, 40));
      g.setBrush(QColor(50, 180, 70));
      g.drawPolygon(QPolygonF({QPointF(7, 6), QPointF(11, 6), QPointF(11, 3.5), QPointF(15.5, 9),
                               QPointF(11, 14.5), QPointF(11, 12), QPointF(7, 12)}));
      break;
    case Shape::Stop: {
      g.setPen(QColor(140, 20, 20));
      g.setBrush(QColor(215, 45, 45));
      QPolygonF octagon;
      for (QPointF pt : {QPointF(5, 1.5), QPointF(11, 1.5), QPointF(14.5, 5), QPointF(14.5, 11),
                         QPointF(11, 14.5), QPointF(5, 14.5), QPointF(1.5, 11), QPointF(1.5, 5)})
        octagon << pt;
      g.drawPolygon(octagon);
      g.setPen(Qt::NoPen);
      g.setBrush(Qt::white);
      g.drawRect(QRectF(4, 7, 8, 2));
      break;
    }
    case Shape::Help: {
      g.setPen(QColor(20, 60, 150));
      g.setBrush(QColor(50, 110, 210));
      g.drawEllipse(QRectF(1.5, 1.5, 13, 13));
      QFont font(QStringLiteral("DejaVu Sans"));
      font.setPixelSize(11);
      font.setBold(true);
      g.setFont(font);
      g.setPen(Qt::white);
      g.drawText(QRectF(1.5, 1.5, 13, 13), Qt::AlignCenter, QStringLiteral("?"));
      break;
    }
    case Shape::Home:
      g.setPen(QColor(120, 50, 20));
      g.setBrush(QColor(200, 80, 40));
      g.drawPolygon(QPolygonF({QPointF(8, 1.5), QPointF(15, 8), QPointF(1, 8)}));
      g.setPen(ink);
      g.setBrush(QColor(250, 240, 210));
      g.drawRect(QRectF(3.5, 8, 9, 6.5));
      g.setBrush(QColor(120, 80, 40));
      g.drawRect(QRectF(7, 10.5, 2.5, 4));
      break;
    case Shape::Mail:
      g.setPen(ink);
      g.setBrush(QColor(250, 250, 235));
      g.drawRect(QRectF(1.5, 3.5, 13, 9));
      g.drawPolyline(QPolygonF({QPointF(1.5, 3.5), QPointF(8, 9), QPointF(14.5, 3.5)}));
      break;
  }
}

// The shape drawn smooth at `size` pixels square on a transparent ground, then put on the magenta
// mask colour: its edge pixels are laid on the usual button face and the nearly transparent ones
// left in the mask colour, so no magenta fringe shows round the shape.
QImage OnMask(Shape shape, int size) {
  QImage drawn(size, size, QImage::Format_ARGB32);
  drawn.fill(Qt::transparent);
  {
    QPainter g(&drawn);
    Paint(g, shape, size);
  }
  QImage face(drawn.size(), QImage::Format_RGB32);
  face.fill(QColor(240, 240, 240));
  {
    QPainter g(&face);
    g.drawImage(0, 0, drawn);
  }
  QImage masked(drawn.size(), QImage::Format_RGB32);
  masked.fill(QColor(255, 0, 255));
  for (int y = 0; y < drawn.height(); ++y)
    for (int x = 0; x < drawn.width(); ++x)
      if (qAlpha(drawn.pixel(x, y)) >= 64) masked.setPixel(x, y, face.pixel(x, y));
  return masked;
}

// A picture `size` pixels square, with a finer drawing at twice the size for dense screens.
p::Picture Draw(Shape shape, int size) {
  QImage dense = OnMask(shape, 2 * size);
  dense.setDevicePixelRatio(2.0);
  return p::Picture::FromBitmaps(p::CreateBitmapFromImage(OnMask(shape, size)),
                                 p::CreateBitmapFromImage(dense));
}

bool Save(const p::PropertyBag& bag, const std::string& path) {
  std::ofstream out(path, std::ios::binary);
  out << bag.ToText();
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_designs <resources folder>\n");
    return 2;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const std::string folder = std::string(argv[1]) + "/designs/";

  c::xMenu menu;
  // The items of the bar: a command's caption (with its shortcut) comes from the window's table.
  struct Item {
    int ident;
    const char* name;
    const char* caption;  // top-level items and separators; "" for a command
    int picture;          // -1 none, else a Shape
    bool enabled = true;
    bool checked = false;
    const char* description = "";
  };
  const Item items[] = {
      {0, "mnuFile", "&File", -1},
      {1, "mnuAddFile", "", int(Shape::AddFile)},
      {1, "mnuAddFolder", "", int(Shape::AddFolder)},
      {1, "mnuFilebar0", "-", -1},
      {1, "mnuRemovefile", "", int(Shape::Remove)},
      {1, "mnuClear", "", -1},
      {1, "mnuFilebar1", "-", -1},
      {1, "mnuViewLog", "", -1, true, false, "View Log File"},
      {1, "mnuclearlog", "", -1, true, false, "Clear Conversion Log"},
      {1, "mnuFileline5", "-", -1},
      {1, "mnuExit", "", -1},
      {0, "mnuedit", "&Edit", -1},
      {1, "mnuOutput", "", -1},
      {1, "mnuEditline2", "-", -1},
      {1, "mnuMoveup", "", int(Shape::Up)},
      {1, "mnuMoveDown", "", int(Shape::Down)},
      {1, "mnueditbar0", "-", -1},
      {1, "mnuSall", "", -1},
      {1, "mnuSnone", "", -1},
      {1, "mnuEditBar1", "-", -1},
      {1, "mnuInvert", "", -1},
      {0, "mnuAction", "&Tools", -1},
      {1, "mnuConverter", "", int(Shape::Convert)},
      {1, "mnuEditBar2", "-", -1},
      {1, "mnuStop", "", int(Shape::Stop), false},
      {0, "mnuOptions", "&Options", -1},
      {1, "mnuLogfile", "", -1, true, true},
      {1, "mnuCreateDir", "", -1, true, true},
      {1, "mnuOverwrite", "", -1, true, true, "Overwrite existing files"},
      {1, "mnuCompress", "", -1},
      {0, "mnuhelp", "&Help", -1},
      {1, "mnuHelpFile", "", int(Shape::Help)},
      {1, "mnuHelpbar1", "-", -1},
      {1, "mnuWebsite", "", -1},
      {1, "mnuSupport", "", int(Shape::Mail)},
      {1, "mnuHelpbar2", "-", -1},
      {1, "mnuAbout", "", -1},
  };
  for (const Item& item : items) {
    c::MenuItem m;
    m.Ident = item.ident;
    m.Name = item.name;
    const app::Command* command = *item.caption ? nullptr : app::FindCommand(item.name);
    m.Caption = command ? app::MenuCaption(*command) : item.caption;
    m.Enabled = item.enabled;
    m.Checked = item.checked;
    m.Description = item.description;
    if (item.picture >= 0) m.SetAPicture(Draw(static_cast<Shape>(item.picture), 16));
    menu.AddItem(std::move(m));
  }
  menu.SetSpacing(18);
  menu.SetStyle(1);
  menu.SetHighLightStyle(0);
  p::PropertyBag menuBag;
  menu.WriteProperties(menuBag);

  c::xToolbar bar(nullptr, "xToolbar1");
  const std::pair<const char*, Shape> buttons[] = {
      {"Add", Shape::AddFile}, {"folder", Shape::AddFolder}, {"Remove", Shape::Remove},
      {"", Shape::AddFile},    {"Extract", Shape::Convert},  {"stop", Shape::Stop},
      {"", Shape::AddFile},    {"Help", Shape::Help},        {"home", Shape::Home},
      {"email", Shape::Mail},
  };
  for (const auto& [key, shape] : buttons) {
    const app::Command* b = app::FindCommand(key);
    if (!b) {
      bar.AddButtonEx("", c::tbrSeparator);
      continue;
    }
    bar.AddButtonEx(b->key, c::tbrButton, Draw(shape, 24), app::ButtonTip(*b), 0xFF00FF, true,
                    b->button, false, std::string(b->key) != "stop");
  }
  bar.SetButtonAlwaysShowCaption(1, true);
  bar.SetButtonDescription(2, "Add folder");
  bar.SetDoubleTopBorder(true);
  bar.SetDoubleBottomBorder(true);
  bar.SetAppearance(c::ifcaFlat);
  bar.SetCaptionAlignment(c::ifcaCaptionOnBottom);
  bar.SetTitle("Toolbar");
  p::PropertyBag barBag;
  bar.WriteProperties(barBag);

  if (!Save(menuBag, folder + "frmMain.xMenu1.bag") ||
      !Save(barBag, folder + "frmMain.xToolbar1.bag")) {
    std::fprintf(stderr, "make_designs: cannot write into %s\n", folder.c_str());
    return 1;
  }
  return 0;
}
