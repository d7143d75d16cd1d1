#!/usr/bin/env bash
# Counts how often a game starts: runs it N times in a row on the current X display (run it
# under tools/own-display.sh), each run stopped once its log says "Init successful!", and
# prints how many started and how many failed, with the log of each failure. Used to hunt
# start-up faults that happen once in hundreds (run another busy loop beside it).
# Usage: count-starts.sh GAME_BINARY DATA_DIR [N]
set -euo pipefail
game="$(realpath "$1")"
data="$(realpath "$2")"
runs="${3:-500}"
work="$(mktemp -d /tmp/trel-starts-XXXXXX)"
trap 'rm -rf "$work"' EXIT
ln -s "$data" "$work/data"
cd "$work"
started=0
failed=0
for run in $(seq 1 "$runs"); do
  rm -f log.txt
  "$game" >/dev/null 2>&1 &
  pid=$!
  ok=0
  for _ in $(seq 1 200); do
    grep -q "Init successful!" log.txt 2>/dev/null && { ok=1; break; }
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.02
  done
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  if [ "$ok" = 1 ]; then
    started=$((started + 1))
  else
    failed=$((failed + 1))
    echo "start $run failed: $(tr '\n' ' ' <log.txt 2>/dev/null | tail -c 300)"
  fi
done
echo "$started of $runs started, $failed failed"
[ "$failed" = 0 ]
