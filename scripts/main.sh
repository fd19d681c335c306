#!/usr/bin/env bash
# Builds what the main job needs, the brimwell tool, and runs it: the real engine through the
# built-in simulated discharge. Shares build/ and its configuration with scripts/test.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
bash scripts/configure.sh build
cmake --build build -j2 --target brimwell
exec build/cli/brimwell simulate "$@"
