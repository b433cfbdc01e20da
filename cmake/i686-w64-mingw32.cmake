# Cross build of the Windows program: 32-bit x86, the product's build:
# mingw-w64 with the posix thread model, everything the C and C++ runtimes
# need linked in statically.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(triple i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)

# Windows programs built here run under Wine; the wrapper expects the
# session of scripts/wine-session (display, prefix).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-exec)
