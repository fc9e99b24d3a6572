#!/usr/bin/env bash
# Configures and builds one configuration: scripts/build.sh DIR [cmake options...] [-- targets...]
set -euo pipefail
dir=$1; shift
options=(); targets=()
while (($#)); do
  if [[ "$1" == "--" ]]; then shift; targets=("$@"); break; fi
  options+=("$1"); shift
done
cd "$(dirname "$0")/.."
mkdir -p "$(dirname "$dir")"
cmake -S . -B "$dir" -G Ninja "${options[@]}" > "$dir.configure.log" 2>&1 || { cat "$dir.configure.log"; exit 1; }
if ((${#targets[@]})); then
  cmake --build "$dir" --target "${targets[@]}"
else
  cmake --build "$dir"
fi
