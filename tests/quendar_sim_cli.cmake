# The headless tool's command line: bad input gets a one-line usage on
# standard error, nothing on standard output, and status 2.
set(bad_command_lines
  ""
  "1"
  "1;400"
  "1;400;0;9"
  "0;400;0"
  "4;400;0"
  "1;299;0"
  "1;400;-1"
  "-1;400;0"
  "+1;400;0"
  " 1;400;0"
  "1x;400;0"
  "1;4e2;0"
  "1;400;0.5"
  "1;99999999999;0"
  "1;400;2147483648"
  "a;b;c")
foreach(args IN LISTS bad_command_lines)
  string(REPLACE ";" "|" shown "${args}")
  string(REPLACE "|" ";" argv "${shown}")
  execute_process(COMMAND ${SIM} ${argv}
    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 30)
  if(NOT status EQUAL 2)
    message(FATAL_ERROR "quendar-sim '${shown}': status ${status}, expected 2")
  endif()
  if(NOT out STREQUAL "")
    message(FATAL_ERROR "quendar-sim '${shown}': wrote to standard output")
  endif()
  if(NOT err MATCHES "^usage: quendar-sim G N STEPS[^\n]*\n$")
    message(FATAL_ERROR "quendar-sim '${shown}': standard error was '${err}'")
  endif()
endforeach()

# An empty-string argument (not the same as a missing one).
execute_process(COMMAND ${SIM} "" 400 0 RESULT_VARIABLE status OUTPUT_QUIET ERROR_QUIET TIMEOUT 30)
if(NOT status EQUAL 2)
  message(FATAL_ERROR "quendar-sim with an empty argument: status ${status}")
endif()

# A valid run: one line a particle, twelve fields each, in index order.
execute_process(COMMAND ${SIM} 3 300 5 RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 60)
if(NOT status EQUAL 0 OR NOT err STREQUAL "")
  message(FATAL_ERROR "quendar-sim 3 300 5: status ${status}, stderr '${err}'")
endif()
string(REGEX MATCHALL "[^\n]*\n" lines "${out}")
list(LENGTH lines count)
if(NOT count EQUAL 300)
  message(FATAL_ERROR "quendar-sim 3 300 5 printed ${count} lines")
endif()
set(number "^-?[0-9]+(\\.[0-9]+)?(e[-+][0-9]+)?$")
set(index 0)
foreach(line IN LISTS lines)
  string(REGEX REPLACE "\n$" "" line "${line}")
  string(REPLACE " " ";" fields "${line}")
  list(LENGTH fields nfields)
  list(GET fields 0 first)
  if(NOT nfields EQUAL 12 OR NOT first STREQUAL "${index}")
    message(FATAL_ERROR "line ${index} malformed: '${line}'")
  endif()
  foreach(field IN LISTS fields)
    if(NOT field MATCHES "${number}")
      message(FATAL_ERROR "line ${index}: field '${field}' is not a number")
    endif()
  endforeach()
  math(EXPR index "${index} + 1")
endforeach()

# Too many particles for any machine: a clear message and status 1.
execute_process(COMMAND ${SIM} 1 2147483647 0 RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 30)
if(NOT status EQUAL 1 OR NOT err MATCHES "not enough memory" OR NOT out STREQUAL "")
  message(FATAL_ERROR "quendar-sim 1 2147483647 0: status ${status}, stderr '${err}'")
endif()
