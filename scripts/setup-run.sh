#!/usr/bin/env bash
# Installs, only when missing, the Debian packages that building and running
# Lumivex need (scripts/run.sh), and any further packages named as arguments
# (scripts/setup-package.sh adds those of the package, scripts/setup.sh those
# of the tests). Fast when everything is present. When another apt or dpkg
# holds the package system's lock, it waits for it, saying so, up to
# LUMIVEX_APT_WAIT seconds (300).
set -euo pipefail

packages=(g++ cmake make pkg-config ccache
          freeglut3-dev libglu1-mesa-dev libgl-dev libx11-dev libgl1-mesa-dri libglx-mesa0
          libcli11-dev libpng-dev zlib1g-dev libacl1-dev libssl-dev
          cyclonedds-dev cyclonedds-tools libplplot-dev plplot-driver-cairo
          libwebsockets-dev libjs-three  # the web view: its server, and the 3-D library its page loads
          xvfb xauth x11-utils xdotool imagemagick  # the viewer without a display: Xvfb, the tour, its screenshots
          pybind11-dev python3-dev python3-numpy  # the Python module lumivex
          "$@")

# Unpacked and configured is installed, also while a trigger of another
# package (man-db, say) is still to run for it.
installed() {
  case "$(dpkg-query -W -f='${db:Status-Status}' "$1" 2>/dev/null)" in
    installed | triggers-pending | triggers-awaited) return 0 ;;
    *) return 1 ;;
  esac
}

missing=()
for p in "${packages[@]}"; do
  installed "$p" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
wait_limit=${LUMIVEX_APT_WAIT:-300}

# apt-get, run again while another apt or dpkg holds the lock (apt says
# "Could not get lock" then and ends with status 100), up to the limit.
apt_get() {
  local output status deadline=$((SECONDS + wait_limit)) told=""
  while :; do
    status=0
    output=$($sudo apt-get -o DPkg::Lock::Timeout=10 "$@" 2>&1) || status=$?
    if [ $status -eq 0 ] || ! grep -q 'Could not get lock\|Unable to acquire the dpkg frontend lock' <<<"$output"; then
      [ $status -eq 0 ] || echo "$output" >&2
      return $status
    fi
    if [ $SECONDS -ge $deadline ]; then
      echo "setup-run.sh: another apt or dpkg still holds the package lock after ${wait_limit} s; run again when it is done" >&2
      echo "$output" >&2
      return $status
    fi
    [ -n "$told" ] || echo "setup-run.sh: another apt or dpkg holds the package lock; waiting up to ${wait_limit} s"
    told=yes
    sleep 2
  done
}

echo "Installing: ${missing[*]}"
apt_get update -qq
apt_get install -y -qq --no-install-recommends "${missing[@]}"
