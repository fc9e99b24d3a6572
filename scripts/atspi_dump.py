#!/usr/bin/python3
# Prints what a screen reader sees of the window on the accessibility bus: the application's
# tree (role, name, description, states) down to the items of the menus and the toolbar's buttons.
#   atspi_dump.py APP_NAME [DEPTH]
import sys
import pyatspi

STATES = {pyatspi.STATE_CHECKED: "checked", pyatspi.STATE_FOCUSED: "focused",
          pyatspi.STATE_EXPANDED: "expanded", pyatspi.STATE_PRESSED: "pressed"}


def describe(node):
    states = node.getState()
    flags = [name for state, name in STATES.items() if states.contains(state)]
    if not states.contains(pyatspi.STATE_ENABLED):
        flags.append("disabled")
    if states.contains(pyatspi.STATE_HAS_POPUP):
        flags.append("has-popup")
    text = f"{node.getRoleName()} \"{node.name}\""
    if node.description:
        text += f" ({node.description})"
    return text + (" [" + ", ".join(flags) + "]" if flags else "")


def walk(node, depth, limit):
    interesting = node.getRole() in (pyatspi.ROLE_MENU_BAR, pyatspi.ROLE_MENU,
                                     pyatspi.ROLE_POPUP_MENU, pyatspi.ROLE_TOOL_BAR,
                                     pyatspi.ROLE_LINK, pyatspi.ROLE_FRAME, pyatspi.ROLE_DIALOG,
                                     pyatspi.ROLE_WINDOW, pyatspi.ROLE_APPLICATION)
    parent = node.parent
    inside = parent is not None and parent.getRole() in (
        pyatspi.ROLE_MENU_BAR, pyatspi.ROLE_POPUP_MENU, pyatspi.ROLE_MENU, pyatspi.ROLE_TOOL_BAR)
    if interesting or inside:
        print("  " * depth + describe(node))
    if depth >= limit:
        return
    for child in node:
        if child is not None:
            walk(child, depth + 1, limit)


def main():
    name = sys.argv[1]
    limit = int(sys.argv[2]) if len(sys.argv) > 2 else 8
    desktop = pyatspi.Registry.getDesktop(0)
    for app in desktop:
        if app is not None and app.name == name:
            walk(app, 0, limit)
            return 0
    print("no application named", name, "on the bus:", [a.name for a in desktop if a])
    return 1


sys.exit(main())
