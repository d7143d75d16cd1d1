#!/usr/bin/env bash
# Keeps "Writing your first game" true to the example game:
#  1. every code block of the guide marked <!-- example: FILE PART --> must equal, line for
#     line, the part of the example's FILE between "guide: PART" and "guide: end" (FILE may
#     be in another example folder beside it: ../hopper/Hopper.cpp);
#  2. given a build folder, the framework built there is installed to a temporary prefix and
#     the game made of the guide's blocks alone (each file its blocks in order) is built with
#     the guide's build file and run: the steps are complete as written.
# Usage: check-guide.sh GUIDE EXAMPLE_DIR [BUILD_DIR]
set -euo pipefail
guide="$(realpath "$1")"
example="$(realpath "$2")"
build="${3:+$(realpath "$3")}"
here="$(cd "$(dirname "$0")" && pwd)"
work="$(mktemp -d /tmp/trel-guide-XXXXXX)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# The lines of FILE between its markers for PART.
region() {
  awk -v part="$2" '
    $0 ~ "^[ \t]*(//|#) guide: end$" && inside { exit }
    inside { print }
    $0 ~ "^[ \t]*(//|#) guide: " part "$" { inside = 1 }' "$example/$1"
}

mkdir "$work/game"
blocks=0
while read -r file part; do
  # The fenced block that follows the marker.
  awk -v marker="<!-- example: $file $part -->" '
    $0 == marker { found = 1; next }
    found && /^```/ { if (open) exit; open = 1; next }
    open { print }' "$guide" >"$work/block"
  region "$file" "$part" >"$work/region"
  [ -s "$work/region" ] || fail "$file has no part \"$part\""
  diff -u "$work/region" "$work/block" >"$work/diff" ||
    fail "the guide's block \"$file $part\" differs from the example:$(printf '\n'; cat "$work/diff")"
  # A block of another example (../hopper/...) is held to its file, not built into this game.
  if [ "${file#../}" = "$file" ]; then
    cat "$work/block" >>"$work/game/$file"
    echo >>"$work/game/$file"
  fi
  blocks=$((blocks + 1))
done < <(sed -n 's/^<!-- example: \([^ ]*\) \([^ ]*\) -->$/\1 \2/p' "$guide")
[ "$blocks" -gt 0 ] || fail "the guide marks no block"
echo "PASS: $blocks blocks of the guide equal the example's code"

[ -n "$build" ] || exit 0
cmake --install "$build" --prefix "$work/prefix" >/dev/null
cp -r "$example/data" "$work/game/data"
# Warnings are errors here: the guide's code must build cleanly under the flags it recommends.
cmake -S "$work/game" -B "$work/game-build" -DCMAKE_PREFIX_PATH="$work/prefix" -DCMAKE_CXX_FLAGS=-Werror >"$work/cmake.log" 2>&1 ||
  { cat "$work/cmake.log"; fail "the guide's build file does not configure"; }
cmake --build "$work/game-build" >>"$work/cmake.log" 2>&1 ||
  { cat "$work/cmake.log"; fail "the guide's game does not build"; }
"$here/own-display.sh" "$here/run-example.sh" "$work/game-build/lanternfall" "$work/game" \
  "Entering main loop."
echo "PASS: the game made of the guide's blocks builds and runs"
