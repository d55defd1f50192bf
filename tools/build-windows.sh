#!/usr/bin/env bash
# Builds the Windows library VeltoV142.dll and its C tests, installing what it needs first:
#   WIN_ARCH=i686 (default): 32-bit x86, the deliverable, in build-win32;
#   WIN_ARCH=x86_64: the same sources for 64-bit Windows, in build-win64 (its tests run under
#   wine64 where the machine cannot run 32-bit programs).
# $BUILD_DIR overrides the folder. PortAudio is compiled from Debian's own source package
# (portaudio19) for the Windows multimedia (WMME) host and linked into the DLL statically.
# The Java binding and the examples are left out of this build.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup-cross.sh windows
ROOT=$PWD
WIN_ARCH=${WIN_ARCH:-i686}
case $WIN_ARCH in
  i686) BUILD_DIR=${BUILD_DIR:-build-win32} ;;
  x86_64) BUILD_DIR=${BUILD_DIR:-build-win64} ;;
  *) echo "WIN_ARCH must be i686 or x86_64" >&2; exit 2 ;;
esac
mkdir -p "$BUILD_DIR"
BUILD_DIR=$(cd "$BUILD_DIR" && pwd)
JOBS=${JOBS:-$(nproc)}
TOOLCHAIN=$ROOT/cmake/toolchain-mingw-$WIN_ARCH.cmake

# PortAudio v19 from Debian's source package, patches applied by dpkg-source.
PA_TOP=$BUILD_DIR/portaudio
if [ ! -f "$PA_TOP/src.ok" ]; then
  rm -rf "$PA_TOP"; mkdir -p "$PA_TOP"
  (cd "$PA_TOP" && apt-get source -qq portaudio19 >/dev/null)
  touch "$PA_TOP/src.ok"
fi
PA_SRC=$(find "$PA_TOP" -maxdepth 1 -type d -name 'portaudio19-*' | head -n 1)
if [ ! -f "$PA_TOP/build/libportaudio_static.a" ]; then
  cmake -S "$PA_SRC" -B "$PA_TOP/build" -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" \
    -DCMAKE_BUILD_TYPE=Release -Wno-dev \
    -DPA_USE_WMME=ON -DPA_USE_DS=OFF -DPA_USE_WDMKS=OFF -DPA_USE_WDMKS_DEVICE_INFO=OFF \
    -DPA_USE_ASIO=OFF -DPA_UNICODE_BUILD=ON >/dev/null
  cmake --build "$PA_TOP/build" --target portaudio_static -j"$JOBS"
fi
# A pkg-config file for the static library, so that the engine's CMake finds it as usual.
mkdir -p "$PA_TOP/pkgconfig"
cat >"$PA_TOP/pkgconfig/portaudio-2.0.pc" <<PC
Name: PortAudio
Description: PortAudio v19 (Windows multimedia host), static
Version: 19
Libs: -L$PA_TOP/build -lportaudio_static -lwinmm -lole32 -luuid
Cflags: -I$PA_SRC/include
PC
export PKG_CONFIG_LIBDIR=$PA_TOP/pkgconfig

# Wine keeps its Windows tree here; the first run creates it.
export WINEPREFIX=${WINEPREFIX:-$BUILD_DIR/wine}
export WINEDEBUG=${WINEDEBUG:--all}
# Console programs only: no Mono or Gecko installer at the prefix's creation.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

# The tests run under wine as they are built (test discovery). 32-bit wine needs a kernel
# that runs 32-bit programs; without one the i686 build makes the library alone.
tests=ON
if [ "$WIN_ARCH" = i686 ] && ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  echo "This machine runs no 32-bit programs: building VeltoV142.dll without its tests" \
       "(WIN_ARCH=x86_64 builds the tests for wine64)."
  tests=OFF
fi
cmake -S . -B "$BUILD_DIR/velto" -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELTO_JNI=OFF -DVELTO_EXAMPLES=OFF \
  -DVELTO_BUNDLED_GTEST=ON -DVELTO_TESTS=$tests >/dev/null
cmake --build "$BUILD_DIR/velto" -j"$JOBS"
file "$BUILD_DIR/velto/VeltoV142.dll"
# The five PortAudio calls the library offers besides the Vexa_* interface.
exports=$(${WIN_ARCH}-w64-mingw32-objdump -p "$BUILD_DIR/velto/VeltoV142.dll")
for name in Pa_Initialize Pa_Terminate Pa_CountDevices Pa_GetDefaultInputDeviceID \
            Pa_GetDefaultOutputDeviceID Vexa_CreateContext; do
  grep -q "\] $name\$" <<<"$exports" || { echo "VeltoV142.dll does not export $name" >&2; exit 1; }
done
echo "VeltoV142.dll exports $(grep -c '\] Vexa_' <<<"$exports") Vexa_* calls and the five Pa_* calls."
