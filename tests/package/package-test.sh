#!/usr/bin/env bash
# The Debian package as a lab installs it: builds it (scripts/package.sh)
# twice, the second time as a rebuild with a higher version; checks its file
# list and lintian (no error or warning), installs it with apt-get, runs every
# program's --version, finds every manual page and every relative link of the
# installed README, verifies the installed service units, upgrades to the
# rebuild with units enabled, and removes it with --purge, leaving none of its
# files and no enable link. Without a running systemd, stubs of systemctl and
# deb-systemd-invoke log what the maintainer scripts ask of them. It installs
# into this machine, so it needs root (CI runs as root); scripts/test.sh runs
# it after the ctest runs.
set -euo pipefail
cd "$(dirname "$0")/../.."
if [ "$(id -u)" -ne 0 ]; then
  echo "package test: SKIPPED, it installs the package and needs root"
  exit 0
fi
export DEBIAN_FRONTEND=noninteractive
fail() { echo "package test: FAILED: $*" >&2; exit 1; }

# The rebuild first, so that the package under test leaves build/ as
# scripts/package.sh alone makes it.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
upgrade=$(LUMIVEX_PACKAGE_BUILD=2 scripts/package.sh | tail -n1)
mv "$upgrade" "$work/"
upgrade=$work/$(basename "$upgrade")
deb=$(LUMIVEX_PACKAGE_BUILD= scripts/package.sh | tail -n1)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/CMakeCache.txt)
tools=(lumivex-publisher lumivex-monitor lumivex-bridge)
[ -x build/bin/lumivex-plot ] && tools+=(lumivex-plot)
programs=(lumivex "${tools[@]}")
units=(lumivex-bridge-send@.service lumivex-bridge-receive.service)
echo "== $deb"

# File list: everything a lab needs, and nothing of the build's own tools.
listing=$(dpkg-deb --contents "$deb" | awk '{print substr($6, 2)}')
docdir=/usr/share/doc/lumivex
expected=(/etc/default/lumivex-bridge /etc/lumivex/cyclonedds.xml /usr/share/applications/lumivex.desktop
          /usr/share/icons/hicolor/64x64/apps/lumivex.png
          $docdir/changelog.gz $docdir/copyright $docdir/README.md $docdir/docs/plot-example.png)
for program in "${programs[@]}"; do
  expected+=("/usr/bin/$program" "/usr/share/man/man1/$program.1.gz")
done
for unit in "${units[@]}"; do expected+=("/usr/lib/systemd/system/$unit"); done
for path in "${expected[@]}"; do
  grep -qx "$path" <<<"$listing" || fail "$path is not in the package"
done
stray=$(grep -E 'bench|fuzz|test|gallery' <<<"$listing" || true)
[ -z "$stray" ] || fail "the package holds build tools: $stray"
[ "$(grep -c '^/usr/bin/.' <<<"$listing")" -eq "${#programs[@]}" ] || fail "unexpected programs: $(grep '^/usr/bin/.' <<<"$listing")"

# Lintian: errors and warnings fail, notes are shown.
lint=$(lintian --tag-display-limit 0 -I "$deb" 2>&1 | grep -v 'running with root privileges' || true)
[ -z "$lint" ] || echo "$lint"
! grep -q '^[EW]:' <<<"$lint" || fail "lintian reports errors or warnings"

apt_get() { apt-get "$@" -y -qq >"$work/log" 2>&1 || { cat "$work/log"; return 1; }; }

# A package left installed by an earlier, failed run goes first; this run's
# is removed again whichever way the test ends.
purge() { apt_get remove --purge lumivex; }
# Installed, or removed with its configuration left.
present() { dpkg-query -W -f='${db:Status-Abbrev}' lumivex 2>/dev/null | grep -q '^.[ic]'; }
! present || purge
trap '! present || purge || true; rm -rf "$work"' EXIT
apt_get install "./$deb" || fail "apt-get install ./$deb failed"

for tool in "${tools[@]}"; do
  answer=$("$tool" --version) || fail "$tool --version failed"
  [ "$answer" = "$tool $version" ] || fail "$tool --version answered '$answer'"
done
# Minimal images may tell dpkg to leave manual pages out; the file list above
# holds them then.
man_pages=yes
if grep -qs '^path-exclude.*/usr/share/man' /etc/dpkg/dpkg.cfg.d/*; then
  man_pages=no
  echo "package test: this machine's dpkg leaves manual pages out; man -w not tried"
else
  for program in "${programs[@]}"; do
    man -w "$program" >/dev/null || fail "no manual page for $program"
  done
  zgrep -q "Lumivex $version" "$(man -w lumivex)" || fail "the viewer's manual page does not name version $version"
fi
# Every relative link of the installed README leads to an installed file.
links=$(grep -o '](\([^)]*\))' "$docdir/README.md" | sed 's/^](\(.*\))$/\1/' | grep -Ev '^([a-z]+:|#)' || true)
[ -n "$links" ] || fail "the installed README links no document"
for link in $links; do
  [ -f "$docdir/${link%%#*}" ] || fail "the installed README links $link, which is not installed"
done
python3 -c 'import sys, xml.dom.minidom; xml.dom.minidom.parse(sys.argv[1])' /etc/lumivex/cyclonedds.xml \
  || fail "/etc/lumivex/cyclonedds.xml is not well-formed XML"
getent group lumivex >/dev/null || fail "the group lumivex was not created"
[ "$(id -gn lumivex-bridge)" = lumivex ] || fail "the user lumivex-bridge is not in the group lumivex"
conffiles=$(dpkg-query -W -f='${Conffiles}' lumivex)
for conffile in /etc/default/lumivex-bridge /etc/lumivex/cyclonedds.xml; do
  grep -q " $conffile " <<<"$conffiles" || fail "$conffile is not a conffile"
done

# systemd-analyze reports most mistakes as warnings with status 0: any output fails.
# The instance lumivex-bridge-send@0 is verified through its template.
report=$(systemd-analyze verify --man="$man_pages" /usr/lib/systemd/system/lumivex-bridge-send@0.service \
         /usr/lib/systemd/system/lumivex-bridge-receive.service 2>&1) || fail "systemd-analyze verify: $report"
[ -z "$report" ] || fail "systemd-analyze verify: $report"

# An upgrade keeps the units an administrator enabled enabled.
enabled=(lumivex-bridge-receive.service lumivex-bridge-send@0.service)
links=("${enabled[@]/#//etc/systemd/system/multi-user.target.wants/}")
systemctl --root=/ enable "${enabled[@]}" >/dev/null 2>&1 || fail "systemctl enable ${enabled[*]} failed"
apt_get install "$upgrade" || fail "apt-get install $upgrade failed"
for link in "${links[@]}"; do [ -L "$link" ] || fail "the upgrade removed the enable link $link"; done

# Its maintainer scripts, run as dpkg runs them, with stubs of systemctl and
# deb-systemd-invoke that log what they are asked: an upgrade restarts the
# units that run, a first install starts none, a removal stops them. The
# scripts ask only when systemd runs, which they tell by /run/systemd/system;
# a machine without systemd gets that folder for this while.
dpkg-deb --control "$upgrade" "$work/control"
mkdir "$work/stubs"
for stub in systemctl deb-systemd-invoke; do
  printf '#!/bin/sh\necho "%s $*" >> "%s"\n' "$stub" "$work/asked" > "$work/stubs/$stub"
  chmod +x "$work/stubs/$stub"
done
asks() {
  PATH="$work/stubs:$PATH" DPKG_MAINTSCRIPT_PACKAGE=lumivex DPKG_MAINTSCRIPT_NAME="$1" sh "$work/control/$@" >/dev/null
  cat "$work/asked" 2>/dev/null || true
  rm -f "$work/asked"
}
made_run_dir=""
[ -d /run/systemd/system ] || { mkdir -p /run/systemd/system && made_run_dir=yes; }
trap '! present || purge || true; [ -z "$made_run_dir" ] || rmdir /run/systemd/system; rm -rf "$work"' EXIT
restart="deb-systemd-invoke try-restart lumivex-bridge-receive.service lumivex-bridge-send@*.service"
grep -qxF "$restart" <<<"$(asks postinst configure "$version")" || fail "an upgrade does not ask for '$restart'"
! grep -q deb-systemd-invoke <<<"$(asks postinst configure)" || fail "a first install starts or restarts a unit"
stop="deb-systemd-invoke stop lumivex-bridge-receive.service lumivex-bridge-send@*.service"
grep -qxF "$stop" <<<"$(asks prerm remove)" || fail "a removal does not ask for '$stop'"
[ -z "$made_run_dir" ] || rmdir /run/systemd/system
made_run_dir=""

# The Python module, packaged as python3-lumivex beside lumivex: lintian-clean,
# importable by Debian's python3 from anywhere once installed, it reads what
# the installed publisher writes; a purge leaves none of its files.
if grep -q 'packages/' packaging/DebianPackage.cmake; then
  python_deb=$(dirname "$deb")/python3-lumivex_${version}_$(dpkg --print-architecture).deb
  [ -f "$python_deb" ] || fail "$python_deb was not made"
  lint=$(lintian --tag-display-limit 0 -I "$python_deb" 2>&1 | grep -v 'running with root privileges' || true)
  [ -z "$lint" ] || echo "$lint"
  ! grep -q '^[EW]:' <<<"$lint" || fail "lintian reports errors or warnings for python3-lumivex"
  apt_get install "./$python_deb" || fail "apt-get install ./$python_deb failed"
  export LUMIVEX_SHM_PREFIX=lvxpackage$$_
  lumivex-publisher --bins 3 --rate 50 --description "packaged" 2>"$work/publisher" &
  publisher=$!
  read_back=$(cd / && env -u PYTHONPATH /usr/bin/python3 -c \
    'import lumivex; print(lumivex.open(0, 3).next(timeout=10).description)' 2>&1) || true
  kill -INT "$publisher"; wait "$publisher" || true
  unset LUMIVEX_SHM_PREFIX
  [ "$read_back" = packaged ] || fail "the installed module did not read the publisher: $read_back"
  apt_get remove --purge python3-lumivex || fail "apt-get remove --purge python3-lumivex failed"
  [ ! -e /usr/lib/python3/dist-packages/lumivex ] || fail "the Python module is left after the purge"
else
  echo "package test: python3-lumivex not made: the package is not yet split into components"
fi

purge || fail "apt-get remove --purge lumivex failed"
! present || fail "lumivex is still installed"
for path in "${expected[@]}" "${links[@]}" /etc/lumivex "$docdir"; do
  [ ! -e "$path" ] && [ ! -L "$path" ] || fail "$path is left after the purge"
done
left=$(find /etc/systemd/system /var/lib/systemd/deb-systemd-helper-enabled /var/lib/systemd/deb-systemd-helper-masked \
            -name '*lumivex*' 2>/dev/null || true)
[ -z "$left" ] || fail "left after the purge: $left"
echo "package test: passed"
