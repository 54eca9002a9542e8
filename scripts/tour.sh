#!/usr/bin/env bash
# A short scripted tour of the viewer for a machine without a desktop. Runs on
# the display in DISPLAY (scripts/run.sh starts Xvfb for it): starts the
# publisher and the viewer, selects the red box, binds it to the row whose
# station circles the red box's home, turns tracking on, and saves screenshots
# of the viewer's window along the way.
set -euo pipefail
cd "$(dirname "$0")/.."
bin=build/bin
shots=${LUMIVEX_SHOTS:-$PWD/screenshots/tour-$(date +%Y%m%d-%H%M%S)}
mkdir -p "$shots"
log="$shots/console.txt"

"$bin/lumivex-publisher" &
publisher=$!
"$bin/lumivex" /V "$@" >"$log" 2>&1 &
viewer=$!
cleanup() {
  kill "$viewer" 2>/dev/null || true
  kill "$publisher" 2>/dev/null || true
  wait 2>/dev/null || true
}
trap cleanup EXIT

window=$(timeout 20 xdotool search --sync --name '^Orvex Lumivex$' | head -n1)
shot() { sleep "${2:-0.5}"; import -window "$window" "$shots/$1.png"; echo "  $shots/$1.png"; }
click() { xdotool mousemove --window "$window" "$1" "$2" click 1; }
key() { xdotool mousemove --window "$window" 320 20 key "$1"; }

echo "Screenshots:"
shot 01-start 1
# The red box stands at (0, -6, 1): from the starting eye it is seen near the
# lower right corner of the 640 x 480 window.
click 575 455
shot 02-red-box-selected
# Key 3 binds row 3 of the station map, station 2, which the publisher moves
# around the red box's home; rows 1 and 2 (stations 0 and 1) circle the eye
# point and the blue box.
key 3
click 320 286
shot 03-deselected
key space
shot 04-tracking 3
shot 05-tracking-later 2
key Escape
wait "$viewer" 2>/dev/null || true

echo
echo "Console of the viewer (the live viewpoint line rewrites itself; first and last shown):"
tr '\r' '\n' <"$log" | awk '
  /^VP:/ { if (!n++) print; last = $0; next }
  { if (n > 1) print "  ...\n" last; n = 0; print }
  END { if (n > 1) print "  ...\n" last }'

echo
echo "Screenshots are in $shots/"
