# Runs the Windows program under Wine, as a user would, and fails unless it
# prints exactly one empty line (CR LF: its standard output is in text mode)
# and nothing on standard error, and exits with status 0.
#
# usage: cmake -DWINE_RUN=... -DWINE_PREFIX=... -DPROGRAM=... -DOUT=FILE
#          -P RunProgram.cmake
# The output goes through a file: execute_process's OUTPUT_VARIABLE turns
# CR LF into LF.
execute_process(
  COMMAND "${WINE_RUN}" "${WINE_PREFIX}" "${PROGRAM}"
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
