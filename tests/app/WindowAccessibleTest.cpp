// The window as assistive technology sees it, through Qt's accessibility API: the owner-drawn
// menu bar, its popups, the toolbar and the About box's links, their names, roles and states, and
// the events of keyboard moves and state changes.
#include <gtest/gtest.h>

#include <QAccessible>

#include "WindowTestUtil.h"
#include "app/frmAbout.h"
#include "controls/hotlink/HotLink.h"
#include "controls/menu/wMenu.h"
#include "gfx/AccessibleParts.h"

namespace quillane::test {

namespace {

struct Event {
  QAccessible::Event type;
  QObject* object;
  int child;
};
std::vector<Event>* g_heard = nullptr;

void Record(QAccessibleEvent* event) {
  if (g_heard) g_heard->push_back({event->type(), event->object(), event->child()});
}

class WindowAccessible : public WindowTest {
 protected:
  std::vector<Event> heard;
  void SetUp() override {
    WindowTest::SetUp();
    g_heard = &heard;
    // Qt drops events on the offscreen platform (it has no accessibility): they are heard where
    // the controls hand them over.
    gfx::SetAnnounceObserver(Record);
    w->activateWindow();
    w->lstItem->setFocus();
    Settle();
  }
  void TearDown() override {
    gfx::SetAnnounceObserver({});
    g_heard = nullptr;
    WindowTest::TearDown();
  }
  static QAccessibleInterface* Of(QObject* object) {
    return QAccessible::queryAccessibleInterface(object);
  }
  bool Heard(QAccessible::Event type, QObject* object, int child = -1) const {
    for (const auto& h : heard)
      if (h.type == type && h.object == object && h.child == child) return true;
    return false;
  }
  void Key(int key, Qt::KeyboardModifiers mods = {}) {
    QTest::keyClick(QApplication::focusWidget(), static_cast<Qt::Key>(key), mods);
    Settle();
  }
};

}  // namespace

TEST_F(WindowAccessible, TheMenuBarAndItsPopupsAreMenusOfNamedItems) {
  QAccessibleInterface* bar = Of(w->xMenu1);
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(bar->role(), QAccessible::MenuBar);
  ASSERT_EQ(bar->childCount(), 5);
  EXPECT_EQ(bar->child(0)->text(QAccessible::Name), "File");
  EXPECT_EQ(bar->child(4)->text(QAccessible::Name), "Help");
  EXPECT_EQ(bar->child(0)->role(), QAccessible::MenuItem);
  EXPECT_TRUE(bar->child(0)->state().hasPopup);
  EXPECT_EQ(bar->indexOfChild(bar->child(3)), 3);
  EXPECT_EQ(bar->child(1)->parent(), bar);
  // Alt+T: the menu starts, Tools takes the focus, its popup opens on Convert Now.
  Key(Qt::Key_T, Qt::AltModifier);
  controls::wMenu* tools = w->xMenu1->Popup();
  ASSERT_NE(tools, nullptr);
  EXPECT_TRUE(Heard(QAccessible::MenuStart, w->xMenu1));
  EXPECT_TRUE(Heard(QAccessible::Focus, w->xMenu1, 2));
  EXPECT_TRUE(Heard(QAccessible::PopupMenuStart, tools));
  EXPECT_TRUE(Heard(QAccessible::Focus, tools, 0));
  EXPECT_TRUE(bar->child(2)->state().expanded);
  QAccessibleInterface* popup = Of(tools);
  EXPECT_EQ(popup->role(), QAccessible::PopupMenu);
  // The open popup hangs under its bar item, as a walk of the tree finds it.
  EXPECT_EQ(bar->child(2)->childCount(), 1);
  EXPECT_EQ(bar->child(2)->child(0), popup);
  EXPECT_EQ(popup->parent(), bar->child(2));
  EXPECT_EQ(bar->child(1)->childCount(), 0);
  EXPECT_EQ(popup->text(QAccessible::Name), "Tools");
  ASSERT_EQ(popup->childCount(), 3);
  QAccessibleInterface* convert = popup->child(0);
  EXPECT_EQ(convert->text(QAccessible::Name), "Convert Now");
  EXPECT_EQ(convert->text(QAccessible::Accelerator), "F5");
  EXPECT_TRUE(convert->state().focused);
  EXPECT_EQ(popup->child(1)->role(), QAccessible::Separator);
  EXPECT_TRUE(popup->child(2)->state().disabled);  // Stop while idle
  EXPECT_FALSE(popup->child(2)->state().focusable && popup->child(2)->state().focused);
  // Right: Options, whose switches are checked.
  Key(Qt::Key_Right);
  controls::wMenu* options = w->xMenu1->Popup();
  ASSERT_NE(options, nullptr);
  EXPECT_TRUE(Heard(QAccessible::PopupMenuEnd, tools));
  QAccessibleInterface* log = Of(options)->child(0);
  EXPECT_EQ(log->text(QAccessible::Name), "Create Log File");
  EXPECT_TRUE(log->state().checkable && log->state().checked);
  EXPECT_FALSE(Of(options)->child(3)->state().checked);  // Compress
  // The press action of an item runs it, as Enter does.
  ASSERT_EQ(Of(options)->child(3)->actionInterface()->actionNames(),
            QStringList{QAccessibleActionInterface::pressAction()});
  Of(options)->child(3)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
  Settle(150);
  EXPECT_TRUE(w->xMenu1->ItemChecked("mnuCompress"));
  EXPECT_TRUE(Heard(QAccessible::MenuEnd, w->xMenu1));
}

TEST_F(WindowAccessible, TheToolbarIsAToolBarOfButtonsWithTheirTooltipsAndStates) {
  QAccessibleInterface* bar = Of(w->xToolbar1);
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(bar->role(), QAccessible::ToolBar);
  ASSERT_EQ(bar->childCount(), 10);
  QAccessibleInterface* add = bar->child(0);
  EXPECT_EQ(add->role(), QAccessible::PushButton);
  EXPECT_EQ(add->text(QAccessible::Name), "Add");
  EXPECT_EQ(add->text(QAccessible::Description), "Add workbooks (Ctrl+O)");
  EXPECT_EQ(bar->child(1)->text(QAccessible::Name), "Folder");
  EXPECT_EQ(bar->child(3)->role(), QAccessible::Separator);
  EXPECT_TRUE(bar->child(5)->state().disabled);  // Stop
  EXPECT_FALSE(bar->child(4)->state().disabled);
  EXPECT_EQ(add->rect().topLeft(),
            w->xToolbar1->mapToGlobal(QPoint(int(w->xToolbar1->ButtonClientLeft(1)),
                                             int(w->xToolbar1->ButtonClientTop(1)))));
  // Shift+Tab from the list: the toolbar's first button takes the focus, Right moves it.
  Key(Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_TRUE(Heard(QAccessible::Focus, w->xToolbar1, 0));
  EXPECT_TRUE(add->state().focused);
  Key(Qt::Key_Right);
  EXPECT_TRUE(Heard(QAccessible::Focus, w->xToolbar1, 1));
  // Enabling Stop is a state change of its button.
  heard.clear();
  w->xToolbar1->SetButtonEnabled(6, true);
  EXPECT_TRUE(Heard(QAccessible::StateChanged, w->xToolbar1, 5));
  EXPECT_FALSE(bar->child(5)->state().disabled);
}

TEST_F(WindowAccessible, TheAboutBoxLinksAreLinksWithAPressAction) {
  std::vector<std::string> shelled;
  controls::HotLink::SetShellHook([&](const std::string& file) { shelled.push_back(file); });
  app::frmAbout about(w.get());
  QAccessibleInterface* link = Of(about.HotLink1);
  ASSERT_NE(link, nullptr);
  EXPECT_EQ(link->role(), QAccessible::Link);
  EXPECT_EQ(link->text(QAccessible::Name).toStdString(), app::WebsiteAddress());
  EXPECT_TRUE(link->state().focusable);
  link->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
  EXPECT_EQ(shelled, std::vector<std::string>{app::WebsiteAddress()});
  controls::HotLink::SetShellHook({});
}

}  // namespace quillane::test
