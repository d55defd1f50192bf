# Windows build, cross-compiled with Debian's mingw-w64 (POSIX threads variant, for
# std::thread) and run under wine. Included by toolchain-mingw-i686.cmake (the 32-bit x86
# deliverable) and toolchain-mingw-x86_64.cmake, which set VELTO_MINGW_TRIPLE and the processor.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${VELTO_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VELTO_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VELTO_MINGW_TRIPLE}-windres)
# SSE2 arithmetic, so that float and double operations round as on the other builds.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
# The C++ runtime, libgcc and winpthreads go into each program and into VeltoV142.dll, so
# that nothing but Windows' own DLLs is needed beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

set(CMAKE_FIND_ROOT_PATH /usr/${VELTO_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
# Libraries: the mingw tree first, then as given (PortAudio's pkg-config file names the folder
# where tools/build-windows.sh built it).
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Tests and test discovery run the Windows programs through wine (wine64 for 64-bit programs).
if(NOT DEFINED CMAKE_CROSSCOMPILING_EMULATOR)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VELTO_WINE})
endif()
