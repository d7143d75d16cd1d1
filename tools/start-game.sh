# Sourced by the scripts that run a game under X (which define fail). start_game BINARY starts
# the game in the background in the current folder, its output in game.out, and sets pid.
# Allegro used to fail to start now and then beside other X tests ("Could not initialize
# Allegro!" and no reason): XOpenDisplay was refused while the virtual server reset itself,
# which own-display.sh now stops it doing. Such a start says nothing of the game, so it is
# still tried again, up to three times, as the memcheck run does. Any other ending counts.
start_game() {
  for attempt in 1 2 3; do
    rm -f log.txt
    "$1" >game.out 2>&1 &
    pid=$!
    for _ in $(seq 1 20); do
      grep -q "Success!" log.txt 2>/dev/null && return 0
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.05
    done
    kill -0 "$pid" 2>/dev/null && return 0
    grep -q "Could not initialize Allegro!" log.txt 2>/dev/null || return 0
    wait "$pid" || true
    pid=""
    echo "Allegro did not start (attempt $attempt); trying again." >&2
  done
  fail "Allegro did not start in three attempts: $(tail -c 200 log.txt)"
}
