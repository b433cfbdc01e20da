// The window's fonts and the display's DPI.
#pragma once

#include <windows.h>

namespace qel {

// The display's dots per inch (96 when it cannot be read): the system DPI.
int ScreenDpi();

// The DPI of the monitor the window is on, as a per-monitor aware program
// sees it (Windows 10 1607 and later); `fallback` where the system cannot
// tell.
int WindowDpi(HWND window, int fallback);

// The size of a window of that style whose client area is `width` x `height`
// pixels at `dpi`: its frame measured at that DPI where the system can
// (Windows 10 1607 and later), else at the system DPI.
SIZE WindowSizeForClient(int width, int height, DWORD style, DWORD exStyle, int dpi);

// "ＭＳ ゴシック", 9 points at `dpi`, weight 400, Shift-JIS: the fields and the
// save-and-quit button.
HFONT CreateGothicFont(int dpi);

// The system's message font as it is at `dpi`, the window's default for its
// other controls.
HFONT CreateMessageFont(int dpi);

}  // namespace qel
