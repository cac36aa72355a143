#!/usr/bin/env bash
# Builds and starts the portable single-file service. It runs a copy outside the source tree:
# next to the build folder the program would find ../dist and serve it from disk instead of
# the designer compiled into it.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build --target sorvendale -j"$(nproc)"
home="${XDG_CACHE_HOME:-$HOME/.cache}/sorvendale"
mkdir -p "$home"
cp build/sorvendale "$home/sorvendale"
cd "$home"
exec ./sorvendale "$@"
