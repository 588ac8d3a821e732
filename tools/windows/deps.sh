#!/usr/bin/env bash
# Cross-builds the libraries klomp links on Windows from Debian's source packages, with the
# MinGW-w64 toolchain in mingw-w64-x86_64.cmake, into a prefix outside the clone:
#   ${XDG_CACHE_HOME:-$HOME/.cache}/klomp/windows-deps/<key>/prefix
# The key is a hash of this script, the toolchain file and the compiler's version, so a
# change to any pinned version or build flag builds everything again, and an unchanged set
# is reused in a second. Prints the prefix on its last line.
#
# SFML, FreeType, Ogg, Vorbis and FLAC are static libraries; OpenAL Soft (LGPL) is
# OpenAL32.dll; nlohmann/json is headers (installed here so that no host header is seen). Their licence files are copied to <prefix>/licenses/<package>/.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
toolchain="$here/mingw-w64-x86_64.cmake"
jobs="${KLOMP_JOBS:-2}"

# Source package, Debian version, SHA-256 of the files used. OpenAL Soft comes from the next
# Debian release's source package: the archive here serves the .dsc of bookworm's 1.19.1-2
# but not its tarballs, and for that release it serves the upstream tarball only (the
# Debian patches concern the Linux packaging and are not needed for a Windows build).
pins=(
  "libsfml 2.5.1+dfsg-2"
  "freetype 2.12.1+dfsg-5+deb12u4"
  "libogg 1.3.5-3"
  "libvorbis 1.3.7-1"
  "flac 1.4.2+ds-2"
  "openal-soft 1:1.24.2-1"
  "nlohmann-json3 3.11.2-2"
)
openal_orig="openal-soft_1.24.2.orig.tar.gz"

cache_root="${XDG_CACHE_HOME:-$HOME/.cache}/klomp/windows-deps"
compiler_id="$(x86_64-w64-mingw32-g++-posix --version | head -1)"
key="$( (cat "$0" "$toolchain"; echo "$compiler_id") | sha256sum | cut -c1-16)"
root="$cache_root/$key"
prefix="$root/prefix"
if [ -f "$root/complete" ]; then
  echo "$prefix"
  exit 0
fi
# One build at a time: a second run waits here, then finds the first one's result.
mkdir -p "$cache_root"
exec 9>"$cache_root/lock"
flock 9
if [ -f "$root/complete" ]; then
  echo "$prefix"
  exit 0
fi

log() { printf '[windows-deps] %s\n' "$*" >&2; }
log "building the Windows libraries into $root (key $key)"
rm -rf "$root"
# Downloads are kept beside the builds (apt checks their hashes and skips what it has).
apt_dir="$cache_root/apt"
downloads="$cache_root/downloads"
mkdir -p "$apt_dir/lists/partial" "$apt_dir/archives/partial" "$apt_dir/parts" "$downloads" \
  "$root/src" "$root/build" "$prefix/licenses"
trap 'log "failed; the build logs are in $root/build"' ERR
started=$(date +%s)

# A private apt set-up that knows Debian's source indices: the system's lists are not
# touched. The mirror is the one the system's own apt configuration uses for its release.
. /etc/os-release
mirror="$(apt-cache policy | awk -v s=" ${VERSION_CODENAME}/main " 'index($0, s) {print $2; exit}')"
[ -n "$mirror" ] || { log "no Debian mirror for ${VERSION_CODENAME} in the apt configuration"; exit 1; }
keyring=/usr/share/keyrings/debian-archive-keyring.gpg
cat >"$apt_dir/sources.list" <<EOF
deb-src [signed-by=$keyring] $mirror $VERSION_CODENAME main
deb-src [signed-by=$keyring] $mirror ${VERSION_CODENAME}-updates main
deb-src [signed-by=$keyring] $mirror trixie main
EOF
apt_opts=(
  -o "Dir::Etc::SourceList=$apt_dir/sources.list" -o "Dir::Etc::SourceParts=$apt_dir/parts"
  -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache::Archives=$apt_dir/archives"
  -o "Dir::Cache::pkgcache=" -o "Dir::Cache::srcpkgcache=" -o "APT::Sandbox::User=$(id -un)"
)
apt-get "${apt_opts[@]}" -qq update
cd "$downloads"
for pin in "${pins[@]}"; do
  read -r pkg version <<<"$pin"
  log "fetching $pkg $version"
  if [ "$pkg" = openal-soft ]; then
    # Only the upstream tarball is needed (and served); apt checks its hash against the index.
    apt-get "${apt_opts[@]}" -qq source --download-only "$pkg=$version" >/dev/null 2>&1 || true
    [ -f "$openal_orig" ] || { log "could not fetch $openal_orig"; exit 1; }
    mkdir -p "$root/src/openal-soft"
    tar -xzf "$openal_orig" -C "$root/src/openal-soft" --strip-components=1
  else
    apt-get "${apt_opts[@]}" -qq source --download-only "$pkg=$version" >/dev/null
    dpkg-source --no-check -x "${pkg}_${version#*:}.dsc" "$root/src/$pkg" >/dev/null
  fi
done
cd "$root"

cmake_build() { # name source-dir cmake-args...
  local name="$1" src="$2"
  shift 2
  log "building $name"
  cmake -S "$src" -B "build/$name" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_PREFIX_PATH="$prefix" \
    -DCMAKE_FIND_ROOT_PATH="$prefix" "$@" >"build/$name.log" 2>&1
  cmake --build "build/$name" -j"$jobs" >>"build/$name.log" 2>&1
  cmake --install "build/$name" >>"build/$name.log"
}
licence() { # package files...
  local pkg="$1"
  shift
  mkdir -p "$prefix/licenses/$pkg"
  cp "$@" "$prefix/licenses/$pkg/"
}

cmake_build ogg src/libogg -DBUILD_SHARED_LIBS=OFF -DINSTALL_DOCS=OFF -DBUILD_TESTING=OFF
licence ogg src/libogg/COPYING
cmake_build vorbis src/libvorbis -DBUILD_SHARED_LIBS=OFF -DBUILD_TESTING=OFF
licence vorbis src/libvorbis/COPYING
cmake_build flac src/flac -DBUILD_SHARED_LIBS=OFF -DBUILD_CXXLIBS=OFF -DBUILD_PROGRAMS=OFF \
  -DBUILD_EXAMPLES=OFF -DBUILD_TESTING=OFF -DBUILD_DOCS=OFF -DINSTALL_MANPAGES=OFF \
  -DWITH_STACK_PROTECTOR=OFF -DWITH_FORTIFY_SOURCE=OFF -DWITH_OGG=ON
licence flac src/flac/COPYING.Xiph
cmake_build freetype src/freetype -DBUILD_SHARED_LIBS=OFF -DFT_DISABLE_ZLIB=ON \
  -DFT_DISABLE_BZIP2=ON -DFT_DISABLE_PNG=ON -DFT_DISABLE_HARFBUZZ=ON -DFT_DISABLE_BROTLI=ON
licence freetype src/freetype/LICENSE.TXT src/freetype/docs/FTL.TXT
cmake_build openal src/openal-soft -DLIBTYPE=SHARED -DALSOFT_UTILS=OFF -DALSOFT_EXAMPLES=OFF \
  -DALSOFT_TESTS=OFF -DALSOFT_INSTALL_EXAMPLES=OFF -DALSOFT_INSTALL_UTILS=OFF \
  -DALSOFT_INSTALL_AMBDEC_PRESETS=OFF -DALSOFT_INSTALL_HRTF_DATA=OFF -DALSOFT_INSTALL_CONFIG=OFF
licence openal-soft src/openal-soft/COPYING
cmake_build sfml src/libsfml -DBUILD_SHARED_LIBS=OFF -DSFML_USE_SYSTEM_DEPS=ON \
  -DSFML_BUILD_NETWORK=OFF -DSFML_BUILD_EXAMPLES=OFF -DSFML_BUILD_DOC=OFF \
  -DSFML_INSTALL_PKGCONFIG_FILES=OFF
licence sfml src/libsfml/license.md
# stb_image is compiled into SFML's graphics module.
mkdir -p "$prefix/licenses/stb_image"
sed -n '/^This software is available under 2 licenses/,$p' src/libsfml/extlibs/headers/stb_image/stb_image.h \
  >"$prefix/licenses/stb_image/LICENSE"

cmake_build nlohmann-json src/nlohmann-json3 -DJSON_BuildTests=OFF -DJSON_Install=ON
licence nlohmann-json src/nlohmann-json3/LICENSE.MIT

{
  for pin in "${pins[@]}"; do echo "$pin"; done
  echo "compiler: $compiler_id"
} >"$prefix/VERSIONS"
trap - ERR
rm -rf "$root/build" "$root/src"
touch "$root/complete"
log "done in $(($(date +%s) - started)) s"
echo "$prefix"
