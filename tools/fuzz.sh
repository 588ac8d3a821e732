#!/usr/bin/env bash
# Runs the fuzz targets (built with -DKLOMP_FUZZ=ON, see tests/fuzz/CMakeLists.txt), each for a
# bounded time, and reports the executions and crashes of each.
#
#   tools/fuzz.sh [--build DIR] [--seconds N] [TARGET...] [-- LIBFUZZER_OPTIONS...]
#
# --build DIR   the build folder holding tests/fuzz/fuzz_* (default build-fuzz)
# --seconds N   time per target (default 60); CI runs a short pass of a few seconds each
# TARGET        config, particle_system, textures_load, textures_entries, sprites_load, ...
#               (default: all)
# Each target starts from the seeds in tests/fuzz/corpus/TARGET (read only) and from what
# earlier runs in the same build folder found (DIR/fuzz-runs/TARGET/corpus). Crash inputs
# land in DIR/fuzz-runs/TARGET/artifacts; keep a fixed one as a regression case by copying it
# into tests/fuzz/corpus/TARGET and into a unit test. Every target runs under a private Xvfb.
# The exit status is 1 when any target crashed, timed out or ran out of memory.
set -u
cd "$(dirname "$0")/.."
root=$(pwd)
build=build-fuzz
seconds=60
targets=()
extra=()
while [ $# -gt 0 ]; do
  case "$1" in
    --build) build=$2; shift 2 ;;
    --seconds) seconds=$2; shift 2 ;;
    --) shift; extra=("$@"); break ;;
    -h|--help) sed -n '2,17p' "$0"; exit 0 ;;
    *) targets+=("$1"); shift ;;
  esac
done
all=(config particle_system textures_load textures_entries sprites_load sprites_entries
     sounds_load sounds_entries music_load music_entries particles_load particles_entries)
[ ${#targets[@]} -eq 0 ] && targets=("${all[@]}")
case "$build" in /*) ;; *) build="$root/$build" ;; esac

total=0
failed=0
printf '%-18s %8s %12s %9s %9s  %s\n' target seconds executions exec/s new result
for target in "${targets[@]}"; do
  binary="$build/tests/fuzz/fuzz_$target"
  seeds="$root/tests/fuzz/corpus/$target"
  work="$build/fuzz-runs/$target"
  if [ ! -x "$binary" ] || [ ! -d "$seeds" ]; then
    printf '%-18s %8s %12s %9s %9s  %s\n' "$target" - - - - "missing (build the fuzz_targets target)"
    failed=1
    continue
  fi
  mkdir -p "$work/corpus" "$work/artifacts"
  before=$(ls "$work/artifacts" | wc -l)
  command=("$binary" "-max_total_time=$seconds" -print_final_stats=1 -timeout=10
           -rss_limit_mb=2048 "-dict=$root/tests/fuzz/json.dict"
           "-artifact_prefix=$work/artifacts/" ${extra[@]+"${extra[@]}"}
           "$work/corpus" "$seeds")
  # The show's state holds GL objects, so every target runs under a private Xvfb.
  "$root/tools/with-xvfb.sh" "${command[@]}" > "$work/log.txt" 2>&1
  status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log.txt" | tail -1)
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$work/log.txt" | tail -1)
  added=$(sed -n 's/^stat::new_units_added: *//p' "$work/log.txt" | tail -1)
  after=$(ls "$work/artifacts" | wc -l)
  result=ok
  if [ "$status" -ne 0 ] || [ "$after" -ne "$before" ]; then
    result="FAILED (exit $status, $((after - before)) new artifact(s) in $work/artifacts)"
    failed=1
  fi
  total=$((total + ${runs:-0}))
  printf '%-18s %8s %12s %9s %9s  %s\n' "$target" "$seconds" "${runs:--}" "${speed:--}" "${added:--}" "$result"
  if [ "$result" != ok ]; then
    grep -E -A30 '^==[0-9]+==ERROR|runtime error|fuzz invariant broken|ERROR: libFuzzer' "$work/log.txt" | head -60 | sed 's/^/    /'
  fi
done
echo "total executions: $total"
[ "$failed" -eq 0 ] && echo "no crashes" || echo "crashes found (logs in $build/fuzz-runs/*/log.txt)"
exit "$failed"
