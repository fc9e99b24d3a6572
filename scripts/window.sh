#!/usr/bin/env bash
# Sets up, builds the window program quillane (build/window, no tests) and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
mkdir -p build
bash scripts/build.sh build/window -DCMAKE_BUILD_TYPE=Release -DQUILLANE_TESTS=OFF \
  -DQUILLANE_BENCH=OFF -- quillane
exec ./build/window/app/quillane
