#!/usr/bin/env bash
# Sets up the machine, builds the library and the examples, and runs the demo piece: it plays
# through the default output device when one can be opened, otherwise it writes demo.wav.
# Extra arguments go to the demo (for example: --wav demo.wav to render to a file).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target demo
./build/examples/demo "$@"
