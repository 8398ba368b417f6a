# SPDX-License-Identifier: MIT
# Compiles SOURCE with COMPILER (-fsyntax-only) and FLAGS ('|' between
# words). With EXPECT empty the compile must succeed; otherwise it must fail
# with a diagnostic that matches the regular expression EXPECT, so that a
# call refused for another reason (a typo, a missing header) does not pass,
# and with ONE_ERROR set, with that one error and no other.
# With RUN set to a file name, SOURCE is instead compiled and linked there
# with the libraries LIBS ('|' between words) after it, and run, and must
# exit 0.
cmake_minimum_required(VERSION 3.18)
string(REPLACE "|" ";" flags "${FLAGS}")
string(REPLACE "|" ";" libs "${LIBS}")
if(RUN)
  execute_process(COMMAND ${COMPILER} ${flags} "${SOURCE}" ${libs} -o "${RUN}"
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(rc EQUAL 0)
    execute_process(COMMAND "${RUN}" RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  endif()
  message("${out}")
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed (${rc})")
  endif()
  return()
endif()
# With ANALYZE set, the compile runs GCC's static analyser, which -fsyntax-only
# would stop before.
set(mode -fsyntax-only)
if(ANALYZE)
  set(mode -c -o /dev/null)
endif()
execute_process(
  COMMAND ${COMPILER} ${flags} ${mode} "${SOURCE}"
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
string(REGEX MATCHALL "error:" errors "${out}")
list(LENGTH errors errors)
if(EXPECT STREQUAL "")
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "expected to compile, but:\n${out}")
  endif()
elseif(rc EQUAL 0)
  message(FATAL_ERROR "compiled, but should have failed with: ${EXPECT}")
elseif(NOT out MATCHES "${EXPECT}")
  message(FATAL_ERROR "failed, but without \"${EXPECT}\":\n${out}")
elseif(ONE_ERROR AND NOT errors EQUAL 1)
  message(FATAL_ERROR "${errors} errors, where the one about \"${EXPECT}\" should be all:\n${out}")
endif()
