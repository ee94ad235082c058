# Cross-build for Windows (x86_64) with Debian's MinGW-w64 compilers.
set(VG_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
