// A shown main window with its dialogs answered by the test: message boxes from a queue of
// answers, the open-file dialog and the folder browser from fields, the desktop opener recorded.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QApplication>
#include <QTest>
#include <QTimer>

#include "TempFolder.h"
#include "app/frmMain.h"
#include "app/modWindow.h"
#include "controls/menu/xMenu.h"
#include "controls/toolbar/xToolbar.h"

namespace quillane::test {

using app::frmMain;

inline void Settle(int ms = 0) {
  if (ms > 0) QTest::qWait(ms);
  QCoreApplication::processEvents();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// The centre of a menu item, where a click on it lands.
inline QPoint Centre(const controls::MenuItem& item) {
  const auto& r = item.Rect();
  return QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

class WindowTest : public ::testing::Test {
 protected:
  testing::TempFolder temp;
  std::unique_ptr<frmMain> w;
  std::deque<int> answers;             // the buttons pressed in the next message boxes (default OK)
  std::vector<std::string> boxes;      // texts of the message boxes shown
  std::vector<std::string> opened;     // what was handed to the desktop opener
  std::vector<std::string> openFiles;  // what the open-file dialog gives
  std::vector<std::string> browsed;    // titles of the folder browsers shown
  std::string folderAnswer;            // what the folder browser gives
  std::function<void()> onBox;         // run while a message box is "shown"

  void SetUp() override {
    app::DialogHooks hooks;
    hooks.msgBox = [this](const std::string& text, int, const std::string&) {
      boxes.push_back(text);
      if (onBox) onBox();
      if (answers.empty()) return int(app::vbOK);
      const int answer = answers.front();
      answers.pop_front();
      return answer;
    };
    hooks.openDialog = [this] { return openFiles; };
    hooks.browseForFolder = [this](const std::string& title) {
      browsed.push_back(title);
      return folderAnswer;
    };
    hooks.shellOpen = [this](const std::string& target) { opened.push_back(target); };
    app::SetDialogHooks(hooks);
    app::SetSettingsPath(temp / "settings.ini");  // every test starts as a first start
    w = std::make_unique<frmMain>();
    w->SetLogPath(temp / "run.log");
    w->show();
    Settle();
  }

  void TearDown() override {
    w.reset();
    app::SetDialogHooks({});
    app::SetSettingsPath("");
    Settle();
  }

  // A copy of a repository workbook in the test folder.
  std::string Book(const std::string& source, const std::string& as) {
    const std::filesystem::path to = temp.path() / as;
    std::filesystem::create_directories(to.parent_path());
    std::filesystem::copy_file(std::string(QUILLANE_SOURCE_DIR) + "/" + source, to,
                               std::filesystem::copy_options::overwrite_existing);
    return to.string();
  }

  // A key pressed on the widget that has the focus.
  void Key(int key, Qt::KeyboardModifiers mods = {}) {
    QWidget* focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr) << "key " << key;
    QTest::keyClick(focus, static_cast<Qt::Key>(key), mods);
    Settle();
  }

  // Runs `action` on the next modal dialog once it shows (it must close the dialog).
  void OnModal(std::function<void(QWidget*)> action) {
    auto* timer = new QTimer();
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, action] {
      QWidget* dialog = QApplication::activeModalWidget();
      if (!dialog || !dialog->isVisible()) return;
      timer->stop();
      timer->deleteLater();
      action(dialog);
    });
    timer->start();
  }

  // Presses the named button of a dialog with a real mouse click.
  static void Press(QWidget* dialog, const char* button) {
    QWidget* b = dialog->findChild<QWidget*>(QString::fromLatin1(button));
    ASSERT_NE(b, nullptr) << button;
    QTest::mouseClick(b, Qt::LeftButton);
  }

  std::string State(int row) const { return w->Row(row)->text(app::colState).toStdString(); }
  bool Checked(int row) const { return app::IsItemChecked(w->lstItem, row); }
  std::string Target(int row) const { return w->OutputOf(row); }
  // Lets events run until the run or the add in progress has ended.
  void WaitIdle() {
    for (int i = 0; i < 60000 && w->Busy(); ++i) QTest::qWait(1);
    ASSERT_FALSE(w->Busy());
    Settle();
  }
};

inline std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace quillane::test
