#!/usr/bin/env bash
# Builds the game and runs it with its default assets. ORVALIS_HOST=sdl|headless picks the host;
# by default a real window opens when a display is available.
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh

cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DORVALIS_TESTS=OFF -DORVALIS_BENCH=OFF
cmake --build build/release -j "$(nproc)" --target OrvalisProject

cd assets
exec ../build/release/game/OrvalisProject "$@"
