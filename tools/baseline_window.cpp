// The window benchmark's baseline: the visible work of qel's window and
// nothing else. It registers a window class as qel's, with qel's icon,
// creates a window of qel's style, size and caption, gives it the 25 controls of qel's
// layout table with qel's fonts (the same layout, controls and fonts code,
// linked from win32/window/), shows it and runs a dialog-style message loop
// until it is closed. The program carries qel's manifest (baseline_window.rc),
// so the same common controls and DPI awareness apply.
//
// What qel does besides is left out: no ip.ini, no switch library, no poll
// timer, no tooltips, no OLE, no file drop, no move to another monitor's DPI
// once shown.
#include <windows.h>

#include "win32/owned_handle.h"
#include "win32/window/controls.h"
#include "win32/window/fonts.h"
#include "win32/window/frame.h"
#include "win32/window/layout.h"

namespace {

// Found by this class name (timewindow.exe baseline_window.exe baseline_window).
constexpr wchar_t kClassName[] = L"baseline_window";
LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  // Registered, made, sized and placed as qel's window, by the same code.
  if (!qel::RegisterFrameClass(kClassName, instance, WindowProc)) return 1;
  int dpi = 96;
  HWND hwnd = qel::CreateFrameWindow(kClassName, instance, nullptr, dpi);
  if (hwnd == nullptr) return 1;
  const qel::OwnedFont gothicFont(qel::CreateGothicFont(dpi));
  const qel::OwnedFont messageFont(qel::CreateMessageFont(dpi));
  qel::CreateLayoutControls(hwnd, instance, dpi, gothicFont.get(), messageFont.get());

  ShowWindow(hwnd, SW_SHOWNORMAL);
  UpdateWindow(hwnd);
  SetFocus(GetDlgItem(hwnd, qel::kLayout[0].id));
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (IsWindow(hwnd) && IsDialogMessageW(hwnd, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}
