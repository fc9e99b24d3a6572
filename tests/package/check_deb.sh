#!/usr/bin/env bash
# Makes the Debian package of a build and checks it as an installation would use it: the files it
# holds, that apt would accept it, and that the gridcast it carries converts the examples.
#   tests/package/check_deb.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

(cd "$build" && cpack -B "$work/cpack" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/cpack/quillane_*.deb)
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' >"$work/files"
for needed in /usr/bin/gridcast /usr/share/man/man1/gridcast.1.gz \
              /usr/share/bash-completion/completions/gridcast \
              /usr/share/doc/quillane/examples/notes.xls; do
  grep -qx "$needed" "$work/files" || { echo "missing from the package: $needed"; exit 1; }
done
if [[ -x "$build/app/quillane" ]]; then
  for needed in /usr/bin/quillane /usr/share/applications/quillane.desktop \
                /usr/share/icons/hicolor/32x32/apps/quillane.png \
                /usr/share/doc/quillane/help/index.html; do
    grep -qx "$needed" "$work/files" || { echo "missing from the package: $needed"; exit 1; }
  done
fi
dpkg-deb -f "$deb" Depends | grep -q libnettle || { echo "no Depends on nettle"; exit 1; }
if command -v apt-get >/dev/null && [[ "$(id -u)" -eq 0 ]]; then
  apt-get install --simulate -q "$deb" >"$work/apt.log" 2>&1 || { cat "$work/apt.log"; exit 1; }
fi
man --warnings -l <(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/man/man1/gridcast.1.gz | zcat) \
  >/dev/null 2>"$work/man.log" || true
if [[ -s "$work/man.log" ]]; then cat "$work/man.log"; exit 1; fi

# The packaged program, unpacked, converts the packaged examples.
dpkg-deb -x "$deb" "$work/root"
mkdir "$work/out"
examples=$work/root/usr/share/doc/quillane/examples
"$work/root/usr/bin/gridcast" "$examples/*.xls" "$examples/*.xlsx" "$examples/*.fods" \
  -d "$work/out" --log "$work/run.log" >"$work/stdout"
[[ $(grep -c '  100, ' "$work/run.log") -eq 5 ]] || { cat "$work/run.log"; exit 1; }
ls "$work/out" | grep -q '^quarterly-sales_1.htm$'
bash -n "$work/root/usr/share/bash-completion/completions/gridcast"
echo "package $(basename "$deb") checked"
