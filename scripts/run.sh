#!/usr/bin/env bash
# Sets up, builds, and runs the viewer beside the test publisher.
# With an X display: the viewer opens on it; close it (or press ESC) to stop.
# Without one: both run under Xvfb and a short scripted tour drives the viewer,
# saving screenshots into a folder that is printed at the end.
# Either way lumivex-web serves the live view to this machine's browsers
# while they run, at the address printed at the start.
set -euo pipefail
cd "$(dirname "$0")/.."
# Only what building and running need; scripts/test.sh installs the rest.
scripts/setup-run.sh
scripts/build.sh -DLUMIVEX_TESTS=OFF

bin=build/bin
publisher=""
stop_publisher() { [ -n "$publisher" ] && kill "$publisher" 2>/dev/null && wait "$publisher" 2>/dev/null; publisher=""; }
web=""
stop_web() { [ -n "$web" ] && kill "$web" 2>/dev/null && wait "$web" 2>/dev/null; web=""; }
trap 'stop_publisher; stop_web' EXIT

# The live view in a browser; a port already taken only costs that view.
"$bin/lumivex-web" --listen 127.0.0.1:8360 &
web=$!

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
scripts/with-xvfb.sh scripts/tour.sh "$@"
