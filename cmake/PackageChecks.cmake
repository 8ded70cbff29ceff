# SPDX-License-Identifier: GPL-3.0-or-later
# Run by cpack before it packs. Without dpkg-shlibdeps CPack would go on and make a package
# without dependencies, which installs only where Qt happens to be; without `file` it fails
# half-way; without help2man at configure time the package would lack its manual pages.
if(CPACK_GENERATOR STREQUAL "DEB")
  foreach(tool file dpkg-shlibdeps)
    find_program(tool_path_${tool} ${tool})
    if(NOT tool_path_${tool})
      message(FATAL_ERROR "cpack: ${tool} is missing (Debian packages file and dpkg-dev; "
                          "scripts/install-deps installs them)")
    endif()
  endforeach()
  if(NOT CPACK_TARNVELLO_MANUALS)
    message(FATAL_ERROR "cpack: the build has no manual pages: install help2man "
                        "(scripts/install-deps does) and configure and build again")
  endif()
endif()
