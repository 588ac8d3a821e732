#!/usr/bin/env bash
# Runs the first frames of the show under valgrind's memcheck: start-up as the program does it,
# then a few frames through klomp-sanitize-show (about 7 s per frame, start-up a few minutes).
# Memory errors anywhere and leaks outside Mesa's driver fail the run (tools/valgrind.supp
# names only the driver and its LLVM).
#
#   tools/valgrind.sh [--build DIR] [--frames N]
#
# --build DIR   build folder for an uninstrumented build with DWARF 4 debug information, which
#               valgrind 3.19 reads (default build-valgrind)
# --frames N    frames to play (default 3)
set -euo pipefail
cd "$(dirname "$0")/.."
build=build-valgrind
frames=3
while [ $# -gt 0 ]; do
  case "$1" in
    --build) build=$2; shift 2 ;;
    --frames) frames=$2; shift 2 ;;
    -h|--help) sed -n '2,13p' "$0"; exit 0 ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
  esac
done
if [ ! -d assets/gfx ] || [ ! -f assets/music/klomp.ogg ]; then
  echo "valgrind: the generated assets are missing; build them first (tools/test.sh)" >&2
  exit 2
fi
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKLOMP_BUILD_ASSETS=OFF \
  -DKLOMP_BUILD_TESTS=OFF -DKLOMP_KEEP_GL_DRIVER=OFF -DCMAKE_CXX_FLAGS="-gdwarf-4" > /dev/null
cmake --build "$build" -j"$(nproc)" --target klomp-sanitize-show

log="$build/valgrind.log"
echo "== $frames frames under valgrind memcheck (log: $log)"
# No pin of the GL driver here: valgrind tracks the loader itself, and the pin makes it
# report false invalid reads there.
status=0
ALSOFT_DRIVERS=null tools/with-xvfb.sh valgrind --tool=memcheck --error-exitcode=99 \
  --leak-check=full --show-leak-kinds=definite,indirect,possible \
  --errors-for-leak-kinds=definite,indirect,possible \
  --suppressions=tools/valgrind.supp --keep-debuginfo=yes --num-callers=30 \
  "$build/tools/klomp-sanitize-show" --frames "$frames" > "$log" 2>&1 || status=$?
grep -E "klomp-sanitize-show:|ERROR SUMMARY|definitely lost|indirectly lost|possibly lost|suppressed:" "$log" || true
if [ "$status" -ne 0 ]; then
  echo "valgrind: FAILED (exit $status; see $log)"
  exit 1
fi
echo "valgrind: clean"
