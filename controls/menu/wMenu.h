#pragma once
// wMenu: the frameless popup window that lists the children of one menu item. The bar opens the
// first one under a top-level item; a popup opens the next one to the right of an item with
// children. Each is a transient popup of the window that opened it. A choice travels up the chain
// to the bar, which raises ItemClick; closing travels up the chain as well. Navigation is by mouse
// or keyboard (see keyPressEvent). Geometry inside is in pixels; the window is placed and sized in
// twips.
#include <cstdint>
#include <string>
#include <vector>

#include <QPointer>
#include <QWidget>

#include "controls/menu/MenuItem.h"
#include "controls/menu/MenuPaint.h"
#include "gfx/AccessibleParts.h"
#include "gfx/ascPaintEffects.h"
#include "gfx/clsLogFont.h"

namespace quillane::controls {

class xMenu;

class wMenu : public QWidget, public MenuParent {
 public:
  // opener: the bar control or the parent popup; the popup is a window of its own above it.
  explicit wMenu(QWidget* opener);
  ~wMenu() override;

  // Set by the opener before FillItems.
  std::vector<MenuItem>* MenuTree = nullptr;  // the bar's items, shared
  MenuParent* ParentForm = nullptr;
  std::int32_t FilterIndex = 0;  // the item whose children are listed
  std::int32_t LeftCorner = 0;   // screen position of the top-left corner, in twips
  std::int32_t TopCorner = 0;
  std::int32_t MenuStyle = 0;
  std::int32_t OwnerWidth = 0;  // width of the bar item under a first-level popup, else 0
  std::int32_t HighLight = 0;
  void SetMenuFont(const std::string& name, std::int64_t sizeUnits, bool bold);

  // Lists the visible direct children of FilterIndex, lays them out, and sizes and places the
  // window (kept on the screen); paints the background and the items.
  void FillItems();
  // Shows the popup without waiting, with the keyboard; a press outside the chain closes it.
  void ShowModeless();
  // Opens the child popup of listed item index to the right of it.
  void ShowMenu(std::int32_t index);
  // Closes this popup and every popup above it up to the bar.
  void ForceUnload() override;
  // Closes this popup (its child first); it is deleted once control returns to the event loop.
  void Unload();
  bool Unloaded() const { return unloaded_; }

  std::string Name() const override { return "wMenu"; }
  void SendClickEvent(const std::string& key) override;
  void SendDescriptionEvent(const std::string& description) override;
  bool MenuOpen() const override { return menuOpen_; }
  void SetMenuOpen(bool open) override { menuOpen_ = open; }
  void PopupClosed(wMenu* popup) override;

  // Drawing: state 0 normal, -1 highlighted.
  void DrawItem(std::int32_t index, std::int32_t state);
  void DrawTriangle(int left, int top, int right, int bottom, platform::OLE_COLOR color,
                    int effect3D);
  void DrawOpenStepItem(int left, int top, int right, int bottom, platform::OLE_COLOR c1,
                        platform::OLE_COLOR c2);
  void DrawCheckMark(int x, int y, int w, int h, platform::OLE_COLOR color);
  // Shapes the window as one strip per visible item of level idn (style 2).
  void SetRegions(std::int32_t idn);
  std::int32_t HitTestItem(float x, float y) const;
  // The first listed item whose access character is the key (upper-cased), or 0.
  std::int32_t FindByAccelerator(std::string_view key) const;

  // State, for the opener and for tests.
  const std::vector<std::int32_t>& Listed() const { return list_; }
  std::int32_t HotItem() const { return hot_; }
  wMenu* ChildPopup() const;
  const QImage* Surface() const { return surface_.image(); }
  platform::HDC hDC() const { return surface_.dc(); }
  platform::OLE_COLOR Background() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  // Up/Down move through the items (separators skipped), Right/Enter/Space open a child popup,
  // Enter/Space choose an item, Left/Esc close this level, Alt closes all, a letter chooses the
  // item with that access character; Left/Right on the first level move along the bar.
  void keyPressEvent(QKeyEvent* event) override;

 public:
  // The next (step 1) or previous (-1) item that is not a separator becomes hot.
  void MoveHot(std::int32_t step);
  void SetHot(std::int32_t index);
  // Opens the child popup of item `index` with its first item hot.
  void OpenChild(std::int32_t index);
  // What Enter does on item `index`: opens its children, or chooses it.
  void Press(std::int32_t index);
  // A popup menu whose children are its listed items.
  gfx::AccessibleParts Accessible();

 private:
  // A choice of item `index`: ItemClick up the chain, then every popup closes.
  void Choose(std::int32_t index);
  xMenu* Bar() const;
  void AnnounceHot();
  MenuItem* At(std::int32_t index) const;
  bool IsListed(std::int32_t index) const;
  void SizeSurface();
  void PaintBackground();
  void MouseMove(float x, float y);
  void MouseDown(float x, float y);
  // The popup below this one or the bar under a screen point, or null.
  QWidget* ChainAt(const QPoint& global) const;
  // Hands a pointer event outside this popup to the popup or bar under it; false when none.
  bool PassDown(QMouseEvent* event);

  std::int32_t hot_ = 0;
  bool menuOpen_ = false;
  bool filling_ = false;
  bool drawnOnce_ = false;
  bool unloaded_ = false;
  std::vector<std::int32_t> list_;
  QPointer<wMenu> child_;
  MenuSurface surface_;
  gfx::clsLogFont font_;
  gfx::ascPaintEffects effects_;
};

}  // namespace quillane::controls
