# The Debian package: `cmake --build build --target package` writes
# build/package/vellagard_<version>_<arch>.deb with CPack's DEB generator.
#
#   /usr/bin/vellagard, /usr/bin/vellagard-converter   the programs (stripped)
#   /usr/share/vellagard/                              template.html and vgi.js, which
#                                                      the programs find through
#                                                      ../share/vellagard
#   /usr/share/applications/, /usr/share/icons/hicolor/ the desktop entry and icons
#   /usr/share/man/man1/                               vellagard.1.gz, vellagard-converter.1.gz
#   /usr/share/doc/vellagard/                          copyright, changelog.gz
#   /usr/share/lintian/overrides/vellagard
#
# The install rules of the programs, the viewer files, the desktop entry and the icons
# sit with their targets; this file adds the manual pages and the package documents and
# sets up CPack. The setup launcher, mksetup and the test tools have no install rules and
# stay out of the package.
find_program(VG_GZIP gzip REQUIRED)
set(vg_deb_dir ${CMAKE_BINARY_DIR}/deb)

# A native package (no Debian revision): its change log is changelog.gz, dated by
# the release, so that the package built twice from one source is the same.
set(VG_DEB_MAINTAINER "Quillmere <vellagard@quillmere.example>")
set(VG_DEB_CHANGELOG_DATE "Thu, 10 Dec 2026 12:00:00 +0000")
configure_file(${CMAKE_SOURCE_DIR}/packaging/changelog.in ${vg_deb_dir}/changelog @ONLY)

# The manual pages carry the version in their title line.
set(vg_deb_gz)
foreach(page vellagard.1 vellagard-converter.1)
  configure_file(${CMAKE_SOURCE_DIR}/docs/man/${page} ${vg_deb_dir}/${page} @ONLY)
  add_custom_command(
    OUTPUT ${vg_deb_dir}/${page}.gz
    COMMAND ${VG_GZIP} -9nc ${vg_deb_dir}/${page} > ${vg_deb_dir}/${page}.gz
    DEPENDS ${vg_deb_dir}/${page}
    COMMENT "Compressing the manual page ${page}"
    VERBATIM)
  list(APPEND vg_deb_gz ${vg_deb_dir}/${page}.gz)
endforeach()
add_custom_command(
  OUTPUT ${vg_deb_dir}/changelog.gz
  COMMAND ${VG_GZIP} -9nc ${vg_deb_dir}/changelog > ${vg_deb_dir}/changelog.gz
  DEPENDS ${vg_deb_dir}/changelog
  VERBATIM)
add_custom_target(vg_deb_docs ALL DEPENDS ${vg_deb_gz} ${vg_deb_dir}/changelog.gz)

install(FILES ${vg_deb_gz} DESTINATION share/man/man1)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright ${vg_deb_dir}/changelog.gz
        DESTINATION share/doc/vellagard)
# template.html is the pages' template, read by the programs, not a document.
install(FILES ${CMAKE_SOURCE_DIR}/packaging/lintian-overrides
        DESTINATION share/lintian/overrides RENAME vellagard)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vellagard)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Quillmere)
set(CPACK_PACKAGE_CONTACT "${VG_DEB_MAINTAINER}")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "protect images for web pages and write the pages that show them")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION [=[Vellagard Web Converter prepares images (GIF, JPEG, PNG, TIFF) for web pages
in a form a visitor cannot simply save. For every image it writes a protected
image file, the image's bytes scrambled behind a short header and optionally
locked to one web domain, and an HTML page in one of five presentation styles.
The browser viewer vgi.js, copied beside them, unscrambles and shows the
images.

This package holds the desktop converter (vellagard-converter) and the
command-line tool (vellagard).]=])
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.quillmere.example/vellagard/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
