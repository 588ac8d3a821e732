#!/usr/bin/env bash
# Installs what is missing, builds klomp with its assets and plays the show from the
# repository root. On a machine without a display it renders the whole show to klomp.mp4
# under Xvfb instead, one span per core rendered at once.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  exec build/src/klomp
fi
jobs=$(nproc)
echo "No display found: rendering the show to klomp.mp4 under Xvfb in $jobs jobs (this takes a while)."
tools/with-xvfb.sh build/tools/klomp-capture --video klomp.mp4 --jobs "$jobs"
echo "The show is in $(pwd)/klomp.mp4"
