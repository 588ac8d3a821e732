#!/usr/bin/env bash
# Plays the whole show's timeline (klomp-capture --trace-only at 60 fps) many times in a row
# while busy loops load every core, and checks that every run exits 0 with the same trace.
# Faults that only show under load (races between threads) show up here.
#
#   tools/stress.sh [--build DIR] [--runs N] [--busy N] [--nice N]
#
# --build DIR   build folder holding tools/klomp-capture (default build)
# --runs N      runs of the show (default 20)
# --busy N      busy loops beside them (default 2)
# --nice N      the busy loops' niceness (default 0). Inside the test suite they run at 19: they
#               take only the time that other tests leave idle, so a core is always busy
#               without the suite waiting for them.
set -uo pipefail
cd "$(dirname "$0")/.."
build=build
runs=20
busy=2
niceness=0
while [ $# -gt 0 ]; do
  case "$1" in
    --build) build=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --busy) busy=$2; shift 2 ;;
    --nice) niceness=$2; shift 2 ;;
    -h|--help) sed -n '2,14p' "$0"; exit 0 ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
  esac
done
work=$(mktemp -d)
loops=()
cleanup() {
  for pid in "${loops[@]}"; do kill "$pid" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap "exit 130" INT TERM
for _ in $(seq "$busy"); do
  nice -n "$niceness" bash -c 'while :; do :; done' &
  loops+=($!)
done

failed=0
reference=""
for run in $(seq "$runs"); do
  trace="$work/trace.tsv"
  rm -f "$trace"
  ALSOFT_DRIVERS=null tools/with-xvfb.sh "$build/tools/klomp-capture" --fps 60 \
    --trace "$trace" --trace-only --quiet > "$work/out" 2> "$work/err"
  status=$?
  sum=$(sha256sum "$trace" 2>/dev/null | cut -d' ' -f1)
  [ -z "$reference" ] && [ "$status" -eq 0 ] && reference=$sum
  if [ "$status" -ne 0 ] || [ -z "$sum" ] || [ "$sum" != "$reference" ]; then
    failed=$((failed + 1))
    echo "stress: run $run: exit $status, trace ${sum:-missing}" >&2
    tail -5 "$work/err" >&2
  fi
  echo "stress: run $run of $runs: exit $status ($failed failed so far)"
done
echo "stress: $((runs - failed)) of $runs runs exited 0 with the same trace ($busy busy loops)"
[ "$failed" -eq 0 ]
