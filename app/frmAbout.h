// frmAbout: the About box with the program's icon, name, version and the two links.
#pragma once

#include <QDialog>

namespace quillane::controls {
class HotLink;
}

namespace quillane::app {

class frmAbout : public QDialog {
 public:
  explicit frmAbout(QWidget* owner);

  controls::HotLink* HotLink1 = nullptr;
  controls::HotLink* HotLink2 = nullptr;
};

// The version label's text.
std::string VersionText();

}  // namespace quillane::app
