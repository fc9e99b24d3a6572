// xToolbar: construction, the button list, the programming interface and the properties.
#include "controls/toolbar/xToolbar.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include <QCursor>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QPushButton>
#include <QPainter>
#include <QPaintEvent>

#include "controls/menu/wMenu.h"
#include "controls/toolbar/frmTooltip.h"
#include "controls/toolbar/wToolBar.h"
#include "gfx/basGDI.h"
#include "platform/Colors.h"
#include "platform/Gdi.h"

namespace quillane::controls {

namespace p = quillane::platform;
namespace g = quillane::gfx;

namespace {

std::int32_t g_instanceCounter = 0;
int g_live = 0;
xToolbar* g_current = nullptr;
std::weak_ptr<g::ascPaintEffects> g_effects;

// The leading number of a text, as the toolbar reads an index given as text: blanks skipped, an
// optional sign, digits and a fraction; 0 when the text does not start with a number. The value is
// rounded half to even and kept in the 16-bit range.
int LeadingNumber(const std::string& s) {
  std::size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  std::string num;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) num += s[i++];
  bool digits = false;
  while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) {
    num += s[i++];
    digits = true;
  }
  if (i < s.size() && s[i] == '.') {
    num += s[i++];
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) {
      num += s[i++];
      digits = true;
    }
  }
  if (!digits) return 0;
  const double v = std::strtod(num.c_str(), nullptr);
  return std::clamp(g::RoundHalfEven(v), -32768, 32767);
}

bool EqualNoCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

xToolbar::xToolbar(QWidget* parent, const std::string& name) : QWidget(parent) {
  // Initialize: instance number, live count, current toolbar, pattern and rotated font.
  instance_ = ++g_instanceCounter;
  ++g_live;
  g_current = this;
  name_ = name.empty() ? "xToolbar" + std::to_string(instance_) : name;
  effects_ = g_effects.lock();
  if (!effects_) {
    effects_ = std::make_shared<g::ascPaintEffects>();
    g_effects = effects_;
  }
  dither_.CreateByResource(std::string("DITHER"));
  rotatedFont_.SetRotation(90);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
  setFocusPolicy(Qt::TabFocus);
  RegisterAccessible();
  dragTimer_.setInterval(1);
  toolTipTimer_.setInterval(1000);
  // The leave check behind the leave event (which a grab elsewhere may swallow): four times a
  // second, and only while a button is hot.
  checkTimer_.setInterval(250);
  QObject::connect(&dragTimer_, &QTimer::timeout, this, [this] { OnDragTimer(); });
  QObject::connect(&toolTipTimer_, &QTimer::timeout, this, [this] { OnToolTipTimer(); });
  QObject::connect(&checkTimer_, &QTimer::timeout, this, [this] { OnCheckTimer(); });
  resize(200, 24);
  InitProperties();
}

xToolbar::~xToolbar() {
  // The overflow popup reads the items this bar keeps: it closes first.
  if (wMenu* popup = OverflowPopup()) popup->Unload();
  checkTimer_.stop();
  toolTipTimer_.stop();
  dragTimer_.stop();
  // A tooltip shown for this toolbar, or its floating window, must not outlive it.
  if (TooltipOwner() == this) HideTooltip();
  HideWindow();
  --g_live;
  if (g_current == this) g_current = nullptr;
  buttons_.clear();
  if (dc_) {
    p::SelectObject(dc_, oldBmp_);
    p::DeleteObject(bmp_);
    p::DeleteDC(dc_);
  }
}

int xToolbar::LiveCount() { return g_live; }
xToolbar* xToolbar::Current() { return g_current; }

void xToolbar::InitProperties() {
  redraw_ = false;
  buttons_.clear();
  SetDockingStyle(tbdsOfficeXP);
  for (bool& b : borders_) b = true;
  showToolTips_ = true;
  appearance_ = ifcaStandard;
  backColor_ = static_cast<p::OLE_COLOR>(0x8000000Fu);
  highlightColor_ = static_cast<p::OLE_COLOR>(0x80000014u);
  shadowColor_ = static_cast<p::OLE_COLOR>(0x80000010u);
  highlightDarkColor_ = static_cast<p::OLE_COLOR>(0x80000016u);
  shadowDarkColor_ = static_cast<p::OLE_COLOR>(0x80000015u);
  textColor_ = static_cast<p::OLE_COLOR>(0x80000008u);
  textDisabledColor_ = static_cast<p::OLE_COLOR>(0x80000011u);
  hotTrackingColor_ = static_cast<p::OLE_COLOR>(0x8000000Du);
  borderStyle_ = tbbsRaised;
  doubleTopBorder_ = doubleBottomBorder_ = false;
  buttonGap_ = 0;
  playSounds_ = true;
  hotTracking_ = false;
  captionOptions_ = iftoShowLabels;
  solidChecked_ = showSeparators_ = boldOnChecked_ = autoSize_ = false;
  captionAlignment_ = ifcaCaptionOnRight;
  font_ = host_.AmbientFont();
  toolTipFont_ = host_.AmbientFont();
  style_ = tbtsVariable;
  fixedSize_ = 0;
  disabledText3D_ = true;
  backStyle_ = 1;
  enabled_ = true;
  mousePointer_ = 0;
  mouseIcon_ = {};
  unsetCursor();
  title_ = name_;
  autoSizeGuard_ = false;
  UpdateFonts();
  redraw_ = true;
  Refresh();
}

// --- errors and indexes -------------------------------------------------------------------------

void xToolbar::Raise(std::int32_t number, const char* procedure,
                     const std::string& description) const {
  host_.RaiseError(number, kClassName, procedure, description);
}

std::int16_t xToolbar::KeyToIndex(const ButtonIndex& Index) const {
  if (!Index.IsText()) {
    // A number is the index itself, unchecked.
    return static_cast<std::int16_t>(std::clamp(Index.Number(), -32768, 32767));
  }
  const int n = LeadingNumber(Index.Text());
  if (n != 0) return static_cast<std::int16_t>(n);
  for (std::size_t i = 0; i < buttons_.size(); ++i)
    if (EqualNoCase(buttons_[i]->Key, Index.Text())) return static_cast<std::int16_t>(i + 1);
  std::string t = Index.Text();
  t.erase(0, t.find_first_not_of(" \t"));
  const bool isZero = !t.empty() && t.find_first_not_of("0.+- \t") == std::string::npos;
  if (!isZero) Raise(35601, "KeyToIndex", "Element not found. Key is missing or illegal.");
  return 0;
}

int xToolbar::Resolve(const ButtonIndex& i, const char* procedure) const {
  const int index = KeyToIndex(i);
  if (index < 1 || index > ButtonCount()) {
    Raise(9, procedure);
    return -1;
  }
  return index;
}

// --- the button list ----------------------------------------------------------------------------

std::int16_t xToolbar::AddButton() {
  const clsBSButton d;
  return AddButtonEx(d.Key, d.Style, {}, d.ToolTipText, d.MaskColor, d.UseMaskColor, d.Caption,
                     d.Checked, d.Enabled, d.PlaceholderSize, d.Visible);
}

std::int16_t xToolbar::AddButtonEx(const std::string& Key, std::int32_t Style,
                                   const p::Picture& Picture, const std::string& ToolTipText,
                                   p::OLE_COLOR MaskColor, bool UseMaskColor,
                                   const std::string& Caption, bool Checked, bool Enabled,
                                   float PlaceholderWidth, bool Visible) {
  if (ButtonCount() == 32767) {
    Raise(6, "AddButtonEx");
    return ButtonCount();
  }
  const bool redraw = redraw_;
  redraw_ = false;
  auto b = std::make_unique<clsBSButton>();
  b->Key = Key;
  b->Style = Style;
  b->SetAPicture(clsBSButton::kNormal, Picture);
  b->ToolTipText = ToolTipText;
  b->MaskColor = MaskColor;
  b->UseMaskColor = UseMaskColor;
  b->Caption = Caption;
  b->Checked = Checked;
  b->Enabled = Enabled;
  b->PlaceholderSize = PlaceholderWidth;
  b->Visible = Visible;
  buttons_.push_back(std::move(b));
  redraw_ = redraw;
  Refresh();
  autoSizeGuard_ = false;
  Changed("ButtonCount");
  return ButtonCount();
}

std::int16_t xToolbar::SwapButton(const ButtonIndex& CurIndex, const ButtonIndex& NewIndex) {
  const int cur = KeyToIndex(CurIndex), dest = KeyToIndex(NewIndex);
  if (cur < 1 || cur > ButtonCount() || dest < 1 || dest > ButtonCount()) {
    Raise(380, "SwapButton");
    return static_cast<std::int16_t>(dest);
  }
  const int step = dest > cur ? 1 : -1;
  for (int i = cur; i != dest; i += step)
    std::swap(buttons_[static_cast<std::size_t>(i - 1)],
              buttons_[static_cast<std::size_t>(i + step - 1)]);
  Refresh();
  return static_cast<std::int16_t>(dest);
}

std::int16_t xToolbar::DeleteButton(const ButtonIndex& Index) {
  const int index = KeyToIndex(Index);
  if (index < 1 || index > ButtonCount()) {
    Raise(380, "DeleteButton");
    return -1;
  }
  SwapButton(index, ButtonCount());
  buttons_.pop_back();
  // Indexes that pointed at the deleted button, or past the new end, point at nothing now.
  if (hotButton_ == index || hotButton_ > ButtonCount()) hotButton_ = 0;
  if (pressedButton_ == index || pressedButton_ > ButtonCount()) pressedButton_ = 0;
  if (pointerButton_ == index || pointerButton_ > ButtonCount()) pointerButton_ = 0;
  Changed("ButtonCount");
  Refresh();
  autoSizeGuard_ = false;
  return ButtonCount();
}

clsBSButton* xToolbar::Button(const ButtonIndex& Index) {
  const int i = Resolve(Index, "Button");
  return i < 0 ? nullptr : At(i);
}

void xToolbar::ForceResize() {
  Refresh();
  if (Events.Resize) Events.Resize(ScaleWidth(), ScaleHeight());
}

void xToolbar::ForceClick(const ButtonIndex& Index) {
  const int i = KeyToIndex(Index);
  if (i < 1 || i > ButtonCount()) {
    Raise(9, "ForceClick", "Invalid Key or Index value");
    return;
  }
  if (Events.ButtonClick) Events.ButtonClick(static_cast<std::int16_t>(i), At(i)->Key);
  // The handler may have deleted buttons.
  if (i > ButtonCount()) return;
  const std::int16_t group = At(i)->GroupID;
  if (group == 0) return;
  for (int j = 1; j <= ButtonCount(); ++j)
    if (j != i && At(j)->GroupID == group) SetButtonChecked(j, false);
  SetButtonChecked(i, true);
}

std::int16_t xToolbar::IsWithinButton(float X, float Y) const {
  for (std::size_t i = 0; i < buttons_.size(); ++i) {
    const clsBSButton& b = *buttons_[i];
    if (!b.Visible || InOverflow(static_cast<int>(i + 1))) continue;
    if (X >= b.ClientLeft && X <= b.ClientLeft + b.ClientWidth - 1 && Y >= b.ClientTop &&
        Y <= b.ClientTop + b.ClientHeight - 1)
      return static_cast<std::int16_t>(i + 1);
  }
  return 0;
}

std::int32_t xToolbar::PictureWidth(std::int32_t What) const {
  std::int32_t w = 0;
  for (const auto& b : buttons_) w = std::max(w, b->APicture(What).WidthPixels());
  return w;
}

std::int32_t xToolbar::PictureHeight(std::int32_t What) const {
  std::int32_t h = 0;
  for (const auto& b : buttons_) h = std::max(h, b->APicture(What).HeightPixels());
  return h;
}

std::int16_t xToolbar::CurrentGroupID(std::int16_t GroupID) const {
  std::int16_t found = 0;
  for (std::size_t i = 0; i < buttons_.size(); ++i)
    if (buttons_[i]->GroupID == GroupID && buttons_[i]->Checked)
      found = static_cast<std::int16_t>(i + 1);
  return found;
}

// --- per-button properties ----------------------------------------------------------------------

// Reads a field of a resolved button, or gives the default after the error.
#define TB_GET(proc, expr, fallback) \
  const int n = Resolve(i, proc);    \
  if (n < 0) return fallback;        \
  const clsBSButton& b = *At(n);     \
  return expr;

std::string xToolbar::ButtonCaption(const ButtonIndex& i) const {
    TB_GET("ButtonCaption", b.Caption,
           std::string())} std::string xToolbar::ButtonDescription(const ButtonIndex& i) const {
    TB_GET("ButtonDescription", b.Description,
           std::string())} std::string xToolbar::ButtonToolTipText(const ButtonIndex& i) const {
    TB_GET("ButtonToolTipText", b.ToolTipText,
           std::string())} std::string xToolbar::ButtonKey(const ButtonIndex& i) const {
  TB_GET("ButtonKey", b.Key, std::string())
}
bool xToolbar::ButtonEnabled(const ButtonIndex& i) const {
  TB_GET("ButtonEnabled", b.Enabled, false)
}
bool xToolbar::ButtonAlwaysShowCaption(const ButtonIndex& i) const {
  TB_GET("ButtonAlwaysShowCaption", b.AlwaysShowCaption, false)
}
bool xToolbar::ButtonVisible(const ButtonIndex& i) const {
  TB_GET("ButtonVisible", b.Visible, false)
}
bool xToolbar::ButtonUseMaskColor(const ButtonIndex& i) const {
    TB_GET("ButtonUseMaskColor", b.UseMaskColor,
           false)} p::OLE_COLOR xToolbar::ButtonMaskColor(const ButtonIndex& i) const {
    TB_GET("ButtonMaskColor", b.MaskColor,
           0)} p::Picture xToolbar::ButtonPicture(const ButtonIndex& i) const {
    TB_GET("ButtonPicture", b.APicture(0),
           p::Picture())} p::Picture xToolbar::ButtonPictureOver(const ButtonIndex& i) const {
    TB_GET("ButtonPictureOver", b.APicture(1),
           p::Picture())} p::Picture xToolbar::ButtonPictureDown(const ButtonIndex& i) const {
  TB_GET("ButtonPictureDown", b.APicture(2), p::Picture())
}
bool xToolbar::ButtonChecked(const ButtonIndex& i) const {
    TB_GET("ButtonChecked", b.Checked,
           false)} std::int32_t xToolbar::ButtonStyle(const ButtonIndex& i) const {
  TB_GET("ButtonStyle", b.Style, 0)
}
float xToolbar::ButtonPlaceholderWidth(const ButtonIndex& i) const {
    TB_GET("ButtonPlaceholderWidth", b.PlaceholderSize,
           0.0f)} std::int16_t xToolbar::ButtonGroupID(const ButtonIndex& i) const {
  TB_GET("ButtonGroupID", b.GroupID, std::int16_t{0})
}
float xToolbar::ButtonClientLeft(const ButtonIndex& i) const {
  TB_GET("ButtonClientLeft", b.ClientLeft, 0.0f)
}
float xToolbar::ButtonClientTop(const ButtonIndex& i) const {
  TB_GET("ButtonClientTop", b.ClientTop, 0.0f)
}
float xToolbar::ButtonClientWidth(const ButtonIndex& i) const {
  TB_GET("ButtonClientWidth", b.ClientWidth, 0.0f)
}
float xToolbar::ButtonClientHeight(const ButtonIndex& i) const {
  TB_GET("ButtonClientHeight", b.ClientHeight, 0.0f)
}
#undef TB_GET

// Writes that can change a button's size: store, mark, lay out again.
#define TB_SET_SIZE(proc, stmt)   \
  const int n = Resolve(i, proc); \
  if (n < 0) return;              \
  clsBSButton& b = *At(n);        \
  stmt;                           \
  ChangedButton(proc, n);         \
  Refresh();
// Writes that only store a value.
#define TB_SET_PLAIN(proc, stmt)  \
  const int n = Resolve(i, proc); \
  if (n < 0) return;              \
  clsBSButton& b = *At(n);        \
  stmt;                           \
  ChangedButton(proc, n);
// Writes that change the look only: store, mark, repaint the one button when it is visible.
#define TB_SET_LOOK(proc, stmt)   \
  const int n = Resolve(i, proc); \
  if (n < 0) return;              \
  clsBSButton& b = *At(n);        \
  stmt;                           \
  ChangedButton(proc, n);         \
  RepaintLook(n);

void xToolbar::SetButtonCaption(const ButtonIndex& i, const std::string& v) {
  TB_SET_SIZE("ButtonCaption", b.Caption = v)
}
void xToolbar::SetButtonAlwaysShowCaption(const ButtonIndex& i, bool v) {
  TB_SET_SIZE("ButtonAlwaysShowCaption", b.AlwaysShowCaption = v)
}
void xToolbar::SetButtonVisible(const ButtonIndex& i, bool v) {
  TB_SET_SIZE("ButtonVisible", b.Visible = v)
}
void xToolbar::SetButtonStyle(const ButtonIndex& i, std::int32_t v) {
  TB_SET_SIZE("ButtonStyle", b.Style = v)
}
void xToolbar::SetButtonPlaceholderWidth(const ButtonIndex& i, float v) {
  TB_SET_SIZE("ButtonPlaceholderWidth", b.PlaceholderSize = v)
}
void xToolbar::SetButtonDescription(const ButtonIndex& i, const std::string& v) {
  TB_SET_PLAIN("ButtonDescription", b.Description = v)
}
void xToolbar::SetButtonToolTipText(const ButtonIndex& i, const std::string& v) {
  TB_SET_PLAIN("ButtonToolTipText", b.ToolTipText = v)
}
void xToolbar::SetButtonKey(const ButtonIndex& i, const std::string& v) {
  TB_SET_PLAIN("ButtonKey", b.Key = v)
}
void xToolbar::SetButtonGroupID(const ButtonIndex& i, std::int16_t v) {
  TB_SET_PLAIN("ButtonGroupID", b.GroupID = v)
}
void xToolbar::SetButtonEnabled(const ButtonIndex& i, bool v) {
  TB_SET_LOOK("ButtonEnabled", b.Enabled = v)
  QAccessible::State changed;
  changed.disabled = true;
  AnnounceButton(n, QAccessible::StateChanged, changed);
}
void xToolbar::SetButtonUseMaskColor(const ButtonIndex& i, bool v) {
  TB_SET_LOOK("ButtonUseMaskColor", b.UseMaskColor = v)
}
void xToolbar::SetButtonMaskColor(const ButtonIndex& i, p::OLE_COLOR v) {
  TB_SET_LOOK("ButtonMaskColor", b.MaskColor = v)
}
void xToolbar::SetButtonPicture(const ButtonIndex& i, const p::Picture& v) {
  TB_SET_LOOK("ButtonPicture", b.SetAPicture(0, v))
}
void xToolbar::SetButtonPictureOver(const ButtonIndex& i, const p::Picture& v) {
  TB_SET_LOOK("ButtonPictureOver", b.SetAPicture(1, v))
}
void xToolbar::SetButtonPictureDown(const ButtonIndex& i, const p::Picture& v) {
  TB_SET_LOOK("ButtonPictureDown", b.SetAPicture(2, v))
}
#undef TB_SET_SIZE
#undef TB_SET_PLAIN
#undef TB_SET_LOOK

void xToolbar::SetButtonChecked(const ButtonIndex& i, bool v) {
  const int n = Resolve(i, "ButtonChecked");
  if (n < 0) return;
  clsBSButton& b = *At(n);
  if (b.Checked == v) return;
  b.Checked = v;
  ChangedButton("ButtonChecked", n);
  RepaintLook(n);
  QAccessible::State changed;
  changed.checked = true;
  AnnounceButton(n, QAccessible::StateChanged, changed);
}

void xToolbar::RepaintLook(int index) {
  const clsBSButton& b = *At(index);
  if (!b.Visible) return;
  // Painted as the layout paints a resting button (no hover border on a flat bar).
  restingMark_ = index;
  PaintButton(index, false, false);
  restingMark_ = 0;
}

// --- control properties -------------------------------------------------------------------------

void xToolbar::SetDockingStyle(std::int32_t v) {
  dockingStyle_ = v;
  gripWidth_ = v != tbdsLocked ? 12 : 0;
  Changed("DockStyle");
  Refresh();
}

void xToolbar::SetBorder(int side, bool v, const char* name) {
  borders_[side] = borderStyle_ == tbbsFrame ? true : v;
  Changed(name);
  Refresh();
}

void xToolbar::SetColour(p::OLE_COLOR& field, p::OLE_COLOR v, const char* name) {
  field = v;
  Changed(name);
  Refresh();
}

void xToolbar::SetShowToolTips(bool v) {
  showToolTips_ = v;
  Changed("ShowToolTips");
}

void xToolbar::SetAppearance(std::int32_t v) {
  appearance_ = v;
  Changed("Appearance");
  Refresh();
}

void xToolbar::SetTextColor(p::OLE_COLOR v) {
  textColor_ = v;
  Changed("TextColor");
  for (int i = 1; i <= ButtonCount(); ++i)
    if (!At(i)->Caption.empty() && At(i)->Visible) RefreshButton(i, false, true);
}

void xToolbar::SetTextDisabledColor(p::OLE_COLOR v) {
  textDisabledColor_ = v;
  Changed("TextDisabledColor");
  for (int i = 1; i <= ButtonCount(); ++i)
    if (!At(i)->Caption.empty() && At(i)->Visible) RefreshButton(i, false, true);
}

void xToolbar::SetHotTrackingColor(p::OLE_COLOR v) {
  hotTrackingColor_ = v;
  Changed("HotTrackingColor");
}

void xToolbar::SetBorderStyle(std::int32_t v) {
  borderStyle_ = v;
  if (v == tbbsFrame)
    for (bool& b : borders_) b = true;
  Changed("BorderStyle");
  Refresh();
}

void xToolbar::SetDoubleTopBorder(bool v) {
  doubleTopBorder_ = v;
  Changed("DoubleTopBorder");
  Refresh();
}

void xToolbar::SetDoubleBottomBorder(bool v) {
  doubleBottomBorder_ = v;
  Changed("DoubleBottomBorder");
  Refresh();
}

void xToolbar::SetButtonGap(std::int16_t v) {
  buttonGap_ = v;
  autoSizeGuard_ = false;
  Changed("ButtonGap");
  Refresh();
}

void xToolbar::SetPlaySounds(bool v) {
  playSounds_ = v;
  Changed("PlaySounds");
  Refresh();
}

void xToolbar::SetHotTracking(bool v) {
  hotTracking_ = v;
  Changed("HotTracking");
}

void xToolbar::SetCaptionOptions(std::int32_t v) {
  captionOptions_ = v;
  Changed("CaptionOptions");
  Refresh();
}

void xToolbar::SetSolidChecked(bool v) {
  solidChecked_ = v;
  Changed("SolidChecked");
  for (int i = 1; i <= ButtonCount(); ++i)
    if (At(i)->Checked && At(i)->Visible) RefreshButton(i, false, true);
}

void xToolbar::SetShowSeparators(bool v) {
  showSeparators_ = v;
  Changed("ShowSeparators");
  Refresh();
}

void xToolbar::SetBoldOnChecked(bool v) {
  boldOnChecked_ = v;
  Changed("BoldOnChecked");
  Refresh();
}

void xToolbar::SetAutoSize(bool v) {
  if (v && align_ != 0) {
    Raise(static_cast<std::int32_t>(0x80040001u), "AutoSize",
          "AutoSize property cannot be set to True when Align property is set.");
    return;
  }
  autoSize_ = v;
  Changed("AutoSize");
  Refresh();
}

void xToolbar::SetCaptionAlignment(std::int32_t v) {
  captionAlignment_ = v;
  Changed("CaptionAlignment");
  Refresh();
}

void xToolbar::SetToolTipFont(const p::StdFont& v) {
  toolTipFont_ = v;
  Changed("ToolTipFont");
  Refresh();
}

void xToolbar::SetStyle(std::int32_t v) {
  style_ = v;
  Changed("Style");
  Refresh();
}

void xToolbar::SetFixedSize(float v) {
  fixedSize_ = v;
  Changed("FixedSize");
  Refresh();
}

void xToolbar::SetDisabledText3D(bool v) {
  disabledText3D_ = v;
  Changed("DisabledText3D");
  Refresh();
}

void xToolbar::SetBackStyle(std::int32_t v) {
  if (v != 0 && v != 1) {
    Raise(380, "BackStyle");
    return;
  }
  backStyle_ = v;
  Changed("BackStyle");
  Refresh();
  if (v == 1) clearMask();
}

void xToolbar::SetTitle(const std::string& v) {
  title_ = v;
  Changed("Title");
  if (auto* w = FloatingWindow()) w->setWindowTitle(QString::fromStdString(v));
}

void xToolbar::SetFont(const p::StdFont& v) {
  font_ = v;
  UpdateFonts();
  Changed("Font");
  Refresh();
}

void xToolbar::SetFontName(const std::string& v) {
  p::StdFont f = font_;
  f.SetName(v);
  SetFont(f);
}
void xToolbar::SetFontBold(bool v) {
  p::StdFont f = font_;
  f.SetBold(v);
  SetFont(f);
}
void xToolbar::SetFontItalic(bool v) {
  p::StdFont f = font_;
  f.SetItalic(v);
  SetFont(f);
}
void xToolbar::SetFontUnderline(bool v) {
  p::StdFont f = font_;
  f.SetUnderline(v);
  SetFont(f);
}
void xToolbar::SetFontStrikethru(bool v) {
  p::StdFont f = font_;
  f.SetStrikethrough(v);
  SetFont(f);
}
void xToolbar::SetFontSize(double v) {
  p::StdFont f = font_;
  f.SetSize(v);
  SetFont(f);
}

void xToolbar::SetEnabled(bool v) {
  enabled_ = v;
  QWidget::setEnabled(v);
  Changed("Enabled");
  Refresh();
}

// The surface's pointer: 0 the default, the platform's standard pointers by number, 99 the
// MouseIcon picture.
void xToolbar::ApplyMousePointer() {
  static const std::pair<std::int32_t, Qt::CursorShape> shapes[] = {
      {1, Qt::ArrowCursor},      {2, Qt::CrossCursor},      {3, Qt::IBeamCursor},
      {5, Qt::SizeAllCursor},    {6, Qt::SizeBDiagCursor},  {7, Qt::SizeVerCursor},
      {8, Qt::SizeFDiagCursor},  {9, Qt::SizeHorCursor},    {10, Qt::UpArrowCursor},
      {11, Qt::WaitCursor},      {12, Qt::ForbiddenCursor}, {13, Qt::BusyCursor},
      {14, Qt::WhatsThisCursor}, {15, Qt::SizeAllCursor},   {16, Qt::PointingHandCursor}};
  if (mousePointer_ == 99 && mouseIcon_) {
    const QImage img = mouseIcon_.Type() == p::PictureType::Icon
                           ? p::GetIconImage(mouseIcon_.Handle())
                           : p::GetBitmapImage(mouseIcon_.Handle());
    if (!img.isNull()) {
      setCursor(QCursor(QPixmap::fromImage(img)));
      return;
    }
  }
  for (const auto& [n, shape] : shapes)
    if (n == mousePointer_) {
      setCursor(shape);
      return;
    }
  unsetCursor();
}

void xToolbar::SetMousePointer(std::int32_t v) {
  mousePointer_ = v;
  ApplyMousePointer();
  Changed("MousePointer");
  Refresh();
}

void xToolbar::SetMouseIcon(const p::Picture& v) {
  mouseIcon_ = v;
  ApplyMousePointer();
  Changed("MouseIcon");
  Refresh();
}

void xToolbar::SetVertical(bool v) {
  if (v != Vertical()) resize(height(), width());
  EnsureSurface();
  Refresh();
}

QImage xToolbar::SurfaceImage() const {
  const QImage* img = p::BitmapImage(bmp_);
  if (!img || width() <= 0 || height() <= 0) return QImage();
  const qreal r = img->devicePixelRatio();
  return img->copy(0, 0, static_cast<int>(std::lround(width() * r)),
                   static_cast<int>(std::lround(height() * r)));
}

// --- Qt side ------------------------------------------------------------------------------------

const QImage* xToolbar::SurfaceBitmap() const { return p::BitmapImage(bmp_); }

void xToolbar::resizeEvent(QResizeEvent*) {
  HideOwnTooltip();
  EnsureSurface();
  ForceResize();
}

bool xToolbar::event(QEvent* e) {
  const bool done = QWidget::event(e);
  // On a screen of another density the bar is drawn again at it.
  if (e->type() == QEvent::ScreenChangeInternal && bmp_ &&
      p::GetBitmapRatio(bmp_) != devicePixelRatioF())
    resizeEvent(nullptr);
  return done;
}

}  // namespace quillane::controls
