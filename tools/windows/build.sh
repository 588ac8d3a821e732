#!/usr/bin/env bash
# Builds klomp for 64-bit Windows on Debian: klomp.exe and klomp-capture.exe (stills, contact
# sheet, trace) in build-windows/bin/, with OpenAL32.dll beside them. The libraries come from
# tools/windows/deps.sh (built once, then cached outside the clone).
#
#   tools/windows/build.sh          build
#   tools/windows/build.sh --zip    build, then pack klomp-<version>-windows-x64.zip
#                                   (the version is KLOMP_VERSION, or git describe)
#
# Needs g++-mingw-w64-x86-64-posix, cmake, ninja-build, dpkg-dev and zip (tools/setup.sh).
# The zip also needs the asset set (the Linux build generates it) and tools/release/klomp.nfo.
set -euo pipefail
cd "$(dirname "$0")/../.."
zip_wanted=0
for arg in "$@"; do
  case "$arg" in
    --zip) zip_wanted=1 ;;
    *) echo "usage: $0 [--zip]" >&2; exit 2 ;;
  esac
done

prefix="$(tools/windows/deps.sh | tail -1)"
out=build-windows
mkdir -p "$out"
cmake -S . -B "$out" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$PWD/tools/windows/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_FIND_ROOT_PATH="$prefix" -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_RUNTIME_OUTPUT_DIRECTORY="$PWD/$out/bin" -DKLOMP_BUILD_TESTS=OFF \
  -DKLOMP_BUILD_ASSETS=OFF -DKLOMP_WARNINGS_AS_ERRORS=ON >"$out/configure.log" 2>&1 ||
  { cat "$out/configure.log" >&2; exit 1; }
cmake --build "$out" -j"${KLOMP_JOBS:-2}" --target klomp klomp-capture klomp-golden
cp "$prefix/bin/OpenAL32.dll" "$out/bin/"
echo "built: $PWD/$out/bin/klomp.exe, klomp-capture.exe, klomp-golden.exe, OpenAL32.dll"

[ "$zip_wanted" = 1 ] || exit 0

version="${KLOMP_VERSION:-$(git describe --tags --always --dirty)}"
name="klomp-$version-windows-x64"
for needed in tools/release/klomp.nfo assets/gfx assets/music assets/sounds assets/colored-crayons; do
  [ -e "$needed" ] || { echo "$0: $needed is missing (see the README)" >&2; exit 1; }
done
stage="$out/release/$name"
rm -rf "$out/release"
mkdir -p "$stage/licenses"
cp "$out/bin/klomp.exe" "$out/bin/OpenAL32.dll" config.json tools/release/klomp.nfo "$stage/"
cp -r assets "$stage/"
# Text files for Windows readers: CRLF line ends.
sed 's/$/\r/' tools/windows/README.txt >"$stage/README.txt"
cp -r "$prefix/licenses/." "$stage/licenses/"
cp "$prefix/VERSIONS" "$stage/licenses/VERSIONS.txt"
# The MinGW-w64 runtime and winpthreads, and GCC's runtime libraries, are linked in too.
mkdir -p "$stage/licenses/mingw-w64" "$stage/licenses/gcc-runtime"
cp /usr/share/doc/mingw-w64-x86-64-dev/copyright "$stage/licenses/mingw-w64/"
cp /usr/share/doc/gcc-mingw-w64-x86-64-posix-runtime/copyright "$stage/licenses/gcc-runtime/"
x86_64-w64-mingw32-strip "$stage/klomp.exe" "$stage/OpenAL32.dll"
# Fixed times and order, so the same inputs give the same archive.
find "$stage" -exec touch -h -d @"$(git log -1 --format=%ct)" {} +
(cd "$out/release" && find "$name" -print | LC_ALL=C sort | zip -q -X -@ "$name.zip")
mv "$out/release/$name.zip" .
echo "release: $PWD/$name.zip ($(stat -c %s "$name.zip") bytes)"
