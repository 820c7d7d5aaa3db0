# Cross toolchain for a 64-bit Windows build of the same library: MinGW-w64, x86_64. It exists
# to run the Windows layer (platform services, library entry, title window, export table) under
# 64-bit Wine on machines that cannot start 32-bit programs.
#   cmake -S . -B build-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QUAR_MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
