#!/usr/bin/env bash
# Cross-builds the Windows programs into build-windows/ (executables in
# build-windows/bin/) with Debian's MinGW-w64. Third-party code: freeglut,
# OpenSSL and Cyclone DDS are built into build-windows/third-party/ by
# scripts/windows-third-party.sh (from Debian's source packages, and Cyclone
# DDS from upstream's pinned release archive); GoogleTest comes from
# /usr/src/googletest, CLI11's headers and zlib from their packages.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=$root/build-windows
third=$out/third-party
scripts/setup-windows.sh
scripts/windows-third-party.sh

source scripts/lib/build-tree.sh
build_tree "$out" 2 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DLUMIVEX_THIRD_PARTY="$third"
