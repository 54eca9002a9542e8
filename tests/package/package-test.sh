#!/usr/bin/env bash
# The Debian package as a lab installs it: builds it (scripts/package.sh),
# checks its file list and lintian (no errors), installs it with apt-get,
# runs every program's --version and finds every manual page, verifies the
# installed service units, and removes it with --purge, leaving none of its
# files. It installs into this machine, so it needs root (CI runs as root);
# scripts/test.sh runs it after the ctest runs.
set -euo pipefail
cd "$(dirname "$0")/../.."
if [ "$(id -u)" -ne 0 ]; then
  echo "package test: SKIPPED, it installs the package and needs root"
  exit 0
fi
export DEBIAN_FRONTEND=noninteractive
fail() { echo "package test: FAILED: $*" >&2; exit 1; }

deb=$(scripts/package.sh | tail -n1)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/CMakeCache.txt)
tools=(lumivex-publisher lumivex-monitor lumivex-bridge)
[ -x build/bin/lumivex-plot ] && tools+=(lumivex-plot)
programs=(lumivex "${tools[@]}")
units=(lumivex-bridge-send@.service lumivex-bridge-receive.service)
echo "== $deb"

# File list: everything a lab needs, and nothing of the build's own tools.
listing=$(dpkg-deb --contents "$deb" | awk '{print substr($6, 2)}')
expected=(/etc/default/lumivex-bridge /usr/share/applications/lumivex.desktop
          /usr/share/icons/hicolor/64x64/apps/lumivex.png
          /usr/share/doc/lumivex/changelog.Debian.gz /usr/share/doc/lumivex/copyright
          /usr/share/doc/lumivex/README.md /usr/share/doc/lumivex/layout.md
          /usr/share/doc/lumivex/docs/plot-example.png)
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

# Lintian: errors fail, warnings are shown.
lint=$(lintian --tag-display-limit 0 "$deb" 2>&1 | grep -v 'running with root privileges' || true)
[ -z "$lint" ] || echo "$lint"
! grep -q '^E:' <<<"$lint" || fail "lintian reports errors"

# A package left installed by an earlier, failed run goes first; this run's
# is removed again whichever way the test ends.
log=$(mktemp)
purge() { apt-get remove --purge -y -qq lumivex >"$log" 2>&1; }
purge || true
trap 'purge || true; rm -f "$log"' EXIT
apt-get install -y -qq "./$deb" >"$log" 2>&1 || { cat "$log"; fail "apt-get install ./$deb failed"; }

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
getent group lumivex >/dev/null || fail "the group lumivex was not created"
[ "$(id -gn lumivex-bridge)" = lumivex ] || fail "the user lumivex-bridge is not in the group lumivex"
grep -q ' /etc/default/lumivex-bridge ' <<<"$(dpkg-query -W -f='${Conffiles}' lumivex)" \
  || fail "/etc/default/lumivex-bridge is not a conffile"

# systemd-analyze reports most mistakes as warnings with status 0: any output fails.
# The instance lumivex-bridge-send@0 is verified through its template.
report=$(systemd-analyze verify --man="$man_pages" /usr/lib/systemd/system/lumivex-bridge-send@0.service \
         /usr/lib/systemd/system/lumivex-bridge-receive.service 2>&1) || fail "systemd-analyze verify: $report"
[ -z "$report" ] || fail "systemd-analyze verify: $report"

purge || { cat "$log"; fail "apt-get remove --purge lumivex failed"; }
trap 'rm -f "$log"' EXIT
! grep -q 'ok installed' <<<"$(dpkg-query -W -f='${Status}' lumivex 2>/dev/null)" || fail "lumivex is still installed"
for path in "${expected[@]}"; do
  [ ! -e "$path" ] || fail "$path is left after the purge"
done
echo "package test: passed"
