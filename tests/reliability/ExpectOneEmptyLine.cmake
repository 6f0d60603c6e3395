# Runs PROGRAM under EMULATOR (a ;-list, passed with | for ;) with no
# arguments and fails unless it prints exactly one empty line on standard
# output, nothing on standard error, and exits with status 0. With valgrind as
# the emulator, any memory error or leak shows on standard error and in the
# status.
string(REPLACE "|" ";" emulator "${EMULATOR}")
execute_process(
  COMMAND ${emulator} "${PROGRAM}"
  INPUT_FILE /dev/null
  OUTPUT_VARIABLE out
  ERROR_VARIABLE err
  RESULT_VARIABLE status
)
if(NOT status STREQUAL "0" OR NOT out STREQUAL "\n" OR NOT err STREQUAL "")
  list(JOIN emulator " " command)
  message(FATAL_ERROR "${command} ${PROGRAM}\nstatus: ${status}\n"
    "standard output: [${out}]\nstandard error:\n${err}")
endif()
