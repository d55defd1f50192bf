# Windows build for 32-bit x86 (the deliverable VeltoV142.dll), mingw-w64 i686.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(VELTO_MINGW_TRIPLE i686-w64-mingw32)
set(VELTO_WINE wine)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
