// Screenshots: a horizontal and a vertical bar in each appearance, with a hot, a pressed, a
// checked and a disabled button, written as PNG files into the build folder (see README.md).
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QMouseEvent>
#include <QPainter>

#include "controls/toolbar/frmTooltip.h"
#include "tests/controls/toolbar/Bar.h"
#include "tests/controls/toolbar/Pictures.h"

using namespace quillane::test;

namespace {

std::unique_ptr<tb::xToolbar> Sample(bool vertical, std::int32_t appearance) {
  auto bar = vertical ? MakeBar(28, 230, tb::tbdsOfficeXP) : MakeBar(420, 28, tb::tbdsOfficeXP);
  bar->SetAppearance(appearance);
  bar->SetCaptionOptions(tb::iftoSelectedLabels);
  bar->AddButtonEx("hot", tb::tbrButton, DrawnPicture(0), "New");
  bar->AddButtonEx("pressed", tb::tbrButton, DrawnPicture(1), "Save", 0xFF00FF, true, "Save");
  bar->SetButtonAlwaysShowCaption(2, true);
  bar->AddButtonEx("sep", tb::tbrSeparator);
  bar->AddButtonEx("checked", tb::tbrCheck, DrawnPicture(3), "Log", 0xFF00FF, true, "", true);
  bar->AddButtonEx("g1", tb::tbrButtonGroup, DrawnPicture(3), "", 0xFF00FF, true, "", true);
  bar->AddButtonEx("g2", tb::tbrButtonGroup, DrawnPicture(3));
  bar->AddButtonEx("disabled", tb::tbrButton, DrawnPicture(4), "Stop", 0xFF00FF, true, "Stop",
                   false, false);
  bar->SetButtonAlwaysShowCaption(7, true);
  bar->AddButtonEx("run", tb::tbrButton, DrawnPicture(2), "Run");
  bar->show();
  const QPointF hot(bar->ButtonClientLeft(1) + 5, bar->ButtonClientTop(1) + 5);
  QMouseEvent move(QEvent::MouseMove, hot, QPointF(), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(bar.get(), &move);
  bar->RefreshButton(2, true);
  return bar;
}

}  // namespace

TEST(ToolbarScreenshots, WritesBarsInEachAppearance) {
  const QString dir = QStringLiteral(QUILLANE_SCREENSHOT_DIR);
  QDir().mkpath(dir);
  for (bool vertical : {false, true})
    for (std::int32_t appearance : {tb::ifcaStandard, tb::ifcaFlat}) {
      auto bar = Sample(vertical, appearance);
      const QImage img = bar->SurfaceImage();
      // The hot flat button carries its highlight, the checked one its pattern.
      EXPECT_GT(CountColour(img, kHighlight), 50);
      const QString name = QString("toolbar_%1_%2.png")
                               .arg(vertical ? "vertical" : "horizontal",
                                    appearance == tb::ifcaFlat ? "flat" : "standard");
      ASSERT_TRUE(img.scaled(img.size() * 3, Qt::IgnoreAspectRatio, Qt::FastTransformation)
                      .save(dir + "/" + name))
          << name.toStdString();
    }
}

TEST(ToolbarScreenshots, WritesEveryBorderStyleAndGrip) {
  // One strip per border style (the last two with double top and bottom borders) and grip look.
  const int w = 200, h = 30;
  QImage sheet(w, h * 8, QImage::Format_RGB32);
  QPainter painter(&sheet);
  for (int i = 0; i < 8; ++i) {
    auto bar = MakeBar(
        w, h, i % 3 == 0 ? tb::tbdsOfficeXP : (i % 3 == 1 ? tb::tbdsOffice97 : tb::tbdsLocked));
    bar->SetBorderStyle(i < 6 ? i : (i == 6 ? tb::tbbsRaised : tb::tbbsInsetButton));
    bar->SetDoubleTopBorder(i >= 6);
    bar->SetDoubleBottomBorder(i >= 6);
    bar->AddButtonEx("a", tb::tbrButton, DrawnPicture(0));
    bar->AddButtonEx("b", tb::tbrCheck, DrawnPicture(1), "", 0xFF00FF, true, "", true);
    painter.drawImage(0, i * h, bar->SurfaceImage());
  }
  painter.end();
  const QString dir = QStringLiteral(QUILLANE_SCREENSHOT_DIR);
  QDir().mkpath(dir);
  ASSERT_TRUE(sheet.scaled(sheet.size() * 3, Qt::IgnoreAspectRatio, Qt::FastTransformation)
                  .save(dir + "/toolbar_borders.png"));
}

TEST(ToolbarScreenshots, WritesTheTooltip) {
  ASSERT_TRUE(
      quillane::controls::ShowTooltip("Convert the checked workbooks now", nullptr, nullptr));
  const QImage img = quillane::controls::CurrentTooltip()->Render();
  quillane::controls::HideTooltip();
  EXPECT_GT(CountColour(img, 0x000000), 20);  // the text
  const QString dir = QStringLiteral(QUILLANE_SCREENSHOT_DIR);
  QDir().mkpath(dir);
  ASSERT_TRUE(img.scaled(img.size() * 3, Qt::IgnoreAspectRatio, Qt::FastTransformation)
                  .save(dir + "/tooltip.png"));
}
