// The frame of the window "qel": styles and its size for the layout's client
// area at a DPI, with the caption of window_texts. qel's window and the benchmark's baseline
// window are made by the same code here.
#pragma once

#include <windows.h>

namespace qel {

inline constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
inline constexpr DWORD kWindowExStyle = WS_EX_CONTROLPARENT;

// The window's size whose client area is the layout's at `dpi`.
SIZE FrameSizeAtDpi(int dpi);

// Registers the window class `className` with the icon of resource 1, the
// arrow cursor and the dialog background. True when the class is there (it
// may have been registered before).
bool RegisterFrameClass(const wchar_t* className, HINSTANCE instance, WNDPROC windowProc);

// Creates the window, hidden, of the registered class `className` with
// `createParam` for its WM_NCCREATE; sized at the system DPI, then at the DPI
// of the monitor it opens on, which is left in `dpi`. Null when it cannot.
HWND CreateFrameWindow(const wchar_t* className, HINSTANCE instance, void* createParam, int& dpi);

}  // namespace qel
