# The program binds to Kestrovandil.node by exactly its four functions, and
# the library exports those four and nothing else: the contract with the
# closed library that the stand-in replaces. Read from the import and export
# tables that `objdump -p` prints, where each entry's name is its last field
# (binutils 2.44 added columns before it).
#
# usage: cmake -DOBJDUMP=... -DPROGRAM=... -DLIBRARY=... -P CheckBinding.cmake
set(expected ConvertTaskCreate ConvertTaskRelease ConvertTaskStart
             ConvertTaskStatus)

function(table_of file out)
  execute_process(COMMAND "${OBJDUMP}" -p "${file}"
    OUTPUT_VARIABLE text RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} -p ${file} failed: ${status}")
  endif()
  string(REPLACE ";" "," text "${text}")
  string(REPLACE "\n" ";" lines "${text}")
  set(${out} "${lines}" PARENT_SCOPE)
endfunction()

# Imports: the entries under "DLL Name: Kestrovandil.node", up to the blank
# line that ends that library's list.
table_of("${PROGRAM}" lines)
set(imports "")
set(inside OFF)
foreach(line IN LISTS lines)
  if(line MATCHES "DLL Name: (.*)$")
    string(STRIP "${CMAKE_MATCH_1}" dll)
    if(dll STREQUAL "Kestrovandil.node")
      set(inside ON)
    else()
      set(inside OFF)
    endif()
  elseif(inside AND line MATCHES "^\t[0-9a-f]+[\t ].* ([A-Za-z_0-9@]+)$")
    list(APPEND imports "${CMAKE_MATCH_1}")
  elseif(inside AND line STREQUAL "")
    set(inside OFF)
  endif()
endforeach()

# Exports: the "[Ordinal/Name Pointer] Table" entries.
table_of("${LIBRARY}" lines)
set(exports "")
set(inside OFF)
foreach(line IN LISTS lines)
  if(line MATCHES "^\\[Ordinal/Name Pointer\\] Table")
    set(inside ON)
  elseif(inside AND line MATCHES "^\t\\[ *[0-9]+\\] (.* )?([^ ]+)$")
    list(APPEND exports "${CMAKE_MATCH_2}")
  elseif(inside AND line STREQUAL "")
    set(inside OFF)
  endif()
endforeach()

list(SORT imports)
list(SORT exports)
if(NOT imports STREQUAL expected OR NOT exports STREQUAL expected)
  message(FATAL_ERROR "expected the four functions, and only them:\n"
    "  program imports from Kestrovandil.node: ${imports}\n"
    "  Kestrovandil.node exports: ${exports}")
endif()
message(STATUS "program imports, library exports: ${exports}")
