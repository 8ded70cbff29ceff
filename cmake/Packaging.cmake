# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package (cpack -G DEB from a release build): the executables install their own
# rules; here the desktop entry, the icon, the read-me and the package's description.
install(FILES packaging/tarnvello.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(DIRECTORY packaging/icons/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(TARNVELLO_PACKAGE_MAINTAINER "Tarnvello developers <tarnvello@example.org>"
    CACHE STRING "The Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarnvello)
set(CPACK_PACKAGE_CONTACT "${TARNVELLO_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "coin selector programmer for the service bench")
# The long description, below the summary.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Reads the parameter memory of an electronic coin selector over a serial port, lets a\n"
  "technician edit, teach and calibrate it, keeps configurations in coin data files (.cdt)\n"
  "and programs the selector again. Contains tarnvello (the desktop program),\n"
  "tarnvello-cli (its command-line companion) and selector-sim (a virtual selector on a\n"
  "pseudo-terminal, for trying the program without hardware).")
list(JOIN CPACK_DEBIAN_PACKAGE_DESCRIPTION "" CPACK_DEBIAN_PACKAGE_DESCRIPTION)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The Qt 6 runtime packages come from the libraries the executables link.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
