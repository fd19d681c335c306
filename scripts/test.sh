#!/usr/bin/env bash
# Builds and runs the whole test suite. With --sanitize the build uses AddressSanitizer and
# UndefinedBehaviorSanitizer (build directory build-asan); otherwise the build the main job
# shares (build).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh

build=build
flags=()
if [ "${1:-}" = "--sanitize" ]; then
  build=build-asan
  flags+=(-DBRIMWELL_SANITIZE=address,undefined -DBRIMWELL_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug)
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
fi

bash scripts/configure.sh "$build" "${flags[@]}"
cmake --build "$build" -j2
ctest --test-dir "$build" --output-on-failure -j2
