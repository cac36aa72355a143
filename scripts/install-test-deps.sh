#!/usr/bin/env bash
# Everything the full test run needs on top of the run dependencies.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-run-deps.sh
scripts/apt-install.sh libgtest-dev libgmock-dev clang-format cups cups-client cups-bsd \
  g++-mingw-w64-x86-64-posix wine64 chromium fonts-wqy-microhei unicode-data zbar-tools \
  clang libclang-rt-14-dev
