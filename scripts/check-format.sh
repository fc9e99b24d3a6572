#!/usr/bin/env bash
# Checks that every C++ file of the tree is formatted by .clang-format (lines of up to 100
# columns). To format the tree: git ls-files '*.cpp' '*.h' | xargs clang-format -i
set -euo pipefail
cd "$(dirname "$0")/.."
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror
echo "format: every C++ file is formatted"
