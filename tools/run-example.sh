#!/usr/bin/env bash
# Runs the example game on the current X display for a few seconds: Right held until the
# first lantern is lit, then Escape. Passes when the game ends with status 0 and its log
# holds the expected line (by default, that the lantern was lit) and ends with the engine's
# shutdown.
# Usage: run-example.sh GAME_BINARY EXAMPLE_DIR [EXPECTED_LOG_LINE]
# (EXAMPLE_DIR is the folder that holds data/)
set -euo pipefail
game="$(realpath "$1")"
example="$(realpath "$2")"
expected="${3:-Lantern lit: 1 of 12}"
work="$(mktemp -d /tmp/trel-example-XXXXXX)"
pid=""
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; [ -f "$work/log.txt" ] && tail -c 400 "$work/log.txt" >&2; exit 1; }
. "$(dirname "$0")/start-game.sh"

cp -r "$example/data" "$work/data"
cd "$work"
start_game "$game"
for _ in $(seq 1 100); do
  xdotool search --name '^Lanternfall$' >/dev/null 2>&1 && break
  kill -0 "$pid" 2>/dev/null || fail "the game ended early"
  sleep 0.1
done
window="$(xdotool search --name '^Lanternfall$' | head -1)" || fail "no window titled Lanternfall"
xdotool windowfocus --sync "$window"
sleep 0.3
xdotool keydown Right; sleep 1.5; xdotool keyup Right
xdotool keydown Escape; sleep 0.3; xdotool keyup Escape
for _ in $(seq 1 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && fail "the game still runs after Escape"
status=0; wait "$pid" || status=$?; pid=""
[ "$status" -eq 0 ] || fail "exit status $status"
grep -q "Init successful!" log.txt || fail "the log does not show the start-up"
grep -qF "$expected" log.txt || fail "the log lacks \"$expected\""
ending="$(tail -c 17 log.txt; echo x)"
[ "${ending%x}" = $'Deinit complete!\n' ] || fail "the log does not end with the shutdown"
echo "PASS: $game ran, logged \"$expected\", ended with status 0 and a complete log"
