#!/usr/bin/env bash
# Sets up, builds, and runs the viewer beside the test publisher.
# With an X display: the viewer opens on it; close it (or press ESC) to stop.
# Without one: both run under Xvfb and a short scripted tour drives the viewer,
# saving screenshots into a folder that is printed at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
# Only what building and running need; scripts/test.sh installs the rest.
scripts/setup-run.sh
scripts/build.sh -DLUMIVEX_TESTS=OFF

bin=build/bin
publisher=""
stop_publisher() { [ -n "$publisher" ] && kill "$publisher" 2>/dev/null && wait "$publisher" 2>/dev/null; publisher=""; }
trap stop_publisher EXIT

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  "$bin/lumivex-publisher" &
  publisher=$!
  status=0
  "$bin/lumivex" /V "$@" || status=$?
  stop_publisher
  # ESC ends the viewer with status 1, which is its normal way out.
  [ "$status" -le 1 ] || exit "$status"
  exit 0
fi

echo "No X display reachable: running the viewer under Xvfb with a scripted tour."
exec scripts/with-xvfb.sh scripts/tour.sh "$@"
