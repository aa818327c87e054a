# Installation and the Debian package.
#
# An installation is laid out so that each program finds everything relative
# to its own file, wherever the prefix is:
#
#   bin/                             quorix, quorix-viewer, QuorixTool
#   lib/quorix/                      the platform, its full image reader and date formats,
#                                    PhotoLibrary and PhotosUI (private: no other program
#                                    links them, so not on the linker's path)
#   lib/quorix/DynamicLibraries/     Quorix.so, the folder the loader loads at start
#   share/quorix/, share/quorix-viewer/   the programs' main bundles (strings tables,
#                                    and whatever else the build puts beside them)
#   share/man/, share/bash-completion/completions/
#
# The loader looks in ../lib/quorix/DynamicLibraries and a main bundle in
# ../share/PROGRAM, both beside /proc/self/exe, so these paths are fixed, not
# taken from GNUInstallDirs (whose multiarch lib directory would break them).

set(QUORIX_INSTALL_PRIVATE_LIBDIR lib/quorix)
set(QUORIX_INSTALL_LIBRARY_FOLDER lib/quorix/DynamicLibraries)

# Run paths. The build tree keeps CMAKE_BUILD_RPATH (its own lib/); each
# installed file gets a path relative to where it is installed, which
# `cmake --install` writes in place of the build one. No library is ever
# found through LD_LIBRARY_PATH or the system's linker cache.
set_target_properties(quorix quorix-viewer QuorixTool PROPERTIES
  INSTALL_RPATH "$ORIGIN/../${QUORIX_INSTALL_PRIVATE_LIBDIR}")
set_target_properties(PhotoLibrary PhotosUI quorix_full_reader PROPERTIES INSTALL_RPATH "$ORIGIN")
set_target_properties(Quorix PROPERTIES INSTALL_RPATH "$ORIGIN/..")
# The platform, its date formats and its digests need nothing of ours: no run path at all once installed.

install(TARGETS quorix quorix-viewer QuorixTool RUNTIME DESTINATION bin)
# The platform opens its full image reader, its date formats and its digests from its own folder.
install(TARGETS quorix_platform quorix_full_reader quorix_date_formats quorix_digests PhotoLibrary PhotosUI
  LIBRARY DESTINATION ${QUORIX_INSTALL_PRIVATE_LIBDIR} NAMELINK_SKIP)
install(TARGETS Quorix LIBRARY DESTINATION ${QUORIX_INSTALL_LIBRARY_FOLDER} NAMELINK_SKIP)

# The main bundles as the build tree has them: every file the build copies
# into share/quorix or share/quorix-viewer is installed, so a new kind of
# resource needs no install rule of its own.
install(DIRECTORY ${CMAKE_BINARY_DIR}/share/quorix ${CMAKE_BINARY_DIR}/share/quorix-viewer
  DESTINATION share)

# Manual pages, compressed as Debian ships them (-n: no name or time stamp,
# so the same page gives the same bytes).
find_program(QUORIX_GZIP gzip REQUIRED)
set(quorix_man_pages quorix.1 quorix-viewer.1 QuorixTool.8)
set(quorix_man_outputs)
foreach(page IN LISTS quorix_man_pages)
  set(source ${PROJECT_SOURCE_DIR}/man/${page})
  set(output ${CMAKE_BINARY_DIR}/man/${page}.gz)
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND ${QUORIX_GZIP} -9 -n -c ${source} > ${output}
    DEPENDS ${source}
    COMMENT "Compressing manual page ${page}"
    VERBATIM)
  list(APPEND quorix_man_outputs ${output})
  string(REGEX REPLACE ".*\\.([0-9])$" "\\1" section ${page})
  install(FILES ${output} DESTINATION share/man/man${section})
endforeach()
add_custom_target(quorix_man_pages ALL DEPENDS ${quorix_man_outputs})

install(FILES ${PROJECT_SOURCE_DIR}/completions/quorix
  DESTINATION share/bash-completion/completions)

# The Debian package: `cpack -G DEB` in the build folder. Its dependencies
# are computed by dpkg-shlibdeps from what the installed files link; our own
# libraries are found in the package's private folders, not looked up as
# packages.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorix)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(QUORIX_PACKAGE_MAINTAINER "Quorix maintainers <maintainers@quorix.invalid>"
  CACHE STRING "The Maintainer field of the Debian package")
set(CPACK_PACKAGE_CONTACT ${QUORIX_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "photo facts and a date stamp for a photo viewer")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION_SUMMARY}
 Quorix adds an Info button to a photo viewer: a table of the photo's file,
 TIFF, EXIF and GPS facts in readable text, a map of where it was taken, and a
 date stamp across each photo.
 .
 This package holds the quorix command (the info table and the settings on
 a terminal), quorix-viewer (a scriptable stand-in photo viewer with the
 library loaded) and QuorixTool.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# libgweather is opened with dlopen when a place is first named, so
# dpkg-shlibdeps does not see it; the programs name places with it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libgweather-4-0")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS
  ".${CPACK_PACKAGING_INSTALL_PREFIX}/${QUORIX_INSTALL_PRIVATE_LIBDIR}"
  ".${CPACK_PACKAGING_INSTALL_PREFIX}/${QUORIX_INSTALL_LIBRARY_FOLDER}")
# Opening a link or writing a mail hands the URL to xdg-open or xdg-email
# when they are there; without them the request is dropped.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS xdg-utils)
# A browser on this machine draws the page's Chinese, Japanese and Korean
# texts with these; the place names' translations come with libgweather.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS fonts-noto-cjk)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/" "/build[^/]*/")
include(CPack)
