# Windows build for x86-64, mingw-w64 x86_64: the same sources, run under wine64 on machines
# that cannot run 32-bit programs.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VELTO_MINGW_TRIPLE x86_64-w64-mingw32)
set(VELTO_WINE /usr/lib/wine/wine64)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
