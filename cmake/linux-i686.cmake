# 32-bit x86 Linux build (g++ -m32), used to check that the i686 code computes the same bits as
# the 64-bit build. CMakeLists.txt adds -msse2 -mfpmath=sse for this processor. Programs are
# linked statically so that they run under user-mode emulation without a 32-bit loader.
#   cmake -S . -B build-i686 -DCMAKE_TOOLCHAIN_FILE=cmake/linux-i686.cmake
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT -m32)
set(CMAKE_CXX_FLAGS_INIT -m32)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32 -static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT -m32)
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)

# Running anything built here needs an emulator; try_run and the like must not be attempted.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-i386)

set(QUAR_TESTS OFF CACHE BOOL "Build the tests" FORCE)
set(QUAR_BENCH OFF CACHE BOOL "Build the benchmarks" FORCE)
set(QUAR_TOOLS OFF CACHE BOOL "Build the command-line host and examples" FORCE)
