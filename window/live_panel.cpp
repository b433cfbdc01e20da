// The window's live behaviour: the 500 ms status poll colouring the outlet
// labels, the ON and OFF buttons, and the launch buttons.
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "outlets/outlets.h"
#include "platform/numbers.h"
#include "settings/settings.h"
#include "window/control_ids.h"
#include "window/main_window.h"

namespace qel {
namespace {

// Why the poll could not establish a row's state, in the window's language.
const wchar_t* StatusFailure(ErrorKind kind) {
  switch (kind) {
    case ErrorKind::kLibraryNotFound: return L"状態不明: socket.dll を読み込めず";
    case ErrorKind::kFunctionNotFound: return L"状態不明: socket.dll に関数がない";
    case ErrorKind::kOverflow: return L"状態不明: 状態の値が範囲外";
    default: return L"状態不明: 状態を読めず";
  }
}

// Names the row whose mask failed: the rows after it are unknown because
// the poll stopped there.
std::wstring MaskFailure(ErrorKind kind, int row) {
  return L"状態不明: Sw" + std::to_wstring(row + 1) +
         (kind == ErrorKind::kOverflow ? L" のマスクが範囲外" : L" のマスクが数値でない");
}

// What went wrong when ON or OFF could not switch.
const wchar_t* SwitchFailure(ErrorKind kind, bool inMask) {
  if (inMask) return kind == ErrorKind::kOverflow ? L"切替できず: マスクが範囲外" : L"切替できず: マスクが数値でない";
  switch (kind) {
    case ErrorKind::kLibraryNotFound: return L"切替できず: socket.dll を読み込めず";
    case ErrorKind::kFunctionNotFound: return L"切替できず: socket.dll に関数がない";
    case ErrorKind::kOverflow: return L"切替できず: スイッチの値が範囲外";
    default: return L"切替できず";
  }
}

}  // namespace

void MainWindow::CreateLabelTips(HINSTANCE instance) {
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);
  labelTips_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr, instance,
                               nullptr);
  for (int row = 0; row < 4; ++row) {
    TTTOOLINFOW tool = {};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = hwnd_;
    tool.uId = reinterpret_cast<UINT_PTR>(Control(kIdLabel1 + row));
    tool.lpszText = const_cast<wchar_t*>(L"");
    SendMessageW(labelTips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  }
}

void MainWindow::ShowRow(int row, const RowState& state) {
  RowState& shown = rows_[static_cast<std::size_t>(row)];
  if (shown.lit == state.lit && shown.unknown == state.unknown && shown.reason == state.reason) return;
  if (shown.reason != state.reason && labelTips_ != nullptr) {
    TTTOOLINFOW tool = {};
    tool.cbSize = sizeof(tool);
    tool.hwnd = hwnd_;
    tool.uId = reinterpret_cast<UINT_PTR>(Control(kIdLabel1 + row));
    tool.lpszText = const_cast<wchar_t*>(state.reason.c_str());
    SendMessageW(labelTips_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
  }
  shown = state;
  // Only a label whose look changed is painted again.
  InvalidateRect(Control(kIdLabel1 + row), nullptr, TRUE);
}

LRESULT MainWindow::LabelColours(HDC dc, HWND label) {
  const int id = GetDlgCtrlID(label);
  const bool outletRow = id >= kIdLabel1 && id < kIdLabel1 + 4;
  const RowState& state = rows_[static_cast<std::size_t>(outletRow ? id - kIdLabel1 : 0)];
  const bool lit = outletRow && state.lit;
  SetBkColor(dc, lit ? kLitColour : GetSysColor(COLOR_BTNFACE));
  // A row whose state the last poll could not establish shows greyed text;
  // its background keeps the colour it had.
  SetTextColor(dc, GetSysColor(outletRow && state.unknown ? COLOR_GRAYTEXT : COLOR_BTNTEXT));
  return reinterpret_cast<LRESULT>(lit ? litBrush_ : GetSysColorBrush(COLOR_BTNFACE));
}

void MainWindow::GetIpDlg() {
  Platform& platform = library_.platform();
  int row = 0;
  std::wstring reason;
  try {
    const std::int16_t status = ReadStatus(library_, GetIni(platform, L"IP"));
    for (; row < 4; ++row) {
      std::int32_t mask;
      try {
        mask = ToInt32(RoundDown(StrictNumber(Text(kIdTextSw + row), platform.Separators())));
      } catch (const RuntimeError& e) {
        reason = MaskFailure(e.kind(), row);
        throw;
      }
      ShowRow(row, {(mask & static_cast<std::int32_t>(status)) != 0, false, L""});
    }
  } catch (const RuntimeError& e) {
    // The rows before the failure are recoloured already; this row and the
    // ones after it keep their colour and are marked as unknown until a
    // poll succeeds. No message: the next tick tries again.
    if (reason.empty()) reason = StatusFailure(e.kind());
    for (int r = row; r < 4; ++r) {
      ShowRow(r, {rows_[static_cast<std::size_t>(r)].lit, true, reason});
    }
  }
}

void MainWindow::SwitchRow(int row, bool on) {
  Platform& platform = library_.platform();
  bool inMask = true;
  try {
    const std::int16_t mask = ToInt16(RoundDown(StrictNumber(Text(kIdTextSw + row), platform.Separators())));
    inMask = false;
    // The address and mask on screen, saved or not.
    SwitchSub(library_, Text(kIdText1), mask, on ? 1 : 0);
  } catch (const RuntimeError& e) {
    MessageBoxW(hwnd_, SwitchFailure(e.kind(), inMask), L"qel", MB_OK | MB_ICONWARNING);
  }
}

void MainWindow::Launch(int index) {
  if (!library_.platform().StartCommandLine(Text(kIdTextCmd + index))) {
    MessageBoxW(hwnd_, L"起動できず", L"qel", MB_OK);
  }
}

}  // namespace qel
