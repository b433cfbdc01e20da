#include "win32/window/frame.h"

#include "core/window_texts.h"
#include "win32/window/dpi.h"
#include "win32/window/layout.h"

namespace qel {

SIZE FrameSizeAtDpi(int dpi) {
  return WindowSizeForClient(TwipsToPixels(kClientWidthTwips, dpi), TwipsToPixels(kClientHeightTwips, dpi),
                             kWindowStyle, kWindowExStyle, dpi);
}

bool RegisterFrameClass(const wchar_t* className, HINSTANCE instance, WNDPROC windowProc) {
  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = windowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = className;
  return RegisterClassExW(&windowClass) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HWND CreateFrameWindow(const wchar_t* className, HINSTANCE instance, void* createParam, int& dpi) {
  dpi = ScreenDpi();
  const SIZE size = FrameSizeAtDpi(dpi);
  HWND window = CreateWindowExW(kWindowExStyle, className, texts::kWindowCaption, kWindowStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                                size.cx, size.cy, nullptr, nullptr, instance, createParam);
  if (window == nullptr) return nullptr;
  // Per monitor aware: the monitor it opens on can have another DPI than the
  // system's.
  if (const int monitorDpi = WindowDpi(window, dpi); monitorDpi != dpi) {
    dpi = monitorDpi;
    const SIZE resized = FrameSizeAtDpi(dpi);
    SetWindowPos(window, nullptr, 0, 0, resized.cx, resized.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  return window;
}

}  // namespace qel
