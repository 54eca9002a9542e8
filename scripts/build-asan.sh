#!/usr/bin/env bash
# Configures and builds the checking tree build-asan/ (executables in
# build-asan/bin/): clang, AddressSanitizer and UndefinedBehaviorSanitizer on
# every target, the fuzz targets of fuzz/, no benchmarks. Arguments go to
# `cmake --build` (for example --target fuzz-channel).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/build-tree.sh
build_tree build-asan "$(nproc)" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang \
  -DLUMIVEX_SANITIZE=ON -DLUMIVEX_FUZZ=ON -DLUMIVEX_BENCHMARKS=OFF -- "$@"
