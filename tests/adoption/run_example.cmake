# SPDX-License-Identifier: MIT
# Runs an example program (through EMULATOR, '|' between words, when cross
# built) and checks what it prints.
#   signal_report  must die by SIGSEGV after reporting the fault from its
#                  handler, at the address of the page it announced
#   cpp_format     must exit 0 with the lines its source promises
#   nolibc         the same, with no C library
#   demo           the same
cmake_minimum_required(VERSION 3.18)
string(REPLACE "|" ";" emulator "${EMULATOR}")
execute_process(COMMAND ${emulator} "${EXE}"
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
set(all "exit: ${rc}\nstdout:\n${out}\nstderr:\n${err}")

if(EXAMPLE STREQUAL "signal_report")
  if(rc EQUAL 0 OR NOT rc MATCHES "[Ss]egmentation|SEGV|^139$")
    message(FATAL_ERROR "did not end by SIGSEGV\n${all}")
  endif()
  if(NOT out MATCHES "writing to the guard page at ([0-9A-F]+)\n")
    message(FATAL_ERROR "no guard page address\n${all}")
  endif()
  set(page "${CMAKE_MATCH_1}")
  if(NOT err MATCHES "fatal: SIGSEGV \\(signal 11, code [0-9]+\\) at address ([0-9A-F]+) in pid [0-9]+\n")
    message(FATAL_ERROR "no fault report\n${all}")
  endif()
  if(NOT CMAKE_MATCH_1 STREQUAL page)
    message(FATAL_ERROR "the fault is reported at ${CMAKE_MATCH_1}, not at ${page}\n${all}")
  endif()
elseif(EXAMPLE STREQUAL "cpp_format")
  string(REGEX REPLACE "at [0-9A-F]+\n" "at ADDRESS\n" out "${out}")
  set(expected "delta=-1 s=-300 letter=k hex=BEEF (33 bytes)
[1] hello from kestrix at ADDRESS
format_to_n: \"kestrix h\" of 21
emitters: -42002A
")
  if(NOT rc EQUAL 0 OR NOT out STREQUAL expected)
    message(FATAL_ERROR "expected:\n${expected}\n${all}")
  endif()
elseif(EXAMPLE STREQUAL "nolibc")
  if(NOT rc EQUAL 0 OR NOT out MATCHES "^no C library: kestrix -42 BEEF\nmain is at [0-9A-F]+ \\(27 bytes\\)\n$")
    message(FATAL_ERROR "not the example's two lines\n${all}")
  endif()
elseif(EXAMPLE STREQUAL "demo")
  if(NOT rc EQUAL 0 OR NOT out MATCHES "^hello from kestrix, pid [0-9]+\ndecimal: -42 42 -9223372036854775808\nhex: 7F 01FF 00012345 0000DEADBEEFCAFE\npointer: [0-9A-F]+, char: k, percent: %\nsprintf wrote \"x=01FF s=ab\" \\(11 bytes\\)\n$")
    message(FATAL_ERROR "not the demo's five lines\n${all}")
  endif()
else()
  message(FATAL_ERROR "unknown EXAMPLE ${EXAMPLE}")
endif()
