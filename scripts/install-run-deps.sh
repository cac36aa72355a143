#!/usr/bin/env bash
# What building and running the service need: compiler, CMake, Boost.JSON, libcups, Node.js.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/apt-install.sh build-essential cmake pkg-config libboost-json1.81-dev libcups2-dev \
  ca-certificates xdg-utils
if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
  scripts/apt-install.sh nodejs npm
fi
major=$(node -p 'process.versions.node.split(".")[0]')
if [ "$major" -lt 20 ]; then
  echo "Node.js 20 or newer is needed to build the designer (found $(node --version))." >&2
  exit 1
fi
[ -d node_modules ] && [ node_modules/.package-lock.json -nt package-lock.json ] || npm ci --no-audit --no-fund
