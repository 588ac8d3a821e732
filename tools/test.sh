#!/usr/bin/env bash
# Installs what is missing, builds klomp with its assets, and runs the whole test suite
# headless (every test starts its own Xvfb server).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"
cd build
ctest --output-on-failure -j"$(nproc)"
