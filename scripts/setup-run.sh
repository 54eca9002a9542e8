#!/usr/bin/env bash
# Installs, only when missing, the Debian packages that building and running
# Lumivex need (scripts/run.sh), and any further packages named as arguments
# (scripts/setup.sh adds those of the tests). Fast when everything is present.
set -euo pipefail

packages=(g++ cmake make pkg-config ccache
          freeglut3-dev libglu1-mesa-dev libgl-dev libx11-dev libgl1-mesa-dri libglx-mesa0
          libcli11-dev libpng-dev zlib1g-dev libacl1-dev libssl-dev
          cyclonedds-dev cyclonedds-tools libplplot-dev plplot-driver-cairo
          xvfb xauth x11-utils xdotool imagemagick  # the viewer without a display: Xvfb, the tour, its screenshots
          pybind11-dev python3-dev python3-numpy  # the Python module lumivex
          "$@")

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
