#!/usr/bin/env bash
# Runs a command with DISPLAY set to a fresh Xvfb server of its own, which is
# stopped afterwards. -noreset keeps the server (and its pointer state) alive
# when the last client leaves.
set -euo pipefail
fdfile=$(mktemp)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -noreset -nolisten tcp 3>"$fdfile" 2>/dev/null &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; wait $xvfb 2>/dev/null; rm -f "$fdfile"' EXIT
for _ in $(seq 100); do [ -s "$fdfile" ] && break; sleep 0.05; done
[ -s "$fdfile" ] || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$fdfile")"
"$@"
