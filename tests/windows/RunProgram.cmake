# Runs the Windows program through the emulator, as a user would, and fails
# unless it prints exactly one empty line (CR LF: its standard output is in
# text mode) and nothing on standard error, and exits with status 0.
#
# usage: cmake -DPROGRAM=... -DOUT=FILE -P RunProgram.cmake
#          -- EMULATOR [ARGUMENT...]
# The output goes through a file: execute_process's OUTPUT_VARIABLE turns
# CR LF into LF.
set(emulator "")
set(after_separator FALSE)
math(EXPR last "${CMAKE_ARGC} - 1")
foreach(i RANGE ${last})
  if(after_separator)
    list(APPEND emulator "${CMAKE_ARGV${i}}")
  elseif(CMAKE_ARGV${i} STREQUAL "--")
    set(after_separator TRUE)
  endif()
endforeach()
execute_process(
  COMMAND ${emulator} "${PROGRAM}"
  INPUT_FILE /dev/null
  OUTPUT_FILE "${OUT}"
  ERROR_VARIABLE err
  RESULT_VARIABLE status
)
file(READ "${OUT}" out HEX)
if(NOT status STREQUAL "0" OR NOT out STREQUAL "0d0a" OR NOT err STREQUAL "")
  message(FATAL_ERROR "${PROGRAM}\nstatus: ${status}\n"
    "standard output in hex: [${out}]\nstandard error:\n${err}")
endif()
