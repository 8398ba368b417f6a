# SPDX-License-Identifier: MIT
# Install rules: the shared library with its SONAME link, libkestrix.so as
# a linker script naming it and libkestrix_nonshared.a (unless KESTRIX_BUILD_SHARED is OFF), the
# static archive beside them, the four headers, the man pages, a CMake
# package (kestrix::kestrix and kestrix::kestrix_static, with a version file)
# and a pkg-config file. Every installed path is relative to
# the prefix, so `cmake --install --prefix DIR` may put the tree anywhere.

include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(KESTRIX_INSTALL_CMAKEDIR "${CMAKE_INSTALL_LIBDIR}/cmake/kestrix"
    CACHE STRING "Where the CMake package files go, relative to the prefix")
set(KESTRIX_INSTALL_PKGCONFIGDIR "${CMAKE_INSTALL_LIBDIR}/pkgconfig"
    CACHE STRING "Where kestrix.pc goes, relative to the prefix")

install(TARGETS ${kestrix_libraries} EXPORT kestrixTargets
  LIBRARY DESTINATION "${CMAKE_INSTALL_LIBDIR}" NAMELINK_SKIP
  ARCHIVE DESTINATION "${CMAKE_INSTALL_LIBDIR}"
  RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}"
  INCLUDES DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}")
if(KESTRIX_BUILD_SHARED)
  # The development name, libkestrix.so, is a linker script: -lkestrix alone
  # links the shared library and the archive of the calls that each program
  # carries (kestrix_snprintf, kestrix_dprintf), as -lc links the C library
  # and its own. The linker looks for both beside the script first, then
  # along the library path. GROUP, not INPUT: the archive's members call the
  # seven functions, and GNU ld with --as-needed (gcc's default on some
  # distributions) drops a shared library that nothing needed when it was
  # read; in a group it reads both again until nothing new is needed, so a
  # program whose only calls are the macros' links, in any order.
  file(WRITE "${PROJECT_BINARY_DIR}/ldscript/libkestrix.so"
    "/* -lkestrix: the shared library, and the calls linked into each program. */\n"
    "GROUP ( libkestrix.so.${PROJECT_VERSION_MAJOR} libkestrix_nonshared.a )\n")
  install(FILES "${PROJECT_BINARY_DIR}/ldscript/libkestrix.so" DESTINATION "${CMAKE_INSTALL_LIBDIR}")
endif()
install(FILES
  "${PROJECT_SOURCE_DIR}/include/kestrix.h"
  "${PROJECT_SOURCE_DIR}/include/kestrix_checked.h"
  "${PROJECT_SOURCE_DIR}/include/kestrix_fd.h"
  "${PROJECT_SOURCE_DIR}/include/kestrix.hpp"
  DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}")

# The licence, MIT, with the documentation.
install(FILES "${PROJECT_SOURCE_DIR}/LICENSE" DESTINATION "${CMAKE_INSTALL_DOCDIR}")

install(EXPORT kestrixTargets
  NAMESPACE kestrix::
  FILE kestrixTargets.cmake
  DESTINATION "${KESTRIX_INSTALL_CMAKEDIR}")
configure_package_config_file(
  "${PROJECT_SOURCE_DIR}/cmake/kestrixConfig.cmake.in"
  "${PROJECT_BINARY_DIR}/kestrixConfig.cmake"
  INSTALL_DESTINATION "${KESTRIX_INSTALL_CMAKEDIR}")
# A 2.x release may change what 1.x callers rely on; within 1.x, newer is fine.
# The check also refuses a package built for another pointer size.
write_basic_package_version_file(
  "${PROJECT_BINARY_DIR}/kestrixConfigVersion.cmake"
  COMPATIBILITY SameMajorVersion)
install(FILES
  "${PROJECT_BINARY_DIR}/kestrixConfig.cmake"
  "${PROJECT_BINARY_DIR}/kestrixConfigVersion.cmake"
  DESTINATION "${KESTRIX_INSTALL_CMAKEDIR}")

# kestrix.pc finds the prefix from its own location (${pcfiledir}) unless the
# library or pkg-config directory was given as an absolute path.
if(IS_ABSOLUTE "${KESTRIX_INSTALL_PKGCONFIGDIR}")
  set(KESTRIX_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
else()
  file(RELATIVE_PATH KESTRIX_PC_UP "/root/${KESTRIX_INSTALL_PKGCONFIGDIR}" "/root")
  string(REGEX REPLACE "/$" "" KESTRIX_PC_UP "${KESTRIX_PC_UP}")
  set(KESTRIX_PC_PREFIX "\${pcfiledir}/${KESTRIX_PC_UP}")
endif()
foreach(dir LIBDIR INCLUDEDIR)
  if(IS_ABSOLUTE "${CMAKE_INSTALL_${dir}}")
    set(KESTRIX_PC_${dir} "${CMAKE_INSTALL_${dir}}")
  else()
    set(KESTRIX_PC_${dir} "\${prefix}/${CMAKE_INSTALL_${dir}}")
  endif()
endforeach()
# With the shared library, the calls of kestrix_checked.h and kestrix_fd.h
# come from libkestrix_nonshared.a, before it (a linker with --as-needed
# then still keeps libkestrix.so for them). A program binds its calls into
# libkestrix.so and the C library at load time, as kestrix::kestrix and
# kestrix::kestrix_static do (see CMakeLists.txt).
# Without the shared library, -lkestrix is the archive: a shared library
# that links it keeps its names to itself, as kestrix::kestrix_static does.
set(KESTRIX_PC_LIBS "-lkestrix")
if(NOT CMAKE_SYSTEM_NAME STREQUAL "Generic")
  set(KESTRIX_PC_LIBS "-lkestrix -Wl,--exclude-libs,libkestrix.a")
endif()
if(KESTRIX_BUILD_SHARED)
  set(KESTRIX_PC_LIBS "-lkestrix_nonshared -lkestrix")
endif()
string(REPLACE ";" " " KESTRIX_PC_LINK_OPTIONS "${kestrix_bind_now}")
if(KESTRIX_PC_LINK_OPTIONS)
  string(PREPEND KESTRIX_PC_LINK_OPTIONS " ")
endif()
configure_file("${PROJECT_SOURCE_DIR}/cmake/kestrix.pc.in"
  "${PROJECT_BINARY_DIR}/kestrix.pc" @ONLY)
install(FILES "${PROJECT_BINARY_DIR}/kestrix.pc"
  DESTINATION "${KESTRIX_INSTALL_PKGCONFIGDIR}")

# kestrix(3), kestrix_snprintf(3) and kestrix_bprintf(3) for kestrix_checked.h, kestrix_dprintf(3)
# for kestrix_fd.h and kestrix.hpp(3), and for each other name a page that
# sources its page, so that
# `man kestrix_sprintf` finds the same text.
install(FILES "${PROJECT_SOURCE_DIR}/man/kestrix.3" "${PROJECT_SOURCE_DIR}/man/kestrix_snprintf.3"
  "${PROJECT_SOURCE_DIR}/man/kestrix_bprintf.3"
  "${PROJECT_SOURCE_DIR}/man/kestrix_dprintf.3" "${PROJECT_SOURCE_DIR}/man/kestrix.hpp.3"
  DESTINATION "${CMAKE_INSTALL_MANDIR}/man3")
foreach(link kestrix.3:str,hex,dec,vfnprintf,fnprintf,sprintf,vsprintf
    kestrix_snprintf.3:vsnprintf,snprintf_array,sprintf_array,fnprintf_array,SNPRINTF,SPRINTF,FNPRINTF,WIDEN,ARG
    kestrix_bprintf.3:vbprintf,bprintf_array,BPRINTF
    kestrix_dprintf.3:vdprintf,dprintf_array,DPRINTF)
  string(REPLACE ":" ";" link "${link}")
  list(GET link 0 page)
  list(GET link 1 names)
  string(REPLACE "," ";" names "${names}")
  foreach(name IN LISTS names)
    if(name MATCHES "^[A-Z]")
      set(name "KESTRIX_${name}")
    else()
      set(name "kestrix_${name}")
    endif()
    file(WRITE "${PROJECT_BINARY_DIR}/man3/${name}.3" ".so man3/${page}\n")
    install(FILES "${PROJECT_BINARY_DIR}/man3/${name}.3" DESTINATION "${CMAKE_INSTALL_MANDIR}/man3")
  endforeach()
endforeach()
