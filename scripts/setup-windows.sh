#!/usr/bin/env bash
# Installs, only when missing, what cross-building, testing and packaging the
# Windows programs needs (scripts/build-windows.sh, scripts/test-windows.sh,
# scripts/package-windows.sh), beside what building and running Lumivex on
# Linux needs (scripts/setup-run.sh): the console fidelity test compares the
# two viewers. patch and perl build Cyclone DDS and OpenSSL for Windows
# (scripts/windows-third-party.sh).
set -euo pipefail
exec "$(dirname "$0")/setup-run.sh" \
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 libz-mingw-w64-dev googletest dpkg-dev \
  patch perl wine64 nsis zip
