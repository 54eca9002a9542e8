#!/usr/bin/env bash
# Runs fuzz targets of the checking tree: scripts/fuzz.sh [TARGET] [SECONDS]
# TARGET is a name such as channel (the program build-asan/bin/fuzz-channel);
# every target runs, one after the other, when it is missing or "all".
# SECONDS (default 60) is the time per target.
#
# Seeds are read from fuzz/corpus/TARGET/ and never written there; inputs that
# reach new code collect in build-asan/fuzz-work/TARGET/corpus/ and a crashing
# input is saved as build-asan/fuzz-work/TARGET/crash-*. Once its fault is
# fixed, copy it into fuzz/corpus/TARGET/ so every later run replays it.
# Extra libFuzzer flags can be given in LUMIVEX_FUZZ_FLAGS.
#
# ctest runs it per target (label fuzz) with LUMIVEX_BIN set to the tree's
# bin/; run by hand, it first builds the fuzz targets of build-asan/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
target=${1:-all}
seconds=${2:-60}

if [ -z "${LUMIVEX_BIN:-}" ]; then
  "$root/scripts/build-asan.sh" --target fuzzers
  bin=$root/build-asan/bin
else
  bin=$LUMIVEX_BIN
fi
work=$(dirname "$bin")/fuzz-work

# Targets that make shared-memory objects put this prefix before their names;
# whatever a crashing run leaves behind is removed here.
export LUMIVEX_SHM_PREFIX=lumivex_fuzz_$$_
trap 'rm -f /dev/shm/"$LUMIVEX_SHM_PREFIX"*' EXIT

run() {
  local name=$1 program=$bin/fuzz-$1
  [ -x "$program" ] || { echo "no fuzz target $name ($program)" >&2; return 1; }
  mkdir -p "$work/$name/corpus" "$root/fuzz/corpus/$name"
  local flags=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
               -artifact_prefix="$work/$name/")
  [ -f "$root/fuzz/dict/$name.dict" ] && flags+=(-dict="$root/fuzz/dict/$name.dict")
  echo "== fuzz-$name for $seconds s"
  # shellcheck disable=SC2086  # the extra flags are meant to split
  "$program" "${flags[@]}" ${LUMIVEX_FUZZ_FLAGS:-} "$work/$name/corpus" "$root/fuzz/corpus/$name"
}

if [ "$target" != all ]; then
  run "$target"
  exit
fi
status=0
for program in "$bin"/fuzz-*; do
  [ -x "$program" ] || continue
  run "${program##*/fuzz-}" || status=1
done
exit $status
