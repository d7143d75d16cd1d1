#!/usr/bin/env bash
# Fuzzes the Tiled map readers with libFuzzer under AddressSanitizer and UBSan: builds the
# fuzz target with clang into build-fuzz/, starts from the committed seeds and the maps that
# ship with Tiled, and runs for the given number of seconds (default 600). A finding is
# written to build-fuzz/findings/ and ends the run with a non-zero status.
# Usage: fuzz-maps.sh [seconds] [extra libFuzzer options]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-600}"
shift || true
command -v clang++ >/dev/null || { echo "fuzz-maps.sh needs clang (apt-get install clang libclang-rt-14-dev)" >&2; exit 1; }
CXX=clang++ CC=clang cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTREL_BUILD_FUZZ=ON \
  -DTREL_SANITIZE=ON -DTREL_BUILD_DEMO=OFF -DTREL_BUILD_BENCH=OFF -DTREL_BUILD_TOOLS=OFF >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target map_fuzz >/dev/null

corpus=build-fuzz/corpus
mkdir -p "$corpus" build-fuzz/findings
cp tests/fuzz/seeds/* "$corpus"/
if [ -d /usr/share/doc/tiled/examples ]; then
  find /usr/share/doc/tiled/examples -name '*.tmx*' -o -name '*.tsx*' -o -name '*.json*' |
    while read -r f; do cp "$f" "$corpus/$(echo "${f#/usr/share/doc/tiled/examples/}" | tr / _)"; done
fi
ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=1" UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1" \
  build-fuzz/tests/map_fuzz "$corpus" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 \
  -artifact_prefix=build-fuzz/findings/ -print_final_stats=1 "$@"
