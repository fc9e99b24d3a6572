#!/usr/bin/env bash
# Checks that two gridcast builds write the same pages: converts each corpus with both, with and
# without -f and -c, and compares every file written (by SHA-256) and the log codes.
# Usage: bench/batch/same_pages.sh OLD_GRIDCAST NEW_GRIDCAST [CORPUS_FOLDER...]
# (default corpora: ../shared/corpus, corpus-xlsx and corpus-ods beside the repository)
set -euo pipefail
declare -A build=([old]=$1 [new]=$2); shift 2
here=$(cd "$(dirname "$0")/../.." && pwd)
corpora=("$@")
((${#corpora[@]})) || corpora=("$here/../../shared/corpus" "$here/../../shared/corpus-xlsx" \
                                "$here/../../shared/corpus-ods")
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
sums() {  # the files of a folder with their sums, and the log without its times
  (cd "$1" && find . -type f ! -name '*.log' -print0 | sort -z | xargs -0 -r sha256sum)
  sed -e 's/^[0-9:]*  //' -e "s|$1|OUT|g" "$2" | sort
}
status=0
for corpus in "${corpora[@]}"; do
  [[ -d "$corpus" ]] || { echo "skip: no $corpus"; continue; }
  for flags in "-o" "-o -c" "-o -f" "-o -f -c"; do
    for side in old new; do
      rm -rf "${work:?}/$side"; mkdir "$work/$side"
      # shellcheck disable=SC2086
      "${build[$side]}" -j1 $flags -s -d "$work/$side" -l "$work/$side.log" "$corpus/*" \
        >/dev/null 2>&1 || true
      sums "$work/$side" "$work/$side.log" > "$work/$side.sums"
    done
    files=$(find "$work/new" -type f | wc -l)
    if cmp -s "$work/old.sums" "$work/new.sums"; then
      echo "same: $corpus $flags ($files files)"
    else
      echo "DIFFERENT: $corpus $flags"; diff "$work/old.sums" "$work/new.sums" | head -20 || true
      status=1
    fi
  done
done
exit $status
