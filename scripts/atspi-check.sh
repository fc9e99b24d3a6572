#!/usr/bin/env bash
# Walks the window on the accessibility bus as a screen reader would: under Xvfb with openbox and a
# session bus of its own, starts quillane, prints its tree (menu bar, toolbar), opens the Tools menu
# with Alt+T and prints the tree again (the open popup and its items), opens the About box, and
# at 300 pixels wide prints the toolbar with its More buttons chevron and the chevron's popup.
#   scripts/atspi-check.sh [BUILD_DIR]
# Not part of CI: it needs xvfb, openbox, xdotool, at-spi2-core, python3-pyatspi and dbus-x11.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
command -v Xvfb >/dev/null && command -v openbox >/dev/null && command -v xdotool >/dev/null &&
  /usr/bin/python3 -c 'import pyatspi' 2>/dev/null ||
  apt-get install -y xvfb openbox xdotool at-spi2-core python3-pyatspi dbus-x11 >/dev/null
cmake --build "$build" --target quillane >/dev/null
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}
chmod 700 "$XDG_RUNTIME_DIR"
display=:$((70 + RANDOM % 9))
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
sleep 1
export DISPLAY=$display
dbus-run-session -- bash -s "$build" <<'INNER'
set -euo pipefail
build=$1
openbox & wm=$!
/usr/libexec/at-spi-bus-launcher --launch-immediately & bus=$!
sleep 1
home=$(mktemp -d)
HOME=$home QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb "$build/app/quillane" & app=$!
sleep 3
echo "== the window"
/usr/bin/python3 scripts/atspi_dump.py Quillane 7
win=$(xdotool search --sync --name '^Quillane$' | head -1)
xdotool windowactivate --sync "$win" key alt+t
sleep 1
echo "== Alt+T: the Tools menu open"
/usr/bin/python3 scripts/atspi_dump.py Quillane 6 | grep -A8 -i "popup menu"
xdotool key Escape Escape alt+h
sleep 1
xdotool key End Return
sleep 2
echo "== Help > About: the About box"
/usr/bin/python3 scripts/atspi_dump.py Quillane 6 | grep -B1 -A3 -i "dialog\|link"
xdotool key Escape
sleep 1
win=$(xdotool search --onlyvisible --name '^Quillane$' | head -1)
xdotool windowmove "$win" 10 10 windowsize "$win" 300 500
sleep 1.5
echo "== 300 pixels wide: the toolbar ends in More buttons, opened from the keyboard"
/usr/bin/python3 scripts/atspi_dump.py Quillane 7 | grep -A9 -i "tool bar"
xdotool windowactivate --sync "$win" key shift+Tab End space
sleep 1
/usr/bin/python3 scripts/atspi_dump.py Quillane 7 | grep -A6 -i "popup menu"
kill $app $bus $wm 2>/dev/null || true
INNER
