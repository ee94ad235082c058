# Finds wxWidgets for the desktop converter and sets the usual wxWidgets_* variables
# (INCLUDE_DIRS, DEFINITIONS, CXX_FLAGS, LIBRARIES).
#
# Linux: Debian's wxGTK through FindwxWidgets. Windows cross builds: a static wxMSW that
# scripts/build-wxmsw.sh builds once from Debian's source package and caches outside the
# work tree (VG_CACHE_DIR, default ~/.cache/vellagard); its wx-config gives the flags.
macro(vg_find_wxwidgets)
  if(WIN32 AND CMAKE_CROSSCOMPILING)
    if(NOT VG_WXMSW_PREFIX OR NOT EXISTS "${VG_WXMSW_PREFIX}/.complete")
      message(STATUS "wxMSW for ${VG_MINGW_TRIPLET}: looking in the cache (a cold cache builds it, about half an hour)")
      execute_process(
        COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/build-wxmsw.sh ${VG_MINGW_TRIPLET}
        OUTPUT_VARIABLE wx_out
        RESULT_VARIABLE wx_result)
      if(NOT wx_result EQUAL 0)
        message(FATAL_ERROR "Building wxMSW for ${VG_MINGW_TRIPLET} failed (see the messages above)")
      endif()
      string(STRIP "${wx_out}" wx_out)
      string(REGEX REPLACE ".*\n" "" wx_prefix "${wx_out}")
      set(VG_WXMSW_PREFIX "${wx_prefix}" CACHE PATH "Installed static wxMSW" FORCE)
    endif()
    set(wx_config ${VG_WXMSW_PREFIX}/bin/wx-config)
    execute_process(COMMAND ${wx_config} --cxxflags OUTPUT_VARIABLE wx_cxxflags OUTPUT_STRIP_TRAILING_WHITESPACE)
    execute_process(COMMAND ${wx_config} --static --libs core,base OUTPUT_VARIABLE wx_libs OUTPUT_STRIP_TRAILING_WHITESPACE)
    separate_arguments(wx_cxxflags UNIX_COMMAND "${wx_cxxflags}")
    separate_arguments(wx_libs UNIX_COMMAND "${wx_libs}")
    set(wxWidgets_INCLUDE_DIRS)
    set(wxWidgets_DEFINITIONS)
    set(wxWidgets_CXX_FLAGS)
    foreach(flag ${wx_cxxflags})
      if(flag MATCHES "^-I(.*)")
        list(APPEND wxWidgets_INCLUDE_DIRS ${CMAKE_MATCH_1})
      elseif(flag MATCHES "^-D(.*)")
        list(APPEND wxWidgets_DEFINITIONS ${CMAKE_MATCH_1})
      else()
        list(APPEND wxWidgets_CXX_FLAGS ${flag})
      endif()
    endforeach()
    set(wxWidgets_LIBRARIES ${wx_libs})
    set(wxWidgets_FOUND TRUE)
  else()
    find_package(wxWidgets 3.2 REQUIRED COMPONENTS core base)
  endif()
endmacro()
