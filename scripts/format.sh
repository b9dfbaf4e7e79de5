#!/usr/bin/env bash
# Formats every C++ source of the repository with the house style in .clang-format.
#   format.sh          rewrite the files in place
#   format.sh --check  change nothing; list the files that differ and fail if any does
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang-format >/dev/null || { echo "format.sh: clang-format is not installed" >&2; exit 2; }

mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ "${1:-}" = "--check" ]; then
    bad=0
    for f in "${files[@]}"; do
        if ! clang-format "$f" | cmp -s - "$f"; then
            echo "not formatted: $f"
            bad=1
        fi
    done
    exit $bad
fi
clang-format -i "${files[@]}"
