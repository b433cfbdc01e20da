#include "win32/window/live_panel.h"

#include <commctrl.h>

#include "core/numbers.h"
#include "core/outlets.h"
#include "core/settings.h"
#include "core/window_texts.h"
#include "win32/window/callback_edge.h"
#include "win32/window/controls.h"

namespace qel {

namespace {

LogEntry SwitchEntry(const LibraryCall& call, const std::wstring& result) {
  const SwitchCall& what = std::get<SwitchCall>(call.what);
  return {what.address, DecimalText(what.outlet + 1), what.on ? L"on" : L"off", result};
}

}  // namespace

LivePanel::LivePanel(SwitchLibrary& library, LibraryThread::Notify notify)
    : library_(library),
      thread_(library, notify),
      log_(library.platform(), LogMode::kWindow, [this](const std::wstring& why) {
        // Once while the window is open (the log tells only its first failure).
        MessageBoxW(window_, why.c_str(), texts::kMessageTitle, MB_OK | MB_ICONWARNING);
      }) {}

void LivePanel::Attach(HWND window) {
  window_ = window;
  for (RowLook& row : answered_) row = {false, true, texts::AwaitingFirstAnswer(0)};
  rows_ = answered_;
  painter_.Attach(window_, [this](int outlet) {
    const RowLook& row = rows_[static_cast<std::size_t>(outlet)];
    return LabelState{row.lit, row.unknown};
  });
  // Without it, the calls are made here (LibraryThread::Ask).
  thread_.Start(window_);
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
  pace_.Asked(GetTickCount(), call->kind());
  switches_.Asked(*call);
  pendingSwitchLogged_ = false;
  thread_.Ask(std::move(call));
}

void LivePanel::Select(const std::wstring& address) {
  auto call = std::make_unique<LibraryCall>();
  call->what = SelectCall{address};
  Ask(std::move(call));
}

void LivePanel::AskPoll() {
  // ip.ini is the window's: the thread is given the address, not the file.
  PollCall poll;
  const std::optional<ErrorKind> failure =
      FailureOf([&] { poll.address = ReadSetting(library_.platform(), kAddressKey); });
  if (failure) {
    // No switch can be asked: the poll fails here and now, as one that
    // fails at once.
    const DWORD now = GetTickCount();
    pace_.Asked(now, CallKind::kPoll);
    pace_.Answered(now, true);
    ShowUnknownFrom(0, texts::StatusUnknown(*failure) + texts::SavedAddressNote(std::nullopt));
    return;
  }
  auto call = std::make_unique<LibraryCall>();
  call->what = std::move(poll);
  Ask(std::move(call));
}

bool LivePanel::LibraryMayBeLoading() const {
  // The first call loads socket.dll. One that hangs while it loads holds
  // the system's loader, and under Wine a message box waits for the loader
  // for good: the labels say that the switch does not answer instead.
  return pace_.Pending() && pace_.PendingKind() == CallKind::kSelect;
}

bool LivePanel::DropLateSwitch(DWORD now) {
  if (!switches_.Waiting() || !pace_.PastLimit(now)) return false;
  // Not carried out long after it was pressed, whenever the switch may
  // answer.
  const std::unique_ptr<LibraryCall> late = switches_.Take();
  log_.Write(SwitchEntry(*late, LogResult(log_result::kNoAnswer,
                                          texts::CannotSwitchNoAnswer(pace_.PendingFor(now) / 1000))));
  return true;
}

void LivePanel::PollIfDue() {
  if (closed_ || !IsWindow(window_)) return;
  TakeAnswer();  // one whose message was lost
  if (!IsWindow(window_)) return;  // it closed the window
  const DWORD now = GetTickCount();
  if (DropLateSwitch(now)) {
    ShowRows();
    if (!LibraryMayBeLoading()) {
      MessageBoxW(window_, texts::CannotSwitchNoAnswer(pace_.PendingFor(now) / 1000).c_str(), texts::kMessageTitle,
                  MB_OK | MB_ICONWARNING);
    }
    CloseIfDone(GetTickCount());
    return;
  }
  if (pace_.Pending() && pace_.PendingKind() == CallKind::kSwitch && !pendingSwitchLogged_ && pace_.PastLimit(now)) {
    // The outlet's state is unknown: no answer by the limit.
    pendingSwitchLogged_ = true;
    log_.Write({ControlText(window_, kIdAddress), L"", L"",
                LogResult(log_result::kNoAnswer, texts::NoAnswer(pace_.PendingFor(now) / 1000))});
  }
  if (close_ != nullptr) {
    CloseIfDone(now);
    if (!IsWindow(window_)) return;
  } else if (pace_.PollDue(now)) {
    AskPoll();
  }
  ShowRows();
}

void LivePanel::TakeAnswer() {
  const std::unique_ptr<LibraryCall> call = thread_.TakeAnswer();
  if (!call) return;
  const DWORD now = GetTickCount();
  // The limit is checked here, where the answer is taken: one that comes
  // between the limit and the next tick does not carry out the ON or OFF
  // that waited behind it.
  const unsigned pendingSeconds = pace_.PendingFor(now) / 1000;
  const bool dropped = DropLateSwitch(now);
  const bool first = !pace_.PollAnswered();
  pace_.Answered(now, call->failed());
  if (call->kind() == CallKind::kPoll) {
    ShowPoll(*call);
    // The first state painted now, not after whatever else is waiting.
    if (first) {
      ShowRows();
      RedrawWindow(window_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    }
  }
  // The next call before anything is said: a message box lets the window's
  // events, the timer's among them, run meanwhile.
  if (switches_.Waiting()) {
    Ask(switches_.Take());
  } else if (close_ == nullptr && !closed_ && pace_.PollDue(GetTickCount())) {
    AskPoll();
  }
  ShowRows();
  if (dropped) {
    MessageBoxW(window_, texts::CannotSwitchNoAnswer(pendingSeconds).c_str(), texts::kMessageTitle,
                MB_OK | MB_ICONWARNING);
  }
  if (call->kind() == CallKind::kSwitch) {
    const SwitchCall& what = std::get<SwitchCall>(call->what);
    log_.Write(SwitchEntry(
        *call, call->unexpected ? LogResult(log_result::kFailed, texts::Stopped(*call->unexpected))
               : call->failure  ? LogResult(log_result::kFailed,
                                            texts::CannotSwitch(*call->failure, what.stagingBegun, call->loadFailure))
                                : log_result::kDone));
    if (call->unexpected) {
      PostMessageW(window_, kMsgCallbackStopped, static_cast<WPARAM>(*call->unexpected),
                   static_cast<LPARAM>(StoppedIn::kMessage));
    } else if (call->failure) {
      MessageBoxW(window_, texts::CannotSwitch(*call->failure, what.stagingBegun, call->loadFailure).c_str(),
                  texts::kMessageTitle,
                  MB_OK | MB_ICONWARNING);
    }
  }
  CloseIfDone(GetTickCount());
}

void LivePanel::CloseAfterSwitch(std::function<void()> close) {
  close_ = std::move(close);
  closeAskedAt_ = GetTickCount();
  CloseIfDone(closeAskedAt_);
}

void LivePanel::CloseIfDone(DWORD now) {
  if (close_ == nullptr) return;
  const bool outstanding = SwitchOutstanding();
  const bool pastLimit = pace_.PastLimit(now) || now - closeAskedAt_ >= kCallLimitSeconds * 1000;
  if (outstanding && !pastLimit) return;
  // Taken first: what is said below runs the window's events meanwhile.
  const std::function<void()> close = std::move(close_);
  close_ = nullptr;
  closed_ = true;  // no call is asked for any more
  if (outstanding && !LibraryMayBeLoading()) {
    // An ON or OFF handed to the switch may have switched it; one still
    // waiting for its turn has not.
    const bool sent = pace_.Pending() && pace_.PendingKind() == CallKind::kSwitch;
    const unsigned seconds = (sent ? pace_.PendingFor(now) : now - closeAskedAt_) / 1000;
    const std::wstring noAnswer = texts::CannotSwitchNoAnswer(seconds);
    if (switches_.Waiting()) {
      const std::unique_ptr<LibraryCall> late = switches_.Take();
      log_.Write(SwitchEntry(*late, LogResult(log_result::kNoAnswer, noAnswer)));
    } else if (sent && !pendingSwitchLogged_) {
      pendingSwitchLogged_ = true;
      log_.Write({ControlText(window_, kIdAddress), L"", L"",
                  LogResult(log_result::kNoAnswer, texts::MayHaveSwitched(noAnswer))});
    }
    MessageBoxW(window_, (sent ? texts::MayHaveSwitched(noAnswer) : noAnswer).c_str(), texts::kMessageTitle,
                MB_OK | MB_ICONWARNING);
  }
  close();
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

void LivePanel::ShowPoll(const LibraryCall& call) {
  const PollCall& poll = std::get<PollCall>(call.what);
  if (call.unexpected) {
    ShowUnknownFrom(0, texts::StatusStopped(*call.unexpected));
    return;
  }
  if (call.failure == ErrorKind::kNoAddress) {
    // No switch is named: none was asked. No label keeps a light of a
    // switch it showed before.
    ShowUnknownFrom(0, texts::StatusUnknown(*call.failure));
    return;
  }
  const std::wstring note = texts::SavedAddressNote(poll.address);
  if (call.failure) {
    ShowUnknownFrom(0, texts::StatusUnknown(*call.failure) + note);
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
  // then is a screen reader told, and the state beside a focused button
  // shown anew: the tooltip's seconds of waiting change every second, the
  // outlet's state does not.
  if (repaint) {
    InvalidateRect(label, nullptr, TRUE);
    AccessibleNames::StateChanged(window_, outlet);
    focusTip_.StateChanged(outlet);
  } else if (newTip) {
    focusTip_.TextChanged(outlet);
  }
}

std::wstring LivePanel::MoreAbout(int id) const {
  const auto tipOf = [this](int outlet) -> const std::wstring& { return rows_[static_cast<std::size_t>(outlet)].tip; };
  if (id >= kIdOutletLabel && id < kIdOutletLabel + kOutletCount) return tipOf(id - kIdOutletLabel);
  int outlet = -1;
  if (id >= kIdOn && id < kIdOn + kOutletCount) outlet = id - kIdOn;
  if (id >= kIdOff && id < kIdOff + kOutletCount) outlet = id - kIdOff;
  if (id >= kIdMask && id < kIdMask + kOutletCount) outlet = id - kIdMask;
  if (outlet < 0 || tipOf(outlet).empty()) return L"";
  return texts::FocusTipText(outlet, tipOf(outlet));
}

void LivePanel::SwitchFromScreen(int outlet, bool on) {
  const Reading<std::int16_t> mask = ReadMask(outlet, &ToInt16);
  if (mask.failure) {
    MessageBoxW(window_, texts::MaskCannotSwitch(*mask.failure).c_str(), texts::kMessageTitle, MB_OK | MB_ICONWARNING);
    return;
  }
  // The address and mask on screen, saved or not.
  auto call = std::make_unique<LibraryCall>();
  SwitchCall what{ControlText(window_, kIdAddress), mask.value, on};
  what.outlet = outlet;
  call->what = std::move(what);
  if (mask.value == 0) {
    // Names no outlet: refused here, before anything is sent.
    const std::wstring reason = texts::CannotSwitch(ErrorKind::kMaskZero, false);
    log_.Write(SwitchEntry(*call, LogResult(log_result::kFailed, reason)));
    MessageBoxW(window_, reason.c_str(), texts::kMessageTitle, MB_OK | MB_ICONWARNING);
    return;
  }
  switch (switches_.Place(call, pace_.Pending())) {
    case SwitchQueue::Placed::kAskNow:
      Ask(std::move(call));
      ShowRows();
      break;
    case SwitchQueue::Placed::kQueued:
      break;
    case SwitchQueue::Placed::kBusy:
      MessageBoxW(window_, texts::kSwitchBusy, texts::kMessageTitle, MB_OK | MB_ICONWARNING);
      break;
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
