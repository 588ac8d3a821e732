#!/usr/bin/env bash
# Builds klomp for release from this checkout and makes both packages in release/:
# klomp_<version>_amd64.deb and klomp-<version>-linux-x86_64.tar.gz.
set -euo pipefail
cd "$(dirname "$0")/../.."
tools/setup.sh
cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DKLOMP_BUILD_TESTS=OFF -DKLOMP_BUILD_ASSETS=ON
cmake --build build-release -j"$(nproc)"
(cd build-release && cpack -B "$PWD/../release")
rm -rf release/_CPack_Packages
ls -l release/klomp_*_amd64.deb release/klomp-*-linux-x86_64.tar.gz
