#!/usr/bin/env bash
# Configures a build directory the one way the main job and the tests share, so that neither
# compiles again what the other already built. Usage: scripts/configure.sh [DIR [CMAKE_FLAGS...]]
# (DIR defaults to build).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
shift || true
# The installed tree lives under /usr, where the units and the helper's constants expect it.
cmake -S . -B "$build" -DBRIMWELL_WERROR=ON -DCMAKE_INSTALL_PREFIX=/usr "$@" >/dev/null
