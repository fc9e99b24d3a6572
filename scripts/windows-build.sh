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
prefix=$out/prefix
triple=x86_64-w64-mingw32
jobs=2
mkdir -p "$out"

echo "== Packages"
packages=(g++-mingw-w64-x86-64-posix wine64 wine dpkg-dev googletest cmake ninja-build ccache m4
  pkg-config zip make)
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

export CCACHE_BASEDIR=${CCACHE_BASEDIR:-/work}
cc="ccache $triple-gcc-posix"

echo "== Libraries (Debian's sources, built with MinGW-w64)"
if [[ ! -f $prefix/lib/libnettle.a || ! -f $prefix/lib/libexpat.a || ! -f $prefix/lib/libgtest.a ]]; then
  src=$out/src
  rm -rf "$src"; mkdir -p "$src/apt/lists/partial"
  # A private list of Debian's source packages: the machine's own lists are left as they are.
  echo "deb-src http://deb.debian.org/debian bookworm main" >"$src/apt/sources.list"
  apt_src=(-o Dir::Etc::SourceList="$src/apt/sources.list" -o Dir::Etc::SourceParts=/nonexistent
    -o Dir::State::Lists="$src/apt/lists" -o Dir::Cache="$src/apt/cache")
  apt-get "${apt_src[@]}" update -qq
  (cd "$src" && apt-get "${apt_src[@]}" source -qq nettle expat 2>&1 | grep -v unsandboxed || true)
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
ls "$prefix"/lib/*.a
