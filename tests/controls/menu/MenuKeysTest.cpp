// The bar and its popups driven by real key events sent to whichever widget has the focus: access
// keys, F10 and Alt alone, arrows along the bar and through popups, child popups, Enter, Esc.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QTest>

#include "controls/menu/wMenu.h"
#include "tests/controls/menu/MenuTestUtil.h"
#include "tests/controls/menu/SampleMenu.h"

namespace c = quillane::controls;
using quillane::test::Settle;

namespace {

// The sample menu with access characters on File and Edit, and a text box that has the focus.
struct KeysWindow {
  QWidget window;
  c::xMenu* menu;
  QLineEdit* edit;
  std::vector<std::string> clicks;

  KeysWindow() {
    window.setGeometry(10, 10, 400, 200);
    menu = new c::xMenu(&window);
    quillane::test::FillSampleMenu(*menu);
    menu->Item(1).Caption = "&File";
    menu->Item(13).Caption = "&Edit";
    menu->setGeometry(0, 0, 400, menu->sizeHint().height());
    menu->Refresh();
    menu->OnItemClick([this](const std::string& key) { clicks.push_back(key); });
    edit = new QLineEdit(&window);
    edit->setGeometry(10, 60, 200, 24);
    window.show();
    window.activateWindow();
    edit->setFocus();
    Settle();
  }
  ~KeysWindow() {
    menu->CloseOpenMenu();
    Settle();
  }
  // A key pressed and released where the focus is.
  void Key(int key, Qt::KeyboardModifiers mods = {}) {
    QWidget* focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr);
    QTest::keyClick(focus, static_cast<Qt::Key>(key), mods);
    Settle();
  }
  c::wMenu* Focused() const { return dynamic_cast<c::wMenu*>(QApplication::focusWidget()); }
};

}  // namespace

TEST(MenuKeys, AltLetterOpensArrowsWalkSeparatorsAndChildrenEnterChooses) {
  KeysWindow k;
  k.Key(Qt::Key_F, Qt::AltModifier);
  c::wMenu* file = k.menu->Popup();
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(k.Focused(), file);
  EXPECT_EQ(file->HotItem(), 2);
  k.Key(Qt::Key_Down);
  k.Key(Qt::Key_Down);  // over the separator
  EXPECT_EQ(file->HotItem(), 5);
  k.Key(Qt::Key_Right);  // the child popup, its first item hot
  c::wMenu* recent = file->ChildPopup();
  ASSERT_NE(recent, nullptr);
  EXPECT_EQ(k.Focused(), recent);
  EXPECT_EQ(recent->HotItem(), 6);
  k.Key(Qt::Key_Left);  // closes only the child
  EXPECT_EQ(file->ChildPopup(), nullptr);
  EXPECT_EQ(k.Focused(), file);
  k.Key(Qt::Key_Return);  // Enter on an item with children opens them
  recent = file->ChildPopup();
  ASSERT_NE(recent, nullptr);
  k.Key(Qt::Key_End);
  EXPECT_EQ(recent->HotItem(), 10);
  k.Key(Qt::Key_Home);
  EXPECT_EQ(recent->HotItem(), 6);
  k.Key(Qt::Key_Up);  // wraps to the last item, disabled: Enter does nothing
  EXPECT_EQ(recent->HotItem(), 10);
  k.Key(Qt::Key_Return);
  EXPECT_TRUE(k.clicks.empty());
  k.Key(Qt::Key_Up);
  k.Key(Qt::Key_Up);
  k.Key(Qt::Key_Space);
  EXPECT_EQ(k.clicks, std::vector<std::string>{"mnuRecent2"});
  EXPECT_EQ(k.menu->Popup(), nullptr);
  EXPECT_FALSE(k.menu->KeyMode());
  EXPECT_EQ(QApplication::focusWidget(), k.edit);
  // A letter in a popup chooses the item with that access character.
  k.Key(Qt::Key_F, Qt::AltModifier);
  k.Key(Qt::Key_X);
  EXPECT_EQ(k.clicks.back(), "mnuExit");
}

TEST(MenuKeys, F10AndAltWalkTheBarEscClosesOneLevelAtATime) {
  KeysWindow k;
  k.Key(Qt::Key_F10);
  EXPECT_TRUE(k.menu->KeyMode());
  EXPECT_EQ(QApplication::focusWidget(), k.menu);
  EXPECT_EQ(k.menu->HotItem(), 1);
  EXPECT_EQ(k.menu->Popup(), nullptr);
  k.Key(Qt::Key_Right);
  EXPECT_EQ(k.menu->HotItem(), 13);
  k.Key(Qt::Key_Down);
  ASSERT_NE(k.menu->Popup(), nullptr);
  EXPECT_EQ(k.menu->Popup()->HotItem(), 14);
  k.Key(Qt::Key_Right);  // in a first-level popup: the next menu of the bar, open
  EXPECT_EQ(k.menu->HotItem(), 18);
  ASSERT_NE(k.menu->Popup(), nullptr);
  EXPECT_EQ(k.menu->Popup()->FilterIndex, 18);
  k.Key(Qt::Key_Escape);  // one level: back to the bar
  EXPECT_EQ(k.menu->Popup(), nullptr);
  EXPECT_TRUE(k.menu->KeyMode());
  EXPECT_EQ(QApplication::focusWidget(), k.menu);
  k.Key(Qt::Key_Left);
  k.Key(Qt::Key_Left);
  k.Key(Qt::Key_Left);  // wraps past File to Help
  EXPECT_EQ(k.menu->HotItem(), 23);
  k.Key(Qt::Key_Escape);
  EXPECT_FALSE(k.menu->KeyMode());
  EXPECT_EQ(k.menu->HotItem(), 0);
  EXPECT_EQ(QApplication::focusWidget(), k.edit);
  // Alt pressed and released alone enters and leaves; Alt in an open popup closes everything.
  k.Key(Qt::Key_Alt, Qt::AltModifier);
  EXPECT_TRUE(k.menu->KeyMode());
  k.Key(Qt::Key_Alt, Qt::AltModifier);
  EXPECT_FALSE(k.menu->KeyMode());
  k.Key(Qt::Key_E, Qt::AltModifier);
  ASSERT_NE(k.menu->Popup(), nullptr);
  k.Key(Qt::Key_Alt, Qt::AltModifier);
  EXPECT_EQ(k.menu->Popup(), nullptr);
  EXPECT_FALSE(k.menu->KeyMode());
  EXPECT_EQ(QApplication::focusWidget(), k.edit);
  EXPECT_TRUE(k.clicks.empty());
}
