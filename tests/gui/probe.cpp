// The probe library (see probe.h). It runs inside qel's process, called by
// the system on qel's GUI thread for every message sent to it.
#include "tests/gui/probe.h"

#include <commctrl.h>

#include <string>

#include "testing/dropped_data.h"
#include "win32/owned_handle.h"

namespace {

// The tooltip controls of the calling thread owned by the window.
struct TipSearch {
  HWND owner;
  HWND tips[8];
  int count;
};

BOOL CALLBACK CollectTip(HWND hwnd, LPARAM param) {
  auto* search = reinterpret_cast<TipSearch*>(param);
  wchar_t name[64] = {};
  GetClassNameW(hwnd, name, 64);
  if (lstrcmpiW(name, TOOLTIPS_CLASSW) == 0 && GetWindow(hwnd, GW_OWNER) == search->owner && search->count < 8) {
    search->tips[search->count++] = hwnd;
  }
  return TRUE;
}

void ReadFont(HWND window, int id, qel_probe::FontReport& report) {
  const HWND control = GetDlgItem(window, id);
  const auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
  report.hasFont = font != nullptr;
  report.objectSize = font ? GetObjectW(font, sizeof(report.font), &report.font) : 0;
}

void ReadTip(HWND window, int id, qel_probe::TipReport& report) {
  TipSearch search = {window, {}, 0};
  EnumThreadWindows(GetCurrentThreadId(), &CollectTip, reinterpret_cast<LPARAM>(&search));
  report.found = 0;
  report.text[0] = L'\0';
  for (int i = 0; i < search.count && !report.found; ++i) {
    TTTOOLINFOW tool = {};
    tool.cbSize = sizeof(tool);
    tool.hwnd = window;
    tool.uId = reinterpret_cast<UINT_PTR>(GetDlgItem(window, id));
    if (!SendMessageW(search.tips[i], TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&tool))) continue;
    report.found = 1;
    tool.lpszText = report.text;
    SendMessageW(search.tips[i], TTM_GETTEXTW, qel_probe::kTipTextSize, reinterpret_cast<LPARAM>(&tool));
    report.text[qel_probe::kTipTextSize - 1] = L'\0';
  }
}

void Drop(HWND window, int id, qel_probe::DropRequest& request) {
  // Where the system's drag and drop finds the target a window registered.
  auto* target = static_cast<IDropTarget*>(GetPropW(GetDlgItem(window, id), L"OleDropTargetInterface"));
  request.registered = target != nullptr;
  request.effect = DROPEFFECT_NONE;
  if (target == nullptr) return;
  request.path[MAX_PATH - 1] = L'\0';
  IDataObject* data = qel_test::DroppedData::Files({request.path});
  const POINTL point = {0, 0};
  DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
  target->DragEnter(data, MK_LBUTTON, point, &effect);
  effect = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
  target->Drop(data, 0, point, &effect);
  request.effect = effect;
  data->Release();
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK ProbeHook(int code, WPARAM wParam, LPARAM lParam) {
  static const UINT fontMessage = RegisterWindowMessageW(qel_probe::kFontMessage);
  static const UINT tipMessage = RegisterWindowMessageW(qel_probe::kTipMessage);
  static const UINT environmentMessage = RegisterWindowMessageW(qel_probe::kEnvironmentMessage);
  static const UINT dropMessage = RegisterWindowMessageW(qel_probe::kDropMessage);
  const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
  if (code == HC_ACTION && (call->message == fontMessage || call->message == tipMessage ||
                            call->message == environmentMessage || call->message == dropMessage)) {
    const std::wstring name = qel_probe::kExchangePrefix + std::to_wstring(static_cast<unsigned long>(call->wParam));
    if (const qel::OwnedHandle mapping{OpenFileMappingW(FILE_MAP_WRITE, FALSE, name.c_str())}) {
      if (void* view = MapViewOfFile(mapping.get(), FILE_MAP_WRITE, 0, 0, sizeof(qel_probe::Exchange))) {
        auto* exchange = static_cast<qel_probe::Exchange*>(view);
        const int id = static_cast<int>(call->lParam);
        if (call->message == fontMessage) {
          ReadFont(call->hwnd, id, exchange->font);
          exchange->font.answered = 1;
        } else if (call->message == tipMessage) {
          ReadTip(call->hwnd, id, exchange->tip);
          exchange->tip.answered = 1;
        } else if (call->message == dropMessage) {
          Drop(call->hwnd, id, exchange->drop);
          exchange->drop.answered = 1;
        } else {
          qel_probe::EnvironmentRequest& request = exchange->environment;
          request.name[63] = L'\0';
          request.value[511] = L'\0';
          request.done = SetEnvironmentVariableW(request.name, request.remove ? nullptr : request.value);
          request.answered = 1;
        }
        UnmapViewOfFile(view);
      }
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}
