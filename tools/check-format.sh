#!/usr/bin/env bash
# Fails when a C++ source of ours differs from what .clang-format makes of it.
# `tools/check-format.sh --fix` formats them instead.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
mapfile -t files < <(git ls-files '*.h' '*.cpp' 2>/dev/null || find . -path ./build\* -prune -o \( -name '*.h' -o -name '*.cpp' \) -print)
if [[ "${1:-}" == --fix ]]; then
    clang-format -i "${files[@]}"
    exit 0
fi
clang-format --dry-run --Werror "${files[@]}"
echo "format: ${#files[@]} files as .clang-format has them"
