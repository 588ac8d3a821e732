#!/usr/bin/env bash
# Builds klomp, its tools and its test suite with AddressSanitizer (LeakSanitizer included)
# and UndefinedBehaviorSanitizer, runs the whole test suite, then plays the whole show at a
# low fixed frame rate through klomp-sanitize-show. Any sanitizer report fails the run.
#
#   tools/sanitize.sh [--build DIR] [--fps N] [--no-tests] [--no-show] [-- CTEST_OPTIONS...]
#
# --build DIR   build folder (default build-asan)
# --fps N       frame rate of the show run (default 4: about 790 frames)
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
ctest_options=()
while [ $# -gt 0 ]; do
  case "$1" in
    --build) build=$2; shift 2 ;;
    --fps) fps=$2; shift 2 ;;
    --no-tests) run_tests=0; shift ;;
    --no-show) run_show=0; shift ;;
    --) shift; ctest_options=("$@"); break ;;
    -h|--help) sed -n '2,26p' "$0"; exit 0 ;;
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
cmake --build "$build" -j"$(nproc)"

export ASAN_OPTIONS="detect_leaks=1:intercept_tls_get_addr=0:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
status=0
if [ "$run_tests" -eq 1 ]; then
  echo "== the test suite under ASan/LSan/UBSan"
  (cd "$build" && GTEST_FILTER='-Allocations.*' ctest --output-on-failure -j"$(nproc)" \
     ${ctest_options[@]+"${ctest_options[@]}"}) || status=1
fi
if [ "$run_show" -eq 1 ]; then
  echo "== the whole show at $fps fps under ASan/LSan/UBSan"
  log="$build/sanitize-show.log"
  if ALSOFT_DRIVERS=null tools/with-xvfb.sh "$build/tools/klomp-sanitize-show" --fps "$fps" > "$log" 2>&1 \
     && ! grep -qE "ERROR: (Address|Leak)Sanitizer|runtime error:" "$log"; then
    grep klomp-sanitize-show "$log"
  else
    cat "$log"
    status=1
  fi
fi
[ "$status" -eq 0 ] && echo "sanitize: clean" || echo "sanitize: FAILED"
exit "$status"
