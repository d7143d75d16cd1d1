#!/usr/bin/env bash
# Installs the Debian packages that building, testing and running the project need,
# skipping those already present.
set -euo pipefail

packages=(
  cmake g++ clang make pkg-config clang-format
  liballegro4-dev libpng-dev libjpeg62-turbo-dev
  libpugixml-dev nlohmann-json3-dev zlib1g-dev libzstd-dev libxxhash-dev
  libsndfile1-dev libvorbis-dev libmp3lame-dev
  libgtest-dev libgmock-dev libbenchmark-dev tiled
  xvfb xauth xfonts-base xdotool imagemagick x11-utils
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y "${missing[@]}"
