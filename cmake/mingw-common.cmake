# The part of the MinGW-w64 toolchains that both Windows builds share; the including file sets
# CMAKE_SYSTEM_PROCESSOR and QUAR_MINGW_PREFIX first.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${QUAR_MINGW_PREFIX}-gcc)
set(CMAKE_CXX_COMPILER ${QUAR_MINGW_PREFIX}-g++)
set(CMAKE_RC_COMPILER ${QUAR_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QUAR_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# GoogleTest and Google Benchmark are not built for Windows; the Windows checks are plain
# programs (tests/windows).
set(QUAR_TESTS OFF CACHE BOOL "Build the tests" FORCE)
set(QUAR_BENCH OFF CACHE BOOL "Build the benchmarks" FORCE)
set(QUAR_TOOLS OFF CACHE BOOL "Build the command-line host and examples" FORCE)
