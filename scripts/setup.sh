#!/usr/bin/env bash
# Installs, only when missing, every Debian package that building, running and
# testing Lumivex needs. Fast when everything is present. With the argument
# `windows`: what cross-building, testing and packaging the Windows programs
# needs instead.
set -euo pipefail

packages=(g++ cmake make pkg-config freeglut3-dev libglu1-mesa-dev libgl-dev libx11-dev
          libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth xdotool imagemagick
          libgl1-mesa-dri libglx-mesa0 x11-utils libcli11-dev libpng-dev
          clang libclang-rt-14-dev llvm cyclonedds-dev cyclonedds-tools python3 ccache
          libssl-dev zlib1g-dev libacl1-dev libplplot-dev plplot-driver-cairo
          tmux iptables iproute2 lintian dpkg-dev fakeroot help2man man-db systemd
          libfastrtps-dev fastddsgen
          pandoc)  # pandoc: the viewer's manual page is written in Markdown
if [ "${1:-}" = windows ]; then
  packages=(g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 libz-mingw-w64-dev cmake make
            libcli11-dev googletest dpkg-dev ccache wine64 xvfb xauth nsis zip)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
