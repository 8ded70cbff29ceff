# SPDX-License-Identifier: GPL-3.0-or-later
# Debian's hardening flags (what dpkg-buildflags gives with hardening=+all: fortified functions,
# stack protector and clash protection, format checks, read-only relocations bound at start)
# for the optimised builds the package is made from; Debian's compilers make position-
# independent executables by default. Fortification needs optimisation, and the sanitizer and
# fuzz builds bring their own checks.
include(CheckCXXCompilerFlag)

if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang" AND NOT WIN32 AND NOT TARNVELLO_SANITIZE
   AND NOT TARNVELLO_FUZZ)
  set(hardening_flags -U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=2 -fstack-protector-strong
      -fstack-clash-protection -Wformat -Werror=format-security)
  check_cxx_compiler_flag(-fcf-protection TARNVELLO_HAS_CF_PROTECTION)
  if(TARNVELLO_HAS_CF_PROTECTION)
    list(APPEND hardening_flags -fcf-protection)
  endif()
  set(optimised "$<CONFIG:Release,RelWithDebInfo,MinSizeRel>")
  target_compile_options(tarnvello_warnings INTERFACE "$<${optimised}:${hardening_flags}>")
  target_link_options(tarnvello_warnings INTERFACE "$<${optimised}:LINKER:-z,relro,-z,now>")
endif()
