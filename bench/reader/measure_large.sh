#!/usr/bin/env bash
# measure_large.sh BUILD [WORKDIR]: the time and peak memory of a generated million-cell workbook,
# .xlsx and .ods, read alone, published alone and converted whole on one core.
#
# BUILD is a build folder configured with -DQUILLANE_BENCH=ON (a release build: measuring a debug
# or sanitizer build says nothing), built with the targets gridcast and dump_model. WORKDIR
# (default: a new temporary folder) receives the two workbooks, made once by make_large_xlsx.py
# and make_ods.py, and the pages. Each figure is the best of three runs: "wall" is elapsed time,
# "cpu" user plus system time of the process, "rss" its peak resident memory. Run it on a quiet
# machine; on a busy one the processor times still compare, the elapsed times do not.
set -eu
build=$(cd "$1" && pwd)
work=${2:-$(mktemp -d)}
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$work"
[ -f "$work/large.xlsx" ] || python3 "$here/make_large_xlsx.py" "$work/large.xlsx"
[ -f "$work/large.ods" ] || python3 "$here/make_ods.py" large "$work/large.ods"

# best LABEL COMMAND...: runs the command three times, prints the best wall, cpu and rss.
best() {
  local label=$1
  shift
  local w c r bw=999 bc=999 br=999999999
  for _ in 1 2 3; do
    /usr/bin/time -o "$work/time.txt" -f "%e %U %S %M" "$@" > /dev/null 2>&1
    read -r w c r < <(awk 'END { print $1, $2 + $3, $4 }' "$work/time.txt")
    bw=$(awk -v a="$bw" -v b="$w" 'BEGIN { print (b < a ? b : a) }')
    bc=$(awk -v a="$bc" -v b="$c" 'BEGIN { print (b < a ? b : a) }')
    [ "$r" -lt "$br" ] && br=$r
  done
  printf '%-28s wall %5.2f s  cpu %5.2f s  rss %4d MB\n' "$label" "$bw" "$bc" $((br / 1024))
}

for f in large.xlsx large.ods; do
  best "$f read" "$build/bench/reader/dump_model" --quiet "$work/$f"
  rm -rf "$work/pages" && mkdir "$work/pages"
  best "$f convert (-j1)" "$build/app/gridcast" -j1 -o -d "$work/pages" -l="$work/run.log" \
    "$work/$f"
  best "$f convert (-j1 -c)" "$build/app/gridcast" -j1 -o -c -d "$work/pages" \
    -l="$work/run.log" "$work/$f"
  # The publisher alone, in memory: processor time and cells per second.
  "$build/bench/reader/dump_model" --quiet --publish "$work/$f" 2>&1 | sed 's/^.*: published/  published/'
done
