#!/usr/bin/env bash
# Builds the Windows programs (scripts/build-windows.sh) and runs their tests
# under Wine: ctest runs each test program through wine64 (the build's
# CMAKE_CROSSCOMPILING_EMULATOR) in the Wine prefix build-windows/wine, made
# here, with an Xvfb server for the windows. Then the Windows viewer's console
# output is compared with the Linux viewer's (tests/windows/console-fidelity.sh,
# which builds build/ when it is missing), the Windows bridge carries channels
# to and from the Linux one (the tests labelled wine in build/, which need its
# tests), and the installer is built, installed, used and removed again
# (tests/package/windows-package-test.sh). Arguments go to ctest.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-windows.sh
wine=/usr/lib/wine/wine64
if [ ! -x "$wine" ]; then
  echo "Windows tests: wine64 is missing (Debian package wine64); the Windows pass cannot run" >&2
  exit 1
fi
scripts/build-windows.sh
[ -f build/bin/tests-wine-bridge ] || scripts/build.sh -DLUMIVEX_TESTS=ON
export WINEPREFIX=$PWD/build-windows/wine WINEDEBUG=-all

# Under one X server and one Wine server; the Wine server is ended before the
# X server goes, so that no Wine process is left talking to it.
pass() {
  local status=0
  [ -f "$WINEPREFIX/system.reg" ] || "$wine" wineboot --init  # one prefix for the whole pass
  ctest --test-dir build-windows --output-on-failure -j2 "$@" || status=1
  tests/windows/console-fidelity.sh || status=1
  LUMIVEX_WINDOWS_BIN=$PWD/build-windows/bin ctest --test-dir build --output-on-failure -L wine "$@" || status=1
  tests/package/windows-package-test.sh || status=1
  /usr/lib/wine/wineserver64 -k 2>/dev/null || true
  return $status
}
export -f pass
export wine
scripts/with-xvfb.sh bash -c 'pass "$@"' pass "$@"
