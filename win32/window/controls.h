// The window's controls as the layout table describes them, and their texts.
#pragma once

#include <windows.h>

#include <string>

namespace qel {

// Creates every control of the layout table as a child of `window`, in tab
// order, placed at `dpi`: text fields without length limit, push buttons,
// opaque labels. Fields and the save-and-quit button get `gothicFont`, the
// others `messageFont` (either may be null: the system font stays).
void CreateLayoutControls(HWND window, HINSTANCE instance, int dpi, HFONT gothicFont, HFONT messageFont);

// Moves every control of the layout table to its place at `dpi` and gives it
// its font, as CreateLayoutControls does: for a window moved to a monitor of
// another DPI. The controls are repainted.
void PlaceLayoutControls(HWND window, int dpi, HFONT gothicFont, HFONT messageFont);

// A tooltip control owned by `window` (and destroyed with it), shown also
// while the window is inactive, its texts taken as they stand (no "&").
HWND CreateTooltips(HWND window, HINSTANCE instance);

// The text of control `id` of `window`, and setting it.
std::wstring ControlText(HWND window, int id);
void SetControlText(HWND window, int id, const std::wstring& text);

}  // namespace qel
