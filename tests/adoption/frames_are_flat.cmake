# SPDX-License-Identifier: MIT
# A function's frame does not grow with its calls of the C macros: SOURCE
# compiled with -DKESTRIX_CASE=41 at -O1, -O2 and -O3 gives two() (two
# calls) and twenty() (twenty) the same frame, as -fstack-usage reports it.
# Inputs: COMPILER SOURCE INCLUDE WORK_DIR.
cmake_minimum_required(VERSION 3.18)
file(MAKE_DIRECTORY "${WORK_DIR}")
foreach(opt -O1 -O2 -O3)
  execute_process(COMMAND ${COMPILER} -std=c11 ${opt} -fstack-usage -DKESTRIX_CASE=41 -I${INCLUDE} -c "${SOURCE}"
      -o "${WORK_DIR}/frames.o"
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${opt}: did not compile:\n${out}")
  endif()
  # Lines are "file:line:column:function<TAB>bytes<TAB>kind".
  file(STRINGS "${WORK_DIR}/frames.su" lines)
  set(two "")
  set(twenty "")
  foreach(line IN LISTS lines)
    if(line MATCHES ":(two|twenty)\t([0-9]+)\t")
      set(${CMAKE_MATCH_1} ${CMAKE_MATCH_2})
    endif()
  endforeach()
  if(two STREQUAL "" OR twenty STREQUAL "")
    message(FATAL_ERROR "${opt}: no frame for two() or twenty() in:\n${lines}")
  endif()
  message("${opt}: two calls ${two} B, twenty calls ${twenty} B")
  if(NOT two EQUAL twenty)
    message(FATAL_ERROR "${opt}: the frame grows with the calls")
  endif()
endforeach()
