#!/usr/bin/env bash
# Installs, only when missing, what building the Debian package needs
# (scripts/package.sh) on top of what building the programs needs: help2man
# and pandoc make the manual pages, dpkg-dev's dpkg-shlibdeps finds the
# package's dependencies. Further packages named as arguments are added
# (scripts/setup.sh adds those of the tests).
set -euo pipefail
exec "$(dirname "$0")/setup-run.sh" help2man pandoc dpkg-dev "$@"
