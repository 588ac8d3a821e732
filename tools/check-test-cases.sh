#!/usr/bin/env bash
# Checks that the cases CTest registered (one line "executable Suite.Case" each, read from the
# sources at configure time) are exactly the cases the test executables list. Parameterised
# cases count once; helper suites named ...Child run only inside their parent case.
# Usage: check-test-cases.sh REGISTERED_LIST EXECUTABLE...
set -euo pipefail
registered=$1
shift
listed=$(mktemp)
trap 'rm -f "$listed"' EXIT
for executable in "$@"; do
  name=$(basename "$executable")
  "$executable" --gtest_list_tests | awk -v name="$name" '
    /^[^ ]/ { suite = $1; sub(/\.$/, "", suite); sub(/^.*\//, "", suite); next }
    /^  / { test = $1; sub(/\/.*$/, "", test); if (suite !~ /Child$/) print name " " suite "." test }
  '
done | sort -u > "$listed"
if ! diff <(sort -u "$registered") "$listed"; then
  echo "check-test-cases: the registered cases (<) differ from the listed ones (>);" \
       "run cmake again" >&2
  exit 1
fi
echo "check-test-cases: $(wc -l < "$listed") cases registered, as listed"
