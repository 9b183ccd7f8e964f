# A Debian package of the program: `make deb`, or `cpack -G DEB` in a build
# tree. Library dependencies come from the binary (dpkg-shlibdeps); the
# fonts the designed faces map to are named by hand, since no binary links
# them.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME miravon)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Kestrin)
set(CPACK_PACKAGE_CONTACT "Kestrin <kestrin@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "live television from many countries and films, in Vietnamese")
set(CPACK_PACKAGE_DESCRIPTION
"Miravon puts live television from many countries, and a shelf of feature
films, one click away, with every caption in Vietnamese. Its 925 channels are
grouped by country in panels over six viewer windows, and 119 films fill the
seven pages of a movie window; choosing one plays it in the window's own
player. Everything can be reached with the keyboard and read by a screen
reader.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://miravon.example.org/)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core, fonts-liberation2")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libgl1-mesa-dri")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
