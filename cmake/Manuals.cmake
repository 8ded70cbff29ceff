# SPDX-License-Identifier: GPL-3.0-or-later
# Manual pages (section 1), made at build time by help2man from each program's own --help and
# --version, so the page never says other than the program. Without help2man there are none,
# and cpack refuses to make the package (cmake/PackageChecks.cmake).
find_program(TARNVELLO_HELP2MAN help2man)
set(TARNVELLO_MANUALS OFF)
if(TARNVELLO_HELP2MAN AND NOT TARNVELLO_FUZZ)
  set(TARNVELLO_MANUALS ON)
  set(pages)
  foreach(entry
      "tarnvello|configure an electronic coin selector over a serial port"
      "tarnvello-cli|read, program and compare coin selectors from the command line"
      "selector-sim|a virtual coin selector on a pseudo-terminal")
    string(REPLACE "|" ";" entry "${entry}")
    list(GET entry 0 program)
    list(GET entry 1 summary)
    set(page "${CMAKE_BINARY_DIR}/man/${program}.1")
    # The window program answers --help without a display, and so do the others.
    add_custom_command(OUTPUT "${page}.gz"
      COMMAND ${CMAKE_COMMAND} -E make_directory "${CMAKE_BINARY_DIR}/man"
      COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
              "${TARNVELLO_HELP2MAN}" --no-info --section=1 "--name=${summary}"
              "--output=${page}" "$<TARGET_FILE:${program}>"
      COMMAND gzip -9nf "${page}"
      DEPENDS ${program}
      COMMENT "Manual page of ${program}"
      VERBATIM)
    list(APPEND pages "${page}.gz")
  endforeach()
  add_custom_target(manuals ALL DEPENDS ${pages})
  install(FILES ${pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
  message(STATUS "help2man not found: no manual pages (scripts/install-deps installs it)")
endif()
