#include "win32/window/controls.h"

#include <commctrl.h>

#include "win32/window/layout.h"

namespace qel {
namespace {

RECT PlaceAt(const ControlSpec& layout, int dpi) {
  return {TwipsToPixels(layout.left, dpi), TwipsToPixels(layout.top, dpi),
          TwipsToPixels(layout.left + layout.width, dpi), TwipsToPixels(layout.top + layout.height, dpi)};
}

HFONT FontOf(const ControlSpec& layout, HFONT gothicFont, HFONT messageFont) {
  return layout.gothicFont ? gothicFont : messageFont;
}

}  // namespace

void CreateLayoutControls(HWND window, HINSTANCE instance, int dpi, HFONT gothicFont, HFONT messageFont) {
  for (const ControlSpec& layout : kLayout) {
    const wchar_t* windowClass = L"Static";
    DWORD style = WS_CHILD | WS_VISIBLE;
    DWORD exStyle = 0;
    switch (layout.kind) {
      case ControlKind::kTextField:
        windowClass = L"Edit";
        style |= WS_TABSTOP | ES_AUTOHSCROLL | ES_LEFT;
        exStyle = WS_EX_CLIENTEDGE;
        break;
      case ControlKind::kButton:
        windowClass = L"Button";
        style |= WS_TABSTOP | BS_PUSHBUTTON;
        break;
      case ControlKind::kLabel:
        // Centred: the caption keeps clear of the window's edge and of an
        // outlet label's frame. SS_NOTIFY: for the labels' tooltips.
        style |= SS_CENTER | SS_NOPREFIX | SS_NOTIFY;
        break;
    }
    const RECT place = PlaceAt(layout, dpi);
    HWND control = CreateWindowExW(exStyle, windowClass, InitialText(layout).c_str(), style, place.left, place.top,
                                   place.right - place.left, place.bottom - place.top, window,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(layout.id)), instance, nullptr);
    if (layout.kind == ControlKind::kTextField) SendMessageW(control, EM_SETLIMITTEXT, 0, 0);  // no limit
    const HFONT font = FontOf(layout, gothicFont, messageFont);
    if (font != nullptr) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }
  // Each label that names a field just before that field in the z-order:
  // screen readers name a field after the label before it. The tab order
  // counts only the tab stops, whose order stays the table's.
  for (const ControlSpec& layout : kLayout) {
    const int fieldId = FieldNamedBy(layout.id);
    if (fieldId == 0) continue;
    HWND label = GetDlgItem(window, layout.id);
    HWND before = GetWindow(GetDlgItem(window, fieldId), GW_HWNDPREV);
    if (before == label) continue;
    SetWindowPos(label, before != nullptr ? before : HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
}

void PlaceLayoutControls(HWND window, int dpi, HFONT gothicFont, HFONT messageFont) {
  for (const ControlSpec& layout : kLayout) {
    HWND control = GetDlgItem(window, layout.id);
    if (control == nullptr) continue;
    const RECT place = PlaceAt(layout, dpi);
    // The font first: an edit field lays out its text for it when it is moved.
    // A null font gives the control the system font back.
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(FontOf(layout, gothicFont, messageFont)), TRUE);
    MoveWindow(control, place.left, place.top, place.right - place.left, place.bottom - place.top, TRUE);
  }
}

std::wstring ControlText(HWND window, int id) {
  HWND control = GetDlgItem(window, id);
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
  return text;
}

void SetControlText(HWND window, int id, const std::wstring& text) {
  SetWindowTextW(GetDlgItem(window, id), text.c_str());
}

HWND CreateTooltips(HWND window, HINSTANCE instance) {
  return CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                         CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window, nullptr, instance, nullptr);
}

}  // namespace qel
