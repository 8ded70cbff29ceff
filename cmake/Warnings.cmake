# SPDX-License-Identifier: GPL-3.0-or-later
# One interface target carries the warning (and sanitizer) flags; every target links it.
add_library(tarnvello_warnings INTERFACE)
target_compile_options(tarnvello_warnings INTERFACE
  -Wall -Wextra -Wshadow -Wnon-virtual-dtor -Wold-style-cast -Wcast-align
  -Woverloaded-virtual -Wpedantic -Wconversion -Wsign-conversion
  -Wdouble-promotion -Wformat=2 -Wimplicit-fallthrough)
if(TARNVELLO_WERROR)
  target_compile_options(tarnvello_warnings INTERFACE -Werror)
endif()
if(TARNVELLO_SANITIZE)
  target_compile_options(tarnvello_warnings INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(tarnvello_warnings INTERFACE -fsanitize=address,undefined)
endif()
