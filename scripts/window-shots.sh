#!/usr/bin/env bash
# Screenshots from the real window on real desktops (docs/screenshots). Not part of CI.
#   scripts/window-shots.sh [--help-shots | --desktops] [BUILD_DIR]
# BUILD_DIR is a tree configured with the tests and Qt (build/release by default).
#  - the help's screenshots: under Xvfb with the openbox window manager;
#  - the desktop shots, <desktop>-<scale>-<what>.png: under Xvfb with openbox (xcb) and under the
#    weston compositor (Wayland, qt6-wayland), each at scale 1 and 2 (QT_SCALE_FACTOR=2 on X11,
#    weston --scale=2 on Wayland): a two-level menu and the File menu opened by keys, a toolbar
#    button's tooltip, the toolbar with a focused button, the About box with a focused link.
# Keys and pointer moves go through the display server (xdotool), as a person's would: on Wayland
# a popup needs the input serial of the key that opened it. weston runs its X11 backend inside
# Xvfb, as weston's headless backend has no seat (no keyboard, no pointer) for a client to use;
# its shots are weston's own (weston-screenshooter, allowed by --debug), which show the popups
# where the compositor placed them.
set -euo pipefail
cd "$(dirname "$0")/.."
what=all
case "${1:-}" in
  --help-shots | --desktops) what=${1#--}; shift ;;
esac
build=${1:-build/release}
out=$PWD/docs/screenshots

need=()
for tool in Xvfb:xvfb openbox:openbox weston:weston weston-screenshooter:weston xdotool:xdotool; do
  command -v "${tool%%:*}" >/dev/null || need+=("${tool#*:}")
done
dpkg -s qt6-wayland >/dev/null 2>&1 || need+=(qt6-wayland)
if ((${#need[@]})); then apt-get install -y "${need[@]}" >/dev/null; fi
cmake --build "$build" --target window_shots
shots=$PWD/$build/tests/app/window_shots

tmp=$(mktemp -d)
chmod 700 "$tmp"
pids=()
stop() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  pids=()
}
trap 'stop; rm -rf "$tmp"' EXIT

# A key held for a moment, as a person holds it: a Wayland popup asks for its grab with the serial
# of the key press, which the compositor accepts only while that press is its latest input.
cat >"$tmp/key" <<'EOF'
#!/bin/sh
exec xdotool keydown "$1" sleep 0.15 keyup "$1"
EOF
# weston's screenshot of its whole output, into the file named.
mkdir "$tmp/shot"
cat >"$tmp/shoot" <<EOF
#!/bin/sh
cd "$tmp/shot" && rm -f wayland-screenshot-*.png && weston-screenshooter >/dev/null &&
  mv wayland-screenshot-*.png "\$1"
EOF
chmod +x "$tmp/key" "$tmp/shoot"
# A plain desktop behind the window (a picture would make every shot large).
cat >"$tmp/weston.ini" <<'EOF'
[shell]
background-image=
background-color=0xff4a5a6a
EOF

# Starts Xvfb on a free display of the given size; sets display.
start_x() {
  local n=90
  while [[ -e /tmp/.X11-unix/X$n || -e /tmp/.X$n-lock ]]; do n=$((n + 1)); done
  display=:$n
  Xvfb "$display" -screen 0 "$1x24" -nolisten tcp >/dev/null 2>&1 &
  pids+=($!)
  for _ in $(seq 50); do [[ -e /tmp/.X11-unix/X$n ]] && break; sleep 0.1; done
}

desktop_shots() {  # desktop scale
  local desktop=$1 scale=$2 width=$((1280 * scale)) height=$((800 * scale))
  # On X11 the screen itself; for weston a margin around its window, for the pointer to enter it.
  if [[ $desktop == openbox ]]; then start_x "${width}x$height"; else start_x "$((width + 16))x$((height + 16))"; fi
  local env=(DISPLAY="$display" QUILLANE_KEY_COMMAND="$tmp/key"
    QUILLANE_POINTER_COMMAND="xdotool mousemove" XDG_RUNTIME_DIR="$tmp")
  if [[ $desktop == openbox ]]; then
    DISPLAY=$display openbox >/dev/null 2>&1 &
    pids+=($!)
    sleep 1
    env "${env[@]}" QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR="$scale" \
      "$shots" --desktop "openbox-$scale" "$out"
  else
    local socket=quillane-shots-$$-$scale
    DISPLAY=$display XDG_RUNTIME_DIR=$tmp weston --backend=x11-backend.so --socket="$socket" \
      --width=1280 --height=800 --scale="$scale" --use-pixman --debug --config="$tmp/weston.ini" \
      >"$tmp/weston-$scale.log" 2>&1 &
    pids+=($!)
    for _ in $(seq 100); do [[ -S $tmp/$socket ]] && break; sleep 0.1; done
    sleep 2  # the shell's panel and background
    # weston's X11 backend takes pointer moves once the pointer has entered its window.
    DISPLAY=$display xdotool mousemove $((width + 8)) $((height + 8)) sleep 0.2 mousemove 8 8
    env "${env[@]}" WAYLAND_DISPLAY="$socket" QT_QPA_PLATFORM=wayland \
      QUILLANE_SHOT_COMMAND="$tmp/shoot" "$shots" --desktop "weston-$scale" "$out"
  fi
  stop
}

if [[ $what != desktops ]]; then
  start_x 1280x800
  DISPLAY=$display openbox >/dev/null 2>&1 &
  pids+=($!)
  sleep 1
  DISPLAY=$display QT_QPA_PLATFORM=xcb "$shots" "$out"
  stop
fi
if [[ $what != help-shots ]]; then
  for scale in 1 2; do
    desktop_shots openbox "$scale"
    desktop_shots weston "$scale"
  done
fi
ls -l "$out"
