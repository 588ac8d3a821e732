#!/usr/bin/env bash
# Renders the release video, release/klomp-<version>.mp4: the whole show at 60 fps with its
# sound, from the release build (make-packages.sh makes it). On a software renderer this takes
# about an hour. Arguments go to klomp-capture (e.g. --start 50 --end 60 for a part).
set -euo pipefail
cd "$(dirname "$0")/../.."
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-release/CMakeCache.txt)
mkdir -p release
LP_NUM_THREADS=0 tools/with-xvfb.sh build-release/tools/klomp-capture --fps 60 \
    --video "release/klomp-$version.mp4" "$@"
ls -l "release/klomp-$version.mp4"
