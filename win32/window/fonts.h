// The window's fonts and the display's DPI.
#pragma once

#include <windows.h>

namespace qel {

// The display's dots per inch (96 when it cannot be read).
int ScreenDpi();

// "ＭＳ ゴシック", 9 points at `dpi`, weight 400, Shift-JIS: the fields and the
// save-and-quit button.
HFONT CreateGothicFont(int dpi);

// The system's message font, the window's default for its other controls.
HFONT CreateMessageFont();

}  // namespace qel
