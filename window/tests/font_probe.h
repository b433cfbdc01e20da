// The font probe: a small library that window_tests hooks into qel's GUI
// thread (SetWindowsHookEx, WH_CALLWNDPROC) to read a control's font from
// inside qel's own process. Neither Windows nor Wine hands a font across
// processes: Wine 8 does not pass WM_GETFONT to another process at all
// ("pack_message ... not supported"), and on Windows the HFONT it returns
// means nothing outside its process.
//
// The test sends the registered message kProbeMessage to qel's window with
// wParam = the test's process id and lParam = a control id; the hook answers
// in the named shared memory kReportPrefix + that process id.
#pragma once

#include <windows.h>

namespace qel_probe {

inline constexpr wchar_t kProbeMessage[] = L"qel-window-tests-font-probe";
inline constexpr wchar_t kReportPrefix[] = L"Local\\qel-window-tests-font-";
// The hook procedure's export (linked without stdcall decoration).
inline constexpr char kHookName[] = "FontProbeHook";

struct FontReport {
  LONG answered;    // 1 once the hook has filled this in
  LONG hasFont;     // WM_GETFONT gave a font (0: the system font)
  LONG objectSize;  // what GetObjectW returned for it
  LOGFONTW font;
};

}  // namespace qel_probe
