#include "controls/menu/wMenu.h"
#include "controls/menu/xMenu.h"

#include <algorithm>

#include <QApplication>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>

#include "gfx/basGDI.h"
#include "platform/Colors.h"
#include "platform/Gdi.h"

namespace quillane::controls {

namespace p = quillane::platform;
using gfx::RoundHalfEven;
using namespace paint;

wMenu::wMenu(QWidget* opener) : QWidget(opener, Qt::Popup | Qt::FramelessWindowHint) {
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  xMenu::RegisterAccessible();
  setAttribute(Qt::WA_OpaquePaintEvent);
}

wMenu::~wMenu() {
  Unload();
  surface_.SelectFont(0);
}

void wMenu::SetMenuFont(const std::string& name, std::int64_t sizeUnits, bool bold) {
  p::StdFont font(name, 0);
  font.SetSizeUnits(sizeUnits);
  font.SetBold(bold);
  font_.SetLogFont(font);
  surface_.SelectFont(font_.handle());
}

MenuItem* wMenu::At(std::int32_t index) const {
  if (!MenuTree || index < 1 || static_cast<std::size_t>(index) > MenuTree->size()) return nullptr;
  return &(*MenuTree)[static_cast<std::size_t>(index - 1)];
}

bool wMenu::IsListed(std::int32_t index) const {
  return std::find(list_.begin(), list_.end(), index) != list_.end();
}

wMenu* wMenu::ChildPopup() const { return child_ && !child_->Unloaded() ? child_.data() : nullptr; }

p::OLE_COLOR wMenu::Background() const { return MenuStyle == 1 ? kWindow : kButtonFace; }

// --- layout -----------------------------------------------------------------------------------

void wMenu::FillItems() {
  const p::HDC dc = surface_.dc();
  const int pad = MenuStyle == 3 ? 0 : 8;
  const int h = TextHeight(dc, "A");
  filling_ = true;
  list_.clear();
  std::int32_t t = RoundHalfEven(pad * 0.5);
  std::int32_t w = 0;
  if (const MenuItem* parent = At(FilterIndex)) {
    const std::int64_t c = std::int64_t{parent->Ident} + 1;
    for (std::int32_t j = FilterIndex + 1; MenuItem* item = At(j); ++j) {
      if (item->Ident < c) break;
      if (item->Ident != c || !item->Visible) continue;
      list_.push_back(j);
      item->X = 30;
      item->Y = static_cast<float>(t + 2);
      item->Accelerator.clear();
      const std::size_t q = item->Caption.find('&');
      if (q != std::string::npos && q + 1 < item->Caption.size()) {
        std::size_t end = q + 2;
        while (end < item->Caption.size() &&
               (static_cast<unsigned char>(item->Caption[end]) & 0xC0) == 0x80)
          ++end;
        item->Accelerator = item->Caption.substr(q + 1, end - q - 1);
        for (char& ch : item->Accelerator)
          if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
      }
      const std::int32_t right = RoundHalfEven(30.0 + TextWidth(dc, item->Caption) + 5);
      item->SetRect(30, t, right, t + h + 6);
      w = std::max(w, right);
      t += h + 6;
    }
  }
  // An empty list gives a window of the padding's height alone.
  const std::int32_t heightPx = list_.empty() ? pad : t + pad;
  const double tx = p::TwipsPerPixelX(), ty = p::TwipsPerPixelY();
  const std::int32_t widthTw = RoundHalfEven((w + 30) * tx),
                     heightTw = RoundHalfEven(heightPx * ty);
  QRect geometry(RoundHalfEven(LeftCorner / tx), RoundHalfEven(TopCorner / ty),
                 RoundHalfEven(widthTw / tx), RoundHalfEven(heightTw / ty));
  // Kept on the screen: moved left or up where it would reach past the right or bottom edge.
  QScreen* screen = QGuiApplication::screenAt(geometry.topLeft());
  if (!screen) screen = QGuiApplication::primaryScreen();
  if (screen) {
    const QRect area = screen->availableGeometry();
    if (geometry.right() > area.right()) geometry.moveRight(area.right());
    if (geometry.bottom() > area.bottom()) geometry.moveBottom(area.bottom());
    if (geometry.left() < area.left()) geometry.moveLeft(area.left());
    if (geometry.top() < area.top()) geometry.moveTop(area.top());
  }
  setGeometry(geometry);
  for (const std::int32_t j : list_) {
    MenuItem* item = At(j);
    item->SetRect(3, item->Rect().top, w + 27, item->Rect().bottom);
  }
  if (MenuStyle == 2 && At(FilterIndex)) SetRegions(At(FilterIndex)->Ident + 1);
  filling_ = false;
  SizeSurface();
}

void wMenu::SetRegions(std::int32_t idn) {
  const p::HRGN region = p::CreateRectRgn(0, 0, 0, 0);
  for (std::int32_t j = FilterIndex + 1; const MenuItem* item = At(j); ++j) {
    if (item->Ident < idn) break;
    if (item->Ident != idn || !item->Visible) continue;
    const auto [L, T, R, B] = item->Rect();
    const p::POINT strip[5] = {
        {L - 8, T + 1}, {R + 8, T + 1}, {R + 8, B - 1}, {L - 8, B - 1}, {L - 8, T + 1}};
    const p::HRGN part = p::CreatePolygonRgn(strip, 5, p::ALTERNATE);
    p::CombineRgn(region, region, part, p::RGN_OR);
    p::DeleteObject(part);
  }
  p::SetWindowRgn(this, region, true);
}

void wMenu::SizeSurface() {
  if (filling_) return;
  surface_.Resize(width(), height(), Background(), devicePixelRatioF());
  if (drawnOnce_) return;
  drawnOnce_ = true;
  PaintBackground();
  for (const std::int32_t j : list_) DrawItem(j, 0);
}

void wMenu::PaintBackground() {
  const p::HDC dc = surface_.dc();
  const int W = surface_.width() - 1, H = surface_.height() - 1;
  FillBox(dc, 0, 0, W, H, Background());
  if (MenuStyle == 0) {
    Lines(dc, QB(kWhite), {{0, 0}, {W, 0}});
    Lines(dc, QB(kDarkGrey), {{W, 0}, {W, H}, {0, H}});
    Lines(dc, QB(kWhite), {{0, H}, {0, 0}});
  } else if (MenuStyle == 1) {
    Box(dc, 0, 0, W, H, QB(kDarkGrey));
    if (OwnerWidth > 0) Lines(dc, QB(kWhite), {{0, 0}, {OwnerWidth, 0}});
    FillBox(dc, 1, 1, 24, H - 1, kButtonFace);
  }
  update();
}

// --- drawing ----------------------------------------------------------------------------------

void wMenu::DrawItem(std::int32_t index, std::int32_t state) {
  const MenuItem* item = At(index);
  if (!item || !IsListed(index)) return;
  const p::HDC dc = surface_.dc();
  if (item->IsSeparator() || !item->Enabled) state = 0;
  const auto [L, T, R, B] = item->Rect();
  FillBox(dc, L, T, R, B, Background());
  const p::Picture& picture = item->APicture();
  const bool hasPicture = !picture.IsNothing() && picture.Type() != p::PictureType::None;
  auto drawPicture = [&](int x, int y) {
    if (!hasPicture) return;
    if (!item->Enabled)
      effects_.PaintDisabledPicture(dc, picture, x, y, 16, 16, 0, 0, item->MaskColor);
    else if (picture.Type() == p::PictureType::Icon || !item->UseMaskColor)
      effects_.PaintStandardPicture(dc, picture, x, y, 16, 16);
    else
      effects_.PaintTransparentPicture(dc, picture, x, y, 16, 16, 0, 0, item->MaskColor);
  };
  if (state == -1) {
    switch (HighLight) {
      case 0:
        Box(dc, L + 1, T + 1, R - 1, B - 1, kInactiveCaption);
        break;
      case 1:
        FillBox(dc, L + 1, T + 1, R - 1, B - 1, kInactiveCaption);
        break;
      case 2:
        gfx::DrawGradient(dc, L + 1, T + 1, R - 1, B - 1, QB(kDarkGrey), QB(kWhite), 0, false);
        break;
      case 3:
        gfx::DrawGradient(dc, L + 1, T + 1, R - 1, B - 1, QB(kDarkBlue), QB(kLightGrey), 0, false);
        break;
      case 4:
        gfx::DrawGradient(dc, L + 1, T + 1, R - 1, B - 1, QB(kDarkGrey), p::RGB(210, 210, 210), 1,
                          true);
        break;
      case 5:
        gfx::DrawGradient(dc, L + 1, T + 1, R - 1, B - 1, QB(kLightGrey), QB(kWhite), 1, true);
        break;
      default:
        break;
    }
    PrintCaption(dc, item->Caption, item->X + 1, item->Y + 1, p::RGB(74, 64, 87), R - 15);
    if (MenuStyle == 0) {
      Lines(dc, QB(kDarkGrey), {{L, T}, {R, T}});
      Lines(dc, QB(kWhite), {{R, T}, {R, B}, {L, B}});
      Lines(dc, QB(kDarkGrey), {{L, B}, {L, T}});
    }
    if (!item->Checked) drawPicture(L + 1, T + 1);
    if (item->IsRoot) DrawTriangle(L, T, R, B, QB(kDarkGrey), 0);
    if (item->Checked) {
      DrawCheckMark(L + 4, T, 10, 10, QB(kBlack));
      DrawCheckMark(L + 2, T - 2, 10, 10, QB(HighLight == 5 ? kDarkGrey : kWhite));
    }
  } else {
    if (MenuStyle == 1) {
      FillBox(dc, L, T, 24, B, kButtonFace);
    } else if (MenuStyle == 2) {
      FillBox(dc, L, T, R, B, QB(kWhite));
      Box(dc, L, T + 2, R, B - 2, QB(kBlack));
    } else if (MenuStyle == 3) {
      DrawOpenStepItem(L - 3, T, R + 3, B, QB(kWhite), QB(kLightGrey));
    }
    if (item->IsSeparator()) {
      const int y = T + RoundHalfEven((B - T) / 2.0);
      if (MenuStyle != 1) {
        Lines(dc, QB(kDarkGrey), {{L + 5, y - 1}, {R - 5, y - 1}});
        Lines(dc, QB(kWhite), {{L + 5, y}, {R - 5, y}});
      } else {
        Lines(dc, QB(kLightGrey), {{L + 5, y}, {R - 5, y}});
      }
    } else if (item->Enabled) {
      PrintCaption(dc, item->Caption, item->X, item->Y, kWindowText, R - 16);
      drawPicture(L + 2, T + 2);
      if (item->IsRoot) {
        if (MenuStyle == 3)
          DrawTriangle(L, T, R, B, QB(kLightGrey), 1);
        else
          DrawTriangle(L, T, R, B, QB(kBlack), 0);
      }
    } else {
      if (MenuStyle != 1)
        PrintCaption(dc, item->Caption, item->X + 2, item->Y + 2, QB(kWhite), R - 14);
      PrintCaption(dc, item->Caption, item->X, item->Y, QB(kLightGrey), R - 16);
      drawPicture(L + 2, T + 2);
    }
    if (item->Checked) DrawCheckMark(L + 4, T, 10, 10, QB(kDarkGrey));
  }
  update();
}

void wMenu::DrawTriangle(int /*left*/, int top, int right, int bottom, p::OLE_COLOR color,
                         int effect3D) {
  const p::HDC dc = surface_.dc();
  const int y = top + RoundHalfEven((bottom - top) * 0.5);
  const p::COLORREF plain = static_cast<p::COLORREF>(gfx::TranslateColor(color));
  const p::HPEN pen = p::CreatePen(p::PS_SOLID, 1, plain);
  const p::HBRUSH brush = p::CreateSolidBrush(plain);
  const p::HGDIOBJ oldPen = p::SelectObject(dc, pen), oldBrush = p::SelectObject(dc, brush);
  const p::POINT corners[3] = {{right - 5, y}, {right - 10, y - 5}, {right - 10, y + 5}};
  p::Polygon(dc, corners, 3);
  p::SelectObject(dc, oldPen);
  p::SelectObject(dc, oldBrush);
  p::DeleteObject(pen);
  p::DeleteObject(brush);
  if (effect3D > 0) {
    // Lit from the top left: the upper edges white, the lower one dark grey, one pixel inside.
    Lines(dc, QB(kWhite), {{right - 9, y + 3}, {right - 9, y - 3}, {right - 6, y}});
    Lines(dc, QB(kDarkGrey), {{right - 6, y}, {right - 9, y + 3}});
  }
}

void wMenu::DrawOpenStepItem(int left, int top, int right, int bottom, p::OLE_COLOR c1,
                             p::OLE_COLOR c2) {
  RaisedGradient(surface_.dc(), left, top, right, bottom, c1, c2);
}

void wMenu::DrawCheckMark(int x, int y, int w, int h, p::OLE_COLOR color) {
  Lines(surface_.dc(), color, {{x + 4, y + h}, {x + 6, y + h + 4}, {x + w, y + 4}}, 2);
}

std::int32_t wMenu::HitTestItem(float x, float y) const {
  for (const std::int32_t j : list_)
    if (const MenuItem* item = At(j); item && item->PointInside(x, y)) return j;
  return 0;
}

std::int32_t wMenu::FindByAccelerator(std::string_view key) const {
  std::string upper(key);
  for (char& ch : upper)
    if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
  for (const std::int32_t j : list_)
    if (const MenuItem* item = At(j);
        item && !item->Accelerator.empty() && item->Accelerator == upper)
      return j;
  return 0;
}

// --- the chain --------------------------------------------------------------------------------

void wMenu::ShowModeless() {
  // A popup of the window that opened it (its parent widget, which makes that window its
  // transient parent): the platform places it relative to that window (on Wayland a compositor
  // takes no absolute position from a client) and gives it the pointer and the keyboard until it
  // closes.
  show();
  setFocus(Qt::PopupFocusReason);
  gfx::AnnouncePart(this, -1, QAccessible::PopupMenuStart);
}

void wMenu::ShowMenu(std::int32_t index) {
  MenuItem* item = At(index);
  if (!item || !IsListed(index)) return;
  if (wMenu* child = ChildPopup()) child->Unload();
  // As on the bar, no popup opens over a modal window.
  if (QApplication::activeModalWidget()) return;
  const p::RECT& r = item->Rect();
  const QPoint corner = mapToGlobal(QPoint(r.left + r.right, r.top));
  auto* popup = new wMenu(this);
  popup->MenuTree = MenuTree;
  popup->ParentForm = this;
  if (const auto& font = font_.LogFont())
    popup->SetMenuFont(font->Name(), font->SizeUnits(), font->Bold());
  popup->FilterIndex = index;
  popup->LeftCorner = RoundHalfEven(corner.x() * static_cast<double>(p::TwipsPerPixelX()));
  popup->TopCorner = RoundHalfEven(corner.y() * static_cast<double>(p::TwipsPerPixelY()));
  popup->MenuStyle = MenuStyle;
  popup->HighLight = HighLight;
  popup->FillItems();
  child_ = popup;
  popup->ShowModeless();
  item->Expanded = true;
}

void wMenu::ForceUnload() {
  if (ParentForm) ParentForm->ForceUnload();
  Unload();
}

void wMenu::Unload() {
  if (unloaded_) return;
  unloaded_ = true;
  if (wMenu* child = ChildPopup()) child->Unload();
  if (ParentForm) {
    ParentForm->SetMenuOpen(false);
    ParentForm->PopupClosed(this);
  }
  if (MenuItem* item = At(FilterIndex)) item->Expanded = false;
  if (isVisible()) gfx::AnnouncePart(this, -1, QAccessible::PopupMenuEnd);
  // Hidden, a popup gives the keyboard back to the popup below it, else to the window.
  hide();
  deleteLater();
}

void wMenu::PopupClosed(wMenu* popup) {
  if (child_ == popup) child_ = nullptr;
}

void wMenu::SendClickEvent(const std::string& key) {
  if (ParentForm) ParentForm->SendClickEvent(key);
}

void wMenu::SendDescriptionEvent(const std::string& description) {
  if (ParentForm) ParentForm->SendDescriptionEvent(description);
}

// --- pointer ----------------------------------------------------------------------------------

void wMenu::MouseMove(float x, float y) {
  const std::int32_t h = HitTestItem(x, y);
  if (h == hot_) return;
  if (h != 0) {
    QPointer<wMenu> self(this);
    SendDescriptionEvent(At(h)->Description);
    if (!self || unloaded_) return;
  }
  if (hot_ != 0) DrawItem(hot_, 0);
  hot_ = h;
  if (h != 0) DrawItem(h, -1);
}

void wMenu::MouseDown(float x, float y) {
  if (wMenu* child = ChildPopup()) child->Unload();
  const std::int32_t h = HitTestItem(x, y);
  if (h == 0) return;
  if (hot_ != 0 && hot_ != h) DrawItem(hot_, 0);
  hot_ = h;
  DrawItem(h, -1);
  repaint();
  if (!At(h)->IsRoot) {
    Choose(h);
    return;
  }
  if (menuOpen_) {
    if (wMenu* child = ChildPopup()) child->Unload();
    return;
  }
  ShowMenu(h);
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  menuOpen_ = ChildPopup() != nullptr;
}

void wMenu::Choose(std::int32_t index) {
  MenuItem* item = At(index);
  if (!item || !item->Enabled || item->IsSeparator()) return;
  QPointer<wMenu> self(this);
  SendClickEvent(item->Name);
  if (!self || unloaded_) return;
  if (wMenu* child = ChildPopup()) child->Unload();
  if (ParentForm) ParentForm->ForceUnload();
  Unload();
}

// --- Qt events --------------------------------------------------------------------------------

void wMenu::closeEvent(QCloseEvent* event) {
  // Closed from outside (the compositor dismisses its popups when another client is clicked):
  // unloaded as by a click elsewhere, so that the chain and the bar know.
  QWidget::closeEvent(event);
  Unload();
}

void wMenu::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (const QImage* image = surface_.image()) painter.drawImage(0, 0, *image);
}

void wMenu::resizeEvent(QResizeEvent*) {
  if (filling_ || !drawnOnce_ || (width() == surface_.width() && height() == surface_.height()))
    return;
  // Sized anew from outside: everything is drawn again.
  surface_.Resize(width(), height(), Background(), devicePixelRatioF());
  PaintBackground();
  for (const std::int32_t j : list_) DrawItem(j, j == hot_ ? -1 : 0);
}

QWidget* wMenu::ChainAt(const QPoint& global) const {
  for (QWidget* w = parentWidget(); w; w = w->parentWidget()) {
    auto* menu = dynamic_cast<wMenu*>(w);
    if (menu && menu->Unloaded()) continue;
    if (w->rect().contains(w->mapFromGlobal(global))) return w;
    if (!menu) break;  // the bar is the last of the chain
  }
  return nullptr;
}

bool wMenu::PassDown(QMouseEvent* event) {
  const QPoint global = event->globalPosition().toPoint();
  QWidget* target = ChainAt(global);
  if (!target) return false;
  // What a press does there closes this popup itself; it is not to reach the window again.
  if (event->type() == QEvent::MouseButtonPress)
    for (QWidget* w = this; dynamic_cast<wMenu*>(w); w = w->parentWidget())
      w->setAttribute(Qt::WA_NoMouseReplay);
  QMouseEvent copy(event->type(), QPointF(target->mapFromGlobal(global)), event->globalPosition(),
                   event->button(), event->buttons(), event->modifiers());
  QCoreApplication::sendEvent(target, &copy);
  return true;
}

void wMenu::mouseMoveEvent(QMouseEvent* event) {
  if (unloaded_) return;
  // Outside, the pointer moves over a popup below this one, the bar, or nothing of the menu.
  if (!rect().contains(event->position().toPoint())) {
    PassDown(event);
    return;
  }
  MouseMove(static_cast<float>(event->position().x()), static_cast<float>(event->position().y()));
}

void wMenu::mousePressEvent(QMouseEvent* event) {
  if (unloaded_) return;
  // A press outside the newest popup belongs to the popup or bar under it; anywhere else it
  // closes every level.
  if (!rect().contains(event->position().toPoint())) {
    if (!PassDown(event)) ForceUnload();
    return;
  }
  if (event->button() == Qt::RightButton) {
    Unload();
    return;
  }
  MouseDown(static_cast<float>(event->position().x()), static_cast<float>(event->position().y()));
}

}  // namespace quillane::controls
