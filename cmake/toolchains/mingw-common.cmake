# The part of the MinGW-w64 toolchains that both targets share; the target's file sets
# VG_MINGW_TRIPLET and CMAKE_SYSTEM_PROCESSOR, then includes this one.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${VG_MINGW_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${VG_MINGW_TRIPLET}-g++)
set(CMAKE_RC_COMPILER ${VG_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VG_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Static runtime: the programs ship without MinGW's DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# Shipped programs carry no symbols.
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-s")
