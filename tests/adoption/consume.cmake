# SPDX-License-Identifier: MIT
# Installs kestrix into a scratch prefix and consumes it as an outside
# project would. Run as `cmake -D... -P consume.cmake`, one MODE per test:
#   install        cmake --install of the build tree into WORK_DIR/prefix,
#                  then checks the installed files, links and SONAME
#   find_package   configures, builds and runs consumer/ against the prefix
#   version        find_package(kestrix 2.0) must refuse the 1.x package
#   pkg_config     compiles consumer/ with only the flags of kestrix.pc, and
#                  once with -static and `pkg-config --static`
#   fetchcontent   builds consumer/ with kestrix pulled in by FetchContent
#   foreign_flags  the same, the parent's flags asking to bind the library's
#                  own calls inside it (kestrix's options must win)
#   bound_refused  the same, the parent adding -Bsymbolic after kestrix's
#                  options: the build must stop and say why
#   c_parent       a C-only parent with no build type takes kestrix in by
#                  add_subdirectory and by FetchContent; its build type and
#                  flags stay its own, and it links kestrix::kestrix, installs
#                  its program and runs it from there: with the archive, and
#                  with the shared library installed beside it
#   static_only    kestrix built with KESTRIX_BUILD_SHARED=OFF, installed,
#                  then consumed by find_package and by pkg-config
#   front_door     the README's first command in a copy of the source tree,
#                  on a machine without GoogleTest
#   readme_pkg_config  the README's pkg-config commands, as written, and its
#                  first C program built with them
#   readme_single_source  the README's compile line for the single source
# Inputs: MODE SOURCE_DIR BUILD_DIR WORK_DIR CONFIG LIBDIR INCLUDEDIR MANDIR
# GENERATOR C_COMPILER CXX_COMPILER, and where they apply READELF NM PKG_CONFIG
# OTHER_CXX_COMPILER
# TOOLCHAIN_FILE SYSTEM_NAME SYSTEM_PROCESSOR EMULATOR ('|' between words).

cmake_minimum_required(VERSION 3.18)

set(prefix "${WORK_DIR}/prefix")
set(consumer "${SOURCE_DIR}/tests/adoption/consumer")
# The release, as kestrix.h says it.
file(STRINGS "${SOURCE_DIR}/include/kestrix.h" parts REGEX "^#define KESTRIX_VERSION_(MAJOR|MINOR|PATCH) ")
string(REGEX REPLACE "[^;]* ([0-9]+);[^;]* ([0-9]+);[^;]* ([0-9]+)" "\\1.\\2.\\3" version "${parts}")
string(REPLACE "|" ";" emulator "${EMULATOR}")

function(fail)
  string(JOIN "" msg ${ARGN})
  message(FATAL_ERROR "${msg}")
endfunction()

# Runs a command; stops with its output unless it exits 0. The output is
# left in run_output.
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc EQUAL 0)
    string(JOIN " " cmd ${ARGN})
    fail("command failed (${rc}): ${cmd}\n${out}")
  endif()
  set(run_output "${out}" PARENT_SCOPE)
endfunction()

# The cache entries that make a consumer build with the same toolchain
# (toolchain_args) and the same build type (consumer_args).
set(toolchain_args -G "${GENERATOR}"
  "-DCMAKE_C_COMPILER=${C_COMPILER}" "-DCMAKE_CXX_COMPILER=${CXX_COMPILER}")
if(TOOLCHAIN_FILE)
  list(APPEND toolchain_args "-DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN_FILE}")
endif()
if(SYSTEM_NAME)
  list(APPEND toolchain_args "-DCMAKE_SYSTEM_NAME=${SYSTEM_NAME}"
    "-DCMAKE_SYSTEM_PROCESSOR=${SYSTEM_PROCESSOR}")
endif()
set(consumer_args ${toolchain_args})
if(CONFIG)
  list(APPEND consumer_args "-DCMAKE_BUILD_TYPE=${CONFIG}")
endif()

# Runs the consumer programs from dir (by default the three of consumer/)
# and checks what they print. The one linked with the archive must not need
# libkestrix.so; one that needs it must bind its calls at load time (-z now,
# carried by kestrix::kestrix, kestrix::kestrix_static and kestrix.pc; a
# caller's own link line, with lazy_ok set, need not). A C program needs no
# C++ runtime: linked with the archive, it needs the C library alone.
function(run_consumers dir)
  set(progs ${ARGN})
  if(NOT progs)
    set(progs consumer_c consumer_c_static consumer_cpp)
  endif()
  foreach(prog IN LISTS progs)
    set(exe "${dir}/${prog}")
    if(NOT EXISTS "${exe}")
      file(GLOB_RECURSE exe "${dir}/${prog}" "${dir}/*/${prog}")
    endif()
    run(${emulator} ${exe})
    if(NOT run_output STREQUAL "${prog}: x=01FF s=ab d=-7\n")
      fail("${prog} printed: ${run_output}")
    endif()
    if(READELF)
      run(${READELF} -d ${exe})
      # (Brackets would hold a CMake list together: the names go without.)
      string(REGEX MATCHALL "Shared library: \\[[^]\n]+" needed "${run_output}")
      string(REPLACE "Shared library: [" "" needed "${needed}")
      list(FILTER needed EXCLUDE REGEX "^(libc\\.so|ld-linux|libkestrix\\.so)")
      if(prog MATCHES "static" AND run_output MATCHES "libkestrix")
        fail("${prog} needs the shared library:\n${run_output}")
      elseif(NOT prog MATCHES "cpp" AND needed)
        string(JOIN " " needed ${needed})
        fail("${prog}, a C program, needs ${needed}:\n${run_output}")
      elseif(NOT lazy_ok AND run_output MATCHES "NEEDED" AND NOT run_output MATCHES "BIND_NOW|FLAGS[^\n]* NOW")
        fail("${prog} binds its calls lazily:\n${run_output}")
      endif()
    endif()
  endforeach()
endfunction()

# The first ```sh block (or ```LANG) after the README line heading.
function(readme_block heading out)
  set(lang sh)
  if(ARGN)
    set(lang ${ARGN})
  endif()
  file(READ "${SOURCE_DIR}/README.md" readme)
  string(FIND "${readme}" "\n${heading}\n" at)
  if(at EQUAL -1)
    fail("no \"${heading}\" in README.md")
  endif()
  string(SUBSTRING "${readme}" ${at} -1 readme)
  if(NOT readme MATCHES "```${lang}\n([^`]+)```")
    fail("no ${lang} block after \"${heading}\" in README.md")
  endif()
  set(${out} "${CMAKE_MATCH_1}" PARENT_SCOPE)
endfunction()

# Runs sh commands in dir with the environment settings env...; stops with
# the output unless they all succeed. The output is left in sh_output.
function(run_sh commands dir)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env ${ARGN} sh -ec "${commands}"
    WORKING_DIRECTORY "${dir}" RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc EQUAL 0)
    fail("in ${dir}, failed (${rc}):\n${commands}\n${out}")
  endif()
  set(sh_output "${out}" PARENT_SCOPE)
endfunction()

# pkg-config reads only the kestrix.pc installed under prefix.
function(pkg_config_from prefix)
  if(NOT PKG_CONFIG)
    message(FATAL_ERROR "pkg-config is not installed")
  endif()
  set(ENV{PKG_CONFIG_PATH} "${prefix}/${LIBDIR}/pkgconfig")
  unset(ENV{PKG_CONFIG_LIBDIR})
  unset(ENV{PKG_CONFIG_SYSROOT_DIR})
endfunction()

function(build_consumer name)
  set(bin "${WORK_DIR}/${name}")
  file(REMOVE_RECURSE "${bin}")
  run(${CMAKE_COMMAND} -S "${consumer}" -B "${bin}" ${consumer_args} ${ARGN})
  set(configure_output "${run_output}" PARENT_SCOPE)
  run(${CMAKE_COMMAND} --build "${bin}" --config "${CONFIG}")
  run_consumers("${bin}")
  if(READELF)
    file(GLOB_RECURSE shared "${bin}/libconsumer_shared.so")
    run(${READELF} -W --dyn-syms ${shared})
    if(NOT shared OR run_output MATCHES "[0-9] kestrix_[a-z]+\n")
      fail("libconsumer_shared.so, which links kestrix::kestrix_static, exports kestrix's names:\n${run_output}")
    endif()
  endif()
endfunction()

if(MODE STREQUAL "install")
  # Installed elsewhere and then moved into place: every consumer below uses
  # a tree that no longer sits where it was installed.
  file(REMOVE_RECURSE "${prefix}" "${WORK_DIR}/staging")
  run(${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${WORK_DIR}/staging" --config "${CONFIG}")
  file(RENAME "${WORK_DIR}/staging" "${prefix}")

  set(lib "${prefix}/${LIBDIR}")
  foreach(f "${lib}/libkestrix.so.${version}" "${lib}/libkestrix.a" "${prefix}/${INCLUDEDIR}/kestrix.h"
      "${prefix}/${INCLUDEDIR}/kestrix.hpp" "${prefix}/${INCLUDEDIR}/kestrix_checked.h"
      "${prefix}/${INCLUDEDIR}/kestrix_fd.h"
      "${lib}/cmake/kestrix/kestrixConfig.cmake"
      "${lib}/cmake/kestrix/kestrixConfigVersion.cmake"
      "${lib}/cmake/kestrix/kestrixTargets.cmake" "${lib}/pkgconfig/kestrix.pc"
      "${prefix}/${MANDIR}/man3/kestrix.3" "${prefix}/${MANDIR}/man3/kestrix_vfnprintf.3"
      "${prefix}/${MANDIR}/man3/kestrix_snprintf.3" "${prefix}/${MANDIR}/man3/KESTRIX_SNPRINTF.3"
      "${prefix}/${MANDIR}/man3/kestrix_bprintf.3" "${prefix}/${MANDIR}/man3/KESTRIX_BPRINTF.3"
      "${prefix}/${MANDIR}/man3/kestrix.hpp.3")
    if(NOT EXISTS "${f}" OR IS_SYMLINK "${f}")
      fail("not installed as a file: ${f}")
    endif()
  endforeach()
  # The runtime link names the SONAME; the development name is a linker
  # script naming that and the calls' archive.
  file(READ "${lib}/libkestrix.so" script)
  if(IS_SYMLINK "${lib}/libkestrix.so" OR NOT script MATCHES "GROUP \\( libkestrix\\.so\\.1 libkestrix_nonshared\\.a \\)")
    fail("${lib}/libkestrix.so is not the linker script:\n${script}")
  endif()
  foreach(pair "libkestrix.so.1=libkestrix.so.${version}")
    string(REPLACE "=" ";" pair "${pair}")
    list(GET pair 0 link)
    list(GET pair 1 target)
    if(NOT IS_SYMLINK "${lib}/${link}")
      fail("${lib}/${link} is not a symbolic link")
    endif()
    file(READ_SYMLINK "${lib}/${link}" points_to)
    if(NOT points_to STREQUAL target)
      fail("${lib}/${link} points to ${points_to}, not ${target}")
    endif()
  endforeach()
  # Nothing installed may point back into the source or build tree.
  file(READ "${lib}/cmake/kestrix/kestrixTargets.cmake" targets)
  file(READ "${lib}/pkgconfig/kestrix.pc" pc)
  foreach(text targets pc)
    foreach(tree "${BUILD_DIR}" "${SOURCE_DIR}")
      string(FIND "${${text}}" "${tree}" at)
      if(NOT at EQUAL -1)
        fail("the installed ${text} file names ${tree}")
      endif()
    endforeach()
  endforeach()

  if(READELF)
    run(${READELF} -W -d --dyn-syms "${lib}/libkestrix.so.${version}")
    if(NOT run_output MATCHES "\\(SONAME\\)[^\n]*\\[libkestrix\\.so\\.1\\]")
      fail("the installed library's SONAME is not libkestrix.so.1:\n${run_output}")
    endif()
    # Exactly the seven functions are defined and exported, whatever the
    # C++ header adds on the caller's side.
    string(REGEX MATCHALL "[^\n]+" lines "${run_output}")
    set(exported "")
    foreach(line IN LISTS lines)
      if(line MATCHES "^ *[0-9]+: [0-9a-f]+ +[0-9]+ [A-Z]+ +(GLOBAL|WEAK) +[A-Z]+ +([0-9]+) ([^ ]+)$")
        list(APPEND exported "${CMAKE_MATCH_3}")
      endif()
    endforeach()
    list(SORT exported)
    string(JOIN " " exported ${exported})
    set(seven "kestrix_dec kestrix_fnprintf kestrix_hex kestrix_sprintf kestrix_str kestrix_vfnprintf kestrix_vsprintf")
    if(NOT exported STREQUAL seven)
      fail("the installed library exports: ${exported}")
    endif()
  endif()

elseif(MODE STREQUAL "find_package")
  # kestrix_DIR rather than CMAKE_PREFIX_PATH: a cross toolchain file may
  # confine package searches to its sysroot.
  build_consumer(find_package "-Dkestrix_DIR=${prefix}/${LIBDIR}/cmake/kestrix")
  if(NOT configure_output MATCHES "kestrix ${version} from ${prefix}/")
    fail("find_package did not take the installed package:\n${configure_output}")
  endif()

elseif(MODE STREQUAL "version")
  file(REMOVE_RECURSE "${WORK_DIR}/version")
  execute_process(COMMAND ${CMAKE_COMMAND} -S "${consumer}" -B "${WORK_DIR}/version"
    ${consumer_args} "-Dkestrix_DIR=${prefix}/${LIBDIR}/cmake/kestrix" -DWANTED_VERSION=2.0
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(rc EQUAL 0 OR NOT out MATCHES "compatible with requested version \"2\\.0\""
      OR NOT out MATCHES "kestrixConfig\\.cmake, version: ${version}")
    fail("find_package(kestrix 2.0) did not refuse version ${version} (${rc}):\n${out}")
  endif()

elseif(MODE STREQUAL "pkg_config")
  pkg_config_from("${prefix}")
  run(${PKG_CONFIG} --modversion kestrix)
  if(NOT run_output STREQUAL "${version}\n")
    fail("pkg-config --modversion kestrix: ${run_output}")
  endif()
  string(REGEX MATCH "^([0-9]+)\\.([0-9]+)\\.([0-9]+)" version "${run_output}")
  set(version_defines -DPACKAGE_VERSION_MAJOR=${CMAKE_MATCH_1} -DPACKAGE_VERSION_MINOR=${CMAKE_MATCH_2}
    -DPACKAGE_VERSION_PATCH=${CMAKE_MATCH_3})
  run(${PKG_CONFIG} --cflags kestrix)
  separate_arguments(cflags UNIX_COMMAND "${run_output}")
  run(${PKG_CONFIG} --libs kestrix)
  separate_arguments(libs UNIX_COMMAND "${run_output}")
  run(${PKG_CONFIG} --variable=libdir kestrix)
  string(STRIP "${run_output}" libdir)
  # The prefix is found from where kestrix.pc lies, wherever it was installed.
  file(REAL_PATH "${libdir}" libdir_real)
  file(REAL_PATH "${prefix}/${LIBDIR}" expected_real)
  if(NOT libdir_real STREQUAL expected_real OR NOT cflags MATCHES "-I[^;]*${prefix}")
    fail("kestrix.pc points elsewhere: libdir ${libdir}, cflags ${cflags}")
  endif()
  set(bin "${WORK_DIR}/pkg_config")
  file(REMOVE_RECURSE "${bin}")
  file(MAKE_DIRECTORY "${bin}")
  run(${C_COMPILER} -std=c11 ${cflags} ${version_defines} "${consumer}/consumer.c" -o "${bin}/consumer_c"
    ${libs} "-Wl,-rpath,${libdir}")
  run(${CXX_COMPILER} -std=c++20 ${cflags} "${consumer}/consumer.cpp" -o "${bin}/consumer_cpp"
    ${libs} "-Wl,-rpath,${libdir}")
  # By hand, -lkestrix alone links every call, with GNU ld and with lld,
  # with --as-needed or without: a program that calls one of the seven, and
  # one (consumer_checked) whose only calls are the macros', which come from
  # the archive and need the shared library after it.
  # A cross GCC finds lld only as ld.lld in a -B directory.
  find_program(lld NAMES ld.lld REQUIRED)
  file(MAKE_DIRECTORY "${bin}/lld")
  file(CREATE_LINK "${lld}" "${bin}/lld/ld.lld" SYMBOLIC)
  set(hand_made "")
  run(${C_COMPILER} -std=c11 -I${prefix}/${INCLUDEDIR} -DCHECKED_ONLY -c "${consumer}/consumer.c"
    -o "${bin}/consumer_checked.o")
  run(${NM} -u "${bin}/consumer_checked.o")
  if(run_output MATCHES "kestrix_(str|hex|dec|v?fnprintf|v?sprintf)\n" OR NOT run_output MATCHES "kestrix_snprintf_counted")
    fail("consumer_checked.o is not a program of the macros' calls alone:\n${run_output}")
  endif()
  foreach(ld bfd lld)
    foreach(needed as-needed no-as-needed)
      foreach(prog consumer_c consumer_checked)
        set(name ${prog}_${ld}_${needed})
        set(only "")
        if(prog STREQUAL "consumer_checked")
          set(only -DCHECKED_ONLY)
        endif()
        run(${C_COMPILER} -std=c11 -fuse-ld=${ld} -B${bin}/lld -I${prefix}/${INCLUDEDIR} -DCONSUMER="${name}"
          ${only} "${consumer}/consumer.c" -o "${bin}/${name}"
          -Wl,--${needed} -L${libdir} -lkestrix "-Wl,-rpath,${libdir}" -Wl,-z,now)
        list(APPEND hand_made ${name})
      endforeach()
    endforeach()
  endforeach()
  # A fully static program: -static makes the linker take libkestrix.a.
  run(${PKG_CONFIG} --static --libs kestrix)
  separate_arguments(static_libs UNIX_COMMAND "${run_output}")
  run(${C_COMPILER} -std=c11 -static ${cflags} -DCONSUMER="consumer_c_static" "${consumer}/consumer.c"
    -o "${bin}/consumer_c_static" ${static_libs})
  run_consumers("${bin}" consumer_c consumer_c_static consumer_cpp ${hand_made})

elseif(MODE STREQUAL "fetchcontent")
  build_consumer(fetchcontent -DCONSUME=fetchcontent "-DKESTRIX_SOURCE_DIR=${SOURCE_DIR}")

elseif(MODE STREQUAL "foreign_flags")
  build_consumer(foreign_flags -DCONSUME=fetchcontent "-DKESTRIX_SOURCE_DIR=${SOURCE_DIR}" -DKESTRIX_BUILD_SHARED=ON
    "-DCMAKE_SHARED_LINKER_FLAGS=-Wl,-Bsymbolic-functions -Wl,-z,lazy"
    "-DCMAKE_CXX_FLAGS=-fno-semantic-interposition -fstack-protector-strong")

elseif(MODE STREQUAL "bound_refused")
  set(bin "${WORK_DIR}/bound_refused")
  file(REMOVE_RECURSE "${bin}")
  run(${CMAKE_COMMAND} -S "${consumer}" -B "${bin}" ${consumer_args} -DCONSUME=fetchcontent
    "-DKESTRIX_SOURCE_DIR=${SOURCE_DIR}" -DKESTRIX_BUILD_SHARED=ON -DLATE_LINK_OPTION=-Wl,-Bsymbolic)
  execute_process(COMMAND ${CMAKE_COMMAND} --build "${bin}" --config "${CONFIG}" --target kestrix
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(rc EQUAL 0 OR NOT out MATCHES "binds its own calls to kestrix_str")
    fail("a kestrix linked with -Bsymbolic after its own options was built (${rc}):\n${out}")
  endif()

elseif(MODE STREQUAL "c_parent")
  # Each way in, its program installed and run from the install prefix with
  # no library path: the archive by default, and libkestrix.so, installed
  # beside the program's, when the parent asks for it.
  foreach(how subdirectory fetchcontent fetchcontent_shared fetchcontent_cxx)
    set(bin "${WORK_DIR}/c_parent_${how}")
    set(installed "${WORK_DIR}/c_parent_${how}_prefix")
    file(REMOVE_RECURSE "${bin}" "${installed}")
    set(shared "")
    set(program c_parent)
    if(how MATCHES "shared")
      set(shared -DKESTRIX_BUILD_SHARED=ON "-DCMAKE_INSTALL_RPATH=\$ORIGIN/../${LIBDIR}")
    elseif(how MATCHES "cxx")
      set(shared -DPARENT_LANGUAGE=CXX)
      set(program cpp_parent)
    endif()
    string(REGEX REPLACE "_(shared|cxx)$" "" consume "${how}")
    run(${CMAKE_COMMAND} -S "${SOURCE_DIR}/tests/adoption/c_parent" -B "${bin}" ${toolchain_args}
      -DCONSUME=${consume} "-DKESTRIX_SOURCE_DIR=${SOURCE_DIR}" -DCMAKE_C_FLAGS=-DPARENT_FLAGS ${shared}
      "-DCMAKE_INSTALL_LIBDIR=${LIBDIR}")
    run(${CMAKE_COMMAND} --build "${bin}")
    run(${CMAKE_COMMAND} --install "${bin}" --prefix "${installed}")
    file(GLOB libs "${installed}/${LIBDIR}/*")
    if(how MATCHES "shared" AND NOT libs MATCHES "libkestrix\\.so\\.1;" OR NOT how MATCHES "shared" AND libs)
      fail("the parent installed as its libraries: ${libs}")
    endif()
    set(ENV{LD_LIBRARY_PATH} "")
    run_consumers("${installed}/bin" ${program})
  endforeach()

elseif(MODE STREQUAL "static_only")
  set(dir "${WORK_DIR}/static_only")
  file(REMOVE_RECURSE "${dir}")
  run(${CMAKE_COMMAND} -S "${SOURCE_DIR}" -B "${dir}/build" ${consumer_args} -DKESTRIX_BUILD_SHARED=OFF)
  run(${CMAKE_COMMAND} --build "${dir}/build" --config "${CONFIG}")
  run(${CMAKE_COMMAND} --install "${dir}/build" --prefix "${dir}/prefix" --config "${CONFIG}")
  file(GLOB shared "${dir}/prefix/${LIBDIR}/libkestrix.so*")
  if(shared OR NOT EXISTS "${dir}/prefix/${LIBDIR}/libkestrix.a")
    fail("KESTRIX_BUILD_SHARED=OFF installed: ${shared}, and the archive exists: "
      "${dir}/prefix/${LIBDIR}/libkestrix.a")
  endif()
  set(prefix "${dir}/prefix")
  build_consumer(static_only/find_package "-Dkestrix_DIR=${prefix}/${LIBDIR}/cmake/kestrix")
  if(NOT configure_output MATCHES "kestrix: kestrix::kestrix is kestrix::kestrix_static")
    fail("the static-only package offers more than kestrix::kestrix_static:\n${configure_output}")
  endif()
  # pkg-config's plain -lkestrix finds the archive, as nothing else is there.
  pkg_config_from("${prefix}")
  run(${PKG_CONFIG} --cflags --libs kestrix)
  separate_arguments(flags UNIX_COMMAND "${run_output}")
  run(${C_COMPILER} -std=c11 -DCONSUMER="consumer_c_static" "${consumer}/consumer.c"
    -o "${dir}/consumer_c_static" ${flags})
  run_consumers("${dir}" consumer_c_static)

elseif(MODE STREQUAL "front_door")
  # No GoogleTest: CMAKE_DISABLE_FIND_PACKAGE_GTest, seeded into the cache
  # of the build directory that the command then configures.
  readme_block("## Quick start" command)
  set(tree "${WORK_DIR}/front_door")
  file(REMOVE_RECURSE "${tree}")
  foreach(entry CMakeLists.txt cmake include src examples man tests)
    file(COPY "${SOURCE_DIR}/${entry}" DESTINATION "${tree}")
  endforeach()
  file(WRITE "${tree}/build/CMakeCache.txt" "CMAKE_DISABLE_FIND_PACKAGE_GTest:BOOL=ON\n")
  run_sh("${command}" "${tree}")
  string(REGEX MATCHALL "GoogleTest not found, so the tests are off" said "${sh_output}")
  list(LENGTH said times)
  if(NOT times EQUAL 1 OR NOT sh_output MATCHES "\nhello from kestrix, pid [0-9]+\n.*sprintf wrote"
      OR EXISTS "${tree}/build/tests/kestrix-tests")
    fail("the README's first command without GoogleTest:\n${command}\n${sh_output}")
  endif()

elseif(MODE STREQUAL "readme_pkg_config")
  # $HOME/.local, a prefix the dynamic linker does not search.
  set(home "${WORK_DIR}/home")
  file(REMOVE_RECURSE "${home}")
  run(${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${home}/.local" --config "${CONFIG}")
  configure_file("${consumer}/consumer.c" "${home}/app.c" COPYONLY)
  configure_file("${consumer}/consumer.cpp" "${home}/app.cpp" COPYONLY)
  readme_block("### Use it with pkg-config" commands)
  run_sh("${commands}" "${home}" "HOME=${home}" --unset=PKG_CONFIG_LIBDIR --unset=LD_LIBRARY_PATH)
  if(NOT sh_output MATCHES "consumer_c: x=01FF s=ab d=-7\n.*consumer_cpp: x=01FF s=ab d=-7\n")
    fail("the README's pkg-config commands:\n${commands}\n${sh_output}")
  endif()
  # The first C program of the README, built the same way.
  readme_block("## From C" program c)
  file(WRITE "${home}/app.c" "${program}")
  run_sh("${commands}" "${home}" "HOME=${home}" --unset=PKG_CONFIG_LIBDIR --unset=LD_LIBRARY_PATH)
  if(NOT sh_output MATCHES "^open /dev/null: error -2 at [0-9A-F][0-9A-F][0-9A-F][0-9A-F]+\n")
    fail("the README's C example:\n${program}\n${sh_output}")
  endif()

elseif(MODE STREQUAL "readme_single_source")
  # The README's compile line, by each compiler as plain c++, gives an
  # object that imports nothing and that a C program links as it is.
  readme_block("### The single source file" command)
  foreach(cxx ${CXX_COMPILER} ${OTHER_CXX_COMPILER})
    set(tree "${WORK_DIR}/single_source")
    file(REMOVE_RECURSE "${tree}")
    file(COPY "${SOURCE_DIR}/src" "${SOURCE_DIR}/include" DESTINATION "${tree}")
    file(MAKE_DIRECTORY "${tree}/bin")
    file(CREATE_LINK "${cxx}" "${tree}/bin/c++" SYMBOLIC)
    run_sh("${command}" "${tree}" "PATH=${tree}/bin:$ENV{PATH}")
    # The library imports nothing, the calls of kestrix_checked.h nothing
    # but the library's emitters (for the sink's counted calls), descriptor
    # output the C library's write(2), fcntl(2) and errno, and the calls'
    # kestrix_vbprintf, kestrix_bprintf_array and kestrix_vbprintf_counted.
    run(${NM} -A -u "${tree}/kestrix.o" "${tree}/kestrix_snprintf.o" "${tree}/kestrix_dprintf.o")
    string(REGEX REPLACE "[^\n]*/kestrix_snprintf.o: +U kestrix_(dec|hex|str)\n" "" left "${run_output}")
    string(REGEX REPLACE "[^\n]*/kestrix_dprintf.o: +U (__errno_location|fcntl|write|kestrix_vbprintf|kestrix_bprintf_array|kestrix_vbprintf_counted)\n"
      "" left "${left}")
    if(NOT left STREQUAL "")
      fail("${cxx}: the README's compile line imports:\n${run_output}")
    endif()
    run(${C_COMPILER} -std=c11 "-I${tree}/include" "${consumer}/consumer.c" "${tree}/kestrix.o"
      "${tree}/kestrix_snprintf.o" "${tree}/kestrix_dprintf.o" -o "${tree}/consumer_c")
    set(lazy_ok TRUE)
    run_consumers("${tree}" consumer_c)
  endforeach()

else()
  fail("unknown MODE ${MODE}")
endif()
