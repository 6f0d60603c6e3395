# Fails when the README or a document under docs/ names a make target, a make
# variable or a CMake preset that the build does not define, or when a
# configure preset is missing from the presets table of docs/building.md, so
# that the documents cannot drift from the Makefile and CMakePresets.json.
# SOURCE_DIR is the repository.

cmake_policy(VERSION 3.20)

file(READ "${SOURCE_DIR}/Makefile" makefile)
file(READ "${SOURCE_DIR}/CMakePresets.json" presetsJson)
file(GLOB documents "${SOURCE_DIR}/README.md" "${SOURCE_DIR}/docs/*.md")

set(problems "")

# The configure presets a user can pick, hidden ones aside.
set(presets "")
string(JSON count LENGTH "${presetsJson}" configurePresets)
math(EXPR last "${count} - 1")
foreach(i RANGE ${last})
  string(JSON name GET "${presetsJson}" configurePresets ${i} name)
  string(JSON hidden ERROR_VARIABLE notHidden
    GET "${presetsJson}" configurePresets ${i} hidden)
  if(NOT notHidden STREQUAL "NOTFOUND" OR NOT hidden)
    list(APPEND presets "${name}")
  endif()
endforeach()

foreach(document IN LISTS documents)
  file(READ "${document}" text)
  # A ';' would split the matches below, which are CMake lists.
  string(REPLACE ";" "," text "${text}")
  cmake_path(RELATIVE_PATH document BASE_DIRECTORY "${SOURCE_DIR}"
    OUTPUT_VARIABLE where)

  # `make TARGET [VAR=value ...]` in inline code or a code block: each target
  # is a rule of the Makefile and each variable one it sets.
  string(REGEX MATCHALL "```[a-z]*\n[^`]*```" blocks "${text}")
  string(REGEX MATCHALL "`[^`\n]+`" spans "${text}")
  string(JOIN "\n" code ${blocks} ${spans})
  string(REGEX MATCHALL "[`\n]make [a-z][a-z-]*( [A-Z_]+=[^ `\n]*)*" commands
    "${code}")
  foreach(command IN LISTS commands)
    string(REGEX MATCH "make ([a-z][a-z-]*)" _ "${command}")
    set(target "${CMAKE_MATCH_1}")
    if(NOT makefile MATCHES "(^|\n)${target}:")
      string(APPEND problems "${where}: no make target '${target}'\n")
    endif()
    string(REGEX MATCHALL "[A-Z_]+=" variables "${command}")
    foreach(variable IN LISTS variables)
      string(REPLACE "=" "" variable "${variable}")
      if(NOT makefile MATCHES "(^|\n)${variable} \\??=")
        string(APPEND problems "${where}: no make variable '${variable}'\n")
      endif()
    endforeach()
  endforeach()

  # `--preset NAME` and the rows of a presets table.
  string(REGEX MATCHALL "--preset [a-z][a-z-]*" named "${text}")
  string(REGEX MATCHALL "\n\\| `[a-z][a-z-]*` \\| [^\n]*" rows "${text}")
  foreach(mention IN LISTS named rows)
    string(REGEX MATCH "(--preset |\\| `)([a-z][a-z-]*)" _ "${mention}")
    set(preset "${CMAKE_MATCH_2}")
    if(mention MATCHES "^\n" AND NOT where STREQUAL "docs/building.md")
      continue()  # only building.md's tables list presets
    endif()
    if(NOT preset IN_LIST presets)
      string(APPEND problems "${where}: no CMake preset '${preset}'\n")
    endif()
    list(APPEND documented "${preset}")
  endforeach()
endforeach()

foreach(preset IN LISTS presets)
  if(NOT preset IN_LIST documented)
    string(APPEND problems
      "docs/building.md: the preset '${preset}' is not documented\n")
  endif()
endforeach()

if(problems)
  message(FATAL_ERROR "The documents and the build disagree:\n${problems}")
endif()
