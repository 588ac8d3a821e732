#!/usr/bin/env bash
# Installs the Debian packages that building, playing, rendering and testing klomp need.
# Only missing packages are installed; needs root (or sudo) the first time.
set -euo pipefail
packages=(
  build-essential cmake pkg-config
  libsfml-dev libopenal-dev nlohmann-json3-dev
  libgtest-dev googletest libbenchmark-dev
  xvfb xauth xdotool x11-utils libx11-dev libxfixes-dev libgl1-mesa-dri
  librsvg2-bin python3 python3-numpy python3-pil python3-fonttools python3-shapely python3-scipy fonts-dejavu-core
  vorbis-tools sox libsox-fmt-all ffmpeg
  clang libclang-rt-14-dev valgrind libfaketime
  dpkg-dev lintian groff-base
  g++-mingw-w64-x86-64-posix wine64 ninja-build zip
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi
