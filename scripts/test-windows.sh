#!/usr/bin/env bash
# Builds the Windows programs (scripts/build-windows.sh) and runs their tests
# under Wine: ctest runs each test program through wine64 (the build's
# CMAKE_CROSSCOMPILING_EMULATOR) in the Wine prefix build-windows/wine, made
# here, with an Xvfb server for the windows. Then the installer is built,
# installed, used and removed again under Wine (tests/package/windows-package-test.sh).
# Arguments go to ctest.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build-windows.sh
wine=/usr/lib/wine/wine64
if [ ! -x "$wine" ]; then
  echo "Windows tests: wine64 is missing (Debian package wine64); the Windows pass cannot run" >&2
  exit 1
fi
export WINEPREFIX=$PWD/build-windows/wine WINEDEBUG=-all
# One prefix for the whole pass; the first start of Wine fills it.
[ -f "$WINEPREFIX/system.reg" ] || scripts/with-xvfb.sh "$wine" wineboot --init
status=0
scripts/with-xvfb.sh ctest --test-dir build-windows --output-on-failure -j2 "$@" || status=1
# The Wine server of this prefix would otherwise linger after the last program.
/usr/lib/wine/wineserver64 -k 2>/dev/null || true
exit $status
