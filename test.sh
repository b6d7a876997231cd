#!/usr/bin/env bash
# Builds and runs every test: the unit tests under AddressSanitizer and UndefinedBehaviorSanitizer
# (with leak detection), the benchmarks (built, not run), the scripted games under
# ThreadSanitizer (for the work split across worker threads), then each fuzz target for a minute.
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh

jobs=$(nproc)
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export ORVALIS_HOST=headless

cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DORVALIS_SANITIZE=ON
cmake --build build/test -j "$jobs"
ctest --test-dir build/test -j "$jobs" --output-on-failure

cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVALIS_TSAN=ON \
  -DORVALIS_BENCH=OFF
cmake --build build/tsan -j "$jobs" --target tests_game_determinism_100 tests_game_determinism_1000
for count in 100 1000; do
  TSAN_OPTIONS="halt_on_error=1:suppressions=$PWD/tests/tsan-suppressions.txt" \
    build/tsan/tests/game/tests_game_determinism_$count
done

cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DORVALIS_FUZZ=ON -DORVALIS_TESTS=OFF -DORVALIS_BENCH=OFF
cmake --build build/fuzz -j "$jobs"
ctest --test-dir build/fuzz -L fuzz -j "$jobs" --output-on-failure
