#!/usr/bin/env bash
# batch_files.sh GRIDCAST [CORPUS] [WORKDIR]: what a batch costs beside the floor, copying its
# output.
#
# Converts the .xls-family workbooks of CORPUS (default: ../shared/corpus beside the repository)
# with -j1 -o, with and without -f and -c, and prints for each run the processor time (user +
# system), the elapsed time and the peak memory (best of three runs; see timed below), and
# the system calls of one run (strace -c -f): openat, mkdir, rmdir, rename, unlink, getdents64.
# "own openat" leaves out those of the start (libraries, locale). The same figures follow for
# `cp -r` of the run's output, the floor; then -j2 against -j1, and the conversion of a generated
# million-cell .xlsx and .ods (made once into WORKDIR by bench/reader/make_large_xlsx.py and
# make_ods.py) on one core.
#
# Every run writes into a folder of its own and nothing is removed until the end: on a file
# system that notes recently deleted files (ext4 without a journal), the files made in the first
# minutes after many were deleted cost several times more system time, whoever deleted them (this
# script's own clean-up included, for a run started right after it). A WORKDIR on a tmpfs
# (/dev/shm/...) measures the program rather than the disk. Needs Debian's time and strace; run it
# on a quiet machine: elapsed times (and -j2) say nothing on a busy one. SKIP_LARGE=1 leaves out
# the million-cell workbooks.
set -euo pipefail
gridcast=$(realpath "$1")
here=$(cd "$(dirname "$0")/../.." && pwd)
corpus=$(realpath "${2:-$here/../../shared/corpus}")
work=${3:-}
if [[ -z "$work" ]]; then work=$(mktemp -d); fi
mkdir -p "$work"
runs=$(mktemp -d -p "$work" runs.XXXX)
trap 'rm -rf "$runs"' EXIT

books=$(find "$corpus" -maxdepth 1 -type f \( -iname '*.xls' -o -iname '*.xlt' -o -iname '*.xlw' \) | wc -l)
echo "corpus: $corpus, $books workbooks of the .xls family ($(du -sh "$corpus" | cut -f1))"
fresh() { mktemp -d -p "$runs" run.XXXXXX; }

# timed LABEL COMMAND...: best of three of cpu (user + system, and each), wall and peak memory;
# each run in a fresh folder ({} in the command stands for it). Times come from the process's own
# resource use to the microsecond (GNU time rounds to hundredths, which is the whole of a small
# copy); the peak from GNU time. Leaves the last folder in $last.
timed() {
  local label=$1 bc=999 bu=0 bs=0 bw=999 bm=999999999 out u s w m
  shift
  for _ in 1 2 3; do
    out=$(fresh)
    read -r u s w _ < <(python3 "$here/bench/batch/rusage.py" \
      /usr/bin/time -v -o "$runs/time.txt" "${@//\{\}/$out}")
    m=$(awk -F': ' '/Maximum resident/ { print $2 }' "$runs/time.txt")
    if awk -v a="$bc" -v u="$u" -v s="$s" 'BEGIN { exit !(u + s < a) }'; then
      bc=$(awk -v u="$u" -v s="$s" 'BEGIN { print u + s }') bu=$u bs=$s
    fi
    bw=$(awk -v a="$bw" -v b="$w" 'BEGIN { print (b < a ? b : a) }')
    ((m < bm)) && bm=$m
  done
  last=$out
  printf '%-22s cpu %6.3f s (user %5.3f, sys %5.3f)  wall %6.3f s  peak %4d MB' "$label" "$bc" \
    "$bu" "$bs" "$bw" $((bm / 1024))
}

# calls COMMAND...: the system calls of one run, in a fresh folder.
calls() {
  local out
  out=$(fresh)
  strace -f -qq -o "$runs/trace.txt" \
    -e trace=openat,mkdir,mkdirat,rmdir,rename,renameat,renameat2,unlink,unlinkat,getdents64 \
    "${@//\{\}/$out}" > /dev/null 2>&1 || true
  local own
  own=$(grep -c 'openat(' "$runs/trace.txt" | tr -d ' ')
  own=$((own - $(grep 'openat(' "$runs/trace.txt" | grep -cE '"/(lib|usr|etc|sys|proc)/')))
  # The *at forms count with the plain ones; unlinkat of a folder is an rmdir.
  printf '\n    %s' "$(awk '{
      if (!match($0, /^[0-9]+ +[a-z0-9]+\(/)) next
      call = $2; sub(/\(.*/, "", call); sub(/(at2|at)$/, "", call)
      if (call == "unlink" && $0 ~ /AT_REMOVEDIR/) call = "rmdir"
      n[call]++
    } END {
      split("openat mkdir rmdir rename unlink getdents64", order, " ")
      for (i = 1; i <= 6; ++i) printf "%s %d  ", order[i], n[order[i] == "openat" ? "open" : order[i]]
    }' "$runs/trace.txt")"
  printf '(own openat %d)\n' "$own"
}

for flags in "-o" "-o -c" "-o -f" "-o -f -c"; do
  # shellcheck disable=SC2206
  cmd=("$gridcast" -j1 $flags -l "$runs/run.log" -d "{}" "$corpus/*.xl?")
  timed "gridcast -j1 $flags" "${cmd[@]}"
  output=$last
  files=$(find "$output" -type f | wc -l)
  folders=$(find "$output" -mindepth 1 -type d | wc -l)
  calls "${cmd[@]}"
  echo "    wrote $files files in $((folders + 1)) folders ($(du -sh "$output" | cut -f1))"
  timed "  cp -r of its output" cp -r "$output" "{}/copy"
  calls cp -r "$output" "{}/copy"
done

timed "gridcast -j1 -o" "$gridcast" -j1 -o -l "$runs/run.log" -d "{}" "$corpus/*.xl?"
echo
timed "gridcast -j2 -o" "$gridcast" -j2 -o -l "$runs/run.log" -d "{}" "$corpus/*.xl?"
echo

[[ -n "${SKIP_LARGE:-}" ]] && exit 0
[[ -f "$work/large.xlsx" ]] || python3 "$here/bench/reader/make_large_xlsx.py" "$work/large.xlsx"
[[ -f "$work/large.ods" ]] || python3 "$here/bench/reader/make_ods.py" large "$work/large.ods"
for book in large.xlsx large.ods; do
  timed "$book -j1 -o" "$gridcast" -j1 -o -l "$runs/run.log" -d "{}" "$work/$book"
  echo
done
