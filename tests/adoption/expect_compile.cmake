# Compiles SOURCE with COMPILER (-fsyntax-only) and FLAGS ('|' between
# words). With EXPECT empty the compile must succeed; otherwise it must fail
# with a diagnostic that matches the regular expression EXPECT, so that a
# call refused for another reason (a typo, a missing header) does not pass.
cmake_minimum_required(VERSION 3.18)
string(REPLACE "|" ";" flags "${FLAGS}")
execute_process(
  COMMAND ${COMPILER} ${flags} -fsyntax-only "${SOURCE}"
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(EXPECT STREQUAL "")
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "expected to compile, but:\n${out}")
  endif()
elseif(rc EQUAL 0)
  message(FATAL_ERROR "compiled, but should have failed with: ${EXPECT}")
elseif(NOT out MATCHES "${EXPECT}")
  message(FATAL_ERROR "failed, but without \"${EXPECT}\":\n${out}")
endif()
