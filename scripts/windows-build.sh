#!/usr/bin/env bash
# Builds gridcast.exe for 64-bit Windows with Debian's MinGW-w64 cross compiler and tests it under
# Wine: the libraries it links (Nettle, expat, and GoogleTest for the tests) are built from
# Debian's source packages into build/windows/prefix, then gridcast.exe and the Qt-free tests,
# statically linked. The tests run under Wine; with the shared corpus beside the clone, its pages
# are compared with those of the Linux build; the zip is made by CPack.
#   bash scripts/windows-build.sh [--no-corpus] [--no-zip]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
corpus=1 zip=1
for arg in "$@"; do
  case $arg in
    --no-corpus) corpus=0 ;;
    --no-zip) zip=0 ;;
    *) echo "usage: $0 [--no-corpus] [--no-zip]" >&2; exit 2 ;;
  esac
done
out=$root/build/windows
# The shared corpus of real workbooks, beside the clone (or where QUILLANE_CORPUS_DIR says).
corpus_dir=$(realpath -m "${QUILLANE_CORPUS_DIR:-$root/../shared/corpus}")
prefix=$out/prefix
triple=x86_64-w64-mingw32
jobs=2
mkdir -p "$out"

echo "== Packages"
packages=(g++-mingw-w64-x86-64-posix wine64 wine dpkg-dev googletest cmake ninja-build ccache m4
  pkg-config zip make groff)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  for try in 1 2 3 4 5 6 7 8 9 10; do
    if apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" \
      >"$out/apt.log" 2>&1; then break; fi
    ((try < 10)) || { cat "$out/apt.log"; exit 1; }
    sleep 15  # another install holds the lock
  done
fi

# The Debian mirror this machine's apt sources name (the first one that is not for security
# updates), so that nothing is fetched from anywhere else.
debian_mirror() {
  { grep -hs '^URIs:' /etc/apt/sources.list.d/*.sources | awk '{print $2}'
    grep -hs '^deb ' /etc/apt/sources.list /etc/apt/sources.list.d/*.list |
      sed 's/\[[^]]*\]//' | awk '{print $2}'; } | grep -v security | head -n 1
}

export CCACHE_BASEDIR=${CCACHE_BASEDIR:-/work}
cc="ccache $triple-gcc-posix"

echo "== Libraries (Debian's sources, built with MinGW-w64)"
if [[ ! -f $prefix/lib/libnettle.a || ! -f $prefix/lib/libexpat.a || ! -f $prefix/lib/libgtest.a ]]; then
  src=$out/src
  rm -rf "$src"; mkdir -p "$src/apt/lists/partial"
  # A private list of Debian's source packages: the machine's own lists are left as they are.
  echo "deb-src $(debian_mirror) bookworm main" >"$src/apt/sources.list"
  apt_src=(-o Dir::Etc::SourceList="$src/apt/sources.list" -o Dir::Etc::SourceParts=/nonexistent
    -o Dir::State::Lists="$src/apt/lists" -o Dir::Cache="$src/apt/cache")
  apt-get "${apt_src[@]}" update -qq
  (cd "$src" && apt-get "${apt_src[@]}" source -qq nettle expat >"$out/sources.log" 2>&1) ||
    { cat "$out/sources.log"; exit 1; }
  nettle=$(ls -d "$src"/nettle-*/) expat=$(ls -d "$src"/expat-*/)

  (cd "$nettle" && CC="$cc" ./configure -q --host=$triple --prefix="$prefix" --enable-static \
    --disable-shared --disable-public-key --disable-documentation --disable-openssl \
    --disable-assembler >"$out/nettle.log" 2>&1 &&
    make -j$jobs AUTOHEADER=: AUTOCONF=: libnettle.a >>"$out/nettle.log" 2>&1 &&
    make AUTOHEADER=: AUTOCONF=: install-headers install-static install-pkgconfig >>"$out/nettle.log" 2>&1) ||
    { tail -30 "$out/nettle.log"; exit 1; }

  cmake_lib=(-G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DCMAKE_BUILD_TYPE=Release
    -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_C_COMPILER_LAUNCHER=ccache
    -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  cmake -S "$expat/expat" -B "$out/expat" "${cmake_lib[@]}" -DEXPAT_SHARED_LIBS=OFF \
    -DEXPAT_BUILD_TOOLS=OFF -DEXPAT_BUILD_EXAMPLES=OFF -DEXPAT_BUILD_TESTS=OFF \
    -DEXPAT_BUILD_DOCS=OFF >"$out/expat.log" 2>&1 &&
    # Debian's patches test the value of XML_DTD, which their own build defines as 1.
    sed -i 's/^#define XML_DTD$/#define XML_DTD 1/' "$out/expat/expat_config.h" &&
    cmake --build "$out/expat" -j$jobs --target install >>"$out/expat.log" 2>&1 ||
    { tail -30 "$out/expat.log"; exit 1; }

  cmake -S /usr/src/googletest -B "$out/googletest" "${cmake_lib[@]}" -DBUILD_GMOCK=OFF \
    -DBUILD_SHARED_LIBS=OFF >"$out/googletest.log" 2>&1 &&
    cmake --build "$out/googletest" -j$jobs --target install >>"$out/googletest.log" 2>&1 ||
    { tail -30 "$out/googletest.log"; exit 1; }
fi
echo "built: $(cd "$prefix/lib" && echo *.a)"

echo "== gridcast.exe and the tests (MinGW-w64, static)"
build=$out/gridcast
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
  -DQUILLANE_WINDOWS_PREFIX="$prefix" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLANE_WITH_QT=OFF \
  -DQUILLANE_BENCH=OFF -DQUILLANE_TESTS=ON -DQUILLANE_CORPUS_DIR="$corpus_dir" \
  -DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache >"$out/configure.log" 2>&1 || { cat "$out/configure.log"; exit 1; }
cmake --build "$build" -j$jobs
echo "imports of gridcast.exe: $($triple-objdump -p "$build/app/gridcast.exe" | awk '/DLL Name/ {printf "%s ", $3}')"

# Wine in a prefix of its own, made anew for each run of this script.
export WINEPREFIX=$out/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
rm -rf "$WINEPREFIX"
wine wineboot --init >/dev/null 2>&1 || true

echo "== Tests under Wine"
passed=0 failed=0 skipped=0 programs=0 failures=()
while IFS= read -r exe; do
  programs=$((programs + 1))
  name=$(basename "$exe" .exe)
  if (cd "$(dirname "$exe")" && wine "$exe" --gtest_brief=1 >"$out/$name.log" 2>&1); then :; else
    failures+=("$name")
  fi
  tr -d '\r' <"$out/$name.log" >"$out/$name.txt"
  n=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) tests\?\.$/\1/p' "$out/$name.txt" | tail -1)
  s=$(sed -n 's/^\[  SKIPPED \] \([0-9]*\) tests\?[,.].*/\1/p' "$out/$name.txt" | tail -1)
  f=$(sed -n 's/^\[  FAILED  \] \([0-9]*\) tests\?[,.].*/\1/p' "$out/$name.txt" | tail -1)
  passed=$((passed + ${n:-0})) skipped=$((skipped + ${s:-0})) failed=$((failed + ${f:-0}))
  printf '  %-28s passed %4s  skipped %3s  failed %3s\n' "$name" "${n:-0}" "${s:-0}" "${f:-0}"
done < <(find "$build/tests" \( -name 'test_*.exe' -o -name '*_test.exe' \) | sort)
echo "tests under Wine: $programs programs, $passed passed, $failed failed, $skipped skipped"
if ((${#failures[@]})); then
  for name in "${failures[@]}"; do echo "-- $name"; grep -v '^\[ *OK' "$out/$name.txt" | tail -40; done
  exit 1
fi

if ((corpus)) && [[ -d $corpus_dir ]]; then
  echo "== Corpora: gridcast.exe in the Windows syntax against the Linux build"
  # The Linux build of the tests (scripts/test.sh) serves as it is; else one is made.
  if [[ -f build/release/CMakeCache.txt ]]; then
    cmake --build build/release --target gridcast >/dev/null
  else
    bash scripts/build.sh build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLANE_TESTS=ON \
      -DQUILLANE_WITH_QT=ON -DQUILLANE_BENCH=ON -DCMAKE_CXX_COMPILER_LAUNCHER=ccache \
      -DCMAKE_C_COMPILER_LAUNCHER=ccache -- gridcast >/dev/null
  fi
  for folder in "$corpus_dir" "$corpus_dir-xlsx" "$corpus_dir-ods"; do
    [[ -d $folder ]] || continue
    compare=$out/compare-$(basename "$folder")
    rm -rf "$compare"; mkdir -p "$compare/linux" "$compare/windows"
    build/release/app/gridcast -j$jobs -o -f -d "$compare/linux" -l "$compare/linux.log" \
      "$folder/*" >/dev/null 2>"$compare/linux.err" || true
    win_folder=$(winepath -w "$folder") win_out=$(winepath -w "$compare/windows")
    win_log=$(winepath -w "$compare/windows.log")
    wine "$build/app/gridcast.exe" "$win_folder\\*" /o /f "/d:$win_out" "/l:$win_log" \
      >/dev/null 2>"$compare/windows.err" || true
    # The log lines without their times, paths written with "/" and without the folders.
    normal() { tr -d '\r' <"$1" | sed -E 's/^[0-9:]+ *(AM|PM)?  //; s#\\#/#g; s#[A-Za-z]:/#/#g' |
      sed -E "s#$folder/##g; s#$compare/(linux|windows)/##g" | sort; }
    normal "$compare/linux.log" >"$compare/linux.lines"
    normal "$compare/windows.log" >"$compare/windows.lines"
    files=$(find "$compare/linux" -type f | wc -l)
    books=$(wc -l <"$compare/linux.lines")
    if diff -r -q "$compare/linux" "$compare/windows" >"$compare/pages.diff" &&
      diff -q "$compare/linux.lines" "$compare/windows.lines" >/dev/null; then
      echo "$(basename "$folder"): $books workbooks ($(grep -c '^100,' "$compare/linux.lines")" \
        "converted, $(grep -c '^103,' "$compare/linux.lines") refused), $files files of pages" \
        "byte-identical, log lines the same"
    else
      echo "$(basename "$folder"): differences ($(wc -l <"$compare/pages.diff") files):"
      head -20 "$compare/pages.diff"
      diff "$compare/linux.lines" "$compare/windows.lines" | head -20
      exit 1
    fi
  done
fi

if ((zip)); then
  echo "== Zip (CPack)"
  (cd "$build" && cpack -G ZIP >"$out/cpack.log" 2>&1) || { cat "$out/cpack.log"; exit 1; }
  package=$(ls "$build"/gridcast-*.zip)
  echo "zip: $package ($(stat -c %s "$package") bytes)"
  unzip -l "$package" | tail -n +4 | head -n -2 | awk '{print "  " $4}'
fi
echo "== Windows build done"
