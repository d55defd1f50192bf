#!/usr/bin/env bash
# Reproduces the README's performance figures: the full Velto benchmark (workloads, limit
# loop, front-end costs, memory), then the side-by-side run against STK and Csound.
# Usage: bash bench/run.sh [build-dir]      (default build dir: build-bench)
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${1:-$ROOT/build-bench}"
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELTO_BENCH=ON \
    -DVELTO_TESTS=OFF -DVELTO_EXAMPLES=OFF > /dev/null
cmake --build "$BUILD" --target velto_bench -j2 > /dev/null
"$BUILD/bench/velto_bench"
echo
bash "$ROOT/bench/peers.sh" "$BUILD"
