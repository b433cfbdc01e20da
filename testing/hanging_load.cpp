// A socket.dll whose loading never ends: its DllMain blocks for good when the
// library is attached, as a DLL that hangs while it loads (or one read from
// a network share that stalls) does. Its five functions are the library's,
// exported under the same plain names as the simulated switch's, so that qel
// finds nothing else wrong with it; none of them is ever reached, since
// LoadLibrary never returns. The tests put it beside qel.exe to show that a
// script still ends with its reason line and exit code 2, and that the
// window still shows and closes.

#include <windows.h>

#include <cstdint>

#include "core/switch_library_api.h"

// The functions' parameters are named in the list and never read here.
#pragma GCC diagnostic ignored "-Wunused-parameter"

extern "C" {

#define QEL_HANGING_DEFINE(name, parameters) \
  __declspec(dllexport) std::int32_t QEL_STDCALL name parameters { return 0; }
QEL_SWITCH_LIBRARY_FUNCTIONS(QEL_HANGING_DEFINE)
#undef QEL_HANGING_DEFINE

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    for (;;) Sleep(INFINITE);
  }
  return TRUE;
}

}  // extern "C"
