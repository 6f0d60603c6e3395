# Toolchain of the windows preset: the 64-bit Windows program, library and
# tests, built by MinGW-w64 and run under Wine by scripts/wine-run.sh, in a
# Wine prefix of that script's own.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# The Windows builds of jsoncpp and GoogleTest, and nlohmann::json's headers,
# come from the preset's prefix, never from Linux's own packages, which
# would bring Linux's /usr/include along.
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
# CMake 3.23 and later honour this; the prefix holds every package the build
# finds, so an older CMake finds the same ones.
set(CMAKE_IGNORE_PREFIX_PATH /usr /usr/local)
get_filename_component(CMAKE_CROSSCOMPILING_EMULATOR
  "${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh" ABSOLUTE)

# The C++ runtime, libgcc and winpthread linked into every module, so the
# program, Kestrovandil.node and the tests run wherever they are copied with
# no MinGW DLL beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
set(CMAKE_SHARED_LINKER_FLAGS_INIT -static)
set(CMAKE_MODULE_LINKER_FLAGS_INIT -static)
