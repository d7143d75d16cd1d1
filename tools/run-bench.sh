#!/usr/bin/env bash
# Installs what is missing, builds in Release mode, and runs every benchmark; extra
# arguments go to Google Benchmark (for example --benchmark_filter=fixsin).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
BUILD_TARGET=trel_bench tools/build.sh build-release -DCMAKE_BUILD_TYPE=Release -DTREL_BUILD_BENCH=ON
exec build-release/bench/trel_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true "$@"
