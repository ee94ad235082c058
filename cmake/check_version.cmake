# Checks the files that carry the product's version without being generated from
# project() against it; the resource scripts (*.rc.in) must take it from CMake.
#   cmake -DVERSION=<major.minor.patch.tweak> -DSOURCE_DIR=<tree> -P check_version.cmake
# Registered with CTest by VgVersion.cmake; fails with one line per file that disagrees.
cmake_minimum_required(VERSION 3.25)
if(NOT VERSION MATCHES "^([0-9]+)\\.([0-9]+)\\.([0-9]+)\\.([0-9]+)$")
  message(FATAL_ERROR "VERSION must have four parts, got '${VERSION}'")
endif()
# npm versions have three parts.
set(npm_version "${CMAKE_MATCH_1}.${CMAKE_MATCH_2}.${CMAKE_MATCH_3}")
set(errors)

macro(expect file what found wanted)
  if(NOT "${found}" STREQUAL "${wanted}")
    list(APPEND errors "${file}: ${what} is '${found}', the project's version gives '${wanted}'")
  endif()
endmacro()

file(READ ${SOURCE_DIR}/package.json json)
string(JSON found ERROR_VARIABLE json_error GET "${json}" version)
expect(package.json "\"version\"" "${found}" "${npm_version}")

if(EXISTS ${SOURCE_DIR}/package-lock.json)
  file(READ ${SOURCE_DIR}/package-lock.json json)
  string(JSON found ERROR_VARIABLE json_error GET "${json}" version)
  expect(package-lock.json "\"version\"" "${found}" "${npm_version}")
  string(JSON found ERROR_VARIABLE json_error GET "${json}" packages "" version)
  expect(package-lock.json "packages[\"\"].version" "${found}" "${npm_version}")
endif()

# Application manifests that name this product's own assembly. (The launcher's manifest
# names the setup run-time it belongs to, with that run-time's version.)
file(GLOB_RECURSE manifests ${SOURCE_DIR}/Converter/*.manifest)
foreach(manifest ${manifests})
  file(READ ${manifest} xml)
  file(RELATIVE_PATH name ${SOURCE_DIR} ${manifest})
  if(xml MATCHES "<assemblyIdentity[^>]*name=\"Quillmere\\.[^\"]*\"[^>]*version=\"([^\"]*)\"")
    expect(${name} "the assembly version" "${CMAKE_MATCH_1}" "${VERSION}")
  else()
    list(APPEND errors "${name}: no assemblyIdentity of the product with a version")
  endif()
endforeach()

# Resource scripts: every version field comes from CMake's variables.
file(GLOB_RECURSE scripts ${SOURCE_DIR}/Converter/*.rc.in ${SOURCE_DIR}/setup/*.rc.in)
foreach(script ${scripts})
  file(STRINGS ${script} lines REGEX "VERSION|Version")
  file(RELATIVE_PATH name ${SOURCE_DIR} ${script})
  foreach(line ${lines})
    if(line MATCHES "^ *(FILEVERSION|PRODUCTVERSION) "
       AND NOT line MATCHES "@PROJECT_VERSION_MAJOR@,@PROJECT_VERSION_MINOR@,@PROJECT_VERSION_PATCH@,@PROJECT_VERSION_TWEAK@")
      list(APPEND errors "${name}: '${line}' does not take the version from CMake")
    elseif(line MATCHES "\"(FileVersion|ProductVersion)\"" AND NOT line MATCHES "\"@PROJECT_VERSION@\"")
      list(APPEND errors "${name}: '${line}' does not take the version from CMake")
    endif()
  endforeach()
endforeach()

if(errors)
  foreach(e ${errors})
    message(NOTICE "${e}")  # unwrapped, one line each
  endforeach()
  message(FATAL_ERROR "The version is written once, in project() of CMakeLists.txt (${VERSION}); "
                      "the files above disagree with it")
endif()
message(STATUS "Version ${VERSION}: package.json, package-lock.json, manifests and resource scripts agree")
