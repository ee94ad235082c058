# package-windows: what the Windows build hands out, in <build>/package/:
#   vellagard-web-converter-<version>-<arch>.zip   the converter folder (Converter.exe,
#                                                  vellagard.exe, template.html, vgi.js,
#                                                  LICENSE.txt)
#   setup.exe                                      the launcher with a payload made by
#                                                  mksetup: the setup engine qvsetup.exe,
#                                                  lua5.3.dll and the setup data, a zip
#                                                  archive (deflated, compression type 8)
#                                                  of install.lua, uninstall.lua and the
#                                                  converter folder
# mksetup runs on the build machine, so it is compiled here with the host's compiler.
find_program(VG_HOST_CXX NAMES c++ g++ REQUIRED NO_CMAKE_FIND_ROOT_PATH)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(vg_arch win32)
else()
  set(vg_arch win64)
endif()
set(pkg ${CMAKE_BINARY_DIR}/package)
set(stage ${CMAKE_BINARY_DIR}/package-stage)
set(host_mksetup ${CMAKE_BINARY_DIR}/host-tools/mksetup)
set(zip ${pkg}/vellagard-web-converter-${PROJECT_VERSION}-${vg_arch}.zip)
set(setup_data ${CMAKE_BINARY_DIR}/package-setup-data.zip)
set(bin ${CMAKE_BINARY_DIR}/bin)
set(install_script ${CMAKE_BINARY_DIR}/setup-scripts/install.lua)
configure_file(${CMAKE_SOURCE_DIR}/setup/install/install.lua ${install_script} @ONLY)

add_custom_command(
  OUTPUT ${host_mksetup}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/host-tools
  COMMAND ${VG_HOST_CXX} -std=c++17 -O2 -I${CMAKE_SOURCE_DIR}/setup
          ${CMAKE_SOURCE_DIR}/setup/tools/mksetup.cpp -o ${host_mksetup}
  DEPENDS ${CMAKE_SOURCE_DIR}/setup/tools/mksetup.cpp
  COMMENT "Building mksetup for the build machine"
  VERBATIM)

add_custom_command(
  OUTPUT ${zip} ${pkg}/setup.exe
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${stage}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${stage}/Converter ${pkg}
  COMMAND ${CMAKE_COMMAND} -E copy ${bin}/Converter.exe ${bin}/vellagard.exe ${bin}/template.html
          ${bin}/vgi.js ${CMAKE_SOURCE_DIR}/LICENSE.txt ${stage}/Converter/
  COMMAND ${CMAKE_COMMAND} -E chdir ${stage} ${CMAKE_COMMAND} -E tar cf ${zip} --format=zip Converter
  COMMAND ${CMAKE_COMMAND} -E copy ${install_script}
          ${CMAKE_SOURCE_DIR}/setup/install/uninstall.lua ${stage}/
  COMMAND ${CMAKE_COMMAND} -E chdir ${stage} ${CMAKE_COMMAND} -E tar cf ${setup_data} --format=zip
          install.lua uninstall.lua Converter
  COMMAND ${host_mksetup} --launcher ${bin}/setup.exe --engine ${bin}/qvsetup.exe
          --lua ${VG_LUA_PREFIX}/bin/lua5.3.dll --data ${setup_data} --compression 8
          -o ${pkg}/setup.exe
  DEPENDS vellagard-converter vellagard vg_web_files setup qvsetup ${host_mksetup}
          ${install_script} ${CMAKE_SOURCE_DIR}/setup/install/uninstall.lua
          ${CMAKE_SOURCE_DIR}/LICENSE.txt
  COMMENT "Packaging the Windows programs into ${pkg}"
  VERBATIM)
add_custom_target(package-windows DEPENDS ${zip} ${pkg}/setup.exe)
