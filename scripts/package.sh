#!/usr/bin/env bash
# Builds the Debian package build/lumivex_VERSION_amd64.deb (CPack, from the
# install rules in packaging/) and prints its path as the last line. Install
# it with `apt install ./build/lumivex_VERSION_amd64.deb`.
# LUMIVEX_PACKAGE_BUILD=N gives a rebuild of the same sources the higher
# version VERSION+buildN; only this run: the next one without it has none.
set -euo pipefail
cd "$(dirname "$0")/.."
fail() { echo "package.sh: $*" >&2; exit 1; }
# What building the package needs (the manual pages are made at build time),
# and no more: the tests' tools are not needed here.
scripts/setup-package.sh
# Only what is installed is built; configured as scripts/build.sh does, with
# the prefix of a Debian package (so that the settings go to /etc).
source scripts/lib/build-tree.sh
settings=(-DCMAKE_INSTALL_PREFIX=/usr)
[ -z "${LUMIVEX_PACKAGE_BUILD:-}" ] || settings+=("-DLUMIVEX_PACKAGE_BUILD=$LUMIVEX_PACKAGE_BUILD")
build_tree build "$(nproc)" "${settings[@]}" -- --target package-contents
grep -q '^HELP2MAN:FILEPATH=/' build/CMakeCache.txt && grep -q '^PANDOC:FILEPATH=/' build/CMakeCache.txt \
  || fail "build/ was configured without help2man or pandoc; remove build/CMakeCache.txt and run again"
(cd build && cpack -G DEB) > build/package.log 2>&1 || { cat build/package.log; fail "cpack failed"; }
deb=$(sed -n 's|^CPack: - package: .*/\(build/lumivex_.*\.deb\) generated\.$|\1|p' build/package.log)
[ -n "$deb" ] && [ -f "$deb" ] || { cat build/package.log; fail "cpack wrote no package"; }
echo "$deb"
