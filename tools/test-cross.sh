#!/usr/bin/env bash
# Builds the other two targets and runs their C test suites on this machine:
#   32-bit x86 Linux (build-i386): the tests run natively;
#   Windows (build-win32: 32-bit x86, the deliverable; build-win64: x86-64): the tests run
#   under wine, test_windows included.
# Device tests skip when no audio server can be reached (VELTO_REQUIRE_DEVICE stays unset).
# The install and documentation checks belong to the main build and are not run here.
# Usage: tools/test-cross.sh [i386] [windows]   (no argument: both)
set -euo pipefail
cd "$(dirname "$0")/.."
unset VELTO_REQUIRE_DEVICE
targets=("$@"); [ ${#targets[@]} -eq 0 ] && targets=(i386 windows)
JOBS=${JOBS:-$(nproc)}
export JOBS
status=0
for t in "${targets[@]}"; do
  case $t in
    i386)
      export BUILD_DIR=${I386_BUILD_DIR:-build-i386}
      tools/build-i386.sh
      ctest --test-dir "$BUILD_DIR" --output-on-failure -j"$JOBS" -LE 'install|docs' || status=1
      ;;
    windows)
      # The 32-bit deliverable first, then the same sources for 64-bit Windows. Each build's
      # tests run under wine where the build has them (32-bit wine needs a kernel that runs
      # 32-bit programs; tools/build-windows.sh says when it leaves them out).
      for arch in i686 x86_64; do
        if [ $arch = i686 ]; then dir=${WIN32_BUILD_DIR:-build-win32}; else dir=${WIN64_BUILD_DIR:-build-win64}; fi
        WIN_ARCH=$arch BUILD_DIR=$dir tools/build-windows.sh
        dir=$(cd "$dir" && pwd)
        if [ $arch = i686 ] && ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
          echo "No 32-bit wine here (the kernel runs no 32-bit programs): the i686 tests are not run."
          continue
        fi
        export WINEPREFIX=$dir/wine WINEDEBUG=${WINEDEBUG:--all}
        export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
        # One wine server for the whole run instead of one per test program; it is stopped
        # below, through its own prefix.
        wineserver -p
        # Wine's first program in a session starts its background services, which keep the
        # program's output open; started by a test, they would hold CTest until the timeout.
        # A first program of our own, its output to /dev/null, starts them instead.
        if [ $arch = i686 ]; then wine=/usr/lib/wine/wine; else wine=/usr/lib/wine/wine64; fi
        "$wine" cmd /c exit >/dev/null 2>&1 || true
        # Two cases check the Linux build's answer to debug code 2 (0); test_windows checks
        # the Windows answer (the calling thread's id) instead.
        linux_only='HostTest\.BenchTimerAndDebugQueries|DebugTest\.TraceLevelAndSimpleCodes'
        ctest --test-dir "$dir/velto" --output-on-failure -j"$JOBS" -LE 'install|docs' \
          -E "$linux_only" || status=1
        wineserver -k || true
        unset WINEPREFIX
      done
      ;;
    *) echo "unknown target: $t" >&2; exit 2 ;;
  esac
done
exit $status
