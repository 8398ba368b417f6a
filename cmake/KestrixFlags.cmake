# The compiler options the library is built with, one reason each. They are
# given to the library's targets after whatever CMAKE_CXX_FLAGS a parent
# project sets, so for every option below that has an opposite (a parent's
# -fno-semantic-interposition, -fstack-protector-strong, -flto...), ours is
# the one the compiler keeps. The freestanding tests compile the same source
# with other compilers from this same list.
#
# kestrix_library_flags(<var> <compiler id> <processor>)
function(kestrix_library_flags var compiler_id processor)
  set(flags
    # No implicit memset/memcpy or other library calls.
    -ffreestanding
    # No __stack_chk_fail to import.
    -fno-stack-protector
    # Nothing is caught, but unwind tables stay so that an exception thrown by
    # a C++ sink passes through every library frame to the caller.
    -fno-exceptions -fno-rtti -fasynchronous-unwind-tables
    # Never touch FP/SIMD registers: an aarch64 variadic prologue would
    # otherwise save q0-q7, which traps where FP/SIMD is disabled.
    -mgeneral-regs-only
    # Calls between exported functions go through their exported names, so a
    # definition found first by the dynamic linker replaces them. GCC assumes
    # this by default and Clang does not; a parent's
    # -fno-semantic-interposition would let either bind them directly.
    -fsemantic-interposition
    # Machine code in every object, never compiler bytecode: the archive is
    # linked by toolchains that know nothing of ours.
    -fno-lto)
  if(processor MATCHES "aarch64|arm64")
    # Every load and store naturally aligned: with the MMU off, or alignment
    # checking on, an unaligned access faults. Without this a compiler may
    # merge byte accesses into wider unaligned ones.
    list(APPEND flags -mstrict-align)
  endif()
  if(compiler_id STREQUAL "GNU")
    # Keep GCC from turning byte loops into memset/memcpy calls.
    list(APPEND flags -fno-tree-loop-distribute-patterns)
  endif()
  set(${var} ${flags} PARENT_SCOPE)
endfunction()
