#include "controls/menu/DummyForm.h"

#include <QWidget>

#include "gfx/basGDI.h"
#include "platform/Gdi.h"

namespace quillane::controls::DummyForm {

namespace {

int users = 0;
QWidget* window = nullptr;

}  // namespace

void Acquire() { ++users; }

void Release() {
  if (users > 0 && --users == 0) {
    delete window;
    window = nullptr;
  }
}

void ShowOffScreen() {
  if (!window) {
    window = new QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint);
    window->setWindowTitle(QStringLiteral("DummyForm"));
    window->resize(1, 1);
  }
  window->move(0, gfx::RoundHalfEven(-1000.0 / platform::TwipsPerPixelY()));
  window->show();
  window->activateWindow();
}

void Hide() {
  if (window && window->isVisible()) window->hide();
}

QWidget* Window() { return window; }

}  // namespace quillane::controls::DummyForm
