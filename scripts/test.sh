#!/usr/bin/env bash
# Sets up and runs every test: the normal build, the AddressSanitizer and UndefinedBehaviorSanitizer
# build, the fuzz targets built with clang and run briefly over the real workbooks, and the Windows
# build of gridcast (MinGW-w64) with its tests under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh --test
echo "== Format (clang-format)"
bash scripts/check-format.sh
mkdir -p build
jobs=$(nproc)

echo "== Fuzz targets (clang, libFuzzer)"
CC=clang CXX=clang++ bash scripts/build.sh build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUILLANE_FUZZ=ON -DQUILLANE_TESTS=ON -DQUILLANE_WITH_QT=OFF -DQUILLANE_BENCH=OFF \
  -- fuzz_workbook fuzz_container fuzz_ooxml fuzz_ods fuzz_ods_xml
(cd build/fuzz && ctest -L fuzz --output-on-failure)

echo "== Sanitizer build (AddressSanitizer, UndefinedBehaviorSanitizer)"
bash scripts/build.sh build/sanitize -DCMAKE_BUILD_TYPE=Debug -DQUILLANE_SANITIZE=ON \
  -DQUILLANE_TESTS=ON -DQUILLANE_WITH_QT=ON -DQUILLANE_BENCH=OFF
(cd build/sanitize && QUILLANE_BIG_CELLS=300000 ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest -j"$jobs" --output-on-failure)

echo "== Release build"
bash scripts/build.sh build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLANE_TESTS=ON \
  -DQUILLANE_WITH_QT=ON -DQUILLANE_BENCH=ON
(cd build/release && ctest -j"$jobs" --output-on-failure)

echo "== Windows build (MinGW-w64 cross build, its tests under Wine, the corpora against Linux)"
bash scripts/windows-build.sh --no-zip
