#!/usr/bin/env bash
# The Windows viewer's console output equals the Linux viewer's byte for byte,
# line endings aside, for the same publisher data, keys and clicks, and its
# window shows the same pixels (both draw through the same X server). Each
# viewer reads its own system's publisher; keys go to each window through the
# X server (Wine draws Windows windows on it). Needs DISPLAY, WINEPREFIX, the
# Linux build in build/ and the Windows build in build-windows/.
set -euo pipefail
cd "$(dirname "$0")/../.."
wine=/usr/lib/wine/wine64
work=$(mktemp -d)
children=()
cleanup() {
  for child in "${children[@]}"; do kill "$child" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "console fidelity: $*" >&2; exit 1; }

# Waits up to `seconds` for `condition` to hold.
wait_for() {
  local seconds=$1; shift
  for _ in $(seq $((seconds * 10))); do "$@" && return 0; sleep 0.1; done
  return 1
}
published() { LUMIVEX_SHM_PREFIX=$prefix "${run[@]}" "$bin/lumivex-monitor$suffix" --once > /dev/null 2>&1; }
started() { grep -q 'then the view is the current object' "$out"; }
ended() { ! kill -0 "$viewer" 2>/dev/null; }
# The window's picture once two looks in a row agree (drawing has settled).
settled() {
  import -silent -window "$window" "$out.new.png" 2>/dev/null || return 1
  local same
  same=$(compare -metric AE "$out.new.png" "$out.png" null: 2>&1 || true)
  mv "$out.new.png" "$out.png"
  [ "$same" = 0 ]
}

# Stations at fixed poses, so both viewers see the same numbers. The red box
# is picked, station 3 is mapped to it and tracked, help is asked for and the
# banner toggled.
poses=(--motion still --rate 20 --pose 0=5,10,15,0,0,0 --pose 2=1,-6,1,0.5,0,0)
keys=(3 space h Return)

# view SYSTEM BIN SUFFIX LAUNCHER...: the viewer's console output into $work/SYSTEM.
view() {
  local system=$1
  bin=$2 suffix=$3 run=("${@:4}") prefix="lvxfidelity$$_${system}_" out=$work/$system
  LUMIVEX_SHM_PREFIX=$prefix "${run[@]}" "$bin/lumivex-publisher$suffix" "${poses[@]}" > /dev/null 2>&1 &
  children+=($!)
  wait_for 30 published || fail "$system: the publisher did not publish"
  LUMIVEX_SHM_PREFIX=$prefix "${run[@]}" "$bin/lumivex$suffix" /V > "$out" 2> /dev/null &
  viewer=$!
  children+=($viewer)
  window=$(timeout 60 xdotool search --sync --onlyvisible --name '^Orvex Lumivex$' | head -n 1) ||
    fail "$system: no viewer window"
  wait_for 30 started || fail "$system: the viewer did not start up: $(cat "$out")"
  xdotool mousemove --window "$window" 575 455 click 1  # the red box
  for key in "${keys[@]}"; do xdotool mousemove --window "$window" 320 20 key "$key"; done
  wait_for 30 settled || fail "$system: the window never settled"
  xdotool mousemove --window "$window" 320 240 key Escape
  wait_for 30 ended || fail "$system: ESC did not end the viewer"
}

[ -x build/bin/lumivex ] || scripts/build.sh
view linux build/bin "" env
view windows build-windows/bin .exe "$wine"
grep -q "Toggled ON  tracking of object 3 on station 3" "$work/linux" ||
  fail "the keys did not reach the Linux viewer: $(cat "$work/linux")"
# While tracking, the viewpoint line is rewritten in place once a frame, and
# each run draws frames of its own number: a run of identical rewrites is
# read as the one line a console shows.
shown() { perl -0pe 's/\r\n/\n/g; s/(\rVP:[^\r\n]*)\1+/$1/g' "$1"; }
if ! cmp -s <(shown "$work/linux") <(shown "$work/windows"); then
  diff <(shown "$work/linux") <(shown "$work/windows") | head -c 3000 >&2
  fail "the Windows viewer's console output differs from the Linux viewer's"
fi
different=$(compare -metric AE "$work/linux.png" "$work/windows.png" null: 2>&1 || true)
[ "$different" = 0 ] || fail "the Windows viewer's window differs from the Linux viewer's in $different pixels"
echo "console fidelity: $(wc -c < "$work/linux") bytes and every pixel alike after a click on the red box and keys ${keys[*]} Escape"
