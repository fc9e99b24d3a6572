// The gallery: the bar with an open chain of two popups in each style, written as PNG files into
// the build folder (see README.md).
#include <gtest/gtest.h>

#include <QDir>
#include <QPainter>
#include <QTest>

#include "controls/menu/wMenu.h"
#include "tests/controls/menu/MenuTestUtil.h"
#include "tests/controls/menu/SampleMenu.h"

namespace c = quillane::controls;
namespace p = quillane::platform;

namespace {

QPoint Centre(const c::MenuItem& item) {
  const p::RECT& r = item.Rect();
  return QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

// The window and the popups as the screen shows them (the popups clipped to their shapes) on a
// plain desktop colour.
QImage Screen(QWidget& window, const std::vector<QWidget*>& popups) {
  QRect area = window.geometry();
  for (const QWidget* popup : popups) area |= popup->geometry();
  area.adjust(-6, -6, 6, 6);
  QImage image(area.size(), QImage::Format_RGB32);
  image.fill(QColor(58, 110, 165));
  QPainter painter(&image);
  painter.drawPixmap(window.pos() - area.topLeft(), window.grab());
  for (QWidget* popup : popups) {
    const QPoint at = popup->pos() - area.topLeft();
    painter.save();
    painter.setClipRegion(
        (popup->mask().isEmpty() ? QRegion(popup->rect()) : popup->mask()).translated(at));
    painter.drawPixmap(at, popup->grab());
    painter.restore();
  }
  return image;
}

}  // namespace

TEST(MenuGallery, WritesTheBarWithAnOpenChainInEachStyle) {
  const QString dir = QStringLiteral(QUILLANE_GALLERY_DIR);
  QDir().mkpath(dir);
  const int highlights[] = {1, 0, 4, 5};
  for (int style = 0; style < 4; ++style) {
    QWidget window;
    window.setGeometry(20, 20, 440, 250);
    window.setAutoFillBackground(true);
    window.setPalette(QPalette(Qt::white));
    auto* menu = new c::xMenu(&window);
    quillane::test::FillSampleMenu(*menu);
    menu->SetSpacing(18);
    menu->SetStyle(style);
    menu->SetHighLightStyle(highlights[style]);
    menu->setGeometry(0, 0, 440, menu->sizeHint().height());
    menu->Refresh();
    window.show();
    QTest::mouseClick(menu, Qt::LeftButton, {}, Centre(menu->Item(1)));
    c::wMenu* first = menu->Popup();
    ASSERT_NE(first, nullptr) << style;
    QTest::mouseClick(first, Qt::LeftButton, {}, Centre(menu->Item(5)));
    c::wMenu* second = first->ChildPopup();
    ASSERT_NE(second, nullptr) << style;
    quillane::test::MoveTo(second, Centre(menu->Item(7)));
    EXPECT_EQ(second->HotItem(), 7) << style;
    const QImage shot = Screen(window, {first, second});
    const QString path = dir + QStringLiteral("/menu_style%1.png").arg(style);
    ASSERT_TRUE(shot.scaled(shot.size() * 2, Qt::IgnoreAspectRatio, Qt::FastTransformation)
                    .save(path, "PNG"));
    EXPECT_GT(QFileInfo(path).size(), 0);
    menu->CloseOpenMenu();
    quillane::test::Settle();
  }
}

TEST(MenuGallery, WritesThePopupInEveryStyleAndHighlightStyle) {
  // One row per style, one column per highlight style: the File popup with "Add File" under the
  // pointer and the item with children pressed.
  QWidget window;
  window.setGeometry(20, 20, 300, 40);
  auto* menu = new c::xMenu(&window);
  quillane::test::FillSampleMenu(*menu);
  menu->setGeometry(0, 0, 300, menu->sizeHint().height());
  menu->Refresh();
  window.show();
  QImage sheet;
  QPainter painter;
  QSize cell;
  for (int style = 0; style < 4; ++style)
    for (int highlight = 0; highlight < 6; ++highlight) {
      menu->SetStyle(style);
      menu->SetHighLightStyle(highlight);
      menu->ShowMenu(1);
      c::wMenu* popup = menu->Popup();
      ASSERT_NE(popup, nullptr);
      quillane::test::MoveTo(popup, Centre(menu->Item(2)));
      popup->DrawItem(5, -1);
      if (sheet.isNull()) {
        cell = popup->size() + QSize(8, 8);
        sheet = QImage(cell.width() * 6, cell.height() * 4, QImage::Format_RGB32);
        sheet.fill(QColor(58, 110, 165));
        painter.begin(&sheet);
      }
      const QPoint at(highlight * cell.width() + 4, style * cell.height() + 4);
      painter.save();
      painter.setClipRegion(
          (popup->mask().isEmpty() ? QRegion(popup->rect()) : popup->mask()).translated(at));
      painter.drawPixmap(at, popup->grab());
      painter.restore();
      menu->CloseOpenMenu();
    }
  painter.end();
  const QString path =
      QStringLiteral(QUILLANE_GALLERY_DIR) + QStringLiteral("/menu_highlights.png");
  ASSERT_TRUE(sheet.save(path, "PNG"));
  quillane::test::Settle();
}
