#!/usr/bin/env bash
# Plays a scripted session of about ten seconds on the current display: each arrow key held
# in turn, a screenshot, then Escape. Leaves out/demo.png and log.txt in the project root.
# Usage: demo-session.sh GAME_BINARY, or demo-session.sh COMMAND... that runs the game
# (a checker such as valgrind in front of it, say).
set -euo pipefail
cd "$(dirname "$0")/.."
mkdir -p out

"$@" >out/game.out 2>&1 &
pid=$!
# Thirty seconds: a game under a checker starts slowly.
for _ in $(seq 1 300); do
  xdotool search --name '^Quenmoor$' >/dev/null 2>&1 && break
  kill -0 "$pid" 2>/dev/null || { echo "The game ended early; see log.txt." >&2; exit 1; }
  sleep 0.1
done
xdotool windowfocus --sync "$(xdotool search --name '^Quenmoor$' | head -1)" 2>/dev/null || true
hold() { xdotool keydown "$1"; sleep "$2"; xdotool keyup "$1"; }
hold Right 2.5; hold Down 2.5; hold Left 1.5; hold Up 1.5
sleep 0.5
import -window root -crop 640x480+0+0 +repage out/demo.png
hold Escape 0.3
status=0; wait "$pid" || status=$?
echo "Game exited with status $status."
echo "Screenshot: $PWD/out/demo.png"
echo "Log:        $PWD/log.txt"
exit "$status"
