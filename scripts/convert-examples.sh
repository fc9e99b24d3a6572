#!/usr/bin/env bash
# Sets up, builds gridcast and converts the bundled example workbooks into out/examples.
# gridcast has a build folder of its own (build/gridcast, no tests, no window), so that the
# test builds of scripts/test.sh keep their own settings.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
mkdir -p build
bash scripts/build.sh build/gridcast -DCMAKE_BUILD_TYPE=Release -DQUILLANE_TESTS=OFF \
  -DQUILLANE_BENCH=OFF -DQUILLANE_WITH_QT=OFF -- gridcast
mkdir -p out/examples
status=0
./build/gridcast/app/gridcast examples/*.xls examples/*.xlsx examples/*.fods --dest out/examples --overwrite --compress \
  --log=out/examples/gridcast.log || status=$?
echo
echo "Pages written to $(pwd)/out/examples (log: out/examples/gridcast.log, exit status $status):"
ls out/examples
exit $status
