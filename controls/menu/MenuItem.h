#pragma once
// One entry of the menu: the flat item record whose indentation level encodes the tree, with its
// picture and the rectangle it occupies on the bar or in its popup.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Picture.h"
#include "platform/Types.h"

namespace quillane::controls {

class MenuItem {
 public:
  std::string Name;        // passed to ItemClick; compared without regard to case
  std::string Caption;     // "&" marks the access character; "-" is a separator
  std::int32_t Ident = 0;  // 0 top level, parent's level + 1 for a child
  bool Visible = true;
  bool Enabled = true;
  bool Checked = false;
  bool UseMaskColor = true;
  platform::OLE_COLOR MaskColor = 0xFF00FF;
  std::string Description;  // sent with ItemDescription
  bool Expanded = false;    // true while the popup of this item's children shows
  std::int32_t RootIndex = 0;
  bool IsRoot = false;      // has at least one direct child
  std::string Accelerator;  // upper-case access character, set when a popup lists the item
  float X = 0;              // where the caption starts, in pixels of the surface it is drawn on
  float Y = 0;

  bool IsSeparator() const { return Caption == "-"; }

  // The item's single picture; the selector is accepted and has no effect.
  const platform::Picture& APicture(std::int32_t whichPicture = 0) const;
  void SetAPicture(platform::Picture picture, std::int32_t whichPicture = 0);

  // Left <= X <= right and top <= Y <= bottom: all four edges belong to the item.
  bool PointInside(float x, float y) const;
  void SetRect(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom);
  void GetRect(std::int32_t& left, std::int32_t& top, std::int32_t& right,
               std::int32_t& bottom) const;
  const platform::RECT& Rect() const { return rect_; }

 private:
  platform::Picture picture_;
  platform::RECT rect_;
};

// Compares menu item names and keys: ASCII letters without regard to case.
bool SameName(std::string_view a, std::string_view b);

class wMenu;

// What a popup needs from the object that opened it: the bar control or the parent popup.
class MenuParent {
 public:
  virtual ~MenuParent() = default;
  // "xMenu" for the bar control, "wMenu" for a popup.
  virtual std::string Name() const = 0;
  virtual void SendClickEvent(const std::string& key) = 0;
  virtual void SendDescriptionEvent(const std::string& description) = 0;
  virtual bool MenuOpen() const = 0;
  virtual void SetMenuOpen(bool open) = 0;
  // Closes the chain of popups up to the bar; the bar itself does nothing.
  virtual void ForceUnload() = 0;
  // Told by a popup it opened that the popup closes.
  virtual void PopupClosed(wMenu* popup) = 0;
};

}  // namespace quillane::controls
