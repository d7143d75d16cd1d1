#!/usr/bin/env bash
# Checks that every C++ source of the project is formatted by the project's .clang-format;
# prints the places that are not. With --fix, formats them instead.
# Usage: check-format.sh [--fix] [clang-format binary]
set -euo pipefail
cd "$(dirname "$0")/.."
fix=0
[ "${1:-}" = "--fix" ] && { fix=1; shift; }
tool="${1:-clang-format}"
mapfile -t files < <(git ls-files --cached --others --exclude-standard -- '*.cpp' '*.h' 2>/dev/null || find engine game tests tools bench examples -name '*.cpp' -o -name '*.h')
if [ "$fix" -eq 1 ]; then
  "$tool" -i "${files[@]}"
else
  "$tool" --dry-run --Werror "${files[@]}"
fi
