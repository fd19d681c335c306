#!/usr/bin/env bash
# Builds everything and runs the main job: the real engine through the built-in simulated discharge.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build >/dev/null
cmake --build build -j2
exec build/cli/brimwell simulate "$@"
