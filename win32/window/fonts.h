// The window's fonts at a DPI.
#pragma once

#include <windows.h>

namespace qel {

// "ＭＳ ゴシック", 9 points at `dpi`, weight 400, Shift-JIS: the fields and the
// save-and-quit button.
HFONT CreateGothicFont(int dpi);

// The system's message font as it is at `dpi`, the window's default for its
// other controls.
HFONT CreateMessageFont(int dpi);

}  // namespace qel
