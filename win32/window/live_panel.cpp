#include "win32/window/live_panel.h"

#include <commctrl.h>

#include "core/numbers.h"
#include "core/outlets.h"
#include "core/settings.h"
#include "win32/window/controls.h"

namespace qel {
namespace {

// Why the poll could not read the status word, in the window's language.
std::wstring StatusFailure(ErrorKind kind) {
  switch (kind) {
    case ErrorKind::kLibraryNotFound: return L"状態不明: socket.dll を読み込めず";
    case ErrorKind::kFunctionNotFound: return L"状態不明: socket.dll に関数がない";
    case ErrorKind::kOverflow: return L"状態不明: 状態の値が範囲外";
    case ErrorKind::kNotInCodePage: return L"状態不明: ip.ini の場所をこのシステムの文字コードで表せない";
    default: return L"状態不明: 状態を読めず";
  }
}

// Names the outlet whose mask failed: the rows after it are unknown because
// the poll stopped there.
std::wstring MaskFailure(ErrorKind kind, int outlet) {
  return L"状態不明: Sw" + std::to_wstring(outlet + 1) +
         (kind == ErrorKind::kOverflow ? L" のマスクが範囲外" : L" のマスクが数値でない");
}

// The outlet's state in words: the lit colour alone tells little to a
// colour-blind user.
const wchar_t* StateWord(bool on) { return on ? L"オン" : L"オフ"; }

// Which switch the labels show: the one at the address saved in ip.ini,
// while ON and OFF act on the address on screen. Named in every tip, so a
// user who typed a new address sees why the labels have not followed.
// Nothing when the address itself could not be read.
std::wstring SavedAddressNote(const std::optional<std::wstring>& address) {
  if (!address) return L"";
  if (address->empty()) return L" (保存済みの IP なし)";
  return L" (保存済みの IP " + *address + L" の状態)";
}

// What went wrong when ON or OFF could not switch.
const wchar_t* MaskSwitchFailure(ErrorKind kind) {
  return kind == ErrorKind::kOverflow ? L"切替できず: マスクが範囲外" : L"切替できず: マスクが数値でない";
}
const wchar_t* SwitchFailure(ErrorKind kind) {
  switch (kind) {
    case ErrorKind::kLibraryNotFound: return L"切替できず: socket.dll を読み込めず";
    case ErrorKind::kFunctionNotFound: return L"切替できず: socket.dll に関数がない";
    case ErrorKind::kOverflow: return L"切替できず: スイッチの値が範囲外";
    case ErrorKind::kNotInCodePage: return L"切替できず: アドレスにこのシステムの文字コードで表せない文字がある";
    default: return L"切替できず";
  }
}

}  // namespace

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
    address = ReadSetting(library_.platform(), L"IP");
    status.value = ReadStatus(library_, *address);
  });
  return status;
}

template <typename Int>
LivePanel::Reading<Int> LivePanel::ReadMask(int outlet, Int (*narrow)(double)) const {
  Reading<Int> mask;
  mask.failure = FailureOf([&] {
    const std::wstring text = ControlText(window_, kIdMask + outlet);
    mask.value = narrow(RoundDown(StrictNumber(text, library_.platform().Separators())));
  });
  return mask;
}

void LivePanel::PollStatus() {
  std::optional<std::wstring> address;
  const Reading<std::int16_t> status = ReadSavedSwitchStatus(address);
  const std::wstring note = SavedAddressNote(address);
  if (status.failure) {
    ShowUnknownFrom(0, StatusFailure(*status.failure) + note);
    return;
  }
  // The rows in order; a bad mask ends the tick with the rows before it
  // recoloured already. No message: the next tick tries again.
  for (int outlet = 0; outlet < kOutletCount; ++outlet) {
    const Reading<std::int32_t> mask = ReadMask(outlet, &ToInt32);
    if (mask.failure) {
      ShowUnknownFrom(outlet, MaskFailure(*mask.failure, outlet) + note);
      return;
    }
    const bool on = (mask.value & static_cast<std::int32_t>(status.value)) != 0;
    ShowRow(outlet, {on, false, StateWord(on) + note});
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
    MessageBoxW(window_, MaskSwitchFailure(*mask.failure), L"qel", MB_OK | MB_ICONWARNING);
    return;
  }
  // The address and mask on screen, saved or not.
  const std::optional<ErrorKind> failure =
      FailureOf([&] { SwitchByMask(library_, ControlText(window_, kIdAddress), mask.value, on ? 1 : 0); });
  if (failure) MessageBoxW(window_, SwitchFailure(*failure), L"qel", MB_OK | MB_ICONWARNING);
}

void LivePanel::Launch(int command) {
  if (!library_.platform().StartCommandLine(ControlText(window_, kIdCommandLine + command))) {
    MessageBoxW(window_, L"起動できず", L"qel", MB_OK);
  }
}

}  // namespace qel
