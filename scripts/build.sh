#!/usr/bin/env bash
# Configures and builds everything into build/ (executables in build/bin/,
# the log in build/build.log). Arguments go to the configuration, e.g.
# -DLUMIVEX_TESTS=OFF (scripts/run.sh) for the programs alone; the build tree
# keeps them.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/build-tree.sh
build_tree build "$(nproc)" "$@"
