// qel.exe delay-loads most of the system DLLs it uses (cmake/delayload.cmake):
// each function is looked up at its first call, which takes the system's
// loader lock. A socket.dll that hangs while it loads holds that lock for
// good, so the window looks every one of them up before the library is
// first called: from then on nothing of qel's own waits for the loader.
#pragma once

namespace qel {

// Loads every delay-loaded DLL of the program and looks up each of its
// functions now. A program without delay-loads (the tests) does nothing.
// The DLLs are those of qel_delay_load in win32/CMakeLists.txt.
void LoadEveryDelayedImport();

}  // namespace qel
