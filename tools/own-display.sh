#!/usr/bin/env bash
# Runs a command on a virtual X display of its own: a private Xvfb that picks a free display
# number itself (-displayfd), so tests run side by side never see each other's windows, key
# presses or message boxes. The server is stopped when the command ends; the command's exit
# status is passed on.
set -euo pipefail

number_file="$(mktemp /tmp/trel-display-XXXXXX)"
xvfb_pid=""
cleanup() {
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  rm -f "$number_file"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$number_file" >/dev/null 2>&1 &
xvfb_pid=$!
# Xvfb writes the number once it accepts connections.
for _ in $(seq 1 200); do
  [ -s "$number_file" ] && grep -q $'\n' "$number_file" && break
  kill -0 "$xvfb_pid" 2>/dev/null || { echo "own-display: Xvfb failed to start" >&2; exit 1; }
  sleep 0.05
done
number="$(tr -d '[:space:]' <"$number_file")"
[ -n "$number" ] || { echo "own-display: Xvfb gave no display number" >&2; exit 1; }
export DISPLAY=":$number"
unset XAUTHORITY
# The number comes once the server listens; a client is only sure to get in once it answers.
for _ in $(seq 1 100); do
  xdpyinfo >/dev/null 2>&1 && break
  kill -0 "$xvfb_pid" 2>/dev/null || { echo "own-display: Xvfb on $DISPLAY ended" >&2; exit 1; }
  sleep 0.05
done
xdpyinfo >/dev/null 2>&1 || { echo "own-display: Xvfb on $DISPLAY does not answer" >&2; exit 1; }
status=0
"$@" || status=$?
exit "$status"
