// Compiles the test executables' precompiled headers (tests/CMakeLists.txt).
