// The display's DPI and the window's sizes at a DPI. The per-DPI functions
// of user32 that Windows 10 1607 added are looked up at run time, so qel
// still runs on older Windows, where the system DPI stands in for them.
#pragma once

#include <windows.h>

namespace qel {

// The display's dots per inch (96 when it cannot be read): the system DPI.
int ScreenDpi();

// The DPI of the monitor the window is on, as a per-monitor aware program
// sees it; `fallback` where the system cannot tell.
int WindowDpi(HWND window, int fallback);

// The size of a window of that style whose client area is `width` x `height`
// pixels at `dpi`: its frame measured at that DPI where the system can, else
// at the system DPI.
SIZE WindowSizeForClient(int width, int height, DWORD style, DWORD exStyle, int dpi);

// SystemParametersInfo as it answers at `dpi`; false where the system cannot
// answer for another DPI than its own, or fails.
bool SystemParametersAtDpi(UINT action, UINT size, void* value, int dpi);

// GetSystemMetrics as it answers at `dpi`; where the system cannot answer for
// another DPI, at the system DPI.
int SystemMetricAtDpi(int index, int dpi);

}  // namespace qel
