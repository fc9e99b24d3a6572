#include "controls/menu/xMenu.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>

#include <QApplication>
#include <QCursor>
#include <QMouseEvent>
#include <QPainter>

#include "controls/menu/wMenu.h"
#include "gfx/basGDI.h"
#include "platform/Colors.h"
#include "platform/Gdi.h"

namespace quillane::controls {

namespace p = quillane::platform;
using gfx::RoundHalfEven;
using namespace paint;

namespace {

// The leading number of a text as the platform's Val reads it (blanks first, a sign, digits, a
// point, an exponent); 0 when there is none. *whole is true when nothing but blanks follows.
double LeadingNumber(std::string_view text, bool* whole) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  const std::size_t start = i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  const std::size_t digits = i;
  while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
  }
  const bool any = i > digits && !(i == digits + 1 && text[digits] == '.');
  if (any && i < text.size() &&
      (text[i] == 'e' || text[i] == 'E' || text[i] == 'd' || text[i] == 'D')) {
    std::size_t j = i + 1;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
    if (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j]))) {
      while (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j]))) ++j;
      i = j;
    }
  }
  std::size_t rest = i;
  while (rest < text.size() && (text[rest] == ' ' || text[rest] == '\t')) ++rest;
  *whole = any && rest == text.size();
  if (!any) return 0;
  std::string number(text.substr(start, i - start));
  std::replace(number.begin(), number.end(), 'd', 'e');
  std::replace(number.begin(), number.end(), 'D', 'e');
  return std::strtod(number.c_str(), nullptr);
}

}  // namespace

xMenu::xMenu(QWidget* parent, p::Host* host) : QWidget(parent), host_(host) {
  if (!host_) {
    ownHost_ = std::make_unique<p::Host>();
    host_ = ownHost_.get();
  }
  RegisterAccessible();
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
  timer_.setInterval(100);
  QObject::connect(&timer_, &QTimer::timeout, this, [this] { TimerTick(); });
  InitProperties();
  surface_.Resize(width(), height(), backColor_, devicePixelRatioF());
}

xMenu::~xMenu() {
  UnloadPopup();
  surface_.SelectFont(0);
}

// --- properties -------------------------------------------------------------------------------

void xMenu::SetItemsFont(const p::StdFont& font) {
  itemsFont_ = font;
  host_->PropertyChanged("ItemsFont");
}

void xMenu::SetHighLightStyle(std::int32_t value) {
  highLightStyle_ = value;
  host_->PropertyChanged("HighLightStyle");
}

void xMenu::SetSpacing(std::int32_t value) {
  spacing_ = value;
  host_->PropertyChanged("Spacing");
}

void xMenu::SetStyle(std::int32_t value) {
  style_ = value;
  host_->PropertyChanged("Style");
}

void xMenu::SetChanged(bool) { host_->PropertyChanged("Changed"); }

void xMenu::RaiseError(std::string_view source, std::int32_t number,
                       std::string_view description) const {
  host_->RaiseError(number, "xMenu", source, description);
}

// --- items ------------------------------------------------------------------------------------

MenuItem* xMenu::At(std::int32_t index) {
  return index >= 1 && index <= Count() ? &items_[static_cast<std::size_t>(index - 1)] : nullptr;
}

const MenuItem* xMenu::At(std::int32_t index) const {
  return index >= 1 && index <= Count() ? &items_[static_cast<std::size_t>(index - 1)] : nullptr;
}

MenuItem& xMenu::Item(std::int32_t index) {
  if (MenuItem* item = At(index)) return *item;
  RaiseError("Item", 9, "Invalid Key or Index value");
  scratch_ = MenuItem();
  return scratch_;
}

void xMenu::AddItem(MenuItem item) { items_.push_back(std::move(item)); }

void xMenu::ClearItems() {
  // The popups list items by position: they close before their items go.
  UnloadPopup();
  items_.clear();
  hot_ = 0;
}

bool xMenu::HasChildren(std::int32_t index) const {
  const MenuItem* item = At(index);
  if (!item) return false;
  const std::int64_t c = std::int64_t{item->Ident} + 1;
  for (std::int32_t j = index + 1; j <= Count(); ++j) {
    const std::int32_t ident = items_[static_cast<std::size_t>(j - 1)].Ident;
    if (ident < c) return false;
    if (ident == c) return true;
  }
  return false;
}

void xMenu::SetRootIndex(std::int32_t index) {
  const MenuItem* item = At(index);
  if (!item) return;
  const std::int64_t c = std::int64_t{item->Ident} + 1;
  for (std::int32_t j = index + 1; j <= Count(); ++j) {
    MenuItem& child = items_[static_cast<std::size_t>(j - 1)];
    if (child.Ident < c) return;
    if (child.Ident == c) child.RootIndex = index;
  }
}

bool xMenu::ItemChecked(std::string_view key) const {
  for (const MenuItem& item : items_)
    if (SameName(item.Name, key)) return item.Checked;
  return false;
}

void xMenu::SetItemChecked(std::string_view key, bool checked) {
  for (MenuItem& item : items_)
    if (SameName(item.Name, key)) {
      item.Checked = checked;
      return;
    }
}

std::int16_t xMenu::KeyToIndex(std::string_view index) {
  bool whole = false;
  const double number = LeadingNumber(index, &whole);
  std::int32_t result = 0;
  if (number != 0) {
    const double rounded = std::nearbyint(number);
    if (!(rounded >= -32768 && rounded <= 32767)) {
      RaiseError("KeyToIndex", 6, "Overflow");
      return 0;
    }
    return static_cast<std::int16_t>(rounded);
  }
  for (std::int32_t i = 1; i <= Count() && i <= 32767; ++i)
    if (SameName(items_[static_cast<std::size_t>(i - 1)].Name, index)) {
      result = i;
      break;
    }
  // A numeric zero asks for nothing and gets 0 without an error.
  if (result == 0 && !whole)
    RaiseError("KeyToIndex", 35601, "Element not found. Key is missing or illegal.");
  return static_cast<std::int16_t>(result);
}

// --- bar --------------------------------------------------------------------------------------

int xMenu::RowPitch() const { return TextHeight(surface_.dc(), "A") + 7; }

xMenu::BarExtent xMenu::PlaceRoots(
    int width,
    const std::function<void(std::int32_t, std::int32_t, std::int32_t, std::int32_t)>& place)
    const {
  const p::HDC dc = surface_.dc();
  const float half = static_cast<float>(spacing_) / 2;
  const std::int32_t start = RoundHalfEven(spacing_ * 0.5);
  BarExtent extent;
  std::int32_t x = start;
  for (std::int32_t i = 1; i <= Count(); ++i) {
    const MenuItem& item = *At(i);
    if (item.Ident != 0 || !item.Visible) continue;
    const double text = TextWidth(dc, ShownText(item.Caption));
    std::int32_t next = RoundHalfEven(static_cast<double>(x) + half + text + half);
    // An item that would reach past the edge starts the next row, unless it is the row's first.
    if (wraps_ && x > start && next > width) {
      ++extent.rows;
      x = start;
      next = RoundHalfEven(static_cast<double>(x) + half + text + half);
    }
    if (place) place(i, x, next, extent.rows - 1);
    extent.right = std::max(extent.right, next);
    x = next;
  }
  return extent;
}

std::int32_t xMenu::RowsFor(int width) const { return PlaceRoots(width, {}).rows; }

QSize xMenu::sizeHint() const {
  const int h = TextHeight(surface_.dc(), "A");
  int right = 0;
  if (wraps_) {
    right = PlaceRoots(std::numeric_limits<int>::max(), {}).right;
  } else {
    for (const MenuItem& item : items_)
      if (item.Ident == 0 && item.Visible) right = std::max(right, item.Rect().right);
  }
  return QSize(std::max(right + spacing_, 100), h + 10);
}

int xMenu::heightForWidth(int width) const {
  return TextHeight(surface_.dc(), "A") + 10 + (RowsFor(width) - 1) * RowPitch();
}

void xMenu::SetWraps(bool wraps) {
  if (wraps_ == wraps) return;
  wraps_ = wraps;
  QSizePolicy policy = sizePolicy();
  policy.setHeightForWidth(wraps);
  setSizePolicy(policy);
  Refresh();
  updateGeometry();
}

void xMenu::Refresh() {
  // The surface follows the control's size and its screen's density even while the control is
  // hidden.
  const QImage* image = surface_.image();
  if (surface_.width() != std::max(width(), 1) || surface_.height() != std::max(height(), 1) ||
      (image && image->devicePixelRatio() != devicePixelRatioF()))
    surface_.Resize(width(), height(), backColor_, devicePixelRatioF());
  p::StdFont font(itemsFont_.Name(), 0);
  font.SetSizeUnits(itemsFont_.SizeUnits());
  font.SetBold(itemsFont_.Bold());
  font_.SetLogFont(font);
  surface_.SelectFont(font_.handle());
  backColor_ = kButtonFace;
  const p::HDC dc = surface_.dc();
  FillBox(dc, 0, 0, surface_.width() - 1, surface_.height() - 1, backColor_);
  if (style_ == 3)
    DrawBarGradient(0, 0, surface_.width(), surface_.height(), QB(kWhite), QB(kLightGrey));
  BuildAccessKeys();
  for (std::int32_t i = 1; i <= Count(); ++i) {
    SetRootIndex(i);
    At(i)->IsRoot = HasChildren(i);
  }
  const float half = static_cast<float>(spacing_) / 2;
  const int bottom = 4 + TextHeight(dc, "A") + 2;
  const int pitch = RowPitch();
  const BarExtent extent = PlaceRoots(
      width(), [&](std::int32_t i, std::int32_t left, std::int32_t right, std::int32_t row) {
        MenuItem& item = *At(i);
        const int down = row * pitch;
        item.X = static_cast<float>(left) + half;
        item.Y = static_cast<float>(4 + down);
        item.SetRect(left, 2 + down, right, bottom + down);
        DrawRootItem(i, 0);
      });
  // A change of rows asks the layout for the bar's new height.
  if (extent.rows != rows_) {
    rows_ = extent.rows;
    if (wraps_) updateGeometry();
  }
  update();
}

void xMenu::DrawBarGradient(int left, int top, int right, int bottom, p::OLE_COLOR c1,
                            p::OLE_COLOR c2) {
  RaisedGradient(surface_.dc(), left, top, right, bottom, c1, c2);
}

void xMenu::DrawRootItem(std::int32_t index, std::int32_t state) {
  const MenuItem* item = At(index);
  if (!item) return;
  if (state == 1 && menuOpen_) state = -1;
  const p::HDC dc = surface_.dc();
  const auto [L, T, R, B] = item->Rect();
  FillBox(dc, L, T, R, B, backColor_);
  float x = item->X, y = item->Y;
  p::OLE_COLOR ink = kWindowText;
  switch (style_) {
    case 0:
      if (state == 1) {
        Lines(dc, QB(kWhite), {{L, B}, {L, T}, {R, T}});
        Lines(dc, QB(kDarkGrey), {{R, T}, {R, B}, {L, B}});
      } else if (state == -1) {
        Lines(dc, QB(kDarkGrey), {{L, B}, {L, T}, {R, T}});
        Lines(dc, QB(kWhite), {{R, T}, {R, B}, {L, B}});
        x += 1;
        y += 1;
      }
      break;
    case 1:
      if (state == 1) {
        Box(dc, L, T, R, B, QB(kWhite));
        FillBox(dc, L + 2, T + 2, R - 2, B - 2, p::RGB(220, 220, 220));
      } else if (state == -1) {
        x += 1;
        y += 1;
        Lines(dc, QB(kWhite), {{L, T}, {R - 3, T}});
        Lines(dc, QB(kDarkGrey), {{R - 3, T}, {R, B}, {L, B}});
        Lines(dc, QB(kWhite), {{L, B}, {L, T}});
      }
      break;
    case 2:
      if (state != 0) {
        const bool pressed = state == -1;
        gfx::DrawGradient(dc, L, T, R + 1, B, QB(pressed ? kWhite : kLightGrey),
                          QB(pressed ? kLightGrey : kWhite), 1, false);
        for (const int cx : {L, R}) {
          const int toward = cx == L ? 2 : -2;
          Lines(dc, backColor_, {{cx, T + 1}, {cx, T}, {cx + toward, T}});
          Lines(dc, backColor_, {{cx, B - 1}, {cx, B}, {cx + toward, B}});
        }
        ink = QB(pressed ? kBlack : kDarkGrey);
      }
      break;
    case 3:
      if (state == -1) {
        DrawBarGradient(L, T, R, B, QB(kLightGrey), QB(kWhite));
        ink = QB(kBlack);
      } else {
        DrawBarGradient(L, T, R, B, QB(kWhite), QB(kLightGrey));
        if (state == 1) ink = QB(kLightBlue);
      }
      break;
    default:
      break;
  }
  if (item->Caption.find('&') == std::string::npos)
    Print(dc, item->Caption, x, y, ink);
  else
    PrintCaption(dc, item->Caption, x, y, ink);
  update();
}

std::int32_t xMenu::HitTestRoot(float x, float y) const {
  for (std::int32_t i = 1; i <= Count(); ++i) {
    const MenuItem& item = items_[static_cast<std::size_t>(i - 1)];
    // Only items on the bar: an invisible item keeps the rectangle of an older layout, or none.
    if (item.Ident == 0 && item.Visible && item.PointInside(x, y)) return i;
  }
  return 0;
}

wMenu* xMenu::Popup() const { return popup_ && !popup_->Unloaded() ? popup_.data() : nullptr; }

void xMenu::UnloadPopup() {
  if (wMenu* popup = Popup()) popup->Unload();
  popup_ = nullptr;
}

void xMenu::ShowMenu(std::int32_t index) {
  MenuItem* item = At(index);
  if (!item) {
    RaiseError("ShowMenu", 9, "Invalid Key or Index value");
    return;
  }
  UnloadPopup();
  if (QApplication::activeModalWidget()) {
    RaiseError("ShowMenu", 35607, "Can't show menu on modal forms.");
    return;
  }
  const QPoint corner = mapToGlobal(QPoint(item->Rect().left, item->Rect().bottom));
  auto* popup = new wMenu(this);
  popup->MenuTree = &items_;
  popup->ParentForm = this;
  popup->SetMenuFont(itemsFont_.Name(), itemsFont_.SizeUnits(), itemsFont_.Bold());
  popup->FilterIndex = index;
  popup->LeftCorner = RoundHalfEven(corner.x() * static_cast<double>(p::TwipsPerPixelX()));
  popup->TopCorner = RoundHalfEven(corner.y() * static_cast<double>(p::TwipsPerPixelY()));
  popup->MenuStyle = style_;
  popup->OwnerWidth = item->Rect().right - item->Rect().left;
  popup->HighLight = highLightStyle_;
  popup->FillItems();
  popup_ = popup;
  popup->ShowModeless();
  item->Expanded = true;
}

bool xMenu::CloseOpenMenu() {
  if (std::none_of(items_.begin(), items_.end(),
                   [](const MenuItem& item) { return item.Expanded; }))
    return false;
  UnloadPopup();
  return true;
}

void xMenu::OpenFromPointer(std::int32_t index) {
  try {
    ShowMenu(index);
  } catch (const p::ComError&) {
    // A popup refused (a modal window is open) leaves the bar as it is; no error escapes an
    // input event.
  }
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  menuOpen_ = Popup() != nullptr;
}

void xMenu::PopupClosed(wMenu* popup) {
  if (popup_ == popup) popup_ = nullptr;
  // A choice or a click elsewhere closed the menu: keyboard mode ends with it.
  if (keyMode_ && !keepKeyMode_)
    QTimer::singleShot(0, this, [this] {
      if (!Popup()) LeaveKeyMode();
    });
}

void xMenu::SendClickEvent(const std::string& key) {
  if (itemClick_) itemClick_(key);
}

void xMenu::SendDescriptionEvent(const std::string& description) {
  if (itemDescription_) itemDescription_(description);
}

// --- pointer ----------------------------------------------------------------------------------

void xMenu::MouseMove(float x, float y) {
  if (!timer_.isActive()) timer_.start();
  const std::int32_t h = HitTestRoot(x, y);
  if (h == 0 && menuOpen_) return;
  if (h == hot_) return;
  SendDescriptionEvent("");
  bool reopen = false;
  if (hot_ != 0) {
    DrawRootItem(hot_, 0);
    if (At(hot_) && At(hot_)->Expanded) {
      CloseOpenMenu();
      reopen = true;
    }
  }
  hot_ = h;
  if (h == 0) return;
  // The popup opens before the item is drawn, so that in menu mode it shows pressed.
  if (reopen) OpenFromPointer(h);
  DrawRootItem(h, 1);
}

void xMenu::MouseDown(float x, float y) {
  if (!timer_.isActive()) timer_.start();
  const std::int32_t h = HitTestRoot(x, y);
  if (h == 0) return;
  if (keyMode_) {
    // The pointer takes over from the keyboard: the focus goes back, the menu stays as it is.
    keyMode_ = false;
    if (focusBefore_) focusBefore_->setFocus(Qt::OtherFocusReason);
    focusBefore_ = nullptr;
  }
  if (hot_ != 0 && hot_ != h) DrawRootItem(hot_, 0);
  hot_ = h;
  DrawRootItem(h, -1);
  repaint();
  if (menuOpen_) {
    UnloadPopup();
    menuOpen_ = false;
    DrawRootItem(h, 1);  // the menu is closed: the item no longer shows pressed
  } else {
    OpenFromPointer(h);
  }
}

void xMenu::TimerTick() {
  if (menuOpen_ || keyMode_) return;
  if (hot_ == 0) {
    timer_.stop();
    return;
  }
  const QPoint pos = mapFromGlobal(QCursor::pos());
  if (pos.x() < 0 || pos.y() < 0 || pos.x() >= width() || pos.y() >= height()) {
    DrawRootItem(hot_, 0);
    hot_ = 0;
    timer_.stop();
  }
}

// --- Qt events --------------------------------------------------------------------------------

void xMenu::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (const QImage* image = surface_.image()) painter.drawImage(0, 0, *image);
}

void xMenu::resizeEvent(QResizeEvent*) {
  surface_.Resize(width(), height(), backColor_, devicePixelRatioF());
  surface_.SelectFont(font_.handle());
  if (spacing_ != 0) Refresh();
}

bool xMenu::event(QEvent* event) {
  const bool done = QWidget::event(event);
  // On a screen of another density the bar is drawn again at it.
  const QImage* image = surface_.image();
  if (event->type() == QEvent::ScreenChangeInternal && image &&
      image->devicePixelRatio() != devicePixelRatioF()) {
    Refresh();
  }
  return done;
}

void xMenu::mouseMoveEvent(QMouseEvent* event) {
  if (event->buttons() & Qt::LeftButton) return;
  MouseMove(static_cast<float>(event->position().x()), static_cast<float>(event->position().y()));
}

void xMenu::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  MouseDown(static_cast<float>(event->position().x()), static_cast<float>(event->position().y()));
}

// --- stored design ----------------------------------------------------------------------------

void xMenu::InitProperties() {
  spacing_ = 12;
  p::StdFont font = host_->AmbientFont();
  font.SetBold(false);
  itemsFont_ = font;
}

void xMenu::WriteProperties(p::PropertyBag& bag) const {
  bag.WriteInt32("Spacing", spacing_, 12);
  bag.WriteInt32("Style", style_, 0);
  bag.WriteInt32("HighLightStyle", highLightStyle_, 1);
  bag.WriteInt32("ItemCount", Count(), 0);
  bag.WriteFont("ItemsFont", itemsFont_, host_->AmbientFont());
  for (std::int32_t n = 1; n <= Count(); ++n) {
    const MenuItem& item = items_[static_cast<std::size_t>(n - 1)];
    const std::string k = std::to_string(n);
    bag.WriteBool("MenuEnabled" + k, item.Enabled, true);
    bag.WriteBool("MenuChecked" + k, item.Checked, false);
    bag.WriteInt32("MenuIdent" + k, item.Ident, 0);
    bag.WriteString("MenuCaption" + k, item.Caption, "");
    bag.WriteString("MenuName" + k, item.Name, "");
    bag.WriteBool("MenuUseMaskColor" + k, item.UseMaskColor, true);
    bag.WriteInt32("MenuMaskColor" + k, item.MaskColor, 0xFF00FF);
    bag.WritePicture("MenuPicture" + k, item.APicture());
    bag.WriteBool("MenuVisible" + k, item.Visible, true);
    bag.WriteString("MenuDescription" + k, item.Description, "");
  }
}

void xMenu::ReadProperties(const p::PropertyBag& bag) {
  // The largest count an index of the control's interface can reach; a stored count outside
  // 0 to 32767 is taken as that limit (or none) instead of making billions of items.
  constexpr std::int32_t kMaxItems = 32767;
  spacing_ = bag.ReadInt32("Spacing", 12);
  style_ = bag.ReadInt32("Style", 0);
  const std::int32_t count = std::clamp(bag.ReadInt32("ItemCount", 0), 0, kMaxItems);
  highLightStyle_ = bag.ReadInt32("HighLightStyle", 1);
  itemsFont_ = bag.ReadFont("ItemsFont", host_->AmbientFont());
  ClearItems();
  items_.reserve(static_cast<std::size_t>(count));
  for (std::int32_t n = 1; n <= count; ++n) {
    const std::string k = std::to_string(n);
    MenuItem item;
    item.Enabled = bag.ReadBool("MenuEnabled" + k, true);
    item.Checked = bag.ReadBool("MenuChecked" + k, false);
    item.Ident = bag.ReadInt32("MenuIdent" + k, 0);
    item.Caption = bag.ReadString("MenuCaption" + k, "");
    item.Name = bag.ReadString("MenuName" + k, "");
    item.UseMaskColor = bag.ReadBool("MenuUseMaskColor" + k, true);
    item.MaskColor = bag.ReadInt32("MenuMaskColor" + k, 0xFF00FF);
    item.SetAPicture(bag.ReadPicture("MenuPicture" + k));
    item.Visible = bag.ReadBool("MenuVisible" + k, true);
    item.Description = bag.ReadString("MenuDescription" + k, "");
    items_.push_back(std::move(item));
  }
  Refresh();
}

}  // namespace quillane::controls
