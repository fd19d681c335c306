#!/usr/bin/env bash
# Crash consistency: kills writers of every state file with SIGKILL at random moments and checks
# that each file still holds a complete content. Usage: scripts/crash-test.sh [KILLS_PER_KIND] [SEED]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh

bash scripts/configure.sh build
cmake --build build --target brimwell_crash_consistency -j2
directory=$(mktemp -d "${TMPDIR:-/tmp}/brimwell-crash-XXXXXX")
trap 'rm -rf "$directory"' EXIT
build/tests/crash/brimwell_crash_consistency "$directory" "${1:-300}" ${2:+"$2"}
