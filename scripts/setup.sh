#!/usr/bin/env bash
# Installs, only when missing, every Debian package that building, running and
# testing Lumivex needs: what scripts/setup-run.sh installs, and the tests'
# own tools (GoogleTest, benchmarks, clang for the sanitizers and fuzzing,
# Fast DDS for the interoperability tests, network and packaging tools).
set -euo pipefail
exec "$(dirname "$0")/setup-run.sh" \
  libgtest-dev libgmock-dev libbenchmark-dev clang clang-format libclang-rt-14-dev llvm python3 \
  tmux iptables iproute2 lintian dpkg-dev fakeroot help2man man-db systemd \
  libfastrtps-dev fastddsgen \
  python3-pytest \
  pandoc  # pandoc: the viewer's manual page is written in Markdown; pytest: the Python module's tests
