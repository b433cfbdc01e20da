# Cross build of the Windows program for x64, for the benchmark's timings
# only (preset win64-timing): where the kernel runs no 32-bit programs, the
# 32-bit qel.exe can only be emulated, and the same sources built for x64 run
# under the 64-bit Wine at the machine's own speed. Never shipped: the
# release is the 32-bit build (cmake/i686-w64-mingw32.cmake), and this build
# has no release zips and no tests. Otherwise as that build: mingw-w64 with
# the posix thread model, the C and C++ runtimes linked in statically.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(triple x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
