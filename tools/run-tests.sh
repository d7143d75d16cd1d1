#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the normal build's suite, the same
# suite built with AddressSanitizer and UndefinedBehaviorSanitizer, the timer, tick, input,
# pacing and sound output tests built with ThreadSanitizer, the demo's recordings replayed by a clang build at
# -O0, the scripted demo session under valgrind, and the framework installed and packaged
# with the example game built against it.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh
tools/build.sh build -DTREL_BUILD_TESTS=ON -DTREL_BUILD_DEMO=ON -DTREL_BUILD_BENCH=ON -DTREL_SANITIZE=OFF
tools/build.sh build-sanitize -DTREL_BUILD_TESTS=ON -DTREL_BUILD_DEMO=ON -DTREL_SANITIZE=ON -DTREL_BUILD_BENCH=OFF
tools/build.sh build-tsan -DTREL_BUILD_TESTS=ON -DTREL_BUILD_DEMO=OFF -DTREL_SANITIZE_THREAD=ON -DTREL_BUILD_BENCH=OFF

# Tests that need X start a virtual display of their own (tools/own-display.sh).
echo "== tests =="
ctest --test-dir build --output-on-failure -j2

echo "== tests under ASan and UBSan =="
ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:allocator_may_return_null=1" \
LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0" \
UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
  ctest --test-dir build-sanitize --output-on-failure -j2

echo "== timer, tick, input, pacing and sound output tests under TSan =="
TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1" \
  ctest --test-dir build-tsan --output-on-failure -j2 -R '^(Input|Pacing|Platform|SystemZones|SoundCapture)\.'

echo "== recordings replayed by a clang build at -O0, with no display =="
# The committed recordings hold every tick's state hash, so they pass only where clang's
# unoptimised code computes the very states of the optimised gcc builds above.
CC=clang CXX=clang++ cmake -S . -B build-clang -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O0 -g" \
  -DTREL_WARNINGS_AS_ERRORS=ON -DTREL_BUILD_TESTS=ON -DTREL_BUILD_DEMO=ON -DTREL_BUILD_BENCH=OFF \
  -DTREL_BUILD_TOOLS=OFF >/dev/null
cmake --build build-clang -j"$(nproc)" --target replay_tests hopper_tests >/dev/null
env -u DISPLAY ctest --test-dir build-clang --output-on-failure -j2 -R '^(Replays|HeadlessRun|HopperScenes)\.'

echo "== scripted demo session under valgrind memcheck =="
tools/valgrind-demo.sh build/game/game

echo "== the framework as a game author gets it: install, CMake package, pkg-config, .deb =="
# CI also installs the .deb into the (throw-away) system; elsewhere the system is left alone.
tools/check-package.sh ${TREL_INSTALL_DEB:+--install-deb}
