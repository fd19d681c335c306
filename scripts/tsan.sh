#!/usr/bin/env bash
# ThreadSanitizer: builds the test suites with -fsanitize=thread in build-tsan and runs the daemon's
# tests and the engine's (every brimwell_core_tests case matching *Engine*:*Clock*).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh

# g++ warns that ThreadSanitizer does not model Asio's standalone fences (at worst it reports a
# race there that isn't one), so that one warning is not an error here.
cmake -S . -B build-tsan -DBRIMWELL_WERROR=ON -DBRIMWELL_SANITIZE=thread -DBRIMWELL_BUILD_BENCH=OFF \
  -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS=-Wno-tsan >/dev/null
cmake --build build-tsan --target brimwell_core_tests brimwell_helper_tests -j2

export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1"
# ThreadSanitizer's shadow memory does not fit every address layout; without randomisation it does.
run=()
if setarch "$(uname -m)" -R true 2>/dev/null; then run=(setarch "$(uname -m)" -R); fi
"${run[@]}" build-tsan/tests/brimwell_helper_tests
"${run[@]}" build-tsan/tests/brimwell_core_tests --gtest_filter='*Engine*:*Clock*'
