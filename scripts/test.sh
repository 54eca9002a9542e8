#!/usr/bin/env bash
# Sets up, builds and runs every test. Tests that need a display get an Xvfb
# server started here.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
exec scripts/with-xvfb.sh ctest --test-dir build --output-on-failure -j2 "$@"
