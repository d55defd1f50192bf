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
# Some kernels run no 32-bit programs (IA-32 emulation off): the tests then run through
# qemu's user-mode emulator.
emulator=()
probe=$(mktemp -d)
echo 'int main(void) { return 0; }' >"$probe/probe.c"
if ! { gcc -m32 "$probe/probe.c" -o "$probe/probe" && "$probe/probe"; } 2>/dev/null; then
  echo "This machine runs no 32-bit programs: the tests run under qemu-i386."
  emulator=(-DCMAKE_CROSSCOMPILING_EMULATOR=qemu-i386)
fi
rm -rf "$probe"
cmake -S . -B "$BUILD_DIR" -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/toolchain-i386.cmake" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELTO_JNI=OFF -DVELTO_EXAMPLES=OFF \
  -DVELTO_BUNDLED_GTEST=ON "${emulator[@]}" >/dev/null
cmake --build "$BUILD_DIR" -j"${JOBS:-$(nproc)}"
file -L "$BUILD_DIR/libVeltoV142.so"
