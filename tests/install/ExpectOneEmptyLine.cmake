# Runs PROGRAM with no arguments and fails unless it prints exactly one empty
# line on standard output, nothing on standard error, and exits with status 0.
execute_process(
  COMMAND "${PROGRAM}"
  INPUT_FILE /dev/null
  OUTPUT_VARIABLE out
  ERROR_VARIABLE err
  RESULT_VARIABLE status
)
if(NOT status STREQUAL "0" OR NOT out STREQUAL "\n" OR NOT err STREQUAL "")
  message(FATAL_ERROR "${PROGRAM}\nstatus: ${status}\n"
    "standard output: [${out}]\nstandard error:\n${err}")
endif()
