#include "win32/window/fonts.h"

namespace qel {
namespace {

// A function of user32 that older Windows lack, or nullptr there. user32 is
// loaded by then: the window exists.
template <typename Function>
Function User32Function(const char* name) {
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  if (user32 == nullptr) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(user32, name)));
}

using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
using AdjustWindowRectExForDpiFunction = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
using SystemParametersInfoForDpiFunction = BOOL(WINAPI*)(UINT, UINT, void*, UINT, UINT);

}  // namespace

int ScreenDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

int WindowDpi(HWND window, int fallback) {
  const auto getDpiForWindow = User32Function<GetDpiForWindowFunction>("GetDpiForWindow");
  const int dpi = getDpiForWindow != nullptr ? static_cast<int>(getDpiForWindow(window)) : 0;
  return dpi > 0 ? dpi : fallback;
}

SIZE WindowSizeForClient(int width, int height, DWORD style, DWORD exStyle, int dpi) {
  RECT frame = {0, 0, width, height};
  const auto adjustForDpi = User32Function<AdjustWindowRectExForDpiFunction>("AdjustWindowRectExForDpi");
  if (adjustForDpi == nullptr || !adjustForDpi(&frame, style, FALSE, exStyle, static_cast<UINT>(dpi))) {
    frame = {0, 0, width, height};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  }
  return {frame.right - frame.left, frame.bottom - frame.top};
}

HFONT CreateGothicFont(int dpi) {
  LOGFONTW font = {};
  font.lfHeight = -MulDiv(9, dpi, 72);
  font.lfWeight = FW_NORMAL;
  font.lfCharSet = SHIFTJIS_CHARSET;
  font.lfOutPrecision = OUT_DEFAULT_PRECIS;
  font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  font.lfQuality = DEFAULT_QUALITY;
  font.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
  lstrcpynW(font.lfFaceName, L"ＭＳ ゴシック", LF_FACESIZE);
  return CreateFontIndirectW(&font);
}

HFONT CreateMessageFont(int dpi) {
  NONCLIENTMETRICSW metrics = {};
  metrics.cbSize = sizeof(metrics);
  const auto forDpi = User32Function<SystemParametersInfoForDpiFunction>("SystemParametersInfoForDpi");
  if (forDpi == nullptr || !forDpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0, static_cast<UINT>(dpi))) {
    // Before Windows 10 1607: the metrics are those of the system DPI.
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) return nullptr;
    metrics.lfMessageFont.lfHeight = MulDiv(metrics.lfMessageFont.lfHeight, dpi, ScreenDpi());
  }
  return CreateFontIndirectW(&metrics.lfMessageFont);
}

}  // namespace qel
