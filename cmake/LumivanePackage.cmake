# SPDX-License-Identifier: MIT
# The Debian package: `cpack -G DEB` in the build folder packs what
# `cmake --install` puts below /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lumivane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Lumivane")
set(CPACK_PACKAGE_CONTACT "Lumivane maintainers <maintainers@lumivane.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "DMX512 output plug-in for lighting-control hosts")
set(CPACK_PACKAGE_DESCRIPTION
  "Lumivane drives a DMX USB Pro widget on a serial port or an Open DMX USB\n"
  "interface from a lighting-control host that loads its plug-in file. The\n"
  "package holds the plug-in file, its C headers and pkg-config file, the\n"
  "reference host lumivane-host, and udev rules that give the logged-in user\n"
  "the interfaces without root.")
string(CONCAT CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Depends on exactly the runtime libraries the files link, as dpkg-shlibdeps finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS udev)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/packaging/debian/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
