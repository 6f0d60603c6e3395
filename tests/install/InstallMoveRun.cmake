# Installs BUILD_DIR into SCRATCH/installed, moves that prefix to
# SCRATCH/moved and runs the program there, from the test's own directory,
# through ExpectOneEmptyLine.cmake: its $ORIGIN run path must find the
# installed library beside it, and nothing in the build tree.
file(REMOVE_RECURSE "${SCRATCH}")
execute_process(
  COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}"
          --prefix "${SCRATCH}/installed"
  OUTPUT_VARIABLE out
  ERROR_VARIABLE out
  RESULT_VARIABLE status
)
if(NOT status STREQUAL "0")
  message(FATAL_ERROR "cmake --install failed (${status}):\n${out}")
endif()
file(RENAME "${SCRATCH}/installed" "${SCRATCH}/moved")
set(PROGRAM "${SCRATCH}/moved/bin/conversion-driver")
include("${CMAKE_CURRENT_LIST_DIR}/ExpectOneEmptyLine.cmake")
