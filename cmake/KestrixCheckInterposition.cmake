# SPDX-License-Identifier: MIT
# Run after linking libkestrix.so: fails the build unless each exported
# function that the library calls itself is reached through a dynamic
# relocation (a PLT slot, or a GOT entry under -fno-plt), so that a
# definition the dynamic linker finds first replaces the library's own
# calls as well. Compiler or linker flags such as -fno-semantic-interposition,
# -Bsymbolic or -Bsymbolic-functions, added by a parent build, break this.
# usage: cmake -D LIB=libkestrix.so -D READELF=readelf -P KestrixCheckInterposition.cmake
if(NOT READELF)
  message(FATAL_ERROR "kestrix: no readelf found, so the library's interposition cannot be checked")
endif()
execute_process(COMMAND ${READELF} -W -r -d "${LIB}"
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "kestrix: ${READELF} failed on ${LIB}: ${err}")
endif()
set(bound "")
foreach(fn kestrix_str kestrix_hex kestrix_dec kestrix_vfnprintf)
  if(NOT out MATCHES "_(JUMP_SLOT|JMP_SLOT|GLOB_DAT)[^\n]* ${fn}( |\n|$)")
    list(APPEND bound ${fn})
  endif()
endforeach()
if(out MATCHES "\\(SYMBOLIC\\)|\\(FLAGS\\)[^\n]*SYMBOLIC")
  list(APPEND bound "(every symbol: the library is marked SYMBOLIC)")
endif()
if(bound)
  string(JOIN ", " bound ${bound})
  message(FATAL_ERROR "kestrix: ${LIB} binds its own calls to ${bound} inside itself, so "
    "a caller's definition of these functions would not replace them. A compiler or "
    "linker flag added to this build (-fno-semantic-interposition, -Wl,-Bsymbolic, "
    "-Wl,-Bsymbolic-functions, protected visibility) does this; remove it for kestrix.")
endif()
