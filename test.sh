#!/usr/bin/env bash
# Builds and runs every test: the unit tests under AddressSanitizer and UndefinedBehaviorSanitizer
# (with leak detection), the benchmarks (built, not run), a short run of the scripted games under
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

# ThreadSanitizer, with no report set aside: the scripted games' short run on three threads (the
# parallel passes, the gathered swarm among them), frames drawn beside the program that blits them
# to the screen, and under both compilers the check that a pass whose body races is reported.
tsan=(-G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVALIS_TSAN=ON -DORVALIS_BENCH=OFF)
cmake -S . -B build/tsan "${tsan[@]}"
cmake -S . -B build/tsan-clang "${tsan[@]}" -DCMAKE_CXX_COMPILER=clang++
cmake --build build/tsan -j "$jobs" \
  --target tests_game_determinism_100 tests_game_determinism_1000 tests_platform_d3d \
  parallel_for_race
cmake --build build/tsan-clang -j "$jobs" --target parallel_for_race
TSAN_OPTIONS=halt_on_error=1 ctest --test-dir build/tsan -j "$jobs" --output-on-failure \
  -R '^ParallelFor\.|/ThreeThreads|^PresentingBesideTest\.'
TSAN_OPTIONS=halt_on_error=1 ctest --test-dir build/tsan-clang --output-on-failure -R '^ParallelFor\.'

cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DORVALIS_FUZZ=ON -DORVALIS_TESTS=OFF -DORVALIS_BENCH=OFF
cmake --build build/fuzz -j "$jobs"
ctest --test-dir build/fuzz -L fuzz -j "$jobs" --output-on-failure
