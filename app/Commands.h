// The window's commands, each declared once: the name of its menu-bar item, its caption, its
// shortcut, its toolbar button and what it does. The stored designs of the menu bar and the toolbar
// are written from this table, and the popup menu, the window's shortcuts and the dispatch of
// clicks read it.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace quillane::app {

class frmMain;

struct Command {
  const char* name;      // the menu item's name, compared without regard to case
  const char* caption;   // "&" marks the access character
  const char* shortcut;  // in QKeySequence's portable text; "" for none
  const char* key;       // the toolbar button's key; "" when the toolbar has no button for it
  const char* button;    // the toolbar button's caption
  const char* tip;       // the toolbar button's tooltip (the shortcut is added to it)
  void (*run)(frmMain& window, const Command& command);
  // Switches and commands that act on the rows under the pointer have no shortcut of the window.
};

std::span<const Command> Commands();
// The command whose menu name or toolbar key this is (without regard to case), or null.
const Command* FindCommand(std::string_view nameOrKey);
// The shortcut as the platform spells it ("Ctrl+O"), or "".
std::string ShortcutText(const Command& command);
// The caption of a menu item: the caption, then the shortcut after a tab when it has one.
std::string MenuCaption(const Command& command);
// The tooltip of a toolbar button, with its shortcut: "Add workbooks (Ctrl+O)".
std::string ButtonTip(const Command& command);

}  // namespace quillane::app
