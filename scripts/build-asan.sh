#!/usr/bin/env bash
# Configures and builds the checking tree build-asan/ (executables in
# build-asan/bin/): clang, AddressSanitizer and UndefinedBehaviorSanitizer on
# every target, the fuzz targets of fuzz/, no benchmarks. Arguments go to
# `cmake --build` (for example --target fuzz-channel).
set -euo pipefail
cd "$(dirname "$0")/.."
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache); fi
mkdir -p build-asan
log=build-asan/build.log
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang \
  -DLUMIVEX_SANITIZE=ON -DLUMIVEX_FUZZ=ON -DLUMIVEX_BENCHMARKS=OFF "${launcher[@]}" > "$log" 2>&1 \
  || { cat "$log"; exit 1; }
cmake --build build-asan -j"$(nproc)" "$@" >> "$log" 2>&1 || { tail -n 60 "$log"; exit 1; }
