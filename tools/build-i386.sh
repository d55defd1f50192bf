#!/usr/bin/env bash
# Builds the 32-bit x86 Linux library and its C tests (GoogleTest compiled for i386 from
# /usr/src/googletest) in build-i386 (or $BUILD_DIR), installing what it needs first.
# The Java binding and the examples are left out of this build.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup-cross.sh i386
BUILD_DIR=${BUILD_DIR:-build-i386}
# Only the i386 pkg-config files: PortAudio's comes from portaudio19-dev:i386.
export PKG_CONFIG_LIBDIR=/usr/lib/i386-linux-gnu/pkgconfig:/usr/share/pkgconfig
cmake -S . -B "$BUILD_DIR" -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/toolchain-i386.cmake" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELTO_JNI=OFF -DVELTO_EXAMPLES=OFF \
  -DVELTO_BUNDLED_GTEST=ON >/dev/null
cmake --build "$BUILD_DIR" -j"${JOBS:-$(nproc)}"
file -L "$BUILD_DIR/libVeltoV142.so"
