#!/usr/bin/env bash
# The helper daemon under stress on its Unix socket: CLIENTS well-behaved clients (default 200)
# and hostile ones for SECONDS (default 60) against the test power tool. Needs root for the
# refused unprivileged peer. Usage: scripts/stress.sh [SECONDS] [CLIENTS]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh

bash scripts/configure.sh build
cmake --build build --target brimwell_daemon_stress -j2
build/tests/stress/brimwell_daemon_stress "${1:-60}" "${2:-200}"
