#!/usr/bin/env bash
# End to end: starts the game on the current X display, checks the splash on screen, holds
# Escape, and checks the exit status and the shutdown lines at the end of log.txt.
# Usage: e2e-game.sh GAME_BINARY
set -euo pipefail
game="$(realpath "$1")"
work="$(mktemp -d /tmp/trel-e2e-XXXXXX)"
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT
cd "$work"

fail() { echo "FAIL: $*" >&2; exit 1; }

"$game" >game.out 2>&1 &
pid=$!
for _ in $(seq 1 100); do
  xdotool search --name '^Quenmoor$' >/dev/null 2>&1 && break
  kill -0 "$pid" 2>/dev/null || fail "game ended early: $(tail -5 game.out)"
  sleep 0.1
done
xdotool search --name '^Quenmoor$' >/dev/null 2>&1 || fail "no window titled Quenmoor appeared"
sleep 0.5
import -window root shot.png

# Fraction of white pixels where the two centred splash lines are drawn.
white() { convert shot.png -crop "$1" -fill black +opaque white -format '%[fx:mean]' info:; }
version_band=$(white 200x8+220+440)
name_band=$(white 64x8+288+456)
awk -v a="$version_band" -v b="$name_band" 'BEGIN { exit !(a > 0.1 && b > 0.1) }' \
  || fail "splash text not on screen (white fractions $version_band, $name_band)"

xdotool keydown Escape; sleep 0.3; xdotool keyup Escape
for _ in $(seq 1 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && fail "game still running 10 s after Escape"
status=0; wait "$pid" || status=$?
[ "$status" -eq 0 ] || fail "exit status $status"

expected=$'\n\nSystem shutdown.\n\nFreeing sprite resources...\nBegin interface deinit\n\nDestroying buffer bitmaps...\n\nClosing video device...\nDone!\n\nDeinitializing Allegro...\nDeinit complete!\n'
tail_bytes=$(tail -c "${#expected}" log.txt; echo x)
[ "${tail_bytes%x}" = "$expected" ] || fail "log.txt does not end with the shutdown lines"
echo "PASS: splash shown, exit status 0, shutdown logged in order"
