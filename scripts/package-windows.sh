#!/usr/bin/env bash
# Builds the Windows installer build-windows/lumivex-VERSION-win64.exe (NSIS)
# and the zip build-windows/lumivex-VERSION-win64.zip from the Windows build
# (scripts/build-windows.sh) with CPack, and prints the installer's path as
# the last line.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build-windows.sh
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build-windows/CMakeCache.txt)
installer=build-windows/lumivex-$version-win64.exe
rm -f "$installer" "${installer%.exe}.zip"
(cd build-windows && cpack) > build-windows/package.log 2>&1 || { cat build-windows/package.log; exit 1; }
[ -f "$installer" ] && [ -f "${installer%.exe}.zip" ] || { cat build-windows/package.log; exit 1; }
echo "$installer"
