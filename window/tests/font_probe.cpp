// The font probe library (see font_probe.h). It runs inside qel's process,
// called by the system on qel's GUI thread for every message sent to it.
#include "window/tests/font_probe.h"

#include <string>

extern "C" __declspec(dllexport) LRESULT CALLBACK FontProbeHook(int code, WPARAM wParam, LPARAM lParam) {
  static const UINT probeMessage = RegisterWindowMessageW(qel_probe::kProbeMessage);
  const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
  if (code == HC_ACTION && call->message == probeMessage) {
    const std::wstring name = qel_probe::kReportPrefix + std::to_wstring(static_cast<unsigned long>(call->wParam));
    if (HANDLE mapping = OpenFileMappingW(FILE_MAP_WRITE, FALSE, name.c_str())) {
      if (void* view = MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(qel_probe::FontReport))) {
        auto* report = static_cast<qel_probe::FontReport*>(view);
        const HWND control = GetDlgItem(call->hwnd, static_cast<int>(call->lParam));
        const auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
        report->hasFont = font != nullptr;
        report->objectSize = font ? GetObjectW(font, sizeof(report->font), &report->font) : 0;
        report->answered = 1;
        UnmapViewOfFile(view);
      }
      CloseHandle(mapping);
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}
