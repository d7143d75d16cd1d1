#!/usr/bin/env bash
# Configures and builds into the given directory (default build/), warnings as errors as the
# project's developers and CI build; extra arguments go to cmake. BUILD_TARGET limits the
# build to one target.
set -euo pipefail
cd "$(dirname "$0")/.."
dir="${1:-build}"
shift || true
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTREL_WARNINGS_AS_ERRORS=ON "$@" >/dev/null
cmake --build "$dir" -j"$(nproc)" ${BUILD_TARGET:+--target "$BUILD_TARGET"}
