// The window's live behaviour: the status poll that colours the outlet
// labels, the ON and OFF buttons and the launch buttons. It works on the
// controls of the window it is attached to.
//
// Each step that can fail (reading the status word, reading a mask field,
// switching) returns its failure as a value; the poll shows a failure in the
// labels (a dashed frame and a tooltip with the reason, no message box,
// since it runs again and again), ON and OFF in one message box.
//
// The switch library is called from a thread of its own (library_thread.h),
// one call at a time, at the pace core/poll_pace.h sets out: the window
// never waits for the switch. Until the first answer every label is
// unknown, the reply awaited; a call pending for a second or more is said
// in the tooltips; one past the limit makes every label unknown
// ("スイッチが応答しない") until an answer comes. ON and OFF wait as
// switch_queue.h says; one that waited behind a call that passed the limit
// is not carried out, however soon after the limit that call answers, and
// says so.
//
// Closing the window while an ON or OFF is pending or waits carries it out
// first (CloseAfterSwitch), for at most the limit; past it the user is told
// that the outlet may or may not have switched.
//
// Each outlet label's tooltip says its state in words, "オン", "オフ" or
// "状態不明: " and the reason, and names the saved address whose switch
// the labels show. The same text, after the outlet's name, shows beside the
// outlet's ON or OFF button while that button has the keyboard focus
// (focus_state_tip.h), and a screen reader reads it as the label's value
// (accessible_names.h), told of each change. The labels are painted as
// outlet_label_painter.h says.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/errors.h"
#include "core/poll_pace.h"
#include "core/switch_library.h"
#include "win32/owned_handle.h"
#include "win32/window/accessible_names.h"
#include "win32/window/control_ids.h"
#include "win32/window/focus_state_tip.h"
#include "core/switch_log.h"
#include "win32/window/library_thread.h"
#include "win32/window/outlet_label_painter.h"
#include "win32/window/switch_queue.h"

namespace qel {

// The window's timer kPollTimer looks every kPollMilliseconds
// (core/poll_pace.h) whether a poll is due, and keeps the labels' words on
// a pending call up to date.
inline constexpr unsigned kPollTimer = 1;

class LivePanel {
 public:
  explicit LivePanel(SwitchLibrary& library, LibraryThread::Notify notify = &PostMessageW);
  LivePanel(const LivePanel&) = delete;
  LivePanel& operator=(const LivePanel&) = delete;

  // Binds the panel to the window whose controls it drives, starts the
  // thread that calls the library (which calls nothing until it is opened),
  // and frames the labels from their first paint on (solid for an outlet
  // that is on, dashed for one whose state is unknown).
  void Attach(HWND window);
  // What the panel sets up once the window shows: the outlet labels'
  // tooltips (the state in words and the saved address) and the same text
  // beside a focused ON or OFF button.
  void FinishSetUp(HINSTANCE instance);
  // The window moved or its controls were placed anew: a state tip shown
  // beside a focused button goes with the button.
  void ControlsMoved() { focusTip_.FollowButton(); }
  // From now on the library is called: the window has shown and loaded
  // what it loads itself.
  void OpenLibrary() { thread_.Open(); }

  // Selects the switch at `address` once, as the window does at start.
  void Select(const std::wstring& address);
  // The status poll, when one is due: the thread reads the status word from
  // the switch whose address is saved in ip.ini (read here, handed to the
  // thread), and its answer colours every outlet label whose mask on screen
  // has a bit set in it. While ip.ini holds no address no switch is asked
  // and every outlet shows as unknown. Then the labels' words on a pending
  // call follow the time. An answer whose message was lost is taken here.
  void PollIfDue();
  // The thread's answer, once it has come (kMsgLibraryAnswer).
  void TakeAnswer();
  // A poll stopped by a failure it did not expect: every outlet unknown,
  // with `tip` as the reason.
  void ShowStatusStopped(const std::wstring& tip) { ShowUnknownFrom(0, tip); }
  // ON (on = true) or OFF of outlet row `outlet` (0..3), with the address
  // and the mask on screen as they are when pressed.
  void SwitchFromScreen(int outlet, bool on);
  // Starts the command line in field `command` (0..2) as it stands.
  void Launch(int command);

  // Whether an ON or OFF is pending or waits for its turn.
  bool SwitchOutstanding() const {
    return switches_.Waiting() || (pace_.Pending() && pace_.PendingKind() == CallKind::kSwitch);
  }
  // The window closes: an ON or OFF pending or waiting is carried out
  // first, and then `close` is called; no poll is asked meanwhile. Past the
  // limit the user is told what may have come of it, and `close` is called
  // all the same. With none outstanding, `close` is called at once.
  void CloseAfterSwitch(std::function<void()> close);

  // The colours of a label (WM_CTLCOLORSTATIC), as OutletLabelPainter
  // gives them.
  LRESULT LabelColours(HDC dc, HWND label) const { return painter_.LabelColours(dc, label); }

 private:
  // What an outlet label shows. Only what changed is shown anew.
  struct RowLook {
    bool lit = false;
    bool unknown = true;  // until the first poll no label claims a state
    std::wstring tip;  // empty until the first poll
    bool operator==(const RowLook& other) const {
      return lit == other.lit && unknown == other.unknown && tip == other.tip;
    }
  };

  // A value, or the kind of error that kept it from being had.
  template <typename T>
  struct Reading {
    T value{};
    std::optional<ErrorKind> failure;
  };

  // Hands a call to the thread, as the pending one.
  void Ask(std::unique_ptr<LibraryCall> call);
  // A poll of the switch whose address ip.ini holds.
  void AskPoll();
  // An ON or OFF waiting behind a call that passed the limit is not carried
  // out, and says so; true when one was dropped.
  bool DropLateSwitch(DWORD now);
  // The close asked for, once nothing is outstanding or past the limit.
  void CloseIfDone(DWORD now);
  // Whether the pending call is the first, which loads socket.dll: then no
  // message box is shown, since a load that hangs keeps it from coming up.
  bool LibraryMayBeLoading() const;
  // The rows as a poll's answer tells them.
  void ShowPoll(const LibraryCall& call);
  // Each row as the last answer showed it, with the words on a pending call
  // or on the next poll's wait.
  void ShowRows();
  // The mask field of `outlet`, strictly converted, rounded down and
  // narrowed by `narrow` (32 bits for the poll, 16 for ON and OFF).
  template <typename Int>
  Reading<Int> ReadMask(int outlet, Int (*narrow)(double)) const;

  void ShowRow(int outlet, const RowLook& look);
  // What a screen reader hears about control `id` besides its name: an
  // outlet label's state; for an ON or OFF button and a mask field, its
  // outlet with that state; as the tooltips say them. Empty for the other
  // controls.
  std::wstring MoreAbout(int id) const;
  // Outlets `first` to the last are taken as unknown, with `tip`, and shown.
  void ShowUnknownFrom(int first, const std::wstring& tip);

  SwitchLibrary& library_;
  HWND window_ = nullptr;
  HWND labelTips_ = nullptr;  // a child of the window: goes with it
  std::array<RowLook, kOutletCount> rows_{};  // as shown
  // As the last answer showed them: until the first, unknown, the reply
  // awaited.
  std::array<RowLook, kOutletCount> answered_{};
  FocusStateTip focusTip_;
  AccessibleNames accessible_;
  LibraryThread thread_;
  PollPace pace_;
  SwitchQueue switches_;
  std::function<void()> close_;  // set while the window waits to close
  bool closed_ = false;          // the window was closed
  DWORD closeAskedAt_ = 0;
  // The switch log (LOG in ip.ini): each ON and OFF, and each launch.
  SwitchLog log_;
  bool pendingSwitchLogged_ = false;  // its "no answer" is logged already
  // Last: its destructor gives the labels back their own painting, before
  // the rows it paints from go.
  OutletLabelPainter painter_;
};

}  // namespace qel
