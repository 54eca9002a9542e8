#!/usr/bin/env bash
# Installs the Windows installer silently under Wine, runs each program from
# the installed place (the bridge joins a rig there, so it finds its DLLs and
# plugins, and names a plugin that is missing), uninstalls silently and checks
# that nothing is left: no files, no Start-menu entries, no uninstall entry.
# Runs in the Wine prefix $WINEPREFIX (scripts/test-windows.sh sets it); DDS
# stays on the loopback interface.
set -euo pipefail
cd "$(dirname "$0")/../.."
installer=$(scripts/package-windows.sh | tail -n 1)
wine=/usr/lib/wine/wine64
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-windows/CMakeCache.txt)
drive=$WINEPREFIX/drive_c
place="C:\\Program Files\\Lumivex"
folder="$drive/Program Files/Lumivex"
uninstallKey="HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Lumivex"
fail() { echo "windows package test: $*" >&2; exit 1; }

shortcuts() { find "$drive" -name 'Lumivex*.lnk' 2>/dev/null; }

# Waits up to `seconds` for `condition` to hold.
wait_for() {
  local seconds=$1; shift
  for _ in $(seq $((seconds * 10))); do "$@" && return 0; sleep 0.1; done
  return 1
}
gone() { [ ! -e "$folder" ] && [ -z "$(shortcuts)" ]; }

"$wine" "$installer" /S || fail "the silent install failed"
for program in lumivex lumivex-publisher lumivex-monitor lumivex-bridge; do
  [ -f "$folder/bin/$program.exe" ] || fail "$program.exe is not installed"
done
shortcuts | grep -q 'Lumivex viewer.lnk' || fail "no Start-menu entry for the viewer"
shortcuts | grep -q 'Lumivex monitor.lnk' || fail "no Start-menu entry for the monitor"
for direction in send receive; do
  shortcuts | grep -q "Lumivex bridge - $direction.lnk" || fail "no Start-menu entry to $direction"
done
"$wine" reg query "$uninstallKey" > /dev/null 2>&1 || fail "no uninstall entry"
for program in lumivex-publisher lumivex-monitor lumivex-bridge; do
  answer=$("$wine" "$place\\bin\\$program.exe" --version | tr -d '\r')
  [ "$answer" = "$program $version" ] || fail "$program --version answered: $answer"
done
usage=$("$wine" "$place\\bin\\lumivex.exe" /Z | tr -d '\r' || true)
grep -q 'Tracker types supported:' <<< "$usage" || fail "the viewer gave no usage text: $usage"

# The installed bridge joins a rig made with itself: its DLLs and plugins are
# found beside it. Without a plugin it says which one, and why.
export CYCLONEDDS_URI='<General><Interfaces><NetworkInterface address="127.0.0.1"/></Interfaces><AllowMulticast>false</AllowMulticast></General><Discovery><Peers><Peer address="127.0.0.1"/></Peers></Discovery>'
bridge="$place\\bin\\lumivex-bridge.exe"
rig="C:\\users\\$(id -un)\\lumivex-package-rig"
rm -rf "$drive/users/$(id -un)/lumivex-package-rig"
"$wine" "$bridge" rig init "$rig" > /dev/null || fail "rig init failed"
"$wine" "$bridge" rig add "$rig" server --send 0 > /dev/null || fail "rig add failed"
joined=$(mktemp)
"$wine" "$bridge" send --domain 117 --rig "$rig\\server" > "$joined" 2>&1 &
sender=$!
wait_for 60 grep -q 'sending instrument 0' "$joined" || fail "the installed bridge did not join the rig: $(cat "$joined")"
kill -INT $sender; wait $sender || true
mv "$folder/bin/dds_security_crypto.dll" "$folder/bin/crypto.away"
refused=$("$wine" "$bridge" send --domain 117 --rig "$rig\\server" 2>&1 | tr -d '\r' || true)
mv "$folder/bin/crypto.away" "$folder/bin/dds_security_crypto.dll"
grep -q 'cannot load the DDS security plugin .*dds_security_crypto.dll' <<< "$refused" ||
  fail "a missing plugin was not named: $refused"
rm -rf "$drive/users/$(id -un)/lumivex-package-rig" "$joined"

# The uninstaller copies itself away and goes on in the background.
"$wine" "$place\\Uninstall.exe" /S || fail "the silent uninstall failed"
wait_for 60 gone || fail "left behind: $(find "$folder" 2>/dev/null) $(shortcuts)"
! "$wine" reg query "$uninstallKey" > /dev/null 2>&1 || fail "the uninstall entry is left"
echo "windows package test: installed, used and removed $installer"
