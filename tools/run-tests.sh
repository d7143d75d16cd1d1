#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: first the normal build, then the
# same suite built with AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh
tools/build.sh build -DTREL_BUILD_TESTS=ON -DTREL_BUILD_DEMO=ON -DTREL_BUILD_BENCH=ON -DTREL_SANITIZE=OFF
tools/build.sh build-sanitize -DTREL_BUILD_TESTS=ON -DTREL_BUILD_DEMO=ON -DTREL_SANITIZE=ON -DTREL_BUILD_BENCH=OFF

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:allocator_may_return_null=1"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
# Tests that need X start a virtual display of their own (tools/own-display.sh).
echo "== tests =="
ctest --test-dir build --output-on-failure -j2
echo "== tests under ASan and UBSan =="
ctest --test-dir build-sanitize --output-on-failure -j2
