#!/usr/bin/env bash
# Cross-builds the Windows programs into build-windows/ (executables in
# build-windows/bin/) with Debian's MinGW-w64. Third-party code comes from
# Debian only: freeglut from its source package, fetched through a source list
# of our own under build-windows/apt/ (the system's apt sources are left as
# they are), GoogleTest from /usr/src/googletest, CLI11's headers and zlib
# from their packages.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=$root/build-windows
third=$out/third-party
scripts/setup-windows.sh
mkdir -p "$third"

# deb-src lines for the mirror and suite the system's own sources name.
apt_options() {
  local apt=$out/apt uri suite
  mkdir -p "$apt/lists/partial" "$apt/parts"
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    uri=$(awk '/^URIs:/{print $2; exit}' /etc/apt/sources.list.d/debian.sources)
    suite=$(awk '/^Suites:/{print $2; exit}' /etc/apt/sources.list.d/debian.sources)
  else
    read -r uri suite < <(awk '$1 == "deb" && $2 !~ /^\[/ {print $2, $3; exit}' /etc/apt/sources.list)
  fi
  echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $uri $suite main" > "$apt/sources.list"
  echo -o "Dir::Etc::SourceList=$apt/sources.list" -o "Dir::Etc::SourceParts=$apt/parts" -o "Dir::State::Lists=$apt/lists"
}

# freeglut as a static library, built once.
build_freeglut() {
  [ -f "$third/lib/libfreeglut_static.a" ] && return 0
  local options
  options=$(apt_options)
  apt-get $options update -qq
  rm -rf "$third/src" && mkdir -p "$third/src"
  (cd "$third/src" && apt-get $options source -qq freeglut 2>&1 | grep -v '^W: Download is performed unsandboxed' || true)
  local source
  source=$(find "$third/src" -maxdepth 1 -type d -name 'freeglut-*' | head -n 1)
  [ -n "$source" ] || { echo "apt-get source freeglut gave no source tree" >&2; exit 1; }
  cmake -S "$source" -B "$third/freeglut-build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$third" -DFREEGLUT_BUILD_SHARED_LIBS=OFF \
        -DFREEGLUT_BUILD_STATIC_LIBS=ON -DFREEGLUT_BUILD_DEMOS=OFF -DFREEGLUT_GLES=OFF > "$third/freeglut.log" 2>&1
  cmake --build "$third/freeglut-build" --target install -j2 >> "$third/freeglut.log" 2>&1 ||
    { tail -n 40 "$third/freeglut.log"; exit 1; }
}

# CLI11 is header-only; its headers are given to the cross build on their own,
# without the rest of the system's include folder.
link_cli11() {
  mkdir -p "$third/include"
  ln -sfn /usr/include/CLI "$third/include/CLI"
}

build_freeglut
link_cli11
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache); fi
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$PWD}" CCACHE_NOHASHDIR=1
log=$out/build.log
cmake -S . -B "$out" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DLUMIVEX_THIRD_PARTY="$third" \
      -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" > "$log" 2>&1 || { cat "$log"; exit 1; }
cmake --build "$out" -j2 >> "$log" 2>&1 || { tail -n 60 "$log"; exit 1; }
