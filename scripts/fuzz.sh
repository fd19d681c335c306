#!/usr/bin/env bash
# Builds the libFuzzer targets (clang 14, AddressSanitizer + UBSan) in build-fuzz and runs each on
# its seed corpus for SECONDS (default 5), printing the executions per target. Exits non-zero when
# any target finds a crash or a broken invariant; the reproducer lands in build-fuzz/crashes/.
# Usage: scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-5}
bash scripts/deps.sh

# The fuzzing toolchain, installed the same way deps.sh installs the build's packages.
extras=(clang-14 libclang-rt-14-dev llvm-14)
missing=()
for package in "${extras[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Without precompiled headers or batches, so that a file which forgets to include what it uses
# fails here.
cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++-14 -DBRIMWELL_FUZZ=ON \
  -DBRIMWELL_BUILD_TESTS=OFF -DBRIMWELL_BUILD_BENCH=OFF -DBRIMWELL_PRECOMPILE_HEADERS=OFF \
  -DBRIMWELL_UNITY_BUILD=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz --target brimwell_fuzz -j2

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
mkdir -p build-fuzz/crashes build-fuzz/logs
status=0
for target in build-fuzz/fuzz/*_fuzz; do
  name=$(basename "$target")
  # The committed seeds stay as they are; what the fuzzer adds goes to a scratch corpus.
  work=build-fuzz/corpus/$name
  mkdir -p "$work"
  log=build-fuzz/logs/$name.log
  if "$target" -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="build-fuzz/crashes/$name-" "$work" "fuzz/corpus/$name" >"$log" 2>&1; then
    result=ok
  else
    result=FAILED
    status=1
  fi
  runs=$(grep -o 'Done [0-9]* runs' "$log" | grep -o '[0-9]*' || echo "?")
  printf '%-26s %-6s %12s executions\n' "$name" "$result" "$runs"
  [ "$result" = ok ] || tail -n 30 "$log"
done
exit $status
