#!/usr/bin/env bash
# The Debian package as a lab installs it: builds it (scripts/package.sh)
# twice, the second time as a rebuild with a higher version, and the previous
# release's package from its commit; checks the file list and lintian (no
# error or warning). It installs the previous release, runs the bridge's
# programs as their units run them and a tracking server beside them, and
# changes a setting; upgrades to this package and checks that the setting is
# kept (or the new one offered beside it, as dpkg does) and that the new
# programs carry on with the channels the old ones left. Then it runs every
# program's --version, finds every manual page and every relative link of the
# installed README, verifies the installed service units, upgrades to the
# rebuild with units enabled, and removes it with --purge, leaving none of
# the files of either release and no enable link. Without a running systemd,
# stubs of systemctl and deb-systemd-invoke log what the maintainer scripts
# ask of them. It installs into this machine, so it needs root (CI runs as
# root); scripts/test.sh runs it after the ctest runs.
set -euo pipefail
cd "$(dirname "$0")/../.."
if [ "$(id -u)" -ne 0 ]; then
  echo "package test: SKIPPED, it installs the package and needs root"
  exit 0
fi
export DEBIAN_FRONTEND=noninteractive
fail() { echo "package test: FAILED: $*" >&2; exit 1; }

# The previous release (tagged v0.3.0), built from its commit as its own
# scripts/package.sh builds it.
previous_release=0.3.0
previous_commit=8846874
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
git rev-parse -q --verify "$previous_commit^{commit}" >/dev/null ||
  fail "the previous release $previous_release (commit $previous_commit) is not in this clone; fetch its history"
mkdir "$work/previous"
git archive "$previous_commit" | tar -x -C "$work/previous"
previous=$(cd "$work/previous" && scripts/package.sh | tail -n1) || fail "the package of $previous_release could not be built"
previous=$work/previous/$previous
[[ $previous == *_${previous_release}_* ]] || fail "the previous release built $previous"

# The rebuild before the package under test, so that the latter leaves
# build/ as scripts/package.sh alone makes it.
upgrade=$(LUMIVEX_PACKAGE_BUILD=2 scripts/package.sh | tail -n1)
mv "$upgrade" "$work/"
upgrade=$work/$(basename "$upgrade")
# The rebuild's other packages go as well.
mv build/*+build2_*.deb "$work/"
# The build number is not kept for the next run.
deb=$(env -u LUMIVEX_PACKAGE_BUILD scripts/package.sh | tail -n1)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/CMakeCache.txt)
[[ $deb == */lumivex_${version}_* ]] || fail "a run without a build number made $deb"
tools=(lumivex-publisher lumivex-monitor lumivex-bridge)
[ -x build/bin/lumivex-plot ] && tools+=(lumivex-plot)
[ -x build/bin/lumivex-web ] && tools+=(lumivex-web)
programs=(lumivex "${tools[@]}")
units=(lumivex-bridge-send@.service lumivex-bridge-receive.service)
[ -x build/bin/lumivex-web ] && units+=(lumivex-web.service)
echo "== $deb"
echo "package test: Installed-Size $(dpkg-deb -f "$previous" Installed-Size) KB ($previous_release)," \
     "$(dpkg-deb -f "$deb" Installed-Size) KB ($version)"

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
# The client library's packages, made beside it.
client_debs=("${deb/\/lumivex_//liblumivex0_}" "${deb/\/lumivex_//lumivex-dev_}")
for client_deb in "${client_debs[@]}"; do
  [ -f "$client_deb" ] || fail "$client_deb was not made"
  lint=$(lintian --tag-display-limit 0 -I "$client_deb" 2>&1 | grep -v 'running with root privileges' || true)
  [ -z "$lint" ] || echo "$lint"
  ! grep -q '^[EW]:' <<<"$lint" || fail "lintian reports errors or warnings for $client_deb"
done

apt_get() { apt-get "$@" -y -qq >"$work/log" 2>&1 || { cat "$work/log"; return 1; }; }
purge() { apt_get remove --purge lumivex; }
# Installed, or removed with its configuration left.
present() { dpkg-query -W -f='${db:Status-Abbrev}' lumivex 2>/dev/null | grep -q '^.[ic]'; }

# Whichever way the test ends, the programs it started stop, their channels
# go, and this run's package is removed again.
prefix=lvxpkg$$_
started=()
made_run_dir=""
clean_up() {
  for pid in "${started[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait
  rm -f /dev/shm/"$prefix"*
  ! present || purge || true
  [ -z "$made_run_dir" ] || rmdir /run/systemd/system
  rm -rf "$work"
}
# A package left installed by an earlier, failed run goes first.
! present || purge
trap clean_up EXIT

# Starts a service's program as systemd would: its ExecStart (with $$ and %i
# resolved), User, Group (with the user's own groups), UMask and
# EnvironmentFile, with the channels' prefix PREFIX; its output goes to LOG.
unit_setting() { local value; value=$(sed -n "s/^$2=//p" "$1"); echo "${value:-$3}"; }
start_unit() {  # UNIT-FILE INSTANCE PREFIX LOG
  local file=/usr/lib/systemd/system/$1 command
  command=$(sed -n 's/^ExecStart=//p' "$file" | sed "s/[$][$]/\$/g; s/%i/$2/g")
  (
    umask "$(unit_setting "$file" UMask 0022)"
    set -a && . /etc/default/lumivex-bridge && set +a
    export LUMIVEX_SHM_PREFIX=$3
    eval "exec setpriv --reuid=$(unit_setting "$file" User root) --regid=$(unit_setting "$file" Group root) --init-groups $command"
  ) >"$4" 2>&1 &
  started+=($!)
}
stop_started() { kill "${started[@]}" 2>/dev/null || true; wait; started=(); }
wait_for() {  # SECONDS CONDITION...
  local seconds=$1; shift
  for _ in $(seq $((seconds * 10))); do "$@" && return 0; sleep 0.1; done
  return 1
}
# Both bridges as their units run them, beside a tracking server that runs
# as the README advises (root, group lumivex, mode 0640); they carry its
# channels to the prefix viewer_, which a member of the group lumivex watches.
bridge_both_ways() {  # LOG-NAME
  start_unit lumivex-bridge-send@.service 0 "${prefix}server_" "$work/send-$1.log"
  start_unit lumivex-bridge-receive.service "" "${prefix}viewer_" "$work/receive-$1.log"
  wait_for 60 grep -q 'instrument 0 bin 0: receiving into' "$work/receive-$1.log" ||
    fail "the $1 bridges carry no channel: $(cat "$work/send-$1.log" "$work/receive-$1.log")"
  watched=$(LUMIVEX_SHM_PREFIX=${prefix}viewer_ setpriv --reuid=lumivex-bridge --regid=lumivex --init-groups \
            lumivex-monitor --once --bins 0 2>&1) || fail "the group lumivex cannot watch what the $1 bridges carry: $watched"
}

# The previous release, running, with a setting an administrator changed:
# the bridges' DDS domain and network (the loopback interface).
apt_get install "$previous" || fail "apt-get install $previous failed"
settings=/etc/default/lumivex-bridge
loopback='<General><Interfaces><NetworkInterface name="lo"/></Interfaces><AllowMulticast>false</AllowMulticast></General><Discovery><ParticipantIndex>auto</ParticipantIndex><MaxAutoParticipantIndex>30</MaxAutoParticipantIndex><Peers><Peer address="127.0.0.1"/></Peers></Discovery>'
domain=$((100 + $$ % 100))
printf '%s\n' "LUMIVEX_BRIDGE_SEND_OPTIONS=\"--domain $domain\"" "LUMIVEX_BRIDGE_RECEIVE_OPTIONS=\"--domain $domain\"" \
  "CYCLONEDDS_URI='$loopback'" >> "$settings"
cp "$settings" "$work/settings"
(export LUMIVEX_SHM_PREFIX=${prefix}server_; exec setpriv --regid=lumivex --clear-groups lumivex-publisher --mode 640) \
  >"$work/publisher.log" 2>&1 &
publisher=$!
bridge_both_ways previous
kill "${started[@]}"; wait "${started[@]}" || true
started=("$publisher")
# Builds before the previous release made the received channels 0660; the
# new receiver takes them over all the same.
chmod 0660 /dev/shm/"${prefix}viewer_"*

# The upgrade keeps a changed setting; when the package's own version of it
# changed too, dpkg puts that beside it (.dpkg-dist) rather than asking.
apt_get install -o Dpkg::Options::=--force-confdef -o Dpkg::Options::=--force-confold "./$deb" ||
  fail "the upgrade from $previous_release failed"
packaged() { dpkg-deb --fsys-tarfile "$1" | tar -xO ".$2"; }
cmp -s "$work/settings" "$settings" || fail "the upgrade did not keep the changed $settings"
cmp -s <(packaged "$previous" "$settings") <(packaged "$deb" "$settings") || [ -f "$settings.dpkg-dist" ] ||
  fail "the upgrade neither kept nor offered the new $settings"
cmp -s <(packaged "$deb" /etc/lumivex/cyclonedds.xml) /etc/lumivex/cyclonedds.xml ||
  fail "the upgrade did not bring the new /etc/lumivex/cyclonedds.xml, which nobody changed"
# The new bridges carry on with the server's and their older selves' channels.
bridge_both_ways new
! grep -i 'refus' "$work/receive-new.log" "$work/send-new.log" || fail "the new bridges refuse the old objects"
for object in ShMem:640 Mutex:600; do
  mode=$(stat -c %a "/dev/shm/${prefix}viewer_Quillmont${object%:*}00")
  [ "$mode" = "${object#*:}" ] || fail "the new receiver left the ${object%:*} object mode $mode"
done
stop_started

# The example reader, built against the installed development package with
# pkg-config and with the CMake package, reads what a publisher writes: the
# pose it fixes for station 0. The client packages go again at the end.
purge_client() { apt_get remove --purge lumivex-dev liblumivex0; }
! dpkg-query -W -f='${db:Status-Abbrev}' liblumivex0 2>/dev/null | grep -q '^.[ic]' || purge_client
apt_get install "${client_debs[@]/#/./}" || fail "apt-get install ${client_debs[*]} failed"
examples=/usr/share/doc/lumivex-dev/examples
cc -o "$work/reader" "$examples/reader.c" $(pkg-config --cflags --libs lumivex) || fail "the example reader does not build"
cmake -S "$examples" -B "$work/cmake-reader" >"$work/log" 2>&1 && cmake --build "$work/cmake-reader" >>"$work/log" 2>&1 \
  || { cat "$work/log"; fail "the example reader does not build with the CMake package"; }
export LUMIVEX_SHM_PREFIX=lvxpackagetest$$_
lumivex-publisher --bins 3 --motion counter --pose 0=1.5,0.25,-2,0.5,0,-0.125 --duration 20 2>/dev/null &
publisher=$!
for _ in $(seq 200); do lumivex-monitor --once --bins 3 >/dev/null 2>&1 && break; sleep 0.05; done
read_out=$("$work/reader") || fail "the example reader failed: $read_out"
kill "$publisher"; wait "$publisher" || true
unset LUMIVEX_SHM_PREFIX
grep -qx 'channel 0 3: Simulated tracker, METERS, 4 active' <<<"$read_out" || fail "the example lists: $read_out"
[ "$(grep -c '^write [0-9]*: 1.5 0.25 -2 0.5 0 -0.125$' <<<"$read_out")" -eq 10 ] || fail "the example read: $read_out"
purge_client || fail "apt-get remove --purge lumivex-dev liblumivex0 failed"

for tool in "${tools[@]}"; do
  answer=$("$tool" --version) || fail "$tool --version failed"
  # A development build names its commit too (0.4.0+g1a2b3c4).
  [[ $answer =~ ^$tool\ ${version//./\\.}(\+g[0-9a-f]{7,})?$ ]] || fail "$tool --version answered '$answer'"
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
         /usr/lib/systemd/system/lumivex-bridge-receive.service \
         $([ -x build/bin/lumivex-web ] && echo /usr/lib/systemd/system/lumivex-web.service) 2>&1) || fail "systemd-analyze verify: $report"
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
[ -d /run/systemd/system ] || { mkdir -p /run/systemd/system && made_run_dir=yes; }
restart="deb-systemd-invoke try-restart lumivex-bridge-receive.service lumivex-bridge-send@*.service lumivex-web.service"
grep -qxF "$restart" <<<"$(asks postinst configure "$version")" || fail "an upgrade does not ask for '$restart'"
! grep -q deb-systemd-invoke <<<"$(asks postinst configure)" || fail "a first install starts or restarts a unit"
stop="deb-systemd-invoke stop lumivex-bridge-receive.service lumivex-bridge-send@*.service lumivex-web.service"
grep -qxF "$stop" <<<"$(asks prerm remove)" || fail "a removal does not ask for '$stop'"
[ -z "$made_run_dir" ] || rmdir /run/systemd/system
made_run_dir=""

# The Python module, packaged as python3-lumivex beside lumivex: lintian-clean,
# importable by Debian's python3 from anywhere once installed, it reads what
# the installed publisher writes; a purge leaves none of its files.
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

purge || fail "apt-get remove --purge lumivex failed"
! present || fail "lumivex is still installed"
previous_files=$(dpkg-deb --contents "$previous" | awk '$1 !~ /^d/ {print substr($6, 2)}')
for path in "${expected[@]}" $previous_files "${links[@]}" /etc/lumivex "$settings".dpkg-* "$docdir"; do
  [ ! -e "$path" ] && [ ! -L "$path" ] || fail "$path is left after the purge"
done
left=$(find /etc/systemd/system /var/lib/systemd/deb-systemd-helper-enabled /var/lib/systemd/deb-systemd-helper-masked \
            -name '*lumivex*' 2>/dev/null || true)
[ -z "$left" ] || fail "left after the purge: $left"
echo "package test: passed"
