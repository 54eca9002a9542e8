#!/usr/bin/env bash
# Installs, only when missing, every Debian package that building, running and
# testing Lumivex needs: what scripts/setup-package.sh installs (building,
# running, packaging), and the tests' own tools (GoogleTest, benchmarks, clang
# for the sanitizers and fuzzing, Fast DDS for the interoperability tests, headless
# Chromium for the web view's, network and packaging checks).
set -euo pipefail
exec "$(dirname "$0")/setup-package.sh" \
  libgtest-dev libgmock-dev libbenchmark-dev clang clang-format libclang-rt-14-dev llvm python3 \
  tmux iptables iproute2 lintian fakeroot man-db systemd \
  libfastrtps-dev fastddsgen \
  chromium chromium-driver python3-selenium openssl \
  python3-pytest
