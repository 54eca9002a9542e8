#!/usr/bin/env bash
# Installs, only when missing, every Debian package that building, running and
# testing Lumivex needs: what scripts/setup-run.sh installs, and the tests'
# own tools (GoogleTest, benchmarks, clang for the sanitizers and fuzzing,
# Fast DDS for the interoperability tests, headless Chromium for the web
# view's, network and packaging tools).
set -euo pipefail
exec "$(dirname "$0")/setup-run.sh" \
  libgtest-dev libgmock-dev libbenchmark-dev clang clang-format libclang-rt-14-dev llvm python3 \
  tmux iptables iproute2 lintian dpkg-dev fakeroot help2man man-db systemd \
  libfastrtps-dev fastddsgen \
  chromium chromium-driver python3-selenium openssl \
  pandoc  # pandoc: the viewer's manual page is written in Markdown
