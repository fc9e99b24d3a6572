#!/usr/bin/env bash
# Times gridcast (one workbook at a time, -j1, and two at a time, -j2) beside LibreOffice
# (soffice --headless --convert-to html) and Gnumeric (ssconvert -S) converting the same workbooks
# to HTML, and the start-up of `gridcast --version`. For each: wall time, CPU time (user + system,
# the tool's child processes included) and peak resident memory (of the largest single process).
# A measuring tool: not run by CI.
#
#   [EXT=xlsx] bench/convert/compare_tools.sh [GRIDCAST] [FOLDER OF WORKBOOKS]
#
# EXT is the extension of the workbooks taken from the folder (xls when not given).
# GRIDCAST defaults to build/gridcast/app/gridcast (build it with scripts/convert-examples.sh),
# the folder to ../shared/corpus. Every tool works on its own copy in a temporary folder; the
# workbooks themselves are never touched. Needs libreoffice-calc-nogui (or libreoffice-calc),
# gnumeric and GNU time (/usr/bin/time, Debian's `time`).
set -euo pipefail
cd "$(dirname "$0")/../.."
gridcast=$(realpath "${1:-build/gridcast/app/gridcast}")
corpus=$(realpath "${2:-../shared/corpus}")
ext=${EXT:-xls}
for tool in "$gridcast" soffice ssconvert /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 2; }
done

work=$(mktemp -d /tmp/quillane-compare.XXXXXX)
trap 'rm -rf "$work"' EXIT
copy() { mkdir -p "$work/$1"; find "$corpus" -maxdepth 1 -type f -iname "*.$ext" -exec cp {} "$work/$1/" \; ; }
count=$(find "$corpus" -maxdepth 1 -type f -iname "*.$ext" | wc -l)

echo "Workbooks: $count from $corpus"
echo "Machine: $(nproc) cores, $(uname -sr)"
echo
printf '%-12s %9s %9s %10s  %s\n' tool "wall s" "CPU s" "peak RSS" result

# Runs a command under GNU time and prints its figures; $1 is the label, $2 the result text
# (evaluated after the run), the rest the command.
measure() {
  local label=$1 result=$2
  shift 2
  /usr/bin/time -f '%e %U %S %M' -o "$work/time" "$@" >/dev/null 2>&1 || true
  read -r wall user system rss < <(tail -n 1 "$work/time")
  printf '%-12s %9.2f %9.2f %7d MB  %s\n' "$label" "$wall" \
    "$(awk -v u="$user" -v s="$system" 'BEGIN { print u + s }')" $((rss / 1024)) "$(eval "$result")"
}

# gridcast: one process for all workbooks, every sheet to a page.
for jobs in 1 2; do
  copy "gridcast-j$jobs"
  measure "gridcast -j$jobs" \
    'echo "$(grep -c "  100, " "$work/gridcast-j'$jobs'.log" || true) workbooks converted, $(find "$work/gridcast-j'$jobs'" -name "*.htm" | wc -l) pages"' \
    timeout 1800 "$gridcast" "$work/gridcast-j$jobs/*.$ext" -o -j"$jobs" --log "$work/gridcast-j$jobs.log"
done

# LibreOffice: one process for all workbooks (its start-up counted once), all sheets in one page.
copy soffice
mkdir -p "$work/soffice-out"
measure soffice 'echo "$(find "$work/soffice-out" -name "*.html" | wc -l) workbooks converted"' \
  bash -c "cd '$work/soffice' && timeout 1800 soffice -env:UserInstallation='file://$work/profile' \
    --headless --convert-to html --outdir '$work/soffice-out' ./*.$ext"

# Gnumeric: one process per workbook (ssconvert takes one file), every sheet to a page.
copy ssconvert
mkdir -p "$work/ssconvert-out"
measure ssconvert 'echo "$(ls "$work/ssconvert-out" | sed "s/_[0-9]*\.html$//" | sort -u | wc -l) workbooks converted, $(find "$work/ssconvert-out" -name "*.html" | wc -l) pages"' \
  bash -c "for book in '$work'/ssconvert/*.$ext; do name=\$(basename \"\$book\" .$ext);
    timeout 120 ssconvert -S \"\$book\" '$work/ssconvert-out/'\"\${name}_%n.html\"; done"

# Start-up: 200 runs of gridcast --version one after the other, and of /bin/true for the cost of
# starting any process on this machine; the mean wall time of one run of each.
mean_ms() {
  local start end
  start=$(date +%s%N)
  for i in $(seq 200); do "$@" >/dev/null; done
  end=$(date +%s%N)
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.2f", (b - a) / 200 / 1e6 }'
}
echo
echo "gridcast --version: $(mean_ms "$gridcast" --version) ms a run (/bin/true: $(mean_ms /bin/true) ms;" \
  "means of 200), peak RSS $(/usr/bin/time -f '%M' "$gridcast" --version 2>&1 >/dev/null) KB"
