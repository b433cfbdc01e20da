#include "win32/window/live_panel.h"

#include <commctrl.h>

#include <algorithm>

#include "core/numbers.h"
#include "core/outlets.h"
#include "core/settings.h"
#include "core/window_texts.h"
#include "win32/window/callback_edge.h"
#include "win32/window/controls.h"
#include "win32/window/dpi.h"

namespace qel {

LivePanel::~LivePanel() {
  if (window_ == nullptr || !IsWindow(window_)) return;
  for (int outlet = 0; outlet < kOutletCount; ++outlet) {
    RemoveWindowSubclass(GetDlgItem(window_, kIdOutletLabel + outlet), &LivePanel::OutletLabelProc,
                         static_cast<UINT_PTR>(outlet));
  }
}

void LivePanel::Attach(HWND window) {
  window_ = window;
  litBrush_.Reset(CreateSolidBrush(kLitColour));
  litFrameBrush_.Reset(CreateSolidBrush(kLitTextColour));
  for (RowLook& row : answered_) row = {false, true, texts::AwaitingFirstAnswer(0)};
  rows_ = answered_;
  // The frames from the first paint on: no label shows a state without its
  // frame, whatever comes first.
  for (int outlet = 0; outlet < kOutletCount; ++outlet) {
    SetWindowSubclass(GetDlgItem(window_, kIdOutletLabel + outlet), &LivePanel::OutletLabelProc,
                      static_cast<UINT_PTR>(outlet), reinterpret_cast<DWORD_PTR>(this));
  }
  thread_.Start(window_);  // without it, the calls are made here (LibraryThread::Ask)
}

void LivePanel::FinishSetUp(HINSTANCE instance) {
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);
  labelTips_ = CreateTooltips(window_, instance);
  focusTip_.Create(window_, instance,
                   [this](int outlet) -> const std::wstring& { return rows_[static_cast<std::size_t>(outlet)].tip; });
  for (int outlet = 0; outlet < kOutletCount; ++outlet) {
    const std::wstring& tip = rows_[static_cast<std::size_t>(outlet)].tip;
    HWND label = GetDlgItem(window_, kIdOutletLabel + outlet);
    TTTOOLINFOW tool = {};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = window_;
    tool.uId = reinterpret_cast<UINT_PTR>(label);
    // What the labels show already.
    tool.lpszText = const_cast<wchar_t*>(tip.c_str());
    SendMessageW(labelTips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));

    focusTip_.Watch(GetDlgItem(window_, kIdOn + outlet), outlet);
    focusTip_.Watch(GetDlgItem(window_, kIdOff + outlet), outlet);
  }
}

void LivePanel::Ask(std::unique_ptr<LibraryCall> call) {
  pace_.Asked(GetTickCount(), call->kind == LibraryCall::Kind::kPoll);
  pendingSwitch_ = call->kind == LibraryCall::Kind::kSwitch;
  thread_.Ask(std::move(call));
}

void LivePanel::Select(const std::wstring& address) {
  auto call = std::make_unique<LibraryCall>();
  call->kind = LibraryCall::Kind::kSelect;
  call->address = address;
  Ask(std::move(call));
}

void LivePanel::PollIfDue() {
  const DWORD now = GetTickCount();
  if (queued_ && pace_.PastLimit(now)) {
    // The ON or OFF that waited is not carried out long after it was
    // pressed, whenever the switch may answer.
    queued_.reset();
    ShowRows();
    MessageBoxW(window_, texts::CannotSwitchNoAnswer(pace_.PendingFor(now) / 1000).c_str(), texts::kMessageTitle,
                MB_OK | MB_ICONWARNING);
    return;
  }
  if (pace_.PollDue(now)) Ask(std::make_unique<LibraryCall>());
  ShowRows();
}

void LivePanel::TakeAnswer(LPARAM answer) {
  const std::unique_ptr<LibraryCall> call = LibraryThread::TakeAnswer(answer);
  pace_.Answered(GetTickCount());
  if (call->kind == LibraryCall::Kind::kPoll) {
    const bool first = !polled_;
    polled_ = true;
    ShowPoll(*call);
    // The first state painted now, not after whatever else is waiting.
    if (first) {
      ShowRows();
      RedrawWindow(window_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    }
  }
  // The next call before anything is said: a message box lets the window's
  // events, the timer's among them, run meanwhile.
  if (queued_) {
    Ask(std::move(queued_));
  } else if (pace_.PollDue(GetTickCount())) {
    Ask(std::make_unique<LibraryCall>());
  }
  ShowRows();
  if (call->kind != LibraryCall::Kind::kSwitch) return;
  if (call->unexpected) {
    PostMessageW(window_, kMsgCallbackStopped, static_cast<WPARAM>(*call->unexpected),
                 static_cast<LPARAM>(StoppedIn::kMessage));
  } else if (call->failure) {
    MessageBoxW(window_, texts::CannotSwitch(*call->failure).c_str(), texts::kMessageTitle, MB_OK | MB_ICONWARNING);
  }
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

void LivePanel::ShowPoll(const LibraryCall& poll) {
  if (poll.unexpected) {
    ShowUnknownFrom(0, texts::StatusStopped(*poll.unexpected));
    return;
  }
  if (poll.failure == ErrorKind::kNoAddress) {
    // No switch is named: none was asked. No label keeps a light of a
    // switch it showed before.
    ShowUnknownFrom(0, texts::StatusUnknown(*poll.failure));
    return;
  }
  const std::wstring note = texts::SavedAddressNote(poll.savedAddress);
  if (poll.failure) {
    ShowUnknownFrom(0, texts::StatusUnknown(*poll.failure) + note);
    return;
  }
  // The rows in order; a bad mask ends the answer with the rows before it
  // recoloured already. No message: the next poll tries again.
  for (int outlet = 0; outlet < kOutletCount; ++outlet) {
    const Reading<std::int32_t> mask = ReadMask(outlet, &ToInt32);
    if (mask.failure) {
      ShowUnknownFrom(outlet, texts::MaskUnknown(*mask.failure, outlet) + note);
      return;
    }
    const bool on = (mask.value & static_cast<std::int32_t>(poll.word)) != 0;
    answered_[static_cast<std::size_t>(outlet)] = {on, false, texts::StateWord(on) + note};
  }
}

void LivePanel::ShowUnknownFrom(int first, const std::wstring& tip) {
  for (int outlet = first; outlet < kOutletCount; ++outlet) {
    answered_[static_cast<std::size_t>(outlet)] = {false, true, tip};
  }
  ShowRows();
}

void LivePanel::ShowRows() {
  const DWORD now = GetTickCount();
  const unsigned pendingSeconds = pace_.PendingFor(now) / 1000;
  for (int outlet = 0; outlet < kOutletCount; ++outlet) {
    RowLook look = answered_[static_cast<std::size_t>(outlet)];
    if (pace_.PastLimit(now)) {
      // No state is known while the switch does not answer.
      look = {false, true, texts::NoAnswer(pendingSeconds)};
    } else if (pace_.Pending() && pace_.PendingFor(now) >= kSayWaitingAfter) {
      look.tip = polled_ ? look.tip + texts::StillAwaited(pendingSeconds) : texts::AwaitingFirstAnswer(pendingSeconds);
    } else if (!pace_.Pending() && pace_.Wait() > kPollMilliseconds) {
      // Rounded up: "in 0 seconds" is never said while the poll waits.
      const unsigned nextIn = (pace_.NextPollIn(now) + 999) / 1000;
      if (nextIn > 0) look.tip += texts::NextTryIn(nextIn);
    }
    ShowRow(outlet, look);
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
  const bool newTip = shown.tip != look.tip;
  shown = look;
  // Only a label whose colours or frame changed is painted again.
  if (repaint) InvalidateRect(label, nullptr, TRUE);
  if (newTip) focusTip_.TextChanged(outlet);
}

LRESULT LivePanel::LabelColours(HDC dc, HWND label) const {
  const int id = GetDlgCtrlID(label);
  const bool outletLabel = id >= kIdOutletLabel && id < kIdOutletLabel + kOutletCount;
  const RowLook& look = rows_[static_cast<std::size_t>(outletLabel ? id - kIdOutletLabel : 0)];
  // Only an outlet known to be on is lit: the lit colour says "on".
  const bool lit = outletLabel && look.lit && !look.unknown;
  SetBkColor(dc, lit ? kLitColour : GetSysColor(COLOR_BTNFACE));
  // The lit colour is fixed, so is its text; otherwise the system's pair,
  // which follows a high-contrast scheme.
  SetTextColor(dc, lit ? kLitTextColour : GetSysColor(COLOR_BTNTEXT));
  return reinterpret_cast<LRESULT>(lit ? litBrush_.get() : GetSysColorBrush(COLOR_BTNFACE));
}

LRESULT CALLBACK LivePanel::OutletLabelProc(HWND label, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR outlet,
                                            DWORD_PTR self) {
  if (message == WM_NCDESTROY) RemoveWindowSubclass(label, &LivePanel::OutletLabelProc, outlet);
  const LRESULT result = DefSubclassProc(label, message, wParam, lParam);
  const auto* panel = reinterpret_cast<const LivePanel*>(self);
  const RowLook& look = panel->rows_[static_cast<std::size_t>(outlet)];
  if (message == WM_PAINT && (look.unknown || look.lit)) {
    // Over what the label painted: in the DC it was handed, else its own.
    HDC dc = wParam != 0 ? reinterpret_cast<HDC>(wParam) : GetDC(label);
    StopAtEdge(panel->window_, StoppedIn::kMessage, 0, [&] {
      panel->DrawStateFrame(label, dc, look.unknown ? FrameLine::kDashed : FrameLine::kSolid);
      return 0;
    });
    if (wParam == 0) ReleaseDC(label, dc);
  }
  return result;
}

void LivePanel::DrawStateFrame(HWND label, HDC dc, FrameLine line) const {
  RECT own = {};
  GetWindowRect(label, &own);
  // The outlet labels above and below overlap this one by a row or two, which
  // whichever is painted last covers: the frame stays off those rows.
  RECT frame = own;
  for (int outlet = 0; outlet < kOutletCount; ++outlet) {
    HWND other = GetDlgItem(window_, kIdOutletLabel + outlet);
    RECT theirs = {}, common = {};
    if (other == label || !GetWindowRect(other, &theirs) || !IntersectRect(&common, &own, &theirs)) continue;
    if (theirs.top > own.top) {
      frame.bottom = std::min(frame.bottom, theirs.top);
    } else {
      frame.top = std::max(frame.top, theirs.bottom);
    }
  }
  OffsetRect(&frame, -own.left, -own.top);
  // Along the top, the right and the bottom edge, in the text's colour; none
  // on the left, where the caption begins right at the edge. Unknown: dashes
  // of two units and gaps of two, one unit wide. Lit: a solid line two units
  // wide. A unit is a pixel at 96 dpi.
  const int unit = std::max(1, WindowDpi(window_, ScreenDpi()) / 96);
  if (line == FrameLine::kSolid) {
    const int width = 2 * unit;
    const RECT edges[] = {{frame.left, frame.top, frame.right, frame.top + width},
                          {frame.left, frame.bottom - width, frame.right, frame.bottom},
                          {frame.right - width, frame.top, frame.right, frame.bottom}};
    for (const RECT& edge : edges) FillRect(dc, &edge, litFrameBrush_.get());
    return;
  }
  const HBRUSH brush = GetSysColorBrush(COLOR_BTNTEXT);
  for (int x = frame.left; x < frame.right; x += 4 * unit) {
    const int end = std::min(x + 2 * unit, static_cast<int>(frame.right));
    const RECT top = {x, frame.top, end, frame.top + unit};
    const RECT bottom = {x, frame.bottom - unit, end, frame.bottom};
    FillRect(dc, &top, brush);
    FillRect(dc, &bottom, brush);
  }
  for (int y = frame.top; y < frame.bottom; y += 4 * unit) {
    const RECT right = {frame.right - unit, y, frame.right, std::min(y + 2 * unit, static_cast<int>(frame.bottom))};
    FillRect(dc, &right, brush);
  }
}

void LivePanel::SwitchFromScreen(int outlet, bool on) {
  const Reading<std::int16_t> mask = ReadMask(outlet, &ToInt16);
  if (mask.failure) {
    MessageBoxW(window_, texts::MaskCannotSwitch(*mask.failure).c_str(), texts::kMessageTitle, MB_OK | MB_ICONWARNING);
    return;
  }
  // The address and mask on screen, saved or not.
  auto call = std::make_unique<LibraryCall>();
  call->kind = LibraryCall::Kind::kSwitch;
  call->address = ControlText(window_, kIdAddress);
  call->mask = mask.value;
  call->on = on;
  if (!pace_.Pending()) {
    Ask(std::move(call));
    ShowRows();
  } else if (!pendingSwitch_ && !queued_) {
    // Right after the pending poll (or the first selection): the user
    // pressed it, not the poll.
    queued_ = std::move(call);
  } else {
    MessageBoxW(window_, texts::kSwitchBusy, texts::kMessageTitle, MB_OK | MB_ICONWARNING);
  }
}

void LivePanel::Launch(int command) {
  if (!library_.platform().StartCommandLine(ControlText(window_, kIdCommandLine + command))) {
    MessageBoxW(window_, texts::kCannotLaunch, texts::kMessageTitle, MB_OK);
  }
}

}  // namespace qel
