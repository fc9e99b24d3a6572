#include "app/Commands.h"

#include <QKeySequence>
#include <QPlainTextEdit>

#include "app/frmMain.h"
#include "app/modWindow.h"
#include "controls/menu/xMenu.h"
#include "files/modFuntions.h"

namespace quillane::app {

namespace {

using W = frmMain;
using C = Command;

void Toggle(W& w, const C& c) { w.xMenu1->SetItemChecked(c.name, !w.xMenu1->ItemChecked(c.name)); }

// The rows of the menu bar come in the order of its stored design; the last two act on the row
// under the pointer and live in the list's popup menu alone.
constexpr Command kCommands[] = {
    {"mnuAddFile", "&Add File...", "Ctrl+O", "Add", " Add ", "Add workbooks",
     [](W& w, const C&) { w.BrowseFiles(); }},
    {"mnuAddFolder", "Add F&older...", "Ctrl+Shift+O", "folder", "  Folder  ",
     "Add the workbooks of a folder", [](W& w, const C&) { w.ShowAddFolder(); }},
    {"mnuRemovefile", "&Remove File", "Del", "Remove", "Remove", "Remove the selected rows",
     [](W& w, const C&) { w.RemoveSelected(); }},
    {"mnuClear", "&Clear List", "", "", "", "", [](W& w, const C&) { w.ClearList(); }},
    {"mnuViewLog", "&View Log File...", "", "", "", "",
     [](W& w, const C&) {
       if (files::FileExists(w.LogPath())) ShellOpen(w.LogPath());
     }},
    {"mnuclearlog", "C&lear Log", "", "", "", "", [](W& w, const C&) { w.txtLog->clear(); }},
    {"mnuExit", "E&xit", "Ctrl+Q", "", "", "", [](W& w, const C&) { w.close(); }},
    {"mnuOutput", "&Output Directory && Password...", "", "", "", "",
     [](W& w, const C&) { w.ShowOptions(); }},
    {"mnuMoveup", "Move &Up", "Ctrl+Left", "", "", "", [](W& w, const C&) { w.MoveUp(); }},
    {"mnuMoveDown", "Move &Down", "Ctrl+Right", "", "", "", [](W& w, const C&) { w.MoveDown(); }},
    {"mnuSall", "Select &All", "Ctrl+A", "", "", "", [](W& w, const C&) { w.SelectAll(true); }},
    {"mnuSnone", "Select &None", "", "", "", "", [](W& w, const C&) { w.SelectAll(false); }},
    {"mnuInvert", "&Invert Selection", "", "", "", "", [](W& w, const C&) { w.InvertSelection(); }},
    {"mnuConverter", "&Convert Now", "F5", "Extract", "Convert", "Convert the ticked workbooks",
     [](W& w, const C&) { w.StartConversion(); }},
    {"mnuStop", "&Stop", "Esc", "stop", " Stop ", "Stop",
     [](W& w, const C&) { w.Adding() ? w.CancelAdd() : w.StopConversion(); }},
    {"mnuLogfile", "Create &Log File", "", "", "", "", Toggle},
    {"mnuCreateDir", "Create the xxxx.&files Folder", "", "", "", "", Toggle},
    {"mnuOverwrite", "&Overwrite Existing Files", "", "", "", "", Toggle},
    {"mnuCompress", "&Compress HTML Files", "", "", "", "", Toggle},
    {"mnuHelpFile", "&Help", "F1", "Help", "   Help  ", "Help",
     [](W&, const C&) { ShellOpen(HelpPath()); }},
    {"mnuWebsite", "Visit Our &Website", "", "home", "Homepage", "Visit our website",
     [](W&, const C&) { ShellOpen(WebsiteAddress()); }},
    {"mnuSupport", "Free &Support...", "", "email", " Email  ", "Write to support",
     [](W&, const C&) { ShellOpen("mailto:" + SupportAddress()); }},
    {"mnuAbout", "&About...", "", "", "", "", [](W& w, const C&) { w.ShowAbout(); }},
    {"mnuclearlogs", "C&lear Log", "", "", "", "",
     [](W& w, const C&) { w.txtLog->setPlainText(QStringLiteral("Ready...\n")); }},
    {"mnuOpenPage", "Open &Page", "", "", "", "", [](W& w, const C&) { w.OpenPage(); }},
    {"mnuOpenFolder", "Open Output &Folder", "", "", "", "",
     [](W& w, const C&) { w.OpenOutputFolder(); }},
};

bool Same(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

}  // namespace

std::span<const Command> Commands() { return kCommands; }

const Command* FindCommand(std::string_view nameOrKey) {
  if (nameOrKey.empty()) return nullptr;
  for (const Command& c : kCommands)
    if (Same(c.name, nameOrKey) || Same(c.key, nameOrKey)) return &c;
  return nullptr;
}

std::string ShortcutText(const Command& command) {
  return QKeySequence(QString::fromLatin1(command.shortcut))
      .toString(QKeySequence::NativeText)
      .toStdString();
}

std::string MenuCaption(const Command& command) {
  const std::string keys = ShortcutText(command);
  return keys.empty() ? command.caption : std::string(command.caption) + "\t" + keys;
}

std::string ButtonTip(const Command& command) {
  const std::string keys = ShortcutText(command);
  return keys.empty() ? command.tip : command.tip + (" (" + keys + ")");
}

}  // namespace quillane::app
