#!/usr/bin/env bash
# Makes the Debian packages of a build and checks them as an installation would use them: the files
# each holds, that gridcast's needs no Qt or X library, that apt would accept them, and that the
# gridcast it carries converts the examples. The quillane package is checked when the build has
# the window program. (scripts/scale-out-check.sh also installs both into a fresh root and runs
# lintian.)
#   tests/package/check_deb.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "$*"; exit 1; }

(cd "$build" && cpack -B "$work/cpack" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; exit 1; }
# Each package holds the files named after it.
check_files() {  # DEB FILE...
  local deb=$1; shift
  dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' >"$work/files"
  for needed in "$@"; do
    grep -qx "$needed" "$work/files" || fail "missing from $(basename "$deb"): $needed"
  done
}
gridcast_deb=$(ls "$work"/cpack/gridcast_*.deb)
check_files "$gridcast_deb" /usr/bin/gridcast /usr/share/man/man1/gridcast.1.gz \
  /usr/share/bash-completion/completions/gridcast /usr/share/doc/gridcast/examples/notes.xls \
  /usr/share/doc/gridcast/copyright /usr/share/doc/gridcast/changelog.gz
grep -q quillane "$work/files" && fail "the gridcast package holds window files"
depends=$(dpkg-deb -f "$gridcast_deb" Depends)
[[ $depends == *libnettle* && $depends == *libexpat* ]] || fail "gridcast Depends: $depends"
[[ $depends != *qt* && $depends != *libx* ]] || fail "gridcast depends on a display: $depends"
debs=("$gridcast_deb")
if [[ -x "$build/app/quillane" ]]; then
  quillane_deb=$(ls "$work"/cpack/quillane_*.deb)
  check_files "$quillane_deb" /usr/bin/quillane /usr/share/man/man1/quillane.1.gz \
    /usr/share/applications/quillane.desktop /usr/share/icons/hicolor/32x32/apps/quillane.png \
    /usr/share/doc/quillane/help/index.html /usr/share/doc/quillane/copyright
  dpkg-deb -f "$quillane_deb" Depends | grep -q '^gridcast (= ' || fail "quillane needs gridcast"
  debs+=("$quillane_deb")
fi
if command -v apt-get >/dev/null && [[ "$(id -u)" -eq 0 ]]; then
  apt-get install --simulate -q "${debs[@]}" >"$work/apt.log" 2>&1 || { cat "$work/apt.log"; exit 1; }
fi
for deb in "${debs[@]}"; do
  dpkg-deb -x "$deb" "$work/root"
done
for page in "$work"/root/usr/share/man/man1/*.1.gz; do
  man --warnings -l <(zcat "$page") >/dev/null 2>>"$work/man.log" || true
done
if [[ -s "$work/man.log" ]]; then cat "$work/man.log"; exit 1; fi

# The packaged program, unpacked, converts the packaged examples.
mkdir "$work/out"
examples=$work/root/usr/share/doc/gridcast/examples
"$work/root/usr/bin/gridcast" "$examples/*.xls" "$examples/*.xlsx" "$examples/*.fods" \
  -d "$work/out" --log "$work/run.log" >"$work/stdout"
[[ $(grep -c '  100, ' "$work/run.log") -eq 5 ]] || { cat "$work/run.log"; exit 1; }
ls "$work/out" | grep -q '^quarterly-sales_1.htm$'
# The completion offers workbooks of every family, whatever the letter case, and not other files.
completion=$work/root/usr/share/bash-completion/completions/gridcast
offered=$(cd "$work" && touch a.XLSX b.ods c.txt && bash -c \
  'source "$1"; COMP_WORDS=(gridcast ""); COMP_CWORD=1; _gridcast; printf "%s " "${COMPREPLY[@]}"' \
  _ "$completion")
for name in a.XLSX b.ods; do [[ " $offered" == *" $name "* ]] || fail "completion: $offered"; done
[[ " $offered" != *" c.txt "* ]] || fail "completion offers c.txt: $offered"
echo "packages checked: ${debs[*]##*/}"
