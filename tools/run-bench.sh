#!/usr/bin/env bash
# Installs what is missing, builds in Release mode, and runs every benchmark (extra arguments
# go to Google Benchmark, for example --benchmark_filter=fixsin), then the running demo's
# timing under a virtual display of its own: ticks per second over ten seconds, CPU, and the
# time from launch to the first drawn frame. Run from anywhere; it works in the project root.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
tools/build.sh build-release -DCMAKE_BUILD_TYPE=Release -DTREL_BUILD_BENCH=ON -DTREL_BUILD_DEMO=ON \
  -DTREL_BUILD_TOOLS=ON -DTREL_BUILD_TESTS=OFF >/dev/null
# Repetitions interleaved at random, so that a slow spell of the machine does not fall on one
# side of a ratio only.
build-release/bench/trel_bench --benchmark_repetitions=5 --benchmark_enable_random_interleaving=true \
  --benchmark_report_aggregates_only=true "$@"
echo
echo "The running demo (10 s under Xvfb):"
tools/own-display.sh bash -c 'TREL_LAUNCH_NS=$(date +%s%N) build-release/tools/demo_timing >/dev/null'
