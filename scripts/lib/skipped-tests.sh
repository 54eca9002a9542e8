# Sourced by scripts/test.sh.
#
#   skipped_tests TREE
#
# After a ctest run in TREE: how many tests skipped themselves, grouped by the
# reason each gave (GoogleTest's "Skipped" line is followed by it), so that a
# run as an ordinary user or without a network says what it left out.
skipped_tests() {
  local log=$1/Testing/Temporary/LastTest.log
  [ -f "$log" ] || return 0
  awk '/: Skipped$/ { getline reason; count[reason]++; total++ }
       END {
         if (!total) exit
         printf "%d test%s skipped in %s, and why:\n", total, total == 1 ? "" : "s", tree
         for (reason in count) printf "  %4d  %s\n", count[reason], reason
       }' tree="$1" "$log"
}
