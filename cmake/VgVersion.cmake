# The version is written once, in project(); CMake fills it into version.h and the
# resource scripts. The test `version` checks the files that cannot be generated from it
# (package.json, package-lock.json, the command-line tool's manifest), and that the
# resource scripts still take it from CMake. `version_check_fails` makes sure the check
# reports a version that disagrees.
set(vg_check_version ${CMAKE_CURRENT_LIST_DIR}/check_version.cmake)
add_test(NAME version
  COMMAND ${CMAKE_COMMAND} -DVERSION=${PROJECT_VERSION} -DSOURCE_DIR=${CMAKE_SOURCE_DIR}
          -P ${vg_check_version})
add_test(NAME version_check_fails
  COMMAND ${CMAKE_COMMAND} -DVERSION=${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.9999.0
          -DSOURCE_DIR=${CMAKE_SOURCE_DIR} -P ${vg_check_version})
set_tests_properties(version version_check_fails PROPERTIES LABELS version)
# Passes only on the failure message naming package.json and the manifest.
set_tests_properties(version_check_fails PROPERTIES
  PASS_REGULAR_EXPRESSION "package\\.json: \"version\" is '[0-9.]+', the project's version gives '[0-9]+\\.[0-9]+\\.9999'.*vellagard\\.manifest: the assembly version")
