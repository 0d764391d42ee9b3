# The Debian package calvexa_<version>_<arch>.deb, made by `cpack` in the build directory
# (scripts/package.sh). Installed under /usr: the program in bin/, its hashing library private in
# lib/calvexa/ (found through the program's RPATH), desktop entry, metainfo, icons, manual page,
# and the copyright file and changelog Debian wants in share/doc/calvexa/.
include(GNUInstallDirs)

install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
add_custom_command(OUTPUT changelog.gz
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/packaging/changelog changelog
  COMMAND gzip -9nf changelog
  DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog VERBATIM)
add_custom_target(calvexa_changelog ALL DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME calvexa)
# As the project spells it: CPack's default would rebuild it from numeric parts.
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "The Calvexa developers <dev@calvexa.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Base64, digests, character codes and bitwise calculator")
set(CPACK_PACKAGE_DESCRIPTION
  "A small desktop utility for programmers, one tool per tab of a fixed window:
live Base64 encoding and decoding as you type; sixteen digests and checksums
(MD2 to SHA-512, RipeMD, Panama, Tiger, CRC-16 and CRC-32) of a text; the
hexadecimal and decimal codes of characters and conversions between number
bases; and AND, OR, XOR, NOT and shifts on 32-bit numbers, each result in
decimal and hexadecimal.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# Libraries from dpkg-shlibdeps; it finds the private library in the package itself (the
# directory is relative to the package's root). Qt loads its platform and SVG plugins at run
# time, but they ship in libqt6gui6 and libqt6svg6, which the program links; the one thing no
# link reveals is the font the window asks for by name.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS "usr/${CMAKE_INSTALL_LIBDIR}/calvexa")
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation2")

include(CPack)
