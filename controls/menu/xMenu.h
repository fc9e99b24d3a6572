#pragma once
// xMenu: the owner-drawn menu bar. It keeps the whole menu as one flat, ordered list of MenuItem
// records whose indentation levels encode the tree, draws the top-level items as a bar, and opens a
// chain of popup windows (wMenu) for the levels below. A choice raises ItemClick with the item's
// name; entering an item raises ItemDescription.
//
// Geometry inside the control is in pixels; popups are placed in twips on the screen. Indexes of
// items are 1-based, as everywhere in the control's interface.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include "controls/menu/MenuItem.h"
#include "controls/menu/MenuPaint.h"
#include "gfx/AccessibleParts.h"
#include "gfx/clsLogFont.h"
#include "platform/Host.h"
#include "platform/PropertyBag.h"
#include "platform/StdFont.h"

namespace quillane::controls {

class wMenu;

class xMenu : public QWidget, public MenuParent {
 public:
  using ItemClickFn = std::function<void(const std::string& key)>;
  using ItemDescriptionFn = std::function<void(const std::string& description)>;

  // A newly placed control: Spacing 12, HighLightStyle 1 and the host's font with bold off. The
  // host (ambient font, user mode, property changes, errors) defaults to one of the control's own.
  explicit xMenu(QWidget* parent = nullptr, platform::Host* host = nullptr);
  ~xMenu() override;

  // --- properties -----------------------------------------------------------------------------
  platform::OLE_COLOR BackColor() const { return backColor_; }
  void SetBackColor(platform::OLE_COLOR color) { backColor_ = color; }
  const platform::StdFont& ItemsFont() const { return itemsFont_; }
  void SetItemsFont(const platform::StdFont& font);
  std::int32_t HighLightStyle() const { return highLightStyle_; }
  void SetHighLightStyle(std::int32_t value);
  std::int32_t Spacing() const { return spacing_; }
  void SetSpacing(std::int32_t value);
  std::int32_t Style() const { return style_; }
  void SetStyle(std::int32_t value);
  // Marks the stored properties as changed.
  void SetChanged(bool changed);
  std::string Name() const override { return "xMenu"; }

  // --- items ----------------------------------------------------------------------------------
  std::int32_t Count() const { return static_cast<std::int32_t>(items_.size()); }
  // Item 1 to Count; another index raises error 9.
  MenuItem& Item(std::int32_t index);
  void AddItem(MenuItem item);
  // Removes every item (closing any open popup first).
  void ClearItems();
  std::vector<MenuItem>& Items() { return items_; }

  bool HasChildren(std::int32_t index) const;
  void SetRootIndex(std::int32_t index);
  // Reads or sets Checked of the first item of that name (without regard to case); an unknown key
  // reads false and sets nothing. Setting does not repaint.
  bool ItemChecked(std::string_view key) const;
  void SetItemChecked(std::string_view key, bool checked);
  // A nonzero number in the text is the index itself (rounded); otherwise the position of the
  // first item of that name. Error 35601 when nothing is found.
  std::int16_t KeyToIndex(std::string_view index);

  // --- bar ------------------------------------------------------------------------------------
  // Recomputes the tree flags, lays out and redraws the bar.
  void Refresh();
  // With Wraps on, top-level items that would reach past the right edge start a new row below,
  // and the bar asks its layout for the height of its rows (heightForWidth). Off by default: a
  // bar of a fixed height keeps one row.
  bool Wraps() const { return wraps_; }
  void SetWraps(bool wraps);
  // The rows the visible top-level items take at a width (1 without Wraps).
  std::int32_t RowsFor(int width) const;
  // state 0 normal, 1 hot, -1 pressed (hot is drawn pressed in menu mode).
  void DrawRootItem(std::int32_t index, std::int32_t state);
  void DrawBarGradient(int left, int top, int right, int bottom, platform::OLE_COLOR c1,
                       platform::OLE_COLOR c2);
  std::int32_t HitTestRoot(float x, float y) const;
  // Opens the popup of top-level item index under it. Error 35607 while a modal window is open.
  void ShowMenu(std::int32_t index);
  // Closes the open first-level popup; false when none was open.
  bool CloseOpenMenu();

  // --- events and the popups' side of the chain ------------------------------------------------
  void OnItemClick(ItemClickFn fn) { itemClick_ = std::move(fn); }
  void OnItemDescription(ItemDescriptionFn fn) { itemDescription_ = std::move(fn); }
  void SendClickEvent(const std::string& key) override;
  void SendDescriptionEvent(const std::string& description) override;
  bool MenuOpen() const override { return menuOpen_; }
  void SetMenuOpen(bool open) override { menuOpen_ = open; }
  void ForceUnload() override {}

  // --- stored design ---------------------------------------------------------------------------
  void InitProperties();
  void ReadProperties(const platform::PropertyBag& bag);
  void WriteProperties(platform::PropertyBag& bag) const;

  // Reports an error of this control: raised in a running program, shown while designing.
  void RaiseError(std::string_view source, std::int32_t number,
                  std::string_view description = {}) const;

  // --- state, for the host and for tests --------------------------------------------------------
  std::int32_t HotItem() const { return hot_; }
  wMenu* Popup() const;
  const QImage* Surface() const { return surface_.image(); }
  platform::HDC hDC() const { return surface_.dc(); }
  platform::Host& host() const { return *host_; }
  QSize sizeHint() const override;
  bool hasHeightForWidth() const override { return wraps_; }
  int heightForWidth(int width) const override;

  void PopupClosed(wMenu* popup) override;

  // --- keyboard ---------------------------------------------------------------------------------
  // Alt+letter (the "&" of a top-level caption) and F10 work from anywhere in the bar's window, as
  // does Alt pressed and released alone. In keyboard mode the bar holds the focus with one item
  // hot: Left/Right move along the bar, Down/Enter/Space open its popup, Esc or Alt leave.
  bool KeyMode() const { return keyMode_; }
  // Enters keyboard mode on top-level item `index`, opening its popup with the first item hot.
  void EnterKeyMode(std::int32_t index, bool open);
  // Leaves keyboard mode (the popups close) and gives the focus back to where it was.
  void LeaveKeyMode();
  // The next (step 1) or previous (-1) visible top-level item, with its popup open when one is.
  void StepRoot(std::int32_t step);
  // Closes the first-level popup and keeps the bar in keyboard mode on its item (Esc in it).
  void BackToBar();
  // The top-level item whose access character is `key` (upper-cased), or 0.
  std::int32_t RootByAccelerator(std::string_view key) const;

  // --- assistive technology ---------------------------------------------------------------------
  // A menu bar whose children are the visible top-level items.
  gfx::AccessibleParts Accessible();
  // Makes the bar and its popups known to the accessibility framework (once).
  static void RegisterAccessible();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool event(QEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  friend class wMenu;
  MenuItem* At(std::int32_t index);
  const MenuItem* At(std::int32_t index) const;
  void MouseMove(float x, float y);
  void MouseDown(float x, float y);
  void TimerTick();
  // ShowMenu from the pointer: a refused popup leaves menu mode off instead of raising.
  void OpenFromPointer(std::int32_t index);
  void UnloadPopup();
  // Opens the popup of `index` from the keyboard, its first item hot and focused.
  void OpenFromKeys(std::int32_t index);
  void BuildAccessKeys();
  std::vector<std::int32_t> RootItems() const;
  void AnnounceHot();
  // Lays the visible top-level items out at `width`, calling place(index, left, right, row) for
  // each; returns the rows taken and the rightmost edge.
  struct BarExtent {
    std::int32_t rows = 1;
    std::int32_t right = 0;
  };
  BarExtent PlaceRoots(int width, const std::function<void(std::int32_t, std::int32_t, std::int32_t,
                                                           std::int32_t)>& place) const;
  // From one row's top to the next: the item's height and a gap.
  int RowPitch() const;

  std::unique_ptr<platform::Host> ownHost_;
  platform::Host* host_;
  std::vector<MenuItem> items_;
  MenuItem scratch_;
  std::int32_t spacing_ = 12;
  std::int32_t style_ = 0;
  std::int32_t highLightStyle_ = 1;
  platform::StdFont itemsFont_;
  platform::OLE_COLOR backColor_ = paint::kButtonFace;
  std::int32_t hot_ = 0;
  bool menuOpen_ = false;
  QPointer<wMenu> popup_;
  QTimer timer_;
  MenuSurface surface_;
  gfx::clsLogFont font_;
  ItemClickFn itemClick_;
  ItemDescriptionFn itemDescription_;
  bool wraps_ = false;
  std::int32_t rows_ = 1;
  bool keyMode_ = false;
  bool keepKeyMode_ = false;  // a popup closes while the bar stays in keyboard mode
  bool altAlone_ = false;
  bool filterInstalled_ = false;  // Alt is down and no other key or button came since
  QPointer<QWidget> focusBefore_;
  std::vector<QObject*> accessKeys_;
};

}  // namespace quillane::controls
