# Cross toolchain for a 64-bit Windows build of the same library: MinGW-w64, x86_64. It exists
# to run the Windows layer (platform services, library entry, title window, export table) under
# 64-bit Wine on machines that cannot start 32-bit programs.
#   cmake -S . -B build-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QUAR_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QUAR_MINGW_PREFIX}-gcc)
set(CMAKE_CXX_COMPILER ${QUAR_MINGW_PREFIX}-g++)
set(CMAKE_RC_COMPILER ${QUAR_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QUAR_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(QUAR_TESTS OFF CACHE BOOL "Build the tests" FORCE)
set(QUAR_BENCH OFF CACHE BOOL "Build the benchmarks" FORCE)
set(QUAR_TOOLS OFF CACHE BOOL "Build the command-line host and examples" FORCE)
