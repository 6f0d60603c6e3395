# Toolchain of the windows-check preset: every source of the 64-bit Windows
# build, compiled by MinGW-w64 with the project's flags, and nothing linked.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)

# Debian ships no Windows build of jsoncpp; its headers are the same on both
# platforms, and they are all that compiling needs.
set(jsoncpp_DIR "${CMAKE_CURRENT_LIST_DIR}/jsoncpp-headers"
  CACHE PATH "jsoncpp's headers alone")

set(CMAKE_USER_MAKE_RULES_OVERRIDE_CXX
  "${CMAKE_CURRENT_LIST_DIR}/CompileOnlyRules.cmake")
