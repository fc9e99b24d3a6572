#include "controls/toolbar/wToolBar.h"

#include <QCheckBox>
#include <QCursor>
#include <QMouseEvent>
#include <QPushButton>
#include <QWindow>

#include "controls/toolbar/xToolbar.h"

namespace quillane::controls {

namespace {

wToolBar* g_window = nullptr;

int Round(double v) { return static_cast<int>(std::nearbyint(v)); }

}  // namespace

wToolBar::wToolBar() : QWidget(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint) {
  g_window = this;
  Timer1.setInterval(1);
  QObject::connect(&Timer1, &QTimer::timeout, this, [this] { Tick(); });
  Timer1.start();
}

wToolBar::~wToolBar() {
  Timer1.stop();
  if (g_window == this) g_window = nullptr;
}

wToolBar* wToolBar::Instance() { return g_window; }

std::string wToolBar::Tag(const QAbstractButton* control) {
  return control->property("Tag").toString().toStdString();
}

QPushButton* wToolBar::AddBtn(const std::string& tag) {
  auto* b = new QPushButton(this);
  b->setProperty("Tag", QString::fromStdString(tag));
  const std::size_t n = btn.size();
  QObject::connect(b, &QPushButton::clicked, this, [this, n] { BtnClick(n); });
  btn.push_back(b);
  b->show();
  return b;
}

QCheckBox* wToolBar::AddCh(const std::string& tag) {
  auto* c = new QCheckBox(this);
  c->setProperty("Tag", QString::fromStdString(tag));
  const std::size_t n = ch.size();
  // As on the platform, a change of the value from code is a click too; the guard tells them apart.
  QObject::connect(c, &QCheckBox::toggled, this, [this, n] { ChClick(n); });
  ch.push_back(c);
  c->show();
  return c;
}

int wToolBar::FindChByKey(const std::string& key) const {
  for (std::size_t i = 0; i < ch.size(); ++i)
    if (Tag(ch[i]) == key) return static_cast<int>(i);
  return -1;
}

void wToolBar::Tick() {
  const QRect r = frameGeometry();
  if (r == last_) return;
  last_ = r;
  if (!CurrentUC || !CurrentUC->hWndContainer()) return;
  const QPoint origin = CurrentUC->hWndContainer()->mapToGlobal(QPoint(0, 0));
  const QPoint cursor = QCursor::pos();
  CurrentUC->SendRestoreEvent(0, cursor.x() - origin.x(), cursor.y() - origin.y());
}

void wToolBar::LayoutControls() {
  int x = 0, y = 0;
  const int inner = width();
  auto place = [&](QWidget* w) {
    const QSize s = w->sizeHint();
    w->setGeometry(x, y, s.width(), s.height());
    x += Round(s.width());
    if (x + s.width() > inner) {
      x = 0;
      y += Round(s.height());
    }
  };
  for (QPushButton* b : btn) place(b);
  for (QCheckBox* c : ch) place(c);
}

int wToolBar::FlowHeight() const {
  int bottom = 0;
  for (const QPushButton* b : btn) bottom = std::max(bottom, b->geometry().bottom() + 1);
  for (const QCheckBox* c : ch) bottom = std::max(bottom, c->geometry().bottom() + 1);
  return bottom;
}

void wToolBar::resizeEvent(QResizeEvent*) { LayoutControls(); }

void wToolBar::BtnClick(std::size_t n) {
  if (!CurrentUC || n >= btn.size()) return;
  const std::string key = Tag(btn[n]);
  for (int i = 1; i <= CurrentUC->ButtonCount(); ++i) {
    if (CurrentUC->Button(i)->Key == key) {
      CurrentUC->SendClick(static_cast<std::int16_t>(i), key);
      return;
    }
  }
}

void wToolBar::ChClick(std::size_t n) {
  if (guard_ == "ALIGN" || !CurrentUC || n >= ch.size()) return;
  const std::string key = Tag(ch[n]);
  xToolbar& tb = *CurrentUC;
  int i = 0;
  for (int j = 1; j <= tb.ButtonCount(); ++j)
    if (tb.Button(j)->Key == key) {
      i = j;
      break;
    }
  if (i == 0) return;
  tb.SendClick(static_cast<std::int16_t>(i), key);
  if (!CurrentUC || i > tb.ButtonCount() || tb.Button(i)->Style != tbrButtonGroup) return;
  // A group is exclusive: uncheck the mirrors of the neighbouring group buttons.
  guard_ = "ALIGN";
  for (int j = i + 1; j <= tb.ButtonCount() && tb.Button(j)->Style == tbrButtonGroup; ++j) {
    const int c = FindChByKey(tb.Button(j)->Key);
    if (c >= 0) ch[static_cast<std::size_t>(c)]->setChecked(false);
  }
  for (int j = i - 1; j >= 1 && tb.Button(j)->Style == tbrButtonGroup; --j) {
    const int c = FindChByKey(tb.Button(j)->Key);
    if (c >= 0) ch[static_cast<std::size_t>(c)]->setChecked(false);
  }
  ch[n]->setChecked(true);
  guard_.clear();
}

// Dragging by the client area: the platform moves the window as if by its caption; where it
// cannot (no window manager), the window follows the pointer itself.
void wToolBar::mousePressEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton)
    grab_ = e->globalPosition().toPoint() - frameGeometry().topLeft();
}

void wToolBar::mouseMoveEvent(QMouseEvent* e) {
  if (!(e->buttons() & Qt::LeftButton)) return;
  if (windowHandle() && windowHandle()->startSystemMove()) return;
  move(e->globalPosition().toPoint() - grab_);
}

}  // namespace quillane::controls
