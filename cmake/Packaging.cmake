# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package (cpack -G DEB from a release build): the executables and their manual pages
# install their own rules; here the desktop entry and its AppStream metadata, the icon, the
# shell completion, the read-me, the example udev rule, the copyright file and changelog, and
# the package's fields.
install(FILES packaging/tarnvello.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES packaging/org.tarnvello.Tarnvello.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(DIRECTORY packaging/icons/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
install(FILES packaging/tarnvello-cli.bash RENAME tarnvello-cli
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
# The udev rule for FTDI adapters is an example the technician may copy (README, "A slow
# adapter"); the package does not make it active.
install(FILES README.md packaging/copyright packaging/99-tarnvello-ftdi-latency.rules.example
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The changelog's newest entry and the AppStream metadata's newest release name the version
# the package gets.
foreach(check "changelog|^tarnvello \\(([^)]*)\\)"
              "org.tarnvello.Tarnvello.metainfo.xml|<release version=\"([^\"]*)\"")
  string(REPLACE "|" ";" check "${check}")
  list(GET check 0 file)
  list(GET check 1 pattern)
  file(READ packaging/${file} text)
  string(REGEX MATCH "${pattern}" found "${text}")
  if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
    message(FATAL_ERROR "packaging/${file}: the newest version named is \"${CMAKE_MATCH_1}\", "
                        "the project's is ${PROJECT_VERSION}")
  endif()
endforeach()
set(changelog "${CMAKE_BINARY_DIR}/changelog.gz")
add_custom_command(OUTPUT "${changelog}"
  COMMAND gzip -9n -c "${CMAKE_SOURCE_DIR}/packaging/changelog" > "${changelog}"
  DEPENDS packaging/changelog
  VERBATIM)
add_custom_target(changelog ALL DEPENDS "${changelog}")
install(FILES "${changelog}" DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(TARNVELLO_MAINTAINER "Tarnvello Team <team@tarnvello.invalid>"
    CACHE STRING "The Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarnvello)
set(CPACK_PACKAGE_CONTACT "${TARNVELLO_MAINTAINER}")
set(CPACK_PACKAGE_VENDOR "Tarnvello Team")
set(CPACK_RESOURCE_FILE_LICENSE "${CMAKE_SOURCE_DIR}/LICENSE")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "coin selector programmer for the service bench")
# The long description, which CPack puts below the summary; lines short enough for Debian.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Reads the parameter memory of an electronic coin selector over a serial\n"
  "port, lets a technician edit, teach and calibrate it, keeps configurations\n"
  "in coin data files (.cdt) and programs the selector again.\n"
  "\n"
  "Contains tarnvello (the desktop program), tarnvello-cli (its command-line\n"
  "companion) and selector-sim (a virtual selector on a pseudo-terminal, for\n"
  "trying the program without hardware).")
list(JOIN CPACK_DEBIAN_PACKAGE_DESCRIPTION "" CPACK_DEBIAN_PACKAGE_DESCRIPTION)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The Qt 6 runtime packages come from the libraries the executables link.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
# Checked when cpack runs, where a missing tool would otherwise give a broken package.
set(CPACK_TARNVELLO_MANUALS ${TARNVELLO_MANUALS})
set(CPACK_PROJECT_CONFIG_FILE "${CMAKE_SOURCE_DIR}/cmake/PackageChecks.cmake")
include(CPack)
