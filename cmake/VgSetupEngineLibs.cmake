# The libraries of the setup engine for a MinGW cross build: Lua 5.3 as lua5.3.dll and
# minizip's zip reader with Debian's MinGW zlib, each built once from Debian's source
# packages by a script under scripts/ and cached outside the work tree (VG_CACHE_DIR,
# default ~/.cache/vellagard). Sets VG_LUA_PREFIX, VG_LUA_DLL and VG_MINIZIP_PREFIX.
function(vg_cached_library script variable what)
  if(${variable} AND EXISTS "${${variable}}/.complete")
    return()
  endif()
  message(STATUS "${what} for ${VG_MINGW_TRIPLET}: looking in the cache (a cold cache builds it)")
  execute_process(
    COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/${script} ${VG_MINGW_TRIPLET}
    OUTPUT_VARIABLE out
    RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "Building ${what} for ${VG_MINGW_TRIPLET} failed (see the messages above)")
  endif()
  string(STRIP "${out}" out)
  string(REGEX REPLACE ".*\n" "" prefix "${out}")
  set(${variable} "${prefix}" CACHE PATH "Installed ${what}" FORCE)
endfunction()

if(NOT VG_MINGW_TRIPLET)
  message(FATAL_ERROR "The setup engine is cross-built with the MinGW toolchain files in cmake/toolchains")
endif()
vg_cached_library(build-lua-mingw.sh VG_LUA_PREFIX "Lua 5.3")
vg_cached_library(build-minizip-mingw.sh VG_MINIZIP_PREFIX "minizip")
set(VG_LUA_DLL ${VG_LUA_PREFIX}/bin/lua5.3.dll)
