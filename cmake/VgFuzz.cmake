# Fuzzing builds (VG_BUILD_FUZZERS, the `fuzz` preset): libFuzzer with AddressSanitizer and
# UndefinedBehaviorSanitizer. Included before any library is defined, so that every library
# a fuzzer links is compiled with the same coverage and sanitizer instrumentation; the
# fuzzers link the project's libraries rather than their sources.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "VG_BUILD_FUZZERS needs clang (libFuzzer); the compiler is "
                      "${CMAKE_CXX_COMPILER_ID}. Use the fuzz preset: cmake --preset fuzz")
endif()

set(VG_SANITIZERS address,undefined)
# -O1 keeps the stacks readable and the asserts on (no NDEBUG), at a fair speed.
add_compile_options(-O1 -fsanitize=fuzzer-no-link,${VG_SANITIZERS} -fno-sanitize-recover=all
                    -fno-omit-frame-pointer)
add_link_options(-fsanitize=${VG_SANITIZERS})

# Everything vg_add_fuzzer and vg_add_fuzz_tool define; the fuzz build preset builds this.
add_custom_target(fuzzers)

# vg_add_fuzzer(name SOURCES a.cpp ... LIBS lib ...)
# A libFuzzer program (it defines LLVMFuzzerTestOneInput) linked against project libraries.
function(vg_add_fuzzer name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  vg_warnings(${name})
  add_dependencies(fuzzers ${name})
endfunction()

# vg_add_fuzz_tool(name SOURCES a.cpp ... LIBS lib ...)
# A helper program of the fuzz stages with its own main(), e.g. one that writes seeds.
function(vg_add_fuzz_tool name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  vg_warnings(${name})
  add_dependencies(fuzzers ${name})
endfunction()
