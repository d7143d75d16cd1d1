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

# Starts a server and waits until it answers; false when it does not. Once in a while, with
# the machine busy, a server that has given its number never answers (seen when another test's
# server on the same number was just shutting down), so a second or third server is tried.
# -noreset: by default an X server resets when its last client leaves, so the client that
# came next (the game, just after the readiness check below disconnected) was now and then
# refused with "Connection reset by peer", and Allegro failed to start without a reason.
start_server() {
  : >"$number_file"
  Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp -noreset 3>"$number_file" >/dev/null 2>&1 &
  xvfb_pid=$!
  # Xvfb writes the number once it accepts connections.
  for _ in $(seq 1 200); do
    [ -s "$number_file" ] && grep -q $'\n' "$number_file" && break
    kill -0 "$xvfb_pid" 2>/dev/null || return 1
    sleep 0.05
  done
  number="$(tr -d '[:space:]' <"$number_file")"
  [ -n "$number" ] || return 1
  export DISPLAY=":$number"
  # The number comes once the server listens; a client is only sure to get in once it
  # answers.
  for _ in $(seq 1 100); do
    xdpyinfo >/dev/null 2>&1 && return 0
    kill -0 "$xvfb_pid" 2>/dev/null || return 1
    sleep 0.05
  done
  return 1
}
unset XAUTHORITY
for attempt in 1 2 3; do
  start_server && break
  echo "own-display: Xvfb (attempt $attempt${DISPLAY:+, $DISPLAY}) did not answer" >&2
  kill "$xvfb_pid" 2>/dev/null || true
  wait "$xvfb_pid" 2>/dev/null || true
  xvfb_pid=""
  [ "$attempt" -eq 3 ] && { echo "own-display: no X server could be started" >&2; exit 1; }
done
status=0
"$@" || status=$?
exit "$status"
