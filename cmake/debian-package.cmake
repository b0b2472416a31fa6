# The Debian package of the command-line companion, made with `cpack -G DEB` from the release
# build: dornavel-cli, its man page, its bash completion and the documentation, under /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME dornavel-cli)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "recognise and change the byte order of Nintendo 64 ROM files")
# Lines of at most 79 characters, as Debian wants the extended description.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "dornavel-cli rewrites Nintendo 64 ROM images in place in big-endian (z64),\n"
    "little-endian (n64) or Doctor V64 byte order, for one file or whole\n"
    "collections, never losing a ROM whatever stops it. It also tells what a ROM\n"
    "is: header, boot chip, check code, the digests catalogues list and its\n"
    "catalogue name. Text and JSON output.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Dornavel developers <dornavel@example.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries it needs, as dpkg-shlibdeps reads them from the program itself.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# And those it opens on first use, which dpkg-shlibdeps cannot see: each as the package that
# holds its file on the build machine.
get_property(lazy_library_files GLOBAL PROPERTY DORNAVEL_LAZY_LIBRARY_FILES)
set(lazy_packages)
foreach(library_file IN LISTS lazy_library_files)
  file(REAL_PATH ${library_file} real_file)
  execute_process(COMMAND dpkg-query -S ${real_file} OUTPUT_VARIABLE owner RESULT_VARIABLE status ERROR_QUIET)
  if(NOT status EQUAL 0 AND real_file MATCHES "^/usr(/lib/.*)")
    # On a merged /usr, dpkg may know the file under /lib.
    execute_process(COMMAND dpkg-query -S ${CMAKE_MATCH_1} OUTPUT_VARIABLE owner RESULT_VARIABLE status ERROR_QUIET)
  endif()
  string(REGEX MATCH "^[^:,]+" package "${owner}")
  if(NOT status EQUAL 0 OR NOT package)
    message(WARNING "No Debian package holds ${real_file}: the package will not depend on it")
    continue()
  endif()
  list(APPEND lazy_packages ${package})
endforeach()
list(REMOVE_DUPLICATES lazy_packages)
list(JOIN lazy_packages ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT) # dornavel-cli_VERSION_ARCH.deb
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

# What Debian asks of every package beside the documentation: the licence in its
# machine-readable form, and the changelog, compressed.
set(debian_changelog ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)
dornavel_gzip(${CMAKE_CURRENT_LIST_DIR}/debian/changelog ${debian_changelog})
add_custom_target(dornavel-debian-changelog ALL DEPENDS ${debian_changelog})
install(FILES ${CMAKE_CURRENT_LIST_DIR}/debian/copyright ${debian_changelog} DESTINATION ${CMAKE_INSTALL_DOCDIR})
