#include "win32/window/dpi.h"

namespace qel {
namespace {

// The functions of user32 looked up at run time, described once:
// V(name, result, (parameters)).
#define QEL_USER32_DPI_FUNCTIONS(V)                                  \
  V(GetDpiForWindow, UINT, (HWND))                                   \
  V(AdjustWindowRectExForDpi, BOOL, (RECT*, DWORD, BOOL, DWORD, UINT)) \
  V(SystemParametersInfoForDpi, BOOL, (UINT, UINT, void*, UINT, UINT)) \
  V(GetSystemMetricsForDpi, int, (int, UINT))

// Each of them, or nullptr where this Windows lacks it.
struct User32DpiFunctions {
#define QEL_USER32_MEMBER(name, result, parameters) result(WINAPI* name) parameters = nullptr;
  QEL_USER32_DPI_FUNCTIONS(QEL_USER32_MEMBER)
#undef QEL_USER32_MEMBER

  // False while user32 is not loaded yet (qel loads it at its first call).
  bool LookUp() {
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    if (user32 == nullptr) return false;
#define QEL_USER32_LOOKUP(name, result, parameters) \
  name = reinterpret_cast<decltype(name)>(reinterpret_cast<void*>(GetProcAddress(user32, #name)));
    QEL_USER32_DPI_FUNCTIONS(QEL_USER32_LOOKUP)
#undef QEL_USER32_LOOKUP
    return true;
  }
};

// Looked up once, as soon as user32 is there.
const User32DpiFunctions& User32() {
  static User32DpiFunctions functions;
  static bool lookedUp = false;
  if (!lookedUp) lookedUp = functions.LookUp();
  return functions;
}

}  // namespace

int ScreenDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

int WindowDpi(HWND window, int fallback) {
  const auto getDpiForWindow = User32().GetDpiForWindow;
  const int dpi = getDpiForWindow != nullptr ? static_cast<int>(getDpiForWindow(window)) : 0;
  return dpi > 0 ? dpi : fallback;
}

SIZE WindowSizeForClient(int width, int height, DWORD style, DWORD exStyle, int dpi) {
  RECT frame = {0, 0, width, height};
  const auto adjustForDpi = User32().AdjustWindowRectExForDpi;
  if (adjustForDpi == nullptr || !adjustForDpi(&frame, style, FALSE, exStyle, static_cast<UINT>(dpi))) {
    frame = {0, 0, width, height};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  }
  return {frame.right - frame.left, frame.bottom - frame.top};
}

bool SystemParametersAtDpi(UINT action, UINT size, void* value, int dpi) {
  const auto forDpi = User32().SystemParametersInfoForDpi;
  return forDpi != nullptr && forDpi(action, size, value, 0, static_cast<UINT>(dpi));
}

int SystemMetricAtDpi(int index, int dpi) {
  const auto forDpi = User32().GetSystemMetricsForDpi;
  return forDpi != nullptr ? forDpi(index, static_cast<UINT>(dpi)) : GetSystemMetrics(index);
}

}  // namespace qel
