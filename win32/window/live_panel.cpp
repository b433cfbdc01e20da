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

namespace {

LogEntry SwitchEntry(const LibraryCall& call, const std::wstring& result) {
  return {call.address, std::to_wstring(call.outlet + 1), call.on ? L"on" : L"off", result};
}

}  // namespace

LivePanel::LivePanel(SwitchLibrary& library)
    : library_(library), thread_(library), log_(library.platform(), LogMode::kWindow, [this](const std::wstring& why) {
        // Once while the window is open (the log tells only its first failure).
        MessageBoxW(window_, why.c_str(), texts::kMessageTitle, MB_OK | MB_ICONWARNING);
      }) {}

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
  focusTip_.Create(window_, instance, [this](int outlet) {
    const std::wstring& tip = rows_[static_cast<std::size_t>(outlet)].tip;
    return tip.empty() ? tip : texts::FocusTipText(outlet, tip);
  });
  accessible_.Attach(window_, [this](int id) { return MoreAbout(id); });
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
  pendingSwitchLogged_ = false;
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
    const std::wstring reason = texts::CannotSwitchNoAnswer(pace_.PendingFor(now) / 1000);
    log_.Write(SwitchEntry(*queued_, LogResult(log_result::kNoAnswer, reason)));
    queued_.reset();
    ShowRows();
    MessageBoxW(window_, reason.c_str(), texts::kMessageTitle, MB_OK | MB_ICONWARNING);
    return;
  }
  if (pendingSwitch_ && !pendingSwitchLogged_ && pace_.PastLimit(now)) {
    // The outlet's state is unknown: no answer by the limit.
    pendingSwitchLogged_ = true;
    log_.Write({ControlText(window_, kIdAddress), L"", L"", LogResult(log_result::kNoAnswer, texts::NoAnswer(pace_.PendingFor(now) / 1000))});
  }
  if (pace_.PollDue(now)) Ask(std::make_unique<LibraryCall>());
  ShowRows();
}

void LivePanel::TakeAnswer(LPARAM answer) {
  const std::unique_ptr<LibraryCall> call = LibraryThread::TakeAnswer(answer);
  const bool first = !pace_.PollAnswered();
  pace_.Answered(GetTickCount());
  if (call->kind == LibraryCall::Kind::kPoll) {
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
  log_.Write(SwitchEntry(*call, call->unexpected ? LogResult(log_result::kFailed, texts::Stopped(*call->unexpected))
                                : call->failure    ? LogResult(log_result::kFailed,
                                                               texts::CannotSwitch(*call->failure, call->loadFailure))
                                                   : log_result::kDone));
  if (call->unexpected) {
    PostMessageW(window_, kMsgCallbackStopped, static_cast<WPARAM>(*call->unexpected),
                 static_cast<LPARAM>(StoppedIn::kMessage));
  } else if (call->failure) {
    MessageBoxW(window_, texts::CannotSwitch(*call->failure, call->loadFailure).c_str(), texts::kMessageTitle,
                MB_OK | MB_ICONWARNING);
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
      look.tip = pace_.PollAnswered() ? look.tip + texts::StillAwaited(pendingSeconds) : texts::AwaitingFirstAnswer(pendingSeconds);
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
  // Only a label whose colours or frame changed is painted again, and only
  // then is a screen reader told: the tooltip's seconds of waiting change
  // every second, the outlet's state does not.
  if (repaint) {
    InvalidateRect(label, nullptr, TRUE);
    AccessibleNames::StateChanged(window_, outlet);
  }
  if (newTip) focusTip_.TextChanged(outlet);
}

std::wstring LivePanel::MoreAbout(int id) const {
  const auto tipOf = [this](int outlet) -> const std::wstring& { return rows_[static_cast<std::size_t>(outlet)].tip; };
  if (id >= kIdOutletLabel && id < kIdOutletLabel + kOutletCount) return tipOf(id - kIdOutletLabel);
  int outlet = -1;
  if (id >= kIdOn && id < kIdOn + kOutletCount) outlet = id - kIdOn;
  if (id >= kIdOff && id < kIdOff + kOutletCount) outlet = id - kIdOff;
  if (outlet < 0 || tipOf(outlet).empty()) return L"";
  return texts::FocusTipText(outlet, tipOf(outlet));
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
  if (message != WM_PAINT && message != WM_PRINTCLIENT) return DefSubclassProc(label, message, wParam, lParam);
  // The label is painted here whole: its colours, its caption inside the
  // frame, its frame.
  const auto* panel = reinterpret_cast<const LivePanel*>(self);
  PAINTSTRUCT paint = {};
  HDC dc = wParam != 0 ? reinterpret_cast<HDC>(wParam) : BeginPaint(label, &paint);
  StopAtEdge(panel->window_, StoppedIn::kMessage, 0, [&] {
    panel->PaintOutletLabel(label, dc, static_cast<int>(outlet));
    return 0;
  });
  if (wParam == 0) EndPaint(label, &paint);
  return 0;
}

void LivePanel::PaintOutletLabel(HWND label, HDC dc, int outlet) const {
  const RowLook& look = rows_[static_cast<std::size_t>(outlet)];
  RECT area = {};
  GetClientRect(label, &area);
  const auto background = reinterpret_cast<HBRUSH>(LabelColours(dc, label));
  FillRect(dc, &area, background);
  // Centred at the top, as the label control draws it.
  RECT text = area;
  const int length = GetWindowTextLengthW(label);
  std::wstring caption(static_cast<std::size_t>(length) + 1, L'\0');
  caption.resize(static_cast<std::size_t>(GetWindowTextW(label, caption.data(), length + 1)));
  const HGDIOBJ oldFont = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0)));
  SetBkMode(dc, TRANSPARENT);
  DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &text,
            DT_CENTER | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(dc, oldFont);
  if (look.unknown || look.lit) DrawStateFrame(dc, area, look.unknown ? FrameLine::kDashed : FrameLine::kSolid);
}

int LivePanel::FrameUnit() const { return std::max(1, WindowDpi(window_, ScreenDpi()) / 96); }

void LivePanel::DrawStateFrame(HDC dc, const RECT& frame, FrameLine line) const {
  // Along all four edges, in the text's colour. Unknown: dashes of two units
  // and gaps of two, one unit wide. Lit: a solid line two units wide. A unit
  // is a pixel at 96 dpi.
  const int unit = FrameUnit();
  if (line == FrameLine::kSolid) {
    const int width = 2 * unit;
    const RECT edges[] = {{frame.left, frame.top, frame.right, frame.top + width},
                          {frame.left, frame.bottom - width, frame.right, frame.bottom},
                          {frame.left, frame.top, frame.left + width, frame.bottom},
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
    const int end = std::min(y + 2 * unit, static_cast<int>(frame.bottom));
    const RECT left = {frame.left, y, frame.left + unit, end};
    const RECT right = {frame.right - unit, y, frame.right, end};
    FillRect(dc, &left, brush);
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
  call->outlet = outlet;
  if (mask.value == 0) {
    // Names no outlet: refused here, before anything is sent.
    const std::wstring reason = texts::CannotSwitch(ErrorKind::kMaskZero);
    log_.Write(SwitchEntry(*call, LogResult(log_result::kFailed, reason)));
    MessageBoxW(window_, reason.c_str(), texts::kMessageTitle, MB_OK | MB_ICONWARNING);
    return;
  }
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
  const std::wstring commandLine = ControlText(window_, kIdCommandLine + command);
  if (const std::optional<SystemError> failure = library_.platform().StartCommandLine(commandLine)) {
    const std::wstring text = texts::CannotLaunch(texts::CommandName(command), commandLine, *failure);
    log_.Write({L"", texts::CommandName(command), commandLine, LogResult(log_result::kFailed, text)});
    MessageBoxW(window_, text.c_str(), texts::kMessageTitle, MB_OK | MB_ICONWARNING);
  } else {
    log_.Write({L"", texts::CommandName(command), commandLine, log_result::kStarted});
  }
}

}  // namespace qel
