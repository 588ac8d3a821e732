#!/usr/bin/env bash
# Installs what is missing, builds klomp with its assets, and runs the whole test suite
# headless (every test starts its own Xvfb server).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
# klomp.exe and klomp-capture.exe for the Wine tests (the libraries are cached after the
# first build: see tools/windows/deps.sh).
tools/windows/build.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKLOMP_WARNINGS_AS_ERRORS=ON \
  -DKLOMP_WINDOWS_BUILD="$PWD/build-windows/bin"
cmake --build build -j"$(nproc)"
(cd build && ctest --output-on-failure -j"$(nproc)")

# A short pass of every fuzz target (about a minute in all) over the loaders of config.json,
# the definition files and the particle systems. Longer runs: tools/fuzz.sh.
cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DKLOMP_FUZZ=ON -DKLOMP_BUILD_ASSETS=OFF \
  -DKLOMP_WARNINGS_AS_ERRORS=ON
cmake --build build-fuzz -j"$(nproc)" --target fuzz_targets
(cd build-fuzz && ctest -R fuzz_short --output-on-failure)
