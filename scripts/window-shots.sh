#!/usr/bin/env bash
# Writes the help's screenshots (docs/screenshots) from the real window under Xvfb with the openbox
# window manager: scripts/window-shots.sh [BUILD_DIR] (a tree configured with the tests and Qt).
# Not part of CI: it needs xvfb, openbox and an X display of its own.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
for tool in Xvfb openbox; do
  command -v "$tool" >/dev/null || apt-get install -y xvfb openbox >/dev/null
done
cmake --build "$build" --target window_shots
display=:$((90 + RANDOM % 9))
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp &
xvfb=$!
trap 'kill $openbox $xvfb 2>/dev/null || true' EXIT
sleep 1
DISPLAY=$display openbox &
openbox=$!
sleep 1
DISPLAY=$display QT_QPA_PLATFORM=xcb "$build/tests/app/window_shots" docs/screenshots
ls -l docs/screenshots
