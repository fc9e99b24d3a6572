#pragma once
// xToolbar: an owner-drawn toolbar. It keeps an ordered list of buttons (clsBSButton), lays them
// out in one row or one column, paints them on its own device context, turns mouse input into
// button events, shows its own tooltips, keeps its design in a property bag, and can float in a
// window of its own (wToolBar).
//
// The widget's surface is a platform memory context of the widget's size; every drawing goes
// there and paintEvent shows it. Geometry is in pixels. Events are plain callbacks (Events); the
// ones whose handler may write a value take it by reference.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QTimer>
#include <QWidget>

#include "gfx/AccessibleParts.h"
#include "gfx/ascMemoryBitmap.h"
#include "gfx/ascPaintEffects.h"
#include "controls/toolbar/clsBSButton.h"
#include "gfx/clsLogFont.h"
#include "platform/Host.h"
#include "platform/Picture.h"
#include "platform/PropertyBag.h"
#include "platform/StdFont.h"
#include "platform/Types.h"

namespace quillane::controls {

class wToolBar;
class wMenu;
class ToolbarOverflowMenu;

// A button named by its position (from 1) or by its key. Text is read the way the toolbar reads
// every index: a text that starts with a number is that number ("3", "2nd"), any other text is a
// key compared without regard to case.
class ButtonIndex {
 public:
  ButtonIndex(int number) : number_(number) {}  // NOLINT(google-explicit-constructor)
  ButtonIndex(const char* text) : isText_(true), text_(text ? text : "") {}  // NOLINT
  ButtonIndex(std::string text) : isText_(true), text_(std::move(text)) {}   // NOLINT
  bool IsText() const { return isText_; }
  int Number() const { return number_; }
  const std::string& Text() const { return text_; }

 private:
  bool isText_ = false;
  int number_ = 0;
  std::string text_;
};

// Button styles.
enum : std::int32_t {
  tbrPlaceholder = 0,
  tbrButton = 1,
  tbrSeparator = 2,
  tbrCheck = 3,
  tbrButtonGroup = 4
};
// BorderStyle.
enum : std::int32_t {
  tbbsNone = 0,
  tbbsInset = 1,
  tbbsRaised = 2,
  tbbsFrame = 3,
  tbbsInsetButton = 4,
  tbbsRaisedButton = 5
};
// Appearance.
enum : std::int32_t { ifcaStandard = 0, ifcaFlat = 1 };
// CaptionOptions.
enum : std::int32_t { iftoNoLabels = 0, iftoShowLabels = 1, iftoSelectedLabels = 2 };
// CaptionAlignment.
enum : std::int32_t {
  ifcaCaptionOnTop = 0,
  ifcaCaptionOnBottom = 1,
  ifcaCaptionOnLeft = 2,
  ifcaCaptionOnRight = 3
};
// Style (button lengths).
enum : std::int32_t { tbtsVariable = 0, tbtsFixed = 1 };
// DockingStyle.
enum : std::int32_t { tbdsLocked = 0, tbdsOffice97 = 1, tbdsOfficeXP = 2 };

struct xToolbarEvents {
  std::function<void(std::int16_t index, const std::string& key)> ButtonClick;
  std::function<void(std::int16_t index, const std::string& key, bool& cancelBeep)>
      ButtonRightClick;
  std::function<void(std::int16_t index, const std::string& key)> ButtonMouseOver;
  std::function<void(std::int16_t index, const std::string& key, bool& cancel)> BeforeButtonClick;
  std::function<void()> Click;
  std::function<void()> DblClick;
  std::function<void(std::int16_t button, std::int16_t shift, float x, float y)> MouseUp;
  std::function<void(std::int16_t button, std::int16_t shift, float x, float y)> MouseDown;
  std::function<void(std::int16_t button, std::int16_t shift, float x, float y)> MouseMove;
  std::function<void(float newWidth, float newHeight)> Resize;
  std::function<void()> RightClick;
  std::function<void(std::int32_t& x, std::int32_t& y)> DockingToolbar;
  std::function<void(std::int32_t& x, std::int32_t& y)> DockingWindow;
  // The caption a hidden button gets in the overflow popup (preset to its caption, else its
  // tooltip, else its key).
  std::function<void(std::int16_t index, const std::string& key, std::string& caption)>
      OverflowCaption;
};

// What the overflow chevron is called: its tooltip, its popup's name, and its name to screen
// readers.
inline constexpr const char* kChevronName = "More buttons";

class xToolbar : public QWidget {
 public:
  static constexpr const char* kClassName = "xToolbar";

  // Creates the control with the defaults of a first placement (InitProperties). A design is
  // loaded afterwards with ReadProperties.
  explicit xToolbar(QWidget* parent = nullptr, const std::string& name = {});
  ~xToolbar() override;
  xToolbar(const xToolbar&) = delete;
  xToolbar& operator=(const xToolbar&) = delete;

  xToolbarEvents Events;

  // The host facilities (ambient font, user mode, property-changed notification, error box).
  platform::Host& HostObject() { return host_; }
  const std::string& Name() const { return name_; }

  // --- lifecycle and design -----------------------------------------------------------------
  void InitProperties();
  void ReadProperties(const platform::PropertyBag& bag);
  void WriteProperties(platform::PropertyBag& bag) const;

  // --- buttons ------------------------------------------------------------------------------
  std::int16_t AddButton();
  std::int16_t AddButtonEx(const std::string& Key = "", std::int32_t Style = tbrButton,
                           const platform::Picture& Picture = {},
                           const std::string& ToolTipText = "",
                           platform::OLE_COLOR MaskColor = 0xFF00FF, bool UseMaskColor = true,
                           const std::string& Caption = "", bool Checked = false,
                           bool Enabled = true, float PlaceholderWidth = 0, bool Visible = true);
  std::int16_t DeleteButton(const ButtonIndex& Index);
  std::int16_t SwapButton(const ButtonIndex& CurIndex, const ButtonIndex& NewIndex);
  std::int16_t KeyToIndex(const ButtonIndex& Index) const;
  // The button record; nullptr (after the error) for an index outside the list.
  clsBSButton* Button(const ButtonIndex& Index);
  void RefreshButton(const ButtonIndex& Index, bool ButtonLowered = false,
                     bool ForceNoBorder = false);
  void Refresh();
  void ForceResize();
  void ForceClick(const ButtonIndex& Index);
  std::int16_t IsWithinButton(float X, float Y) const;
  std::int32_t PictureWidth(std::int32_t What = 0) const;
  std::int32_t PictureHeight(std::int32_t What = 0) const;
  std::int16_t CurrentGroupID(std::int16_t GroupID) const;

  // --- per-button properties ----------------------------------------------------------------
  std::string ButtonCaption(const ButtonIndex& i) const;
  void SetButtonCaption(const ButtonIndex& i, const std::string& v);
  std::string ButtonDescription(const ButtonIndex& i) const;
  void SetButtonDescription(const ButtonIndex& i, const std::string& v);
  std::string ButtonToolTipText(const ButtonIndex& i) const;
  void SetButtonToolTipText(const ButtonIndex& i, const std::string& v);
  std::string ButtonKey(const ButtonIndex& i) const;
  void SetButtonKey(const ButtonIndex& i, const std::string& v);
  bool ButtonEnabled(const ButtonIndex& i) const;
  void SetButtonEnabled(const ButtonIndex& i, bool v);
  bool ButtonAlwaysShowCaption(const ButtonIndex& i) const;
  void SetButtonAlwaysShowCaption(const ButtonIndex& i, bool v);
  bool ButtonVisible(const ButtonIndex& i) const;
  void SetButtonVisible(const ButtonIndex& i, bool v);
  bool ButtonUseMaskColor(const ButtonIndex& i) const;
  void SetButtonUseMaskColor(const ButtonIndex& i, bool v);
  platform::OLE_COLOR ButtonMaskColor(const ButtonIndex& i) const;
  void SetButtonMaskColor(const ButtonIndex& i, platform::OLE_COLOR v);
  platform::Picture ButtonPicture(const ButtonIndex& i) const;
  void SetButtonPicture(const ButtonIndex& i, const platform::Picture& v);
  platform::Picture ButtonPictureOver(const ButtonIndex& i) const;
  void SetButtonPictureOver(const ButtonIndex& i, const platform::Picture& v);
  platform::Picture ButtonPictureDown(const ButtonIndex& i) const;
  void SetButtonPictureDown(const ButtonIndex& i, const platform::Picture& v);
  bool ButtonChecked(const ButtonIndex& i) const;
  void SetButtonChecked(const ButtonIndex& i, bool v);
  std::int32_t ButtonStyle(const ButtonIndex& i) const;
  void SetButtonStyle(const ButtonIndex& i, std::int32_t v);
  float ButtonPlaceholderWidth(const ButtonIndex& i) const;
  void SetButtonPlaceholderWidth(const ButtonIndex& i, float v);
  std::int16_t ButtonGroupID(const ButtonIndex& i) const;
  void SetButtonGroupID(const ButtonIndex& i, std::int16_t v);
  float ButtonClientLeft(const ButtonIndex& i) const;
  float ButtonClientTop(const ButtonIndex& i) const;
  float ButtonClientWidth(const ButtonIndex& i) const;
  float ButtonClientHeight(const ButtonIndex& i) const;

  // --- control properties -------------------------------------------------------------------
  std::int32_t DockingStyle() const { return dockingStyle_; }
  void SetDockingStyle(std::int32_t v);
  std::int32_t GripWidth() const { return gripWidth_; }
  bool BorderLeft() const { return borders_[0]; }
  void SetBorderLeft(bool v) { SetBorder(0, v, "BorderLeft"); }
  bool BorderTop() const { return borders_[1]; }
  void SetBorderTop(bool v) { SetBorder(1, v, "BorderTop"); }
  bool BorderRight() const { return borders_[2]; }
  void SetBorderRight(bool v) { SetBorder(2, v, "BorderRight"); }
  bool BorderBottom() const { return borders_[3]; }
  void SetBorderBottom(bool v) { SetBorder(3, v, "BorderBottom"); }
  bool ShowToolTips() const { return showToolTips_; }
  void SetShowToolTips(bool v);
  std::int32_t Appearance() const { return appearance_; }
  void SetAppearance(std::int32_t v);
  platform::OLE_COLOR BackColor() const { return backColor_; }
  void SetBackColor(platform::OLE_COLOR v) { SetColour(backColor_, v, "BackColor"); }
  platform::OLE_COLOR HighlightColor() const { return highlightColor_; }
  void SetHighlightColor(platform::OLE_COLOR v) { SetColour(highlightColor_, v, "HighlightColor"); }
  platform::OLE_COLOR ShadowColor() const { return shadowColor_; }
  void SetShadowColor(platform::OLE_COLOR v) { SetColour(shadowColor_, v, "ShadowColor"); }
  platform::OLE_COLOR HighlightDarkColor() const { return highlightDarkColor_; }
  void SetHighlightDarkColor(platform::OLE_COLOR v) {
    SetColour(highlightDarkColor_, v, "HighlightDarkColor");
  }
  platform::OLE_COLOR ShadowDarkColor() const { return shadowDarkColor_; }
  void SetShadowDarkColor(platform::OLE_COLOR v) {
    SetColour(shadowDarkColor_, v, "ShadowDarkColor");
  }
  platform::OLE_COLOR TextColor() const { return textColor_; }
  void SetTextColor(platform::OLE_COLOR v);
  platform::OLE_COLOR TextDisabledColor() const { return textDisabledColor_; }
  void SetTextDisabledColor(platform::OLE_COLOR v);
  platform::OLE_COLOR HotTrackingColor() const { return hotTrackingColor_; }
  void SetHotTrackingColor(platform::OLE_COLOR v);
  std::int32_t BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(std::int32_t v);
  bool DoubleTopBorder() const { return doubleTopBorder_; }
  void SetDoubleTopBorder(bool v);
  bool DoubleBottomBorder() const { return doubleBottomBorder_; }
  void SetDoubleBottomBorder(bool v);
  std::int16_t ButtonCount() const { return static_cast<std::int16_t>(buttons_.size()); }
  std::int16_t ButtonGap() const { return buttonGap_; }
  void SetButtonGap(std::int16_t v);
  bool PlaySounds() const { return playSounds_; }
  void SetPlaySounds(bool v);
  bool HotTracking() const { return hotTracking_; }
  void SetHotTracking(bool v);
  std::int32_t CaptionOptions() const { return captionOptions_; }
  void SetCaptionOptions(std::int32_t v);
  bool SolidChecked() const { return solidChecked_; }
  void SetSolidChecked(bool v);
  bool ShowSeparators() const { return showSeparators_; }
  void SetShowSeparators(bool v);
  bool BoldOnChecked() const { return boldOnChecked_; }
  void SetBoldOnChecked(bool v);
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool v);
  std::int32_t CaptionAlignment() const { return captionAlignment_; }
  void SetCaptionAlignment(std::int32_t v);
  const platform::StdFont& ToolTipFont() const { return toolTipFont_; }
  void SetToolTipFont(const platform::StdFont& v);
  std::int32_t Style() const { return style_; }
  void SetStyle(std::int32_t v);
  float FixedSize() const { return fixedSize_; }
  void SetFixedSize(float v);
  bool DisabledText3D() const { return disabledText3D_; }
  void SetDisabledText3D(bool v);
  std::int32_t BackStyle() const { return backStyle_; }
  void SetBackStyle(std::int32_t v);
  const std::string& Title() const { return title_; }
  void SetTitle(const std::string& v);
  const platform::StdFont& Font() const { return font_; }
  void SetFont(const platform::StdFont& v);
  std::string FontName() const { return font_.Name(); }
  void SetFontName(const std::string& v);
  bool FontBold() const { return font_.Bold(); }
  void SetFontBold(bool v);
  bool FontItalic() const { return font_.Italic(); }
  void SetFontItalic(bool v);
  bool FontUnderline() const { return font_.Underline(); }
  void SetFontUnderline(bool v);
  bool FontStrikethru() const { return font_.Strikethrough(); }
  void SetFontStrikethru(bool v);
  double FontSize() const { return font_.Size(); }
  void SetFontSize(double v);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool v);
  std::int32_t MousePointer() const { return mousePointer_; }
  void SetMousePointer(std::int32_t v);
  const platform::Picture& MouseIcon() const { return mouseIcon_; }
  void SetMouseIcon(const platform::Picture& v);
  // The container's alignment of the control (0 = none); AutoSize cannot be set while it is not 0.
  std::int32_t Align() const { return align_; }
  void SetAlign(std::int32_t v) { align_ = v; }

  float ScaleWidth() const { return static_cast<float>(width()); }
  float ScaleHeight() const { return static_cast<float>(height()); }
  platform::HDC hdc() const { return dc_; }
  QWidget* hwnd() { return this; }
  std::int32_t handle() const { return instance_; }
  float MouseX() const { return mouseX_; }
  float MouseY() const { return mouseY_; }
  bool Horizontal() const { return width() >= height(); }
  bool Vertical() const { return !Horizontal(); }
  void SetHorizontal(bool v) { SetVertical(!v); }
  void SetVertical(bool v);
  // The surface as it was last drawn.
  QImage SurfaceImage() const;

  // --- floating and re-parenting ------------------------------------------------------------
  QWidget* hWndContainer() const { return container_; }
  void SetHWndContainer(QWidget* container);
  std::int32_t CTLLeft() const;
  std::int32_t CTLTop() const;
  void BringToWindow();
  void HideWindow();
  wToolBar* FloatingWindow() const;
  void SendClick(std::int16_t Index, const std::string& Key);
  void SendRestoreEvent(std::int32_t Mode, std::int32_t X, std::int32_t Y);

  // Number of toolbars alive, and the one created last (the library's current toolbar).
  static int LiveCount();
  static xToolbar* Current();
  // Inset of a side (0 left, 1 top, 2 right, 3 bottom) as the layout computes it.
  std::int16_t EdgeInset(int side) const;
  bool AutoSizeGuard() const { return autoSizeGuard_; }
  bool DragActive() const { return dragTimer_.isActive(); }
  std::int16_t HotButton() const { return hotButton_; }

  // --- keyboard -------------------------------------------------------------------------------
  // The bar takes the focus with Tab; the focused button shows a dotted frame. Left/Right (Up/Down
  // on a vertical bar), Home and End move between the enabled buttons, Space and Enter press.
  std::int16_t FocusButton() const { return focusButton_; }
  void SetFocusButton(std::int16_t index);
  // What a left click on an enabled button does: BeforeButtonClick, the check or group state,
  // ButtonClick.
  void ActivateButton(int index);

  // --- overflow -------------------------------------------------------------------------------
  // A bar shorter than its buttons shows those that fit whole and a chevron at its end; the
  // chevron's popup lists the rest, and choosing one presses that button. The chevron takes the
  // focus and answers Space, Enter (and Down on a horizontal bar) as a button does.
  bool Overflowing() const { return overflowFrom_ != 0; }
  // The first button behind the chevron (0: all fit).
  std::int16_t FirstOverflowButton() const { return overflowFrom_; }
  bool InOverflow(int index) const { return overflowFrom_ != 0 && index >= overflowFrom_; }
  // Where the chevron is (empty when all fit), and its index for the focus: after the last button.
  QRect ChevronRect() const { return chevron_; }
  bool ChevronHot() const { return chevronHot_; }
  int ChevronIndex() const { return ButtonCount() + 1; }
  // Opens the popup under (or beside) the chevron; from the keyboard its first item is hot.
  void ShowOverflow(bool fromKeys);
  // The open popup, or null.
  wMenu* OverflowPopup() const;
  // The look of the popup: the style and highlight of the window's menu bar.
  void SetOverflowMenuLook(std::int32_t style, std::int32_t highLight);

  // --- assistive technology -------------------------------------------------------------------
  // A tool bar whose children are its visible buttons and separators.
  gfx::AccessibleParts Accessible();
  // Makes every toolbar known to the accessibility framework (once).
  static void RegisterAccessible();

 protected:
  void paintEvent(QPaintEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  bool event(QEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void enterEvent(QEnterEvent* e) override;
  void leaveEvent(QEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void focusInEvent(QFocusEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;

 private:
  friend class wToolBar;
  friend class ToolbarOverflowMenu;

  // Errors: raised through the host; false means the caller leaves its procedure.
  void Raise(std::int32_t number, const char* procedure, const std::string& description = {}) const;
  // The index of a button for a property, or -1 after raising error 9.
  int Resolve(const ButtonIndex& i, const char* procedure) const;
  clsBSButton* At(int index) const { return buttons_[static_cast<std::size_t>(index - 1)].get(); }
  void Changed(const std::string& name) const { host_.PropertyChanged(name); }
  void ChangedButton(const char* name, int index) const { Changed(name + std::to_string(index)); }
  void RepaintLook(int index);  // a one-button repaint after a look-only change
  void SetBorder(int side, bool v, const char* name);
  void SetColour(platform::OLE_COLOR& field, platform::OLE_COLOR v, const char* name);
  bool CaptionShown(const clsBSButton& b) const;
  static bool Clickable(std::int32_t style) {
    return style == tbrButton || style == tbrCheck || style == tbrButtonGroup;
  }

  // Surface and drawing.
  const QImage* SurfaceBitmap() const;
  void EnsureSurface();
  void UpdateFonts();
  platform::COLORREF Tr(platform::OLE_COLOR c) const;
  void Line(int x1, int y1, int x2, int y2, platform::OLE_COLOR c);
  void Box(int x1, int y1, int x2, int y2, platform::OLE_COLOR c);
  void Fill(int x, int y, int w, int h, platform::OLE_COLOR c);
  void Rect3D(int x, int y, int w, int h, platform::OLE_COLOR a, platform::OLE_COLOR b);
  void FlatHighlight(int x, int y, int w, int h, bool pressed);
  void PaintFrame();
  void PaintGrip();
  void PaintButton(int index, bool lowered, bool forceNoBorder);
  platform::SIZE TextSize(const std::string& text, bool bold);
  void DrawCaption(const clsBSButton& b, int x, int y, int w, int h, int o, int pw, bool disabled,
                   bool hot);
  void ApplyBackStyle();
  // After the layout: which buttons go behind the chevron; their place is cleared, the chevron
  // drawn.
  void LayOutOverflow();
  // The chevron's popup menu, made when first wanted.
  ToolbarOverflowMenu& OverflowMenu();
  // What a button is called to the user outside the bar (in the chevron's popup, to assistive
  // technology): its caption, else its tooltip, else its key.
  static std::string ButtonName(const clsBSButton& b);
  void PaintChevron();
  // The chevron raised under the pointer (its tooltip armed), or at rest.
  void SetChevronHot(bool hot);
  // A button's rectangle, or the chevron's.
  QRect PartRect(int index) const;
  void ApplyMousePointer();
  void RefreshInternal(int depth);

  // Mouse.
  void DoMouseDown(std::int16_t button, std::int16_t shift, float x, float y);
  void DoMouseMove(std::int16_t button, std::int16_t shift, float x, float y);
  void DoMouseUp(std::int16_t button, std::int16_t shift, float x, float y);
  void RepaintAtRest(int index);
  void StopToolTip();  // timer off, window hidden, check timer on, own tooltip text cleared
  void ArmToolTip(const std::string& text);
  void OnCheckTimer();
  void OnToolTipTimer();
  void OnDragTimer();
  void PlayClickSound();
  bool InGripArea(float x, float y) const;
  // Asks where the pointer is now: over the bar, shown.
  bool PointerOverWindow() const;
  // Hides the library's tooltip when it was shown for this bar.
  void HideOwnTooltip();
  void RaiseButtonClick(int index);
  bool Focusable(int index) const;
  void MoveFocus(int from, int step);
  std::vector<int> AccessibleButtons() const;
  // Announces a focus move to button `index`, or (StateChanged) a change of its state.
  void AnnounceButton(int index, QAccessible::Event event, QAccessible::State changed = {});

  platform::Host host_;
  std::string name_;

  // Control state, in declaration order.
  bool redraw_ = false;
  std::int32_t instance_ = 0;
  std::int32_t dockingStyle_ = tbdsOfficeXP;
  std::int32_t gripWidth_ = 12;
  bool borders_[4] = {true, true, true, true};
  bool showToolTips_ = true;
  std::int32_t appearance_ = ifcaStandard;
  platform::OLE_COLOR backColor_ = static_cast<platform::OLE_COLOR>(0x8000000Fu);
  platform::OLE_COLOR highlightColor_ = static_cast<platform::OLE_COLOR>(0x80000014u);
  platform::OLE_COLOR shadowColor_ = static_cast<platform::OLE_COLOR>(0x80000010u);
  platform::OLE_COLOR highlightDarkColor_ = static_cast<platform::OLE_COLOR>(0x80000016u);
  platform::OLE_COLOR shadowDarkColor_ = static_cast<platform::OLE_COLOR>(0x80000015u);
  platform::OLE_COLOR textColor_ = static_cast<platform::OLE_COLOR>(0x80000008u);
  platform::OLE_COLOR textDisabledColor_ = static_cast<platform::OLE_COLOR>(0x80000011u);
  platform::OLE_COLOR hotTrackingColor_ = static_cast<platform::OLE_COLOR>(0x8000000Du);
  std::int32_t borderStyle_ = tbbsRaised;
  bool doubleTopBorder_ = false;
  bool doubleBottomBorder_ = false;
  std::vector<std::unique_ptr<clsBSButton>> buttons_;
  std::int16_t buttonGap_ = 0;
  bool playSounds_ = true;
  bool hotTracking_ = false;
  std::int32_t captionOptions_ = iftoShowLabels;
  bool solidChecked_ = false;
  bool showSeparators_ = false;
  bool boldOnChecked_ = false;
  bool autoSize_ = false;
  std::int32_t captionAlignment_ = ifcaCaptionOnRight;
  platform::StdFont toolTipFont_;
  std::int32_t style_ = tbtsVariable;
  float fixedSize_ = 0;
  bool disabledText3D_ = true;
  std::int32_t backStyle_ = 1;
  QWidget* container_ = nullptr;
  std::string title_;
  gfx::ascMemoryBitmap dither_;
  gfx::clsLogFont rotatedFont_;
  gfx::clsLogFont surfaceFont_;
  float mouseX_ = 0, mouseY_ = 0;
  platform::StdFont font_;
  bool enabled_ = true;
  std::int32_t mousePointer_ = 0;
  platform::Picture mouseIcon_;
  std::int32_t align_ = 0;

  // Layout and painting.
  bool autoSizeGuard_ = false;
  int restingMark_ = 0;  // index of the button the layout loop paints at rest (0 = none)
  std::shared_ptr<gfx::ascPaintEffects> effects_;
  platform::HDC dc_ = 0;
  platform::HBITMAP bmp_ = 0;
  platform::HGDIOBJ oldBmp_ = 0;

  // Interaction.
  bool mouseDown_ = false;
  std::int16_t hotButton_ = 0;
  std::int16_t pressedButton_ = 0;
  std::int16_t pointerButton_ = 0;
  std::int16_t focusButton_ = 0;
  float grabX_ = 0, grabY_ = 0;
  bool suppressClick_ = false;
  bool surfacePressed_ = false;  // a press on the surface that a release may turn into Click
  QTimer dragTimer_;
  QTimer toolTipTimer_;
  QTimer checkTimer_;
  std::string pendingToolTip_;
  std::int16_t overflowFrom_ = 0;
  std::int16_t laidOutFrom_ = 0;  // overflowFrom_ as the last layout left it
  QRect chevron_;
  bool chevronHot_ = false;  // the pointer rests on the chevron
  std::shared_ptr<ToolbarOverflowMenu> overflowMenu_;
  QByteArray clickSound_;  // kept alive while the platform plays it
};

}  // namespace quillane::controls
