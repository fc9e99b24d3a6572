#!/usr/bin/env bash
# Checks that every C++ file of the tree is formatted by .clang-format (lines of up to 100
# columns). In a git checkout the files are the tracked *.cpp and *.h; in a tree without git (a
# release tarball) they are every *.cpp and *.h outside the build and output folders and hidden
# folders. To format the tree: bash scripts/check-format.sh --fix
set -euo pipefail
cd "$(dirname "$0")/.."
mode=(--dry-run --Werror)
[[ "${1:-}" == "--fix" ]] && mode=(-i)
list_sources() {
  if command -v git >/dev/null && git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git ls-files -z '*.cpp' '*.h'
  else
    find . \( -path ./build -o -path ./out -o -name '.*' ! -name . \) -prune -o \
      -type f \( -name '*.cpp' -o -name '*.h' \) -printf '%P\0' | sort -z
  fi
}
count=$(list_sources | tr -cd '\0' | wc -c)
((count > 0)) || { echo "format: no C++ file found" >&2; exit 1; }
list_sources | xargs -0 clang-format "${mode[@]}"
echo "format: every C++ file is formatted ($count files)"
