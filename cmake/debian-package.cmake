# The Debian package of the command-line companion, made with `cpack -G DEB` from the release
# build: dornavel-cli, its man page, its bash completion and the documentation, under /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME dornavel-cli)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "recognise and change the byte order of Nintendo 64 ROM files")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "dornavel-cli rewrites Nintendo 64 ROM images in place in big-endian (z64), little-endian\n"
    "(n64) or Doctor V64 byte order, for one file or whole collections, never losing a ROM\n"
    "whatever stops it. It also tells what a ROM is: header, boot chip, check code, the\n"
    "digests catalogues list and its catalogue name. Text and JSON output.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Dornavel developers <dornavel@example.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries it needs, as dpkg-shlibdeps reads them from the program itself.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT) # dornavel-cli_VERSION_ARCH.deb
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
