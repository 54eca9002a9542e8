#!/usr/bin/env bash
# Installs the previous release's installer silently under Wine, upgrades it
# with this one (the older version goes, with its Start-menu folder; the
# programs are this version's, stripped, and the uninstall entry shows an
# icon file), runs each program from the installed place (the bridge joins a
# rig there, so it finds its DLLs and plugins, and names a plugin that is
# missing), uninstalls silently and checks that nothing is left: no files, no
# Start-menu entries, nothing in the registry or in %TEMP%.
# Runs in the Wine prefix $WINEPREFIX (scripts/test-windows.sh sets it); DDS
# stays on the loopback interface.
set -euo pipefail
cd "$(dirname "$0")/../.."
fail() { echo "windows package test: $*" >&2; exit 1; }
installer=$(scripts/package-windows.sh | tail -n 1)

# The previous release's installer (tagged v0.3.0), built once from its
# commit as its scripts/build-windows.sh and package-windows.sh build it, with
# this tree's third-party build, whose recipe it shares, and without its tests.
previous_release=0.3.0
previous_commit=8846874
previous_tree=$PWD/build-windows/previous-$previous_release
previous=$previous_tree/build-windows/lumivex-$previous_release-win64.exe
if [ ! -f "$previous" ]; then
  git rev-parse -q --verify "$previous_commit^{commit}" >/dev/null ||
    fail "the previous release $previous_release (commit $previous_commit) is not in this clone; fetch its history"
  rm -rf "$previous_tree"
  mkdir -p "$previous_tree/build-windows"
  git archive "$previous_commit" | tar -x -C "$previous_tree"
  cp -a build-windows/third-party "$previous_tree/build-windows/"
  (cd "$previous_tree" && source scripts/lib/build-tree.sh &&
   build_tree build-windows 2 -DCMAKE_TOOLCHAIN_FILE="$previous_tree/cmake/mingw-w64-x86_64.cmake" \
     -DLUMIVEX_THIRD_PARTY="$previous_tree/build-windows/third-party" -DLUMIVEX_TESTS=OFF -- --target package-contents &&
   cd build-windows && cpack -G NSIS >package.log) || fail "the installer of $previous_release could not be built"
fi

wine=/usr/lib/wine/wine64
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-windows/CMakeCache.txt)
drive=$WINEPREFIX/drive_c
place="C:\\Program Files\\Lumivex"
folder="$drive/Program Files/Lumivex"
uninstallKey="HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Lumivex"
unix_path() { "$wine" winepath -u "$1" | tr -d '\r'; }
temp=$(unix_path "$("$wine" cmd /c echo %TEMP% | tr -d '\r')")
[ -d "$temp" ] || fail "no %TEMP% folder in the Wine prefix: $temp"

shortcuts() { find "$drive" -name 'Lumivex*.lnk' 2>/dev/null; }

# Waits up to `seconds` for `condition` to hold.
wait_for() {
  local seconds=$1; shift
  for _ in $(seq $((seconds * 10))); do "$@" && return 0; sleep 0.1; done
  return 1
}
gone() { [ ! -e "$folder" ] && [ -z "$(shortcuts)" ]; }

temp_before=$(ls -A "$temp")
# What the registry holds of Lumivex, but for Wine's own record of the menu
# entries it made for the shortcuts.
registry() {
  awk '/^\[/ { section = $0 } tolower($0) ~ /lumivex/ && section !~ /^\[Software\\\\Wine\\\\MenuFiles\]/' \
    "$WINEPREFIX"/system.reg "$WINEPREFIX"/user.reg
}
temp_is_as_before() { [ "$(ls -A "$temp")" = "$temp_before" ]; }

"$wine" "$previous" /S || fail "the silent install of $previous_release failed"
[ -n "$(shortcuts)" ] || fail "$previous_release made no Start-menu entries"
echo "windows package test: $previous_release installed: $(du -sk "$folder" | cut -f1) KB"
"$wine" "$installer" /S || fail "the silent upgrade failed"
for program in lumivex lumivex-publisher lumivex-monitor lumivex-bridge; do
  [ -f "$folder/bin/$program.exe" ] || fail "$program.exe is not installed"
  ! x86_64-w64-mingw32-objdump -h "$folder/bin/$program.exe" | grep -q '\.debug' || fail "$program.exe is not stripped"
done
echo "windows package test: $version installed over it: $(du -sk "$folder" | cut -f1) KB"
# The Start-menu folder is Lumivex; the older one, named after its version, is gone.
left=$(shortcuts | grep -v '/Lumivex/[^/]*\.lnk$' || true)
[ -z "$left" ] || fail "the upgrade left $previous_release's Start-menu entries: $left"
icon=$("$wine" reg query "$uninstallKey" /v DisplayIcon | tr -d '\r' | sed -n 's/.*REG_SZ[[:space:]]*//p')
[[ $icon == *.ico ]] && [ -f "$(unix_path "$icon")" ] || fail "the uninstall entry's icon is not an icon file: $icon"
shown=$("$wine" reg query "$uninstallKey" /v DisplayVersion | tr -d '\r')
grep -q "$version" <<< "$shown" || fail "the uninstall entry shows another version: $shown"
shortcuts | grep -q 'Lumivex viewer.lnk' || fail "no Start-menu entry for the viewer"
shortcuts | grep -q 'Lumivex monitor.lnk' || fail "no Start-menu entry for the monitor"
for direction in send receive; do
  shortcuts | grep -q "Lumivex bridge - $direction.lnk" || fail "no Start-menu entry to $direction"
done
"$wine" reg query "$uninstallKey" > /dev/null 2>&1 || fail "no uninstall entry"
for program in lumivex-publisher lumivex-monitor lumivex-bridge; do
  answer=$("$wine" "$place\\bin\\$program.exe" --version | tr -d '\r')
  [[ $answer =~ ^$program\ ${version//./\\.}(\+g[0-9a-f]{7,})?$ ]] || fail "$program --version answered: $answer"
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
/usr/lib/wine/wineserver64 -w  # the registry files are written when the server ends
[ -z "$(registry)" ] || fail "left in the registry: $(registry)"
# The uninstaller's copy in %TEMP% goes once it has ended.
wait_for 60 temp_is_as_before || fail "left in %TEMP%: $(diff <(echo "$temp_before") <(ls -A "$temp"))"
echo "windows package test: installed, used and removed $installer"
