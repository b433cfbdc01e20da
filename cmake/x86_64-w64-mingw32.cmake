# Cross build of the Windows program for 64-bit x86 (x64): the same sources,
# for testing under Wine's 64-bit loader where the kernel runs no 32-bit
# programs.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(triple x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
