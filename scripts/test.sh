#!/usr/bin/env bash
# Sets up, builds and runs every test, twice: in build/ as the programs ship,
# and in build-asan/ (scripts/build-asan.sh) under AddressSanitizer and
# UndefinedBehaviorSanitizer, where every fuzz target also runs for a short
# while (ctest label fuzz). Any sanitizer report, from a test or from a
# program a test starts, fails the run. Tests that need a display get an Xvfb
# server started here. Arguments go to both ctest runs (for example -L gl or
# -R tracker). Then the Windows programs are cross-built and their tests run
# under Wine (scripts/test-windows.sh). Last, the Debian package is built,
# installed and removed again (tests/package/package-test.sh; as root only).
# After each ctest run, the tests that skipped themselves are counted with
# the reasons they gave.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/skipped-tests.sh
scripts/setup.sh
scripts/build.sh -DLUMIVEX_TESTS=ON
status=0
# The tests labelled wine need the Windows build: scripts/test-windows.sh runs them.
scripts/with-xvfb.sh ctest --test-dir build --output-on-failure -j2 -LE wine "$@" || status=1
skipped_tests build

# Reports are written to files (their process fails too), so that a report
# from a program a test starts, whose exit status the test may not look at,
# still fails the run. The preload keeps shared libraries loaded until exit,
# so that the leak check can name the library of a leak for the suppressions.
reports=$(mktemp -d)
trap 'rm -rf "$reports"' EXIT
common=halt_on_error=1:print_stacktrace=1:log_exe_name=1:log_path=$reports/report
export ASAN_OPTIONS=$common:detect_leaks=1:strict_init_order=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=$common
export LSAN_OPTIONS=suppressions=$PWD/sanitizers/lsan.supp:print_suppressions=0
scripts/build-asan.sh
keep=$PWD/build-asan/lib/liblumivex_keep_libraries.so
scripts/with-xvfb.sh env LD_PRELOAD="$keep" ctest --test-dir build-asan --output-on-failure -j2 -LE wine "$@" || status=1
skipped_tests build-asan

# The leak check stops a process's threads with a tracer of its own; when a
# test kills a program while that check runs at its exit, the tracer can
# crash on the vanishing threads (seen in the viewer, whose OpenGL driver
# runs threads of its own). That says nothing about our code, so such a
# report is shown but does not fail the run; every other report does.
tracerOnly='^(Tracer caught signal .*|==([^=]+==)?[0-9]+==(LeakSanitizer has encountered a fatal error\.|HINT: .*))$'
for report in "$reports"/report*; do
  [ -e "$report" ] || continue
  if ! grep -qvE "$tracerOnly" "$report"; then
    echo "Leak check could not run in one process (its tracer crashed): $(basename "$report")"
    cat "$report"
    continue
  fi
  echo "Sanitizer report $(basename "$report"):"
  cat "$report"
  status=1
done

scripts/test-windows.sh "$@" || status=1
tests/package/package-test.sh || status=1
exit $status
