# Shared build helpers.

# vg_warnings(target): the project's warning set, as errors when VG_WARNINGS_AS_ERRORS is on.
function(vg_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra)
    if(VG_WARNINGS_AS_ERRORS)
      target_compile_options(${target} PRIVATE -Werror)
    endif()
  endif()
endfunction()

# vg_add_gtest(name SOURCES a.cpp b.cpp LIBS lib1 lib2 [LABELS l1 l2])
# Adds a GoogleTest executable and registers each of its tests with CTest.
# Tests run with the build's bin/ folder as working directory.
function(vg_add_gtest name)
  if(NOT VG_BUILD_TESTS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  vg_warnings(${name})
  target_compile_definitions(${name} PRIVATE
    VG_SOURCE_DIR="${CMAKE_SOURCE_DIR}" VG_BIN_DIR="${CMAKE_BINARY_DIR}/bin")
  gtest_discover_tests(${name}
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin
    DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS "${ARG_LABELS}")
endfunction()
