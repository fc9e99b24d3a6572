#!/usr/bin/env bash
# Times gridcast beside LibreOffice (soffice --headless --convert-to html) and Gnumeric
# (ssconvert -S) converting the same workbooks to HTML. A measuring tool: not run by CI.
#
#   bench/convert/compare_tools.sh [GRIDCAST] [FOLDER OF WORKBOOKS]
#
# GRIDCAST defaults to build/gridcast/app/gridcast (build it with scripts/convert-examples.sh),
# the folder to ../shared/corpus. Every tool works on its own copy in a temporary folder; the
# workbooks themselves are never touched. Needs libreoffice-calc-nogui (or libreoffice-calc) and
# gnumeric.
set -euo pipefail
cd "$(dirname "$0")/../.."
gridcast=$(realpath "${1:-build/gridcast/app/gridcast}")
corpus=$(realpath "${2:-../shared/corpus}")
for tool in "$gridcast" soffice ssconvert; do
  command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 2; }
done

work=$(mktemp -d /tmp/quillane-compare.XXXXXX)
trap 'rm -rf "$work"' EXIT
copy() { mkdir -p "$work/$1"; find "$corpus" -maxdepth 1 -type f -iname '*.xls' -exec cp {} "$work/$1/" \; ; }
count=$(find "$corpus" -maxdepth 1 -type f -iname '*.xls' | wc -l)
now() { date +%s.%N; }
seconds() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", b - a }'; }

echo "Workbooks: $count from $corpus"
echo "Machine: $(nproc) cores, $(uname -sr)"
echo

# gridcast: one process for all workbooks, every sheet to a page.
copy gridcast
start=$(now)
timeout 1800 "$gridcast" "$work/gridcast/*.xls" -o --log="$work/gridcast.log" >/dev/null 2>&1 || true
end=$(now)
pages=$(find "$work/gridcast" -name '*.htm' | wc -l)
converted=$(grep -c '  100, ' "$work/gridcast.log" || true)
printf '%-10s %8.2f s  %4d workbooks converted, %5d pages\n' gridcast "$(seconds "$start" "$end")" "$converted" "$pages"

# LibreOffice: one process for all workbooks (its start-up counted once), all sheets in one page.
copy soffice
mkdir -p "$work/soffice-out"
start=$(now)
(cd "$work/soffice" && timeout 1800 soffice -env:UserInstallation="file://$work/profile" --headless \
  --convert-to html --outdir "$work/soffice-out" ./*.xls >/dev/null 2>&1) || true
end=$(now)
pages=$(find "$work/soffice-out" -name '*.html' | wc -l)
printf '%-10s %8.2f s  %4d workbooks converted\n' soffice "$(seconds "$start" "$end")" "$pages"

# Gnumeric: one process per workbook (ssconvert takes one file), every sheet to a page.
copy ssconvert
mkdir -p "$work/ssconvert-out"
start=$(now)
converted=0
for book in "$work"/ssconvert/*.xls; do
  name=$(basename "$book" .xls)
  if timeout 120 ssconvert -S "$book" "$work/ssconvert-out/${name}_%n.html" >/dev/null 2>&1; then
    converted=$((converted + 1))
  fi
done
end=$(now)
pages=$(find "$work/ssconvert-out" -name '*.html' | wc -l)
printf '%-10s %8.2f s  %4d workbooks converted, %5d pages\n' ssconvert "$(seconds "$start" "$end")" "$converted" "$pages"
