#!/usr/bin/env bash
# Builds klomp, its tools and its test suite with AddressSanitizer (LeakSanitizer included)
# and UndefinedBehaviorSanitizer, runs the whole test suite, then plays the whole show at a
# low fixed frame rate through klomp-sanitize-show, the capture tool (trace-only and video)
# and the bench. Then builds the capture tool and the bench with ThreadSanitizer and runs them
# over the whole show the same way (ThreadSanitizer's runtime owns operator new, so that
# bench counts no allocations). Any sanitizer report fails the run; nothing of ours is
# suppressed.
#
#   tools/sanitize.sh [--build DIR] [--fps N] [--no-tests] [--no-show] [--no-tsan]
#                     [-- CTEST_OPTIONS...]
#
# --build DIR   build folder of the ASan build (default build-asan; TSan: DIR-tsan)
# --fps N       frame rate of the show runs (default 4: about 790 frames)
# The asset set must exist (tools/test.sh or tools/play.sh builds it).
#
# Mesa's software GL driver leaks a few blocks when it is unloaded at exit, reported without a
# module name that suppressions could match. The test programs keep the driver loaded
# (tests/support/TestMain.cpp), and so do the klomp program and klomp-sanitize-show in this
# build (KLOMP_KEEP_GL_DRIVER, tools/keep-gl-driver.cpp).
#
# The sanitizer runtimes of clang 14 and GCC 12 misread a dynamic TLS block under glibc 2.36
# when they track __tls_get_addr, and LeakSanitizer then crashes in its scan at exit ("Tracer
# caught signal 11"). intercept_tls_get_addr=0 turns that tracking off; the blocks are still
# scanned, as heap blocks reachable from each thread's TLS.
#
# The capture tests' allocation count (Allocations.*) files every allocation by the code on
# the stack; under AddressSanitizer the allocator itself is part of the program, so every
# allocation looks like the program's own. That test is left to the plain build.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build-asan
fps=4
run_tests=1
run_show=1
run_tsan=1
ctest_options=()
while [ $# -gt 0 ]; do
  case "$1" in
    --build) build=$2; shift 2 ;;
    --fps) fps=$2; shift 2 ;;
    --no-tests) run_tests=0; shift ;;
    --no-show) run_show=0; shift ;;
    --no-tsan) run_tsan=0; shift ;;
    --) shift; ctest_options=("$@"); break ;;
    -h|--help) sed -n '2,30p' "$0"; exit 0 ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
  esac
done
if [ ! -d assets/gfx ] || [ ! -f assets/music/klomp.ogg ]; then
  echo "sanitize: the generated assets are missing; build them first (tools/test.sh)" >&2
  exit 2
fi
compiler=()
command -v clang++ > /dev/null && compiler=(-DCMAKE_CXX_COMPILER=clang++)
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKLOMP_BUILD_ASSETS=OFF \
  -DKLOMP_KEEP_GL_DRIVER=ON "${compiler[@]}" \
  -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
targets=()
[ "$run_tests" -eq 0 ] && targets=(--target klomp klomp-sanitize-show klomp-capture klomp-bench)
cmake --build "$build" -j"$(nproc)" ${targets[@]+"${targets[@]}"}

export ASAN_OPTIONS="detect_leaks=1:intercept_tls_get_addr=0:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
status=0
if [ "$run_tests" -eq 1 ]; then
  echo "== the test suite under ASan/LSan/UBSan"
  (cd "$build" && GTEST_FILTER='-Allocations.*' ctest --output-on-failure -j"$(nproc)" \
     ${ctest_options[@]+"${ctest_options[@]}"}) || status=1
fi
# Runs a command of the whole show under the sanitizers; its log must hold no report.
# run_logged NAME PATTERN COMMAND...
run_logged() {
  local name=$1 pattern=$2
  shift 2
  local log="$logs/$name.log"
  echo "== $name"
  if ALSOFT_DRIVERS=null tools/with-xvfb.sh "$@" > "$log" 2>&1 && ! grep -qE "$pattern" "$log"; then
    grep -E "^klomp-[a-z-]+: |frames" "$log" | head -3
  else
    cat "$log"
    status=1
  fi
}
# The tools' runs over the whole show: the timeline alone, the video with its sound, and the
# bench's frame timing.
run_capture() {
  local tag=$1 dir=$2 pattern=$3
  run_logged "$tag-capture-trace" "$pattern" "$dir/tools/klomp-capture" --fps 60 \
    --trace "$logs/$tag-trace.tsv" --trace-only --quiet
  run_logged "$tag-capture-video" "$pattern" "$dir/tools/klomp-capture" --fps "$fps" --jobs 1 \
    --video "$logs/$tag-show.mp4" --no-extras --quiet
}
logs="$build/sanitize-logs"
mkdir -p "$logs"
asan_pattern="ERROR: (Address|Leak)Sanitizer|runtime error:"
if [ "$run_show" -eq 1 ]; then
  run_logged "asan-show-${fps}fps" "$asan_pattern" "$build/tools/klomp-sanitize-show" --fps "$fps"
  run_capture asan "$build" "$asan_pattern"
  run_logged "asan-bench" "$asan_pattern" "$build/tools/klomp-bench" --fps "$fps" --no-passes
fi
if [ "$run_tsan" -eq 1 ]; then
  tsan="$build-tsan"
  cmake -S . -B "$tsan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKLOMP_BUILD_ASSETS=OFF \
    -DKLOMP_BUILD_TESTS=OFF "${compiler[@]}" \
    -DCMAKE_CXX_FLAGS="-fsanitize=thread -fno-omit-frame-pointer"
  cmake --build "$tsan" -j"$(nproc)" --target klomp-capture klomp-bench
  export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"
  tsan_pattern="WARNING: ThreadSanitizer|ThreadSanitizer:"
  run_capture tsan "$tsan" "$tsan_pattern"
  run_logged "tsan-bench" "$tsan_pattern" "$tsan/tools/klomp-bench" --fps "$fps" --no-passes
fi
[ "$status" -eq 0 ] && echo "sanitize: clean" || echo "sanitize: FAILED"
exit "$status"
