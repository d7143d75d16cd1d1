#!/usr/bin/env bash
# End to end, on the current X display:
#  1. the game runs: arrow keys scroll the view, the status strip shows its labels, Escape
#     ends it with status 0 and the shutdown lines at the end of log.txt;
#  2. with data/Gem.bmp missing, and 3. with data/Tile1.bmp cut short, the splash stays on
#     screen under a fatal message box that names the file; dismissing it ends the game with
#     status 1, and the log gives the reason and is complete.
# Usage: e2e-game.sh GAME_BINARY RENDER_TEXT_BINARY DATA_DIR
set -euo pipefail
game="$(realpath "$1")"
render_text="$(realpath "$2")"
data="$(realpath "$3")"
work="$(mktemp -d /tmp/trel-e2e-XXXXXX)"
pid=""
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }
. "$(dirname "$0")/start-game.sh"
hold() { xdotool keydown "$1"; sleep "$2"; xdotool keyup "$1"; }
# Waits up to ten seconds for a window titled exactly $1 while the game runs.
wait_window() {
  for _ in $(seq 1 100); do
    xdotool search --name "^$1\$" >/dev/null 2>&1 && return 0
    kill -0 "$pid" 2>/dev/null || fail "game ended early: $(tail -c 300 log.txt)"
    sleep 0.1
  done
  fail "no window titled $1"
}
# Waits up to ten seconds for the game to end and returns its exit status.
wait_exit() {
  for _ in $(seq 1 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$pid" 2>/dev/null && fail "game still running"
  local status=0; wait "$pid" || status=$?; pid=""
  return "$status"
}
# Mean position "x y" of the pixels in a crop whose colour passes an awk test on r, g, b;
# "none" when no pixel does.
find_pixels() {
  convert "$1" -crop "$2" +repage -depth 8 txt:- |
    awk -F'[,:() ]+' -v test="$3" 'NR > 1 {
      r = $3; g = $4; b = $5
      hit = (test == "red") ? (r > 200 && g < 60 && b < 60) : (r > 170 && g < 100 && b < 100)
      if (hit) { sx += $1; sy += $2; n++ } }
      END { if (n) printf "%d %d\n", sx / n, sy / n; else print "none" }'
}
# True when TEXT is drawn at X,Y of the screenshot.
shows_text() {
  "$render_text" "$2" "$work/text.bmp"
  local w=$(( 8 * ${#2} ))
  local n
  convert "$1" -crop "${w}x8+$3+$4" +repage "$work/crop.png"
  n=$(compare -metric AE -fuzz 10% "$work/crop.png" "$work/text.bmp" null: 2>&1 || true)
  [ "$n" = "0" ]
}
shutdown_tail=$'\n\nSystem shutdown.\n\nClearing zone...\nFreeing sprite resources...\nBegin interface deinit\n\nDestroying buffer bitmaps...\n\nClosing video device...\nDone!\n\nDeinitializing Allegro...\nDeinit complete!\n'
log_ends_with_shutdown() {
  local tail_bytes
  tail_bytes=$(tail -c "${#shutdown_tail}" log.txt; echo x)
  [ "${tail_bytes%x}" = "$shutdown_tail" ]
}

# --- 1. A normal run -------------------------------------------------------------------
mkdir "$work/run" && cd "$work/run" && cp -r "$data" data
start_game "$game"
wait_window Quenmoor
# Keys go to the focused window; an earlier test may have left the focus elsewhere.
xdotool windowfocus --sync "$(xdotool search --name '^Quenmoor$' | head -1)"
sleep 0.5
hold Right 1.5
hold Down 1.5
sleep 0.3
import -window root after.png
# The whole field shows one tile, so the scroll is measured from the ball: its minimap marker
# (one pixel per 32 of the field) gives its place in the field, the picture its place on
# the screen; the difference is the camera's position.
read -r mx my <<<"$(find_pixels after.png 32x32+600+448 red)"
read -r bx by <<<"$(find_pixels after.png 640x448+0+0 ball)"
[ "$mx" != none ] && [ "$bx" != none ] || fail "ball or minimap marker not found"
camera_x=$(( mx * 32 - bx )); camera_y=$(( my * 32 - by ))
[ "$camera_x" -gt 100 ] && [ "$camera_y" -gt 100 ] ||
  fail "the view did not follow the ball (camera about $camera_x, $camera_y)"
for label in "Time:@16@460" "Last Time:@160@454" "Best Time:@160@468" "Gems:@352@460"; do
  IFS=@ read -r text x y <<<"$label"
  shows_text after.png "$text" "$x" "$y" || fail "status strip does not show \"$text\""
done
hold Escape 0.3
status=0; wait_exit || status=$?
[ "$status" -eq 0 ] || fail "exit status $status after Escape"
log_ends_with_shutdown || fail "log.txt does not end with the shutdown lines"
echo "PASS: view scrolled (camera about $camera_x, $camera_y), strip labels shown, status 0, shutdown logged"

# --- 2. A missing image, 3. an image cut short --------------------------------------------
# Runs the game on a copy of data/ that the given command has spoiled and checks that the
# splash stays under a fatal message box naming the file, that dismissing it ends the game
# with status 1, and that the log says why and ends with the shutdown lines.
# Usage: expect_fatal_image CASE FILE REASON_IN_LOG SPOIL_COMMAND...
expect_fatal_image() {
  local name="$1" file="$2" reason="$3"
  shift 3
  mkdir "$work/$name" && cd "$work/$name" && cp -r "$data" data && "$@"
  start_game "$game"
  local box=""
  for _ in $(seq 1 100); do
    box=$(xdotool search --name '^xmessage$' 2>/dev/null | head -1 || true)
    [ -n "$box" ] && break
    kill -0 "$pid" 2>/dev/null || fail "$name: game ended without a message box"
    sleep 0.1
  done
  [ -n "$box" ] || fail "$name: no message box"
  sleep 0.3
  import -window root splash.png
  local box_text
  box_text=$(ps -o args= -C xmessage)
  xdotool windowfocus --sync "$box" key Return 2>/dev/null || true
  grep -qF "$file" <<<"$box_text" || fail "$name: message box does not name the file: $box_text"
  shows_text splash.png "Varnak v0.0.7.6 Pre-alpha" 220 440 || fail "$name: splash version line not shown"
  shows_text splash.png "Quenmoor" 288 456 || fail "$name: splash name line not shown"
  status=0; wait_exit || status=$?
  [ "$status" -eq 1 ] || fail "$name: exit status $status"
  grep -qF "$reason" log.txt || fail "$name: log does not say \"$reason\""
  grep -qF "Could not load the image file \"$file\"." log.txt || fail "$name: log does not name the file"
  log_ends_with_shutdown || fail "$name: log.txt does not end with the shutdown lines after the error"
  echo "PASS: $name image is fatal (status 1), names the file, splash shown, shutdown logged"
}

expect_fatal_image missing data/Gem.bmp 'Image file "data/Gem.bmp" cannot be read' rm data/Gem.bmp
expect_fatal_image cut-short data/Tile1.bmp 'Image file "data/Tile1.bmp" is cut short: 70 of 3126 bytes.' \
  truncate -s 70 data/Tile1.bmp
