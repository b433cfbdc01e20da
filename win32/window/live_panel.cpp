#include "win32/window/live_panel.h"

#include <commctrl.h>

#include "core/numbers.h"
#include "core/outlets.h"
#include "core/settings.h"
#include "core/window_texts.h"
#include "win32/window/controls.h"

namespace qel {

void LivePanel::Attach(HWND window) {
  window_ = window;
  litBrush_.Reset(CreateSolidBrush(kLitColour));
}

void LivePanel::CreateLabelTips(HINSTANCE instance) {
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);
  labelTips_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr, instance,
                               nullptr);
  for (int outlet = 0; outlet < kOutletCount; ++outlet) {
    TTTOOLINFOW tool = {};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = window_;
    tool.uId = reinterpret_cast<UINT_PTR>(GetDlgItem(window_, kIdOutletLabel + outlet));
    // What a poll before this showed already.
    tool.lpszText = const_cast<wchar_t*>(rows_[static_cast<std::size_t>(outlet)].tip.c_str());
    SendMessageW(labelTips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  }
}

LivePanel::Reading<std::int16_t> LivePanel::ReadSavedSwitchStatus(std::optional<std::wstring>& address) {
  Reading<std::int16_t> status;
  status.failure = FailureOf([&] {
    address = ReadSetting(library_.platform(), kAddressKey);
    if (!address->empty()) status.value = ReadStatus(library_, *address);
  });
  return status;
}

template <typename Int>
LivePanel::Reading<Int> LivePanel::ReadMask(int outlet, Int (*narrow)(double)) const {
  Reading<Int> mask;
  mask.failure = FailureOf([&] {
    const std::wstring text = ControlText(window_, kIdMask + outlet);
    mask.value = narrow(RoundDown(StrictNumber(library_.platform(), text)));
  });
  return mask;
}

void LivePanel::PollStatus() {
  std::optional<std::wstring> address;
  const Reading<std::int16_t> status = ReadSavedSwitchStatus(address);
  if (address && address->empty()) {
    // No switch is named: the library would answer for whatever it selects
    // for the empty address. No label keeps a light of a switch it showed
    // before.
    for (int outlet = 0; outlet < kOutletCount; ++outlet) ShowRow(outlet, {false, true, texts::kNoSavedAddress});
    return;
  }
  const std::wstring note = texts::SavedAddressNote(address);
  if (status.failure) {
    ShowUnknownFrom(0, texts::StatusUnknown(*status.failure) + note);
    return;
  }
  // The rows in order; a bad mask ends the tick with the rows before it
  // recoloured already. No message: the next tick tries again.
  for (int outlet = 0; outlet < kOutletCount; ++outlet) {
    const Reading<std::int32_t> mask = ReadMask(outlet, &ToInt32);
    if (mask.failure) {
      ShowUnknownFrom(outlet, texts::MaskUnknown(*mask.failure, outlet) + note);
      return;
    }
    const bool on = (mask.value & static_cast<std::int32_t>(status.value)) != 0;
    ShowRow(outlet, {on, false, texts::StateWord(on) + note});
  }
}

void LivePanel::ShowUnknownFrom(int first, const std::wstring& tip) {
  for (int outlet = first; outlet < kOutletCount; ++outlet) {
    ShowRow(outlet, {rows_[static_cast<std::size_t>(outlet)].lit, true, tip});
  }
}

void LivePanel::ShowRow(int outlet, const RowLook& look) {
  RowLook& shown = rows_[static_cast<std::size_t>(outlet)];
  if (shown == look) return;
  HWND label = GetDlgItem(window_, kIdOutletLabel + outlet);
  if (shown.tip != look.tip && labelTips_ != nullptr) {
    TTTOOLINFOW tool = {};
    tool.cbSize = sizeof(tool);
    tool.hwnd = window_;
    tool.uId = reinterpret_cast<UINT_PTR>(label);
    tool.lpszText = const_cast<wchar_t*>(look.tip.c_str());
    SendMessageW(labelTips_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
  }
  const bool repaint = shown.lit != look.lit || shown.unknown != look.unknown;
  shown = look;
  // Only a label whose colours changed is painted again.
  if (repaint) InvalidateRect(label, nullptr, TRUE);
}

LRESULT LivePanel::LabelColours(HDC dc, HWND label) const {
  const int id = GetDlgCtrlID(label);
  const bool outletLabel = id >= kIdOutletLabel && id < kIdOutletLabel + kOutletCount;
  const RowLook& look = rows_[static_cast<std::size_t>(outletLabel ? id - kIdOutletLabel : 0)];
  const bool lit = outletLabel && look.lit;
  SetBkColor(dc, lit ? kLitColour : GetSysColor(COLOR_BTNFACE));
  // An outlet whose state the last poll could not establish shows greyed
  // text; its background keeps the colour it had.
  SetTextColor(dc, GetSysColor(outletLabel && look.unknown ? COLOR_GRAYTEXT : COLOR_BTNTEXT));
  return reinterpret_cast<LRESULT>(lit ? litBrush_.get() : GetSysColorBrush(COLOR_BTNFACE));
}

void LivePanel::SwitchFromScreen(int outlet, bool on) {
  const Reading<std::int16_t> mask = ReadMask(outlet, &ToInt16);
  if (mask.failure) {
    MessageBoxW(window_, texts::MaskCannotSwitch(*mask.failure).c_str(), texts::kMessageTitle, MB_OK | MB_ICONWARNING);
    return;
  }
  // The address and mask on screen, saved or not.
  const std::optional<ErrorKind> failure =
      FailureOf([&] { SwitchByMask(library_, ControlText(window_, kIdAddress), mask.value, on ? 1 : 0); });
  if (failure) MessageBoxW(window_, texts::CannotSwitch(*failure).c_str(), texts::kMessageTitle, MB_OK | MB_ICONWARNING);
}

void LivePanel::Launch(int command) {
  if (!library_.platform().StartCommandLine(ControlText(window_, kIdCommandLine + command))) {
    MessageBoxW(window_, texts::kCannotLaunch, texts::kMessageTitle, MB_OK);
  }
}

}  // namespace qel
