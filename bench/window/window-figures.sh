#!/usr/bin/env bash
# The window's figures at full size, from the window tests of a release build:
#   bench/window/window-figures.sh [BUILD_DIR]
# - the longest pause of the event loop while a workbook of 3 million cells is converted
#   (the aim: under 100 ms);
# - adding 10,000 workbooks (a dropped folder), refusing them again as already listed, and
#   10,000 lines in the log pane (the aim: each under 1 s).
set -euo pipefail
build=${1:-build/release}
cd "$(dirname "$0")/../.."
export QT_QPA_PLATFORM=offscreen
QUILLANE_BIG_CELLS=${QUILLANE_BIG_CELLS:-3000000} QUILLANE_MANY_ROWS=${QUILLANE_MANY_ROWS:-10000} \
  "$build/tests/app/window_test" --gtest_filter='WindowScale.*' | grep -E 'FIGURE|FAILED|PASSED'
