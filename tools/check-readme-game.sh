#!/usr/bin/env bash
# Keeps the README's "Writing a game" true: its code block, as printed, is built against the
# framework of the given build installed to a temporary prefix (pkg-config, -Wall -Wextra
# -Werror, as the README says), and run on the current X display: the right arrow held for a
# second, then Escape; it must end with status 0 and a complete log.
# Usage: check-readme-game.sh README BUILD_DIR DATA_DIR
set -euo pipefail
readme="$(realpath "$1")"
build="$(realpath "$2")"
data="$(realpath "$3")"
work="$(mktemp -d /tmp/trel-readme-XXXXXX)"
pid=""
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; [ -f "$work/game/log.txt" ] && tail -c 400 "$work/game/log.txt" >&2; exit 1; }
. "$(dirname "$0")/start-game.sh"

mkdir -p "$work/game/data"
awk '/^## Writing a game$/ { section = 1 } section && /^```cpp$/ { inside = 1; next }
     inside && /^```$/ { exit } inside { print }' "$readme" >"$work/game/main.cpp"
[ -s "$work/game/main.cpp" ] || fail "the README has no code block under \"Writing a game\""
cmake --install "$build" --prefix "$work/prefix" >/dev/null
libdir="$(ls -d "$work/prefix"/lib*/ | head -1)"; libdir="${libdir%/}"
cd "$work/game"
# shellcheck disable=SC2046
g++ -std=c++17 -Wall -Wextra -Werror main.cpp $(PKG_CONFIG_PATH="$libdir/pkgconfig" pkg-config \
  --cflags --libs trel0) -Wl,-rpath,"$libdir" -o mygame 2>"$work/build.log" ||
  { cat "$work/build.log"; fail "the README's game does not build as the README says"; }
cp "$data/Tile1.bmp" "$data/Ball.bmp" data/
start_game ./mygame
for _ in $(seq 1 100); do
  xdotool search --name '^My Game$' >/dev/null 2>&1 && break
  kill -0 "$pid" 2>/dev/null || fail "the game ended early"
  sleep 0.1
done
xdotool windowfocus --sync "$(xdotool search --name '^My Game$' | head -1)" || fail "no window"
xdotool keydown Right; sleep 1; xdotool keyup Right
xdotool key Escape
status=0
for _ in $(seq 1 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
wait "$pid" || status=$?
pid=""
[ "$status" -eq 0 ] || fail "the game ended with status $status"
grep -q "Exiting main loop normally." log.txt || fail "the main loop did not end normally"
grep -q "ERROR\|WARNING" log.txt && fail "the log holds an error or a warning"
echo "PASS: the README's game builds with -Werror and runs"
