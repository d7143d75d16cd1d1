#!/usr/bin/env bash
# Checks the framework as a game author gets it:
#  1. installed to a temporary prefix, the example game (examples/lanternfall) builds against
#     it with find_package(Trel0) and with pkg-config trel0, and both builds run, as does the
#     CMake build's second game, which loads its level from a Tiled map, and the example's
#     headless tests (GoogleTest) build against it and pass with no display, as do the
#     platformer example (examples/hopper) and its test; installed again
#     to another prefix (cmake --install --prefix), pkg-config still finds it there;
#  2. built as a static library (-DTREL_STATIC=ON) and installed to another prefix, the same
#     games build against it with find_package(Trel0) and pkg-config --static, and run: maps
#     and PNG images load as with the shared library;
#  3. the Debian package made by CPack has the expected name, files, SONAME and Depends, and
#     the example builds against its files;
#  4. with --install-deb (CI, as root), the package is installed with apt-get and the example
#     is built against the system's copy, both ways, and run.
# Runs the games on displays of their own. Usage: check-package.sh [--install-deb]
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
install_deb=0
[ "${1:-}" = "--install-deb" ] && install_deb=1
work="$(mktemp -d /tmp/trel-package-XXXXXX)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
example="$root/examples/lanternfall"
sources=(main.cpp Moth.cpp Lantern.cpp Wisp.cpp)
version="$(sed -n 's/^project(trel VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"
arch="$(dpkg --print-architecture)"
engine_only=(-DTREL_BUILD_TESTS=OFF -DTREL_BUILD_DEMO=OFF -DTREL_BUILD_BENCH=OFF -DTREL_BUILD_TOOLS=OFF)

# Builds the example with CMake against the given prefix into $1, then runs it.
with_cmake() {
  local build="$1" prefix="$2"
  cmake -S "$example" -B "$build" -DCMAKE_PREFIX_PATH="$prefix" >"$build.log" 2>&1 ||
    { cat "$build.log"; fail "configuring the example against $prefix"; }
  cmake --build "$build" -j"$(nproc)" >>"$build.log" 2>&1 ||
    { cat "$build.log"; fail "building the example against $prefix"; }
  tools/own-display.sh tools/run-example.sh "$build/lanternfall" "$example"
  tools/own-display.sh tools/run-example.sh "$build/lanternfall-map" "$example"
}
# Builds the example with one compiler line from pkg-config's flags (extra pkg-config
# options in $4), then runs it.
with_pkg_config() {
  local out="$1" pc_path="$2" rpath="$3" options="${4:-}"
  (cd "$example" && PKG_CONFIG_PATH="$pc_path" g++ -std=c++17 -Wall -Wextra "${sources[@]}" \
    -o "$out" $(PKG_CONFIG_PATH="$pc_path" pkg-config $options --cflags --libs trel0) ${rpath:+-Wl,-rpath,"$rpath"}) ||
    fail "building the example with pkg-config $options (PKG_CONFIG_PATH=$pc_path)"
  tools/own-display.sh tools/run-example.sh "$out" "$example"
}

echo "== 1. installed to a temporary prefix =="
prefix="$work/prefix"
cmake -S . -B "$work/build-prefix" -DCMAKE_INSTALL_PREFIX="$prefix" "${engine_only[@]}" >/dev/null
cmake --build "$work/build-prefix" -j"$(nproc)" >/dev/null
cmake --install "$work/build-prefix" >/dev/null
libdir="$(cd "$prefix" && ls -d lib*/ | head -1)"; libdir="$prefix/${libdir%/}"
with_cmake "$work/example-cmake" "$prefix"
# The example's own headless tests against the installed headers and library, in a copy of
# the example (they write their log and a recording where they run).
cp -r "$example" "$work/example-copy"
cmake -S "$work/example-copy" -B "$work/example-tests" -DCMAKE_PREFIX_PATH="$prefix" \
  -DLANTERNFALL_TESTS=ON >"$work/example-tests.log" 2>&1 &&
  cmake --build "$work/example-tests" -j"$(nproc)" >>"$work/example-tests.log" 2>&1 ||
  { cat "$work/example-tests.log"; fail "building the example's tests against $prefix"; }
env -u DISPLAY ctest --test-dir "$work/example-tests" --output-on-failure >/dev/null ||
  fail "the example's headless tests against $prefix"
# The platformer example and its headless test, against the same prefix, warnings as errors.
cp -r "$root/examples/hopper" "$work/hopper-copy"
cmake -S "$work/hopper-copy" -B "$work/hopper-build" -DCMAKE_PREFIX_PATH="$prefix" -DHOPPER_TESTS=ON \
  -DCMAKE_CXX_FLAGS=-Werror >"$work/hopper.log" 2>&1 &&
  cmake --build "$work/hopper-build" -j"$(nproc)" >>"$work/hopper.log" 2>&1 ||
  { cat "$work/hopper.log"; fail "building the platformer example against $prefix"; }
env -u DISPLAY ctest --test-dir "$work/hopper-build" --output-on-failure >/dev/null ||
  fail "the platformer's headless tests against $prefix"
with_pkg_config "$work/example-pc" "$libdir/pkgconfig" "$libdir"
PKG_CONFIG_PATH="$libdir/pkgconfig" pkg-config --modversion trel0 | grep -qx "$version" ||
  fail "pkg-config reports another version"
# The same build installed to another prefix than it was configured for: trel0.pc points
# into wherever it lies.
moved="$work/moved-prefix"
cmake --install "$work/build-prefix" --prefix "$moved" >/dev/null
moved_libdir="$moved/${libdir#"$prefix"/}"
with_pkg_config "$work/example-moved-pc" "$moved_libdir/pkgconfig" "$moved_libdir"

echo "== 2. a static library installed to a prefix =="
static_prefix="$work/static-prefix"
cmake -S . -B "$work/build-static" -DCMAKE_INSTALL_PREFIX="$static_prefix" -DTREL_STATIC=ON \
  "${engine_only[@]}" >/dev/null
cmake --build "$work/build-static" -j"$(nproc)" >/dev/null
cmake --install "$work/build-static" >/dev/null
static_libdir="$(cd "$static_prefix" && ls -d lib*/ | head -1)"; static_libdir="$static_prefix/${static_libdir%/}"
[ -f "$static_libdir/libtrel0.a" ] && ! ls "$static_libdir"/libtrel0.so* >/dev/null 2>&1 ||
  fail "the static build installed no libtrel0.a, or a shared library besides"
with_cmake "$work/example-static-cmake" "$static_prefix"
with_pkg_config "$work/example-static-pc" "$static_libdir/pkgconfig" "" --static
ldd "$work/example-static-pc" | grep -q libtrel0 && fail "the static example still needs libtrel0.so"

echo "== 3. the Debian package =="
cmake -S . -B "$work/build-deb" -DCMAKE_INSTALL_PREFIX=/usr "${engine_only[@]}" >/dev/null
cmake --build "$work/build-deb" -j"$(nproc)" >/dev/null
(cd "$work/build-deb" && cpack -G DEB >/dev/null) || fail "cpack -G DEB failed"
deb="$work/build-deb/trel0-dev_${version}_${arch}.deb"
[ -f "$deb" ] || fail "no $(basename "$deb"); cpack made: $(ls "$work/build-deb"/*.deb 2>/dev/null)"
contents="$(dpkg-deb -c "$deb" | awk '{print $6}')"
multiarch="$(gcc -print-multiarch)"
for f in "lib/$multiarch/libtrel0.so" "lib/$multiarch/libtrel0.so.0" "lib/$multiarch/libtrel0.so.$version" \
  include/trel0/trel.h include/trel0/core/TrelSystem.h include/trel0/gfx/TrelIGfx.h \
  include/trel0/math/FixedPoint.h include/trel0/world/TrelZone.h include/trel0/map/TrelTiledMap.h \
  "lib/$multiarch/cmake/Trel0/Trel0Config.cmake" "lib/$multiarch/cmake/Trel0/Trel0ConfigVersion.cmake" \
  "lib/$multiarch/cmake/Trel0/Trel0Targets.cmake" "lib/$multiarch/pkgconfig/trel0.pc"; do
  grep -qx "./usr/$f" <<<"$contents" || fail "the package lacks /usr/$f"
done
for f in README.md docs/first-game.md docs/architecture.md examples/lanternfall/main.cpp \
  examples/lanternfall/CMakeLists.txt examples/lanternfall/data/moth.json examples/lanternfall/data/moth-sheet.png \
  examples/hopper/Hopper.cpp examples/hopper/data/level.tmx; do
  grep -qx "./usr/share/doc/trel0-dev/$f" <<<"$contents" || fail "the package lacks the documentation's $f"
done
grep -qE "/internal/|/image/|TrelImageFile.h|TrelTiledData.h|TrelTmxReader.h" <<<"$contents" &&
  fail "the package holds an engine-internal header"
depends="$(dpkg-deb -f "$deb" Depends)"
for p in liballegro4-dev liballegro4.4 libpng16-16 libjpeg62-turbo libpugixml1v5 zlib1g libzstd1 libsndfile1 libvorbisfile3 libvorbis0a; do
  grep -q "\b$p\b" <<<"$depends" || fail "Depends lacks $p: $depends"
done
dpkg-deb -x "$deb" "$work/deb-root"
# Installed-Size in KiB against the unpacked files' own size: within a tenth.
declared="$(dpkg-deb -f "$deb" Installed-Size)"
real="$(du -sk --apparent-size "$work/deb-root" | cut -f1)"
[ $((declared * 10)) -le $((real * 11)) ] && [ $((declared * 10)) -ge $((real * 9)) ] ||
  fail "Installed-Size is $declared KiB; the files take $real KiB"
soname="$(objdump -p "$work/deb-root/usr/lib/$multiarch/libtrel0.so.$version" | awk '/SONAME/ {print $2}')"
[ "$soname" = "libtrel0.so.0" ] || fail "SONAME is $soname"
# The package's files, unpacked: the CMake package finds itself wherever it lies.
with_cmake "$work/example-deb-files" "$work/deb-root/usr"
echo "PASS: $(basename "$deb"): files, SONAME $soname, Depends: $depends"

if [ "$install_deb" -eq 1 ]; then
  echo "== 4. the Debian package installed =="
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  cp "$deb" "$work/install.deb"
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y "$work/install.deb" >/dev/null
  with_cmake "$work/example-system-cmake" /usr
  with_pkg_config "$work/example-system-pc" "" ""
fi
echo "PASS: the example builds and runs against the installed framework"
