// The probe library (see probe.h). It runs inside qel's process, called by
// the system on qel's GUI thread for every message sent to it.
#include "tests/gui/probe.h"

#include <commctrl.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

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

// Tooltips of the window shown and taken down since counting began.
bool gCounting = false;
LONG gShows = 0;
LONG gHides = 0;

void CountTipShows(const CWPSTRUCT& call) {
  if (!gCounting || call.message != WM_WINDOWPOSCHANGED) return;
  const auto* place = reinterpret_cast<const WINDOWPOS*>(call.lParam);
  wchar_t name[64] = {};
  GetClassNameW(call.hwnd, name, 64);
  if (lstrcmpiW(name, TOOLTIPS_CLASSW) != 0) return;
  if (place->flags & SWP_SHOWWINDOW) ++gShows;
  if (place->flags & SWP_HIDEWINDOW) ++gHides;
}

// SystemParametersInfoW as qel calls it, while the probe answers for high
// contrast.
using SystemParametersFunction = BOOL(WINAPI*)(UINT, UINT, void*, UINT);
SystemParametersFunction gSystemParameters = nullptr;
bool gHighContrast = false;

BOOL WINAPI AnswerHighContrast(UINT action, UINT number, void* data, UINT update) {
  if (action == SPI_GETHIGHCONTRAST && gHighContrast && data != nullptr) {
    auto* contrast = static_cast<HIGHCONTRASTW*>(data);
    if (contrast->cbSize != sizeof(HIGHCONTRASTW)) return FALSE;
    contrast->dwFlags = HCF_HIGHCONTRASTON | HCF_AVAILABLE;
    contrast->lpszDefaultScheme = nullptr;
    return TRUE;
  }
  return gSystemParameters(action, number, data, update);
}

// Points every slot of qel.exe's image that holds the address of the
// system's SystemParametersInfoW (its import, resolved by the time the
// window shows: the window's fonts ask it) at AnswerHighContrast; the
// number of slots. The probe stays loaded from then on: qel calls into it.
LONG AnswerForHighContrast() {
  static LONG slots = -1;
  if (slots >= 0) return slots;
  slots = 0;
  const HMODULE user32 = GetModuleHandleW(L"user32.dll");
  const auto system =
      user32 ? reinterpret_cast<SystemParametersFunction>(
                   reinterpret_cast<void*>(GetProcAddress(user32, "SystemParametersInfoW")))
             : nullptr;
  if (system == nullptr) return slots;
  gSystemParameters = system;
  HMODULE self = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                     reinterpret_cast<LPCWSTR>(&AnswerHighContrast), &self);
  auto* image = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
  const auto* headers =
      reinterpret_cast<const IMAGE_NT_HEADERS*>(image + reinterpret_cast<const IMAGE_DOS_HEADER*>(image)->e_lfanew);
  const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(headers);
  for (WORD i = 0; i < headers->FileHeader.NumberOfSections; ++i, ++section) {
    if (!(section->Characteristics & IMAGE_SCN_MEM_WRITE)) continue;
    auto* slot = reinterpret_cast<SystemParametersFunction*>(image + section->VirtualAddress);
    const auto* end = reinterpret_cast<SystemParametersFunction*>(image + section->VirtualAddress +
                                                                 section->Misc.VirtualSize);
    for (; slot + 1 <= end; ++slot) {
      DWORD protection = 0;
      if (*slot == system && VirtualProtect(slot, sizeof(*slot), PAGE_READWRITE, &protection)) {
        *slot = &AnswerHighContrast;
        VirtualProtect(slot, sizeof(*slot), protection, &protection);
        ++slots;
      }
    }
  }
  return slots;
}

// The system colours as they were before the probe set them.
std::vector<std::pair<INT, COLORREF>> gSavedColours;

void ChangeTheme(qel_probe::ThemeRequest& request) {
  request.slots = AnswerForHighContrast();
  gHighContrast = request.highContrast == 1;
  request.coloursDone = 1;
  if (request.count > 0 && request.count <= qel_probe::kMostColours) {
    for (LONG i = 0; i < request.count; ++i) {
      const INT element = request.elements[i];
      const bool saved = std::any_of(gSavedColours.begin(), gSavedColours.end(),
                                     [&](const auto& colour) { return colour.first == element; });
      if (!saved) gSavedColours.emplace_back(element, GetSysColor(element));
    }
    request.coloursDone = SetSysColors(request.count, request.elements, request.colours);
  } else if (request.count < 0 && !gSavedColours.empty()) {
    std::vector<INT> elements;
    std::vector<COLORREF> colours;
    for (const auto& [element, colour] : gSavedColours) {
      elements.push_back(element);
      colours.push_back(colour);
    }
    SetSysColors(static_cast<int>(elements.size()), elements.data(), colours.data());
    request.coloursDone = std::all_of(gSavedColours.begin(), gSavedColours.end(),
                                      [](const auto& colour) { return GetSysColor(colour.first) == colour.second; });
    gSavedColours.clear();
  }
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK ProbeHook(int code, WPARAM wParam, LPARAM lParam) {
  static const UINT fontMessage = RegisterWindowMessageW(qel_probe::kFontMessage);
  static const UINT tipMessage = RegisterWindowMessageW(qel_probe::kTipMessage);
  static const UINT environmentMessage = RegisterWindowMessageW(qel_probe::kEnvironmentMessage);
  static const UINT dropMessage = RegisterWindowMessageW(qel_probe::kDropMessage);
  static const UINT tipShowsMessage = RegisterWindowMessageW(qel_probe::kTipShowsMessage);
  static const UINT themeMessage = RegisterWindowMessageW(qel_probe::kThemeMessage);
  const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
  if (code == HC_ACTION) CountTipShows(*call);
  if (code == HC_ACTION && (call->message == fontMessage || call->message == tipMessage ||
                            call->message == environmentMessage || call->message == dropMessage ||
                            call->message == tipShowsMessage || call->message == themeMessage)) {
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
        } else if (call->message == tipShowsMessage) {
          if (id == 1) {
            gCounting = true;
            gShows = gHides = 0;
          }
          exchange->shows.shows = gShows;
          exchange->shows.hides = gHides;
          exchange->shows.answered = 1;
        } else if (call->message == themeMessage) {
          ChangeTheme(exchange->theme);
          exchange->theme.answered = 1;
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
