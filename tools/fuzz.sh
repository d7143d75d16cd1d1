#!/usr/bin/env bash
# Fuzzes with libFuzzer under AddressSanitizer and UBSan: "maps" the Tiled map readers and
# addToZone (with a tileset and an image the map may name), "images" every image decoder,
# "replays" the recordings' reader and player, "sheets" Aseprite's sprite sheets, "sounds"
# the sound files' reader (WAV, Ogg Vorbis, FLAC) and the music's streaming, "saves" the saved
# games' reader.
# Builds the fuzz targets with clang into build-fuzz/, starts from the committed seeds (and,
# for maps, those that ship with Tiled), and runs for the given number of seconds (default
# 600) with inputs of up to 1 MiB, their length let grow quickly (-len_control=10), so that
# sizes and counts that only large files reach are tried. A finding is written to build-fuzz/findings/ and ends the run with a non-zero status.
# Usage: fuzz.sh maps|images|replays|sheets|sounds|saves [seconds] [extra libFuzzer options]
set -euo pipefail
cd "$(dirname "$0")/.."
target="${1:?usage: fuzz.sh maps|images|replays|sheets|sounds|saves [seconds] [libFuzzer options]}"
seconds="${2:-600}"
shift $(( $# < 2 ? $# : 2 ))
command -v clang++ >/dev/null || { echo "fuzz.sh needs clang (apt-get install clang libclang-rt-14-dev)" >&2; exit 1; }
CXX=clang++ CC=clang cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTREL_BUILD_FUZZ=ON \
  -DTREL_SANITIZE=ON -DTREL_BUILD_DEMO=OFF -DTREL_BUILD_BENCH=OFF -DTREL_BUILD_TOOLS=OFF >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target map_fuzz image_fuzz replay_fuzz sheet_fuzz sound_fuzz save_fuzz >/dev/null

# Absolute paths: the map target works in a folder of its own, where its log goes.
corpus=$PWD/build-fuzz/corpus-$target
mkdir -p "$corpus" build-fuzz/findings
case "$target" in
  maps)
    binary=build-fuzz/tests/map_fuzz
    cp tests/fuzz/seeds/* "$corpus"/
    if [ -d /usr/share/doc/tiled/examples ]; then
      find /usr/share/doc/tiled/examples -name '*.tmx*' -o -name '*.tsx*' -o -name '*.json*' |
        while read -r f; do cp "$f" "$corpus/$(echo "${f#/usr/share/doc/tiled/examples/}" | tr / _)"; done
    fi ;;
  images)
    binary=build-fuzz/tests/image_fuzz
    cp tests/fuzz/image-seeds/* "$corpus"/ ;;
  replays)
    binary=build-fuzz/tests/replay_fuzz
    cp tests/fuzz/replay-seeds/* "$corpus"/ ;;
  sheets)
    binary=build-fuzz/tests/sheet_fuzz
    cp tests/fuzz/sheet-seeds/* "$corpus"/ ;;
  sounds)
    binary=build-fuzz/tests/sound_fuzz
    cp tests/fuzz/sound-seeds/* "$corpus"/ ;;
  saves)
    binary=build-fuzz/tests/save_fuzz
    cp tests/fuzz/save-seeds/* "$corpus"/ ;;
  *) echo "fuzz.sh: unknown target $target (maps, images, replays, sheets, sounds or saves)" >&2; exit 2 ;;
esac
ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=1" UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1" \
LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0" \
  "$binary" "$corpus" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 -max_len=1048576 -len_control=10 \
  -artifact_prefix="$PWD/build-fuzz/findings/$target-" -print_final_stats=1 "$@"
